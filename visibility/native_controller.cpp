// The controller side of native hiding: the allowed lists, the request, and the rule by which a
// result is kept or released.
#include <vector>

#include "app/bar_controller.h"
#include "inventory/text.h"
#include "visibility/native_visibility.h"

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

std::set<int> BarController::allowedSystemItems(const std::optional<BarItem>& revealing) const {
  std::set<int> controls;
  for (auto control : preferences->allowedSystemControls()) controls.insert(rawValue(control));
  if (revealing) {
    if (auto control = systemControl(*revealing, platform_.workspace))
      controls.insert(rawValue(*control));
  }
  return controls;
}

std::set<std::string> BarController::allowedBundleIdentifiers(
    const std::optional<BarItem>& revealing) const {
  const auto own = bundleIdentifier();
  std::set<std::string> bundles{own, lowercased(own)};
  for (const auto& bundle : preferences->visibleBundles()) bundles.insert(bundle);
  if (revealing) {
    const auto owner = ownerBundle(*revealing, platform_.workspace);
    if (!isSystemOwnerBundle(owner)) bundles.insert(owner);
  }
  return bundles;
}

void BarController::activateNativeVisibility(const std::optional<BarItem>& revealing,
                                             std::function<void(bool)> completion,
                                             std::function<void(bool)> secondCompletion) {
  const auto generation = ++visibilityGeneration;
  busy = true;

  const auto controls = allowedSystemItems(revealing);  // a set: ascending, no repeats
  const std::vector<std::int64_t> systems(controls.begin(), controls.end());
  const auto bundleSet = allowedBundleIdentifiers(revealing);
  std::vector<const char*> bundles;
  for (const auto& bundle : bundleSet) bundles.push_back(bundle.c_str());

  auto* request = new ActivationRequest;
  request->deliver = [weak = weak_from_this(), generation, revealing,
                      completion = std::move(completion),
                      secondCompletion = std::move(secondCompletion)](
                         VisibilityToken token, std::optional<std::string> error) mutable {
    auto self = weak.lock();
    if (!self) {
      releaseToken(token);
      return;
    }
    self->nativeVisibilityResult(std::move(token), std::move(error), generation, revealing,
                                 std::move(completion), std::move(secondCompletion));
  };
  QVVisibilityActivate(systems.data(), systems.size(), bundles.data(), bundles.size(),
                       activationCompleted, request);
}

void BarController::nativeVisibilityResult(VisibilityToken token, std::optional<std::string> error,
                                           std::int64_t generation,
                                           std::optional<BarItem> revealing,
                                           std::function<void(bool)> completion,
                                           std::function<void(bool)> secondCompletion) {
  auto call = [](const std::function<void(bool)>& f, bool value) {
    if (f) f(value);
  };
  if (visibilityGeneration != generation) {
    // A newer request or a reveal came in between: this assertion must not stay.
    releaseToken(token);
    call(completion, false);
    call(secondCompletion, false);
    return;
  }
  busy = false;
  if (token) {
    releaseVisibilityToken();  // the old one ends only now, so nothing shows in between
    visibilityToken = std::move(token);
    collapsed = true;
    message.reset();
    refreshStatusItem();
    if (revealing) recordLatency("visibilityReady");
    call(completion, true);
    platform_.runLoop.asyncAfter(
        safetyCheckDelay, weakly([generation, verdict = std::move(secondCompletion)](
                                     BarController& self) mutable {
          self.postHideSafetyCheck(generation, std::move(verdict));
        }));
    return;
  }
  fullReveal();
  // An empty description explains nothing; the user gets our own text instead of a blank notice.
  message = error && !error->empty() ? *error : "Could not change menu bar visibility.";
  call(completion, false);
  call(secondCompletion, false);
}

void BarController::releaseVisibilityToken() {
  if (!visibilityToken) return;
  releaseToken(visibilityToken);
  visibilityToken.reset();
}

}  // namespace tucklet
