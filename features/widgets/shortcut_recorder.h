// The control that shows one shortcut's key combination and, once clicked, records a new one from
// the next key press. It reads the key the window already delivers to it, so no keyboard-monitoring
// permission is needed; it does not judge the combination (registration does).
//
// While it records, `recordingChanged` is told (true, then false once), so that the runtime takes
// the global hot keys away and an existing shortcut's combination reaches the recorder.
#pragma once

#include <QPushButton>
#include <QWidget>

#include <functional>

#include "features/feature_configuration.h"
#include "platform/window_server.h"

namespace tucklet {

class ShortcutRecorder : public QWidget {
 public:
  // The shortcut shown and edited: read and written through the pane's binding.
  struct Binding {
    std::function<KeyboardShortcut()> get;
    std::function<void(const KeyboardShortcut&)> set;
  };

  // Does the key handling. Recording is holding the keyboard focus: a click takes it, a key press
  // (Escape records nothing) or losing it any other way gives it up.
  class RecorderButton : public QPushButton {
   public:
    explicit RecorderButton(QWidget* parent = nullptr);

    // Builds the new shortcut from a key press and writes it to the binding.
    std::function<void(const platform::InputEvent&)> record;
    std::function<void(bool)> recordingChanged;
    // The combination's text, shown while not recording.
    QString normalTitle;

    bool isRecording() const { return recording_; }
    // Takes the focus and records, as a click does (`recordingChanged` hears of it).
    void startRecording();
    // Ends recording without a key (`recordingChanged` hears of it).
    void stopRecording();
    // For a button that replaces another while it records (its pane was built again): this one
    // records on and the other stops, and `recordingChanged` hears nothing, since for the person
    // recording never stopped.
    void continueRecording();
    void handOver();

   protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Key equivalents (a shortcut of the window, Command-W) are keys to record while recording.
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

   private:
    // A key press while recording: records it (not Escape) and ends recording.
    void recordKey(QKeyEvent* event);
    void setRecording(bool recording, bool announce);

    bool recording_ = false;
  };

  ShortcutRecorder(Binding shortcut, std::function<void(bool)> recordingChanged,
                   QWidget* parent = nullptr);

  // Brings the title up to date with the bound shortcut (not while recording).
  void refresh();

  RecorderButton& button() { return *button_; }

 private:
  Binding shortcut_;
  std::function<void(bool)> recordingChanged_;
  RecorderButton* button_;
};

}  // namespace tucklet
