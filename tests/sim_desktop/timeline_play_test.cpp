// Playing a timeline on the desktop's clock: steps run at their time and in the order given,
// find their targets as the desktop is then, and a step whose target is not there is reported in
// one line and skipped.
#include <string>
#include <variant>
#include <vector>

#include "platform/sim/world_loader.h"
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

class TimelinePlay : public DesktopTest {};

TEST_F(TimelinePlay, StepsRunInOrderAtTheirTimeAndMissingTargetsAreReported) {
  const auto world = WorldBuilder()
                         .app(412, "com.raycast.macos", "Raycast")
                         .extra("raycast.item")
                         .at(10)
                         .withExtra([](sim::WorldExtra& extra) { extra.menu = {{"Open Raycast"}}; })
                         .build();
  start(world);
  auto parsed = sim::parseTimelineArguments(
      {
          "setTrusted false@1",
          R"(launchApplication {"pid": 600, "bundleIdentifier": "com.example.new"}@2)",
          "quitApplication com.example.new@2",
          R"(click {"item": "raycast.item"}@3)",
          R"(click {"menuRow": "Nope"}@3.5)",
          "pressKey escape@4",
          "typeText Hi!@5",
          R"(click {"statusItem": "Nowhere"}@6)",
          R"(scroll {"point": {"x": 100, "y": 890}, "deltaY": -30, "modifiers": ["option"]}@6)",
          R"(scroll {"deltaX": 4}@6)",
      },
      "--sim-do", world);
  ASSERT_TRUE(std::holds_alternative<std::vector<sim::TimelineStep>>(parsed))
      << std::get<sim::WorldError>(parsed).describe();
  auto steps = std::get<std::vector<sim::TimelineStep>>(std::move(parsed));
  std::vector<platform::InputEvent> keys;
  auto monitor = desktop->windowServer().addGlobalMonitor(
      platform::eventMaskFor(platform::EventType::KeyDown),
      [&keys](const platform::InputEvent& event) { keys.push_back(event); });
  std::vector<platform::InputEvent> wheels;
  auto wheelMonitor = desktop->windowServer().addGlobalMonitor(
      platform::eventMaskFor(platform::EventType::ScrollWheel),
      [&wheels](const platform::InputEvent& event) { wheels.push_back(event); });
  std::vector<std::string> reports;
  // Handed over out of order: they run by time, equal times in the order given.
  std::swap(steps[0], steps[6]);
  desktop->playTimeline(steps, [&reports](const std::string& line) { reports.push_back(line); });
  const auto running = [this](pid_t pid) {
    for (const auto& app : desktop->workspace().runningApplications())
      if (app.pid == pid) return true;
    return false;
  };

  loop.advance(0.9);
  EXPECT_TRUE(desktop->accessibility().isProcessTrusted());
  loop.advance(0.2);
  EXPECT_FALSE(desktop->accessibility().isProcessTrusted());
  loop.advance(1.0);
  EXPECT_FALSE(running(600)) << "launched, then quit at the same moment";
  loop.advance(1.0);
  ASSERT_EQ(desktop->openMenus().size(), 1u) << "the item was clicked where it is in the bar";
  EXPECT_EQ(desktop->openMenus()[0].pid, 412);
  loop.advance(1.0);
  EXPECT_TRUE(desktop->openMenus().empty()) << "Escape closed it";
  loop.advance(2.0);
  // Escape, then the typed text, a key each.
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0].keyCode, 53);
  EXPECT_EQ(keys[1].characters, "H");
  EXPECT_EQ(keys[1].modifiers, platform::ModifierShift);
  EXPECT_EQ(keys[2].keyCode, 34);  // i
  EXPECT_EQ(keys[3].characters, "!");
  loop.advance(1.0);
  // A scroll at a point, then one where the pointer already is.
  ASSERT_EQ(wheels.size(), 2u);
  EXPECT_EQ(wheels[0].location.x, 100);
  EXPECT_EQ(wheels[0].location.y, 890);
  EXPECT_EQ(wheels[0].scrollDeltaY, -30);
  EXPECT_EQ(wheels[0].modifiers, platform::ModifierOption);
  EXPECT_EQ(wheels[1].location.x, 100) << "the pointer moved with the first scroll";
  EXPECT_EQ(wheels[1].scrollDeltaX, 4);
  EXPECT_EQ(reports, (std::vector<std::string>{
                         "--sim-do[4]: click: no enabled row \"Nope\" in an open menu",
                         "--sim-do[7]: click: no status item \"Nowhere\" in the menu bar"}));
}

TEST_F(TimelinePlay, StepsStillPendingWhenTheDesktopGoesAreDropped) {
  const auto world = WorldBuilder().build();
  start(world);
  desktop->playTimeline(std::get<std::vector<sim::TimelineStep>>(
      sim::parseTimelineArguments({"setTrusted false@1"}, "--sim-do", world)));
  desktop.reset();
  loop.advance(2);  // nothing left to act on, and nothing does
}

}  // namespace
}  // namespace tucklet::testing
