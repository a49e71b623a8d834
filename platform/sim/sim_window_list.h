// The window server's list of on-screen windows, front to back: the open menu (layer 101),
// ordinary windows, the status item windows of items on the bar (25), the menu bar (24) and the
// desktop pictures.
#pragma once

#include <vector>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

std::vector<platform::WindowInfo> windowList(const SimState& state, bool excludeDesktopElements);

}  // namespace tucklet::sim
