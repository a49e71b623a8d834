// The updater inside Tucklet under virtual time: whether the bundle's keys and the command line let
// it start, and the schedule of checks with what a scheduled check announces and what a skipped
// version hides.
#include <gtest/gtest.h>

#include <limits>

#include <string>
#include <vector>

#include "platform/sim/world_loader.h"
#include "platform/updates/standard_updater.h"
#include "platform/updates/versions.h"
#include "tests/support/tucklet_rig.h"
#include "tests/updates/update_fakes.h"

namespace tucklet {
namespace {

using testing::TuckletRig;
using namespace updatetest;
namespace updates = platform::updates;

constexpr double day = 86400;
// Seconds between 1970 and 2001, the epoch of property-list dates.
constexpr double referenceDateOffset = 978307200;

class CountingFramework final : public platform::UpdateFramework {
 public:
  explicit CountingFramework(platform::UpdateFramework& inner) : inner_(inner) {}
  int made = 0;
  std::unique_ptr<platform::StandardUpdaterController> makeStandardUpdaterController(
      bool starting, platform::StandardUserDriverDelegate* delegate) override {
    ++made;
    return inner_.makeStandardUpdaterController(starting, delegate);
  }

 private:
  platform::UpdateFramework& inner_;
};

// Tucklet on the simulated desktop with the update framework beside it, its network and windows
// stood in for.
struct UpdaterRig {
  explicit UpdaterRig(sim::World world, platform::PlistDict stored = testing::setUpDefaults())
      : rig(std::move(world), std::move(stored)),
        framework({.runLoop = rig.runLoop,
                   .defaults = rig.defaults,
                   .bundle = rig.desktop().workspace().mainBundle(),
                   .transport = transport,
                   .alerts = alerts,
                   .stagingFolder = "/nonexistent"}) {
    rig.services().updateFramework = &counting;
  }
  AppUpdater& launch(std::vector<std::string> arguments = {}) {
    return rig.launch(std::move(arguments)).updates();
  }
  std::string feed() { return rig.desktop().workspace().mainBundle().infoKeys.at("SUFeedURL"); }
  void serve(const std::vector<Release>& releases) {
    transport.answers[feed()] = {true, appcast(releases), {}};
  }

  TuckletRig rig;
  FakeTransport transport{rig.runLoop};
  ScriptedAlerts alerts{[this](std::function<void()> answer) { rig.runLoop.async(answer); }};
  updates::StandardUpdaterFramework framework;
  CountingFramework counting{framework};
};

// The items menu's update row, as the menu is built when it opens.
platform::MenuRow updateRow(BarController& controller) {
  controller.itemsMenu().buildItemsMenu();
  for (const auto& row : controller.itemsMenu().pickerMenu().rows)
    if (row.title.rfind("Update to ", 0) == 0 || row.title == "Check for Updates…") return row;
  ADD_FAILURE() << "no update row";
  return {};
}

std::string zeros(std::size_t bytes) {
  const std::vector<unsigned char> data(bytes, 0);
  return base64(data.data(), data.size());
}

TEST(VersionOrder, NumbersCompareAsNumbersAndPreReleasesComeFirst) {
  const std::vector<std::pair<std::string, std::string>> older = {
      {"1.9", "1.10"},     {"2", "10"},        {"1.0", "1.0.1"},
      {"2.0b1", "2.0"},    {"2.0b1", "2.0b2"}, {"2.0a9", "2.0b1"},
      {"2.0rc1", "2.0.1"}, {"0.9", "1"},       {"99999999999999999999", "100000000000000000000"},
  };
  for (const auto& [a, b] : older) {
    EXPECT_LT(updates::compareVersions(a, b), 0) << a << " < " << b;
    EXPECT_GT(updates::compareVersions(b, a), 0) << b << " > " << a;
  }
  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
           {"2.0", "2"}, {"2.0.0", "2"}, {"1.02", "1.2"}, {"3", "3"}})
    EXPECT_EQ(updates::compareVersions(a, b), 0) << a << " = " << b;
}

