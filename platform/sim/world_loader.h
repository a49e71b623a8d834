// Reading a world from JSON: a file given with `--world PATH`, or the embedded default world.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "platform/sim/world.h"

namespace tucklet::sim {

struct WorldError {
  std::string file;      // the file named on the command line ("<default>" for the embedded one)
  std::string jsonPath;  // e.g. "apps[3].extras[0].width"; empty when the file itself is bad
  std::string message;   // what is wrong, e.g. "expected a number"

  // One line: "<file>: <jsonPath>: <message>" (without the path part when there is none).
  std::string describe() const;
};

using WorldResult = std::variant<World, WorldError>;

WorldResult loadWorldFile(const std::string& path);
WorldResult parseWorld(const std::string& json, const std::string& fileName);
// The embedded default desktop (a 14-inch laptop, OS 27.0, the framework present).
World defaultWorld();
// The embedded default world's JSON text.
const std::string& defaultWorldJson();

}  // namespace tucklet::sim
