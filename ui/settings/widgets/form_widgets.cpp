#include "ui/settings/widgets/form_widgets.h"

#include <cmath>

#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/gui/image_painter.h"

namespace tucklet::settings_ui {

Theme theme(bool dark) {
  if (dark) {
    return {.dark = true,
            .window = QColor(0x1e, 0x1e, 0x1e),
            .sidebar = QColor(0x28, 0x28, 0x2a),
            .section = QColor(0x2b, 0x2b, 0x2d),
            .separator = QColor(0x3d, 0x3d, 0x40),
            .text = QColor(0xf2, 0xf2, 0xf2),
            .secondary = QColor(0x98, 0x98, 0x9d),
            .accent = QColor(0x0a, 0x84, 0xff),
            .destructive = QColor(0xff, 0x45, 0x3a),
            .control = QColor(0x4a, 0x4a, 0x4d),
            .controlBorder = QColor(0x58, 0x58, 0x5c)};
  }
  return {.dark = false,
          .window = QColor(0xf2, 0xf2, 0xf4),
          .sidebar = QColor(0xe6, 0xe4, 0xe8),
          .section = QColor(0xff, 0xff, 0xff),
          .separator = QColor(0xe3, 0xe3, 0xe6),
          .text = QColor(0x1d, 0x1d, 0x1f),
          .secondary = QColor(0x6e, 0x6e, 0x73),
          .accent = QColor(0x00, 0x7a, 0xff),
          .destructive = QColor(0xff, 0x3b, 0x30),
          .control = QColor(0xff, 0xff, 0xff),
          .controlBorder = QColor(0xc8, 0xc8, 0xcc)};
}

QString styleSheet(const Theme& t) {
  const auto c = [](const QColor& color) { return color.name(QColor::HexArgb); };
  const QColor pressed = t.dark ? t.control.lighter(120) : t.control.darker(108);
  return QString(R"(
    * { font-family: "Inter", "DejaVu Sans"; font-size: 13px; color: %1; }
    QScrollArea, QScrollArea > QWidget > QWidget { background: %2; border: none; }
    QPushButton {
      background: %3; border: 1px solid %4; border-radius: 5px;
      padding: 3px 12px; min-height: 16px;
    }
    QPushButton:pressed { background: %5; }
    QPushButton:disabled { color: %6; }
    QPushButton[role="destructive"] { color: %7; }
    QPushButton[role="prominent"] { background: %8; border-color: %8; color: white; }
    QPushButton[role="symbol"] { padding: 2px 4px; min-width: 18px; }
    QComboBox {
      background: %3; border: 1px solid %4; border-radius: 5px; padding: 2px 8px;
      min-height: 18px; min-width: 120px;
    }
    QComboBox::drop-down { border: none; width: 18px; }
    QComboBox QAbstractItemView { background: %3; selection-background-color: %8;
                                  selection-color: white; border: 1px solid %4; }
    QLineEdit {
      background: %9; border: 1px solid %4; border-radius: 5px; padding: 3px 6px;
      min-width: 180px; selection-background-color: %8;
    }
    QLineEdit:focus { border: 2px solid %10; padding: 2px 5px; }
    QLineEdit[wide="true"] { min-width: 360px; }
    QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }
    QScrollBar::handle:vertical { background: %6; border-radius: 3px; min-height: 30px; }
    QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
    QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
    QSlider { min-height: 22px; }
    QSlider::groove:horizontal { height: 4px; background: %11; border-radius: 2px; }
    QSlider::sub-page:horizontal { background: %8; border-radius: 2px; }
    QSlider::sub-page:horizontal:disabled { background: %6; }
    QSlider::handle:horizontal {
      background: white; border: 1px solid %4; width: 16px; height: 16px;
      margin: -7px 0; border-radius: 8px;
    }
    QLabel[secondary="true"] { color: %6; }
    QLabel[caption="true"] { color: %6; font-size: 11px; }
    QLabel[header="true"] { font-weight: 600; }
    QLabel[title="true"] { font-size: 20px; font-weight: 700; }
    QLabel[warning="true"] { color: %7; }
    QLabel:disabled { color: %6; }
    QToolTip { color: %1; background: %3; border: 1px solid %4; }
  )")
      .arg(c(t.text), c(t.window), c(t.control), c(t.controlBorder), c(pressed), c(t.secondary),
           c(t.destructive), c(t.accent), c(t.dark ? QColor(0x1c, 0x1c, 0x1e) : QColor(Qt::white)))
      .arg(c(QColor(t.accent.red(), t.accent.green(), t.accent.blue(), 160)), c(t.separator));
}

