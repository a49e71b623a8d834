#include "app/host/sim_screen_capture.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "platform/sim/render/screen_renderer.h"

namespace tucklet {
namespace {

// The arrow pointer, its tip at the origin, in points.
void drawPointer(QPainter& painter, QPointF tip, double scale) {
  QPainterPath arrow;
  const QPointF points[] = {{0, 0},      {0, 17},   {4.2, 13}, {7, 19.5},
                            {9.6, 18.4}, {6.9, 12}, {12, 12}};
  arrow.moveTo(tip);
  for (const auto& point : points)
    arrow.lineTo(tip + point * scale);
  arrow.closeSubpath();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::white, 1.2 * scale));
  painter.setBrush(Qt::black);
  painter.drawPath(arrow);
}

}  // namespace

bool SimScreenCapture::preflight() const {
  return windowServer_.screenCaptureApproved();
}

bool SimScreenCapture::capture(int displayNumber, const platform::Rect& source, double scale,
                               bool showsCursor, const std::string& pngPath, std::string& error) {
  if (!preflight()) {
    error = "The user declined TCCs for application, window, display capture";
    return false;
  }
  // What a capture can be asked for: a real rectangle whose picture fits in memory.
  constexpr double largestSide = 16384;
  constexpr double farthest = 1e6;
  const bool sensible = std::isfinite(scale) && scale > 0 && std::abs(source.x) <= farthest &&
                        std::abs(source.y) <= farthest && source.width > 0 && source.height > 0 &&
                        source.width * scale <= largestSide && source.height * scale <= largestSide;
  if (!sensible) {
    error = "The capture rectangle is not valid";
    return false;
  }
  const auto world = desktop_.world();
  std::size_t index = 0;
  while (index < world.screens.size() && world.screens[index].number != displayNumber)
    ++index;
  if (index == world.screens.size()) {
    error = "No display with number " + std::to_string(displayNumber);
    return false;
  }
  const auto& screen = world.screens[index];
  QImage whole = sim::ScreenRenderer(desktop_, scale).renderScreen(index);
  if (showsCursor) {
    const auto pointer = world.pointer;
    QPainter painter(&whole);
    drawPointer(
        painter,
        QPointF((pointer.x - screen.frame.x) * scale, (screen.frame.maxY() - pointer.y) * scale),
        scale);
  }
  const QRect crop(static_cast<int>(std::lround(source.x * scale)),
                   static_cast<int>(std::lround(source.y * scale)),
                   static_cast<int>(std::lround(source.width * scale)),
                   static_cast<int>(std::lround(source.height * scale)));
  // Outside the display the picture is black, as a capture of that rectangle would be.
  QImage picture(crop.size(), QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::black);
  {
    QPainter painter(&picture);
    painter.drawImage(QPoint(0, 0), whole, crop);
  }
  return sim::writePng(picture, pngPath, &error);
}

bool SimScreenCapture::captureFrontWindow(const std::string& pngPath, std::string& error) {
  const QImage picture = frontWindowPicture_ ? frontWindowPicture_() : QImage();
  if (picture.isNull()) {
    error = "no window of this process is shown";
    return false;
  }
  return sim::writePng(picture, pngPath, &error);
}

}  // namespace tucklet
