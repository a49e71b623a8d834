// BarController: the hub Tucklet's behaviour hangs on. It creates the parts in the order the
// program comes up - the status item, the divider, the items menu, the visibility engine, the
// inventory, the item opener, the access panel, the feature runtime - wires their events
// together, and runs the few sequences whose steps cross parts: the start-up step, showing
// everything, the reveal toggle, onboarding and the termination path that restores the menu bar.
//
// Each part owns its state and gets what it needs through its constructor; none of them sees the
// controller. docs/architecture.md draws the picture.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "diagnostics/self_test.h"
#include "features/feature_runtime.h"
#include "inventory/inventory.h"
#include "menubar/item_opener.h"
#include "menubar/items_menu.h"
#include "menubar/status_item.h"
#include "panel/access_panel.h"
#include "platform/connection.h"
#include "platform/debounce.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "preferences/preferences.h"
#include "tooling/ux_review.h"
#include "ui/onboarding/onboarding_controller.h"
#include "ui/settings/settings_window.h"
#include "updates/app_updater.h"
#include "visibility/divider.h"
#include "visibility/notice.h"
#include "visibility/visibility_engine.h"

namespace tucklet {

// The bundle identifier used whenever the main bundle reports none.
inline constexpr const char* fallbackBundleIdentifier = "local.quenby.Quiverly";
inline constexpr const char* toggleAutosaveName = "QuiverlyToggle";
inline constexpr const char* boundaryAutosaveName = "QuiverlyBoundary";

// Tucklet's own bundle identifier, or the fallback.
std::string ownBundleIdentifier(const platform::Workspace& workspace);

class BarController {
 public:
  // Runs the creation steps: status items, parts, subscriptions, and the scheduled start-up step.
  // `settingsViews` makes the settings window's widgets; without it the window has state only.
  BarController(platform::Platform& platform, Arguments arguments, bool profileOnboarding,
                SettingsViewFactory settingsViews = {});
  // Deferred work of every part ends with the controller.
  ~BarController();
  BarController(const BarController&) = delete;
  BarController& operator=(const BarController&) = delete;

  // ---- The parts ----
  Preferences& preferences() { return *preferences_; }
  AppUpdater& updates() { return *updates_; }
  StatusItem& statusItem() { return *statusItem_; }
  Divider& divider() { return *divider_; }
  ItemsMenu& itemsMenu() { return *itemsMenu_; }
  VisibilityEngine& engine() { return *engine_; }
  Inventory& inventory() { return *inventory_; }
  ItemOpener& opener() { return *opener_; }
  AccessPanel& accessPanel() { return *accessPanel_; }
  FeatureRuntime& featureRuntime() { return *featureRuntime_; }
  SettingsWindow& settingsWindow() { return *settingsWindow_; }
  SelfTest& selfTest() { return *selfTest_; }
  // The interface review ("--ux-review DIR"); null in every other mode.
  UXReview* uxReview() { return uxReview_.get(); }
  // What the diagnose report and the review's state record read.
  DiagnoseSources diagnoseSources();
  // The onboarding controller; null until onboarding was first needed.
  OnboardingController* onboarding() { return onboarding_.get(); }
  const platform::Platform& platform() const { return platform_; }

  // ---- The controller's own state ----
  const std::optional<std::string>& message() const { return notice_.message(); }
  Notice& notice() { return notice_; }
  bool loginEnabled() const { return loginEnabled_; }
  const std::string& settingsTab() const { return settingsWindow_->settingsTab(); }
  // The lines the last shortcut registration reported (empty when all went well).
  const std::vector<std::string>& shortcutErrors() const { return shortcutErrors_; }
  // Whether the native visibility backend is in use.
  bool nativeVisibility() const { return nativeVisibility_; }
  // Whether the start-up step shows onboarding rather than collapsing.
  bool showOnboarding() const { return showOnboarding_; }

  // ---- Sequences across parts ----
  // The start-up step: onboarding or the initial collapse, then the command-line requests.
  void startupStep();
  // Everything visible: the items menu closes, an opening ends, a rescan follows shortly and the
  // automatic fold is armed again.
  void showAll();
  // Option-click, the divider and the show/hide row: reveal when hidden, else hide (or set up, or
  // ask for access).
  void toggleReveal();
  // Leads the user to grant Accessibility access.
  void requestAccess();
  // Shows everything and the onboarding window.
  void startOnboarding();
  void setLoginItem(bool enabled);
  // A visibility preset chosen by hand: it also becomes what returns when no rule matches.
  void applyPreset(const VisibilityPreset& preset);
  // A shortcut is being recorded (true) or recording ended (false).
  void setRecordingShortcut(bool recording);
  // The open-settings operation (right click, the menu's row, start-up refusals).
  void openSettingsWindow() { settingsWindow_->openSettingsWindow(); }
  // The termination path: nothing deferred runs any more, everything is visible and both status
  // items are gone.
  void applicationWillTerminate();

 private:
  void reactToPreference(const std::string& key);
  OnboardingController& ensureOnboarding();
  VisibilityEngine::Links engineLinks();
  std::unique_ptr<SettingsContext> settingsContext();

  platform::Platform& platform_;
  const Arguments arguments_;
  const bool profileOnboarding_;
  // Before the parts, which wrap their deferred work with it.
  platform::Lifetime lifetime_;

  std::unique_ptr<Preferences> preferences_;
  std::unique_ptr<AppUpdater> updates_;
  Notice notice_;
  bool loginEnabled_ = false;
  const bool nativeVisibility_;

  std::unique_ptr<StatusItem> statusItem_;
  std::unique_ptr<Divider> divider_;
  std::unique_ptr<ItemsMenu> itemsMenu_;
  std::vector<platform::Connection> subscriptions_;
  std::unique_ptr<platform::Debouncer> visibilityDebounce_;
  std::unique_ptr<VisibilityEngine> engine_;
  std::unique_ptr<Inventory> inventory_;
  std::unique_ptr<ItemOpener> opener_;
  std::unique_ptr<AccessPanel> accessPanel_;
  std::unique_ptr<OnboardingController> onboarding_;
  std::unique_ptr<FeatureRuntime> featureRuntime_;
  std::vector<std::string> shortcutErrors_;
  std::unique_ptr<SettingsWindow> settingsWindow_;
  std::unique_ptr<SelfTest> selfTest_;
  std::unique_ptr<UXReview> uxReview_;
  bool showOnboarding_ = false;
};

}  // namespace tucklet
