// The inventory: the menu bar items of other applications as Tucklet last scanned them (`items`),
// when a rescan is asked for and allowed, and the rule by which a scan's result replaces the list
// in each hiding mode. Rescans are asked for by application launches and terminations, waking,
// space and screen changes, and (debounced) changes of the running applications.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "inventory/bar_item.h"
#include "platform/connection.h"
#include "platform/debounce.h"
#include "platform/lifetime.h"
#include "platform/platform.h"

namespace tucklet {

class Divider;
class ItemsMenu;
class Notice;
class StatusItem;
class VisibilityEngine;

class Inventory {
 public:
  // What the inventory asks of the parts built after it.
  struct Links {
    std::function<bool()> openingItem;   // an item is being opened
    std::function<void()> itemsChanged;  // a scan was applied (the access panel follows it)
  };

  // Starts observing the workspace for the events that ask for a rescan.
  Inventory(platform::Platform& platform, Notice& notice, const platform::Lifetime& lifetime,
            VisibilityEngine& engine, Divider& divider, ItemsMenu& itemsMenu,
            StatusItem& statusItem, Links links);
  Inventory(const Inventory&) = delete;
  Inventory& operator=(const Inventory&) = delete;

  const std::vector<BarItem>& items() const { return items_; }
  // A native rescan runs; requests meanwhile are dropped.
  bool inventoryRefreshPending() const { return inventoryRefreshPending_; }

  // Starts a refresh when one may start now; false when it was dropped.
  bool requestInventoryRefresh();
  // Scans and applies the result; `completion` runs on the main thread in every path and learns
  // whether a result was applied (false when untrusted or when a native result was stale).
  void refreshInventory(std::function<void(bool applied)> completion);
  // Scans on the main thread and applies the result (the divider-mode and user-level refresh).
  void synchronousInventoryRefresh();
  void applyScan(std::vector<BarItem> scanned);
  // Trust was lost: nothing Tucklet knew of the bar can be relied upon.
  void clear() { items_.clear(); }
  // Stops observing the workspace (termination).
  void stopRefreshTriggers();

 private:
  platform::Platform& platform_;
  Notice& notice_;
  const platform::Lifetime& lifetime_;
  VisibilityEngine& engine_;
  Divider& divider_;
  ItemsMenu& itemsMenu_;
  StatusItem& statusItem_;
  Links links_;

  std::vector<BarItem> items_;
  bool inventoryRefreshPending_ = false;
  std::unique_ptr<platform::Debouncer> runningApplicationsDebounce_;
  std::vector<platform::Connection> observers_;
};

}  // namespace tucklet
