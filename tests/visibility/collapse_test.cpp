// Collapsing: what each mechanism needs before it hides, the notice it shows when something is
// missing, and when the items fold away by themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

constexpr const char* moveText =
    "Move tucklet to /Applications before collapsing. macOS 27 can hide tucklet itself when it "
    "runs elsewhere.";
constexpr const char* noAPIText =
    "This macOS version has no compatible visibility API. Icons remain visible.";
constexpr const char* dragText =
    "⌘-drag the │ divider immediately to the LEFT of the tucklet icon.";

platform::PlistDict setUpWith(platform::PlistDict settings) {
  auto defaults = setUpDefaults();
  defaults.insert(settings.begin(), settings.end());
  return defaults;
}

sim::OwnStatusItemInfo divider(TuckletRig& rig) {
  for (const auto& item : rig.desktop().ownStatusItems())
    if (item.autosaveName == "QuiverlyBoundary") return item;
  ADD_FAILURE() << "no divider";
  return {};
}

bool shown(const std::vector<std::string>& extras, const std::string& identifier) {
  return std::find(extras.begin(), extras.end(), identifier) != extras.end();
}

TEST(CollapseTest, AutoCollapseWaitsTheDelayButNeverLessThanTwoSeconds) {
  for (const auto& [delay, waits] : {std::pair{1.0, 2.0}, std::pair{3.5, 3.5}}) {
    SCOPED_TRACE(delay);
    TuckletRig rig(visibilityWorld().build(), setUpWith({{"collapseDelay", delay}}));
    auto& controller = rig.launch();
    rig.advance(1);
    ASSERT_TRUE(controller.engine().collapsed());
    controller.showAll();
    EXPECT_FALSE(controller.engine().collapsed());
    rig.advance(waits - 0.05);
    EXPECT_FALSE(controller.engine().collapsed());
    EXPECT_EQ(rig.shownExtras(), allExtras());
    rig.advance(0.1);
    EXPECT_TRUE(controller.engine().collapsed());
  }
}

TEST(CollapseTest, PointerInTheMenuBarPostponesAFullDelay) {
  TuckletRig rig(visibilityWorld().build(), setUpWith({{"collapseDelay", 2.0}}));
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  // The strip is the top 24 points of the 982-point screen: 958 is its lower edge.
  rig.desktop().setPointer({700, 958});
  controller.showAll();
  rig.advance(2.1);
  EXPECT_FALSE(controller.engine().collapsed());
  rig.desktop().setPointer({700, 957});  // just below the strip
  rig.advance(1.8);
  EXPECT_FALSE(controller.engine().collapsed()) << "the postponed timer waits a whole delay again";
  rig.advance(0.2);
  EXPECT_TRUE(controller.engine().collapsed());
}

TEST(CollapseTest, NativeHidingNeedsTuckletInAnApplicationsFolder) {
  struct Case {
    std::string path;
    bool collapses;
  };
  for (const auto& c :
       {Case{"/Users/x/Downloads/Tucklet.app", false}, Case{"/ApplicationsOld/Tucklet.app", false},
        Case{"/Applications/Tucklet.app", true}, Case{"/System/Applications/Tucklet.app", true}}) {
    SCOPED_TRACE(c.path);
    auto world = visibilityWorld().build();
    world.self.path = c.path;
    TuckletRig rig(world, setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(1);
    EXPECT_EQ(controller.engine().collapsed(), c.collapses);
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), c.collapses ? 1u : 0u);
    if (c.collapses) {
      EXPECT_EQ(controller.message(), std::nullopt);
      EXPECT_TRUE(rig.ownItemShown("QuiverlyToggle"));
    } else {
      EXPECT_EQ(controller.message(), moveText);
      EXPECT_EQ(rig.shownExtras(), allExtras());
      // Asking again by hand gives the same answer and starts nothing.
      controller.notice().clear();
      const auto generation = controller.engine().visibilityGeneration();
      EXPECT_FALSE(controller.engine().collapse());
      EXPECT_EQ(controller.message(), moveText);
      EXPECT_EQ(controller.engine().visibilityGeneration(), generation);
    }
  }
}