TEST(UpdaterConfiguration, StartsOnlyWithAnHttpsFeedAndA32ByteKeyOutsideTheSelfTests) {
  {
    UpdaterRig valid(sim::defaultWorld());
    auto& updates = valid.launch();
    EXPECT_TRUE(updates.isConfigured());
    EXPECT_TRUE(updates.canCheckForUpdates());
    EXPECT_FALSE(updates.automaticallyChecksForUpdates());
    updates.checkForUpdates();
    EXPECT_EQ(valid.transport.requested, std::vector<std::string>{valid.feed()});
  }

  const auto unpadded = zeros(32).substr(0, 43);
  const std::vector<std::pair<std::string, std::string>> badKeys = {
      {"SUFeedURL", "http://updates.tucklet.example/appcast.xml"},
      {"SUFeedURL", "HTTPS://updates.tucklet.example/appcast.xml"},
      {"SUFeedURL", "https:///appcast.xml"},
      {"SUFeedURL", "https://"},
      {"SUFeedURL", "https://updates tucklet.example/appcast.xml"},
      {"SUFeedURL", ""},
      {"SUPublicEDKey", zeros(31)},
      {"SUPublicEDKey", zeros(33)},
      {"SUPublicEDKey", unpadded},
      {"SUPublicEDKey", " " + zeros(32)},
  };
  for (const auto& [key, value] : badKeys) {
    SCOPED_TRACE(key + " = \"" + value + "\"");
    auto world = sim::defaultWorld();
    world.self.infoKeys[key] = value;
    UpdaterRig rig(world);
    auto& updates = rig.launch();
    EXPECT_FALSE(updates.isConfigured());
    EXPECT_FALSE(updates.canCheckForUpdates());
    EXPECT_EQ(rig.counting.made, 0);
    updates.checkForUpdates();
    rig.rig.advance(2 * day);
    EXPECT_TRUE(rig.transport.requested.empty());
  }
  {
    auto world = sim::defaultWorld();
    world.self.infoKeys.erase("SUPublicEDKey");
    UpdaterRig rig(world);
    EXPECT_FALSE(rig.launch().isConfigured());
  }

  const std::vector<std::vector<std::string>> selfTests = {{"--verify", "report.json"},
                                                           {"--verify"},
                                                           {"--smoke-test", "smoke.json"},
                                                           {"--ux-review", "review"}};
  for (const auto& arguments : selfTests) {
    SCOPED_TRACE(arguments.front());
    UpdaterRig rig(sim::defaultWorld());
    auto& updates = rig.launch(arguments);
    EXPECT_FALSE(updates.isConfigured());
    EXPECT_EQ(rig.counting.made, 0);
    updates.checkForUpdates();
    EXPECT_TRUE(rig.transport.requested.empty());
  }
}

