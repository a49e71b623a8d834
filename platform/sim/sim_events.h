// Input on the simulated desktop: routing mouse and key events to whatever is under the point
// or holds the keyboard, the effects of clicks (menus open and close, rows are chosen, this
// process's status items send their actions), event monitors, and global hot keys.
#pragma once

#include <cstdint>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

// Routes one event and fills in the process it was delivered to.
void routeEvent(SimState& state, Outbox& out, platform::InputEvent event);

// Carbon modifier bits (hot keys) from the device-independent flags of events, and back.
std::uint32_t carbonModifiers(std::uint32_t flags);
std::uint32_t eventModifiers(std::uint32_t carbon);
// Sends a registered hot key's press to the handler; false when nothing is registered for it.
// Another application's hot key takes the press: nobody else sees it.
bool triggerHotKey(SimState& state, Outbox& out, std::uint32_t keyCode, std::uint32_t carbon);
// Whether a running application other than this process holds the combination.
bool hotKeyHeldByOtherApplication(const SimState& state, std::uint32_t keyCode,
                                  std::uint32_t carbon);

// Closes the open menu when the item it belongs to left the bar (hidden, removed, gone).
void closeMenuIfItemGone(SimState& state, Outbox& out);

}  // namespace tucklet::sim
