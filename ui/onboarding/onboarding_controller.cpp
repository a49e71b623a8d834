#include "ui/onboarding/onboarding_controller.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>

#include <algorithm>
#include <cmath>

#include "platform/qt/widgets/widget_window.h"
#include "ui/onboarding/onboarding_view.h"
#include "ui/onboarding/permission_guide.h"

namespace tucklet {

namespace {

constexpr double guideTimerInterval = 0.2;
constexpr double guideHeight = 116;
constexpr double guideMinimumWidth = 500;
constexpr double guideMinimumHeight = 400;

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

OnboardingController::OnboardingController(platform::Platform& platform,
                                           const platform::Lifetime& lifetime, Links links)
    : platform_(platform), lifetime_(lifetime), links_(std::move(links)) {
  // The welcome window's typeface, when the bundle carries it; the system font stands in otherwise.
  const auto font = QString::fromStdString(platform_.workspace.mainBundle().path +
                                           "/Contents/Resources/AlloVariable.ttf");
  if (canShowWidgets() && QFile::exists(font)) QFontDatabase::addApplicationFont(font);
}

OnboardingController::~OnboardingController() {
  endHandOff();
  window_.reset();
  delete view_;
}

bool OnboardingController::canShowWidgets() const {
  // Widgets need a QApplication; a process without one keeps the state alone.
  return platform_.windows && qobject_cast<QApplication*>(QCoreApplication::instance());
}

bool OnboardingController::windowVisible() const {
  return window_ ? window_->isOpen() : windowShown_;
}

bool OnboardingController::guideVisible() const {
  return guide_ ? guide_->isOpen() : guideShown_;
}

double OnboardingController::topInset(const platform::Screen& screen, double statusBarThickness) {
  const double outsideVisible = screen.frame.maxY() - screen.visibleFrame.maxY();
  return std::max(statusBarThickness, outsideVisible);
}

platform::Rect OnboardingController::guideFrame(const platform::Rect& settings,
                                                double primaryMaxY) {
  const double sidebar = std::round(0.32 * settings.width);
  return {settings.x + sidebar + 16, primaryMaxY - settings.maxY() + 16,
          settings.width - sidebar - 32, guideHeight};
}

void OnboardingController::show() {
  if (lifetime_.ended()) return;
  const auto path = platform_.workspace.mainBundle().path;
  if (!startsWith(path, "/Applications/") && !startsWith(path, "/System/Applications/")) {
    // Onboarding never runs from another location: the user is shown where this copy lives.
    platform_.workspace.revealFile(path);
    platform_.application.terminate();
    return;
  }
  endHandOff();
  if (windowVisible()) {
    platform_.application.activate();
    if (window_) window_->makeKey();
    return;
  }
  const auto screens = platform_.screens.screens();
  if (screens.empty()) return;
  const auto& screen = screens.front();
  if (!presentationOptions_) presentationOptions_ = platform_.application.presentationOptions();
  platform_.application.setActivationPolicy(platform::ActivationPolicy::Regular);
  platform_.application.setPresentationOptions(platform::presentation::autoHideDock |
                                               platform::presentation::autoHideMenuBar);
  platform_.application.activate();
  openWindow(screen);
}

void OnboardingController::openWindow(const platform::Screen& screen) {
  windowShown_ = true;
  if (!canShowWidgets()) return;
  if (!view_) {
    const double inset = topInset(screen, platform_.statusBar.thickness());
    view_ = new OnboardingView(*this, platform_, inset,
                               QSize(int(screen.frame.width), int(screen.frame.height)));
  }
  view_->refresh();
  platform::WindowOptions options;
  options.title = "Welcome to tucklet";
  options.appearance = platform::MenuAppearance::Dark;
  options.borderless = true;
  window_ = platform_.windows->openWindow(std::make_shared<platform::WidgetWindowContent>(view_),
                                          {screen.frame.x, screen.frame.maxY()}, options,
                                          lifetime_.guard([this] { closeWindow(); }));
  if (!window_) return;
  window_->setFrame(screen.frame);
  window_->makeKey();
  view_->start();
}

void OnboardingController::requestPermission() {
  if (lifetime_.ended()) return;
  handingOff = true;
  permissionStillMissing = false;
  refreshTrust();
  if (trusted()) {
    finish();
    return;
  }
  failure.reset();
  closeWindow();
  if (!guideExists_) {
    guideExists_ = true;
    if (canShowWidgets()) {
      guidePanel_ = std::make_unique<PermissionGuide>(*this, platform_);
      guideView_ = guidePanel_.get();
    }
  }
  if (!activationObserver_.connected())
    activationObserver_ =
        platform_.workspace.observe(platform::WorkspaceNotification::FrontmostApplicationChanged,
                                    lifetime_.guard([this](pid_t) { placeGuide(); }));
  if (!guideTimer_)
    guideTimer_ =
        platform_.runLoop.scheduleTimer(guideTimerInterval, true, platform::TimerMode::Common,
                                        lifetime_.guard([this] { placeGuide(); }));
  if (platform_.workspace.openURL(settingsURL)) {
    handedOffToSettings_ = true;
    return;
  }
  failure = openFailedText;
  show();
}

void OnboardingController::checkAgain() {
  refreshTrust();
  if (!handingOff) return;
  if (trusted()) {
    finish();
  } else {
    permissionStillMissing = true;
    stateChanged();
  }
}

void OnboardingController::trustChanged(bool nowTrusted) {
  if (handingOff && nowTrusted)
    finish();
  else
    stateChanged();
}

void OnboardingController::finish() {
  endHandOff();
  closeWindow();
  if (handedOffToSettings_) {
    handedOffToSettings_ = false;
    const auto front = platform_.workspace.frontmostApplication();
    if (front && front->bundleIdentifier == settingsBundle)
      platform_.workspace.hideApplication(front->pid);
  }
  if (links_.beginSetup) links_.beginSetup();
}

void OnboardingController::endHandOff() {
  handingOff = false;
  orderGuideOut();
  guideView_ = nullptr;
  guidePanel_.reset();
  guideExists_ = false;
  guidePlaced_.reset();
  if (guideTimer_) {
    guideTimer_->invalidate();
    guideTimer_.reset();
  }
  activationObserver_.disconnect();
}

void OnboardingController::closeWindow() {
  windowShown_ = false;
  if (view_) view_->stop();
  // The platform's window goes before the widget that fills it.
  window_.reset();
  delete view_;
  view_ = nullptr;
  if (presentationOptions_) {
    platform_.application.setPresentationOptions(*presentationOptions_);
    presentationOptions_.reset();
  }
  // A run that started with a Dock icon for onboarding goes back to living in the menu bar.
  platform_.application.setActivationPolicy(platform::ActivationPolicy::Accessory);
}

void OnboardingController::dismiss() {
  endHandOff();
  closeWindow();
}

void OnboardingController::stateChanged() {
  if (view_) view_->refresh();
  if (guideView_) guideView_->refresh();
}

void OnboardingController::orderGuideOut() {
  guideShown_ = false;
  guide_.reset();
}

void OnboardingController::openGuide(const platform::Rect& frame) {
  guideShown_ = true;
  guidePlaced_ = frame;
  if (!guideView_) return;
  if (guide_ && guide_->isOpen()) {
    guide_->setFrame(frame);
    return;
  }
  guideView_->setFixedSize(QSize(int(frame.width), int(frame.height)));
  platform::WindowOptions options;
  options.title = "tucklet";
  options.layer = 3;
  options.borderless = true;
  guide_ =
      platform_.windows->openWindow(std::make_shared<platform::WidgetWindowContent>(guideView_),
                                    {frame.x, frame.maxY()}, options, nullptr);
  if (guide_) guide_->setFrame(frame);
}

void OnboardingController::placeGuide() {
  if (!handingOff || !guideExists_) return;
  const auto front = platform_.workspace.frontmostApplication();
  if (!front || front->bundleIdentifier != settingsBundle || front->hidden) {
    orderGuideOut();
    return;
  }
  const auto screens = platform_.screens.screens();
  std::optional<platform::Rect> bounds;
  for (const auto& window : platform_.windowServer.onScreenWindows(true)) {
    if (window.ownerPid != front->pid || window.layer != 0) continue;
    if (window.alpha && *window.alpha <= 0) continue;
    if (window.bounds.width < guideMinimumWidth || window.bounds.height < guideMinimumHeight)
      continue;
    bounds = window.bounds;
    break;
  }
  if (!bounds || screens.empty()) {
    orderGuideOut();
    return;
  }
  const auto frame = guideFrame(*bounds, screens.front().frame.maxY());
  if (guideShown_ && guidePlaced_ && *guidePlaced_ == frame && guideVisible()) return;
  openGuide(frame);
}

}  // namespace tucklet
