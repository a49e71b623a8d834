// The default world's JSON text, compiled in from examples/default-world.json at build time.
#pragma once

namespace tucklet::sim {

extern const char kDefaultWorldJsonText[];

}  // namespace tucklet::sim
