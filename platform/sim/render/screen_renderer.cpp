#include "platform/sim/render/screen_renderer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace tucklet::sim {

namespace {

using platform::Rect;

const QColor barText(29, 29, 31);
const QColor menuBackground(246, 246, 246, 245);

struct Canvas {
  QPainter& painter;
  double scale;
  double screenTop;  // the screen's maxY in screen coordinates
  double screenLeft;

  // Screen rectangle (bottom-left origin) to image rectangle.
  QRectF fromScreen(const Rect& r) const {
    return {(r.x - screenLeft) * scale, (screenTop - r.maxY()) * scale, r.width * scale,
            r.height * scale};
  }
  // Window-list rectangle (top-left origin of the primary screen) to image rectangle.
  QRectF fromWindowList(const Rect& r, double primaryTop) const {
    const double screenY = primaryTop - r.maxY();
    return fromScreen({r.x, screenY, r.width, r.height});
  }
};

QFont barFont(double scale, bool bold = false) {
  QFont font("DejaVu Sans");
  font.setPixelSize(static_cast<int>(std::lround(13 * scale)));
  font.setBold(bold);
  return font;
}

// Renders an image file (SVG or bitmap) into a square of `size` pixels; symbolic icons are tinted.
QImage loadIcon(const std::string& path, int size, const std::optional<QColor>& tint) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  const auto qpath = QString::fromStdString(path);
  if (qpath.endsWith(".svg")) {
    QSvgRenderer svg(qpath);
    if (!svg.isValid()) return {};
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, QRectF(0, 0, size, size));
  } else {
    QImage bitmap(qpath);
    if (bitmap.isNull()) return {};
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, size, size), bitmap);
  }
  if (tint) {
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), *tint);
  }
  return image;
}

void drawVectorImage(QPainter& painter, const platform::Image& image, const QRectF& target,
                     const QColor& color) {
  const double sx = target.width() / image.size.width;
  const double sy = target.height() / image.size.height;
  // Image points have their origin bottom-left; the picture's y grows downwards.
  auto map = [&](platform::Point p) {
    return QPointF(target.left() + p.x * sx, target.top() + (image.size.height - p.y) * sy);
  };
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  for (const auto& op : image.drawing) {
    switch (op.kind) {
      case platform::DrawingOp::Kind::MoveTo:
        path.moveTo(map(op.p));
        break;
      case platform::DrawingOp::Kind::LineTo:
        path.lineTo(map(op.p));
        break;
      case platform::DrawingOp::Kind::CurveTo:
        path.cubicTo(map(op.c1), map(op.c2), map(op.p));
        break;
      case platform::DrawingOp::Kind::Stroke: {
        QPen pen(color, op.lineWidth * sx, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(path, pen);
        path = QPainterPath();
        break;
      }
      case platform::DrawingOp::Kind::FillOval: {
        const auto topLeft = map({op.oval.x, op.oval.maxY()});
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QRectF(topLeft, QSizeF(op.oval.width * sx, op.oval.height * sy)));
        break;
      }
    }
  }
  painter.restore();
}

// Draws a product image (symbol, theme icon, file or drawing) centred in `box`.
void drawImage(QPainter& painter, const platform::Image& image, const QRectF& box, double scale,
               const QColor& color) {
  const double side = std::min(box.height(), 16 * scale);
  if (image.kind == platform::Image::Kind::Drawing) {
    const double w = image.size.width * scale * 0.9, h = image.size.height * scale * 0.9;
    drawVectorImage(painter, image, QRectF(box.center().x() - w / 2, box.center().y() - h / 2, w, h),
                    color);
    return;
  }
  std::optional<std::string> path;
  std::optional<QColor> tint;
  switch (image.kind) {
    case platform::Image::Kind::SystemSymbol:
      path = themeIconPath(themeNameForSymbol(image.name));
      tint = color;
      break;
    case platform::Image::Kind::ThemeIcon:
      path = themeIconPath(image.name);
      if (image.isTemplate || image.name.ends_with("-symbolic")) tint = color;
      break;
    case platform::Image::Kind::File:
      path = image.name;
      if (image.isTemplate) tint = color;
      break;
    case platform::Image::Kind::Drawing:
      break;
  }
  if (!path) return;
  const auto icon = loadIcon(*path, static_cast<int>(std::lround(side)), tint);
  if (icon.isNull()) return;
  painter.drawImage(QPointF(box.center().x() - side / 2, box.center().y() - side / 2), icon);
}

