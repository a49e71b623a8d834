#include "panel/panel_drawing.h"

#include <cmath>

#include "platform/qt/gui/image_painter.h"

namespace tucklet::panel_drawing {

QFont font(double pixels, QFont::Weight weight) {
  QFont f;
  f.setFamilies({"Inter", "DejaVu Sans"});
  f.setPixelSize(static_cast<int>(std::lround(pixels)));
  f.setWeight(weight);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

bool isDark(const QWidget* widget) {
  return widget->palette().color(QPalette::Window).lightness() < 128;
}

QColor textColor(const QWidget* widget) {
  return widget->palette().color(QPalette::WindowText);
}

QColor secondaryColor(const QWidget* widget) {
  return widget->palette().color(QPalette::PlaceholderText);
}

void paintIcon(QPainter& painter, const platform::Image& image, const QRectF& target,
               const QColor& tint) {
  const double density = painter.device()->devicePixelRatioF();
  const QSize pixels(static_cast<int>(std::lround(target.width() * density)),
                     static_cast<int>(std::lround(target.height() * density)));
  QImage picture = platform::renderImage(image, pixels, tint);
  if (picture.isNull()) return;
  picture.setDevicePixelRatio(density);
  painter.drawImage(target.topLeft(), picture);
}

}  // namespace tucklet::panel_drawing
