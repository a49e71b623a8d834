// BarController: the hub that owns Tucklet's live state for the whole run - the preferences, the
// two status items, the items menu, the current inventory, the visibility state and the state of an
// item being opened - and reacts to every event on the main thread.
//
// The class is one object, but its behaviour is written where each subsystem lives: creation,
// start-up and termination here; the inventory refresh in inventory/; hiding and revealing in
// visibility/; the status item, items menu and opening of items in menubar/.
//
// Closures handed to timers, observers and deferred steps hold the controller weakly and do
// nothing once it is gone.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "inventory/bar_item.h"
#include "platform/debounce.h"
#include "platform/platform.h"
#include "preferences/preferences.h"

namespace tucklet {

class AppUpdater;
class FeatureRuntime;
class OnboardingController;
class SettingsWindow;
class AccessPopover;
class UXReview;

// The bundle identifier used whenever the main bundle reports none.
inline constexpr const char* fallbackBundleIdentifier = "local.quenby.Quiverly";
inline constexpr const char* toggleAutosaveName = "QuiverlyToggle";
inline constexpr const char* boundaryAutosaveName = "QuiverlyBoundary";

// The opaque visibility assertion the native backend hands out.
using VisibilityToken = std::shared_ptr<void>;

class BarController : public std::enable_shared_from_this<BarController> {
 public:
  // Creates the controller and runs its creation steps (status items, subscriptions, timers,
  // observers, the scheduled start-up step).
  static std::shared_ptr<BarController> create(platform::Platform& platform, Arguments arguments,
                                               bool profileOnboarding);
  ~BarController();
  BarController(const BarController&) = delete;
  BarController& operator=(const BarController&) = delete;

  // ---- Live state, in declaration order ----
  std::unique_ptr<Preferences> preferences;
  std::shared_ptr<AppUpdater> updates;  // arrives with update checking
  std::vector<BarItem> items;
  bool collapsed = false;
  bool trusted = false;
  std::optional<std::string> message;
  bool loginEnabled = false;
  bool busy = false;
  std::string settingsTab = "setup";
  bool pickerIsShown = false;
  platform::StatusItemRef toggle;
  platform::StatusItemRef boundary;
  platform::MenuModel pickerMenu;
  std::shared_ptr<SettingsWindow> settingsWindow;
  std::shared_ptr<OnboardingController> onboarding;
  std::vector<platform::Connection> subscriptions;
  platform::TimerRef permissionTimer;
  platform::TimerRef collapseTimer;
  platform::TimerRef menuTimer;
  std::unique_ptr<platform::AXObserver> menuObserver;
  std::unique_ptr<platform::EventMonitor> globalMonitor;
  std::optional<BarItem> activeItem;
  std::set<platform::WindowNumber> activeWindowIDs;
  std::set<platform::WindowNumber> windowsBeforeOpen;
  bool menuWasObserved = false;
  double openingDeadline = -1e300;  // system uptime; the distant past
  std::vector<platform::Connection> observers;
  std::optional<std::string> testOutput;
  std::shared_ptr<UXReview> uxReview;
  const bool nativeVisibility;
  VisibilityToken visibilityToken;
  std::int64_t visibilityGeneration = 0;
  bool setupInProgress = false;
  double interactionBegan = 0;
  std::map<std::string, double> latency;
  std::optional<BarItem> lastOpenedItem;
  std::set<platform::WindowNumber> lastOpenedBeforeWindows;
  std::string displayedSymbol;
  std::string displayedTitle;
  bool inventoryRefreshPending = false;
  std::shared_ptr<FeatureRuntime> featureRuntime;
  std::shared_ptr<AccessPopover> accessPopover;
  std::vector<std::string> shortcutErrors;

  // ---- Application shell ----
  // The termination path: everything restored, both status items removed.
  void applicationWillTerminate();
  void setLoginItem(bool enabled);
  // The start-up step: onboarding or the initial collapse, then the command-line requests.
  void startupStep();
  bool showOnboarding() const { return showOnboarding_; }
  platform::Platform& platform() { return platform_; }
  const Arguments& arguments() const { return arguments_; }
  std::string bundleIdentifier() const;

