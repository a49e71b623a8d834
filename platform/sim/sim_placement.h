// Where status items sit in the bar: placement keys of new items, this process's placements
// remembered by autosave name, and moving an item with a Command-drag.
#pragma once

#include <string>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

// A new status item of this process goes left of everything in the bar.
void placeNewOwnItem(SimState& state, OwnItemEntry& item);
// Naming an item restores the placement remembered under the name, if any.
void applyAutosaveName(SimState& state, OwnItemEntry& item, const std::string& name);
// Moves a slot so that its right edge lands at screen x `toX`: just right of the slot under it
// when `toX` is right of that slot's middle, else just left of it. Nothing passes the fixed
// items at the right end. Placement keys are renumbered 1, 2, ... right to left and this
// process's named items remember theirs. False for fixed, hidden or unknown slots.
bool commandDragSlot(SimState& state, const BarSlot& slot, double toX);

}  // namespace tucklet::sim
