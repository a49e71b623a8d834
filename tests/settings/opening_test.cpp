// Opening the settings window: onboarding instead while setup or trust is missing, a fresh
// inventory with the native backend, everything shown with the divider, the window made once.
#include <gtest/gtest.h>

#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

TEST(SettingsOpening, WithoutSetupOrTrustOnboardingOpensInstead) {
  for (const bool trusted : {false, true}) {
    SCOPED_TRACE(trusted ? "trusted, not set up" : "set up, not trusted");
    auto world = visibilityWorld().build();
    world.accessibilityTrusted = trusted;
    TuckletRig rig(world, trusted ? platform::PlistDict{} : setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(1);
    controller.onboarding()->closeWindow();
    controller.openSettingsWindow();
    EXPECT_TRUE(onboardingShown(controller));
    EXPECT_FALSE(controller.settingsWindow().windowCreated());
    EXPECT_FALSE(controller.settingsWindow().windowVisible());
  }
}

TEST(SettingsOpening, NativeBackendKeepsItemsHiddenAndRescans) {
  TuckletRig rig(visibilityWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  const auto hidden = rig.shownExtras();
  controller.openSettingsWindow();
  EXPECT_TRUE(controller.inventory().inventoryRefreshPending());
  rig.advance(0.5);
  EXPECT_TRUE(controller.settingsWindow().windowVisible());
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(rig.shownExtras(), hidden);
  EXPECT_FALSE(onboardingShown(controller));

  // Closing orders the window out; the automatic fold no longer waits for it.
  controller.settingsWindow().closeSettingsWindow();
  EXPECT_TRUE(controller.settingsWindow().windowCreated());
  EXPECT_FALSE(controller.settingsWindow().windowVisible());
}

TEST(SettingsOpening, DividerBackendShowsEverythingWhileOpen) {
  TuckletRig rig(dividerWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());
  controller.openSettingsWindow();
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_TRUE(controller.settingsWindow().windowVisible());
  // The automatic fold waits while the window is open.
  rig.advance(60);
  EXPECT_FALSE(controller.engine().collapsed());
  controller.settingsWindow().closeSettingsWindow();
  rig.advance(60);
  EXPECT_TRUE(controller.engine().collapsed());
}

}  // namespace
}  // namespace tucklet::testing
