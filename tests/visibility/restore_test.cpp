// Everything that undoes or redoes a hide on its own: losing and regaining Accessibility trust,
// the safety check after a native hide, a settings change while collapsed, a reveal that overtakes
// a hide in flight, and quitting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

using ::testing::ElementsAre;

constexpr const char* trustRemovedText =
    "Accessibility access was removed. Icons have been restored.";
constexpr const char* hiddenUnexpectedlyText =
    "macOS hid tucklet unexpectedly. All icons have been restored for safety.";

bool shown(const std::vector<std::string>& extras, const std::string& identifier) {
  return std::find(extras.begin(), extras.end(), identifier) != extras.end();
}

sim::World worldFor(bool native) {
  return (native ? visibilityWorld() : dividerWorld()).build();
}

sim::World withFaults(sim::VisibilityFrameworkFaults faults) {
  auto world = visibilityWorld().build();
  world.visibilityFramework.faults = faults;
  return world;
}

TEST(RestoreTest, LosingTrustWhileCollapsedRestoresEverything) {
  for (const bool native : {true, false}) {
    SCOPED_TRACE(native ? "native" : "divider");
    TuckletRig rig(worldFor(native), setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(1);
    ASSERT_TRUE(controller.engine().collapsed());
    ASSERT_FALSE(controller.inventory().items().empty());

    rig.desktop().setTrusted(false);
    rig.advance(2);
    EXPECT_FALSE(controller.engine().trusted());
    EXPECT_FALSE(controller.engine().collapsed());
    EXPECT_TRUE(controller.inventory().items().empty());
    EXPECT_EQ(controller.message(), trustRemovedText);
    EXPECT_EQ(rig.shownExtras(), allExtras());
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);

    rig.advance(10);  // no automatic fold without trust, and no rescan without it either
    EXPECT_FALSE(controller.engine().collapsed());
    EXPECT_TRUE(controller.inventory().items().empty());
    EXPECT_EQ(controller.message(), trustRemovedText);
    EXPECT_EQ(rig.shownExtras(), allExtras());
  }
}

TEST(RestoreTest, RegainingTrustWithSetupCompleteCollapsesWithAFreshInventory) {
  for (const bool native : {true, false}) {
    SCOPED_TRACE(native ? "native" : "divider");
    TuckletRig rig(worldFor(native), setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(1);
    const auto inventory = controller.inventory().items().size();
    ASSERT_GT(inventory, 0u);
    rig.desktop().setTrusted(false);
    rig.advance(2);
    ASSERT_FALSE(controller.engine().collapsed());
    ASSERT_EQ(controller.message(), trustRemovedText);

    rig.desktop().setTrusted(true);
    rig.advance(2);
    EXPECT_TRUE(controller.engine().trusted());
    EXPECT_TRUE(controller.engine().collapsed());
    EXPECT_EQ(controller.message(), std::nullopt);
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), native ? 1u : 0u);
    // The hide waited for the rescan, so the menu knows the hidden items again.
    EXPECT_EQ(controller.inventory().items().size(), inventory);
  }
}

// Regained trust belongs to onboarding while it has sent the user to System Settings (it finishes
// with the setup run, which folds the bar), and while its window is up the user is still reading
// it: nothing hides.
TEST(RestoreTest, RegainingTrustDuringOnboardingLeavesTheBarToIt) {
  for (const bool handOff : {true, false}) {
    SCOPED_TRACE(handOff ? "handing off" : "window shown");
    auto world = visibilityWorld().build();
    world.accessibilityTrusted = false;
    TuckletRig rig(world, setUpDefaults());
    auto& controller = rig.launch();
    rig.runLoop.drain();
    ASSERT_TRUE(onboardingShown(controller));
    if (handOff) controller.requestAccess();
    ASSERT_EQ(onboardingHandingOff(controller), handOff);
    const auto scans = rig.runLoop.backgroundSubmissions(platform::QualityOfService::Utility);

    rig.desktop().setTrusted(true);
    rig.advance(3);
    EXPECT_TRUE(controller.engine().trusted());
    EXPECT_EQ(rig.runLoop.backgroundSubmissions(platform::QualityOfService::Utility), scans + 1);
    EXPECT_EQ(controller.engine().collapsed(), handOff);
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), handOff ? 1u : 0u);
    EXPECT_FALSE(onboardingHandingOff(controller));
  }
}

