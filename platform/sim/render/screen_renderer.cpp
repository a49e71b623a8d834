#include "platform/sim/render/screen_renderer.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/qt/gui/image_painter.h"
#include "platform/qt/gui/window_picture.h"
#include "platform/sim/sim_system_settings.h"

namespace tucklet::sim {

namespace {

using platform::Rect;
namespace mm = menu_metrics;

// Colours of the bar and of menus in both appearances.
struct Palette {
  QColor text, secondaryText, disabledText, separator, panel, outerEdge, innerEdge, barFill;
};

const Palette lightPalette{QColor(0, 0, 0, 217),       QColor(0, 0, 0, 128),
                           QColor(0, 0, 0, 64),        QColor(0, 0, 0, 26),
                           QColor(238, 238, 238, 250), QColor(0, 0, 0, 46),
                           QColor(255, 255, 255, 0),   QColor(255, 255, 255, 165)};
const Palette darkPalette{QColor(255, 255, 255, 222), QColor(255, 255, 255, 140),
                          QColor(255, 255, 255, 64),  QColor(255, 255, 255, 30),
                          QColor(40, 40, 42, 250),    QColor(0, 0, 0, 160),
                          QColor(255, 255, 255, 40),  QColor(28, 28, 30, 150)};
const QColor selectionFill(10, 110, 230);
const QColor selectedText(255, 255, 255);

const Palette& paletteFor(bool dark) {
  return dark ? darkPalette : lightPalette;
}

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

QFont textFont(double points, double scale, QFont::Weight weight = QFont::Normal) {
  QFont font;
  font.setFamilies({"Inter", "DejaVu Sans"});
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * scale))));
  font.setWeight(weight);
  // Unhinted glyphs keep widths proportional to the size, so measuring at one size holds at all.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

QFont barFont(double scale, bool bold = false) {
  return textFont(13, scale, bold ? QFont::Bold : QFont::Normal);
}

QImage wallpaper(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  const QRectF area(QPointF(0, 0), QSizeF(size));
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
  return image;
}

// The gradients cost more than everything else on the screen; a live view redraws often at one
// size, so the last wallpaper is kept.
void drawWallpaper(QPainter& painter, QSize size) {
  static std::mutex mutex;
  static QImage last;
  QImage picture;
  {
    std::lock_guard lock(mutex);
    if (last.size() != size) last = wallpaper(size);
    picture = last;
  }
  painter.drawImage(0, 0, picture);
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

// An image centred in `box`: drawings at their own size, other pictures in a square of `side`.
void drawCentred(QPainter& painter, const platform::Image& image, const QRectF& box, double side,
                 double scale, const QColor& color) {
  if (image.kind == platform::Image::Kind::Drawing) {
    const double w = image.size.width * scale * 0.9, h = image.size.height * scale * 0.9;
    platform::paintImage(painter, image,
                         QRectF(box.center().x() - w / 2, box.center().y() - h / 2, w, h), color);
    return;
  }
  platform::paintImage(painter, image,
                       QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side),
                       color);
}

