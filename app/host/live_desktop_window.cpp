#include "app/host/live_desktop_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/qt/gui/key_codes.h"
#include "platform/qt/gui/window_picture.h"
#include "platform/sim/render/screen_renderer.h"

namespace tucklet {

namespace {

using platform::EventType;

// How often the window looks for changes of the desktop (cheap: one counter read).
constexpr int kPollMilliseconds = 16;
// Room left around the window on the person's screen (title bar, panels).
constexpr int kScreenMargin = 48;

}  // namespace

bool LiveDesktopWindow::displayAvailable() {
  const auto name = QGuiApplication::platformName();
  return !name.isEmpty() && name != "offscreen" && !name.startsWith("minimal");
}

LiveDesktopWindow::LiveDesktopWindow(sim::SimDesktop& desktop) : desktop_(desktop) {
  setWindowTitle("Tucklet — simulated desktop");
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);

  // As large as the simulated screen, or scaled down to fit the person's screen.
  const auto frame = screenFrame();
  double fit = 1;
  if (const auto* screen = QGuiApplication::primaryScreen()) {
    const auto available = screen->availableGeometry();
    fit = std::min({1.0, (available.width() - kScreenMargin) / frame.width,
                    (available.height() - kScreenMargin) / frame.height});
  }
  fit = std::max(fit, 0.1);
  resize(static_cast<int>(std::lround(frame.width * fit)),
         static_cast<int>(std::lround(frame.height * fit)));

  poll_.setInterval(kPollMilliseconds);
  QObject::connect(&poll_, &QTimer::timeout, this, [this] {
    if (refresh()) update();
  });
  poll_.start();
}

platform::Rect LiveDesktopWindow::screenFrame() const {
  const auto screens = desktop_.screens().screens();
  return screens.empty() ? platform::Rect{0, 0, 1, 1} : screens.front().frame;
}

QRectF LiveDesktopWindow::pictureRect() const {
  const auto frame = screenFrame();
  const double scale = std::min(width() / frame.width, height() / frame.height);
  const double w = frame.width * scale, h = frame.height * scale;
  return {(width() - w) / 2, (height() - h) / 2, w, h};
}

std::optional<platform::Point> LiveDesktopWindow::screenPointAt(QPointF windowPoint) const {
  const auto frame = screenFrame();
  const auto area = pictureRect();
  if (!area.contains(windowPoint) || area.isEmpty()) return std::nullopt;
  const double scale = area.width() / frame.width;
  return platform::Point{frame.x + (windowPoint.x() - area.left()) / scale,
                         frame.maxY() - (windowPoint.y() - area.top()) / scale};
}

QPointF LiveDesktopWindow::windowPointFor(platform::Point screenPoint) const {
  const auto frame = screenFrame();
  const auto area = pictureRect();
  const double scale = area.width() / frame.width;
  return {area.left() + (screenPoint.x - frame.x) * scale,
          area.top() + (frame.maxY() - screenPoint.y) * scale};
}

bool LiveDesktopWindow::refresh() {
  // Tucklet's own windows change their pictures without the desktop changing.
  auto change = desktop_.changeCount();
  for (const auto& window : desktop_.ownWindows())
    if (const auto* picture = dynamic_cast<const platform::WindowPicture*>(window.content.get()))
      change = change * 31 + picture->revision() + window.number;
  const auto area = pictureRect();
  const double density = devicePixelRatioF();
  const QSize size = area.size().toSize();
  if (!picture_.isNull() && change == pictureChange_ && size == pictureSize_ &&
      density == pictureDensity_)
    return false;
  // Drawn at the display's own pixel density, so a 2x display gets a crisp 2x picture.
  const double scale = area.width() / screenFrame().width * density;
  picture_ = sim::ScreenRenderer(desktop_, scale).renderScreen(0);
  picture_.setDevicePixelRatio(density);
  pictureChange_ = change;
  pictureSize_ = size;
  pictureDensity_ = density;
  return true;
}

QImage LiveDesktopWindow::currentPicture() {
  refresh();
  return picture_;
}

void LiveDesktopWindow::paintEvent(QPaintEvent*) {
  refresh();
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.drawImage(pictureRect().topLeft(), picture_);
}

void LiveDesktopWindow::postMouse(EventType type, QMouseEvent* event) {
  const auto point = screenPointAt(event->position());
  if (!point) return;
  platform::InputEvent input;
  input.type = type;
  input.location = *point;
  input.modifiers = macModifiers(event->modifiers());
  desktop_.windowServer().postEvent(input);
  event->accept();
}

void LiveDesktopWindow::mouseMoveEvent(QMouseEvent* event) {
  postMouse(EventType::MouseMoved, event);
}

void LiveDesktopWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) postMouse(EventType::LeftMouseDown, event);
  if (event->button() == Qt::RightButton) postMouse(EventType::RightMouseDown, event);
}

void LiveDesktopWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) postMouse(EventType::LeftMouseUp, event);
  if (event->button() == Qt::RightButton) postMouse(EventType::RightMouseUp, event);
}

void LiveDesktopWindow::wheelEvent(QWheelEvent* event) {
  const auto point = screenPointAt(event->position());
  if (!point) return;
  // Points of scrolling: a trackpad's pixels, else a wheel's notches at 15 points each.
  const QPointF delta = event->pixelDelta().isNull() ? QPointF(event->angleDelta()) / 8.0
                                                     : QPointF(event->pixelDelta());
  platform::InputEvent input;
  input.type = EventType::ScrollWheel;
  input.location = *point;
  input.modifiers = macModifiers(event->modifiers());
  input.scrollDeltaX = delta.x();
  input.scrollDeltaY = delta.y();
  desktop_.windowServer().postEvent(input);
  event->accept();
}

void LiveDesktopWindow::keyPressEvent(QKeyEvent* event) {
  const auto code = macKeyCode(event->key());
  if (!code) {
    QWidget::keyPressEvent(event);
    return;
  }
  // The text a key types goes with it (a field in one of Tucklet's windows inserts it); keys that
  // type control characters (Return, Escape, Delete, Tab) carry none.
  const QString text = event->text();
  const bool typesText = !text.isEmpty() && text.at(0).isPrint();
  desktop_.pressKey(*code, macModifiers(event->modifiers()),
                    typesText ? text.toStdString() : std::string());
  event->accept();
}

void LiveDesktopWindow::closeEvent(QCloseEvent* event) {
  poll_.stop();
  if (closeHandler_) closeHandler_();
  event->accept();
}

}  // namespace tucklet
