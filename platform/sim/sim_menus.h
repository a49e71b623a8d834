// Menus open on the desktop: an extra's menu (opened by a press or a click) or this process's
// pop-up menu. Only one is open at a time: opening one closes the other. Closing an extra's
// menu tells attached observers ("AXMenuClosed"); closing the pop-up menu ends run loop
// tracking and runs the product's `closed`.
//
// An open menu follows the pointer (the choosable row under it is highlighted) and the keyboard:
// the arrow keys move the highlight over the rows that can be chosen, Return chooses the
// highlighted row, Escape closes the menu.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

// Row frames of an open menu, window-list coordinates.
std::vector<Rect> menuRowFrames(const ActiveMenu& menu);

void openExtraMenu(SimState& state, Outbox& out, ExtraId extra);
// Pops this process's menu up: with its top-left corner at `topLeft` (screen coordinates) when
// given, else just below one of its status items (or at the pointer); and starts tracking.
void openPopUpMenu(SimState& state, Outbox& out, const platform::MenuModel& model,
                   std::uint64_t underOwnItem, std::optional<Point> topLeft,
                   std::function<void()> closed);
// The layout a pop-up menu of this model gets.
MenuLayout popUpMenuLayout(const SimState& state, const platform::MenuModel& model);
void closeMenu(SimState& state, Outbox& out);
// Chooses a row of the open menu by index path; false when it cannot be chosen.
bool chooseMenuRow(SimState& state, Outbox& out, const std::vector<std::size_t>& indexPath);
// The index path of the first choosable row with this title, depth first.
std::optional<std::vector<std::size_t>> findMenuRow(const SimState& state,
                                                    const std::string& title);
// The rows shown for a pop-up menu model.
std::vector<MenuRow> rowsOf(const platform::MenuModel& model);

// The pointer moved to `p` (window-list coordinates): the choosable row under it is highlighted,
// nothing when it is over anything else.
void trackPointer(SimState& state, Point p);
// A key went down while a menu is open; true when the menu took it.
bool menuKeyDown(SimState& state, Outbox& out, std::uint16_t keyCode);

}  // namespace tucklet::sim
