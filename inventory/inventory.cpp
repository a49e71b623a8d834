// When the inventory rescans the menu bar and how a scan's result replaces the items.
#include "inventory/inventory.h"

#include <algorithm>
#include <utility>

#include "inventory/scanner.h"
#include "menubar/items_menu.h"
#include "menubar/status_item.h"
#include "visibility/divider.h"
#include "visibility/divider_geometry.h"
#include "visibility/notice.h"
#include "visibility/visibility_engine.h"

namespace tucklet {

namespace {

constexpr double runningApplicationsDebounceDelay = 0.7;
constexpr const char* systemRevealControlName = "Show Hidden Menu Bar Items";
constexpr const char* protectedRightOfDividerText =
    "Keep battery and the clock to the RIGHT of the divider before collapsing.";

}  // namespace

Inventory::Inventory(platform::Platform& platform, Notice& notice,
                     const platform::Lifetime& lifetime, VisibilityEngine& engine, Divider& divider,
                     ItemsMenu& itemsMenu, StatusItem& statusItem, Links links)
    : platform_(platform),
      notice_(notice),
      lifetime_(lifetime),
      engine_(engine),
      divider_(divider),
      itemsMenu_(itemsMenu),
      statusItem_(statusItem),
      links_(std::move(links)) {
  // A burst of launches and terminations is one rescan.
  runningApplicationsDebounce_ = std::make_unique<platform::Debouncer>(
      platform_.runLoop, runningApplicationsDebounceDelay, platform::TimerMode::Default,
      lifetime_.guard([this] { requestInventoryRefresh(); }));
  observers_.push_back(platform_.workspace.observe(
      platform::WorkspaceNotification::RunningApplicationsChanged,
      lifetime_.guard([this](pid_t) { runningApplicationsDebounce_->trigger(); })));
  for (auto notification : {platform::WorkspaceNotification::ApplicationLaunched,
                            platform::WorkspaceNotification::ApplicationTerminated,
                            platform::WorkspaceNotification::DidWake,
                            platform::WorkspaceNotification::ActiveSpaceChanged,
                            platform::WorkspaceNotification::ScreenParametersChanged}) {
    observers_.push_back(platform_.workspace.observe(
        notification, lifetime_.guard([this](pid_t) { requestInventoryRefresh(); })));
  }
}

void Inventory::stopRefreshTriggers() {
  observers_.clear();
  runningApplicationsDebounce_.reset();
}

bool Inventory::requestInventoryRefresh() {
  if (engine_.nativeVisibility()) {
    if (!engine_.trusted() || engine_.busy() || links_.openingItem() || inventoryRefreshPending_)
      return false;
    inventoryRefreshPending_ = true;
    refreshInventory(lifetime_.guard([this](bool) {
      inventoryRefreshPending_ = false;
      // A hide that waited for this rescan, so that it would not make its result stale, may go.
      engine_.holdReleased();
    }));
    return true;
  }
  if (links_.openingItem() || itemsMenu_.pickerIsShown()) return false;
  return engine_.rescanExpanded([this] { synchronousInventoryRefresh(); });
}

void Inventory::refreshInventory(std::function<void(bool)> completion) {
  auto finish = [completion = std::move(completion)](bool applied) {
    if (completion) completion(applied);
  };
  if (!engine_.trusted()) {
    finish(false);
    return;
  }
  if (engine_.nativeVisibility()) {
    const auto generation = engine_.visibilityGeneration();
    auto& ax = platform_.accessibility;
    auto& workspace = platform_.workspace;
    auto& runLoop = platform_.runLoop;
    runLoop.background(
        platform::QualityOfService::Utility,
        [&ax, &workspace, &runLoop,
         apply = lifetime_.guard(
             [this, generation, finish = std::move(finish)](std::vector<BarItem> scanned) {
               const bool current = engine_.trusted() && !engine_.busy() && !links_.openingItem() &&
                                    engine_.visibilityGeneration() == generation;
               if (current) applyScan(std::move(scanned));
               finish(current);
             })]() mutable {
          // Only the scan runs here; the result is applied on the main thread.
          auto scanned = scanMenuBarItems(ax, workspace);
          runLoop.async([apply = std::move(apply), scanned = std::move(scanned)]() mutable {
            apply(std::move(scanned));
          });
        });
    return;
  }
  // Items on the hidden side lie off-screen while the divider is collapsed: nothing to read.
  if (!engine_.collapsed()) synchronousInventoryRefresh();
  finish(true);
}

void Inventory::synchronousInventoryRefresh() {
  // Without trust a scan reads nothing; applying it would clear the notice that says why.
  if (!engine_.trusted()) return;
  applyScan(scanMenuBarItems(platform_.accessibility, platform_.workspace));
}

void Inventory::applyScan(std::vector<BarItem> scanned) {
  if (engine_.nativeVisibility()) {
    std::erase_if(scanned,
                  [](const BarItem& item) { return item.name == systemRevealControlName; });
    if (!engine_.holdsVisibilityToken()) {
      items_ = std::move(scanned);
    } else {
      // Hidden items are no longer reported while the assertion holds: keep what we knew of them
      // until their process exits.
      std::vector<bool> consumed(scanned.size(), false);
      std::vector<BarItem> merged;
      for (auto& previous : items_) {
        if (!platform_.workspace.applicationForPid(previous.pid)) continue;
        auto match = std::find_if(scanned.begin(), scanned.end(), [&](const BarItem& item) {
          return !consumed[static_cast<std::size_t>(&item - scanned.data())] &&
                 item.id == previous.id;
        });
        if (match != scanned.end()) {
          consumed[static_cast<std::size_t>(match - scanned.begin())] = true;
          merged.push_back(*match);
        } else {
          merged.push_back(std::move(previous));
        }
      }
      std::vector<BarItem> fresh;
      for (std::size_t i = 0; i < scanned.size(); ++i)
        if (!consumed[i]) fresh.push_back(std::move(scanned[i]));
      sortLeftToRight(fresh);
      for (auto& item : fresh)
        merged.push_back(std::move(item));
      items_ = std::move(merged);
    }
  } else {
    const auto divider = divider_.dividerFrame();
    if (!divider) return;
    std::vector<BarItem> hidden;
    for (auto& item : scanned)
      if (hiddenSideOfDivider(item.frame, *divider)) hidden.push_back(std::move(item));
    items_ = std::move(hidden);
    if (protectedItemHidden(items_)) {
      notice_.show(protectedRightOfDividerText);
    } else if (divider_.dividerLeftOfToggle()) {
      notice_.clear();
    }
  }
  statusItem_.refreshStatusItem();
  if (links_.itemsChanged) links_.itemsChanged();
}

}  // namespace tucklet