  // ---- Inventory ----
  // Starts a refresh when one may start now; false when it was dropped.
  bool requestInventoryRefresh();
  // Scans and applies the result; `completion` runs on the main thread in every path and learns
  // whether a result was applied (false when untrusted or when a native result was stale).
  void refreshInventory(std::function<void(bool applied)> completion);
  // Scans on the main thread and applies the result (the divider-mode and user-level refresh).
  void synchronousInventoryRefresh();
  void applyScan(std::vector<BarItem> scanned);

  // ---- Visibility ----
  void activateNativeVisibility(const std::optional<BarItem>& revealing,
                                std::function<void(bool)> completion,
                                std::function<void(bool)> secondCompletion);
  void releaseVisibilityToken();
  std::set<int> allowedSystemItems(const std::optional<BarItem>& revealing) const;
  std::set<std::string> allowedBundleIdentifiers(const std::optional<BarItem>& revealing) const;

  void expandDivider();
  void collapseDivider();
  std::optional<platform::Rect> statusItemScreenFrame(const platform::StatusItemRef& item) const;
  std::optional<platform::Rect> dividerFrame() const;
  bool dividerLeftOfToggle() const;
  bool protectedItemHidden(const std::vector<BarItem>& list) const;
  void revealClicked();

  bool collapse();
  void fullReveal();
  void showAll();
  void toggleReveal();
  void scheduleAutoCollapse();
  void autoCollapseCheck();
  void trustCheck();
  void visibilityRefresh();
  void postHideSafetyCheck(std::int64_t generation, std::function<void(bool)> verdict);
  void initialCollapse();
  void requestAccess();
  void startOnboarding();
  void beginSetup();
  void finishSetup();
  void setupFailed();

  // ---- Status item, items menu, opening an item ----
  void refreshStatusItem();
  // A click on the status item: right, Option (with Option-click reveals) or plain.
  void handleClick(bool right, bool option);
  // The items that the menu lists (and the status item counts).
  std::vector<BarItem> listedItems() const;
  bool isListed(const BarItem& item) const;
  void cancelMenuTracking();
  void endOpening();
  void recordLatency(const std::string& mark);

  // ---- Onboarding ----
  void ensureOnboarding();
  bool onboardingWindowVisible() const;
  bool onboardingHandingOff() const;
  void showOnboardingWindow();
  // Ends the hand-off to System Settings and closes the welcome window.
  void endOnboardingHandOff();
  void closeOnboarding();

  // ---- Subsystems that arrive later: each is a named no-op until its subsystem lands ----
  void openSettingsWindow();
  void closeSettingsWindow();
  void orderOutSettingsWindow();
  bool settingsWindowVisible() const;
  bool accessPopoverShown() const;
  void toggleOverflowBar();
  void showItemsMenu();
  void closeAccessPopover();
  void createFeatureRuntime();
  void stopFeatureRuntime();
  void reloadFeatureConfiguration();
  void noteManualVisibilityChange();
  void createInterfaceReview();
  void runVerification(const std::string& value);
  void runSmokeTest();

 private:
  BarController(platform::Platform& platform, Arguments arguments, bool profileOnboarding);
  void start();
  void setUpToggle();
  void setUpDivider();
  void reactToPreference(const std::string& key);
  void nativeVisibilityResult(VisibilityToken token, std::optional<std::string> error,
                              std::int64_t generation, std::optional<BarItem> revealing,
                              std::function<void(bool)> completion,
                              std::function<void(bool)> secondCompletion);
  void setupScanOutcome(bool applied, std::int64_t generation);
  bool runsFromApplicationsFolder() const;
  bool pointerInMenuBar() const;

  // Runs `work` with the controller when it still exists and has not gone through termination.
  template <typename F>
  auto weakly(F work) {
    return [weak = weak_from_this(), work = std::move(work)](auto&&... args) mutable {
      auto self = weak.lock();
      if (self && !self->terminated_) work(*self, std::forward<decltype(args)>(args)...);
    };
  }

  platform::Platform& platform_;
  Arguments arguments_;
  bool profileOnboarding_ = false;
  bool showOnboarding_ = false;
  // A hide the trust check asked for once the rescan it started has been applied.
  bool collapseAfterRefresh_ = false;
  // Set by the termination path. The controller outlives it, but deferred steps (the start-up
  // step, rescans) must not hide anything once the menu bar has been restored.
  bool terminated_ = false;
  std::unique_ptr<platform::Debouncer> visibilityDebounce_;
  std::unique_ptr<platform::Debouncer> runningApplicationsDebounce_;
};

}  // namespace tucklet
