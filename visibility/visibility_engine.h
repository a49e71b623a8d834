// The visibility engine: decides when menu bar items are hidden and when everything is shown
// again, through one of two mechanisms chosen once per launch - the system's native visibility
// assertion where the private framework exists, else the divider item. It owns the bar's hiding
// state (`collapsed`, `busy`, the generation, the held assertion, a setup run in progress), the
// Accessibility trust it polls every 2 seconds and the automatic fold's timer.
//
// Every asynchronous result (a native activation, the safety check after it, a rescan) carries
// the generation it started with and is dropped once the generation has moved on: a full reveal,
// a newer activation or an item opening overtook it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "inventory/bar_item.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "preferences/preferences.h"
#include "visibility/divider.h"
#include "visibility/notice.h"

namespace tucklet {

class ItemsMenu;
class OnboardingController;
class StatusItem;

// The opaque visibility assertion the native backend hands out.
using VisibilityToken = std::shared_ptr<void>;

class VisibilityEngine {
 public:
  // What the engine asks of the parts built after it and of the controller's own sequences. A
  // part that does not exist leaves its entries empty.
  struct Links {
    // The inventory.
    std::function<const std::vector<BarItem>&()> items;
    std::function<bool()> requestInventoryRefresh;
    std::function<void(std::function<void(bool applied)>)> refreshInventory;
    std::function<void()> synchronousInventoryRefresh;
    std::function<bool()> inventoryRefreshPending;
    std::function<void()> clearInventory;
    // The item opener.
    std::function<bool()> openingItem;
    std::function<void()> endOpening;
    std::function<void(const std::string&)> recordLatency;
    // Onboarding: the controller when there is one, and one created when there is none.
    std::function<OnboardingController*()> onboarding;
    std::function<OnboardingController&()> ensureOnboarding;
    // The controller's sequences across parts.
    std::function<void()> showAll;
    std::function<void()> requestAccess;
    std::function<void()> startOnboarding;
    // The settings window and the access panel.
    std::function<void()> openSettingsWindow;
    std::function<void()> closeSettingsWindow;
    std::function<bool()> settingsWindowVisible;
    std::function<bool()> accessPanelShown;
  };

  // Reads the trust and the mechanism now and starts the trust check. `bundleIdentifier` is
  // Tucklet's own, always allowed to stay visible.
  VisibilityEngine(platform::Platform& platform, Preferences& preferences, Notice& notice,
                   const platform::Lifetime& lifetime, bool nativeVisibility,
                   std::string bundleIdentifier, StatusItem& statusItem, Divider& divider,
                   ItemsMenu& itemsMenu, Links links);
  VisibilityEngine(const VisibilityEngine&) = delete;
  VisibilityEngine& operator=(const VisibilityEngine&) = delete;

  // ---- State ----
  bool nativeVisibility() const { return nativeVisibility_; }
  bool trusted() const { return trusted_; }
  bool collapsed() const { return collapsed_; }
  bool busy() const { return busy_; }
  bool setupInProgress() const { return setupInProgress_; }
  std::int64_t visibilityGeneration() const { return visibilityGeneration_; }
  bool holdsVisibilityToken() const { return static_cast<bool>(visibilityToken_); }
  const platform::TimerRef& permissionTimer() const { return permissionTimer_; }
  const platform::TimerRef& collapseTimer() const { return collapseTimer_; }
  // A divider rescan expanded the collapsed bar and folds it again once it has read the items.
  bool foldingBack() const { return foldingBack_; }

