#include "ui/onboarding/onboarding_view.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "menubar/fold_image.h"
#include "platform/qt/gui/image_painter.h"
#include "ui/onboarding/onboarding_controller.h"

namespace tucklet {

namespace {

const QColor windowColour = QColor::fromRgbF(0.008f, 0.035f, 0.13f, 1.0f);
const QColor buttonColour = QColor::fromRgbF(0.025f, 0.055f, 0.2f, 1.0f);
const QColor textColour(236, 240, 250);

constexpr std::array<const char*, OnboardingIcons::iconCount> symbols{
    "cloud", "headphones", "bolt",    "externaldrive", "calendar", "waveform",  "display",
    "bell",  "paperplane", "sun.max", "keyboard",      "link",     "gearshape", "magnifyingglass"};
constexpr double iconPoints = 20;
constexpr double iconScale = 2;          // the pictures are rendered at twice their point size
constexpr double clusterOpacity = 0.55;  // the first five icons show a little from the start
constexpr double driftDuration = 18;
constexpr int driftSteps = 96;
constexpr double readyFade = 0.35;
constexpr double clockInterval = 1.0 / 30;

// A sequence of eased steps through `values` at `times` (seconds from the start).
QSequentialAnimationGroup* steps(const std::vector<double>& times,
                                 const std::vector<QVariant>& values, QObject* parent) {
  auto* group = new QSequentialAnimationGroup(parent);
  for (std::size_t k = 0; k + 1 < times.size(); ++k) {
    auto* step = new QVariantAnimation(group);
    step->setStartValue(values[k]);
    step->setEndValue(values[k + 1]);
    step->setDuration(int(std::lround((times[k + 1] - times[k]) * 1000)));
    step->setEasingCurve(QEasingCurve::InOutSine);
    group->addAnimation(step);
  }
  return group;
}

// The value a sequence of steps shows now.
QVariant valueOf(const QSequentialAnimationGroup* group) {
  auto* step = qobject_cast<const QVariantAnimation*>(group->currentAnimation());
  if (!step && group->animationCount() > 0)
    step = qobject_cast<const QVariantAnimation*>(group->animationAt(0));
  return step ? step->currentValue() : QVariant();
}

QImage symbolPicture(const std::string& name, double points) {
  return platform::symbolImage(name, int(std::lround(points * iconScale)), textColour);
}

QImage foldPicture(double points, const QColor& tint) {
  const int side = int(std::lround(points * iconScale));
  return platform::renderImage(*foldImage(), QSize(side, side), tint);
}

// The backdrop's artwork: soft glows of light behind a faint, crowded menu bar.
QImage makeArtwork(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(windowColour);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const auto glow = [&](QPointF centre, double radius, QColor colour) {
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0, colour);
    colour.setAlpha(0);
    gradient.setColorAt(1, colour);
    painter.fillRect(image.rect(), gradient);
  };
  const double w = size.width();
  const double h = size.height();
  glow({w * 0.22, h * 0.28}, w * 0.45, QColor(58, 92, 220, 200));
  glow({w * 0.78, h * 0.70}, w * 0.50, QColor(122, 62, 210, 170));
  glow({w * 0.55, h * 0.12}, w * 0.30, QColor(40, 170, 220, 120));
  // A bar of small rounded marks along the top third, like icons in a menu bar.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 46));
  for (int i = 0; i < 40; ++i) {
    const double x = w * 0.08 + i * (w * 0.84 / 40);
    painter.drawRoundedRect(QRectF(x, h * 0.34, 14, 14), 4, 4);
  }
  return image;
}

}  // namespace

// --- The folding icons ---

std::array<double, 5> OnboardingIcons::keyTimes(int index) {
  const double d = 0.012 * index;
  return {0.0, 0.24 + d, 1.10 + d, 1.45 + d, 2.28 + d};
}

OnboardingIcons::OnboardingIcons(bool reduceMotion, QWidget* parent)
    : QWidget(parent), reduceMotion_(reduceMotion) {
  setAccessibleName("A crowded menu bar folds into one tucklet icon.");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  for (const auto* name : symbols)
    images_.push_back(symbolPicture(name, iconPoints));
  foldedImage_ = foldPicture(iconPoints * 1.6, textColour);
}

void OnboardingIcons::begin() {
  if (started_ || width() <= 0 || height() <= 0) return;
  started_ = true;
  if (reduceMotion_) {
    settle();
    return;
  }
  const double span = width() - 48;
  const double cluster = std::min(span, 217.0);
  for (int i = 0; i < iconCount; ++i) {
    const auto t = keyTimes(i);
    const std::vector<double> times(t.begin(), t.end());
    const double v = i < 5 ? clusterOpacity : 0;
    const double start = i < 5 ? (i * 0.25 - 0.5) * cluster : 0;
    const double row = span * (double(i) / (iconCount - 1) - 0.5);
    auto* opacity = steps(times, {v, v, 0.88, 0.88, 0.0}, &group_);
    auto* transform = steps(times,
                            {QPointF(start, 1), QPointF(row, 1), QPointF(row, 0.85),
                             QPointF(0, 0.55), QPointF(0, 0.22)},
                            &group_);
    group_.addAnimation(opacity);
    group_.addAnimation(transform);
    opacity_.push_back(opacity);
    transform_.push_back(transform);
  }
  // The folded icon appears as the last icons reach the middle, then grows to its size.
  const std::vector<double> times{0.0, 1.6, 2.2, settleTime};
  auto* opacity = steps(times, {0.0, 0.0, 1.0, 1.0}, &group_);
  auto* transform =
      steps(times, {QPointF(0, 0.55), QPointF(0, 0.55), QPointF(0, 0.8), QPointF(0, 1)}, &group_);
  group_.addAnimation(opacity);
  group_.addAnimation(transform);
  opacity_.push_back(opacity);
  transform_.push_back(transform);
  setTime(0);
}

