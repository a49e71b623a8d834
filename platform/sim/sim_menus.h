// Menus open on the desktop: an extra's menu (opened by a press or a click) or this process's
// pop-up menu. Only one is open at a time: opening one closes the other. Closing an extra's
// menu tells attached observers ("AXMenuClosed"); closing the pop-up menu ends run loop
// tracking and runs the product's `closed`.
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
// Pops this process's menu up under one of its status items (or at the pointer) and starts
// tracking.
void openPopUpMenu(SimState& state, Outbox& out, const platform::MenuModel& model,
                   std::uint64_t underOwnItem, std::function<void()> closed);
void closeMenu(SimState& state, Outbox& out);
// Chooses a row of the open menu by index path; false when it cannot be chosen.
bool chooseMenuRow(SimState& state, Outbox& out, const std::vector<std::size_t>& indexPath);
// The index path of the first choosable row with this title, depth first.
std::optional<std::vector<std::size_t>> findMenuRow(const SimState& state,
                                                    const std::string& title);
// The rows shown for a pop-up menu model.
std::vector<MenuRow> rowsOf(const platform::MenuModel& model);

}  // namespace tucklet::sim
