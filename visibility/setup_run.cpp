// The first-time setup run that tidies the menu bar: a fresh scan, then the first hide, and the
// onboarding window's notice when that fails.
#include "ui/onboarding/onboarding_controller.h"
#include "visibility/visibility_engine.h"

namespace tucklet {

namespace {
constexpr const char* setupFailedText = "Couldn't tidy the menu bar. Try again.";
}

bool VisibilityEngine::onboardingHandingOff() const {
  const auto* onboarding = links_.onboarding();
  return onboarding && onboarding->handingOff;
}

bool VisibilityEngine::onboardingWindowVisible() const {
  const auto* onboarding = links_.onboarding();
  return onboarding && onboarding->windowVisible();
}

void VisibilityEngine::endOnboardingHandOff() {
  if (auto* onboarding = links_.onboarding()) {
    onboarding->endHandOff();
    onboarding->closeWindow();
  }
}

void VisibilityEngine::beginSetup() {
  if (setupInProgress_) return;
  // Onboarding's finish step may come while a rescan holds the bar: the run waits for it instead
  // of being lost, since nobody asks again.
  if (held()) {
    whenFree_ = WhenFree::Setup;
    return;
  }
  if (!trusted_) {
    links_.requestAccess();
    return;
  }
  if (!runsFromApplicationsFolder()) {
    links_.startOnboarding();
    return;
  }
  setupInProgress_ = true;
  stopAutoCollapse();
  links_.endOpening();
  const auto generation = visibilityGeneration_;
  if (nativeVisibility_) {
    links_.refreshInventory(lifetime_.guard(
        [this, generation](bool applied) { setupScanOutcome(applied, generation); }));
  } else {
    if (!collapsed_) links_.synchronousInventoryRefresh();
    setupScanOutcome(true, generation);
  }
}

void VisibilityEngine::endSetupRun() {
  setupInProgress_ = false;
  holdReleased();
}

void VisibilityEngine::setupScanOutcome(bool applied, std::int64_t generation) {
  if (!setupInProgress_ || visibilityGeneration_ != generation) return;
  if (applied) {
    finishSetup();
  } else {
    endSetupRun();
    setupFailed();
  }
}

void VisibilityEngine::finishSetup() {
  auto succeeded = [this] {
    endOnboardingHandOff();
    if (links_.closeSettingsWindow) links_.closeSettingsWindow();
  };
  if (nativeVisibility_) {
    auto hidden = lifetime_.guard([this, succeeded](bool inForce) {
      endSetupRun();
      if (inForce) {
        preferences_.setSetupComplete(true);
        succeeded();
      } else {
        setupFailed();
      }
    });
    activateNativeVisibility(std::nullopt, std::move(hidden), nullptr);
    return;
  }
  endSetupRun();
  preferences_.setSetupComplete(true);
  if (collapse()) {
    succeeded();
  } else {
    preferences_.setSetupComplete(false);
    setupFailed();
  }
}

void VisibilityEngine::setupFailed() {
  if (!trusted_) return;
  auto& onboarding = links_.ensureOnboarding();
  onboarding.failure = notice_.message().value_or(setupFailedText);
  onboarding.show();
}

}  // namespace tucklet