// A soft shadow under a rounded panel: the panel's shape blurred by scaling it down and up.
void drawShadow(QPainter& painter, const QRectF& panel, double radius, double scale) {
  const double spread = 14 * scale;
  const QRectF area = panel.adjusted(-spread, -spread, spread, spread + 6 * scale);
  constexpr int kShrink = 8;
  QImage small(std::max(1, static_cast<int>(area.width() / kShrink)),
               std::max(1, static_cast<int>(area.height() / kShrink)),
               QImage::Format_ARGB32_Premultiplied);
  small.fill(Qt::transparent);
  {
    QPainter p(&small);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    const QRectF shape((spread) / kShrink, (spread + 5 * scale) / kShrink, panel.width() / kShrink,
                       panel.height() / kShrink);
    p.drawRoundedRect(shape, radius / kShrink, radius / kShrink);
  }
  const auto blurred =
      small
          .scaled(small.width() / 2 + 1, small.height() / 2 + 1, Qt::IgnoreAspectRatio,
                  Qt::SmoothTransformation)
          .scaled(area.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  painter.drawImage(area.topLeft(), blurred);
}

void drawChevronRight(QPainter& painter, const QPointF& centre, double scale, const QColor& color) {
  QPainterPath path;
  path.moveTo(centre + QPointF(-2 * scale, -4 * scale));
  path.lineTo(centre + QPointF(2 * scale, 0));
  path.lineTo(centre + QPointF(-2 * scale, 4 * scale));
  painter.strokePath(path, QPen(color, 1.5 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawText(QPainter& painter, const QRectF& box, MenuText style, double scale,
              const QColor& color, const std::string& text, Qt::Alignment alignment) {
  const auto font = menuFont(style, scale);
  painter.setFont(font);
  painter.setPen(color);
  const auto shown =
      QFontMetricsF(font).elidedText(QString::fromStdString(text), Qt::ElideRight, box.width());
  painter.drawText(box, alignment | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

// One open menu, drawn like a Mac menu: a rounded panel with a shadow, rows from the layout.
void drawMenu(QPainter& painter, const OpenMenu& menu, const QRectF& r, double s) {
  const auto& layout = menu.layout;
  const auto& palette = paletteFor(layout.dark);
  const double radius = mm::kCornerRadius * s;
  drawShadow(painter, r, radius, s);
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette.panel);
  painter.drawRoundedRect(r, radius, radius);
  painter.setBrush(Qt::NoBrush);
  if (palette.innerEdge.alpha() > 0) {
    painter.setPen(QPen(palette.innerEdge, s * 0.5));
    painter.drawRoundedRect(r.adjusted(s * 0.75, s * 0.75, -s * 0.75, -s * 0.75), radius - s * 0.75,
                            radius - s * 0.75);
  }
  painter.setPen(QPen(palette.outerEdge, s * 0.5));
  painter.drawRoundedRect(r.adjusted(s * 0.25, s * 0.25, -s * 0.25, -s * 0.25), radius, radius);

  const double right = r.left() + layout.size.width * s - mm::kTrailingInset * s;
  for (std::size_t i = 0; i < layout.rows.size(); ++i) {
    const auto& row = layout.rows[i];
    const QRectF box(r.left() + row.frame.x * s, r.top() + row.frame.y * s, row.frame.width * s,
                     row.frame.height * s);
    switch (row.kind) {
      case MenuLayoutRow::Kind::Separator: {
        const double y = std::round(box.center().y() - s * 0.5);
        painter.fillRect(QRectF(box.left() + 10 * s, y, box.width() - 20 * s, s),
                         palette.separator);
        continue;
      }
      case MenuLayoutRow::Kind::Header: {
        const QRectF text(r.left() + layout.imageX * s, box.top() + 3 * s,
                          right - (r.left() + layout.imageX * s), box.height() - 3 * s);
        drawText(painter, text, MenuText::Header, s, palette.secondaryText, row.title,
                 Qt::AlignLeft);
        continue;
      }
      case MenuLayoutRow::Kind::Item:
        break;
    }
    const bool selected = menu.highlighted == i && row.choosable();
    if (selected) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(selectionFill);
      const QRectF fill = box.adjusted(mm::kHighlightInset * s, 0, -mm::kHighlightInset * s, 0);
      painter.drawRoundedRect(fill, mm::kHighlightRadius * s, mm::kHighlightRadius * s);
    }
    const QColor text =
        selected ? selectedText : (row.enabled ? palette.text : palette.disabledText);
    const QColor secondary =
        selected ? selectedText : (row.enabled ? palette.secondaryText : palette.disabledText);

    if (row.checked)
      drawText(painter,
               QRectF(r.left() + layout.checkX * s, box.top(), mm::kCheckColumn * s, box.height()),
               MenuText::Title, s, text, "✓", Qt::AlignLeft);
    if (row.image) {
      const double side = mm::kImageSide * s;
      const QRectF imageBox(r.left() + layout.imageX * s, box.center().y() - side / 2, side, side);
      const bool tinted = row.image->kind == platform::Image::Kind::SystemSymbol ||
                          row.image->kind == platform::Image::Kind::Drawing ||
                          row.image->isTemplate;
      if (!row.enabled && !tinted) painter.setOpacity(0.35);
      // A symbol keeps a little air inside its 18-point box, as the system's symbols do.
      const double inner = row.image->kind == platform::Image::Kind::SystemSymbol ? 16 * s : side;
      drawCentred(painter, *row.image, imageBox, inner, s, text);
      painter.setOpacity(1);
    }

    double trailing = right;
    if (row.hasSubmenu) {
      drawChevronRight(painter, QPointF(right - 2 * s, box.center().y()), s, secondary);
      trailing -= (mm::kSubmenuArrow + 8) * s;
    } else if (!row.keyEquivalent.empty()) {
      const auto font = menuFont(MenuText::KeyEquivalent, s);
      const double keyWidth =
          QFontMetricsF(font).horizontalAdvance(QString::fromStdString(row.keyEquivalent));
      const QRectF keyBox(right - keyWidth - 2 * s, box.top(), keyWidth + 2 * s,
                          row.subtitle.empty() ? box.height() : 20 * s);
      drawText(painter, keyBox, MenuText::KeyEquivalent, s, secondary, row.keyEquivalent,
               Qt::AlignRight);
      trailing = keyBox.left() - 12 * s;
    }
    const double titleLeft = r.left() + layout.titleX * s;
    const double titleWidth = std::max(0.0, trailing - titleLeft);
    if (row.subtitle.empty()) {
      drawText(painter, QRectF(titleLeft, box.top(), titleWidth, box.height()), MenuText::Title, s,
               text, row.title, Qt::AlignLeft);
    } else {
      drawText(painter, QRectF(titleLeft, box.top() + 2 * s, titleWidth, 18 * s), MenuText::Title,
               s, text, row.title, Qt::AlignLeft);
      drawText(painter, QRectF(titleLeft, box.top() + 19 * s, titleWidth, 14 * s),
               MenuText::Subtitle, s, secondary, row.subtitle, Qt::AlignLeft);
    }
  }
}

// System Settings' Accessibility pane: the sidebar, the pane's title and explanation, and the list
// of applications with this process's row and its switch, on when it is trusted.
void drawAccessibilityPane(QPainter& painter, const Canvas& canvas, const Rect& bounds,
                           double primaryTop, const SimDesktop& desktop, const World& world,
                           double s) {
  const auto layout = accessibilityPaneLayout(bounds);
  const auto r = canvas.fromWindowList(bounds, primaryTop);
  painter.save();
  QPainterPath shape;
  shape.addRoundedRect(r, 10 * s, 10 * s);
  drawShadow(painter, r, 10 * s, s);
  painter.setClipPath(shape);
  painter.fillRect(r, QColor(246, 246, 246));
  const auto sidebar = canvas.fromWindowList(layout.sidebar, primaryTop);
  painter.fillRect(sidebar, QColor(232, 232, 236));
  painter.fillRect(QRectF(sidebar.right() - 0.5 * s, sidebar.top(), 0.5 * s, sidebar.height()),
                   QColor(0, 0, 0, 30));
  // Traffic lights and the sidebar's entries, "Privacy & Security" chosen.
  const QColor lights[] = {QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
  for (int i = 0; i < 3; ++i) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(lights[i]);
    painter.drawEllipse(QPointF(r.left() + (20 + 20 * i) * s, r.top() + 20 * s), 6 * s, 6 * s);
  }
  const char* entries[] = {
      "Wi-Fi",    "Bluetooth",      "Network",    "Notifications",      "Sound",
      "Focus",    "General",        "Appearance", "Accessibility",      "Control Centre",
      "Displays", "Desktop & Dock", "Battery",    "Privacy & Security", "Users & Groups"};
  painter.setFont(textFont(13, s));
  double y = r.top() + 52 * s;
  for (const auto* entry : entries) {
    const QRectF line(sidebar.left() + 10 * s, y, sidebar.width() - 20 * s, 26 * s);
    const bool chosen = std::string(entry) == "Privacy & Security";
    if (chosen) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(10, 122, 255));
      painter.drawRoundedRect(line, 6 * s, 6 * s);
    }
    painter.setPen(chosen ? Qt::white : QColor(30, 30, 30));
    painter.drawText(line.adjusted(10 * s, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, entry);
    y += 28 * s;
    if (y > r.bottom() - 30 * s) break;
  }
  // The pane's title bar and explanation.
  const double left = sidebar.right() + 20 * s;
  const double width = r.right() - 20 * s - left;
  painter.setPen(QColor(30, 30, 30));
  painter.setFont(textFont(15, s, QFont::DemiBold));
  painter.drawText(QRectF(left, r.top() + 8 * s, width, 26 * s), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8("\u2039  Accessibility"));
  painter.setPen(QColor(90, 90, 90));
  painter.setFont(textFont(12, s));
  painter.drawText(QRectF(left, r.top() + 56 * s, width, 60 * s),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   "Allow the applications below to control your computer.");
  // The list: this process's row with its switch, and the + and − buttons below.
  const auto list = canvas.fromWindowList(layout.list, primaryTop);
  painter.setPen(QPen(QColor(0, 0, 0, 28), s));
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(list, 8 * s, 8 * s);
  const auto row = canvas.fromWindowList(layout.row, primaryTop);
  painter.fillRect(QRectF(row.left() + 12 * s, row.bottom(), row.width() - 24 * s, 0.5 * s),
                   QColor(0, 0, 0, 30));
  const auto icon = desktop.workspace().iconForFile(world.self.path);
  if (icon)
    platform::paintImage(painter, *icon,
                         QRectF(row.left() + 12 * s, row.center().y() - 13 * s, 26 * s, 26 * s),
                         QColor(30, 30, 30));
  painter.setPen(QColor(30, 30, 30));
  painter.setFont(textFont(13, s));
  painter.drawText(QRectF(row.left() + 48 * s, row.top(), row.width() - 120 * s, row.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(world.self.name));
  const auto toggle = canvas.fromWindowList(layout.toggle, primaryTop);
  const bool on = world.accessibilityTrusted;
  painter.setPen(Qt::NoPen);
  painter.setBrush(on ? QColor(10, 122, 255) : QColor(210, 210, 214));
  painter.drawRoundedRect(toggle, toggle.height() / 2, toggle.height() / 2);
  const double knob = toggle.height() - 4 * s;
  painter.setBrush(Qt::white);
  painter.drawEllipse(QRectF(on ? toggle.right() - 2 * s - knob : toggle.left() + 2 * s,
                             toggle.top() + 2 * s, knob, knob));
  painter.setPen(QColor(120, 120, 120));
  painter.setFont(textFont(15, s));
  const QRectF buttons(list.left() + 12 * s, list.top() + 50 * s, 60 * s, 30 * s);
  painter.drawText(buttons, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8("+   \u2212"));
  painter.restore();
}

// One of this process's own windows: a popover's material and arrow, or a window with its title
// bar, and the content's own picture inside.
void drawOwnWindow(QPainter& painter, const OwnWindowInfo& window, const QRectF& r,
                   const QRectF& content, double s) {
  const auto& palette = paletteFor(window.dark);
  QPainterPath shape;
  if (window.borderless) {
    // A borderless window is its content alone, drawn where it stands.
    if (auto* picture = dynamic_cast<platform::WindowPicture*>(window.content.get())) {
      const auto image = picture->picture(s);
      if (!image.isNull())
        painter.drawImage(QRectF(content.topLeft(), QSizeF(image.size())), image);
    }
    return;
  }
  if (window.popover) {
    const double radius = kPopoverCornerRadius * s;
    const QRectF body(content.left(), content.top(), content.width(), content.height());
    shape.addRoundedRect(body, radius, radius);
    const double tipX = r.left() + window.arrowX * s;
    const double half = kPopoverArrowWidth / 2 * s;
    QPainterPath arrow;
    arrow.moveTo(tipX - half, body.top() + 0.5 * s);
    arrow.cubicTo(tipX - half * 0.45, body.top(), tipX - half * 0.35, r.top(), tipX, r.top());
    arrow.cubicTo(tipX + half * 0.35, r.top(), tipX + half * 0.45, body.top(), tipX + half,
                  body.top() + 0.5 * s);
    arrow.closeSubpath();
    shape = shape.united(arrow);
    drawShadow(painter, body, radius, s);
  } else {
    shape.addRoundedRect(r, 10 * s, 10 * s);
    drawShadow(painter, r, 10 * s, s);
  }
  const QColor material = window.dark ? QColor(44, 44, 46, 252) : QColor(246, 246, 246, 252);
  painter.setPen(Qt::NoPen);
  painter.setBrush(material);
  painter.drawPath(shape);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(palette.outerEdge, s * 0.5));
  painter.drawPath(shape);
  if (palette.innerEdge.alpha() > 0) {
    painter.save();
    painter.setClipPath(shape);
    painter.setPen(QPen(palette.innerEdge, s));
    painter.drawPath(shape);
    painter.restore();
  }
  if (!window.popover) {
    const QRectF titleBar(r.left(), r.top(), r.width(), content.top() - r.top());
    const QColor lights[] = {QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
    for (int i = 0; i < 3; ++i) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(lights[i]);
      painter.drawEllipse(
          QPointF(titleBar.left() + (kCloseButtonX + 20 * i) * s, titleBar.center().y()),
          kCloseButtonRadius * s, kCloseButtonRadius * s);
    }
    painter.setPen(palette.text);
    painter.setFont(barFont(s, true));
    painter.drawText(titleBar, Qt::AlignCenter, QString::fromStdString(window.title));
  }
  if (auto* picture = dynamic_cast<platform::WindowPicture*>(window.content.get())) {
    const auto image = picture->picture(s);
    if (!image.isNull()) {
      painter.save();
      painter.setClipPath(shape);
      painter.drawImage(QRectF(content.topLeft(), QSizeF(image.size())), image);
      painter.restore();
    }
  }
}

}  // namespace

QFont menuFont(MenuText style, double scale) {
  switch (style) {
    case MenuText::Subtitle:
      return textFont(mm::kSubtitleSize, scale);
    case MenuText::Header:
      return textFont(mm::kHeaderSize, scale, QFont::DemiBold);
    case MenuText::Title:
    case MenuText::KeyEquivalent:
      break;
  }
  return textFont(mm::kTitleSize, scale);
}

void useRenderedTextWidths(SimDesktop& desktop) {
  desktop.setMenuTextWidth([](const std::string& text, MenuText style) {
    // Measured large and scaled down: unhinted advances, so the width holds at every scale.
    constexpr double kMeasureScale = 8;
    const QFontMetricsF metrics(menuFont(style, kMeasureScale));
    return metrics.horizontalAdvance(QString::fromStdString(text)) / kMeasureScale + 1;
  });
}

QImage ScreenRenderer::renderScreen(std::size_t screenIndex) const {
  const auto screens = desktop_.screens().screens();
  if (screenIndex >= screens.size()) return {};
  const auto world = desktop_.world();
  const auto& palette = paletteFor(world.darkAppearance);
  const auto& screen = screens[screenIndex];
  const double primaryTop = screens.front().frame.maxY();
  QImage image(static_cast<int>(std::lround(screen.frame.width * scale_)),
               static_cast<int>(std::lround(screen.frame.height * scale_)),
               QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  Canvas canvas{painter, scale_, screen.frame.maxY(), screen.frame.x};
  drawWallpaper(painter, image.size());

  const auto windows = desktop_.windowServer().onScreenWindows(true);
  const auto ownWindows = desktop_.ownWindows();
  const auto isOwn = [&ownWindows](platform::WindowNumber number) {
    return std::any_of(ownWindows.begin(), ownWindows.end(),
                       [number](const OwnWindowInfo& w) { return w.number == number; });
  };
  // Ordinary windows of other applications, back to front.
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (it->layer != 0 || isOwn(it->number)) continue;
    if (it->ownerName == "System Settings" && it->name == kAccessibilityWindowName) {
      drawAccessibilityPane(painter, canvas, it->bounds, primaryTop, desktop_, world, scale_);
      continue;
    }
    const auto r = canvas.fromWindowList(it->bounds, primaryTop);
    painter.setPen(QPen(QColor(0, 0, 0, 60), scale_));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(r, 10 * scale_, 10 * scale_);
    painter.fillRect(QRectF(r.left(), r.top(), r.width(), 28 * scale_), QColor(232, 232, 232));
    painter.setPen(lightPalette.text);
    painter.setFont(barFont(scale_, true));
    painter.drawText(QRectF(r.left(), r.top(), r.width(), 28 * scale_), Qt::AlignCenter,
                     QString::fromStdString(it->name));
  }

  if (screenIndex == 0) {
    const QColor barText = palette.text;
    const double barHeight = world.menuBarHeight;
    const Rect barRect{screen.frame.x, screen.frame.maxY() - barHeight, screen.frame.width,
                       barHeight};
    const auto bar = canvas.fromScreen(barRect);
    painter.fillRect(bar, palette.barFill);
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

    // Status items that are on screen; symbols are template images in the bar's text colour.
    const double symbolSide = std::min(barHeight, 16.0) * scale_;
    const auto ownItems = desktop_.ownStatusItems();
    for (const auto& slot : desktop_.menuBarLayout()) {
      if (!slot.shown || slot.hiddenByAssertion) continue;
      const auto box = canvas.fromScreen(slot.frame);
      if (slot.kind == BarSlot::Kind::OwnStatusItem) {
        auto own = std::find_if(ownItems.begin(), ownItems.end(),
                                [&](const OwnStatusItemInfo& i) { return i.id == slot.ownItem; });
        if (own == ownItems.end()) continue;
        if (own->highlighted) {
          // Pressed: a rounded plate of the bar's text colour, faint, a little inside the bar.
          QColor plate = barText;
          plate.setAlphaF(0.16);
          const double inset = std::max(1.0, (barHeight - 22) / 2) * scale_;
          const QRectF pressed(box.left(), box.top() + inset, box.width(),
                               box.height() - 2 * inset);
          painter.save();
          painter.setRenderHint(QPainter::Antialiasing);
          painter.setPen(Qt::NoPen);
          painter.setBrush(plate);
          painter.drawRoundedRect(pressed, 5 * scale_, 5 * scale_);
          painter.restore();
        }
        QRectF imageBox = box;
        if (own->image) {
          imageBox.setWidth(std::min(box.width(), (own->image->size.width + 8) * scale_));
          drawCentred(painter, *own->image, imageBox, symbolSide, scale_, barText);
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
      } else if (look.symbol.rfind("battery", 0) == 0) {
        // The battery shows its charge rather than the symbol's full battery.
        platform::Image battery;
        battery.kind = platform::Image::Kind::ThemeIcon;
        battery.name = batteryIconName(desktop_);
        battery.isTemplate = true;
        drawCentred(painter, battery, box, symbolSide, scale_, barText);
      } else if (!look.symbol.empty()) {
        drawCentred(painter, *platform::Image::symbol(look.symbol), box, symbolSide, scale_,
                    barText);
      } else if (!look.themeIcon.empty()) {
        drawCentred(painter, *platform::Image::themeIcon(look.themeIcon), box, symbolSide, scale_,
                    barText);
      } else if (!look.imageFile.empty()) {
        drawCentred(painter, *platform::Image::file(look.imageFile), box, symbolSide, scale_,
                    barText);
      } else {
        painter.setPen(QPen(barText, 1.4 * scale_));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(box.center(), 6 * scale_, 6 * scale_);
      }
    }

    if (world.notch && world.notch->width > 0) {
      const double w = world.notch->width;
      // The housing fills the bar's height, square at the top and rounded below.
      const auto r = canvas.fromScreen(
          {screen.frame.midX() - w / 2, screen.frame.maxY() - barHeight, w, barHeight});
      painter.setPen(Qt::NoPen);
      painter.setBrush(Qt::black);
      painter.drawRoundedRect(r, 8 * scale_, 8 * scale_);
      painter.fillRect(QRectF(r.left(), r.top(), r.width(), r.height() / 2), Qt::black);
    }
  }

  // This process's windows and popovers, back to front, then open menus on top.
  if (screenIndex == 0) {
    for (auto it = ownWindows.rbegin(); it != ownWindows.rend(); ++it)
      drawOwnWindow(painter, *it, canvas.fromWindowList(it->frame, primaryTop),
                    canvas.fromWindowList(it->contentFrame, primaryTop), scale_);
  }
  // Open menus on top.
  for (const auto& menu : desktop_.openMenus())
    drawMenu(painter, menu, canvas.fromWindowList(menu.frame, primaryTop), scale_);
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
