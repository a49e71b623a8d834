// Draws the platform's images with Qt (a QGuiApplication must exist): system symbols and
// template images tinted with the colour of the text they sit beside, application icons and
// other pictures as they are, rendered at the device pixel size so they stay crisp at 2x.
//
// The product's own windows (the access panel, the settings window) take symbol pictures from
// here, so they look exactly like the ones in the menu bar and the menus.
#pragma once

#include <string>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include "platform/image.h"

namespace tucklet::platform {

// The system symbol `name` in `tint`, `pixelSize` device pixels square (36 for an 18-point image
// at 2x). A null image when there is no such symbol (see `Symbols::hasSymbol`).
QImage symbolImage(const std::string& name, int pixelSize, const QColor& tint);

// Any platform image rendered into `pixels` device pixels; templates, drawings and symbols in
// `tint`. A null image when there is nothing to draw (an unknown symbol, a missing file).
QImage renderImage(const Image& image, QSize pixels, const QColor& tint);

// Paints `image` filling `target` (the painter's device pixels), snapped to whole pixels. False
// when there was nothing to draw.
bool paintImage(QPainter& painter, const Image& image, const QRectF& target, const QColor& tint);

}  // namespace tucklet::platform
