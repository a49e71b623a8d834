// The native visibility unit. The framework is reached the way a closed system framework is:
// loaded by path with the dynamic loader, its classes and methods looked up by name at run time.
// The unit declares no interface of the framework; the function shapes below are how its methods
// are called, as a message send would be cast.
#include "visibility/native_visibility.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/run_loop.h"

namespace {

// What a framework method reports when it throws: whether it did, and the reason when it has one.
struct ExceptionInfo {
  int thrown = 0;
  int hasReason = 0;
  char reason[512] = {};
};

using InitConfiguration = void* (*)(const int64_t*, size_t, const char* const*, size_t,
                                    ExceptionInfo*);
using InitAssertion = void* (*)(ExceptionInfo*);
using Handler = void (*)(void* context, const char* errorDescription);
using Activate = void (*)(void* assertion, void* configuration, Handler, void* context,
                          ExceptionInfo*);
using Invalidate = void (*)(void* assertion, ExceptionInfo*);
using ReleaseObject = void (*)(void*);

constexpr const char* configurationClass = "MBAssessmentModeConfiguration";
constexpr const char* assertionClass = "MBAssessmentModeAssertion";
constexpr const char* initSelector =
    "MBAssessmentModeConfiguration__initWithAllowedSystemItems_allowedBundleIdentifiers_";
constexpr const char* allocInitAssertion = "MBAssessmentModeAssertion__init";
constexpr const char* activateSelector =
    "MBAssessmentModeAssertion__activateWithConfiguration_completionHandler_";
constexpr const char* invalidateSelector = "MBAssessmentModeAssertion__invalidate";
constexpr const char* releaseFunction = "MBObjectRelease";

constexpr const char* unavailableText = "Native menu bar visibility is unavailable.";
constexpr const char* cannotCreateText = "Cannot create visibility assertion.";
constexpr const char* exceptionText = "Visibility API exception.";

struct Framework {
  void* handle = nullptr;
  InitConfiguration initConfiguration = nullptr;
  InitAssertion initAssertion = nullptr;
  Activate activate = nullptr;
  Invalidate invalidate = nullptr;
  ReleaseObject release = nullptr;
};

struct UnitConfiguration {
  std::mutex mutex;
  std::string path;
  tucklet::platform::RunLoop* mainQueue = nullptr;
};

UnitConfiguration& configuration() {
  static UnitConfiguration config;
  return config;
}

// Loads the framework and resolves what the unit calls; nothing when any piece is missing. Each
// path is loaded once and stays loaded for the life of the process, as a system framework does.
const Framework* framework() {
  auto& config = configuration();
  std::lock_guard lock(config.mutex);
  static std::map<std::string, std::unique_ptr<Framework>> loaded;
  if (config.path.empty()) return nullptr;
  if (auto it = loaded.find(config.path); it != loaded.end()) return it->second.get();
  auto& slot = loaded[config.path];
  void* handle = dlopen(config.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  if (!dlsym(handle, configurationClass) || !dlsym(handle, assertionClass)) return nullptr;
  auto f = std::make_unique<Framework>();
  f->handle = handle;
  f->initConfiguration = reinterpret_cast<InitConfiguration>(dlsym(handle, initSelector));
  f->initAssertion = reinterpret_cast<InitAssertion>(dlsym(handle, allocInitAssertion));
  f->activate = reinterpret_cast<Activate>(dlsym(handle, activateSelector));
  f->invalidate = reinterpret_cast<Invalidate>(dlsym(handle, invalidateSelector));
  f->release = reinterpret_cast<ReleaseObject>(dlsym(handle, releaseFunction));
  if (!f->initConfiguration || !f->initAssertion || !f->activate || !f->invalidate || !f->release)
    return nullptr;
  slot = std::move(f);
  return slot.get();
}

std::string reasonOf(const ExceptionInfo& info) {
  if (info.hasReason) return std::string(info.reason, strnlen(info.reason, sizeof info.reason));
  return exceptionText;
}

// Hands the result to the caller's completion asynchronously on the main queue, exactly once.
struct Relay {
  QVCompletion completion = nullptr;
  void* context = nullptr;
  bool used = false;

  void operator()(QVToken* token, std::optional<std::string> error) {
    if (used) {  // a framework that calls its handler twice: keep only the first answer
      QVTokenFree(token);
      return;
    }
    used = true;
    auto* queue = configuration().mainQueue;
    auto deliver = [completion = completion, context = context, token,
                    error = std::move(error)] {
      completion(context, token, error ? error->c_str() : nullptr);
    };
    if (queue)
      queue->async(std::move(deliver));
    else
      deliver();
  }
};

struct PendingActivation {
  std::mutex mutex;
  Relay relay;
  const Framework* framework = nullptr;
  void* assertion = nullptr;
};

void activationHandler(void* context, const char* errorDescription);

}  // namespace

struct QVToken {
  const Framework* framework = nullptr;
  void* assertion = nullptr;
};

extern "C" {

bool QVVisibilityAvailable(void) { return framework() != nullptr; }

void QVVisibilityActivate(const int64_t* systems, size_t systemCount, const char* const* bundles,
                          size_t bundleCount, QVCompletion completion, void* context) {
  auto pending = std::make_shared<PendingActivation>();
  pending->relay = Relay{completion, context, false};
  const Framework* f = framework();
  if (!f) {
    pending->relay(nullptr, unavailableText);
    return;
  }
  ExceptionInfo info;
  void* config = f->initConfiguration(systems, systemCount, bundles, bundleCount, &info);
  if (info.thrown) {
    pending->relay(nullptr, reasonOf(info));
    return;
  }
  info = {};
  void* assertion = f->initAssertion(&info);
  if (info.thrown) {
    if (config) f->release(config);
    pending->relay(nullptr, reasonOf(info));
    return;
  }
  if (!config || !assertion) {
    if (config) f->release(config);
    if (assertion) f->release(assertion);
    pending->relay(nullptr, cannotCreateText);
    return;
  }
  pending->framework = f;
  pending->assertion = assertion;
  info = {};
  // The handler owns one reference; it is given up when the handler runs.
  auto* handlerReference = new std::shared_ptr<PendingActivation>(pending);
  f->activate(assertion, config, activationHandler, handlerReference, &info);
  f->release(config);
  if (info.thrown) {
    // The call itself failed, so the handler will not run; its reference is left to it in case a
    // misbehaving framework calls it anyway.
    std::lock_guard lock(pending->mutex);
    if (!pending->relay.used) {
      pending->assertion = nullptr;
      f->release(assertion);
      pending->relay(nullptr, reasonOf(info));
    }
  }
}

void QVVisibilityRelease(QVToken* token) {
  if (!token || !token->framework || !token->assertion) return;
  ExceptionInfo info;
  token->framework->invalidate(token->assertion, &info);
  if (info.thrown) std::fprintf(stderr, "tucklet: %s\n", reasonOf(info).c_str());
}

void QVTokenFree(QVToken* token) {
  if (!token) return;
  if (token->framework && token->assertion) token->framework->release(token->assertion);
  delete token;
}

}  // extern "C"

namespace {

// The framework calls this once, on any thread, with an error description or none.
void activationHandler(void* context, const char* errorDescription) {
  std::unique_ptr<std::shared_ptr<PendingActivation>> reference(
      static_cast<std::shared_ptr<PendingActivation>*>(context));
  auto pending = *reference;
  std::lock_guard lock(pending->mutex);
  if (pending->relay.used || !pending->assertion) return;
  if (errorDescription) {
    pending->framework->release(pending->assertion);
    pending->relay(nullptr, std::string(errorDescription));
    return;
  }
  auto* token = new (std::nothrow) QVToken{pending->framework, pending->assertion};
  if (!token) {
    pending->framework->release(pending->assertion);
    pending->relay(nullptr, std::string(cannotCreateText));
    return;
  }
  pending->relay(token, std::nullopt);
}

}  // namespace

namespace tucklet {

void configureNativeVisibility(std::string frameworkPath, platform::RunLoop* mainQueue) {
  auto& config = configuration();
  std::lock_guard lock(config.mutex);
  config.path = std::move(frameworkPath);
  config.mainQueue = mainQueue;
}

}  // namespace tucklet
