// The controller side of native hiding: the allowed lists, the request, and the rule by which a
// result is kept or released.
#include <vector>

#include "inventory/text.h"
#include "menubar/status_item.h"
#include "visibility/native_visibility.h"
#include "visibility/visibility_engine.h"

namespace tucklet {

namespace {

constexpr double safetyCheckDelay = 1.0;

// The result of one activation, handed from the unit's C completion back to the controller.
struct ActivationRequest {
  std::function<void(VisibilityToken, std::optional<std::string>)> deliver;
};

void activationCompleted(void* context, QVToken* token, const char* error) {
  std::unique_ptr<ActivationRequest> request(static_cast<ActivationRequest*>(context));
  VisibilityToken held;
  if (token) held = VisibilityToken(token, [](void* t) { QVTokenFree(static_cast<QVToken*>(t)); });
  request->deliver(std::move(held), error ? std::optional<std::string>(error) : std::nullopt);
}

void releaseToken(const VisibilityToken& token) {
  if (token) QVVisibilityRelease(static_cast<QVToken*>(token.get()));
}

}  // namespace

std::set<int> VisibilityEngine::allowedSystemItems(const std::optional<BarItem>& revealing) const {
  std::set<int> controls;
  for (auto control : preferences_.allowedSystemControls())
    controls.insert(rawValue(control));
  if (revealing) {
    if (auto control = systemControl(*revealing, platform_.workspace))
      controls.insert(rawValue(*control));
  }
  return controls;
}

std::set<std::string> VisibilityEngine::allowedBundleIdentifiers(
    const std::optional<BarItem>& revealing) const {
  std::set<std::string> bundles{bundleIdentifier_, lowercased(bundleIdentifier_)};
  for (const auto& bundle : preferences_.visibleBundles())
    bundles.insert(bundle);
  if (revealing) {
    const auto owner = ownerBundle(*revealing, platform_.workspace);
    if (!isSystemOwnerBundle(owner)) bundles.insert(owner);
  }
  return bundles;
}

void VisibilityEngine::activateNativeVisibility(const std::optional<BarItem>& revealing,
                                                std::function<void(bool)> completion,
                                                std::function<void(bool)> secondCompletion) {
  const auto generation = ++visibilityGeneration_;
  busy_ = true;
  fulfilWaitingCollapse();

  const auto controls = allowedSystemItems(revealing);  // a set: ascending, no repeats
  const std::vector<std::int64_t> systems(controls.begin(), controls.end());
  const auto bundleSet = allowedBundleIdentifiers(revealing);
  std::vector<const char*> bundles;
  for (const auto& bundle : bundleSet)
    bundles.push_back(bundle.c_str());

  auto* request = new ActivationRequest;
  request->deliver = [this, watch = lifetime_.watch(), generation, revealing,
                      completion = std::move(completion),
                      secondCompletion = std::move(secondCompletion)](
                         VisibilityToken token, std::optional<std::string> error) mutable {
    // Tucklet has quit or is quitting: the hide must not outlive it.
    if (watch.ended()) {
      releaseToken(token);
      return;
    }
    nativeVisibilityResult(std::move(token), std::move(error), generation, revealing,
                           std::move(completion), std::move(secondCompletion));
  };
  QVVisibilityActivate(systems.data(), systems.size(), bundles.data(), bundles.size(),
                       activationCompleted, request);
}

void VisibilityEngine::nativeVisibilityResult(VisibilityToken token,
                                              std::optional<std::string> error,
                                              std::int64_t generation,
                                              std::optional<BarItem> revealing,
                                              std::function<void(bool)> completion,
                                              std::function<void(bool)> secondCompletion) {
  auto call = [](const std::function<void(bool)>& f, bool value) {
    if (f) f(value);
  };
  if (visibilityGeneration_ != generation) {
    // A newer request or a reveal came in between: this assertion must not stay.
    releaseToken(token);
    call(completion, false);
    call(secondCompletion, false);
    return;
  }
  busy_ = false;
  if (token) {
    releaseVisibilityToken();  // the old one ends only now, so nothing shows in between
    visibilityToken_ = std::move(token);
    collapsed_ = true;
    notice_.clear();
    statusItem_.refreshStatusItem();
    if (revealing) links_.recordLatency("visibilityReady");
    call(completion, true);
    platform_.runLoop.asyncAfter(
        safetyCheckDelay,
        lifetime_.guard([this, generation, verdict = std::move(secondCompletion)]() mutable {
          postHideSafetyCheck(generation, std::move(verdict));
        }));
    holdReleased();
    return;
  }
  fullReveal();
  // An empty description explains nothing; the user gets our own text instead of a blank notice.
  notice_.show(error && !error->empty() ? *error : "Could not change menu bar visibility.");
  call(completion, false);
  call(secondCompletion, false);
}

void VisibilityEngine::releaseVisibilityToken() {
  if (!visibilityToken_) return;
  releaseToken(visibilityToken_);
  visibilityToken_.reset();
}

}  // namespace tucklet
