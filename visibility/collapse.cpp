// When menu bar items are hidden and when everything is shown again: collapse and full reveal,
// the collapse that waits until the bar is free, the divider rescan, the automatic fold, the
// Accessibility trust check and the safety restore after a native hide.
#include <algorithm>
#include <utility>

#include "menubar/items_menu.h"
#include "ui/onboarding/onboarding_controller.h"
#include "visibility/native_visibility.h"
#include "visibility/visibility_engine.h"

namespace tucklet {

namespace {

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

constexpr double trustCheckInterval = 2.0;
constexpr double minimumCollapseDelay = 2.0;
constexpr double dividerRescanDelay = 0.3;

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

VisibilityEngine::VisibilityEngine(platform::Platform& platform, Preferences& preferences,
                                   Notice& notice, const platform::Lifetime& lifetime,
                                   bool nativeVisibility, std::string bundleIdentifier,
                                   StatusItem& statusItem, Divider& divider, ItemsMenu& itemsMenu,
                                   Links links)
    : platform_(platform),
      preferences_(preferences),
      notice_(notice),
      lifetime_(lifetime),
      statusItem_(statusItem),
      divider_(divider),
      itemsMenu_(itemsMenu),
      links_(std::move(links)),
      bundleIdentifier_(std::move(bundleIdentifier)),
      nativeVisibility_(nativeVisibility),
      trusted_(platform.accessibility.isProcessTrusted()) {
  // In the common modes, so that trust is followed while a menu tracks too.
  permissionTimer_ =
      platform_.runLoop.scheduleTimer(trustCheckInterval, true, platform::TimerMode::Common,
                                      lifetime_.guard([this] { trustCheck(); }));
}

bool VisibilityEngine::runsFromApplicationsFolder() const {
  const auto path = platform_.workspace.mainBundle().path;
  return startsWith(path, "/Applications/") || startsWith(path, "/System/Applications/");
}

bool VisibilityEngine::collapse() {
  if (!preferences_.setupComplete() || !trusted_) {
    notice_.show(trusted_ ? setupIncompleteText : notTrustedText);
    return false;
  }
  if (busy_ || setupInProgress_) return false;

  if (nativeVisibility_) {
    if (!runsFromApplicationsFolder()) {
      notice_.show(moveToApplicationsText);
      return false;
    }
    stopAutoCollapse();
    links_.endOpening();
    activateNativeVisibility(std::nullopt, nullptr, nullptr);
    return true;
  }

  if (platform_.workspace.operatingSystemVersion().major > 26) {
    notice_.show(noCompatibleAPIText);
    return false;
  }
  if (divider_.dividerLeftOfToggle()) {
    if (protectedItemHidden(links_.items())) {
      notice_.show(protectedHiddenText);
      return false;
    }
    stopAutoCollapse();
    links_.endOpening();
    divider_.collapseDivider();
    collapsed_ = true;
    fulfilWaitingCollapse();
    return true;
  }
  fullReveal();
  notice_.show(dragDividerText);
  return false;
}

bool VisibilityEngine::held() const {
  return busy_ || setupInProgress_ || links_.openingItem() ||
         (nativeVisibility_ && links_.inventoryRefreshPending());
}

void VisibilityEngine::collapseWhenFree() {
  if (held()) {
    if (whenFree_ == WhenFree::Nothing) whenFree_ = WhenFree::Collapse;
    return;
  }
  collapse();
}

void VisibilityEngine::fulfilWaitingCollapse() {
  // A hide that starts now takes the settings of now: a collapse asked for earlier has its way.
  // A waiting setup run still has to mark setup complete.
  if (whenFree_ == WhenFree::Collapse) whenFree_ = WhenFree::Nothing;
}

void VisibilityEngine::holdReleased() {
  if (whenFree_ == WhenFree::Nothing) return;
  // On the main queue, once whoever let go has finished its own step.
  platform_.runLoop.async(lifetime_.guard([this] { runWhenFree(); }));
}

void VisibilityEngine::runWhenFree() {
  if (whenFree_ == WhenFree::Nothing || held()) return;
  const auto waiting = std::exchange(whenFree_, WhenFree::Nothing);
  if (waiting == WhenFree::Setup)
    beginSetup();
  else
    collapse();
}

void VisibilityEngine::fullReveal() {
  setupInProgress_ = false;
  whenFree_ = WhenFree::Nothing;
  foldingBack_ = false;
  ++visibilityGeneration_;
  releaseVisibilityToken();
  busy_ = false;
  divider_.expandDivider();
  collapsed_ = false;
}

std::int64_t VisibilityEngine::beginOpening() {
  return ++visibilityGeneration_;
}

void VisibilityEngine::setBusy(bool busy) {
  busy_ = busy;
  if (!busy) holdReleased();
}

void VisibilityEngine::stopAutoCollapse() {
  if (collapseTimer_) collapseTimer_->invalidate();
}

void VisibilityEngine::stopTimers() {
  if (permissionTimer_) permissionTimer_->invalidate();
  stopAutoCollapse();
}

void VisibilityEngine::scheduleAutoCollapse() {
  stopAutoCollapse();
  collapseTimer_.reset();
  if (!preferences_.autoCollapse() || !preferences_.setupComplete() || !trusted_ ||
      setupInProgress_ || collapsed_ || links_.openingItem())
    return;
  const double delay = std::max(preferences_.collapseDelay(), minimumCollapseDelay);
  collapseTimer_ = platform_.runLoop.scheduleTimer(
      delay, false, platform::TimerMode::Default, lifetime_.guard([this] { autoCollapseCheck(); }));
}

bool VisibilityEngine::pointerInMenuBar() const {
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

void VisibilityEngine::autoCollapseCheck() {
  const bool settingsShown = links_.settingsWindowVisible && links_.settingsWindowVisible();
  const bool panelShown = links_.accessPanelShown && links_.accessPanelShown();
  // A rescan or press in flight (`busy`) would make the collapse refuse silently and the fold would
  // never come: wait another delay, as for the other reasons to postpone.
  if (itemsMenu_.pickerIsShown() || panelShown || pointerInMenuBar() || settingsShown || busy_) {
    scheduleAutoCollapse();
    return;
  }
  if (!nativeVisibility_) links_.synchronousInventoryRefresh();
  collapse();
}

bool VisibilityEngine::rescanExpanded(std::function<void()> scan) {
  if (busy_) return false;
  busy_ = true;
  const auto generation = visibilityGeneration_;
  const bool wasCollapsed = collapsed_;
  if (wasCollapsed) {
    // Expanded is expanded: should the collapse after the rescan be refused, the bar must not
    // claim to be collapsed while every item shows.
    divider_.expandDivider();
    collapsed_ = false;
    foldingBack_ = true;
  }
  // Give the bar time to lay the expanded divider out before the items are read. A reveal or an
  // opening in the meantime owns the bar (and `busy`) from then on: the rescan must not fold the
  // items away again under it.
  platform_.runLoop.asyncAfter(
      dividerRescanDelay, lifetime_.guard([this, wasCollapsed, generation, scan = std::move(scan)] {
        if (visibilityGeneration_ != generation) return;
        scan();
        busy_ = false;
        foldingBack_ = false;
        if (wasCollapsed) collapse();
        holdReleased();
      }));
  return true;
}

void VisibilityEngine::trustCheck() {
  const bool answer = platform_.accessibility.isProcessTrusted();
  if (answer == trusted_) return;
  trusted_ = answer;
  const bool handingOff = onboardingHandingOff();
  if (trusted_) {
    notice_.clear();
    if (!handingOff) links_.requestInventoryRefresh();
  } else {
    links_.showAll();
    links_.clearInventory();
    notice_.show(trustRemovedText);
  }
  if (auto* onboarding = links_.onboarding()) onboarding->trustChanged(trusted_);
  if (trusted_ && !handingOff) {
    if (onboardingWindowVisible()) return;
    // After the rescan started above: hiding now would make its result stale (native) or be
    // refused while it holds the bar (divider), leaving the menu empty or the bar expanded.
    if (preferences_.setupComplete()) collapseWhenFree();
  }
}

void VisibilityEngine::visibilityRefresh() {
  // An activation still in flight carries the lists from before the change: hide again after it.
  if (nativeVisibility_ && collapsed_ && !links_.openingItem()) collapseWhenFree();
}

void VisibilityEngine::postHideSafetyCheck(std::int64_t generation,
                                           std::function<void(bool)> verdict) {
  if (!collapsed_ || visibilityGeneration_ != generation) return;
  bool shown = false;
  if (const auto frame = divider_.toggleScreenFrame()) {
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
  if (shown || itemsMenu_.pickerIsShown()) {
    if (verdict) verdict(true);
    return;
  }
  fullReveal();
  notice_.show(hiddenUnexpectedlyText);
  if (verdict)
    verdict(false);
  else
    openSettingsWindow();
}

void VisibilityEngine::initialCollapse() {
  if (!trusted_) {
    openSettingsWindow();
    return;
  }
  links_.refreshInventory(lifetime_.guard([this](bool applied) {
    if (!applied) return;  // a stale native result: nothing more happens
    if (preferences_.setupComplete() && trusted_)
      collapseWhenFree();
    else
      openSettingsWindow();
  }));
}

void VisibilityEngine::openSettingsWindow() {
  if (links_.openSettingsWindow) links_.openSettingsWindow();
}

}  // namespace tucklet
