// A world's `timeline` and the `--sim-do` form of a step: what each step reads into, and the
// one-line errors that name the step and the argument at fault.
#include <string>
#include <variant>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/sim/world_loader.h"
#include "platform/window_server.h"

namespace tucklet::sim {
namespace {

using nlohmann::json;
using Action = TimelineStep::Action;

// A world with one application (pid 412, "com.raycast.macos", an item "raycast.item") and this
// timeline.
json worldWith(json timeline) {
  auto world = json::parse(R"({
    "screens": [{"frame": {"x": 0, "y": 0, "width": 1440, "height": 900}}],
    "apps": [{"pid": 412, "bundleIdentifier": "com.raycast.macos",
              "extras": [{"identifier": "raycast.item"}]}]
  })");
  world["timeline"] = std::move(timeline);
  return world;
}

std::string errorOf(const json& timeline) {
  WorldResult result = parseWorld(worldWith(timeline).dump(), "my.json");
  if (auto* error = std::get_if<WorldError>(&result)) return error->describe();
  return "loaded";
}

TEST(TimelineFormat, StepsReadTheirArgumentsAndMayReferToWhatEarlierStepsLaunched) {
  const auto timeline = json::parse(R"([
    {"at": 0.5, "launchApplication": {"pid": 500, "bundleIdentifier": "com.example.late",
                                      "extras": [{"identifier": "late.item"}]}},
    {"at": 1, "click": {"item": "late.item", "modifiers": ["option", "command"]}},
    {"at": 1, "quitApplication": "com.example.late"},
    {"at": 2, "pressKey": {"key": "k", "modifiers": ["command"]}},
    {"at": 3, "setApplicationHung": {"app": 412}},
    {"at": 3, "simulateWake": null},
    {"at": 4, "commandDrag": {"statusItem": "QuiverlyToggle", "toX": 700}},
    {"at": 5, "setLoginItemStatus": {"status": "requiresApproval", "requiresApproval": true}}
  ])");
  WorldResult result = parseWorld(worldWith(timeline).dump(), "my.json");
  ASSERT_TRUE(std::holds_alternative<World>(result)) << std::get<WorldError>(result).describe();
  const auto& steps = std::get<World>(result).timeline;
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps[0].application->pid, 500);
  EXPECT_EQ(steps[1].target.kind, TimelineTarget::Kind::Item);
  EXPECT_EQ(steps[1].modifiers, platform::ModifierOption | platform::ModifierCommand);
  EXPECT_EQ(steps[2].app.bundleIdentifier, "com.example.late");
  EXPECT_EQ(steps[2].where, "timeline[2]");
  EXPECT_EQ(steps[3].keyCode, 40u);  // k on the ANSI layout
  EXPECT_EQ(steps[4].app.pid, 412);
  EXPECT_TRUE(steps[4].flag) << "hung unless said otherwise";
  EXPECT_EQ(steps[6].target.kind, TimelineTarget::Kind::StatusItem);
  EXPECT_EQ(steps[6].toX, 700);
  EXPECT_EQ(steps[7].loginItemStatus, platform::LoginItemStatus::RequiresApproval);
  EXPECT_EQ(steps[7].at, 5);
}

