// Creation, the preference reactions, the sequences across parts, and termination.
#include "app/bar_controller.h"

#include "visibility/divider_geometry.h"
#include "visibility/native_visibility.h"

namespace tucklet {

namespace {

constexpr const char* accessibilitySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
constexpr double startupDelay = 0.6;
constexpr double visibilityDebounceDelay = 0.15;
constexpr double rescanAfterShowAll = 0.25;

}  // namespace

std::string ownBundleIdentifier(const platform::Workspace& workspace) {
  return workspace.mainBundle().identifier.value_or(fallbackBundleIdentifier);
}

BarController::BarController(platform::Platform& platform, Arguments arguments,
                             bool profileOnboarding, SettingsViewFactory settingsViews)
    : platform_(platform),
      arguments_(std::move(arguments)),
      profileOnboarding_(profileOnboarding),
      preferences_(std::make_unique<Preferences>(platform.defaults)),
      updates_(std::make_unique<AppUpdater>(
          arguments_.all(), platform.workspace.mainBundle().infoKeys, platform.updateFramework)),
      loginEnabled_(platform.loginService.status() == platform::LoginItemStatus::Enabled),
      nativeVisibility_(QVVisibilityAvailable()) {
  // Tucklet's icon first, then the divider: the bar places them in this order.
  auto& statusBar = platform_.statusBar;
  auto toggle = statusBar.createStatusItem(platform::StatusItem::VariableLength);
  auto boundary = statusBar.createStatusItem(expandedDividerLength);

  // Made before the parts that open it; it reaches them through its links once they exist.
  settingsWindow_ = std::make_unique<SettingsWindow>(
      platform_, nativeVisibility_, preferences_->setupComplete() ? "behavior" : "setup",
      SettingsWindow::Links{
          .setupInProgress = [this] { return engine_->setupInProgress(); },
          .onboardingHandingOff = [this] { return onboarding_ && onboarding_->handingOff; },
          .closeItemsMenu = [this] { itemsMenu_->cancelMenuTracking(); },
          .closeAccessPanel = {},
          .setupComplete = [this] { return preferences_->setupComplete(); },
          .trusted = [this] { return engine_->trusted(); },
          .startOnboarding = [this] { startOnboarding(); },
          .dismissOnboarding =
              [this] {
                if (!onboarding_) return;
                onboarding_->endHandOff();
                onboarding_->closeWindow();
              },
          .requestInventoryRefresh = [this] { return inventory_->requestInventoryRefresh(); },
          .showAll = [this] { showAll(); },
      },
      std::move(settingsViews));

  toggle->setAutosaveName(toggleAutosaveName);
  boundary->setAutosaveName(boundaryAutosaveName);
  if (nativeVisibility_) boundary->setVisible(false);
  toggle->setVisible(true);
  toggle->setRemovalAllowed(false);
  boundary->setRemovalAllowed(false);

  // Each part sets its own item up. Parts built later are reached through the links, which run
  // only while the controller lives.
  statusItem_ = std::make_unique<StatusItem>(
      toggle, *preferences_, platform_.symbols, platform_.runLoop, lifetime_,
      StatusItem::Links{
          .listedItemCount = [this] { return itemsMenu_->listedItems().size(); },
          .itemsMenuShown = [this] { return itemsMenu_->pickerIsShown(); },
          .closeItemsMenu = [this] { itemsMenu_->cancelMenuTracking(); },
          .showItemsMenu = [this] { itemsMenu_->showItemsMenu(); },
          .toggleReveal = [this] { toggleReveal(); },
          .scheduleAutoCollapse = [this] { engine_->scheduleAutoCollapse(); },
          .overflowBarShown = [this] { return accessPanel_->accessPopover(); },
          .toggleOverflowBar =
              [this] {
                if (accessPanel_->accessPopover())
                  accessPanel_->closeAccessPanel();
                else
                  accessPanel_->showAccessPanel(false);
              },
          .closeOverflowBar = [this] { accessPanel_->closeAccessPanel(); },
          .openSettingsWindow = [this] { openSettingsWindow(); },
      });
  divider_ = std::make_unique<Divider>(boundary, toggle, platform_.screens, lifetime_,
                                       [this] { toggleReveal(); });

  itemsMenu_ = std::make_unique<ItemsMenu>(
      platform_, *preferences_, notice_, lifetime_, nativeVisibility_, *statusItem_,
      ItemsMenu::Links{
          .items = [this]() -> const std::vector<BarItem>& { return inventory_->items(); },
          .trusted = [this] { return engine_->trusted(); },
          .collapsed = [this] { return engine_->collapsed(); },
          .scheduleAutoCollapse = [this] { engine_->scheduleAutoCollapse(); },
          .stopAutoCollapse = [this] { engine_->stopAutoCollapse(); },
          .openItem = [this](const BarItem& item) { opener_->openItem(item); },
          .toggleReveal = [this] { toggleReveal(); },
          .requestAccess = [this] { requestAccess(); },
          .accessPanelShown = [this] { return accessPanel_->accessPopover(); },
          .closeAccessPanel = [this] { accessPanel_->closeAccessPanel(); },
          .showAccessPanel = [this](bool search) { accessPanel_->showAccessPanel(search); },
          .applyPreset = [this](const VisibilityPreset& preset) { applyPreset(preset); },
          .openSettingsWindow = [this] { openSettingsWindow(); },
          .availableVersion = [this] { return updates_->availableVersion(); },
          .canCheckForUpdates = [this] { return updates_->canCheckForUpdates(); },
          .checkForUpdates = [this] { updates_->checkForUpdates(); },
      });

  subscriptions_.push_back(preferences_->changes.connect(
      lifetime_.guard([this](const std::string& key) { reactToPreference(key); })));
  visibilityDebounce_ = std::make_unique<platform::Debouncer>(
      platform_.runLoop, visibilityDebounceDelay, platform::TimerMode::Default,
      lifetime_.guard([this] { engine_->visibilityRefresh(); }));
  subscriptions_.push_back(preferences_->visibilityChanges.connect(
      lifetime_.guard([this] { visibilityDebounce_->trigger(); })));

  // Starts the trust check.
  engine_ = std::make_unique<VisibilityEngine>(platform_, *preferences_, notice_, lifetime_,
                                               nativeVisibility_,
                                               ownBundleIdentifier(platform_.workspace),
                                               *statusItem_, *divider_, *itemsMenu_, engineLinks());
  // Starts observing what asks for a rescan.
  inventory_ = std::make_unique<Inventory>(
      platform_, notice_, lifetime_, *engine_, *divider_, *itemsMenu_, *statusItem_,
      Inventory::Links{.openingItem = [this] { return opener_->activeItem().has_value(); }});
  opener_ = std::make_unique<ItemOpener>(platform_, *preferences_, notice_, lifetime_, *engine_,
                                         *itemsMenu_);
  accessPanel_ = std::make_unique<AccessPanel>(
      platform_, *preferences_, lifetime_, *statusItem_,
      AccessPanel::Links{
          .candidates = [this] { return itemsMenu_->listedItems(); },
          .itemsMenuShown = [this] { return itemsMenu_->pickerIsShown(); },
          .openingItem = [this] { return opener_->activeItem().has_value(); },
          .openItem = [this](const BarItem& item) { opener_->openItem(item); },
          .stopAutoCollapse = [this] { engine_->stopAutoCollapse(); },
          .scheduleAutoCollapse = [this] { engine_->scheduleAutoCollapse(); },
          .openSettingsWindow = [this] { openSettingsWindow(); },
      });

  // What the settings window shows follows the stores it reads.
  auto refreshSettings = lifetime_.guard([this] { settingsWindow_->stateChanged(); });
  subscriptions_.push_back(preferences_->assigned.connect(
      [refreshSettings](const std::string&) mutable { refreshSettings(); }));
  subscriptions_.push_back(updates_->changed.connect(refreshSettings));
  subscriptions_.push_back(notice_.changed.connect(refreshSettings));
  subscriptions_.push_back(inventory_->itemsChanged.connect(refreshSettings));
  // The panel's candidates follow the inventory.
  subscriptions_.push_back(inventory_->itemsChanged.connect(
      lifetime_.guard([this] { accessPanel_->candidatesChanged(); })));
  settingsWindow_->setContext(settingsContext());

  statusItem_->refreshStatusItem();

  // Registers the shortcuts and starts the timer and monitors the configuration asks for.
  featureRuntime_ = std::make_unique<FeatureRuntime>(
      platform_, *preferences_, lifetime_, nativeVisibility_,
      ownBundleIdentifier(platform_.workspace), *statusItem_,
      FeatureRuntime::Links{
          .accessPanelShown = [this] { return accessPanel_->accessPopover(); },
          .showAccessPanel = [this](bool search) { accessPanel_->showAccessPanel(search); },
          .closeAccessPanel = [this] { accessPanel_->closeAccessPanel(); },
          .scheduleAutoCollapse = [this] { engine_->scheduleAutoCollapse(); },
          .items = [this]() -> const std::vector<BarItem>& { return inventory_->items(); },
          .openItem = [this](const BarItem& item) { opener_->openItem(item); },
          .toggleReveal = [this] { toggleReveal(); },
          .shortcutErrorsChanged =
              [this](const std::vector<std::string>& errors) {
                shortcutErrors_ = errors;
                settingsWindow_->stateChanged();
              },
      });

  selfTest_ = std::make_unique<SelfTest>(
      platform_, *preferences_, lifetime_, diagnoseSources(),
      SelfTest::Links{
          .showAll = [this] { showAll(); },
          .refreshInventory =
              [this](std::function<void()> done) {
                inventory_->refreshInventory([done](bool) { done(); });
              },
          .collapse = [this] { engine_->collapse(); },
          .beginSetup = [this] { engine_->beginSetup(); },
          .clickStatusItem =
              [this] {
                platform::InputEvent click;
                click.type = platform::EventType::LeftMouseUp;
                statusItem_->clicked(click);
              },
          .openItem = [this](const BarItem& item) { opener_->openItem(item); },
          .openSettingsWindow = [this] { openSettingsWindow(); },
          .setSettingsTab = [this](std::string tab) { settingsWindow_->setSettingsTab(tab); },
          .refreshStatusItem = [this] { statusItem_->refreshStatusItem(); },
          .cancelMenuTracking = [this] { itemsMenu_->cancelMenuTracking(); },
          .writeSettingsPicture =
              [this](const std::string& path) {
                // The smoke run opened the settings window just before: it is the front one.
                std::string error;
                return settingsWindow_->windowVisible() && platform_.screenCapture &&
                       platform_.screenCapture->captureFrontWindow(path, error);
              },
      });
  if (const auto directory = arguments_.value("--ux-review")) {
    uxReview_ = std::make_unique<UXReview>(platform_, lifetime_, *directory,
                                           [this] { return reviewState(diagnoseSources()); });
    uxReview_->start();
  }

  showOnboarding_ = profileOnboarding_ || !(engine_->trusted() && preferences_->setupComplete());
  platform_.runLoop.asyncAfter(showOnboarding_ ? 0.0 : startupDelay,
                               lifetime_.guard([this] { startupStep(); }));
}

VisibilityEngine::Links BarController::engineLinks() {
  return {
      .items = [this]() -> const std::vector<BarItem>& { return inventory_->items(); },
      .requestInventoryRefresh = [this] { return inventory_->requestInventoryRefresh(); },
      .refreshInventory =
          [this](std::function<void(bool)> completion) {
            inventory_->refreshInventory(std::move(completion));
          },
      .synchronousInventoryRefresh = [this] { inventory_->synchronousInventoryRefresh(); },
      .inventoryRefreshPending = [this] { return inventory_->inventoryRefreshPending(); },
      .clearInventory = [this] { inventory_->clear(); },
      .openingItem = [this] { return opener_->activeItem().has_value(); },
      .endOpening = [this] { opener_->endOpening(); },
      .recordLatency = [this](const std::string& mark) { opener_->recordLatency(mark); },
      .onboarding = [this] { return onboarding_.get(); },
      .ensureOnboarding = [this]() -> OnboardingController& { return ensureOnboarding(); },
      .showAll = [this] { showAll(); },
      .requestAccess = [this] { requestAccess(); },
      .startOnboarding = [this] { startOnboarding(); },
      .openSettingsWindow = [this] { openSettingsWindow(); },
      .closeSettingsWindow = [this] { settingsWindow_->closeSettingsWindow(); },
      .settingsWindowVisible = [this] { return settingsWindow_->windowVisible(); },
      .accessPanelShown = [this] { return accessPanel_->accessPopover(); },
  };
}

DiagnoseSources BarController::diagnoseSources() {
  return DiagnoseSources{
      .platform = platform_,
      .preferences = *preferences_,
      .statusItem = *statusItem_,
      .divider = *divider_,
      .itemsMenu = *itemsMenu_,
      .engine = *engine_,
      .inventory = *inventory_,
      .opener = *opener_,
      .settingsWindow = *settingsWindow_,
      .notice = notice_,
      .onboarding = [this]() -> const OnboardingController* { return onboarding_.get(); },
      .nativeVisibility = nativeVisibility_,
  };
}

std::unique_ptr<SettingsContext> BarController::settingsContext() {
  auto context = std::unique_ptr<SettingsContext>(new SettingsContext{
      .platform = platform_,
      .preferences = *preferences_,
      .updates = *updates_,
      .notice = notice_,
      .window = *settingsWindow_,
      .nativeVisibility = nativeVisibility_,
      .items = [this]() -> const std::vector<BarItem>& { return inventory_->items(); },
      .trusted = [this] { return engine_->trusted(); },
      .loginEnabled = [this] { return loginEnabled_; },
      .setLoginItem = [this](bool enabled) { setLoginItem(enabled); },
      .requestAccess = [this] { requestAccess(); },
      .startOnboarding = [this] { startOnboarding(); },
      .beginSetup = [this] { engine_->beginSetup(); },
      .showAll = [this] { showAll(); },
      .applyPreset = [this](const VisibilityPreset& preset) { applyPreset(preset); },
      .shortcutErrors = [this] { return shortcutErrors_; },
      .recordingChanged = [this](bool recording) { setRecordingShortcut(recording); },
      .showAccessPanel = [this](bool search) { accessPanel_->showAccessPanel(search); },
  });
  return context;
}

BarController::~BarController() {
  lifetime_.end();
}

void BarController::reactToPreference(const std::string& key) {
  const bool visibility = key == "visibleBundles" || key == "visibleSystemItems" ||
                          key == "hideBattery" || key == "hideDateTime";
  // The runtime exists once creation has finished; nothing is assigned before that.
  if (featureRuntime_) {
    if (key == "features") featureRuntime_->synchronise();
    if (visibility) featureRuntime_->visibilityChanged();
  }
  if (key == "symbol" || key == "showCount" || key == "excludedIDs" || key == "features" ||
      visibility) {
    statusItem_->refreshStatusItem();
    accessPanel_->candidatesChanged();
    if (key == "features") accessPanel_->appearanceChanged();
  } else if (key == "autoCollapse" || key == "collapseDelay") {
    engine_->scheduleAutoCollapse();
  }
}

void BarController::startupStep() {
  if (showOnboarding_)
    startOnboarding();
  else
    engine_->initialCollapse();
  // A switch without its value is ignored.
  if (const auto path = arguments_.value("--verify")) selfTest_->scheduleVerify(*path);
  if (arguments_.contains("--request-access")) requestAccess();
  if (const auto path = arguments_.value("--smoke-test")) selfTest_->startSmokeTest(*path);
}

void BarController::showAll() {
  itemsMenu_->cancelMenuTracking();
  opener_->endOpening();
  engine_->fullReveal();
  platform_.runLoop.asyncAfter(
      rescanAfterShowAll, lifetime_.guard([this] { inventory_->synchronousInventoryRefresh(); }));
  engine_->scheduleAutoCollapse();
}

void BarController::toggleReveal() {
  itemsMenu_->cancelMenuTracking();
  if (engine_->setupInProgress()) return;
  // A divider rescan shows the bar for a moment before folding it again: to the user it is still
  // collapsed, and a click asks to see everything.
  if (engine_->collapsed() || engine_->foldingBack()) {
    showAll();
  } else if (engine_->trusted()) {
    if (preferences_->setupComplete())
      engine_->collapse();
    else
      engine_->beginSetup();
  } else {
    requestAccess();
  }
}

OnboardingController& BarController::ensureOnboarding() {
  if (!onboarding_)
    onboarding_ = std::make_unique<OnboardingController>(
        platform_, lifetime_,
        OnboardingController::Links{
            .trusted = [this] { return engine_->trusted(); },
            .refreshTrust = [this] { engine_->trustCheck(); },
            .beginSetup = [this] { engine_->beginSetup(); },
        });
  return *onboarding_;
}

void BarController::requestAccess() {
  if (engine_->setupInProgress()) return;
  if (engine_->trusted()) {
    platform_.workspace.openURL(accessibilitySettingsURL);
    return;
  }
  ensureOnboarding().requestPermission();
}

void BarController::startOnboarding() {
  if (engine_->setupInProgress()) return;
  itemsMenu_->cancelMenuTracking();
  engine_->scheduleAutoCollapse();
  showAll();
  engine_->stopAutoCollapse();
  if (settingsWindow_) settingsWindow_->closeSettingsWindow();
  ensureOnboarding().show();
}

void BarController::setLoginItem(bool enabled) {
  auto& login = platform_.loginService;
  std::string error;
  const bool ok = enabled ? login.registerMainApp(error) : login.unregisterMainApp(error);
  if (!ok) {
    notice_.show("Could not change login startup: " + error);
    return;
  }
  const auto status = login.status();
  loginEnabled_ = status == platform::LoginItemStatus::Enabled;
  if (status == platform::LoginItemStatus::RequiresApproval) {
    notice_.show("Approve tucklet in System Settings → General → Login Items.");
    login.openLoginItemsSettings();
  }
}

void BarController::applyPreset(const VisibilityPreset& preset) {
  featureRuntime_->applyPresetManually(preset);
}

void BarController::setRecordingShortcut(bool recording) {
  featureRuntime_->setRecordingShortcut(recording);
}

void BarController::applicationWillTerminate() {
  // Nothing scheduled before this point may hide anything once the menu bar is restored.
  lifetime_.end();
  // The user's own visibility settings are stored again, never a rule's preset.
  featureRuntime_->stop();
  if (onboarding_) onboarding_->dismiss();
  accessPanel_->closeAccessPanel();
  engine_->stopTimers();
  opener_->endOpening();
  engine_->fullReveal();
  const auto& boundary = divider_->item();
  boundary->setLength(expandedDividerLength);
  platform_.statusBar.removeStatusItem(boundary);
  platform_.statusBar.removeStatusItem(statusItem_->item());
  // An update session in progress ends: its windows close and its downloads stop.
  updates_->stop();
  // Nothing reaches a removed item or a stopped controller any more.
  subscriptions_.clear();
  visibilityDebounce_.reset();
  inventory_->stopRefreshTriggers();
}

}  // namespace tucklet
