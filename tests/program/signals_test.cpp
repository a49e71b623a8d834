// The program ended by SIGTERM, SIGINT or SIGHUP: it leaves through its ordinary termination path
// (both status items removed, every item shown, no visibility assertion), exits with status 0 and
// has stored its defaults as a binary property list.
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "features/feature_codec.h"
#include "platform/host/plist_user_defaults.h"
#include "tests/program/program_run.h"
#include "tests/support/tucklet_rig.h"

namespace tucklet::programtest {
namespace {

bool isOwnItem(const std::string& entry) {
  return entry.rfind("tucklet:", 0) == 0;
}

bool showsOwnItem(const nlohmann::json& state) {
  for (const auto& entry : state.at("shownStatusItems"))
    if (isOwnItem(entry.get<std::string>())) return true;
  return false;
}

// Other applications' items the state lists as shown, right to left.
std::vector<std::string> shownExtras(const nlohmann::json& state) {
  std::vector<std::string> extras;
  for (const auto& entry : state.at("shownStatusItems"))
    if (!isOwnItem(entry.get<std::string>())) extras.push_back(entry.get<std::string>());
  return extras;
}

std::string signalName(int number) {
  switch (number) {
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal" + std::to_string(number);
  }
}

void expectStoredSymbolMigrated(const Scratch& scratch) {
  ASSERT_TRUE(fs::exists(scratch.defaultsFile()));
  EXPECT_EQ(readText(scratch.defaultsFile()).substr(0, 8), "bplist00");
  const auto stored = readPropertyList(scratch.defaultsFile());
  EXPECT_EQ(stored.value("symbol", ""), "tucklet.fold");
  EXPECT_EQ(stored.value("foldIconIntroduced", false), true);
}

class TerminationSignal : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignal, FirstRunLeavesThroughTheTerminationPath) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto out = scratch.root() / "out";
  Program program(scratch,
                  {"--world", world.string(), "--sim-out", out.string(), "--sim-state", "ready@0.3",
                   "--sim-state-on-quit", "quit"},
                  "tucklet");
  ASSERT_TRUE(program.waitForFile(out / "ready.json")) << program.standardError();
  const auto ready = readState(out / "ready.json");
  ASSERT_TRUE(ready.contains("trusted")) << "no controller: " << ready.dump();
  EXPECT_EQ(ready.value("ownStatusItems", 0), 2);
  EXPECT_TRUE(showsOwnItem(ready));

  program.signal(GetParam());
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  ASSERT_TRUE(fs::exists(out / "quit.json")) << "the termination path did not run";
  const auto quit = readState(out / "quit.json");
  EXPECT_EQ(quit.value("ownStatusItems", -1), 0);
  EXPECT_FALSE(showsOwnItem(quit));
  EXPECT_EQ(quit.value("visibilityAssertions", -1), 0);
  EXPECT_EQ(quit.value("collapsed", true), false);
  expectStoredSymbolMigrated(scratch);
}

INSTANTIATE_TEST_SUITE_P(EachSignal, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return signalName(param.param);
                         });

// A second termination signal while the first is being handled (1 ms apart, and then again and
// again until the process is gone) changes nothing: the ordinary path runs once and the exit
// status is 0.
class SecondTerminationSignal : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(SecondTerminationSignal, DoesNotKillTheProgramOnItsWayOut) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto out = scratch.root() / "out";
  Program program(scratch,
                  {"--world", world.string(), "--sim-out", out.string(), "--sim-state", "ready@0.3",
                   "--sim-state-on-quit", "quit"},
                  "tucklet");
  ASSERT_TRUE(program.waitForFile(out / "ready.json")) << program.standardError();
  program.signal(GetParam().first);
  const auto deadline = std::chrono::steady_clock::now() + hangGuard;
  while (program.running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    program.signal(GetParam().second);
  }
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  const auto quit = readState(out / "quit.json");
  EXPECT_EQ(quit.value("ownStatusItems", -1), 0);
  EXPECT_EQ(quit.value("visibilityAssertions", -1), 0);
}

