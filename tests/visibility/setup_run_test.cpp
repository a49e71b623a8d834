// The first-time setup run that tidies the menu bar: what stops it before it starts, what it
// leaves behind when it succeeds, and the notice the onboarding window shows when it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"
#include "ui/onboarding/onboarding_controller.h"

namespace tucklet::testing {
namespace {

constexpr const char* accessibilityURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

// Tucklet launched before setup, with its onboarding window put away so that the run's own
// effect on it shows.
BarController& launchForSetup(TuckletRig& rig) {
  auto& controller = rig.launch();
  rig.advance(0.5);
  if (controller.onboarding()) controller.onboarding()->closeWindow();
  return controller;
}

double dividerLength(TuckletRig& rig) {
  for (const auto& item : rig.desktop().ownStatusItems())
    if (item.autosaveName == "QuiverlyBoundary") return item.length;
  return -1;
}

TEST(SetupRunTest, WithoutTrustItAsksForAccessAndStops) {
  auto world = visibilityWorld().build();
  world.accessibilityTrusted = false;
  TuckletRig rig(world);
  auto& controller = launchForSetup(rig);
  const auto scans = rig.runLoop.backgroundSubmissions(platform::QualityOfService::Utility);

  controller.engine().beginSetup();
  EXPECT_FALSE(controller.engine().setupInProgress());
  ASSERT_TRUE(controller.onboarding());
  EXPECT_TRUE(controller.onboarding()->handingOff);
  ASSERT_FALSE(rig.desktop().openedURLs().empty());
  EXPECT_EQ(rig.desktop().openedURLs().back(), accessibilityURL);
  rig.advance(3);
  EXPECT_EQ(rig.runLoop.backgroundSubmissions(platform::QualityOfService::Utility), scans);
  EXPECT_FALSE(controller.preferences().setupComplete());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(SetupRunTest, NativeSetupScansThenHidesAndRemembersIt) {
  TuckletRig rig(visibilityWorld().build());
  auto& controller = launchForSetup(rig);
  controller.startOnboarding();
  rig.runLoop.setBackgroundPolicy(platform::VirtualRunLoop::BackgroundPolicy::Hold);
  controller.inventory().clear();

  controller.engine().beginSetup();
  ASSERT_TRUE(controller.engine().setupInProgress());
  ASSERT_EQ(rig.runLoop.heldBackgroundCount(), 1u);
  // While it runs, the reveal action and a second run are refused without a notice.
  controller.toggleReveal();
  controller.engine().beginSetup();
  EXPECT_EQ(rig.runLoop.heldBackgroundCount(), 1u);
  EXPECT_EQ(controller.message(), std::nullopt);
  EXPECT_FALSE(controller.engine().collapsed());

  rig.runLoop.releaseBackground();
  rig.runLoop.drain();
  EXPECT_FALSE(controller.inventory().items().empty());
  EXPECT_FALSE(controller.engine().setupInProgress());
  EXPECT_TRUE(controller.preferences().setupComplete());
  EXPECT_EQ(rig.defaults.objectForKey("setupComplete"), platform::PlistValue(true));
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_FALSE(testing::onboardingShown(controller));
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 1u);
}

TEST(SetupRunTest, RevealDuringTheSetupScanEndsTheRun) {
  TuckletRig rig(visibilityWorld().build());
  auto& controller = launchForSetup(rig);
  rig.runLoop.setBackgroundPolicy(platform::VirtualRunLoop::BackgroundPolicy::Hold);
  controller.engine().beginSetup();
  ASSERT_TRUE(controller.engine().setupInProgress());
  controller.engine().fullReveal();
  EXPECT_FALSE(controller.engine().setupInProgress());
  rig.runLoop.releaseBackground();
  rig.advance(2);
  EXPECT_FALSE(controller.preferences().setupComplete());
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(SetupRunTest, DividerSetupCollapsesAndRemembersIt) {
  TuckletRig rig(dividerWorld().build());
  auto& controller = launchForSetup(rig);
  controller.engine().beginSetup();
  EXPECT_FALSE(controller.engine().setupInProgress());
  EXPECT_TRUE(controller.preferences().setupComplete());
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(dividerLength(rig), 10000);
  EXPECT_EQ(controller.inventory().items().size(), 2u);
}

TEST(SetupRunTest, FailedSetupShowsWhyInTheOnboardingWindow) {
  struct Case {
    const char* name;
    sim::World world;
    std::string failure;
  };
  auto denied = visibilityWorld().build();
  denied.visibilityFramework.faults.activationError = "Assessment mode is not available.";
  auto misplaced = dividerWorld().build();
  misplaced.statusItemPlacements["QuiverlyBoundary"] = 90;
  for (const auto& c :
       {Case{"native activation fails", denied, "Assessment mode is not available."},
        Case{"divider right of the icon", misplaced,
             "⌘-drag the │ divider immediately to the LEFT of the tucklet icon."}}) {
    SCOPED_TRACE(c.name);
    TuckletRig rig(c.world);
    auto& controller = launchForSetup(rig);
    controller.engine().beginSetup();
    rig.runLoop.drain();
    EXPECT_FALSE(controller.engine().setupInProgress());
    EXPECT_FALSE(controller.preferences().setupComplete());
    EXPECT_FALSE(controller.engine().collapsed());
    ASSERT_TRUE(controller.onboarding());
    EXPECT_EQ(controller.onboarding()->failure, c.failure);
    EXPECT_TRUE(testing::onboardingShown(controller));
    EXPECT_EQ(rig.shownExtras(), allExtras());
  }
}

}  // namespace
}  // namespace tucklet::testing
