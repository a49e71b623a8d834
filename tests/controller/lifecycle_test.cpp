// When the start-up step runs and what it serves, and what the termination path leaves behind in
// either hiding mode and at any moment of the run.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"

namespace tucklet {
namespace {

using testing::TuckletRig;

constexpr const char* accessibilitySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

// What the bar shows of other applications when Tucklet is not running at all.
std::vector<std::string> extrasWithoutTucklet(const sim::World& world) {
  TuckletRig idle(world);
  return idle.shownExtras();
}

sim::World exampleWorld(const std::string& name) {
  auto loaded = sim::loadWorldFile(std::string(TUCKLET_SOURCE_DIR) + "/examples/" + name);
  if (auto* error = std::get_if<sim::WorldError>(&loaded)) {
    ADD_FAILURE() << error->describe();
    return sim::defaultWorld();
  }
  return std::get<sim::World>(std::move(loaded));
}

TEST(StartupStep, RequestAccessIsServedAfterTheInitialCollapse) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch({"--request-access"});
  rig.advance(0.59);
  EXPECT_TRUE(rig.desktop().openedURLs().empty());
  EXPECT_TRUE(controller.inventory().items().empty());

  rig.advance(0.02);
  EXPECT_EQ(rig.desktop().openedURLs(), std::vector<std::string>{accessibilitySettingsURL});
  EXPECT_FALSE(controller.inventory().items().empty());
  rig.advance(1);
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(controller.onboarding(), nullptr);
}

struct MissingSetUp {
  bool trusted;
  bool setupComplete;
};

class OnboardingAtOnce : public ::testing::TestWithParam<MissingSetUp> {};

TEST_P(OnboardingAtOnce, StartupStepRunsWithoutDelay) {
  auto world = sim::defaultWorld();
  world.accessibilityTrusted = GetParam().trusted;
  platform::PlistDict stored;
  if (GetParam().setupComplete) stored = testing::setUpDefaults();
  TuckletRig rig(world, stored);
  auto& controller = rig.launch({"--request-access"});
  EXPECT_EQ(rig.desktop().activationPolicy(), platform::ActivationPolicy::Regular);
  EXPECT_FALSE(testing::onboardingShown(controller));

  rig.runLoop.drain();
  // "--request-access" follows onboarding in the same step: untrusted, it hands off to System
  // Settings in place of the welcome window.
  EXPECT_EQ(testing::onboardingShown(controller), GetParam().trusted);
  EXPECT_EQ(rig.desktop().openedURLs(), std::vector<std::string>{accessibilitySettingsURL});
  EXPECT_EQ(testing::onboardingHandingOff(controller), !GetParam().trusted);

  rig.advance(3);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(MissingTrustOrSetup, OnboardingAtOnce,
                         ::testing::Values(MissingSetUp{false, false}, MissingSetUp{true, false},
                                           MissingSetUp{false, true}));

TEST(StartupStep, ProfileOnboardingForcesOnboardingOnASetUpSystem) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  rig.delegate = std::make_unique<AppDelegate>(rig.services(), Arguments{}, true, nullptr);
  rig.delegate->applicationWillFinishLaunching();
  rig.delegate->applicationDidFinishLaunching();
  auto& controller = rig.controller();
  EXPECT_TRUE(controller.showOnboarding());
  rig.runLoop.drain();
  EXPECT_TRUE(testing::onboardingShown(controller));
  rig.advance(3);
  EXPECT_FALSE(controller.engine().collapsed());
}

TEST(StartupStep, NothingRunsOnceTheControllerIsGone) {
  const auto world = sim::defaultWorld();
  TuckletRig rig(world, testing::setUpDefaults());
  rig.launch({"--request-access"});
  rig.delegate->controller.reset();
  rig.advance(5);
  EXPECT_TRUE(rig.desktop().openedURLs().empty());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(StartupStep, AStaleScanOfTheInitialCollapseHidesNothing) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  rig.runLoop.setBackgroundPolicy(platform::VirtualRunLoop::BackgroundPolicy::Hold);
  rig.advance(0.61);
  ASSERT_EQ(rig.runLoop.heldBackgroundCount(), 1u);
  controller.showAll();  // overtakes the scan
  rig.runLoop.releaseBackground();
  rig.runLoop.drain();
  EXPECT_TRUE(controller.inventory().items().empty());
  rig.advance(1);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(ShowAll, RescansOnTheMainThreadAQuarterSecondLater) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(2);
  ASSERT_TRUE(controller.engine().collapsed());
  const auto scans = rig.runLoop.backgroundSubmissions(platform::QualityOfService::Utility);
  rig.desktop().resetAccessibilityCounters();
  controller.showAll();
  rig.advance(0.24);
  EXPECT_EQ(rig.desktop().accessibilityMessageCount(), 0u);
  rig.advance(0.02);
  EXPECT_GT(rig.desktop().accessibilityMessageCount(), 0u);
  EXPECT_EQ(rig.runLoop.backgroundSubmissions(platform::QualityOfService::Utility), scans);
}

TEST(Termination, DividerModeQuitWhileCollapsedShowsEveryItemAgain) {
  const auto world = exampleWorld("divider-os26.json");
  const auto everything = extrasWithoutTucklet(world);
  TuckletRig rig(world, testing::setUpDefaults());
  auto& controller = rig.launch();
  ASSERT_FALSE(controller.engine().nativeVisibility());
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  ASSERT_LT(rig.shownExtras().size(), everything.size());

  rig.quit();
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), everything);
  EXPECT_EQ(rig.runLoop.liveTimerCount(), 0u);
}

TEST(Termination, QuitWithTheAutomaticFoldArmedStaysRevealed) {
  const auto world = sim::defaultWorld();
  const auto everything = extrasWithoutTucklet(world);
  TuckletRig rig(world, testing::setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  controller.showAll();
  ASSERT_NE(controller.engine().collapseTimer(), nullptr);

  rig.quit();
  EXPECT_EQ(rig.runLoop.liveTimerCount(), 0u);
  // Later settings changes and the passing of time reach nothing.
  controller.preferences().setCollapseDelay(3);
  controller.preferences().setVisibleBundles({"com.raycast.macos"});
  rig.advance(20);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), everything);
  EXPECT_EQ(rig.runLoop.liveTimerCount(), 0u);
}

TEST(Termination, QuitBeforeTheStartupStepNeverHides) {
  const auto world = sim::defaultWorld();
  const auto everything = extrasWithoutTucklet(world);
  TuckletRig rig(world, testing::setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(0.3);
  rig.quit();
  // The step comes due after the quit; not even for a moment may anything be hidden.
  for (int step = 1; step <= 50; ++step) {
    rig.advance(0.1);
    ASSERT_EQ(rig.desktop().visibilityAssertionCount(), 0u) << "at " << 0.3 + step * 0.1 << " s";
    ASSERT_FALSE(controller.engine().collapsed()) << "at " << 0.3 + step * 0.1 << " s";
  }
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), everything);
}

TEST(Termination, QuitDuringOnboardingClosesItsWindow) {
  auto world = sim::defaultWorld();
  world.accessibilityTrusted = false;
  TuckletRig rig(world);
  auto& controller = rig.launch();
  rig.runLoop.drain();
  ASSERT_TRUE(testing::onboardingShown(controller));
  rig.quit();
  EXPECT_FALSE(testing::onboardingShown(controller));
  EXPECT_FALSE(testing::onboardingHandingOff(controller));
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_EQ(rig.runLoop.liveTimerCount(), 0u);
}

}  // namespace
}  // namespace tucklet
