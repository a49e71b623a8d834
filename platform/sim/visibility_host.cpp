#include "platform/sim/visibility_host.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "platform/run_loop.h"
#include "platform/sim/desktop.h"

#ifndef TUCKLET_BUILTIN_FRAMEWORK_PATH
#define TUCKLET_BUILTIN_FRAMEWORK_PATH ""
#endif

namespace tucklet::sim {

namespace {

std::mutex hostMutex;
SimDesktop* attached = nullptr;
platform::RunLoop* attachedRunLoop = nullptr;
TuckletSimVisibilityHost table;

void copyText(char* out, std::size_t size, const std::string& text) {
  std::strncpy(out, text.c_str(), size - 1);
  out[size - 1] = '\0';
}

int throwStep(const std::optional<std::string>& at) {
  if (!at) return TuckletSimThrowNowhere;
  if (*at == "configuration") return TuckletSimThrowAtConfiguration;
  if (*at == "creation") return TuckletSimThrowAtCreation;
  if (*at == "activation") return TuckletSimThrowAtActivation;
  if (*at == "invalidation") return TuckletSimThrowAtInvalidation;
  return TuckletSimThrowNowhere;
}

void readFaults(void* context, TuckletSimFrameworkFaults* out) {
  auto* desktop = static_cast<SimDesktop*>(context);
  const auto faults = desktop->world().visibilityFramework.faults;
  *out = {};
  out->configurationReturnsNothing = faults.configurationReturnsNothing;
  out->throwAt = throwStep(faults.throwAt);
  out->throwWithReason = !faults.throwWithoutReason;
  copyText(out->throwReason, sizeof out->throwReason, faults.throwReason);
  out->hasActivationError = faults.activationError.has_value();
  copyText(out->activationError, sizeof out->activationError, faults.activationError.value_or(""));
  out->activationDelay = faults.activationDelay;
  out->handlerOnOtherThread = faults.handlerOnOtherThread;
  out->hidesCaller = faults.hidesCaller;
}

uint64_t addAssertion(void* context, const int64_t* controls, size_t controlCount,
                      const char* const* bundles, size_t bundleCount, int hidesCaller) {
  std::set<int> allowedControls;
  for (size_t i = 0; i < controlCount; ++i)
    allowedControls.insert(static_cast<int>(controls[i]));
  std::set<std::string> allowedBundles;
  for (size_t i = 0; i < bundleCount; ++i)
    if (bundles[i]) allowedBundles.insert(bundles[i]);
  return static_cast<SimDesktop*>(context)->addVisibilityAssertion(
      std::move(allowedControls), std::move(allowedBundles), hidesCaller != 0);
}

void removeAssertion(void* context, uint64_t assertion) {
  static_cast<SimDesktop*>(context)->removeVisibilityAssertion(assertion);
}

void after(void*, double seconds, void (*work)(void*), void* argument) {
  platform::RunLoop* runLoop;
  {
    std::lock_guard lock(hostMutex);
    runLoop = attachedRunLoop;
  }
  if (runLoop)
    runLoop->asyncAfter(seconds, [work, argument] { work(argument); });
  else
    work(argument);
}

}  // namespace

void attachVisibilityHost(SimDesktop& desktop, platform::RunLoop& runLoop) {
  std::lock_guard lock(hostMutex);
  attached = &desktop;
  attachedRunLoop = &runLoop;
  table = {&desktop, readFaults, addAssertion, removeAssertion, after};
}

void detachVisibilityHost(SimDesktop& desktop) {
  std::lock_guard lock(hostMutex);
  if (attached == &desktop) {
    attached = nullptr;
    attachedRunLoop = nullptr;
  }
}

const char* builtinVisibilityFrameworkPath() { return TUCKLET_BUILTIN_FRAMEWORK_PATH; }

std::string resolveVisibilityFrameworkPath(const std::string& worldPath) {
  return worldPath == "builtin" ? std::string(builtinVisibilityFrameworkPath()) : worldPath;
}

}  // namespace tucklet::sim

extern "C" const TuckletSimVisibilityHost* tucklet_sim_visibility_host(void) {
  std::lock_guard lock(tucklet::sim::hostMutex);
  return tucklet::sim::attached ? &tucklet::sim::table : nullptr;
}
