#include "tests/support/tucklet_rig.h"

#include <gtest/gtest.h>

#include "platform/sim/visibility_host.h"
#include "visibility/native_visibility.h"

namespace tucklet::testing {

TuckletRig::TuckletRig(sim::World world, platform::PlistDict stored) : defaults(std::move(stored)) {
  desktop_ = std::make_unique<sim::SimDesktop>(std::move(world), runLoop);
  desktop_->setLatencyMode(sim::SimDesktop::LatencyMode::Account);
  sim::attachVisibilityHost(*desktop_, runLoop);
  services_.emplace(desktop_->platform(defaults));
  configureNativeVisibility(sim::resolveVisibilityFrameworkPath(services_->visibilityFrameworkPath),
                            &runLoop);
}

TuckletRig::~TuckletRig() {
  if (delegate && delegate->controller && !desktop_->terminationRequested())
    delegate->controller->applicationWillTerminate();
  delegate.reset();
  sim::detachVisibilityHost(*desktop_);
  configureNativeVisibility("", nullptr);
}

BarController& TuckletRig::launch(std::vector<std::string> arguments) {
  services_->application.setActivationPolicy(initialActivationPolicy(*services_));
  delegate =
      std::make_unique<AppDelegate>(*services_, Arguments(std::move(arguments)), false, nullptr);
  services_->application.setTerminationHandler([this] { delegate->applicationWillTerminate(); });
  delegate->applicationWillFinishLaunching();
  delegate->applicationDidFinishLaunching();
  return *delegate->controller;
}

void TuckletRig::quit() {
  services_->application.terminate();
}

std::vector<std::string> TuckletRig::shownExtras() const {
  std::vector<std::string> shown;
  for (const auto& slot : desktop_->menuBarLayout()) {
    if (!slot.shown || slot.kind != sim::BarSlot::Kind::Extra) continue;
    if (auto extra = desktop_->extra(slot.extra))
      shown.push_back(extra->identifier.value_or(extra->title.value_or("")));
  }
  return shown;
}

bool TuckletRig::ownItemShown(const std::string& autosaveName) const {
  for (const auto& slot : desktop_->menuBarLayout())
    if (slot.kind == sim::BarSlot::Kind::OwnStatusItem && slot.autosaveName == autosaveName)
      return slot.shown;
  return false;
}

void TuckletRig::clickOwnItem(const std::string& autosaveName, std::uint32_t modifiers,
                              bool rightButton) {
  for (const auto& slot : desktop_->menuBarLayout()) {
    if (slot.kind == sim::BarSlot::Kind::OwnStatusItem && slot.autosaveName == autosaveName) {
      desktop_->click({slot.frame.maxX() - 4, slot.frame.midY()}, modifiers, rightButton);
      runLoop.drain();
      return;
    }
  }
  ADD_FAILURE() << "no status item " << autosaveName;
}

std::size_t TuckletRig::ownStatusItemCount() const {
  return desktop_->ownStatusItems().size();
}

platform::PlistDict setUpDefaults() {
  return {{"setupComplete", true}};
}

bool onboardingShown(BarController& controller) {
  return controller.onboarding() && controller.onboarding()->windowVisible();
}

bool onboardingHandingOff(BarController& controller) {
  return controller.onboarding() && controller.onboarding()->handingOff;
}

}  // namespace tucklet::testing