TEST(RestoreTest, SafetyCheckRestoresWhenTheSystemHidTucklet) {
  sim::VisibilityFrameworkFaults faults;
  faults.hidesCaller = true;
  TuckletRig rig(withFaults(faults), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  EXPECT_FALSE(rig.ownItemShown("QuiverlyToggle"));

  rig.advance(1);  // one second after the hide
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(), hiddenUnexpectedlyText);
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
  EXPECT_TRUE(rig.ownItemShown("QuiverlyToggle"));
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

TEST(RestoreTest, SafetyCheckGivesItsVerdictToTheCaller) {
  // Outside /Applications the system hides Tucklet's own items with everything else.
  auto world = visibilityWorld().build();
  world.self.path = "/Users/x/Downloads/Tucklet.app";
  TuckletRig rig(world, setUpDefaults());
  auto& controller = rig.launch();
  rig.runLoop.drain();
  std::vector<bool> hidden, verdict;
  controller.engine().activateNativeVisibility(
      std::nullopt, [&](bool value) { hidden.push_back(value); },
      [&](bool value) { verdict.push_back(value); });
  rig.advance(0.9);
  EXPECT_THAT(hidden, ElementsAre(true));
  EXPECT_TRUE(verdict.empty());
  EXPECT_TRUE(controller.engine().collapsed());
  rig.advance(0.2);
  EXPECT_THAT(verdict, ElementsAre(false));
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(), hiddenUnexpectedlyText);
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(RestoreTest, SafetyCheckTrustsAnOpenItemsMenu) {
  sim::VisibilityFrameworkFaults faults;
  faults.hidesCaller = true;
  TuckletRig rig(withFaults(faults), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  controller.itemsMenu().menuWillOpen();
  rig.advance(1);
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(), std::nullopt);
}

TEST(RestoreTest, VisibilitySettingChangedWhileCollapsedHidesAgainOnceSettled) {
  TuckletRig rig(visibilityWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  ASSERT_TRUE(shown(rig.shownExtras(), batteryID));
  const auto generation = controller.engine().visibilityGeneration();

  controller.preferences().setHideBattery(true);
  rig.advance(0.1);
  controller.preferences().setHideBattery(false);
  rig.advance(0.1);
  controller.preferences().setHideBattery(true);
  rig.advance(0.149);
  EXPECT_EQ(controller.engine().visibilityGeneration(), generation);
  EXPECT_TRUE(shown(rig.shownExtras(), batteryID));
  rig.advance(0.002);
  EXPECT_EQ(controller.engine().visibilityGeneration(), generation + 1);
  EXPECT_FALSE(shown(rig.shownExtras(), batteryID));
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 1u);
  rig.advance(1.5);  // no second activation, and the safety check is content
  EXPECT_EQ(controller.engine().visibilityGeneration(), generation + 1);
  EXPECT_TRUE(controller.engine().collapsed());
}

TEST(RestoreTest, RevealWhileAHideIsInFlightReleasesTheLateAssertion) {
  sim::VisibilityFrameworkFaults faults;
  faults.activationDelay = 0.5;
  TuckletRig rig(withFaults(faults), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(0.7);  // the start-up hide went out at 0.6
  ASSERT_TRUE(controller.engine().busy());
  ASSERT_FALSE(controller.engine().collapsed());

  controller.showAll();
  EXPECT_FALSE(controller.engine().busy());
  rig.advance(1);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_FALSE(controller.engine().holdsVisibilityToken());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

TEST(RestoreTest, QuittingWhileCollapsedLeavesEveryItemVisible) {
  for (const bool native : {true, false}) {
    SCOPED_TRACE(native ? "native" : "divider");
    TuckletRig rig(worldFor(native), setUpDefaults());
    ASSERT_EQ(rig.shownExtras(), allExtras());
    rig.launch();
    rig.advance(1);
    ASSERT_TRUE(rig.controller().engine().collapsed());
    ASSERT_NE(rig.shownExtras(), allExtras());

    rig.quit();
    EXPECT_EQ(rig.ownStatusItemCount(), 0u);
    EXPECT_EQ(rig.shownExtras(), allExtras());
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
    EXPECT_EQ(rig.runLoop.liveTimerCount(), 0u);
    rig.advance(30);  // nothing left behind hides anything again
    EXPECT_EQ(rig.shownExtras(), allExtras());
  }
}

}  // namespace
}  // namespace tucklet::testing
