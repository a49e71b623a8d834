// The controller right after creation in both hiding modes, the main menu, and the launches that
// must not create a controller at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"
#include "tests/support/world_builder.h"

namespace tucklet {
namespace {

using testing::TuckletRig;

constexpr const char* accessibilityRemovedText =
    "Accessibility access was removed. Icons have been restored.";

// The default desktop without the visibility framework, on a system that still allows the divider.
sim::World dividerWorld() {
  auto world = sim::defaultWorld();
  world.os = {26, 0, 0};
  world.visibilityFramework.path.reset();
  return world;
}

TEST(ControllerCreation, NativeModeKeepsTheDividerOutOfTheBar) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  ASSERT_TRUE(controller.engine().nativeVisibility());

  const auto own = rig.desktop().ownStatusItems();
  ASSERT_EQ(own.size(), 2u);
  const auto& toggle = own[0];
  EXPECT_EQ(toggle.autosaveName, "QuiverlyToggle");
  EXPECT_EQ(toggle.length, platform::StatusItem::VariableLength);
  EXPECT_TRUE(toggle.visible);
  EXPECT_EQ(toggle.accessibilityLabel, "tucklet");
  EXPECT_EQ(toggle.toolTip, "tucklet — menu bar items. Option-click to reveal.");
  // The status item was refreshed during creation: it already wears the fold.
  ASSERT_NE(toggle.image, nullptr);
  EXPECT_EQ(toggle.image->accessibilityDescription, "tucklet");
  EXPECT_EQ(controller.statusItem().displayedSymbol(), "tucklet.fold");

  const auto& boundary = own[1];
  EXPECT_EQ(boundary.autosaveName, "QuiverlyBoundary");
  EXPECT_EQ(boundary.length, 18);
  EXPECT_FALSE(boundary.visible);
  EXPECT_TRUE(rig.ownItemShown("QuiverlyToggle"));
  EXPECT_FALSE(rig.ownItemShown("QuiverlyBoundary"));
}

TEST(ControllerCreation, DividerModeShowsTheDividerExpanded) {
  TuckletRig rig(dividerWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  ASSERT_FALSE(controller.engine().nativeVisibility());

  const auto own = rig.desktop().ownStatusItems();
  ASSERT_EQ(own.size(), 2u);
  EXPECT_EQ(own[0].length, platform::StatusItem::VariableLength);
  EXPECT_EQ(own[1].autosaveName, "QuiverlyBoundary");
  EXPECT_EQ(own[1].length, 18);
  EXPECT_TRUE(own[1].visible);
  EXPECT_EQ(own[1].title, "│");
  EXPECT_TRUE(rig.ownItemShown("QuiverlyToggle"));
  EXPECT_TRUE(rig.ownItemShown("QuiverlyBoundary"));
}

TEST(ControllerCreation, LiveStateStartsEmptyWithTheItemsMenuConfigured) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();

  EXPECT_TRUE(controller.inventory().items().empty());
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_FALSE(controller.engine().busy());
  EXPECT_FALSE(controller.engine().setupInProgress());
  EXPECT_FALSE(controller.message().has_value());
  EXPECT_FALSE(controller.itemsMenu().pickerIsShown());
  EXPECT_EQ(controller.engine().visibilityGeneration(), 0);
  EXPECT_FALSE(controller.engine().holdsVisibilityToken());
  EXPECT_FALSE(controller.opener().activeItem().has_value());
  EXPECT_EQ(controller.engine().collapseTimer(), nullptr);
  EXPECT_TRUE(controller.opener().latency().empty());
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);

  EXPECT_EQ(controller.itemsMenu().pickerMenu().title, "tucklet");
  EXPECT_FALSE(controller.itemsMenu().pickerMenu().autoenablesItems);
  EXPECT_EQ(controller.itemsMenu().pickerMenu().minimumWidth, 270);
}

TEST(ControllerCreation, TrustAndLoginStatusAreReadFromTheSystem) {
  auto world = sim::defaultWorld();
  world.accessibilityTrusted = false;
  world.loginItemStatus = platform::LoginItemStatus::Enabled;
  TuckletRig enabled(world);
  EXPECT_FALSE(enabled.launch().engine().trusted());
  EXPECT_TRUE(enabled.controller().loginEnabled());

  world.accessibilityTrusted = true;
  world.loginItemStatus = platform::LoginItemStatus::RequiresApproval;
  TuckletRig waiting(world);
  EXPECT_TRUE(waiting.launch().engine().trusted());
  EXPECT_FALSE(waiting.controller().loginEnabled());
}