TEST(TimelineFormat, ErrorLinesNameTheStepAndTheArgument) {
  const auto step = [](const std::string& text) { return json::parse(text); };
  const auto at = [&](std::size_t index, const std::string& text) {
    json list = json::array();
    for (std::size_t i = 0; i < index; ++i)
      list.push_back({{"at", 0}, {"simulateWake", true}});
    list.push_back(step(text));
    return list;
  };
  EXPECT_EQ(
      errorOf(at(3, R"({"at": 1, "click": {"item": "raycast.itme"}})")),
      "my.json: timeline[3].click.item: no item with identifier \"raycast.itme\" in the world");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "clik": {}})")),
            "my.json: timeline[0].clik: unknown action (did you mean \"click\"?)");
  EXPECT_EQ(
      errorOf(at(0, R"({"at": 1, "click": {"point": {"x": 1, "y": 2}, "item": "raycast.item"}})")),
      "my.json: timeline[0].click.item: give only one of \"point\", \"statusItem\", \"item\", "
      "\"menuRow\", \"settingsSwitch\"");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "commandDrag": {"menuRow": "Quit", "toX": 3}})")),
            "my.json: timeline[0].commandDrag.menuRow: unknown key");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "commandDrag": {"toX": 3}})")),
            "my.json: timeline[0].commandDrag: give one of \"statusItem\", \"item\"");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "click": {"menuRow": "Quit"}, "setTrusted": false})")),
            "my.json: timeline[0].setTrusted: one action per step; this one already has \"click\"");
  EXPECT_EQ(
      errorOf(at(0, R"({"at": 1})")),
      "my.json: timeline[0]: no action: a step is {\"at\": seconds, \"<action>\": arguments}");
  EXPECT_EQ(errorOf(at(0, R"({"setTrusted": false})")),
            "my.json: timeline[0].at: required but missing");
  EXPECT_EQ(
      errorOf(json::parse(R"([{"at": 5, "setTrusted": false}, {"at": 4, "setTrusted": true}])")),
      "my.json: timeline[1].at: must not be earlier than the step before it (5)");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "quitApplication": "com.example.nowhere"})")),
            "my.json: timeline[0].quitApplication: no application \"com.example.nowhere\" in the "
            "world or launched before");
  EXPECT_EQ(errorOf(json::parse(R"([{"at": 1, "quitApplication": 500},
                                   {"at": 2, "launchApplication": {"pid": 500}}])")),
            "my.json: timeline[0].quitApplication: no application pid 500 in the world or launched "
            "before");
  EXPECT_EQ(errorOf(at(1, R"({"at": 1, "launchApplication": {"pid": 412}})")),
            "my.json: timeline[1].launchApplication.pid: pid 412 is already used by apps[0]");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "click": {"menuRow": "Quit", "modifiers": ["cmd"]}})")),
            "my.json: timeline[0].click.modifiers[0]: unknown value \"cmd\"; expected one of "
            "\"command\", \"shift\", \"option\", \"control\"");
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "simulateWake": 5})")),
            "my.json: timeline[0].simulateWake: takes no arguments: write null, true or {}, got a "
            "number");
  EXPECT_EQ(
      errorOf(at(0, R"({"at": 1, "pressKey": "esc"})"))
          .rfind("my.json: timeline[0].pressKey: unknown value \"esc\"; expected one of \"a\"", 0),
      0u);
  EXPECT_EQ(errorOf(at(0, R"({"at": 1, "scroll": {"point": {"x": 1, "y": 2}}})")),
            "my.json: timeline[0].scroll: a scroll needs \"deltaX\" or \"deltaY\" other than 0");
  EXPECT_EQ(errorOf(json::object()), "my.json: timeline: expected a list, got an object");
}

TEST(TimelineArgument, TheCommandLineFormReadsLikeAStepAndFailsLikeOne) {
  const auto world = std::get<World>(parseWorld(worldWith(json::array()).dump(), "my.json"));
  const auto read = [&](const std::vector<std::string>& arguments) {
    return parseTimelineArguments(arguments, "--sim-do", world);
  };
  const auto step = [&](const std::string& argument) {
    auto result = read({argument});
    if (auto* error = std::get_if<WorldError>(&result)) {
      ADD_FAILURE() << argument << ": " << error->describe();
      return TimelineStep{};
    }
    return std::get<std::vector<TimelineStep>>(result).at(0);
  };
  const auto error = [&](const std::vector<std::string>& arguments) {
    auto result = read(arguments);
    auto* failure = std::get_if<WorldError>(&result);
    return failure ? failure->describe() : "read";
  };

  const auto trust = step("setTrusted false@5");
  EXPECT_EQ(trust.action, Action::SetTrusted);
  EXPECT_FALSE(trust.flag);
  EXPECT_EQ(trust.at, 5);
  EXPECT_EQ(trust.where, "--sim-do[0]");
  // Arguments that are not JSON are one text; an action without arguments stands alone.
  EXPECT_EQ(step("typeText hello, world@2.5").text, "hello, world");
  EXPECT_EQ(step("quitApplication com.raycast.macos@1").app.bundleIdentifier, "com.raycast.macos");
  EXPECT_EQ(step("simulateWake@3").action, Action::SimulateWake);
  EXPECT_EQ(step(R"(click {"statusItem": "QuiverlyToggle"}@0)").target.name, "QuiverlyToggle");

  // A later step may name what an earlier one launched, whatever their times.
  EXPECT_EQ(error({R"(launchApplication {"pid": 600, "bundleIdentifier": "com.example.new"}@9)",
                   "setFrontmost 600@1", "quitApplication com.example.new@2"}),
            "read");
  EXPECT_EQ(error({"simulateWake@1", "setTrusted false"}),
            "--sim-do[1]: expected ACTION ARGUMENTS@SECONDS, got \"setTrusted false\"");
  EXPECT_EQ(error({"setTrusted false@soon"}),
            "--sim-do[0]: expected a time in seconds after \"@\", got \"soon\"");
  EXPECT_EQ(error({"@5"}), "--sim-do[0]: no action before \"@\"");
  EXPECT_EQ(error({R"(click {"item": "nowhere"}@1)"}),
            "--sim-do[0]: click.item: no item with identifier \"nowhere\" in the world");
  EXPECT_EQ(error({"setTrusted flase@1"}),
            "--sim-do[0]: setTrusted: expected true or false, got text");
}

}  // namespace
}  // namespace tucklet::sim