void drawWallpaper(QPainter& painter, const QRectF& area) {
  QLinearGradient sky(area.topLeft(), area.bottomRight());
  sky.setColorAt(0, QColor(56, 97, 176));
  sky.setColorAt(0.55, QColor(124, 86, 170));
  sky.setColorAt(1, QColor(234, 128, 111));
  painter.fillRect(area, sky);
  QRadialGradient glow(area.center() + QPointF(area.width() * 0.2, area.height() * 0.15),
                       area.width() * 0.45);
  glow.setColorAt(0, QColor(255, 214, 170, 110));
  glow.setColorAt(1, QColor(255, 214, 170, 0));
  painter.fillRect(area, glow);
}

std::string batteryIconName(SimDesktop& desktop) {
  for (const auto& source : desktop.world().powerSources) {
    if (source.type != "InternalBattery" || source.maxCapacity <= 0) continue;
    int level = static_cast<int>(std::lround(10.0 * source.currentCapacity / source.maxCapacity));
    level = std::clamp(level, 0, 10) * 10;
    const bool charging = source.powerSourceState == "AC Power";
    return "battery-level-" + std::to_string(level) + (charging ? "-charging" : "") + "-symbolic";
  }
  return "battery-missing-symbolic";
}

}  // namespace

std::string themeNameForSymbol(const std::string& symbol) {
  static const std::map<std::string, std::string> names = {
      {"wifi", "network-wireless-signal-excellent-symbolic"},
      {"battery.100", "battery-level-100-symbolic"},
      {"antenna.radiowaves.left.and.right", "bluetooth-active-symbolic"},
      {"bluetooth", "bluetooth-active-symbolic"},
      {"clock", "alarm-symbolic"},
      {"display", "video-display-symbolic"},
      {"keyboard", "input-keyboard-symbolic"},
      {"speaker.wave.2", "audio-volume-medium-symbolic"},
      {"rectangle.on.rectangle", "video-joined-displays-symbolic"},
      {"switch.2", "emblem-system-symbolic"},
      {"play.rectangle", "media-playback-start-symbolic"},
      {"tray.full", "focus-legacy-systray-symbolic"},
      {"ellipsis", "view-more-horizontal-symbolic"},
      {"square.grid.2x2", "view-app-grid-symbolic"},
      {"chevron.down", "pan-down-symbolic"},
      {"magnifyingglass", "system-search-symbolic"},
  };
  auto it = names.find(symbol);
  return it != names.end() ? it->second : symbol;
}

std::optional<std::string> themeIconPath(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::optional<std::string>> cache;
  std::lock_guard lock(mutex);
  if (auto it = cache.find(name); it != cache.end()) return it->second;
  std::optional<std::string> found;
  for (const char* theme : {"/usr/share/icons/Adwaita", "/usr/share/icons/hicolor"}) {
    for (const char* size : {"scalable", "256x256", "128x128", "96x96", "64x64", "48x48"}) {
      QDir base(QString("%1/%2").arg(theme, size));
      if (!base.exists()) continue;
      for (const auto& context : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const char* extension : {".svg", ".png", ".symbolic.png"}) {
          const auto candidate =
              base.filePath(context + "/" + QString::fromStdString(name) + extension);
          if (QFileInfo::exists(candidate)) {
            found = candidate.toStdString();
            break;
          }
        }
        if (found) break;
      }
      if (found) break;
    }
    if (found) break;
  }
  cache[name] = found;
  return found;
}

