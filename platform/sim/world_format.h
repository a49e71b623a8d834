// The world file format: which JSON key fills which field of `World`, and the checks that make a
// world make sense (one screen at least, distinct pids, one frontmost application, ...).
// docs/world-format.md describes the format for people who write world files.
#pragma once

#include "platform/sim/world.h"
#include "platform/sim/world_json_reader.h"

namespace tucklet::sim {

// Reads a parsed world file. Fails with `world_json::JsonReadFailure` naming the bad value.
World readWorld(const world_json::Json& root);

}  // namespace tucklet::sim
