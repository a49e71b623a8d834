#include "ui/onboarding/onboarding_controller.h"

namespace tucklet {

void OnboardingController::showWindow() {
  windowVisible_ = true;
  platform_.application.activate();
}

void OnboardingController::closeWindow() {
  if (!windowVisible_) return;
  windowVisible_ = false;
  // A run that started with a Dock icon for onboarding goes back to living in the menu bar.
  platform_.application.setActivationPolicy(platform::ActivationPolicy::Accessory);
}

void OnboardingController::openSystemSettingsWithGuide() {
  platform_.workspace.openURL(
      "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
  handingOff = true;
}

void OnboardingController::endHandOff() { handingOff = false; }

void OnboardingController::trustChanged(bool trusted) {
  if (trusted) failure.reset();
}

}  // namespace tucklet
