#include "app/host/live_desktop_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

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

std::optional<std::uint16_t> macKeyCode(int qtKey) {
  static const std::pair<int, std::uint16_t> keys[] = {
      {Qt::Key_A, 0},          {Qt::Key_S, 1},          {Qt::Key_D, 2},
      {Qt::Key_F, 3},          {Qt::Key_H, 4},          {Qt::Key_G, 5},
      {Qt::Key_Z, 6},          {Qt::Key_X, 7},          {Qt::Key_C, 8},
      {Qt::Key_V, 9},          {Qt::Key_B, 11},         {Qt::Key_Q, 12},
      {Qt::Key_W, 13},         {Qt::Key_E, 14},         {Qt::Key_R, 15},
      {Qt::Key_Y, 16},         {Qt::Key_T, 17},         {Qt::Key_1, 18},
      {Qt::Key_2, 19},         {Qt::Key_3, 20},         {Qt::Key_4, 21},
      {Qt::Key_6, 22},         {Qt::Key_5, 23},         {Qt::Key_Equal, 24},
      {Qt::Key_9, 25},         {Qt::Key_7, 26},         {Qt::Key_Minus, 27},
      {Qt::Key_8, 28},         {Qt::Key_0, 29},         {Qt::Key_BracketRight, 30},
      {Qt::Key_O, 31},         {Qt::Key_U, 32},         {Qt::Key_BracketLeft, 33},
      {Qt::Key_I, 34},         {Qt::Key_P, 35},         {Qt::Key_Return, 36},
      {Qt::Key_L, 37},         {Qt::Key_J, 38},         {Qt::Key_Apostrophe, 39},
      {Qt::Key_K, 40},         {Qt::Key_Semicolon, 41}, {Qt::Key_Backslash, 42},
      {Qt::Key_Comma, 43},     {Qt::Key_Slash, 44},     {Qt::Key_N, 45},
      {Qt::Key_M, 46},         {Qt::Key_Period, 47},    {Qt::Key_Tab, 48},
      {Qt::Key_Backtab, 48},   {Qt::Key_Space, 49},     {Qt::Key_QuoteLeft, 50},
      {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53},    {Qt::Key_Enter, 76},
      {Qt::Key_F5, 96},        {Qt::Key_F6, 97},        {Qt::Key_F7, 98},
      {Qt::Key_F3, 99},        {Qt::Key_F8, 100},       {Qt::Key_F9, 101},
      {Qt::Key_F11, 103},      {Qt::Key_F10, 109},      {Qt::Key_F12, 111},
      {Qt::Key_Home, 115},     {Qt::Key_PageUp, 116},   {Qt::Key_Delete, 117},
      {Qt::Key_F4, 118},       {Qt::Key_End, 119},      {Qt::Key_F2, 120},
      {Qt::Key_PageDown, 121}, {Qt::Key_F1, 122},       {Qt::Key_Left, 123},
      {Qt::Key_Right, 124},    {Qt::Key_Down, 125},     {Qt::Key_Up, 126},
  };
  for (const auto& [key, code] : keys)
    if (key == qtKey) return code;
  return std::nullopt;
}

std::uint32_t macModifiers(Qt::KeyboardModifiers modifiers) {
  std::uint32_t flags = 0;
  if (modifiers & Qt::ControlModifier) flags |= platform::ModifierCommand;
  if (modifiers & Qt::AltModifier) flags |= platform::ModifierOption;
  if (modifiers & Qt::ShiftModifier) flags |= platform::ModifierShift;
  if (modifiers & Qt::MetaModifier) flags |= platform::ModifierControl;
  return flags;
}

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
