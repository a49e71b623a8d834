// What a menu bar extra does when it is pressed through Accessibility ("AXPress",
// "AXShowMenu", "AXCancel") or clicked, by its press behaviour: open its menu, open a window
// after a delay, refuse with an error code, or hang.
#pragma once

#include <string>

#include "platform/accessibility.h"
#include "platform/sim/sim_state.h"

namespace tucklet::sim {

// Whether the application behind an extra never answers this action.
bool extraActionHangs(const SimState& state, ExtraId extra, const std::string& action);
platform::AXError performExtraAction(SimState& state, Outbox& out, ExtraId extra,
                                     const std::string& action);
// A real click works whatever Accessibility supports, unless the application hangs.
void clickExtra(SimState& state, Outbox& out, ExtraId extra);

}  // namespace tucklet::sim