  // ---- Collapse and reveal ----
  // Tries to hide: true when hiding was started (native) or done (divider). Refused with a notice
  // when something is missing, silently while the bar is busy or a setup run is in progress.
  bool collapse();
  // Collapses now, or as soon as nothing holds the bar (`busy`, a setup run, an item being opened,
  // a native rescan the hide would make stale). One request waits at a time; a full reveal drops
  // it and a collapse that starts meanwhile fulfils it. For the collapses nobody clicked for: the
  // start-up step, regained trust, a changed visibility setting.
  void collapseWhenFree();
  // Something that held the bar let go: a collapse or setup run waiting for it runs now.
  void holdReleased();
  // Shows everything at once and ends a setup run; every later step of older work is dropped.
  void fullReveal();
  // (Re)arms the automatic fold after max(`collapseDelay`, 2) seconds when it may run.
  void scheduleAutoCollapse();
  void stopAutoCollapse();
  // Divider mode: shows a collapsed bar, holds it (`busy`) while `scan` reads the items 0.3 s
  // later, then folds it again unless a reveal or an opening overtook the rescan. False when the
  // bar is busy already.
  bool rescanExpanded(std::function<void()> scan);
  // The initial collapse of the start-up step: scan, then collapse (or open settings when setup or
  // trust is missing).
  void initialCollapse();
  // After a visibility setting changed (debounced): a native collapse takes the new allowed lists.
  void visibilityRefresh();
  // Invalidates the trust check and the automatic fold (termination).
  void stopTimers();

  // ---- Native backend ----
  // Asks the system to hide everything not allowed; `revealing` names an item that may stay
  // visible as well. `completion` learns whether the hide is in force, `secondCompletion` the
  // verdict of the safety check one second later.
  void activateNativeVisibility(const std::optional<BarItem>& revealing,
                                std::function<void(bool)> completion,
                                std::function<void(bool)> secondCompletion);
  void releaseVisibilityToken();
  std::set<int> allowedSystemItems(const std::optional<BarItem>& revealing) const;
  std::set<std::string> allowedBundleIdentifiers(const std::optional<BarItem>& revealing) const;

  // ---- Opening an item ----
  // An opening takes a generation of its own: every later step of older asynchronous work is
  // dropped. Returns the new generation.
  std::int64_t beginOpening();
  // An opening holds the bar while it waits for the item's icon and while its press is in flight;
  // once it lets go, a collapse or setup run waiting for the bar may run.
  void setBusy(bool busy);

  // ---- The first-time setup run ----
  // Waits while the bar is held; does nothing while a run is in progress.
  void beginSetup();
  void finishSetup();
  void setupFailed();

  // Every 2 seconds, and when onboarding asks: follows a change of the Accessibility trust.
  void trustCheck();

 private:
  enum class WhenFree { Nothing, Collapse, Setup };

  // The automatic fold's timer fired.
  void autoCollapseCheck();
  // One second after a native hide: restores everything when the system hid Tucklet's own icon.
  void postHideSafetyCheck(std::int64_t generation, std::function<void(bool)> verdict);

  bool held() const;
  void runWhenFree();
  void fulfilWaitingCollapse();
  void nativeVisibilityResult(VisibilityToken token, std::optional<std::string> error,
                              std::int64_t generation, std::optional<BarItem> revealing,
                              std::function<void(bool)> completion,
                              std::function<void(bool)> secondCompletion);
  void setupScanOutcome(bool applied, std::int64_t generation);
  // The run is over without a full reveal: what waited for it may run.
  void endSetupRun();
  bool runsFromApplicationsFolder() const;
  bool pointerInMenuBar() const;
  bool onboardingHandingOff() const;
  bool onboardingWindowVisible() const;
  void endOnboardingHandOff();
  void openSettingsWindow();

  platform::Platform& platform_;
  Preferences& preferences_;
  Notice& notice_;
  const platform::Lifetime& lifetime_;
  StatusItem& statusItem_;
  Divider& divider_;
  ItemsMenu& itemsMenu_;
  Links links_;
  const std::string bundleIdentifier_;

  const bool nativeVisibility_;
  bool trusted_ = false;
  bool collapsed_ = false;
  bool busy_ = false;
  bool setupInProgress_ = false;
  bool foldingBack_ = false;
  std::int64_t visibilityGeneration_ = 0;
  VisibilityToken visibilityToken_;
  platform::TimerRef permissionTimer_;
  platform::TimerRef collapseTimer_;
  WhenFree whenFree_ = WhenFree::Nothing;
};

}  // namespace tucklet
