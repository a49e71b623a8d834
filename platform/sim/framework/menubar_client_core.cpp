// A stand-in for the system's private menu bar visibility framework, built as a shared library and
// loaded by path at run time. It offers two "classes" and their methods under the names a runtime
// look-up would use (class symbols, and "<Class>__<selector with ':' as '_'>" functions), and it
// hides menu bar items by asking the simulated desktop for a visibility assertion.
//
// The faults a world file injects (an initialiser that returns nothing, throws with or without a
// reason, an activation error or delay, a handler called on another thread) are read from the
// desktop at each call. A "throw" is reported through the ExceptionInfo out-parameter, the way a
// platform exception reaches a caller that catches it.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>

#include "platform/sim/visibility_host.h"

// What a class symbol points at.
struct ClassDescriptor {
  const char* name;
};

namespace {

struct ExceptionInfo {
  int thrown;
  int hasReason;
  char reason[512];
};

// Objects are reference counted; the last release frees them.
struct Object {
  std::atomic<int> references{1};
  virtual ~Object() = default;
  void retain() { references.fetch_add(1); }
  void release() {
    if (references.fetch_sub(1) == 1) delete this;
  }
};

struct Configuration final : Object {
  std::vector<int64_t> systems;
  std::vector<std::string> bundles;
};

struct Assertion final : Object {
  std::mutex mutex;
  uint64_t systemAssertion = 0;  // 0 while not in force
  bool invalidated = false;
  // An assertion that is freed ends its hide: the system drops what a gone object held.
  ~Assertion() override;
};

using Handler = void (*)(void* context, const char* errorDescription);

const TuckletSimVisibilityHost* host() {
  using HostFunction = const TuckletSimVisibilityHost* (*)();
  static auto lookup =
      reinterpret_cast<HostFunction>(dlsym(RTLD_DEFAULT, "tucklet_sim_visibility_host"));
  return lookup ? lookup() : nullptr;
}

TuckletSimFrameworkFaults currentFaults() {
  TuckletSimFrameworkFaults faults{};
  if (auto* h = host()) h->faults(h->context, &faults);
  return faults;
}

// Reports a throw at `step` when the world asks for one.
bool throwsAt(const TuckletSimFrameworkFaults& faults, int step, ExceptionInfo* info) {
  if (faults.throwAt != step) return false;
  if (info) {
    info->thrown = 1;
    info->hasReason = faults.throwWithReason;
    if (faults.throwWithReason) {
      std::strncpy(info->reason, faults.throwReason, sizeof info->reason - 1);
      info->reason[sizeof info->reason - 1] = '\0';
    }
  }
  return true;
}

void endAssertion(Assertion* assertion) {
  std::lock_guard lock(assertion->mutex);
  if (assertion->systemAssertion == 0) return;
  if (auto* h = host()) h->removeAssertion(h->context, assertion->systemAssertion);
  assertion->systemAssertion = 0;
}

Assertion::~Assertion() {
  if (systemAssertion != 0)
    if (auto* h = host()) h->removeAssertion(h->context, systemAssertion);
}

struct PendingActivation {
  Assertion* assertion;
  std::vector<int64_t> systems;
  std::vector<std::string> bundles;
  Handler handler;
  void* context;
  TuckletSimFrameworkFaults faults;
};

void completeActivation(void* argument) {
  std::unique_ptr<PendingActivation> pending(static_cast<PendingActivation*>(argument));
  // The pending activation held the assertion alive until now.
  struct Releaser {
    Assertion* a;
    ~Releaser() { a->release(); }
  } releaser{pending->assertion};
  const auto& faults = pending->faults;
  auto callHandler = [&](const char* error) {
    if (faults.handlerOnOtherThread) {
      std::string copy = error ? error : "";
      const bool hasError = error != nullptr;
      std::thread([handler = pending->handler, context = pending->context, copy, hasError] {
        handler(context, hasError ? copy.c_str() : nullptr);
      }).join();
    } else {
      pending->handler(pending->context, error);
    }
  };
  if (faults.hasActivationError) {
    callHandler(faults.activationError);
    return;
  }
  {
    auto* assertion = pending->assertion;
    std::lock_guard lock(assertion->mutex);
    auto* h = host();
    if (!assertion->invalidated && h) {
      std::vector<const char*> bundles;
      for (const auto& b : pending->bundles)
        bundles.push_back(b.c_str());
      assertion->systemAssertion =
          h->addAssertion(h->context, pending->systems.data(), pending->systems.size(),
                          bundles.data(), bundles.size(), faults.hidesCaller);
    }
  }
  callHandler(nullptr);
}

}  // namespace

extern "C" {

extern __attribute__((visibility("default")))
const ClassDescriptor MBAssessmentModeConfiguration = {"MBAssessmentModeConfiguration"};
extern __attribute__((visibility("default")))
const ClassDescriptor MBAssessmentModeAssertion = {"MBAssessmentModeAssertion"};

__attribute__((visibility("default"))) void*
MBAssessmentModeConfiguration__initWithAllowedSystemItems_allowedBundleIdentifiers_(
    const int64_t* systems, size_t systemCount, const char* const* bundles, size_t bundleCount,
    ExceptionInfo* info) {
  const auto faults = currentFaults();
  if (throwsAt(faults, TuckletSimThrowAtConfiguration, info)) return nullptr;
  if (faults.configurationReturnsNothing) return nullptr;
  auto* configuration = new Configuration;
  configuration->systems.assign(systems, systems + systemCount);
  for (size_t i = 0; i < bundleCount; ++i)
    if (bundles[i]) configuration->bundles.emplace_back(bundles[i]);
  return static_cast<Object*>(configuration);
}

__attribute__((visibility("default"))) void* MBAssessmentModeAssertion__init(ExceptionInfo* info) {
  if (throwsAt(currentFaults(), TuckletSimThrowAtCreation, info)) return nullptr;
  return static_cast<Object*>(new Assertion);
}

__attribute__((visibility("default"))) void
MBAssessmentModeAssertion__activateWithConfiguration_completionHandler_(
    void* self, void* configuration, Handler handler, void* context, ExceptionInfo* info) {
  const auto faults = currentFaults();
  if (throwsAt(faults, TuckletSimThrowAtActivation, info)) return;
  auto* assertion = static_cast<Assertion*>(static_cast<Object*>(self));
  assertion->retain();
  const auto* config = static_cast<Configuration*>(static_cast<Object*>(configuration));
  auto* pending =
      new PendingActivation{assertion, config->systems, config->bundles, handler, context, faults};
  auto* h = host();
  if (h && faults.activationDelay > 0)
    h->after(h->context, faults.activationDelay, completeActivation, pending);
  else
    completeActivation(pending);
}

__attribute__((visibility("default"))) void MBAssessmentModeAssertion__invalidate(
    void* self, ExceptionInfo* info) {
  if (throwsAt(currentFaults(), TuckletSimThrowAtInvalidation, info)) return;
  auto* assertion = static_cast<Assertion*>(static_cast<Object*>(self));
  {
    std::lock_guard lock(assertion->mutex);
    assertion->invalidated = true;
  }
  endAssertion(assertion);
}

__attribute__((visibility("default"))) void MBObjectRelease(void* object) {
  if (object) static_cast<Object*>(object)->release();
}

}  // extern "C"
