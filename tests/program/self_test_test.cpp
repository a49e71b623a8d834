// "--verify", "--smoke-test" and the test commands, run as the whole program on the test's private
// session bus (scripts/test runs everything under dbus-run-session). Commands are sent with
// dbus-send, exactly as the README tells a user to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/host/plist_user_defaults.h"
#include "tests/program/program_run.h"

namespace tucklet::programtest {
namespace {

nlohmann::json readReport(const fs::path& path) {
  return nlohmann::json::parse(readText(path), nullptr, false);
}

// Sends one test command the way a user does.
void sendCommand(const std::string& command) {
  const std::string line =
      "dbus-send --session --type=signal /org/tucklet/DistributedNotificationCenter "
      "org.tucklet.DistributedNotificationCenter.Notification "
      "string:local.quenby.Quiverly.test." +
      command;
  ASSERT_EQ(std::system(line.c_str()), 0) << line;
}

// Waits for the report to be written again after `command`.
nlohmann::json reportAfter(Program& program, const fs::path& report, const std::string& command) {
  fs::remove(report);
  sendCommand(command);
  EXPECT_TRUE(program.waitForFile(report)) << command << ": " << program.standardError();
  return readReport(report);
}

TEST(Verify, WritesTheWholeReportOnceShortlyAfterStartUp) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto report = scratch.root() / "verify" / "report.json";
  {
    Program program(scratch, {"--world", world.string(), "--verify", report.string()}, "verify");
    ASSERT_TRUE(program.waitForFile(report)) << program.standardError();
    program.signal(SIGTERM);
  }
  const auto json = readReport(report);
  const auto isNumber = [](const nlohmann::json& v) { return v.is_number(); };
  const std::map<std::string, std::function<bool(const nlohmann::json&)>> expected = {
      {"os", &nlohmann::json::is_string},
      {"accessibility", &nlohmann::json::is_boolean},
      {"currentAccessibilityTrust", &nlohmann::json::is_boolean},
      {"permissionHandoffActive", &nlohmann::json::is_boolean},
      {"tests", &nlohmann::json::is_array},
      {"layoutValid", &nlohmann::json::is_boolean},
      {"nativeVisibility", &nlohmann::json::is_boolean},
      {"bundleIdentifier", &nlohmann::json::is_string},
      {"runningBundleIdentifier", &nlohmann::json::is_string},
      {"statusItemVisible", &nlohmann::json::is_boolean},
      {"barHitTests", &nlohmann::json::is_array},
      {"pid", isNumber},
      {"statusFrame", &nlohmann::json::is_object},
      {"collapsed", &nlohmann::json::is_boolean},
      {"message", &nlohmann::json::is_string},
      {"setupComplete", &nlohmann::json::is_boolean},
      {"popoverVisible", &nlohmann::json::is_boolean},
      {"pickerVisible", &nlohmann::json::is_boolean},
      {"pickerType", &nlohmann::json::is_string},
      {"activeItem", &nlohmann::json::is_string},
      {"activeMenuOpen", &nlohmann::json::is_boolean},
      {"activeUIVisible", &nlohmann::json::is_boolean},
      {"latency", &nlohmann::json::is_object},
      {"statusSelected", &nlohmann::json::is_boolean},
      {"statusHighlighted", &nlohmann::json::is_boolean},
      {"appRowsHaveSubmenus", &nlohmann::json::is_boolean},
      {"lastOpenedItem", &nlohmann::json::is_string},
      {"lastOpenedBeforeWindows", &nlohmann::json::is_array},
      {"lastOpenedOwnerWindows", &nlohmann::json::is_array},
      {"activeWindows", &nlohmann::json::is_array},
      {"activeWindowIDs", &nlohmann::json::is_array},
      {"activeOwnerWindows", &nlohmann::json::is_array},
      {"settingsTab", &nlohmann::json::is_string},
      {"settingsVisible", &nlohmann::json::is_boolean},
      {"visibilityAssertionActive", &nlohmann::json::is_boolean},
      {"menuWindows", &nlohmann::json::is_array},
      {"toggleFrame", &nlohmann::json::is_string},
      {"boundaryFrame", &nlohmann::json::is_string},
      {"screens", &nlohmann::json::is_array},
      {"quiverItems", &nlohmann::json::is_array},
      {"inventory", &nlohmann::json::is_array},
      {"hiddenCount", isNumber},
  };
  ASSERT_EQ(expected.size(), 42u);
  ASSERT_TRUE(json.is_object()) << readText(report);
  std::set<std::string> keys;
  for (const auto& [key, value] : json.items())
    keys.insert(key);
  std::set<std::string> expectedKeys;
  for (const auto& [key, check] : expected) {
    expectedKeys.insert(key);
    if (json.contains(key)) EXPECT_TRUE(check(json[key])) << key << ": " << json[key].dump();
  }
  EXPECT_EQ(keys, expectedKeys);
  EXPECT_EQ(json["tests"], nlohmann::json::array());
  EXPECT_EQ(json["popoverVisible"], json["pickerVisible"]);
  EXPECT_EQ(json["statusFrame"].size(), 4u);
  EXPECT_FALSE(json["inventory"].empty());
  const auto& first = json["inventory"][0];
  for (const char* key : {"id", "name", "app", "pid", "protected", "frame", "accessibility"})
    EXPECT_TRUE(first.contains(key)) << key;
  EXPECT_TRUE(first["accessibility"].contains("children"));
  // Sorted and pretty-printed: the first key opens the second line.
  EXPECT_EQ(linesOf(readText(report)).at(1).substr(0, 17), "  \"accessibility\"");
}

TEST(SmokeTest, ChecksPassThenCommandsArriveOverTheSessionBus) {
  Scratch scratch;
  {
    platform::PlistUserDefaults stored(scratch.bundle(), scratch.defaults().string());
    stored.setObject("setupComplete", true);
  }
  const auto world = scratch.writeWorld("world.json");
  const auto report = scratch.root() / "smoke" / "report.json";
  Program program(scratch, {"--world", world.string(), "--smoke-test", report.string()}, "smoke");
  ASSERT_TRUE(program.waitForFile(report)) << program.standardError();
  const auto smoke = readReport(report);
  ASSERT_EQ(smoke["tests"].size(), 9u) << smoke.dump(2);
  for (const auto& check : smoke["tests"])
    EXPECT_TRUE(check["passed"].get<bool>()) << check;

  const auto tab = reportAfter(program, report, "tab-about");
  EXPECT_EQ(tab["settingsTab"], "about");
  EXPECT_TRUE(tab["tests"].empty());
  sendCommand("quit");
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
}

}  // namespace
}  // namespace tucklet::programtest
