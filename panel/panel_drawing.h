// What the access panel's widgets draw with: the panel's fonts, the colours of its appearance,
// and the platform's images at the painter's pixel density.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QWidget>

#include "platform/image.h"

namespace tucklet::panel_drawing {

QFont font(double pixels, QFont::Weight weight = QFont::Normal);
bool isDark(const QWidget* widget);
QColor textColor(const QWidget* widget);
QColor secondaryColor(const QWidget* widget);
// An image at `target` (points), crisp at the painter's density; symbols in `tint`.
void paintIcon(QPainter& painter, const platform::Image& image, const QRectF& target,
               const QColor& tint);

}  // namespace tucklet::panel_drawing
