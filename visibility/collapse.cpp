// When menu bar items are hidden and when everything is shown again: collapse and full reveal,
// the automatic fold, the Accessibility trust check, the safety restore after a native hide and
// the first-time setup run.
#include <algorithm>
#include <cmath>

#include "app/bar_controller.h"
#include "ui/onboarding/onboarding_controller.h"

namespace tucklet {

namespace {

constexpr const char* accessibilitySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
constexpr const char* notTrustedText = "Allow Accessibility access before hiding menu bar items.";
constexpr const char* setupIncompleteText = "Finish setup before hiding menu bar items.";
constexpr const char* moveToApplicationsText =
    "Move tucklet to /Applications before collapsing. macOS 27 can hide tucklet itself when it "
    "runs elsewhere.";
constexpr const char* noCompatibleAPIText =
    "This macOS version has no compatible visibility API. Icons remain visible.";
constexpr const char* dragDividerText =
    "⌘-drag the │ divider immediately to the LEFT of the "
    "tucklet icon.";
constexpr const char* protectedHiddenText =
    "Battery or the clock is in the hidden section. ⌘-drag it to the right of tucklet.";
constexpr const char* trustRemovedText =
    "Accessibility access was removed. Icons have been restored.";
constexpr const char* hiddenUnexpectedlyText =
    "macOS hid tucklet unexpectedly. All icons have been restored for safety.";
constexpr const char* setupFailedText = "Couldn't tidy the menu bar. Try again.";

constexpr double minimumCollapseDelay = 2.0;
constexpr double rescanAfterShowAll = 0.25;

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

bool BarController::runsFromApplicationsFolder() const {
  const auto path = platform_.workspace.mainBundle().path;
  return startsWith(path, "/Applications/") || startsWith(path, "/System/Applications/");
}

bool BarController::collapse() {
  if (!preferences->setupComplete() || !trusted) {
    message = trusted ? setupIncompleteText : notTrustedText;
    return false;
  }
  if (busy || setupInProgress) return false;

  if (nativeVisibility) {
    if (!runsFromApplicationsFolder()) {
      message = moveToApplicationsText;
      return false;
    }
    if (collapseTimer) collapseTimer->invalidate();
    endOpening();
    activateNativeVisibility(std::nullopt, nullptr, nullptr);
    return true;
  }

  if (platform_.workspace.operatingSystemVersion().major > 26) {
    message = noCompatibleAPIText;
    return false;
  }
  if (dividerLeftOfToggle()) {
    if (protectedItemHidden(items)) {
      message = protectedHiddenText;
      return false;
    }
    if (collapseTimer) collapseTimer->invalidate();
    endOpening();
    collapseDivider();
    collapsed = true;
    return true;
  }
  fullReveal();
  message = dragDividerText;
  return false;
}

void BarController::fullReveal() {
  setupInProgress = false;
  collapseAfterRefresh_ = false;
  ++visibilityGeneration;
  releaseVisibilityToken();
  busy = false;
  expandDivider();
  collapsed = false;
}

void BarController::showAll() {
  cancelMenuTracking();
  endOpening();
  fullReveal();
  platform_.runLoop.asyncAfter(
      rescanAfterShowAll, weakly([](BarController& self) { self.synchronousInventoryRefresh(); }));
  scheduleAutoCollapse();
}

void BarController::toggleReveal() {
  cancelMenuTracking();
  if (setupInProgress) return;
  if (collapsed) {
    showAll();
  } else if (trusted) {
    if (preferences->setupComplete())
      collapse();
    else
      beginSetup();
  } else {
    requestAccess();
  }
}

void BarController::scheduleAutoCollapse() {
  if (collapseTimer) collapseTimer->invalidate();
  collapseTimer.reset();
  if (!preferences->autoCollapse() || !preferences->setupComplete() || !trusted ||
      setupInProgress || collapsed || activeItem)
    return;
  const double delay = std::max(preferences->collapseDelay(), minimumCollapseDelay);
  collapseTimer = platform_.runLoop.scheduleTimer(
      delay, false, platform::TimerMode::Default,
      weakly([](BarController& self) { self.autoCollapseCheck(); }));
}

bool BarController::pointerInMenuBar() const {
  const auto pointer = platform_.screens.mouseLocation();
  for (const auto& screen : platform_.screens.screens()) {
    const auto& f = screen.frame;
    // Closed on the top edge: a pointer pushed against the top of the screen is in the menu bar.
    if (pointer.x >= f.minX() && pointer.x <= f.maxX() && pointer.y >= f.minY() &&
        pointer.y <= f.maxY()) {
      return pointer.y >= f.maxY() - platform_.statusBar.thickness();
    }
  }
  return false;
}

void BarController::autoCollapseCheck() {
  // A rescan or press in flight (`busy`) would make the collapse refuse silently and the fold would
  // never come: wait another delay, as for the other reasons to postpone.
  if (pickerIsShown || accessPopoverShown() || pointerInMenuBar() || settingsWindowVisible() ||
      busy) {
    scheduleAutoCollapse();
    return;
  }
  if (!nativeVisibility) synchronousInventoryRefresh();
  collapse();
}

void BarController::trustCheck() {
  const bool answer = platform_.accessibility.isProcessTrusted();
  if (answer == trusted) return;
  trusted = answer;
  const bool handingOff = onboardingHandingOff();
  bool rescanStarted = false;
  if (trusted) {
    message.reset();
    if (!handingOff) rescanStarted = requestInventoryRefresh();
  } else {
    showAll();
    items.clear();
    message = trustRemovedText;
  }
  if (onboarding) onboarding->trustChanged(trusted);
  if (trusted && !handingOff) {
    if (onboardingWindowVisible()) return;
    if (!preferences->setupComplete()) return;
    // The rescan started above is still running: hiding now would make its result stale (native)
    // or be refused while it holds the bar (divider), leaving the menu empty or the bar expanded.
    // Hide once it has been applied instead.
    const bool rescanning = nativeVisibility ? inventoryRefreshPending : busy;
    if (rescanStarted && rescanning)
      collapseAfterRefresh_ = true;
    else
      collapse();
  }
}

void BarController::visibilityRefresh() {
  if (nativeVisibility && collapsed && !activeItem) collapse();
}

void BarController::postHideSafetyCheck(std::int64_t generation,
                                        std::function<void(bool)> verdict) {
  if (!collapsed || visibilityGeneration != generation) return;
  bool shown = false;
  if (const auto frame = statusItemScreenFrame(toggle)) {
    const auto screens = platform_.screens.screens();
    if (!screens.empty()) {
      const double x = frame->midX();
      const double y = screens.front().frame.maxY() - frame->midY();
      auto& ax = platform_.accessibility;
      platform::AXElementRef element;
      pid_t owner = 0;
      if (ax.elementAtPosition(ax.systemWideElement(), x, y, element) ==
              platform::AXError::Success &&
          element && ax.pid(element, owner) == platform::AXError::Success)
        shown = owner == platform_.workspace.currentProcessId();
    }
  }
  if (shown || pickerIsShown) {
    if (verdict) verdict(true);
    return;
  }
  fullReveal();
  message = hiddenUnexpectedlyText;
  if (verdict)
    verdict(false);
  else
    openSettingsWindow();
}

void BarController::initialCollapse() {
  if (!trusted) {
    openSettingsWindow();
    return;
  }
  refreshInventory(weakly([](BarController& self, bool applied) {
    if (!applied) return;  // a stale native result: nothing more happens
    if (self.preferences->setupComplete() && self.trusted)
      self.collapse();
    else
      self.openSettingsWindow();
  }));
}

void BarController::requestAccess() {
  if (setupInProgress) return;
  if (trusted) {
    platform_.workspace.openURL(accessibilitySettingsURL);
    return;
  }
  ensureOnboarding();
  orderOutSettingsWindow();
  onboarding->openSystemSettingsWithGuide();
}

void BarController::startOnboarding() {
  if (setupInProgress) return;
  cancelMenuTracking();
  closeAccessPopover();
  scheduleAutoCollapse();
  showAll();
  if (collapseTimer) collapseTimer->invalidate();
  orderOutSettingsWindow();
  ensureOnboarding();
  showOnboardingWindow();
}

void BarController::beginSetup() {
  if (busy || setupInProgress) return;
  if (!trusted) {
    requestAccess();
    return;
  }
  if (!runsFromApplicationsFolder()) {
    startOnboarding();
    return;
  }
  setupInProgress = true;
  if (collapseTimer) collapseTimer->invalidate();
  endOpening();
  const auto generation = visibilityGeneration;
  if (nativeVisibility) {
    refreshInventory(weakly([generation](BarController& self, bool applied) {
      self.setupScanOutcome(applied, generation);
    }));
  } else {
    if (!collapsed) synchronousInventoryRefresh();
    setupScanOutcome(true, generation);
  }
}

void BarController::setupScanOutcome(bool applied, std::int64_t generation) {
  if (!setupInProgress || visibilityGeneration != generation) return;
  if (applied) {
    finishSetup();
  } else {
    setupInProgress = false;
    setupFailed();
  }
}

void BarController::finishSetup() {
  if (nativeVisibility) {
    activateNativeVisibility(std::nullopt, weakly([](BarController& self, bool hidden) {
                               self.setupInProgress = false;
                               if (hidden) {
                                 self.preferences->setSetupComplete(true);
                                 self.endOnboardingHandOff();
                                 self.closeSettingsWindow();
                               } else {
                                 self.setupFailed();
                               }
                             }),
                             nullptr);
    return;
  }
  setupInProgress = false;
  preferences->setSetupComplete(true);
  if (collapse()) {
    endOnboardingHandOff();
    closeSettingsWindow();
  } else {
    preferences->setSetupComplete(false);
    setupFailed();
  }
}

void BarController::setupFailed() {
  if (!trusted) return;
  ensureOnboarding();
  onboarding->failure = message.value_or(setupFailedText);
  showOnboardingWindow();
}

}  // namespace tucklet
