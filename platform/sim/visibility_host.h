// How the private visibility framework stand-in reaches the simulated system. The stand-in is a
// separate shared library that the product loads by path; like the real framework talking to the
// window server, it talks to the simulated desktop through this C table, which the program that
// runs the desktop exports as the symbol `tucklet_sim_visibility_host`.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum TuckletSimThrowStep {
  TuckletSimThrowNowhere = 0,
  TuckletSimThrowAtConfiguration = 1,
  TuckletSimThrowAtCreation = 2,
  TuckletSimThrowAtActivation = 3,
  TuckletSimThrowAtInvalidation = 4,
};

struct TuckletSimFrameworkFaults {
  int configurationReturnsNothing;
  int throwAt;  // a TuckletSimThrowStep
  int throwWithReason;
  char throwReason[256];
  int hasActivationError;
  char activationError[256];
  double activationDelay;
  int handlerOnOtherThread;
  int hidesCaller;
};

struct TuckletSimVisibilityHost {
  void* context;
  void (*faults)(void* context, struct TuckletSimFrameworkFaults* out);
  uint64_t (*addAssertion)(void* context, const int64_t* controls, size_t controlCount,
                           const char* const* bundles, size_t bundleCount, int hidesCaller);
  void (*removeAssertion)(void* context, uint64_t assertion);
  // Runs `work(argument)` on the system's main run loop after `seconds`.
  void (*after)(void* context, double seconds, void (*work)(void*), void* argument);
};

// Exported by the program; NULL while no simulated desktop runs.
const struct TuckletSimVisibilityHost* tucklet_sim_visibility_host(void);

#ifdef __cplusplus
}

#include <string>

namespace tucklet::platform {
class RunLoop;
}

namespace tucklet::sim {
class SimDesktop;
// The desktop the framework stand-in talks to (the newest one attached) and the run loop its
// delayed answers run on; detaching a desktop that is not attached does nothing.
void attachVisibilityHost(SimDesktop& desktop, platform::RunLoop& runLoop);
void detachVisibilityHost(SimDesktop& desktop);
// The path of the stand-in library this build produced.
const char* builtinVisibilityFrameworkPath();
// A world's framework path as a file path: "builtin" names the stand-in this build produced.
std::string resolveVisibilityFrameworkPath(const std::string& worldPath);
}  // namespace tucklet::sim
#endif
