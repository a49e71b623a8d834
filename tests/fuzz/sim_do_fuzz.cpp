// Timeline steps given on the command line ("ACTION ARGUMENTS@SECONDS", one per input line),
// checked against the default desktop: steps or one error line naming the step.
#include <string>
#include <variant>
#include <vector>

#include "platform/sim/world_loader.h"
#include "tests/fuzz/fuzz_target.h"

TUCKLET_FUZZ_TARGET(sim_do) {
  static const tucklet::sim::World world = tucklet::sim::defaultWorld();
  std::vector<std::string> arguments;
  std::string current;
  for (const char c : tucklet::fuzz::text(data, size)) {
    if (c == '\n') {
      arguments.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  arguments.push_back(current);
  const auto result = tucklet::sim::parseTimelineArguments(arguments, "--sim-do", world);
  if (const auto* error = std::get_if<tucklet::sim::WorldError>(&result)) {
    const std::string line = error->describe();
    TUCKLET_FUZZ_CHECK("sim_do", line.find('\n') == std::string::npos,
                       "a multi-line error: " + line);
    TUCKLET_FUZZ_CHECK("sim_do", error->message.rfind("[json.exception", 0) != 0,
                       "an error the reader did not check for: " + line);
    TUCKLET_FUZZ_CHECK("sim_do", line.rfind("--sim-do[", 0) == 0,
                       "an error naming no step: " + line);
  }
}
