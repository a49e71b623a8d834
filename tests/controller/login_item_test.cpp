// The login item switch: registering and unregistering, the approval the system may ask for, and
// a failure that must leave the switch where it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"

namespace tucklet {
namespace {

using platform::LoginItemStatus;
using testing::TuckletRig;

TEST(LoginItem, RegisteringAndUnregisteringFollowTheServiceStatus) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch();
  ASSERT_FALSE(controller.loginEnabled());

  controller.setLoginItem(true);
  EXPECT_TRUE(controller.loginEnabled());
  EXPECT_EQ(rig.services().loginService.status(), LoginItemStatus::Enabled);
  EXPECT_FALSE(controller.message().has_value());

  controller.setLoginItem(false);
  EXPECT_FALSE(controller.loginEnabled());
  EXPECT_EQ(rig.services().loginService.status(), LoginItemStatus::NotRegistered);
  EXPECT_FALSE(controller.message().has_value());
  EXPECT_TRUE(rig.desktop().openedURLs().empty());
}

TEST(LoginItem, ApprovalNeededShowsTheWayAndOpensLoginItems) {
  auto world = sim::defaultWorld();
  world.loginRequiresApproval = true;
  TuckletRig rig(world, testing::setUpDefaults());
  auto& controller = rig.launch();

  controller.setLoginItem(true);
  EXPECT_FALSE(controller.loginEnabled());
  EXPECT_EQ(controller.message(), "Approve tucklet in System Settings → General → Login Items.");
  EXPECT_EQ(rig.desktop().openedURLs(),
            std::vector<std::string>{
                "x-apple.systempreferences:com.apple.LoginItems-Settings.extension"});
}

TEST(LoginItem, FailureIsReportedAndLeavesTheSwitchAlone) {
  auto world = sim::defaultWorld();
  world.loginItemStatus = LoginItemStatus::Enabled;
  world.loginError = "The operation couldn’t be completed. (Operation not permitted)";
  TuckletRig rig(world, testing::setUpDefaults());
  auto& controller = rig.launch();
  ASSERT_TRUE(controller.loginEnabled());
  // The system forgets the item behind our back; a failed change must not pick that up either.
  rig.desktop().setLoginItemStatus(LoginItemStatus::NotRegistered, false);

  controller.setLoginItem(true);
  EXPECT_TRUE(controller.loginEnabled());
  EXPECT_EQ(controller.message(),
            "Could not change login startup: The operation couldn’t be completed. (Operation not "
            "permitted)");
  EXPECT_TRUE(rig.desktop().openedURLs().empty());
}

}  // namespace
}  // namespace tucklet