TEST(UpdaterSchedule, ChecksAboutOnceADayWhileAutomaticChecksAreOn) {
  UpdaterRig r(sim::defaultWorld());
  r.serve({{"0.9", "0.9", "https://updates.tucklet.example/0.9.tar.gz", 10, "sig", ""}});
  auto& updates = r.launch();
  int announcements = 0;
  auto subscription = updates.changed.connect([&announcements] { ++announcements; });
  r.rig.advance(2 * day);
  EXPECT_TRUE(r.transport.requested.empty()) << "automatic checks are opt-in";

  updates.setAutomaticallyChecksForUpdates(true);
  EXPECT_TRUE(updates.automaticallyChecksForUpdates());
  EXPECT_EQ(announcements, 1);
  EXPECT_EQ(r.rig.defaults.persistentDomain().at("SUEnableAutomaticChecks"), true);
  r.rig.advance(1.9);
  EXPECT_TRUE(r.transport.requested.empty());
  r.rig.advance(0.2);
  EXPECT_EQ(r.transport.requested.size(), 1u);
  // Nothing newer: a scheduled check says nothing.
  EXPECT_TRUE(r.alerts.messages.empty());
  EXPECT_TRUE(updates.canCheckForUpdates());
  r.rig.advance(day - 1);
  EXPECT_EQ(r.transport.requested.size(), 1u);
  r.rig.advance(2);
  EXPECT_EQ(r.transport.requested.size(), 2u);

  updates.setAutomaticallyChecksForUpdates(false);
  r.rig.advance(3 * day);
  EXPECT_EQ(r.transport.requested.size(), 2u);

  // A launch that finds automatic checks on and the last check 23 hours ago checks an hour later.
  auto stored = testing::setUpDefaults();
  stored["SUEnableAutomaticChecks"] = true;
  UpdaterRig next(sim::defaultWorld(), stored);
  next.rig.defaults.setObject(
      "SULastCheckTime",
      platform::PlistDate{next.rig.runLoop.wallClock() - 23 * 3600 - referenceDateOffset});
  EXPECT_TRUE(next.launch().automaticallyChecksForUpdates());
  next.rig.advance(3599);
  EXPECT_TRUE(next.transport.requested.empty());
  next.rig.advance(2);
  EXPECT_EQ(next.transport.requested.size(), 1u);

  // A damaged last check time (not a number) counts as no check at all.
  UpdaterRig damaged(sim::defaultWorld(), stored);
  damaged.rig.defaults.setObject("SULastCheckTime",
                                 platform::PlistDate{std::numeric_limits<double>::quiet_NaN()});
  damaged.launch();
  damaged.rig.advance(1.9);
  EXPECT_TRUE(damaged.transport.requested.empty());
  damaged.rig.advance(0.2);
  EXPECT_EQ(damaged.transport.requested.size(), 1u);
}

TEST(UpdaterSchedule, AScheduledFindWaitsInTheMenuAndASkippedVersionStaysQuiet) {
  auto stored = testing::setUpDefaults();
  stored["SUEnableAutomaticChecks"] = true;
  UpdaterRig r(sim::defaultWorld(), stored);
  r.serve({{"2", "2.0", "https://updates.tucklet.example/2.0.tar.gz", 10, "sig", ""},
           {"1.5", "1.5", "https://updates.tucklet.example/1.5.tar.gz", 10, "sig", ""}});
  auto& updates = r.launch();
  auto& controller = r.rig.controller();
  EXPECT_EQ(updateRow(controller).title, "Check for Updates…");
  EXPECT_TRUE(updateRow(controller).enabled);
  r.rig.advance(2.5);
  EXPECT_EQ(updates.availableVersion(), "2.0");
  EXPECT_TRUE(r.alerts.offers.empty());
  EXPECT_EQ(r.alerts.checkingShown, 0);
  auto row = updateRow(controller);
  EXPECT_EQ(row.title, "Update to 2.0…");
  EXPECT_TRUE(row.enabled) << "the row that announces it must be usable";

  // The user chooses the row: the announcement goes and the framework shows the update.
  r.alerts.choice = UpdateChoice::SkipThisVersion;
  row.action();
  EXPECT_EQ(updates.availableVersion(), std::nullopt);
  ASSERT_EQ(r.alerts.offers.size(), 1u);
  EXPECT_EQ(r.alerts.offers[0].version, "2.0");
  EXPECT_EQ(r.alerts.offers[0].currentVersion, "1.0");
  row = updateRow(controller);
  EXPECT_EQ(row.title, "Check for Updates…");
  EXPECT_FALSE(row.enabled) << "a session is showing the update";
  r.rig.advance(0.1);
  EXPECT_TRUE(updateRow(controller).enabled);
  EXPECT_EQ(r.rig.defaults.persistentDomain().at("SUSkippedVersion"), "2");

  // A day later the scheduled check passes over the skipped version and announces 1.5, which is
  // still newer than the running 1.0.
  r.rig.advance(day);
  EXPECT_EQ(updateRow(controller).title, "Update to 1.5…");
  // Quitting ends the waiting session.
  r.rig.quit();
  EXPECT_EQ(updates.availableVersion(), std::nullopt);
  EXPECT_FALSE(updates.canCheckForUpdates());
  const auto requests = r.transport.requested.size();
  r.rig.advance(2 * day);
  EXPECT_EQ(r.transport.requested.size(), requests);
}

}  // namespace
}  // namespace tucklet
