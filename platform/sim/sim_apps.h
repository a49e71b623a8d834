// Applications coming and going: loading a world into the desktop's tables, launching and
// quitting applications, the frontmost application, and turning the tables back into a world.
#pragma once

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

void loadWorld(SimState& state, World world);
World exportWorld(const SimState& state);

// Launches an application; a missing or taken process id is replaced by a fresh one.
pid_t launchApp(SimState& state, Outbox& out, WorldApplication app);
// Quits an application: its extras, windows and menu vanish and its elements become invalid.
// This process cannot be quit this way.
void quitApp(SimState& state, Outbox& out, pid_t pid);
// Makes a running application (this process included) frontmost.
void makeFrontmost(SimState& state, Outbox& out, pid_t pid);
// Hides another application: its windows leave the screen until it is made frontmost again.
void hideApp(SimState& state, Outbox& out, pid_t pid);

}  // namespace tucklet::sim
