// The controller's side of onboarding: creating the onboarding controller and asking it for its
// state.
#include "app/bar_controller.h"
#include "ui/onboarding/onboarding_controller.h"

namespace tucklet {

void BarController::ensureOnboarding() {
  if (!onboarding) onboarding = std::make_shared<OnboardingController>(platform_);
}

bool BarController::onboardingWindowVisible() const {
  return onboarding && onboarding->windowVisible();
}

bool BarController::onboardingHandingOff() const { return onboarding && onboarding->handingOff; }

void BarController::showOnboardingWindow() {
  ensureOnboarding();
  onboarding->showWindow();
}

void BarController::endOnboardingHandOff() {
  if (!onboarding) return;
  onboarding->endHandOff();
  onboarding->closeWindow();
}

void BarController::closeOnboarding() { endOnboardingHandOff(); }

}  // namespace tucklet
