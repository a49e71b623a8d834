// Reading a world from JSON: a file given with `--world PATH`, or the embedded default world.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

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
// The embedded default desktop (a 14-inch laptop, OS 27.0, the framework present).
World defaultWorld();
// The embedded default world's JSON text.
const std::string& defaultWorldJson();

}  // namespace tucklet::sim
