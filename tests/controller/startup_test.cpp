// Launch and quit: activation policy, start-up timing, the single-instance check, and the
// termination path that restores the menu bar.
#include <gtest/gtest.h>

#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"
#include "tests/support/world_builder.h"

namespace tucklet {
namespace {

using testing::TuckletRig;
using testing::WorldBuilder;

TEST(StartupTest, FirstLaunchShowsOnboardingAtOnceWithADockIcon) {
  auto world = sim::defaultWorld();
  world.accessibilityTrusted = false;
  TuckletRig rig(world);
  auto& controller = rig.launch();
  EXPECT_EQ(rig.desktop().activationPolicy(), platform::ActivationPolicy::Regular);
  EXPECT_EQ(controller.settingsTab(), "setup");
  EXPECT_TRUE(controller.showOnboarding());
  rig.runLoop.drain();  // the start-up step is due at once
  EXPECT_TRUE(testing::onboardingShown(controller));
}

TEST(StartupTest, SetUpTrustedLaunchCollapsesAfterTheStartupDelay) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  EXPECT_EQ(rig.desktop().activationPolicy(), platform::ActivationPolicy::Accessory);
  EXPECT_EQ(controller.settingsTab(), "behavior");
  rig.advance(0.59);
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_TRUE(controller.inventory().items().empty());
  rig.advance(0.02);
  rig.runLoop.drain();
  EXPECT_FALSE(controller.inventory().items().empty());
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_FALSE(testing::onboardingShown(controller));
}

TEST(StartupTest, QuittingWhileCollapsedRestoresEveryItem) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  rig.launch();
  const auto before = rig.shownExtras();
  rig.advance(1);
  ASSERT_TRUE(rig.controller().engine().collapsed());
  EXPECT_LT(rig.shownExtras().size(), before.size());
  rig.quit();
  EXPECT_EQ(rig.ownStatusItemCount(), 0u);
  EXPECT_EQ(rig.shownExtras(), before);
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(rig.runLoop.liveTimerCount(), 0u);
}

}  // namespace
}  // namespace tucklet
