#include "platform/qt/gui/image_painter.h"

#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

#include <QByteArray>
#include <QPainterPath>
#include <QSvgRenderer>

#include "platform/icon_theme.h"
#include "platform/system_symbols.h"

namespace tucklet::platform {

namespace {

// Renders an SVG document or a bitmap file into a transparent square of `pixels`.
QImage rasterize(const std::optional<QByteArray>& svgText, const std::string& file, QSize pixels) {
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF box(0, 0, pixels.width(), pixels.height());
  const auto path = QString::fromStdString(file);
  if (svgText || path.endsWith(".svg")) {
    QSvgRenderer svg;
    if (!(svgText ? svg.load(*svgText) : svg.load(path))) return {};
    svg.render(&p, box);
  } else {
    QImage bitmap(path);
    if (bitmap.isNull()) return {};
    p.drawImage(box, bitmap);
  }
  return image;
}

void tint(QImage& image, const QColor& color) {
  QPainter p(&image);
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  p.fillRect(image.rect(), color);
}

// A drawing the product describes itself, in its own points (origin bottom-left, y up).
QImage drawVector(const Image& image, QSize pixels, const QColor& color) {
  if (!(image.size.width > 0) || !(image.size.height > 0)) return {};
  QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  const double sx = pixels.width() / image.size.width;
  const double sy = pixels.height() / image.size.height;
  const auto map = [&](Point p) { return QPointF(p.x * sx, (image.size.height - p.y) * sy); };
  QPainter painter(&out);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  for (const auto& op : image.drawing) {
    switch (op.kind) {
      case DrawingOp::Kind::MoveTo:
        path.moveTo(map(op.p));
        break;
      case DrawingOp::Kind::LineTo:
        path.lineTo(map(op.p));
        break;
      case DrawingOp::Kind::CurveTo:
        path.cubicTo(map(op.c1), map(op.c2), map(op.p));
        break;
      case DrawingOp::Kind::Stroke:
        painter.strokePath(
            path, QPen(color, op.lineWidth * sx, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        path = QPainterPath();
        break;
      case DrawingOp::Kind::FillOval: {
        const auto topLeft = map({op.oval.x, op.oval.maxY()});
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(topLeft, QSizeF(op.oval.width * sx, op.oval.height * sy)));
        break;
      }
    }
  }
  return out;
}

QImage renderUncached(const Image& image, QSize pixels, const QColor& color) {
  switch (image.kind) {
    case Image::Kind::Drawing:
      return drawVector(image, pixels, color);
    case Image::Kind::SystemSymbol: {
      const auto source = symbolSource(image.name);
      if (!source) return {};
      QImage out;
      if (!source->drawing.empty()) {
        out = rasterize(
            QByteArray(source->drawing.data(), static_cast<qsizetype>(source->drawing.size())), {},
            pixels);
      } else if (const auto file = symbolThemeFile(image.name)) {
        out = rasterize(std::nullopt, *file, pixels);
      }
      if (!out.isNull()) tint(out, color);
      return out;
    }
    case Image::Kind::ThemeIcon: {
      const auto file = iconThemeFile(image.name);
      if (!file) return {};
      auto out = rasterize(std::nullopt, *file, pixels);
      if (!out.isNull() && (image.isTemplate || image.name.ends_with("-symbolic")))
        tint(out, color);
      return out;
    }
    case Image::Kind::File: {
      auto out = rasterize(std::nullopt, image.name, pixels);
      if (!out.isNull() && image.isTemplate) tint(out, color);
      return out;
    }
  }
  return {};
}

}  // namespace

QImage renderImage(const Image& image, QSize pixels, const QColor& color) {
  if (pixels.isEmpty()) return {};
  // Drawings are cheap to stroke; icons are parsed and rasterized once per size and colour.
  if (image.kind == Image::Kind::Drawing) return drawVector(image, pixels, color);
  using Key = std::tuple<int, std::string, bool, int, int, QRgb>;
  const Key key{static_cast<int>(image.kind),
                image.name,
                image.isTemplate,
                pixels.width(),
                pixels.height(),
                color.rgba()};
  static std::mutex mutex;
  static std::map<Key, QImage> cache;
  {
    std::lock_guard lock(mutex);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
  }
  auto out = renderUncached(image, pixels, color);
  std::lock_guard lock(mutex);
  if (cache.size() > 1024) cache.clear();
  cache[key] = out;
  return out;
}

QImage symbolImage(const std::string& name, int pixelSize, const QColor& color) {
  Image symbol;
  symbol.kind = Image::Kind::SystemSymbol;
  symbol.name = name;
  return renderImage(symbol, QSize(pixelSize, pixelSize), color);
}

bool paintImage(QPainter& painter, const Image& image, const QRectF& target, const QColor& color) {
  const QSize pixels(static_cast<int>(std::lround(target.width())),
                     static_cast<int>(std::lround(target.height())));
  const auto picture = renderImage(image, pixels, color);
  if (picture.isNull()) return false;
  painter.drawImage(QPointF(std::round(target.left()), std::round(target.top())), picture);
  return true;
}

}  // namespace tucklet::platform
