// Any top-level Qt widget of this process as the content of one of its platform windows
// (`platform::Windows`): the widget is laid out and "shown" for Qt without a window of its own on
// the display, the platform's pointer and key events reach it as ordinary Qt mouse and key events
// (a press goes to the child under the pointer and gives it focus when it takes focus by click,
// moves until the release go to that child with the button held, the scroll wheel to the child
// under the pointer, keys to the focused child and up to its parents while unhandled), it is drawn
// for the platform at any scale, and it wears a light or a dark palette as its window's appearance
// says.
//
// Needs a QApplication. The widget stays the caller's; the content does nothing once it is gone.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>

#include "platform/qt/gui/window_picture.h"
#include "platform/windows.h"

namespace tucklet::platform {

class WidgetWindowContent final : public WindowContent, public WindowPicture {
 public:
  explicit WidgetWindowContent(QWidget* widget);
  ~WidgetWindowContent() override;

  QWidget* widget() const { return widget_; }
  bool isKey() const { return key_; }
  bool isDark() const { return dark_; }

  Size preferredSize() override;
  void mouseEvent(const InputEvent& event, Point local) override;
  void mouseExited() override;
  void keyEvent(const InputEvent& event) override;
  void keyChanged(bool isKey) override;
  void appearanceChanged(bool dark) override;
  QImage picture(double scale) override;
  std::uint64_t revision() const override { return revision_; }

 private:
  // Counts the widget's requests to be painted again.
  class RepaintWatch;
  // Moves the pointer's presence to `target` (nothing: off the content): what it leaves and what it
  // enters get Leave and Enter events and are under the mouse as Qt means it.
  void hover(QWidget* target, QPointF windowPos);
  QPointer<QWidget> widget_;
  QPointer<QWidget> pressed_;  // the child a press went to, until the release
  QPointer<QWidget> hovered_;  // the child under the pointer while no button is held
  Qt::MouseButton pressedButton_ = Qt::NoButton;
  bool key_ = false;
  bool dark_ = false;
  std::uint64_t revision_ = 0;
  std::unique_ptr<RepaintWatch> watch_;
};

// The palette of a window in the light or the dark appearance, in the system's colours.
QPalette appearancePalette(bool dark);

// The Qt key of a platform key code; 0 for keys without one (text keys are told by their text).
int qtKey(std::uint16_t keyCode);

}  // namespace tucklet::platform
