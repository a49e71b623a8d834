// What the item opener asks the system about an item it opens: the item found again in its
// application's extras bar, whether the bar shows it where a click would reach it, the owner's
// windows and which of them are menus, whether the item's own menu is open, and the press itself.
//
// Synchronous reads of the Accessibility interface and the window list. They read the platform
// only, so the slow ones (finding, readiness, the press) run on a background queue.
#pragma once

#include <optional>
#include <set>
#include <vector>

#include "inventory/bar_item.h"
#include "platform/accessibility.h"
#include "platform/window_server.h"
#include "platform/workspace.h"

namespace tucklet {

using WindowNumbers = std::set<platform::WindowNumber>;

// Messaging time-outs: finding the item again, and the press (short, so that an application that
// does not answer costs the user little).
inline constexpr double refindMessagingTimeout = 0.04;
inline constexpr double pressMessagingTimeout = 0.035;

// The item read afresh from its application's extras bar: by position for items without an
// identifier ("index-N" ids), else by identifier. Nothing when the bar, the child or a frame of
// positive size is missing.
std::optional<BarItem> refindItem(const platform::Accessibility& ax, const BarItem& item);
// The item is what a click at the centre of its frame reaches: the element there belongs to its
// process and is the item (same identifier, or a menu bar item when it has none).
bool itemIsReady(const platform::Accessibility& ax, const BarItem& item);
// On-screen windows of the item's process, and for the system's own items also those of the
// process that draws their menus ("com.apple.MenuBarAgent").
WindowNumbers ownerWindowNumbers(const platform::WindowServer& windowServer,
                                 const platform::Workspace& workspace, const BarItem& item);
// Those of the owner's windows that look like an open menu or a panel hanging from the bar:
// visible, bigger than a point, and above the menu layer or starting near the top of the screen.
WindowNumbers menuWindowNumbers(const platform::WindowServer& windowServer,
                                const platform::Workspace& workspace, const BarItem& item);
// The children of the item's element that are menus.
std::vector<platform::AXElementRef> itemMenus(const platform::Accessibility& ax,
                                              const BarItem& item);
// The item has a menu child and is selected, or one of its menus has a frame of positive size.
bool menuOpened(const platform::Accessibility& ax, const BarItem& item);
// Presses the item: "AXPress", and "AXShowMenu" when the application does not support pressing.
// True when the item's menu (or whatever it opens) was asked to open.
bool pressItem(const platform::Accessibility& ax, const BarItem& item);

}  // namespace tucklet
