// The controller's side of native hiding: the allowed lists it asks for, which of several answers
// it keeps, and how a failed or late answer leaves the menu bar.
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
using ::testing::HasSubstr;

std::optional<BarItem> itemWithIdentifier(BarController& controller,
                                          const std::string& identifier) {
  for (const auto& item : controller.inventory().items())
    if (item.identifier == identifier) return item;
  return std::nullopt;
}

// Set up and trusted, so the start-up step hides; plus these extra settings.
platform::PlistDict setUpWith(platform::PlistDict settings) {
  auto defaults = setUpDefaults();
  defaults.insert(settings.begin(), settings.end());
  return defaults;
}

sim::World withFaults(sim::VisibilityFrameworkFaults faults) {
  return visibilityWorld()
      .withWorld([&faults](sim::World& w) { w.visibilityFramework.faults = faults; })
      .build();
}

// Invalidation that throws is logged: the log shows every attempt to end an assertion, which
// freeing the object alone would not.
sim::VisibilityFrameworkFaults delayedAndLoggingInvalidation() {
  sim::VisibilityFrameworkFaults faults;
  faults.activationDelay = 0.5;
  faults.throwAt = "invalidation";
  faults.throwReason = "Invalidated.";
  return faults;
}

std::size_t invalidations(const std::string& log) {
  std::size_t count = 0;
  for (auto at = log.find("tucklet: Invalidated.\n"); at != std::string::npos;
       at = log.find("tucklet: Invalidated.\n", at + 1))
    ++count;
  return count;
}

// Records every call of a completion.
struct Calls {
  std::vector<bool> values;
  std::function<void(bool)> callback() {
    return [this](bool value) { values.push_back(value); };
  }
};

TEST(NativeControllerTest, OfTwoQuickActivationsOnlyTheSecondStays) {
  // Not set up: nothing hides by itself, and the onboarding's reveal scans the bar.
  TuckletRig rig(withFaults(delayedAndLoggingInvalidation()));
  auto& controller = rig.launch();
  rig.advance(0.3);
  const auto notes = itemWithIdentifier(controller, notesID);
  ASSERT_TRUE(notes);

  Calls first, firstVerdict, second, secondVerdict;
  const auto generation = controller.engine().visibilityGeneration();
  controller.engine().activateNativeVisibility(notes, first.callback(), firstVerdict.callback());
  controller.engine().activateNativeVisibility(std::nullopt, second.callback(),
                                               secondVerdict.callback());
  EXPECT_EQ(controller.engine().visibilityGeneration(), generation + 2);
  EXPECT_TRUE(controller.engine().busy());
  rig.advance(0.45);
  EXPECT_TRUE(first.values.empty());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);

  ::testing::internal::CaptureStderr();
  rig.advance(0.1);
  EXPECT_EQ(invalidations(::testing::internal::GetCapturedStderr()), 1u);
  EXPECT_THAT(first.values, ElementsAre(false));
  EXPECT_THAT(firstVerdict.values, ElementsAre(false));
  EXPECT_THAT(second.values, ElementsAre(true));
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_FALSE(controller.engine().busy());
  EXPECT_TRUE(controller.engine().holdsVisibilityToken());
  // The first assertion was ended when it arrived; the one in force does not let the notes
  // item through, which the first one did.
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 1u);
  const auto shown = rig.shownExtras();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), notesID), 0);

  rig.advance(1);  // the safety check finds the icon in place
  EXPECT_THAT(secondVerdict.values, ElementsAre(true));
  EXPECT_THAT(firstVerdict.values, ElementsAre(false));
  EXPECT_TRUE(controller.engine().collapsed());
}

