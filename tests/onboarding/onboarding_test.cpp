// Onboarding on the simulated desktop under virtual time: where it refuses to run, the welcome
// window taking the screen and giving it back, the hand-off to System Settings with its guide
// panel, finishing when trust arrives, and the animations at their key times.
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>
#include <string>

#include "platform/sim/desktop.h"
#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"
#include "ui/onboarding/onboarding_controller.h"
#include "ui/onboarding/onboarding_view.h"
#include "ui/onboarding/permission_guide.h"

namespace tucklet::testing {
namespace {

QApplication& widgetApp() {
  static int argc = 1;
  static char name[] = "tests_onboarding";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

sim::World untrustedWorld() {
  auto world = visibilityWorld().build();
  world.accessibilityTrusted = false;
  return world;
}

// Where a widget of an own window sits on the simulated screen: its middle.
platform::Point screenPointOf(const platform::WindowHandle& window, const QWidget* root,
                              const QWidget* widget) {
  const auto frame = window.contentFrame();
  const auto local = widget->mapTo(root, QRectF(widget->rect()).center());
  return {frame->x + local.x(), frame->maxY() - local.y()};
}

std::optional<platform::RunningApplication> systemSettings(TuckletRig& rig) {
  for (const auto& app : rig.services().workspace.runningApplications())
    if (app.bundleIdentifier == OnboardingController::settingsBundle) return app;
  return std::nullopt;
}

TEST(OnboardingTest, RunsOnlyFromAnApplicationsFolder) {
  for (const std::string path :
       {"/Users/x/Downloads/Tucklet.app", "/System/Applications/Tucklet.app"}) {
    SCOPED_TRACE(path);
    auto world = untrustedWorld();
    world.self.path = path;
    TuckletRig rig(world);
    auto& controller = rig.launch();
    rig.advance(0.1);
    const bool allowed = path.rfind("/System/Applications/", 0) == 0;
    EXPECT_EQ(rig.desktop().terminationRequested(), !allowed);
    EXPECT_EQ(onboardingShown(controller), allowed);
    if (!allowed) {
      ASSERT_EQ(rig.desktop().revealedFiles().size(), 1u);
      EXPECT_EQ(rig.desktop().revealedFiles().front(), path);
    }
  }
}

TEST(OnboardingTest, TheWelcomeWindowTakesTheScreenAndGivesItBack) {
  widgetApp();
  TuckletRig rig(untrustedWorld());
  const platform::PresentationOptions before = platform::presentation::hideDock;
  rig.services().application.setPresentationOptions(before);
  auto& controller = rig.launch();
  rig.advance(0.1);
  auto* onboarding = controller.onboarding();
  ASSERT_TRUE(onboarding && onboarding->window());
  const auto screen = rig.services().screens.screens().front().frame;
  EXPECT_EQ(*onboarding->window()->frame(), screen);
  EXPECT_TRUE(onboarding->window()->isKey());
  EXPECT_EQ(rig.services().application.activationPolicy(), platform::ActivationPolicy::Regular);
  EXPECT_EQ(rig.services().application.presentationOptions(),
            platform::presentation::autoHideDock | platform::presentation::autoHideMenuBar);

  // Shown again from elsewhere: the same window comes forward, nothing else is saved over.
  const auto number = onboarding->window()->number();
  rig.services().workspace.openURL(
      "x-apple.systempreferences:com.apple.ControlCenter-Settings.extension");
  rig.advance(0.1);
  onboarding->show();
  EXPECT_EQ(onboarding->window()->number(), number);
  EXPECT_EQ(rig.services().workspace.frontmostApplication()->pid, rig.desktop().world().self.pid);
  EXPECT_EQ(rig.desktop().ownWindows().size(), 1u);

  // The close button ends onboarding: options restored, back to an accessory application.
  rig.desktop().click(
      screenPointOf(*onboarding->window(), onboarding->view(), onboarding->view()->closeButton()));
  rig.advance(0.1);
  EXPECT_FALSE(onboarding->windowVisible());
  EXPECT_TRUE(rig.desktop().ownWindows().empty());
  EXPECT_EQ(rig.services().application.presentationOptions(), before);
  EXPECT_EQ(rig.services().application.activationPolicy(), platform::ActivationPolicy::Accessory);
  EXPECT_FALSE(controller.preferences().setupComplete());
}

TEST(OnboardingTest, TheGuideFrameSitsRightOfTheSidebarAtTheBottom) {
  struct Case {
    platform::Rect settings;  // window-list coordinates
    double primaryMaxY;
    platform::Rect guide;  // screen coordinates
  };
  const Case cases[] = {
      {{398, 171, 715, 640}, 982, {398 + 229 + 16, 982 - 811 + 16, 715 - 229 - 32, 116}},
      {{0, 25, 500, 400}, 900, {0 + 160 + 16, 900 - 425 + 16, 500 - 160 - 32, 116}},
      // Partly off the left and the bottom of the screen: placed all the same.
      {{-300, 700, 800, 500}, 982, {-300 + 256 + 16, 982 - 1200 + 16, 800 - 256 - 32, 116}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OnboardingController::guideFrame(c.settings, c.primaryMaxY), c.guide);
}

TEST(OnboardingTest, HandOffPlacesTheGuideAndFinishesOnceWhenTrustArrives) {
  widgetApp();
  TuckletRig rig(untrustedWorld());
  auto& controller = rig.launch();
  rig.advance(3);  // the icons have folded: the permission button shows
  auto* onboarding = controller.onboarding();
  ASSERT_TRUE(onboarding && onboarding->view() && onboarding->view()->permissionReady());
  EXPECT_EQ(onboarding->view()->button()->text().toStdString(), "Grant permission");
  rig.desktop().click(
      screenPointOf(*onboarding->window(), onboarding->view(), onboarding->view()->button()));
  rig.advance(0.5);

  EXPECT_TRUE(onboarding->handingOff);
  EXPECT_FALSE(onboarding->windowVisible());
  const auto settings = systemSettings(rig);
  ASSERT_TRUE(settings && settings->active);
  ASSERT_TRUE(onboarding->guideVisible());
  platform::Rect settingsBounds;
  for (const auto& w : rig.services().windowServer.onScreenWindows(true))
    if (w.ownerPid == settings->pid) settingsBounds = w.bounds;
  const double top = rig.services().screens.screens().front().frame.maxY();
  EXPECT_EQ(*onboarding->guide()->frame(), OnboardingController::guideFrame(settingsBounds, top));

  // Another application in front: the panel goes, and comes back with System Settings.
  rig.services().application.activate();
  rig.advance(0.3);
  EXPECT_FALSE(onboarding->guideVisible());
  rig.services().workspace.openURL(OnboardingController::settingsURL);
  rig.advance(0.3);
  EXPECT_TRUE(onboarding->guideVisible());

  // "Check Again" without access: still handing off, the panel says so.
  rig.desktop().click(screenPointOf(*onboarding->guide(), onboarding->guideView(),
                                    onboarding->guideView()->checkAgainButton()));
  rig.advance(0.1);
  EXPECT_TRUE(onboarding->handingOff);
  EXPECT_TRUE(onboarding->permissionStillMissing);
  EXPECT_EQ(onboarding->guideView()->title()->text().toStdString(), "This copy still needs access");

  // The switch in System Settings grants trust; the trust check finishes onboarding.
  const auto toggle = rig.desktop().settingsSwitchPoint("Tucklet");
  ASSERT_TRUE(toggle);
  rig.desktop().click(*toggle);
  rig.advance(3);
  EXPECT_FALSE(onboarding->handingOff);
  EXPECT_FALSE(onboarding->guideVisible());
  EXPECT_TRUE(rig.desktop().ownWindows().empty());
  EXPECT_TRUE(systemSettings(rig)->hidden);
  EXPECT_TRUE(controller.preferences().setupComplete());
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(rig.services().application.activationPolicy(), platform::ActivationPolicy::Accessory);

  // Finished once: a later "Check Again" or trust change starts nothing more.
  const auto urls = rig.desktop().openedURLs().size();
  onboarding->checkAgain();
  onboarding->trustChanged(true);
  rig.advance(1);
  EXPECT_FALSE(controller.engine().setupInProgress());
  EXPECT_EQ(rig.desktop().openedURLs().size(), urls);
  EXPECT_FALSE(onboarding->windowVisible());
}

TEST(OnboardingTest, GrantPermissionWhenAlreadyTrustedFinishesAtOnce) {
  TuckletRig rig(visibilityWorld().build());
  auto& controller = rig.launch();
  rig.advance(0.1);
  ASSERT_TRUE(onboardingShown(controller));  // trusted, but setup has never run
  controller.onboarding()->requestPermission();
  EXPECT_TRUE(rig.desktop().openedURLs().empty());
  rig.advance(2);
  EXPECT_FALSE(onboardingShown(controller));
  EXPECT_TRUE(controller.preferences().setupComplete());
}

TEST(OnboardingTest, TheIconsFoldAtTheirKeyTimes) {
  widgetApp();
  OnboardingIcons icons(false, nullptr);
  icons.resize(812, 140);
  int settled = 0;
  icons.onSettled = [&settled] { ++settled; };
  icons.begin();
  const double span = 812 - 48;
  const int i = 7;
  const auto t = OnboardingIcons::keyTimes(i);
  const double row = span * (double(i) / 13 - 0.5);
  const auto at = [&](double seconds) {
    icons.setTime(seconds);
    return icons.icon(i);
  };
  auto pose = at(t[1]);
  EXPECT_NEAR(pose.offset, row, 0.5);
  EXPECT_NEAR(pose.opacity, 0, 1e-3);
  pose = at(t[2]);
  EXPECT_NEAR(pose.offset, row, 0.5);
  EXPECT_NEAR(pose.scale, 0.85, 1e-3);
  EXPECT_NEAR(pose.opacity, 0.88, 1e-3);
  pose = at(t[3]);
  EXPECT_NEAR(pose.offset, 0, 0.5);
  EXPECT_NEAR(pose.scale, 0.55, 1e-3);
  // The first icons start clustered and faintly visible.
  icons.setTime(0);
  EXPECT_NEAR(icons.icon(0).offset, -0.5 * 217, 0.5);
  EXPECT_GT(icons.icon(0).opacity, 0);
  EXPECT_EQ(icons.icon(9).opacity, 0);
  EXPECT_EQ(settled, 0);
  pose = at(t[4]);
  EXPECT_NEAR(pose.scale, 0.22, 1e-3);
  EXPECT_NEAR(pose.opacity, 0, 1e-3);
  EXPECT_EQ(settled, 0);
  icons.setTime(OnboardingIcons::settleTime);
  icons.setTime(3);
  EXPECT_EQ(settled, 1);
  EXPECT_NEAR(icons.folded().opacity, 1, 1e-3);
  EXPECT_NEAR(icons.folded().scale, 1, 1e-3);

  // Reduce motion: nothing moves, the folded icon shows and the view is settled at once.
  OnboardingIcons still(true, nullptr);
  still.resize(812, 140);
  int stillSettled = 0;
  still.onSettled = [&stillSettled] { ++stillSettled; };
  still.begin();
  EXPECT_EQ(stillSettled, 1);
  EXPECT_EQ(still.icon(7).opacity, 0);
  EXPECT_EQ(still.folded().opacity, 1);
}

TEST(OnboardingTest, TheBackdropDriftsUnlessMotionIsReduced) {
  widgetApp();
  for (const bool reduce : {false, true}) {
    SCOPED_TRACE(reduce);
    auto world = untrustedWorld();
    world.reduceMotion = reduce;
    TuckletRig rig(world);
    auto& controller = rig.launch();
    rig.advance(0.01);
    auto* view = controller.onboarding()->view();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->permissionReady(), reduce);  // under reduce motion the button shows at once
    rig.advance(4.5);                            // a quarter of the 18-second drift
    EXPECT_EQ(view->drifting(), !reduce);
    const auto drift = view->drift();
    EXPECT_NEAR(drift.x(), reduce ? 0 : 38, 1.0);
    EXPECT_NEAR(drift.y(), reduce ? 0 : 14, 0.5);
  }
}

}  // namespace
}  // namespace tucklet::testing