QImage ScreenRenderer::renderScreen(std::size_t screenIndex) const {
  const auto screens = desktop_.screens().screens();
  if (screenIndex >= screens.size()) return {};
  const auto world = desktop_.world();
  const auto& screen = screens[screenIndex];
  const double primaryTop = screens.front().frame.maxY();
  QImage image(static_cast<int>(std::lround(screen.frame.width * scale_)),
               static_cast<int>(std::lround(screen.frame.height * scale_)),
               QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  Canvas canvas{painter, scale_, screen.frame.maxY(), screen.frame.x};
  drawWallpaper(painter, QRectF(0, 0, image.width(), image.height()));

  const auto windows = desktop_.windowServer().onScreenWindows(true);
  // Ordinary windows, back to front.
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (it->layer != 0) continue;
    const auto r = canvas.fromWindowList(it->bounds, primaryTop);
    painter.setPen(QPen(QColor(0, 0, 0, 60), scale_));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(r, 10 * scale_, 10 * scale_);
    painter.fillRect(QRectF(r.left(), r.top(), r.width(), 28 * scale_), QColor(232, 232, 232));
    painter.setPen(barText);
    painter.setFont(barFont(scale_, true));
    painter.drawText(QRectF(r.left(), r.top(), r.width(), 28 * scale_), Qt::AlignCenter,
                     QString::fromStdString(it->name));
  }

  if (screenIndex == 0) {
    const double barHeight = world.menuBarHeight;
    const Rect barRect{screen.frame.x, screen.frame.maxY() - barHeight, screen.frame.width,
                       barHeight};
    const auto bar = canvas.fromScreen(barRect);
    painter.fillRect(bar, QColor(255, 255, 255, 165));
    painter.fillRect(QRectF(bar.left(), bar.bottom() - scale_ * 0.5, bar.width(), scale_ * 0.5),
                     QColor(0, 0, 0, 40));

    // The Apple menu, then the frontmost application's name (bold) and menu titles.
    const auto titles = desktop_.applicationMenuTitles();
    for (std::size_t i = 0; i < titles.size(); ++i) {
      const auto box = canvas.fromScreen(titles[i].frame);
      if (i == 0) {
        QPainterPath apple;
        apple.addEllipse(QPointF(box.center().x(), box.center().y() + 1.5 * scale_), 6 * scale_,
                         6.5 * scale_);
        painter.fillPath(apple, barText);
        painter.fillRect(QRectF(box.center().x() - 0.8 * scale_, box.center().y() - 8 * scale_,
                                1.6 * scale_, 3 * scale_),
                         barText);
        continue;
      }
      painter.setFont(barFont(scale_, i == 1));
      painter.setPen(barText);
      painter.drawText(box, Qt::AlignCenter, QString::fromStdString(titles[i].title));
    }

    // Status items that are on screen.
    const auto ownItems = desktop_.ownStatusItems();
    for (const auto& slot : desktop_.menuBarLayout()) {
      if (!slot.shown || slot.hiddenByAssertion) continue;
      const auto box = canvas.fromScreen(slot.frame);
      if (slot.kind == BarSlot::Kind::OwnStatusItem) {
        auto own = std::find_if(ownItems.begin(), ownItems.end(),
                                [&](const OwnStatusItemInfo& i) { return i.id == slot.ownItem; });
        if (own == ownItems.end()) continue;
        QRectF imageBox = box;
        if (own->image) {
          imageBox.setWidth(std::min(box.width(), (own->image->size.width + 8) * scale_));
          drawImage(painter, *own->image, imageBox, scale_, barText);
        }
        if (!own->title.empty()) {
          painter.setFont(barFont(scale_));
          painter.setPen(barText);
          QRectF textBox = box;
          if (own->image) textBox.setLeft(imageBox.right());
          painter.drawText(textBox, Qt::AlignCenter, QString::fromStdString(own->title));
        }
        continue;
      }
      const auto extra = desktop_.extra(slot.extra);
      if (!extra) continue;
      const auto& look = extra->look;
      if (!look.text.empty()) {
        painter.setFont(barFont(scale_));
        painter.setPen(barText);
        painter.drawText(box, Qt::AlignCenter, QString::fromStdString(look.text));
      } else if (!look.symbol.empty()) {
        platform::Image symbol;
        symbol.kind = platform::Image::Kind::ThemeIcon;
        symbol.name = look.symbol.rfind("battery", 0) == 0 ? batteryIconName(desktop_)
                                                            : themeNameForSymbol(look.symbol);
        symbol.isTemplate = true;
        drawImage(painter, symbol, box, scale_, barText);
      } else if (!look.themeIcon.empty()) {
        platform::Image icon;
        icon.kind = platform::Image::Kind::ThemeIcon;
        icon.name = look.themeIcon;
        drawImage(painter, icon, box, scale_, barText);
      } else if (!look.imageFile.empty()) {
        drawImage(painter, *platform::Image::file(look.imageFile), box, scale_, barText);
      } else {
        painter.setPen(QPen(barText, 1.4 * scale_));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(box.center(), 6 * scale_, 6 * scale_);
      }
    }

    if (world.notch && world.notch->width > 0) {
      const double w = world.notch->width;
      // The housing fills the bar's height, square at the top and rounded below.
      const auto r = canvas.fromScreen({screen.frame.midX() - w / 2,
                                        screen.frame.maxY() - barHeight, w, barHeight});
      painter.setPen(Qt::NoPen);
      painter.setBrush(Qt::black);
      painter.drawRoundedRect(r, 8 * scale_, 8 * scale_);
      painter.fillRect(QRectF(r.left(), r.top(), r.width(), r.height() / 2), Qt::black);
    }
  }

  // Open menus on top.
  for (const auto& menu : desktop_.openMenus()) {
    const auto r = canvas.fromWindowList(menu.frame, primaryTop);
    painter.setPen(QPen(QColor(0, 0, 0, 50), scale_));
    painter.setBrush(menuBackground);
    painter.drawRoundedRect(r, 7 * scale_, 7 * scale_);
    double y = r.top() + 5 * scale_;
    painter.setFont(barFont(scale_));
    for (const auto& row : menu.rows) {
      if (row.separator) {
        painter.fillRect(QRectF(r.left() + 10 * scale_, y + 5 * scale_, r.width() - 20 * scale_,
                                scale_),
                         QColor(0, 0, 0, 40));
        y += 11 * scale_;
        continue;
      }
      painter.setPen(row.enabled ? barText : QColor(150, 150, 150));
      painter.drawText(QRectF(r.left() + 14 * scale_, y, r.width() - 20 * scale_, 22 * scale_),
                       Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(row.title));
      y += 22 * scale_;
    }
  }
  painter.end();
  return image;
}

QImage ScreenRenderer::renderMenuBar() const {
  const auto screen = renderScreen(0);
  if (screen.isNull()) return screen;
  const double barHeight = desktop_.world().menuBarHeight;
  return screen.copy(0, 0, screen.width(), static_cast<int>(std::lround(barHeight * scale_)));
}

bool writePng(const QImage& image, const std::string& path, std::string* error) {
  const auto qpath = QString::fromStdString(path);
  const auto dir = QFileInfo(qpath).absoluteDir();
  if (!dir.exists() && !QDir().mkpath(dir.absolutePath())) {
    if (error) *error = "cannot create folder " + dir.absolutePath().toStdString();
    return false;
  }
  QSaveFile file(qpath);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
    if (error) *error = "cannot write " + path + ": " + file.errorString().toStdString();
    return false;
  }
  return true;
}

}  // namespace tucklet::sim
