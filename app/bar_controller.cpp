// Creation, start-up, preference reactions and termination of the controller.
#include "app/bar_controller.h"

#include "visibility/native_visibility.h"

namespace tucklet {

namespace {

constexpr double startupDelay = 0.6;
constexpr double trustCheckInterval = 2.0;
constexpr double visibilityDebounceDelay = 0.15;
constexpr double runningApplicationsDebounceDelay = 0.7;
constexpr double expandedDividerLength = 18;

}  // namespace

std::shared_ptr<BarController> BarController::create(platform::Platform& platform,
                                                     Arguments arguments, bool profileOnboarding) {
  std::shared_ptr<BarController> controller(
      new BarController(platform, std::move(arguments), profileOnboarding));
  controller->start();
  return controller;
}

BarController::BarController(platform::Platform& platform, Arguments arguments,
                             bool profileOnboarding)
    : preferences(std::make_unique<Preferences>(platform.defaults)),
      trusted(platform.accessibility.isProcessTrusted()),
      loginEnabled(platform.loginService.status() == platform::LoginItemStatus::Enabled),
      nativeVisibility(QVVisibilityAvailable()),
      platform_(platform),
      arguments_(std::move(arguments)),
      profileOnboarding_(profileOnboarding) {}

BarController::~BarController() = default;

std::string BarController::bundleIdentifier() const {
  return platform_.workspace.mainBundle().identifier.value_or(fallbackBundleIdentifier);
}

void BarController::start() {
  auto& statusBar = platform_.statusBar;
  toggle = statusBar.createStatusItem(platform::StatusItem::VariableLength);
  boundary = statusBar.createStatusItem(expandedDividerLength);

  settingsTab = preferences->setupComplete() ? "behavior" : "setup";

  toggle->setAutosaveName(toggleAutosaveName);
  boundary->setAutosaveName(boundaryAutosaveName);
  if (nativeVisibility) boundary->setVisible(false);
  toggle->setVisible(true);
  toggle->setRemovalAllowed(false);
  boundary->setRemovalAllowed(false);

  setUpToggle();
  setUpDivider();

  pickerMenu.title = "tucklet";
  pickerMenu.autoenablesItems = false;
  pickerMenu.minimumWidth = 270;

  auto& runLoop = platform_.runLoop;
  subscriptions.push_back(preferences->changes.connect(
      weakly([](BarController& self, const std::string& key) { self.reactToPreference(key); })));
  visibilityDebounce_ = std::make_unique<platform::Debouncer>(
      runLoop, visibilityDebounceDelay, platform::TimerMode::Default,
      weakly([](BarController& self) { self.visibilityRefresh(); }));
  subscriptions.push_back(preferences->visibilityChanges.connect(
      [debounce = visibilityDebounce_.get()] { debounce->trigger(); }));
  runningApplicationsDebounce_ = std::make_unique<platform::Debouncer>(
      runLoop, runningApplicationsDebounceDelay, platform::TimerMode::Default,
      weakly([](BarController& self) { self.requestInventoryRefresh(); }));
  subscriptions.push_back(platform_.workspace.observe(
      platform::WorkspaceNotification::RunningApplicationsChanged,
      [debounce = runningApplicationsDebounce_.get()](pid_t) { debounce->trigger(); }));

  permissionTimer = runLoop.scheduleTimer(trustCheckInterval, true, platform::TimerMode::Common,
                                          weakly([](BarController& self) { self.trustCheck(); }));

  for (auto notification : {platform::WorkspaceNotification::ApplicationLaunched,
                            platform::WorkspaceNotification::ApplicationTerminated,
                            platform::WorkspaceNotification::DidWake,
                            platform::WorkspaceNotification::ActiveSpaceChanged,
                            platform::WorkspaceNotification::ScreenParametersChanged}) {
    observers.push_back(platform_.workspace.observe(
        notification, weakly([](BarController& self, pid_t) { self.requestInventoryRefresh(); })));
  }

  refreshStatusItem();
  createFeatureRuntime();
  createInterfaceReview();

  showOnboarding_ = profileOnboarding_ || !(trusted && preferences->setupComplete());
  runLoop.asyncAfter(showOnboarding_ ? 0.0 : startupDelay,
                     weakly([](BarController& self) { self.startupStep(); }));
}

void BarController::reactToPreference(const std::string& key) {
  if (key == "symbol" || key == "showCount" || key == "excludedIDs") {
    refreshStatusItem();
  } else if (key == "autoCollapse" || key == "collapseDelay") {
    scheduleAutoCollapse();
  } else if (key == "features") {
    reloadFeatureConfiguration();
    refreshStatusItem();
  } else if (key == "visibleBundles" || key == "visibleSystemItems" || key == "hideBattery" ||
             key == "hideDateTime") {
    noteManualVisibilityChange();
    refreshStatusItem();
  }
}

void BarController::startupStep() {
  if (showOnboarding_)
    startOnboarding();
  else
    initialCollapse();

  if (auto verify = arguments_.value("--verify")) {
    platform_.runLoop.asyncAfter(
        1.5, weakly([value = *verify](BarController& self) { self.runVerification(value); }));
  }
  if (arguments_.contains("--request-access")) requestAccess();
  if (auto smoke = arguments_.value("--smoke-test")) {
    testOutput = *smoke;
    runSmokeTest();
  }
}

void BarController::applicationWillTerminate() {
  terminated_ = true;
  stopFeatureRuntime();
  featureRuntime.reset();
  if (onboarding) closeOnboarding();
  closeAccessPopover();
  if (permissionTimer) permissionTimer->invalidate();
  if (collapseTimer) collapseTimer->invalidate();
  endOpening();
  fullReveal();
  if (boundary) boundary->setLength(expandedDividerLength);
  if (boundary) platform_.statusBar.removeStatusItem(boundary);
  if (toggle) platform_.statusBar.removeStatusItem(toggle);
  // Nothing may reach a removed item or a stopped controller any more.
  subscriptions.clear();
  observers.clear();
  visibilityDebounce_.reset();
  runningApplicationsDebounce_.reset();
}

void BarController::setLoginItem(bool enabled) {
  auto& login = platform_.loginService;
  std::string error;
  const bool ok = enabled ? login.registerMainApp(error) : login.unregisterMainApp(error);
  if (!ok) {
    message = "Could not change login startup: " + error;
    return;
  }
  const auto status = login.status();
  loginEnabled = status == platform::LoginItemStatus::Enabled;
  if (status == platform::LoginItemStatus::RequiresApproval) {
    message = "Approve tucklet in System Settings → General → Login Items.";
    login.openLoginItemsSettings();
  }
}

}  // namespace tucklet