void OnboardingIcons::setTime(double seconds) {
  if (!started_ || reduceMotion_) return;
  group_.setCurrentTime(int(std::lround(std::clamp(seconds, 0.0, settleTime) * 1000)));
  update();
  if (seconds >= settleTime) settle();
}

void OnboardingIcons::settle() {
  if (settled_) return;
  settled_ = true;
  update();
  if (onSettled) onSettled();
}

OnboardingIcons::Pose OnboardingIcons::icon(int index) const {
  if (reduceMotion_ || index < 0 || index >= int(opacity_.size()) - 1) return {0, 0, 1};
  const auto place = valueOf(transform_[index]).toPointF();
  return {valueOf(opacity_[index]).toDouble(), place.x(), place.y()};
}

OnboardingIcons::Pose OnboardingIcons::folded() const {
  if (reduceMotion_) return {1, 0, 1};
  if (opacity_.empty()) return {0, 0, 0.55};
  const auto place = valueOf(transform_.back()).toPointF();
  return {valueOf(opacity_.back()).toDouble(), 0, place.y()};
}

void OnboardingIcons::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QPointF centre = QRectF(rect()).center();
  const auto draw = [&](const QImage& image, const Pose& pose, double points) {
    if (pose.opacity <= 0 || image.isNull()) return;
    const double side = points * pose.scale;
    painter.setOpacity(std::min(1.0, pose.opacity));
    painter.drawImage(
        QRectF(centre.x() + pose.offset - side / 2, centre.y() - side / 2, side, side), image);
  };
  for (int i = 0; i < iconCount; ++i)
    draw(images_[i], icon(i), iconPoints);
  draw(foldedImage_, folded(), iconPoints * 1.6);
}

// --- The welcome window's content ---

OnboardingView::OnboardingView(OnboardingController& controller, platform::Platform& platform,
                               double topInset, QSize screenSize)
    : controller_(controller),
      platform_(platform),
      topInset_(topInset),
      reduceMotion_(platform.application.reduceMotion()) {
  setFixedSize(screenSize);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
  artwork_ = makeArtwork(screenSize + QSize(88, 40));

  // The drift: 97 key values of a sine over 18 seconds, repeated for as long as it runs.
  driftAnimation_.setDuration(int(driftDuration * 1000));
  driftAnimation_.setLoopCount(-1);
  for (int i = 0; i <= driftSteps; ++i) {
    const double s = std::sin(2 * std::numbers::pi * i / driftSteps);
    driftAnimation_.setKeyValueAt(double(i) / driftSteps, QPointF(38 * s, 14 * s));
  }
  shouldDrift_ = !reduceMotion_;

  QFont text("AlloVariable-Thin");
  text.setPixelSize(17);
  text.setWeight(QFont::Weight(430));

  close_ = new QPushButton(this);
  close_->setFlat(true);
  close_->setAccessibleName("Close onboarding");
  close_->setIcon(QIcon(QPixmap::fromImage(symbolPicture("xmark", 13))));
  close_->setIconSize(QSize(13, 13));
  close_->setFixedSize(30, 30);
  close_->setCursor(Qt::PointingHandCursor);
  close_->setStyleSheet(
      "QPushButton { border: none; border-radius: 15px; background: rgba(255,255,255,0.08); }"
      "QPushButton:pressed { background: rgba(255,255,255,0.16); }");
  QObject::connect(close_, &QPushButton::clicked, [this] { controller_.dismiss(); });

  icons_ = new OnboardingIcons(reduceMotion_, this);
  icons_->onSettled = [this] { setPermissionReady(); };

  bottom_ = new QWidget(this);
  auto* column = new QVBoxLayout(bottom_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(20);
  message_ = new QLabel(bottom_);
  message_->setFont(text);
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignCenter);
  message_->setStyleSheet("color: rgb(236, 240, 250);");
  button_ = new QPushButton(bottom_);
  button_->setFont(text);
  button_->setDefault(true);
  button_->setCursor(Qt::PointingHandCursor);
  button_->setStyleSheet(QString("QPushButton { background: %1; color: rgb(236, 240, 250);"
                                 " border: 1px solid rgba(255,255,255,0.22); border-radius: 14px;"
                                 " padding: 17px 28px; }"
                                 "QPushButton:pressed { background: rgba(6, 14, 51, 0.86); }")
                             .arg(buttonColour.name()));
  QObject::connect(button_, &QPushButton::clicked, [this] { continuePressed(); });
  column->addWidget(message_);
  column->addWidget(button_, 0, Qt::AlignHCenter);
  column->addStretch(1);
  auto* fade = new QGraphicsOpacityEffect(bottom_);
  fade->setOpacity(0);
  bottom_->setGraphicsEffect(fade);
  bottom_->hide();

  layOut();
  refresh();
}