QPixmap picture(const platform::Image& image, double points, const QColor& tint, double ratio) {
  const int pixels = static_cast<int>(std::lround(points * ratio));
  auto rendered = platform::renderImage(image, QSize(pixels, pixels), tint);
  if (rendered.isNull()) return {};
  auto pixmap = QPixmap::fromImage(rendered);
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

QPixmap symbolPicture(const std::string& name, double points, const QColor& tint, double ratio) {
  const int pixels = static_cast<int>(std::lround(points * ratio));
  const auto rendered = platform::symbolImage(name, pixels, tint);
  if (rendered.isNull()) return {};
  auto pixmap = QPixmap::fromImage(rendered);
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

PopUpButton::PopUpButton(const Theme& theme, QWidget* parent) : QComboBox(parent), theme_(theme) {}

void PopUpButton::showPopup() {
  if (popUpMenu)
    popUpMenu(*this);
  else
    QComboBox::showPopup();
}

void PopUpButton::paintEvent(QPaintEvent* event) {
  QComboBox::paintEvent(event);
  // The chevrons sit in the drop-down area the style sheet leaves at the right (18 points).
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor ink = isEnabled() ? theme_.text : theme_.secondary;
  ink.setAlphaF(ink.alphaF() * 0.8);
  painter.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const QPointF middle(width() - 11.5, height() / 2.0);
  const double half = 3.2, gap = 1.6, rise = 3.0;
  const QPointF up[] = {middle + QPointF(-half, -gap), middle + QPointF(0, -gap - rise),
                        middle + QPointF(half, -gap)};
  const QPointF down[] = {middle + QPointF(-half, gap), middle + QPointF(0, gap + rise),
                          middle + QPointF(half, gap)};
  painter.drawPolyline(up, 3);
  painter.drawPolyline(down, 3);
}

Switch::Switch(const Theme& theme, QWidget* parent) : QAbstractButton(parent), theme_(theme) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
}

QSize Switch::sizeHint() const {
  return {32, 18};
}

void Switch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(0, 0, 32, 18).translated(0.5, (height() - 18) / 2.0);
  QColor fill = isChecked() ? theme_.accent
                            : (theme_.dark ? QColor(0x5a, 0x5a, 0x5e) : QColor(0xe0, 0xe0, 0xe3));
  if (!isEnabled()) fill.setAlphaF(0.45);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(track.adjusted(0, 0, -1, -1), 8.5, 8.5);
  const double knob = 16;
  const double x = isChecked() ? track.right() - knob - 2 : track.left() + 1;
  QColor knobColour(Qt::white);
  if (!isEnabled()) knobColour = theme_.dark ? QColor(0x9a, 0x9a, 0x9a) : QColor(0xf6, 0xf6, 0xf6);
  painter.setBrush(QColor(0, 0, 0, 40));
  painter.drawEllipse(QRectF(x, track.top() + 1.5, knob, knob));
  painter.setBrush(knobColour);
  painter.drawEllipse(QRectF(x, track.top() + 1, knob, knob - 0.5));
}

Section::Section(const Theme& theme, const QString& header, QWidget* parent)
    : QWidget(parent), theme_(theme) {
  outer_ = new QVBoxLayout(this);
  outer_->setContentsMargins(0, 0, 0, 0);
  outer_->setSpacing(6);
  if (!header.isEmpty()) {
    auto* title = new QLabel(header, this);
    title->setProperty("header", true);
    title->setContentsMargins(10, 0, 0, 0);
    outer_->addWidget(title);
  }
  box_ = new QFrame(this);
  box_->setObjectName("sectionBox");
  box_->setStyleSheet(QString("#sectionBox { background: %1; border: 1px solid %2; "
                              "border-radius: 10px; }")
                          .arg(theme.section.name(), theme.separator.name()));
  rows_ = new QVBoxLayout(box_);
  rows_->setContentsMargins(12, 4, 12, 4);
  rows_->setSpacing(0);
  outer_->addWidget(box_);
}

void Section::addRow(QWidget* row) {
  if (count_++ > 0) {
    auto* line = new QFrame(box_);
    line->setFixedHeight(1);
    line->setStyleSheet(QString("background: %1; border: none;").arg(theme_.separator.name()));
    rows_->addWidget(line);
  }
  row->setParent(box_);
  row->setMinimumHeight(34);
  rows_->addWidget(row);
}

QWidget* Section::addLabeledRow(const QString& label, QWidget* control) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 5, 0, 5);
  layout->setSpacing(10);
  auto* text = new QLabel(label, row);
  layout->addWidget(text, 1);
  if (control) layout->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
  addRow(row);
  return row;
}

QLabel* Section::addTextRow(const QString& text, bool secondary) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setContentsMargins(0, 8, 0, 8);
  if (secondary) label->setProperty("secondary", true);
  addRow(label);
  return label;
}

Switch* Section::addToggle(const QString& label, bool on, std::function<void(bool)> changed) {
  auto* toggle = new Switch(theme_);
  toggle->setChecked(on);
  toggle->setAccessibleName(label);
  QObject::connect(toggle, &QAbstractButton::toggled, toggle,
                   [changed = std::move(changed)](bool value) { changed(value); });
  addLabeledRow(label, toggle);
  return toggle;
}

void Section::setFooter(const QString& text) {
  auto* footer = caption(theme_, text, this);
  footer->setContentsMargins(10, 0, 10, 0);
  outer_->addWidget(footer);
}

QLabel* caption(const Theme&, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setProperty("caption", true);
  return label;
}

QPushButton* button(const QString& title, std::function<void()> pressed, const QString& role) {
  auto* b = new QPushButton(title);
  if (!role.isEmpty()) b->setProperty("role", role);
  b->setCursor(Qt::PointingHandCursor);
  QObject::connect(b, &QPushButton::clicked, b, [pressed = std::move(pressed)] {
    if (pressed) pressed();
  });
  return b;
}

}  // namespace tucklet::settings_ui