TEST(CollapseTest, CollapseNeedsTrustAndFinishedSetup) {
  auto untrusted = visibilityWorld().build();
  untrusted.accessibilityTrusted = false;
  {
    TuckletRig rig(untrusted, setUpDefaults());
    auto& controller = rig.launch();
    rig.runLoop.drain();
    EXPECT_FALSE(controller.engine().collapse());
    EXPECT_EQ(controller.message(), "Allow Accessibility access before hiding menu bar items.");
  }
  TuckletRig rig(visibilityWorld().build());
  auto& controller = rig.launch();
  rig.runLoop.drain();
  EXPECT_FALSE(controller.engine().collapse());
  EXPECT_EQ(controller.message(), "Finish setup before hiding menu bar items.");
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(CollapseTest, DividerPushesTheHiddenSideOffScreenAndShowAllBringsItBack) {
  TuckletRig rig(dividerWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  EXPECT_FALSE(controller.engine().nativeVisibility());
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(divider(rig).length, 10000);
  EXPECT_EQ(divider(rig).title, "");
  EXPECT_EQ(rig.shownExtras(),
            (std::vector<std::string>{clockID, batteryID, wifiID, nowPlayingID}));
  ASSERT_EQ(controller.inventory().items().size(), 2u);  // what lies left of the divider
  EXPECT_EQ(controller.message(), std::nullopt);

  controller.showAll();
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(divider(rig).length, 18);
  EXPECT_EQ(divider(rig).title, "│");
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

TEST(CollapseTest, DividerModeOnMacOS27RefusesToCollapse) {
  auto world = dividerWorld().build();
  world.os = {27, 0, 0};
  TuckletRig rig(world, setUpDefaults());
  auto& controller = rig.launch();
  EXPECT_FALSE(controller.engine().nativeVisibility());
  rig.advance(1);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(), noAPIText);
  EXPECT_EQ(divider(rig).length, 18);
  controller.notice().clear();
  controller.toggleReveal();
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(), noAPIText);
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

TEST(CollapseTest, DividerRightOfTheIconIsExpandedWithTheDragNotice) {
  auto world = dividerWorld().build();
  world.statusItemPlacements["QuiverlyBoundary"] = 90;  // right of the icon at 100
  TuckletRig rig(world, setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(), dragText);
  EXPECT_EQ(rig.shownExtras(), allExtras());

  // Even a divider that is wide at that moment is given back its narrow length.
  controller.divider().collapseDivider();
  controller.notice().clear();
  EXPECT_FALSE(controller.engine().collapse());
  EXPECT_EQ(controller.message(), dragText);
  EXPECT_EQ(divider(rig).length, 18);
  EXPECT_EQ(divider(rig).title, "│");
  EXPECT_FALSE(controller.engine().collapsed());
}

TEST(CollapseTest, DividerRefusesWhileBatteryOrClockIsOnTheHiddenSide) {
  auto world = dividerWorld().build();
  for (auto& app : world.applications)
    for (auto& extra : app.extras)
      if (extra.identifier == batteryID) extra.position = 150;  // between divider and notes
  TuckletRig rig(world, setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(controller.message(),
            "Battery or the clock is in the hidden section. ⌘-drag it to the right of tucklet.");
  EXPECT_EQ(divider(rig).length, 18);
  EXPECT_TRUE(shown(rig.shownExtras(), batteryID));
}

}  // namespace
}  // namespace tucklet::testing

namespace tucklet::testing {
namespace {

TEST(CollapseTest, AFoldDueDuringARescanWaitsInsteadOfGettingLost) {
  TuckletRig rig(dividerWorld().build(), setUpWith({{"collapseDelay", 3.0}}));
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  controller.showAll();
  rig.advance(2.9);
  rig.desktop().simulateWake();  // a rescan holds the bar while the fold comes due
  rig.advance(0.2);
  ASSERT_TRUE(controller.engine().busy());
  EXPECT_FALSE(controller.engine().collapsed());
  rig.advance(3.5);  // one more delay after the rescan
  EXPECT_TRUE(controller.engine().collapsed());
}

TEST(CollapseTest, ARevealDuringADividerRescanIsNotUndoneByIt) {
  TuckletRig rig(dividerWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  rig.desktop().simulateWake();  // expands the divider for a rescan that folds it again
  rig.runLoop.drain();
  ASSERT_TRUE(controller.engine().busy());
  controller.showAll();  // the user reveals before the rescan is taken
  rig.advance(0.5);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_FALSE(controller.engine().busy());
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

TEST(CollapseTest, ARevealClickDuringADividerRescanRevealsAndStaysRevealed) {
  TuckletRig rig(dividerWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());

  rig.clickOwnItem("QuiverlyToggle", platform::ModifierOption);  // collapsed: reveals
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.shownExtras(), allExtras());
  rig.advance(0.5);
  rig.clickOwnItem("QuiverlyBoundary");  // expanded: hides
  EXPECT_TRUE(controller.engine().collapsed());

  // A wake shows the bar for a moment to rescan it; to the user it is still collapsed, so the
  // divider and an Option-click on the icon reveal, and the rescan leaves the bar alone after them.
  for (const bool optionClick : {false, true}) {
    SCOPED_TRACE(optionClick ? "Option-click" : "divider");
    ASSERT_TRUE(controller.engine().collapsed());
    rig.desktop().simulateWake();
    rig.runLoop.drain();
    ASSERT_TRUE(controller.engine().busy());
    if (optionClick)
      rig.clickOwnItem("QuiverlyToggle", platform::ModifierOption);
    else
      rig.clickOwnItem("QuiverlyBoundary");
    rig.advance(1);
    EXPECT_FALSE(controller.engine().collapsed());
    EXPECT_FALSE(controller.engine().busy());
    EXPECT_EQ(rig.shownExtras(), allExtras());
    controller.engine().collapse();
  }
}

// Collapses nobody clicked for - the start-up step's, a changed visibility setting's, the setup
// run's - wait while the bar is held instead of being refused and lost.
TEST(CollapseTest, ACollapseAskedForWhileTheBarIsHeldRunsOnceItIsFree) {
  {
    SCOPED_TRACE("the start-up step during a rescan");
    TuckletRig rig(dividerWorld().build(), setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(0.4);
    rig.desktop().simulateWake();  // holds the bar from 0.4 to 0.7 s
    rig.advance(0.25);
    ASSERT_TRUE(controller.engine().busy());
    EXPECT_FALSE(controller.engine().collapsed());
    rig.advance(0.1);
    EXPECT_TRUE(controller.engine().collapsed());
    EXPECT_EQ(controller.inventory().items().size(), 2u);
  }
  {
    SCOPED_TRACE("a reveal drops the waiting collapse");
    TuckletRig rig(dividerWorld().build(), setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(0.4);
    rig.desktop().simulateWake();
    rig.advance(0.25);
    controller.showAll();
    rig.advance(1);
    rig.desktop().simulateWake();  // nothing waits for this rescan to end any more
    rig.advance(1);
    EXPECT_FALSE(controller.engine().collapsed());
  }
  {
    SCOPED_TRACE("a second visibility change while the first re-hide is in flight");
    sim::VisibilityFrameworkFaults slow;
    slow.activationDelay = 0.5;
    TuckletRig rig(visibilityWorld()
                       .withWorld([&](sim::World& w) { w.visibilityFramework.faults = slow; })
                       .build(),
                   setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(2);
    ASSERT_TRUE(controller.engine().collapsed());
    controller.preferences().setHideBattery(true);
    rig.advance(0.2);  // the re-hide without the battery is in flight
    ASSERT_TRUE(controller.engine().busy());
    controller.preferences().setHideDateTime(true);
    rig.advance(2);
    EXPECT_EQ(rig.shownExtras(), std::vector<std::string>{});
    EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 1u);
  }
  {
    SCOPED_TRACE("a hide that starts meanwhile answers the request");
    TuckletRig rig(visibilityWorld().build(), setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(2);
    rig.runLoop.setBackgroundPolicy(platform::VirtualRunLoop::BackgroundPolicy::Hold);
    ASSERT_TRUE(controller.inventory().requestInventoryRefresh());
    controller.preferences().setHideBattery(true);
    rig.advance(0.2);  // waits for the rescan, whose result a hide now would make stale
    const auto generation = controller.engine().visibilityGeneration();
    EXPECT_TRUE(controller.engine().collapse());
    rig.runLoop.releaseBackground();
    rig.advance(2);
    EXPECT_EQ(controller.engine().visibilityGeneration(), generation + 1);
    EXPECT_FALSE(shown(rig.shownExtras(), batteryID));
  }
  {
    SCOPED_TRACE("the setup run asked for during a rescan");
    TuckletRig rig(dividerWorld().build());
    auto& controller = rig.launch();
    rig.advance(0.5);  // onboarding, and the rescan after its reveal
    rig.desktop().simulateWake();
    rig.runLoop.drain();
    ASSERT_TRUE(controller.engine().busy());
    controller.engine().beginSetup();
    EXPECT_FALSE(controller.preferences().setupComplete());
    rig.advance(0.5);
    EXPECT_TRUE(controller.preferences().setupComplete());
    EXPECT_TRUE(controller.engine().collapsed());
  }
}

TEST(CollapseTest, AutoCollapseWaitsForTheItemsMenuAndAnItemBeingOpened) {
  TuckletRig rig(dividerWorld().build(), setUpWith({{"collapseDelay", 2.0}}));
  auto& controller = rig.launch();
  rig.advance(1);
  controller.showAll();
  controller.itemsMenu().menuWillOpen();
  rig.advance(5);
  EXPECT_FALSE(controller.engine().collapsed());
  controller.itemsMenu().menuDidClose();
  rig.advance(2.1);
  EXPECT_TRUE(controller.engine().collapsed());

  // Opening an item shows everything; its menu stays open.
  const auto& items = controller.inventory().items();
  const auto notes = std::find_if(items.begin(), items.end(),
                                  [](const BarItem& item) { return item.identifier == notesID; });
  ASSERT_NE(notes, items.end());
  controller.opener().openItem(*notes);
  rig.runLoop.drain();
  ASSERT_TRUE(controller.opener().activeItem());
  controller.preferences().setCollapseDelay(3);  // asks for the fold again, while opening
  rig.advance(10);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_EQ(rig.shownExtras(), allExtras());
}

}  // namespace
}  // namespace tucklet::testing