OnboardingView::~OnboardingView() {
  stop();
}

void OnboardingView::layOut() {
  const double w = width();
  const double h = height();
  const double contentWidth = std::min(w - 96, 860.0);
  const double left = (w - contentWidth) / 2;
  close_->move(int(left + contentWidth - close_->width()), int(topInset_ + 16));
  const double iconHeight = std::clamp(h - std::max(topInset_ + 16, 34.0) - 158, 0.0, 140.0);
  icons_->setGeometry(int(left), int(h * 0.42 - iconHeight / 2), int(contentWidth),
                      int(iconHeight));
  const double blockWidth = std::min(440.0, contentWidth);
  bottom_->setGeometry(int((w - blockWidth) / 2), int(h * 0.42 + iconHeight / 2 + 34),
                       int(blockWidth), 140);
}

void OnboardingView::refresh() {
  const bool trusted = controller_.accessTrusted();
  QString text;
  QString action;
  if (controller_.failure) {
    text = QString::fromStdString(*controller_.failure);
    action = trusted ? "Try again" : "Grant permission";
  } else if (trusted) {
    action = "Get started";
  } else {
    text = "tucklet needs Accessibility access to manage your menu bar.";
    action = "Grant permission";
  }
  message_->setText(text);
  message_->setVisible(!text.isEmpty());
  button_->setText(action);
  update();
}

void OnboardingView::start() {
  if (clock_) return;
  startedAt_ = platform_.runLoop.uptime();
  icons_->begin();
  setFocus();
  if (reduceMotion_) return;
  clock_ =
      platform_.runLoop.scheduleTimer(clockInterval, true, platform::TimerMode::Common,
                                      [this] { setTime(platform_.runLoop.uptime() - startedAt_); });
}

void OnboardingView::stop() {
  if (!clock_) return;
  clock_->invalidate();
  clock_.reset();
}

void OnboardingView::setTime(double seconds) {
  now_ = seconds;
  if (shouldDrift_)
    driftAnimation_.setCurrentTime(int(std::lround(std::fmod(seconds, driftDuration) * 1000)));
  icons_->setTime(seconds);
  if (permissionReady_) {
    const double p = reduceMotion_ ? 1 : std::clamp((seconds - readyAt_) / readyFade, 0.0, 1.0);
    static_cast<QGraphicsOpacityEffect*>(bottom_->graphicsEffect())
        ->setOpacity(QEasingCurve(QEasingCurve::OutCubic).valueForProgress(p));
  }
  update();
}

QPointF OnboardingView::drift() const {
  return shouldDrift_ ? driftAnimation_.currentValue().toPointF() : QPointF();
}

void OnboardingView::setPermissionReady() {
  if (permissionReady_) return;
  permissionReady_ = true;
  readyAt_ = now_;
  bottom_->show();
  setTime(now_);
}

void OnboardingView::continuePressed() {
  controller_.continueOnboarding();
}

void OnboardingView::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && permissionReady_) {
    button_->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void OnboardingView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), windowColour);
  const QPointF offset = drift();
  painter.drawImage(QPointF(-44 + offset.x(), -20 + offset.y()), artwork_);
  QColor overlay = windowColour;
  overlay.setAlphaF(0.88f);
  painter.fillRect(rect(), overlay);
  QLinearGradient top(0, 0, 0, height() * 0.4);
  top.setColorAt(0, QColor(0, 0, 0, int(0.15 * 255)));
  top.setColorAt(1, QColor(0, 0, 0, 0));
  painter.fillRect(rect(), top);
  QLinearGradient bottom(0, height() * 0.55, 0, height());
  bottom.setColorAt(0, QColor(0, 0, 0, 0));
  bottom.setColorAt(1, QColor(0, 0, 0, int(0.45 * 255)));
  painter.fillRect(rect(), bottom);

  // The top bar: Tucklet's icon and name.
  const double contentWidth = std::min(width() - 96.0, 860.0);
  const double left = (width() - contentWidth) / 2;
  const double barMiddle = topInset_ + 16 + 15;
  const auto fold = foldPicture(18, textColour);
  painter.drawImage(QRectF(left, barMiddle - 9, 18, 18), fold);
  QFont name = font();
  name.setPixelSize(15);
  name.setWeight(QFont::DemiBold);
  painter.setFont(name);
  painter.setPen(textColour);
  painter.drawText(QRectF(left + 26, barMiddle - 12, 200, 24), Qt::AlignLeft | Qt::AlignVCenter,
                   "tucklet");
}

}  // namespace tucklet
