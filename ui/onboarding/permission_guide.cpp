#include "ui/onboarding/permission_guide.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/qt/gui/image_painter.h"
#include "ui/onboarding/onboarding_controller.h"

namespace tucklet {

namespace {

const QColor cardColour(32, 34, 40, 245);
const QColor cardText(242, 242, 247);
const QColor cardSecondary(174, 174, 178);

QFont sized(int pixels, QFont::Weight weight = QFont::Normal) {
  QFont font;
  font.setPixelSize(pixels);
  font.setWeight(weight);
  return font;
}

}  // namespace

AppIconDragView::AppIconDragView(const platform::ImageRef& icon, QWidget* parent)
    : QWidget(parent) {
  setFixedSize(40, 40);
  setCursor(Qt::OpenHandCursor);
  setToolTip("Drag tucklet up into the System Settings list");
  setAccessibleName("tucklet app. Drag into System Settings to allow access.");
  if (icon) icon_ = platform::renderImage(*icon, QSize(80, 80), cardText);
}

void AppIconDragView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!icon_.isNull()) painter.drawImage(QRectF(rect()), icon_);
}

PermissionGuide::PermissionGuide(OnboardingController& controller, platform::Platform& platform)
    : controller_(controller) {
  setAttribute(Qt::WA_TranslucentBackground);
  resize(400, 116);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(16, 12, 14, 12);
  row->setSpacing(14);

  auto* column = new QVBoxLayout;
  column->setSpacing(4);
  title_ = new QLabel(this);
  title_->setFont(sized(13, QFont::DemiBold));
  auto* text = new QLabel(
      "Missing? Drag tucklet in or click +. Already on? Remove it with \u2212, add this copy, "
      "then turn it on.",
      this);
  text->setFont(sized(11));
  text->setWordWrap(true);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(8);
  checkAgain_ = new QPushButton("Check Again", this);
  cancel_ = new QPushButton("Cancel", this);
  for (auto* button : {checkAgain_, cancel_}) {
    button->setFont(sized(11));
    button->setStyleSheet(
        "QPushButton { background: rgba(255,255,255,0.14); color: rgb(242,242,247);"
        " border: none; border-radius: 5px; padding: 3px 10px; }"
        "QPushButton:pressed { background: rgba(255,255,255,0.24); }");
  }
  QObject::connect(checkAgain_, &QPushButton::clicked, [this] { controller_.checkAgain(); });
  QObject::connect(cancel_, &QPushButton::clicked, [this] { controller_.dismiss(); });
  buttons->addWidget(checkAgain_);
  buttons->addWidget(cancel_);
  buttons->addStretch(1);
  column->addWidget(title_);
  column->addWidget(text);
  column->addStretch(1);
  column->addLayout(buttons);
  row->addLayout(column, 1);

  // The drag tile: an arrow up, the icon, the caption.
  auto* tile = new QVBoxLayout;
  tile->setSpacing(2);
  auto* arrow = new QLabel(this);
  arrow->setPixmap(QPixmap::fromImage(platform::symbolImage("arrow.up", 22, cardText)));
  arrow->setFixedSize(11, 11);
  arrow->setScaledContents(true);
  const auto path = platform.workspace.mainBundle().path;
  auto* icon = new AppIconDragView(platform.workspace.iconForFile(path), this);
  auto* caption = new QLabel("Drag into list", this);
  caption->setFont(sized(10, QFont::DemiBold));
  tile->addWidget(arrow, 0, Qt::AlignHCenter);
  tile->addWidget(icon, 0, Qt::AlignHCenter);
  tile->addWidget(caption, 0, Qt::AlignHCenter);
  row->addLayout(tile);

  for (auto* label : {title_, text, caption})
    label->setStyleSheet(
        QString("color: %1;").arg((label == title_ ? cardText : cardSecondary).name()));
  refresh();
}

void PermissionGuide::refresh() {
  title_->setText(controller_.permissionStillMissing ? "This copy still needs access"
                                                     : "Turn on tucklet");
}

void PermissionGuide::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
  painter.setBrush(cardColour);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

}  // namespace tucklet
