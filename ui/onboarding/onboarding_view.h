// The welcome window's content, drawn with Qt Widgets over the whole screen: the drifting
// backdrop, the top bar with the close button, the folding icons (a crowded menu bar folding into
// Tucklet's icon) and, once they have settled, the permission text and its button.
//
// The animations are Qt animation objects that are never started on Qt's own clock: a timer of
// the platform's run loop sets their current time from the run loop's uptime, so under a virtual
// run loop they move only as virtual time moves, and a test can stop them at any key time.
#pragma once

#include <QLabel>
#include <QParallelAnimationGroup>
#include <QPushButton>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace tucklet {

class OnboardingController;

// The folding icons: 14 symbols that gather, line up as a menu bar and fold into Tucklet's icon.
class OnboardingIcons final : public QWidget {
 public:
  static constexpr int iconCount = 14;
  static constexpr double settleTime = 2.45;  // seconds after the start
  // The key times of icon `index` (seconds).
  static std::array<double, 5> keyTimes(int index);

  OnboardingIcons(bool reduceMotion, QWidget* parent);

  // Builds the animations for the current width (the first time the view has a size).
  void begin();
  // Moves every animation to `seconds` after the start; reports settling once.
  void setTime(double seconds);
  bool started() const { return started_; }
  bool settled() const { return settled_; }
  std::function<void()> onSettled;

  // What icon `index` shows now: its opacity, its horizontal offset from the centre and its scale.
  struct Pose {
    double opacity = 0;
    double offset = 0;
    double scale = 1;
  };
  Pose icon(int index) const;
  Pose folded() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void settle();

  const bool reduceMotion_;
  bool started_ = false;
  bool settled_ = false;
  QParallelAnimationGroup group_;
  // Per icon, the folded icon last: its opacity, and its (offset, scale) as a point, each a
  // sequence of eased steps from key time to key time.
  std::vector<QSequentialAnimationGroup*> opacity_;
  std::vector<QSequentialAnimationGroup*> transform_;
  std::vector<QImage> images_;
  QImage foldedImage_;
};

class OnboardingView final : public QWidget {
 public:
  OnboardingView(OnboardingController& controller, platform::Platform& platform, double topInset,
                 QSize screenSize);
  ~OnboardingView() override;

  // Shows the controller's state again (trust, failure).
  void refresh();
  // Starts the clock of the animations (the window is on screen); `stop` ends it.
  void start();
  void stop();
  // Moves every animation to `seconds` after the start.
  void setTime(double seconds);

  static constexpr const char* driftKey = "onboarding.drift";
  // The backdrop's drift at `seconds`: the artwork's offset in points.
  QPointF drift() const;
  bool drifting() const { return shouldDrift_; }
  bool permissionReady() const { return permissionReady_; }
  OnboardingIcons* icons() const { return icons_; }
  QPushButton* button() const { return button_; }
  QPushButton* closeButton() const { return close_; }
  QLabel* message() const { return message_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Return runs the button once it shows.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void layOut();
  void continuePressed();
  void setPermissionReady();

  OnboardingController& controller_;
  platform::Platform& platform_;
  const double topInset_;
  const bool reduceMotion_;
  bool shouldDrift_ = false;
  bool permissionReady_ = false;
  double readyAt_ = 0;
  double startedAt_ = 0;
  double now_ = 0;
  platform::TimerRef clock_;
  QVariantAnimation driftAnimation_;
  QImage artwork_;
  QWidget* bottom_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* button_ = nullptr;
  QPushButton* close_ = nullptr;
  OnboardingIcons* icons_ = nullptr;
};

}  // namespace tucklet
