#include "features/widgets/shortcut_recorder.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>

#include "features/shortcut_keys.h"
#include "platform/qt/gui/key_codes.h"

namespace tucklet {

namespace {

constexpr const char* recordingTitle = "Type shortcut…";

}  // namespace

ShortcutRecorder::RecorderButton::RecorderButton(QWidget* parent) : QPushButton(parent) {
  // Only a click starts recording; keyboard navigation passes over the button.
  setFocusPolicy(Qt::ClickFocus);
  setAutoDefault(false);
}

void ShortcutRecorder::RecorderButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QPushButton::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  setRecording(true, true);
  event->accept();
}

void ShortcutRecorder::RecorderButton::setRecording(bool recording, bool announce) {
  if (recording == recording_) return;
  recording_ = recording;
  setText(recording ? QString::fromUtf8(recordingTitle) : normalTitle);
  if (announce && recordingChanged) recordingChanged(recording);
}

void ShortcutRecorder::RecorderButton::startRecording() {
  setFocus(Qt::OtherFocusReason);
  setRecording(true, true);
}

void ShortcutRecorder::RecorderButton::stopRecording() {
  if (!recording_) return;
  setRecording(false, true);
  if (window() && window()->focusWidget() == this) clearFocus();
}

void ShortcutRecorder::RecorderButton::continueRecording() {
  setFocus(Qt::OtherFocusReason);
  setRecording(true, false);
}

void ShortcutRecorder::RecorderButton::handOver() {
  setRecording(false, false);
}

void ShortcutRecorder::RecorderButton::recordKey(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) {
    if (const auto key = macKeyDown(*event); key && record) record(*key);
  }
  event->accept();
  // Recording ends here, not only when the focus goes: a window the platform draws is not Qt's
  // active window, and its widgets hear of no focus changes.
  stopRecording();
}

void ShortcutRecorder::RecorderButton::keyPressEvent(QKeyEvent* event) {
  // Modifier keys alone are part of the combination still being typed.
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
      if (recording_) {
        event->accept();
        return;
      }
      break;
    default:
      break;
  }
  if (!recording_) {
    QPushButton::keyPressEvent(event);
    return;
  }
  recordKey(event);
}

bool ShortcutRecorder::RecorderButton::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && recording_) {
    event->accept();
    return true;
  }
  return QPushButton::event(event);
}

void ShortcutRecorder::RecorderButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  if (!recording_) return;
  setRecording(false, true);
  // A window that lost its activation would give the focus back: recording has ended for good.
  if (hasFocus() || (window() && window()->focusWidget() == this)) clearFocus();
}

ShortcutRecorder::ShortcutRecorder(Binding shortcut, std::function<void(bool)> recordingChanged,
                                   QWidget* parent)
    : QWidget(parent),
      shortcut_(std::move(shortcut)),
      recordingChanged_(std::move(recordingChanged)),
      button_(new RecorderButton(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(button_);
  refresh();
}

void ShortcutRecorder::refresh() {
  button_->normalTitle = QString::fromStdString(shortcutDisplayText(shortcut_.get()));
  if (!button_->isRecording()) button_->setText(button_->normalTitle);
  button_->recordingChanged = recordingChanged_;
  button_->record = [this](const platform::InputEvent& key) {
    shortcut_.set(recordedShortcut(shortcut_.get(), key));
    refresh();
  };
}

}  // namespace tucklet