// The trust check runs every 2 s for as long as the controller lives, also while a menu tracks.
TEST(ControllerCreation, TrustCheckRepeatsEveryTwoSecondsEvenWhileAMenuTracks) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  ASSERT_NE(controller.engine().permissionTimer(), nullptr);
  EXPECT_TRUE(controller.engine().permissionTimer()->isValid());

  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  rig.desktop().setTrusted(false);
  rig.advance(0.95);
  EXPECT_TRUE(controller.engine().trusted());
  rig.advance(0.1);  // the first check, 2 s after creation
  EXPECT_FALSE(controller.engine().trusted());
  EXPECT_EQ(controller.message(), accessibilityRemovedText);
  EXPECT_FALSE(controller.engine().collapsed());

  rig.runLoop.beginTracking();
  rig.desktop().setTrusted(true);
  rig.advance(2);
  EXPECT_TRUE(controller.engine().trusted());
  rig.runLoop.endTracking();
  EXPECT_TRUE(controller.engine().permissionTimer()->isValid());
}

TEST(MainMenu, EmptyApplicationMenuAndTheStandardEditMenu) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  rig.launch();
  const auto menu = rig.services().menus.mainMenu();
  ASSERT_EQ(menu.rows.size(), 2u);
  EXPECT_EQ(menu.rows[0].submenuTitle, "tucklet");
  EXPECT_TRUE(menu.rows[0].submenu.empty());

  const auto& edit = menu.rows[1];
  EXPECT_EQ(edit.title, "Edit");
  struct Expected {
    const char* title;
    const char* selector;
    const char* key;
    std::uint32_t modifiers;
  };
  const std::uint32_t command = platform::ModifierCommand;
  const std::vector<Expected> expected = {
      {"Undo", "undo:", "z", command},
      {"Redo", "redo:", "z", command | platform::ModifierShift},
      {"", "", "", 0},  // separator
      {"Cut", "cut:", "x", command},
      {"Copy", "copy:", "c", command},
      {"Paste", "paste:", "v", command},
      {"Select All", "selectAll:", "a", command},
  };
  ASSERT_EQ(edit.submenu.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& row = edit.submenu[i];
    if (i == 2) {
      EXPECT_EQ(row.kind, platform::MenuRow::Kind::Separator);
      continue;
    }
    EXPECT_EQ(row.kind, platform::MenuRow::Kind::Item);
    EXPECT_EQ(row.title, expected[i].title);
    EXPECT_EQ(row.selector, expected[i].selector);
    EXPECT_EQ(row.keyEquivalent, expected[i].key);
    EXPECT_EQ(row.keyModifiers, expected[i].modifiers);
  }
}

// Launches the way the process entry does, with an instance claim that records its calls, for
// launches in which no controller may appear.
struct SecondLaunch {
  explicit SecondLaunch(TuckletRig& rig, bool claimSucceeds = true) {
    rig.delegate = std::make_unique<AppDelegate>(rig.services(), Arguments{}, false,
                                                 [this, claimSucceeds](const std::string& bundle) {
                                                   claims.push_back(bundle);
                                                   return claimSucceeds;
                                                 });
    rig.services().application.setTerminationHandler(
        [&rig] { rig.delegate->applicationWillTerminate(); });
    rig.delegate->applicationWillFinishLaunching();
    rig.delegate->applicationDidFinishLaunching();
  }
  std::vector<std::string> claims;
};

TEST(SingleInstance, AnotherRunningCopyEndsThisOneBeforeAnyStatusItem) {
  auto world = testing::WorldBuilder().app(950, "local.quenby.Quiverly", "Tucklet").build();
  TuckletRig rig(world, testing::setUpDefaults());
  SecondLaunch launch(rig);
  EXPECT_EQ(rig.delegate->controller, nullptr);
  EXPECT_TRUE(rig.desktop().terminationRequested());
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_TRUE(launch.claims.empty());  // the workspace already answered
  rig.advance(3);
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
}

TEST(SingleInstance, WithoutABundleIdentifierTheFallbackOneIsChecked) {
  auto world = testing::WorldBuilder().app(950, "local.quenby.Quiverly", "Tucklet").build();
  world.self.identifier.reset();
  TuckletRig rig(world, testing::setUpDefaults());
  SecondLaunch launch(rig);
  EXPECT_EQ(rig.delegate->controller, nullptr);
  EXPECT_TRUE(rig.desktop().terminationRequested());
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
}

TEST(SingleInstance, OnlyThisProcessWithOurIdentifierLaunchesAndClaimsTheLock) {
  auto world = testing::WorldBuilder().app(950, "com.example.other", "Other").build();
  world.self.identifier.reset();
  TuckletRig rig(world, testing::setUpDefaults());
  SecondLaunch launch(rig);
  ASSERT_NE(rig.delegate->controller, nullptr);
  EXPECT_FALSE(rig.desktop().terminationRequested());
  EXPECT_EQ(launch.claims, std::vector<std::string>{"local.quenby.Quiverly"});
  EXPECT_EQ(rig.ownStatusItemCount(), 2u);
}

TEST(SingleInstance, LockHeldByAnotherProcessEndsThisOne) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  SecondLaunch launch(rig, false);
  EXPECT_EQ(launch.claims, std::vector<std::string>{"local.quenby.Quiverly"});
  EXPECT_EQ(rig.delegate->controller, nullptr);
  EXPECT_TRUE(rig.desktop().terminationRequested());
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
}

}  // namespace
}  // namespace tucklet