TEST(NativeControllerTest, ResultForAControllerThatIsGoneIsReleased) {
  TuckletRig rig(withFaults(delayedAndLoggingInvalidation()));
  rig.launch();
  rig.runLoop.drain();
  Calls completion;
  rig.controller().engine().activateNativeVisibility(std::nullopt, completion.callback(), nullptr);
  rig.delegate->controller.reset();
  ::testing::internal::CaptureStderr();
  rig.advance(1);
  EXPECT_EQ(invalidations(::testing::internal::GetCapturedStderr()), 1u);
  EXPECT_TRUE(completion.values.empty());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

TEST(NativeControllerTest, AllowedControlsFollowTheSettings) {
  TuckletRig rig(visibilityWorld().build(),
                 setUpWith({{"hideBattery", false},
                            {"hideDateTime", true},
                            {"visibleSystemItems", platform::PlistArray{6, 2}}}));
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  // The clock goes by hideDateTime alone, whatever the list says.
  EXPECT_EQ(controller.engine().allowedSystemItems(std::nullopt), (std::set<int>{0, 6}));
  EXPECT_EQ(rig.shownExtras(), (std::vector<std::string>{batteryID, wifiID}));
}

TEST(NativeControllerTest, AllowedBundlesAreTuckletItselfAndTheVisibleBundles) {
  TuckletRig rig(visibilityWorld().build(),
                 setUpWith({{"visibleBundles", platform::PlistArray{"com.example.music"}}}));
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(controller.engine().allowedBundleIdentifiers(std::nullopt),
            (std::set<std::string>{"local.quenby.Quiverly", "local.quenby.quiverly",
                                   "com.example.music"}));
  EXPECT_EQ(rig.shownExtras(), (std::vector<std::string>{clockID, batteryID, musicID}));
  EXPECT_TRUE(rig.ownItemShown("QuiverlyToggle"));

  // Revealing an application's item lets its owner through as well; once the owner has quit,
  // the owner is an empty identifier.
  const auto notes = itemWithIdentifier(controller, notesID);
  ASSERT_TRUE(notes);
  EXPECT_TRUE(controller.engine().allowedBundleIdentifiers(notes).contains("com.example.notes"));
  rig.desktop().quitApplication(101);
  EXPECT_TRUE(controller.engine().allowedBundleIdentifiers(notes).contains(""));
}

TEST(NativeControllerTest, BundleWithoutIdentifierFallsBackToTheBuiltInOne) {
  auto world = visibilityWorld().build();
  world.self.identifier = "Com.Example.Tucklet";
  {
    TuckletRig rig(world);
    EXPECT_EQ(rig.launch().engine().allowedBundleIdentifiers(std::nullopt),
              (std::set<std::string>{"Com.Example.Tucklet", "com.example.tucklet"}));
  }
  world.self.identifier.reset();
  TuckletRig rig(world);
  EXPECT_EQ(rig.launch().engine().allowedBundleIdentifiers(std::nullopt),
            (std::set<std::string>{"local.quenby.Quiverly", "local.quenby.quiverly"}));
}

TEST(NativeControllerTest, RevealingASystemItemAllowsItsControlButNotItsOwner) {
  auto faults = delayedAndLoggingInvalidation();
  faults.activationDelay = 0;
  TuckletRig rig(withFaults(faults), setUpWith({{"hideBattery", true}, {"hideDateTime", true}}));
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  EXPECT_TRUE(rig.shownExtras().empty());
  const auto wifi = itemWithIdentifier(controller, wifiID);
  ASSERT_TRUE(wifi);
  EXPECT_EQ(controller.engine().allowedSystemItems(wifi), (std::set<int>{6}));
  EXPECT_FALSE(
      controller.engine().allowedBundleIdentifiers(wifi).contains("com.apple.controlcenter"));

  Calls completion;
  controller.engine().activateNativeVisibility(wifi, completion.callback(), nullptr);
  ::testing::internal::CaptureStderr();
  rig.runLoop.drain();
  EXPECT_THAT(completion.values, ElementsAre(true));
  // Wi-Fi alone: the control centre's other items stay hidden, and the earlier assertion was
  // ended once the new one held.
  EXPECT_EQ(invalidations(::testing::internal::GetCapturedStderr()), 1u);
  EXPECT_EQ(rig.shownExtras(), std::vector<std::string>{wifiID});
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 1u);
}

TEST(NativeControllerTest, FailedActivationRevealsEverythingAndExplains) {
  struct Case {
    const char* name;
    sim::VisibilityFrameworkFaults faults;
    std::string message;
  };
  std::vector<Case> cases(4);
  cases[0] = {"error text", {}, "Assertion mode is not allowed for this process."};
  cases[0].faults.activationError = cases[0].message;
  cases[1] = {"empty error text", {}, "Could not change menu bar visibility."};
  cases[1].faults.activationError = "";
  cases[2] = {"throw without a reason", {}, "Visibility API exception."};
  cases[2].faults.throwAt = "activation";
  cases[2].faults.throwWithoutReason = true;
  cases[3] = {"no configuration", {}, "Cannot create visibility assertion."};
  cases[3].faults.configurationReturnsNothing = true;

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TuckletRig rig(withFaults(c.faults), setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(1);
    EXPECT_FALSE(controller.engine().collapsed());
    EXPECT_FALSE(controller.engine().busy());
    EXPECT_FALSE(controller.engine().holdsVisibilityToken());
    EXPECT_EQ(controller.message(), c.message);
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
    EXPECT_EQ(rig.shownExtras(), allExtras());

    Calls completion, verdict;
    controller.engine().activateNativeVisibility(std::nullopt, completion.callback(),
                                                 verdict.callback());
    rig.advance(2);
    EXPECT_THAT(completion.values, ElementsAre(false));
    EXPECT_THAT(verdict.values, ElementsAre(false));
  }
}

TEST(NativeControllerTest, TokenThatCannotBeInvalidatedIsLoggedAndForgotten) {
  sim::VisibilityFrameworkFaults faults;
  faults.throwAt = "invalidation";
  faults.throwReason = "Assertion is already invalid.";
  TuckletRig rig(withFaults(faults), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  ::testing::internal::CaptureStderr();
  controller.showAll();
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              HasSubstr("tucklet: Assertion is already invalid.\n"));
  EXPECT_FALSE(controller.engine().holdsVisibilityToken());
  EXPECT_FALSE(controller.engine().collapsed());
  // Dropping the assertion object ends its hide even though invalidating it failed.
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

}  // namespace
}  // namespace tucklet::testing
