// The feature runtime in a running Tucklet: what it holds for which configuration, rules switching
// presets and giving the user's settings back, shortcuts reaching their actions, and hover and
// scroll reveal.
#include "features/feature_runtime.h"

#include <gtest/gtest.h>

#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"

namespace tucklet {
namespace {

using testing::TuckletRig;

constexpr std::uint32_t kControlOptionCommand = 0x1900;

KeyboardShortcut shortcutFor(ShortcutAction action, std::uint32_t keyCode, std::string target) {
  KeyboardShortcut s;
  s.action = action;
  s.keyCode = keyCode;
  s.target = std::move(target);
  return s;
}

class FeatureRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.launch();
    rig.advance(1);  // start-up step, scan and collapse
    ASSERT_TRUE(controller().engine().collapsed());
    preset.name = "Coding";
    preset.bundles = {"md.obsidian"};
    preset.systems = {6};
  }

  BarController& controller() { return rig.controller(); }
  Preferences& preferences() { return controller().preferences(); }
  FeatureRuntime& runtime() { return controller().featureRuntime(); }

  void configure(const std::function<void(FeatureConfiguration&)>& change) {
    auto features = preferences().features();
    change(features);
    preferences().setFeatures(features);
  }

  // A rule that applies `preset` while Raycast is the active application.
  AutomationRule raycastRule() {
    AutomationRule rule;
    rule.condition = RuleCondition::application;
    rule.value = "com.raycast.macos";
    rule.presetID = preset.id;
    return rule;
  }

  sim::Point iconCentre() {
    const auto frame = controller().statusItem().item()->buttonScreenFrame();
    EXPECT_TRUE(frame);
    return frame ? sim::Point{frame->midX(), frame->midY()} : sim::Point{};
  }

  TuckletRig rig{sim::defaultWorld(), testing::setUpDefaults()};
  VisibilityPreset preset;
};

TEST_F(FeatureRuntimeTest, HoldsOnlyWhatTheConfigurationAsksFor) {
  EXPECT_EQ(runtime().timerInterval(), std::nullopt);
  EXPECT_FALSE(runtime().hasScrollMonitors());
  EXPECT_EQ(runtime().shortcuts().registrationCount(), 0u);

  configure([&](auto& f) { f.rules = {raycastRule()}; });
  EXPECT_EQ(runtime().timerInterval(), 1.0);
  configure([&](auto& f) {
    f.hoverReveal = true;
    f.scrollReveal = true;
    f.shortcuts = {KeyboardShortcut{}};
  });
  EXPECT_EQ(runtime().timerInterval(), 0.15);
  EXPECT_TRUE(runtime().hasScrollMonitors());
  EXPECT_EQ(runtime().shortcuts().registrationCount(), 1u);
  EXPECT_TRUE(controller().shortcutErrors().empty());

  // Recording takes every hot key away until it ends.
  controller().setRecordingShortcut(true);
  EXPECT_EQ(runtime().shortcuts().registrationCount(), 0u);
  configure([&](auto& f) { f.shortcuts.push_back(KeyboardShortcut{}); });
  EXPECT_EQ(runtime().shortcuts().registrationCount(), 0u);
  controller().setRecordingShortcut(false);
  EXPECT_EQ(runtime().shortcuts().registrationCount(), 1u);
  EXPECT_EQ(controller().shortcutErrors(),
            std::vector<std::string>{"Shortcut 2 could not be registered (code -9878)."});

  configure([&](auto& f) { f = FeatureConfiguration{}; });
  EXPECT_EQ(runtime().timerInterval(), std::nullopt);
  EXPECT_FALSE(runtime().hasScrollMonitors());
  EXPECT_EQ(runtime().shortcuts().registrationCount(), 0u);
}

TEST_F(FeatureRuntimeTest, RulesSwitchPresetsAndGiveTheUsersSettingsBack) {
  preferences().setVisibleBundles({"com.getdropbox.dropbox"});
  configure([&](auto& f) {
    f.presets = {preset};
    f.rules = {raycastRule()};
  });
  rig.advance(2);
  EXPECT_EQ(runtime().automaticState(), AutomaticVisibilityState{});

  rig.desktop().setFrontmost(412);  // Raycast
  rig.advance(1.1);
  EXPECT_EQ(preferences().visibleBundles(), preset.bundles);
  EXPECT_EQ(preferences().visibleSystemItems(), preset.systems);
  ASSERT_TRUE(runtime().automaticState().baseline);
  EXPECT_EQ(runtime().automaticState().baseline->name, "Before automatic rules");
  EXPECT_EQ(runtime().automaticState().active, preset);
  // Tucklet coming to the front does not end the rule.
  rig.services().application.activate();
  rig.advance(1.1);
  EXPECT_EQ(runtime().automaticState().active, preset);

  // The user's own change while the rule holds is what returns afterwards.
  preferences().setVisibleBundles({"com.1password.1password"});
  ASSERT_TRUE(runtime().automaticState().baseline);
  EXPECT_EQ(runtime().automaticState().baseline->name, "Manual visibility");
  EXPECT_EQ(runtime().automaticState().active, preset);

  rig.desktop().setFrontmost(310);  // Finder
  rig.advance(1.1);
  EXPECT_EQ(preferences().visibleBundles(), std::vector<std::string>{"com.1password.1password"});
  EXPECT_EQ(preferences().visibleSystemItems(), preset.systems) << "captured with the change";
  EXPECT_EQ(runtime().automaticState(), AutomaticVisibilityState{});

  // A preset chosen in the items menu while a rule holds becomes what returns.
  VisibilityPreset chosen;
  chosen.name = "Chosen";
  chosen.bundles = {"com.google.drivefs"};
  configure([&](auto& f) { f.presets.push_back(chosen); });
  rig.desktop().setFrontmost(412);
  rig.advance(1.1);
  controller().itemsMenu().presetMenuAction(std::any(chosen.id.text()));
  EXPECT_EQ(preferences().visibleBundles(), chosen.bundles);
  rig.advance(1.1);
  EXPECT_EQ(preferences().visibleBundles(), chosen.bundles) << "the rule's preset is not reapplied";

  // Quitting stores the user's settings, not the rule's preset.
  rig.quit();
  EXPECT_EQ(preferences().visibleBundles(), chosen.bundles);
  EXPECT_EQ(rig.defaults.persistentDomain().at("visibleBundles"),
            platform::PlistValue(platform::PlistArray{"com.google.drivefs"}));
}

