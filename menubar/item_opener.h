// Opening a hidden item: Tucklet makes the item's icon reachable for a moment, presses it through
// Accessibility so that its own menu opens, watches until that menu (or a window the press opened)
// goes away, and hides the icon again. Every step is timed from the user's choice (`latency`).
//
// The opener owns the state of an item being opened: `activeItem`, the owner's windows from before
// the press and those that appeared after it, the menu poll timer, the Accessibility observer of
// the item's menus and the global event monitor. Every asynchronous step carries the engine's
// generation and is abandoned once a newer opening, a full reveal or a hide moved it on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "inventory/bar_item.h"
#include "menubar/item_lookups.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "preferences/preferences.h"
#include "visibility/notice.h"

namespace tucklet {

class ItemsMenu;
class VisibilityEngine;

class ItemOpener {
 public:
  ItemOpener(platform::Platform& platform, const Preferences& preferences, Notice& notice,
             const platform::Lifetime& lifetime, VisibilityEngine& engine, ItemsMenu& itemsMenu);
  ItemOpener(const ItemOpener&) = delete;
  ItemOpener& operator=(const ItemOpener&) = delete;

  // Reveals the item, presses it and watches its menu. Callers pass the record they show.
  void openItem(const BarItem& item);
  // The item's menu closed: tears the opening down and hides again.
  void finishOpening();
  // Tears an opening down without hiding anything again; a collapse that waited for the opening
  // may run.
  void endOpening();
  // Stores a latency mark: milliseconds since the user's choice, and the uptime now.
  void recordLatency(const std::string& mark);

  // The item whose menu is open; nothing while no opening is in progress.
  const std::optional<BarItem>& activeItem() const { return activeItem_; }
  // Windows of the owner that appeared after the press.
  const WindowNumbers& activeWindowIDs() const { return activeWindowIDs_; }
  // Whether the item's menu, or a window it opened, was seen open since the press.
  bool menuWasObserved() const { return menuWasObserved_; }
  // "actionAt" and, per mark, "<mark>Ms" and "<mark>At".
  const std::map<std::string, double>& latency() const { return latency_; }
  // The item pressed last, and its owner's windows just before that press.
  const std::optional<BarItem>& lastOpenedItem() const { return lastOpenedItem_; }
  const WindowNumbers& lastOpenedBeforeWindows() const { return lastOpenedBeforeWindows_; }

 private:
  // A system item the visibility interface cannot reveal (native mode): pressed where it is.
  bool pressedWhereItIs(const BarItem& item) const;
  void waitForIcon(const BarItem& item);
  void pollIcon(const BarItem& item, std::int64_t generation, double deadline);
  void press(const BarItem& item);
  void pressResult(const BarItem& item, const WindowNumbers& before, bool pressed);
  void pressFailed(const BarItem& item);
  // The item's menu, or a window the press opened, is open now.
  bool menuShowing() const;
  void observeMenus(const BarItem& item);
  void monitorEvents();
  void menuPoll();
  // Runs `work` on the main queue, `delay` seconds from now, unless this opening has ended by then.
  void whileOpen(double delay, std::function<void()> work);

  platform::Platform& platform_;
  const Preferences& preferences_;
  Notice& notice_;
  const platform::Lifetime& lifetime_;
  VisibilityEngine& engine_;
  ItemsMenu& itemsMenu_;

  std::optional<BarItem> activeItem_;
  WindowNumbers windowsBeforeOpen_;
  WindowNumbers activeWindowIDs_;
  bool menuWasObserved_ = false;
  double openingDeadline_ = 0;  // uptime until which a menu never seen is still waited for
  platform::TimerRef menuTimer_;
  std::unique_ptr<platform::AXObserver> menuObserver_;
  std::unique_ptr<platform::EventMonitor> globalMonitor_;
  // Moves on whenever an opening is torn down: its watchers' late hops are dropped.
  std::uint64_t watch_ = 0;
  double interactionBegan_ = 0;  // system uptime of the user's choice
  std::map<std::string, double> latency_;
  std::optional<BarItem> lastOpenedItem_;
  WindowNumbers lastOpenedBeforeWindows_;
};

}  // namespace tucklet