INSTANTIATE_TEST_SUITE_P(Pairs, SecondTerminationSignal,
                         ::testing::Values(std::pair{SIGTERM, SIGTERM}, std::pair{SIGINT, SIGHUP}),
                         [](const ::testing::TestParamInfo<std::pair<int, int>>& param) {
                           return signalName(param.param.first) + "Then" +
                                  signalName(param.param.second);
                         });

TEST(TerminationSignalWhileCollapsed, EveryItemIsShownAgain) {
  Scratch scratch;
  const auto worldFile = scratch.writeWorld("world.json");
  {
    platform::PlistUserDefaults stored(scratch.bundle(), scratch.defaults().string());
    stored.setObject("setupComplete", true);
  }
  const auto out = scratch.root() / "out";
  Program program(scratch,
                  {"--world", worldFile.string(), "--sim-out", out.string(), "--sim-state",
                   "collapsed@4", "--sim-state-on-quit", "quit"},
                  "tucklet");
  ASSERT_TRUE(program.waitForFile(out / "collapsed.json")) << program.standardError();
  const auto collapsed = readState(out / "collapsed.json");
  ASSERT_EQ(collapsed.value("collapsed", false), true) << collapsed.dump();
  EXPECT_EQ(collapsed.value("visibilityAssertions", 0), 1);

  program.signal(SIGTERM);
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  ASSERT_TRUE(fs::exists(out / "quit.json")) << "the termination path did not run";
  const auto quit = readState(out / "quit.json");
  EXPECT_EQ(quit.value("ownStatusItems", -1), 0);
  EXPECT_EQ(quit.value("visibilityAssertions", -1), 0);

  auto loaded = sim::loadWorldFile(worldFile.string());
  ASSERT_TRUE(std::holds_alternative<sim::World>(loaded));
  const testing::TuckletRig withoutTucklet(std::get<sim::World>(std::move(loaded)));
  auto everything = withoutTucklet.shownExtras();
  // The state file names an item with neither identifier nor title "?".
  for (auto& extra : everything)
    if (extra.empty()) extra = "?";
  EXPECT_LT(shownExtras(collapsed).size(), everything.size());
  EXPECT_EQ(quit.at("shownStatusItems").get<std::vector<std::string>>(), everything);
  expectStoredSymbolMigrated(scratch);
}

// A rule's preset is in force when the signal comes: the defaults file keeps the user's own
// visibility settings.
TEST(TerminationSignalWhileARuleHolds, StoresTheUsersOwnSettings) {
  Scratch scratch;
  // Finder is the active application of the default world.
  const auto worldFile = scratch.writeWorld("world.json");
  FeatureConfiguration features;
  VisibilityPreset preset;
  preset.name = "Finder";
  preset.bundles = {"md.obsidian"};
  features.presets = {preset};
  AutomationRule rule;
  rule.value = "com.apple.finder";
  rule.presetID = preset.id;
  features.rules = {rule};
  const auto json = encodeFeatureConfiguration(features);
  ASSERT_TRUE(json);
  {
    platform::PlistUserDefaults stored(scratch.bundle(), scratch.defaults().string());
    stored.setObject("setupComplete", true);
    stored.setObject("visibleBundles", platform::PlistArray{"com.getdropbox.dropbox"});
    stored.setObject("features", platform::PlistData(json->begin(), json->end()));
  }
  const auto out = scratch.root() / "out";
  Program program(scratch,
                  {"--world", worldFile.string(), "--sim-out", out.string(), "--sim-state",
                   "ruled@3"},
                  "tucklet");
  ASSERT_TRUE(program.waitForFile(out / "ruled.json")) << program.standardError();
  const auto ruled = readState(out / "ruled.json");
  EXPECT_EQ(ruled.at("features").value("automaticPreset", ""), "Finder") << ruled.dump();
  EXPECT_EQ(ruled.at("features").at("visibleBundles"), nlohmann::json::array({"md.obsidian"}));

  program.signal(SIGTERM);
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  const auto stored = readPropertyList(scratch.defaultsFile());
  EXPECT_EQ(stored.at("visibleBundles"), nlohmann::json::array({"com.getdropbox.dropbox"}));
}

}  // namespace
}  // namespace tucklet::programtest