TEST_F(FeatureRuntimeTest, ShortcutsRunTheirActions) {
  preferences().setVisibleBundles({"com.getdropbox.dropbox"});
  const auto deleted = Uuid::random();
  const auto listed = controller().itemsMenu().listedItems();
  ASSERT_FALSE(listed.empty());
  configure([&](auto& f) {
    f.presets = {preset};
    f.shortcuts = {shortcutFor(ShortcutAction::reveal, 15, ""),
                   shortcutFor(ShortcutAction::preset, 35, deleted.text()),
                   shortcutFor(ShortcutAction::preset, 31, preset.id.text()),
                   shortcutFor(ShortcutAction::item, 34, "no-such-item"),
                   shortcutFor(ShortcutAction::item, 40, listed.front().id)};
  });
  ASSERT_EQ(runtime().shortcuts().registrationCount(), 5u);

  rig.desktop().pressHotKey(15, kControlOptionCommand);
  rig.advance(0.1);
  EXPECT_FALSE(controller().engine().collapsed()) << "reveal shows everything";

  rig.desktop().pressHotKey(35, kControlOptionCommand);
  rig.advance(0.1);
  EXPECT_EQ(preferences().visibleBundles(), std::vector<std::string>{"com.getdropbox.dropbox"})
      << "a deleted preset does nothing";
  rig.desktop().pressHotKey(31, kControlOptionCommand);
  rig.advance(0.1);
  EXPECT_EQ(preferences().visibleBundles(), preset.bundles);

  rig.desktop().pressHotKey(34, kControlOptionCommand);
  rig.advance(0.1);
  EXPECT_FALSE(controller().opener().activeItem());
  rig.desktop().pressHotKey(40, kControlOptionCommand);
  rig.advance(0.01);
  ASSERT_TRUE(controller().opener().activeItem());
  EXPECT_EQ(controller().opener().activeItem()->id, listed.front().id);
}

// A second runtime beside the controller's, whose access panel calls the test sees.
class RevealTest : public FeatureRuntimeTest {
 protected:
  void startRuntime() {
    extra =
        std::make_unique<FeatureRuntime>(rig.services(), preferences(), lifetime, true,
                                         "local.quenby.Quiverly", controller().statusItem(),
                                         FeatureRuntime::Links{
                                             .accessPanelShown = [this] { return panelShown; },
                                             .showAccessPanel =
                                                 [this](bool search) {
                                                   openings.push_back(search);
                                                   panelShown = true;
                                                 },
                                             .closeAccessPanel =
                                                 [this] {
                                                   ++closings;
                                                   panelShown = false;
                                                 },
                                             .scheduleAutoCollapse = [this] { ++autoCollapses; },
                                             .items = {},
                                             .openItem = {},
                                             .toggleReveal = {},
                                             .shortcutErrorsChanged = {},
                                         });
  }

  void scroll(double deltaY) {
    platform::InputEvent event;
    event.type = platform::EventType::ScrollWheel;
    event.location = iconCentre();
    event.scrollDeltaY = deltaY;
    rig.services().windowServer.postEvent(event);
    rig.advance(0);
  }

  platform::Lifetime lifetime;
  std::unique_ptr<FeatureRuntime> extra;
  std::vector<bool> openings;
  bool panelShown = false;
  int closings = 0;
  int autoCollapses = 0;
};

TEST_F(RevealTest, HoverOpensTheOverflowBarOncePerHover) {
  configure([](auto& f) {
    f.hoverReveal = true;
    f.hoverDelay = 0.1;
  });
  startRuntime();
  rig.desktop().setPointer(iconCentre());
  rig.advance(0.3);  // ticks at 0.15 and 0.30: hovering for 0.15 s
  EXPECT_TRUE(openings.empty());
  rig.advance(0.15);  // 0.30 s: the shortest hover that counts
  EXPECT_EQ(openings, std::vector<bool>{false});
  rig.advance(2);
  EXPECT_EQ(openings.size(), 1u);

  rig.desktop().setPointer({10, 500});
  rig.advance(0.3);
  rig.desktop().setPointer(iconCentre());
  rig.advance(0.6);
  EXPECT_EQ(openings.size(), 2u);
}

TEST_F(RevealTest, ScrollOpensAndClosesOnceInHalfASecond) {
  configure([](auto& f) { f.scrollReveal = true; });
  startRuntime();
  scroll(0.5);  // too small
  EXPECT_TRUE(openings.empty());
  scroll(3);
  rig.advance(0.3);
  scroll(3);
  EXPECT_EQ(openings, std::vector<bool>{false});
  rig.advance(0.3);
  scroll(-3);
  EXPECT_EQ(closings, 1);
  EXPECT_EQ(autoCollapses, 1);

  extra->stop();
  EXPECT_FALSE(extra->hasScrollMonitors());
  rig.advance(1);
  scroll(3);
  EXPECT_EQ(openings.size(), 1u);
}

}  // namespace
}  // namespace tucklet
