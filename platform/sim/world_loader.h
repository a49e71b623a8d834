// Reading a world from JSON: a file given with `--world PATH`, or the embedded default world.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/sim/world.h"

namespace tucklet::sim {

struct WorldError {
  std::string file;      // the file named on the command line ("<default>" for the embedded one)
  std::string jsonPath;  // e.g. "apps[3].extras[0].width"; empty when the file itself is bad
  std::string message;   // what is wrong, e.g. "expected a number"

  // One line: "<file>: <jsonPath>: <message>" (without the path part when there is none), with
  // control characters escaped ("\n", "\x01") so that it is always exactly one line.
  std::string describe() const;
};

using WorldResult = std::variant<World, WorldError>;

// The largest world file read; a larger one is refused at once.
inline constexpr std::size_t kMaxWorldFileBytes = 16u << 20;

WorldResult loadWorldFile(const std::string& path);
WorldResult parseWorld(const std::string& json, const std::string& fileName);
// Timeline steps given on the command line, each as "ACTION ARGUMENTS@SECONDS": the action's
// name, then (after a space) its arguments as JSON, then "@" and the time. Arguments that are not
// JSON are taken as one text, so `quitApplication com.raycast.macos@4` and `typeText hello@2` need
// no quotes; an action without arguments is written alone (`simulateWake@3`). Checked against
// `world` (and the applications its timeline and the steps before launch) like the steps of a
// world's timeline, though not bound to its order; an error names the step as
// "<name>[<index>]" ("--sim-do[0]") where a world error names the file.
std::variant<std::vector<TimelineStep>, WorldError> parseTimelineArguments(
    const std::vector<std::string>& arguments, const std::string& name, const World& world);

// The embedded default desktop (a 14-inch laptop, OS 27.0, the framework present).
World defaultWorld();
// The embedded default world's JSON text.
const std::string& defaultWorldJson();

}  // namespace tucklet::sim
