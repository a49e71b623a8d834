// A timeline run by the whole program (examples/trust-revoked.json): two Option-clicks on the
// Tucklet icon reveal and fold the items, Accessibility trust is revoked about five seconds after
// the first collapse, and the state file then shows what a person would see: every item back on
// screen, Tucklet's own item with its picture and tool tip, and the notice.
#include <string>

#include "platform/host/plist_user_defaults.h"
#include "tests/program/program_run.h"

namespace tucklet::programtest {
namespace {

TEST(ProgramTimeline, TrustRevokedAfterTheCollapseBringsEveryItemBackWithTheNotice) {
  Scratch scratch;
  // The example as it is, under this test's own bundle identifier.
  auto world = nlohmann::json::parse(
      readText(fs::path(TUCKLET_SOURCE_DIR) / "examples" / "trust-revoked.json"));
  world["self"]["identifier"] = scratch.bundle();
  const auto worldFile = scratch.root() / "trust-revoked.json";
  writeText(worldFile, world.dump(2));
  {
    platform::PlistUserDefaults stored(scratch.bundle(), scratch.defaults().string());
    stored.setObject("setupComplete", true);
  }
  const auto out = scratch.root() / "out";
  Program program(scratch,
                  {"--world", worldFile.string(), "--sim-out", out.string(), "--sim-state",
                   "collapsed@3.5", "--sim-state", "after@8", "--sim-quit-after", "9"},
                  "tucklet");
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  EXPECT_EQ(program.standardError().find("tucklet:"), std::string::npos)
      << "every step found its target: " << program.standardError();

  const auto collapsed = readState(out / "collapsed.json");
  ASSERT_EQ(collapsed.value("collapsed", false), true) << collapsed.dump();
  std::size_t hidden = 0;
  for (const auto& entry : collapsed.at("menuBar"))
    if (entry.at("hidden").get<bool>()) ++hidden;
  EXPECT_GT(hidden, 0u);

  const auto after = readState(out / "after.json");
  EXPECT_EQ(after.value("collapsed", true), false);
  EXPECT_EQ(after.value("trusted", true), false);
  EXPECT_EQ(after.value("visibilityAssertions", -1), 0);
  EXPECT_EQ(after.value("message", ""),
            "Accessibility access was removed. Icons have been restored.");
  for (const auto& entry : after.at("menuBar")) {
    EXPECT_FALSE(entry.at("hidden").get<bool>()) << entry.dump();
    EXPECT_TRUE(entry.at("frame").is_object()) << entry.dump();
  }
  // Tucklet's own item, as a person sees it: where it is, its picture and tool tip.
  bool toggleSeen = false;
  for (const auto& item : after.at("statusItems")) {
    if (item.at("autosaveName") != "QuiverlyToggle") continue;
    toggleSeen = true;
    EXPECT_TRUE(item.at("frame").is_object()) << item.dump();
    EXPECT_FALSE(item.at("image").get<std::string>().empty()) << item.dump();
    EXPECT_FALSE(item.at("toolTip").get<std::string>().empty()) << item.dump();
  }
  EXPECT_TRUE(toggleSeen) << after.dump();
  // Before trust went, the listed items carried the names the menu shows.
  ASSERT_FALSE(collapsed.at("listed").empty());
  for (const auto& item : collapsed.at("listed"))
    EXPECT_FALSE(item.at("displayName").get<std::string>().empty()) << item.dump();
}

// A first launch (examples/first-run.json, nothing stored): the welcome screen's default button
// "Grant permission", then Tucklet's switch in System Settings' Accessibility list; onboarding
// finishes with the setup run, which folds the bar and is remembered in the defaults file.
TEST(ProgramTimeline, FirstRunFromWelcomeToTheFoldedBar) {
  Scratch scratch;
  auto world =
      nlohmann::json::parse(readText(fs::path(TUCKLET_SOURCE_DIR) / "examples" / "first-run.json"));
  world["self"]["identifier"] = scratch.bundle();
  const auto worldFile = scratch.root() / "first-run.json";
  writeText(worldFile, world.dump(2));
  const auto out = scratch.root() / "out";
  Program program(
      scratch,
      {"--world", worldFile.string(), "--sim-out", out.string(), "--sim-state", "welcome@3",
       "--sim-do", "pressKey return@3.5", "--sim-do", R"(click {"settingsSwitch": "Tucklet"}@5.5)",
       "--sim-state", "done@9", "--sim-quit-after", "9.5"},
      "tucklet");
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  EXPECT_EQ(program.standardError().find("tucklet:"), std::string::npos)
      << "every step found its target: " << program.standardError();

  const auto welcome = readState(out / "welcome.json");
  EXPECT_EQ(welcome.value("trusted", true), false);
  EXPECT_EQ(welcome.value("collapsed", true), false);
  const auto done = readState(out / "done.json");
  EXPECT_EQ(done.value("trusted", false), true);
  EXPECT_EQ(done.value("collapsed", false), true) << done.dump();
  EXPECT_EQ(done.value("visibilityAssertions", 0), 1);
  platform::PlistUserDefaults stored(scratch.bundle(), scratch.defaults().string());
  EXPECT_TRUE(stored.boolForKey("setupComplete"));
}

}  // namespace
}  // namespace tucklet::programtest
