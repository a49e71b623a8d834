// The state of the first-run onboarding: whether the user has been handed off to System Settings
// to grant Accessibility access, the failure notice to show, and whether the welcome window is on
// screen. The welcome window and the guide panel that present this state are drawn by the
// onboarding views.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace tucklet {

class OnboardingController {
 public:
  explicit OnboardingController(platform::Platform& platform) : platform_(platform) {}

  bool handingOff = false;
  std::optional<std::string> failure;

  bool windowVisible() const { return windowVisible_; }
  void showWindow();
  void closeWindow();
  // Opens the Accessibility page of System Settings and starts the hand-off.
  void openSystemSettingsWithGuide();
  void endHandOff();
  // The controller's trust check saw trust change.
  void trustChanged(bool trusted);

 private:
  platform::Platform& platform_;
  bool windowVisible_ = false;
};

}  // namespace tucklet
