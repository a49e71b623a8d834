// The world file loader, timelines included: any bytes give a world or one error line, and an
// error is the loader's own (a JSON path and a message), never a JSON library exception.
#include <string>
#include <variant>

#include "platform/sim/world_loader.h"
#include "tests/fuzz/fuzz_target.h"

TUCKLET_FUZZ_TARGET(world) {
  const std::string json(tucklet::fuzz::text(data, size));
  const auto result = tucklet::sim::parseWorld(json, "fuzz.json");
  if (const auto* error = std::get_if<tucklet::sim::WorldError>(&result)) {
    const std::string line = error->describe();
    TUCKLET_FUZZ_CHECK("world", line.find('\n') == std::string::npos,
                       "a multi-line error: " + line);
    TUCKLET_FUZZ_CHECK("world", error->message.rfind("[json.exception", 0) != 0,
                       "an error the reader did not check for: " + line);
  }
}
