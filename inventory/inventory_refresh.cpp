// When the controller rescans the menu bar and how a scan's result replaces its inventory.
#include <algorithm>
#include <utility>

#include "app/bar_controller.h"
#include "inventory/scanner.h"
#include "visibility/divider_geometry.h"

namespace tucklet {

namespace {

constexpr double dividerRescanDelay = 0.3;
constexpr const char* systemRevealControlName = "Show Hidden Menu Bar Items";
constexpr const char* protectedRightOfDividerText =
    "Keep battery and the clock to the RIGHT of the divider before collapsing.";

}  // namespace

bool BarController::requestInventoryRefresh() {
  if (nativeVisibility) {
    if (!trusted || busy || activeItem || inventoryRefreshPending) return false;
    inventoryRefreshPending = true;
    refreshInventory(weakly([](BarController& self, bool applied) {
      self.inventoryRefreshPending = false;
      if (std::exchange(self.collapseAfterRefresh_, false) && applied) self.collapse();
    }));
    return true;
  }
  if (busy || activeItem || pickerIsShown) return false;
  busy = true;
  const auto generation = visibilityGeneration;
  const bool wasCollapsed = collapsed;
  if (wasCollapsed) {
    // Expanded is expanded: should the collapse after the rescan be refused, the bar must not
    // claim to be collapsed while every item shows.
    expandDivider();
    collapsed = false;
  }
  // Give the bar time to lay the expanded divider out before the items are read. A reveal or an
  // opening in the meantime owns the bar (and `busy`) from then on: the rescan must not fold the
  // items away again under it.
  platform_.runLoop.asyncAfter(
      dividerRescanDelay, weakly([wasCollapsed, generation](BarController& self) {
        if (self.visibilityGeneration != generation) return;
        self.synchronousInventoryRefresh();
        self.busy = false;
        const bool requested = std::exchange(self.collapseAfterRefresh_, false);
        if (wasCollapsed || requested) self.collapse();
      }));
  return true;
}

void BarController::refreshInventory(std::function<void(bool)> completion) {
  auto finish = [completion = std::move(completion)](bool applied) {
    if (completion) completion(applied);
  };
  if (!trusted) {
    finish(false);
    return;
  }
  if (nativeVisibility) {
    const auto generation = visibilityGeneration;
    auto& ax = platform_.accessibility;
    auto& workspace = platform_.workspace;
    auto& runLoop = platform_.runLoop;
    runLoop.background(platform::QualityOfService::Utility,
                       [weak = weak_from_this(), &ax, &workspace, &runLoop, generation,
                        finish = std::move(finish)]() mutable {
                         auto scanned = scanMenuBarItems(ax, workspace);
                         runLoop.async([weak, generation, scanned = std::move(scanned),
                                        finish = std::move(finish)]() mutable {
                           auto self = weak.lock();
                           if (!self || self->terminated_) return;
                           const bool current = self->trusted && !self->busy && !self->activeItem &&
                                                self->visibilityGeneration == generation;
                           if (current) self->applyScan(std::move(scanned));
                           finish(current);
                         });
                       });
    return;
  }
  // Items on the hidden side lie off-screen while the divider is collapsed: nothing to read.
  if (!collapsed) synchronousInventoryRefresh();
  finish(true);
}

void BarController::synchronousInventoryRefresh() {
  // Without trust a scan reads nothing; applying it would clear the notice that says why.
  if (!trusted) return;
  applyScan(scanMenuBarItems(platform_.accessibility, platform_.workspace));
}

void BarController::applyScan(std::vector<BarItem> scanned) {
  if (nativeVisibility) {
    std::erase_if(scanned,
                  [](const BarItem& item) { return item.name == systemRevealControlName; });
    if (!visibilityToken) {
      items = std::move(scanned);
    } else {
      // Hidden items are no longer reported while the assertion holds: keep what we knew of them
      // until their process exits.
      std::vector<bool> consumed(scanned.size(), false);
      std::vector<BarItem> merged;
      for (auto& previous : items) {
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
      items = std::move(merged);
    }
  } else {
    const auto divider = dividerFrame();
    if (!divider) return;
    std::vector<BarItem> hidden;
    for (auto& item : scanned)
      if (hiddenSideOfDivider(item.frame, *divider)) hidden.push_back(std::move(item));
    items = std::move(hidden);
    if (protectedItemHidden(items)) {
      message = protectedRightOfDividerText;
    } else if (dividerLeftOfToggle() && message) {
      message.reset();
    }
  }
  refreshStatusItem();
}

}  // namespace tucklet
