// The simulated screen in a window on the person's own display: the screen picture, scaled to fit
// and drawn at the display's pixel density, redrawn whenever the desktop changes; the person's
// pointer, clicks and keys go to the simulated desktop, so Tucklet can be used with a real mouse.
//
// Modifier keys follow Qt's convention for the Mac: Ctrl is Command, Alt is Option, Shift is
// Shift, and the Meta (Super) key is Control.
//
// Only shown where there is a display; under Qt's offscreen platform (the demo, tests, CI) the
// program runs without it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include "platform/sim/desktop.h"

namespace tucklet {

class LiveDesktopWindow : public QWidget {
 public:
  explicit LiveDesktopWindow(sim::SimDesktop& desktop);

  // Whether this process draws on a real display (not Qt's offscreen or minimal platform).
  static bool displayAvailable();

  // Runs when the person closes the window (the program then quits like the user would).
  void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

  // The simulated screen point under a point of the window; nothing outside the picture.
  std::optional<platform::Point> screenPointAt(QPointF windowPoint) const;
  // Where a simulated screen point is drawn in the window.
  QPointF windowPointFor(platform::Point screenPoint) const;

  // The picture as the window shows it now, drawn again if the desktop changed.
  QImage currentPicture();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Tab belongs to the simulated desktop, not to focus changes between widgets.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  // The simulated screen's frame and where its picture sits in the window.
  platform::Rect screenFrame() const;
  QRectF pictureRect() const;
  // Draws the picture again when the desktop or the window's size or density changed.
  bool refresh();
  void postMouse(platform::EventType type, QMouseEvent* event);

  sim::SimDesktop& desktop_;
  QImage picture_;
  std::uint64_t pictureChange_ = 0;
  QSize pictureSize_;
  double pictureDensity_ = 0;
  QTimer poll_;
  std::function<void()> closeHandler_;
};

}  // namespace tucklet
