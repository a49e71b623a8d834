// What the settings window shows: the sidebar and which pane a tab opens, the status banner, the
// collapse delay, and the rows of the Menu Bar Items lists.
#include <gtest/gtest.h>

#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"
#include "ui/settings/settings_model.h"

namespace tucklet::settings {
namespace {

TEST(SettingsModel, SetupTabReadsHelpOnceSetUpAndUnknownTabsShowGeneral) {
  EXPECT_EQ(tabs(false)[8].label, "Setup");
  EXPECT_EQ(tabs(true)[8].label, "Help");
  EXPECT_EQ(paneFor("setup", true).title, "Help");
  EXPECT_EQ(paneFor("setup", true).pane, Pane::setup);
  EXPECT_EQ(paneFor("access", true).pane, Pane::feature);
  EXPECT_EQ(paneFor("access", true).featurePage, "access");
  EXPECT_EQ(paneFor("access", true).title, "Quick Actions");
  for (const char* unknown : {"", "nonsense", "General"}) {
    const auto choice = paneFor(unknown, true);
    EXPECT_EQ(choice.pane, Pane::general) << unknown;
    EXPECT_EQ(choice.title, "General") << unknown;
  }
}

TEST(SettingsModel, BannerShowsWhatIsMissing) {
  EXPECT_FALSE(banner(true, true, std::nullopt).shown);
  const auto untrusted = banner(true, false, std::nullopt);
  EXPECT_TRUE(untrusted.shown);
  EXPECT_EQ(untrusted.action, Banner::Action::openAccessSettings);
  EXPECT_EQ(banner(false, true, std::nullopt).action, Banner::Action::finishSetup);
  const auto notice = banner(true, true, std::string("Hidden unexpectedly"));
  EXPECT_TRUE(notice.shown);
  EXPECT_EQ(notice.message, "Hidden unexpectedly");
  EXPECT_EQ(notice.action, Banner::Action::none);
}

TEST(SettingsModel, CollapseDelayStaysWithinTwoToThirtySeconds) {
  EXPECT_EQ(clampCollapseDelay(0.5), 2);
  EXPECT_EQ(clampCollapseDelay(99), 30);
  EXPECT_EQ(collapseDelayText(8.7), "8 sec");
  EXPECT_EQ(collapseDelayText(-4), "2 sec");
}

TEST(SettingsModel, SystemControlsNeverListBatteryOrClock) {
  const auto rows = controlRows({0, 2, 6});
  ASSERT_EQ(rows.size(), 7u);
  for (const auto& row : rows) {
    EXPECT_FALSE(isProtected(row.control)) << row.label;
    EXPECT_EQ(row.visible, row.control == SystemControl::wifi) << row.label;
  }
  EXPECT_EQ(rows.front().label, "Bluetooth");
  EXPECT_EQ(rows.back().label, "Control Center");
}

TEST(SettingsModel, OneAppsRowPerApplicationAndNoSystemOwners) {
  auto world = testing::visibilityWorld().extra("music.second").at(215).build();
  testing::TuckletRig rig(world, testing::setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  const auto& items = controller.inventory().items();
  ASSERT_GE(items.size(), 6u);
  const auto rows = appRows(items, rig.services().workspace, {"com.example.music"});
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    EXPECT_NE(row.bundleIdentifier, "com.apple.controlcenter");
    EXPECT_EQ(row.visible, row.bundleIdentifier == "com.example.music") << row.name;
  }
}

}  // namespace
}  // namespace tucklet::settings
