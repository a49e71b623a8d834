// The smoke run and the test commands on the default desktop under virtual time, and the parts of
// the diagnose report that depend on the screen. Commands are handed to the self-test directly;
// tests/program/self_test_test.cpp sends them over the session bus.
#include "diagnostics/self_test.h"
#include "tooling/ux_review.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "inventory/bar_item.h"
#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"

namespace tucklet {
namespace {

namespace fs = std::filesystem;
using testing::TuckletRig;

class SelfTestRun : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tucklet-selftest-" +
              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
              std::to_string(getpid()));
    fs::remove_all(folder);
    report = folder / "report.json";
  }
  void TearDown() override { fs::remove_all(folder); }

  nlohmann::json readReport() const {
    std::ifstream in(report);
    return nlohmann::json::parse(std::string(std::istreambuf_iterator<char>(in), {}), nullptr,
                                 false);
  }
  // Runs a command and tells whether a report was written within `seconds`.
  bool reportWithin(TuckletRig& rig, const std::string& command, double seconds) {
    fs::remove(report);
    rig.controller().selfTest().testCommand(std::string(testCommandPrefix) + command);
    rig.advance(seconds);
    return fs::exists(report);
  }

  fs::path folder;
  fs::path report;
};

TEST_F(SelfTestRun, SmokeChecksPassAndLeaveTheIconSettingsAsTheyWere) {
  auto stored = testing::setUpDefaults();
  stored["symbol"] = std::string("ellipsis");
  stored["showCount"] = false;
  TuckletRig rig(sim::defaultWorld(), stored);
  auto& controller = rig.launch({"--smoke-test", report.string()});
  rig.advance(0.6 + smokeCheckDelay - 0.01);
  EXPECT_TRUE(controller.settingsWindow().windowVisible());
  EXPECT_FALSE(fs::exists(report));
  rig.advance(0.02);

  const auto json = readReport();
  ASSERT_TRUE(json.is_object());
  std::vector<std::string> names;
  for (const auto& check : json["tests"]) {
    names.push_back(check["name"]);
    EXPECT_TRUE(check["passed"].get<bool>()) << check["name"];
    EXPECT_EQ(check.size(), 2u);
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{
                "settings window visible", "status button exists", "visibility engine available",
                "render Quiver icon", "render Tray icon", "render Three dots icon",
                "render Grid icon", "render Chevron icon", "item count preference"}));
  EXPECT_EQ(controller.preferences().symbol(), "ellipsis");
  EXPECT_FALSE(controller.preferences().showCount());
  EXPECT_EQ(controller.statusItem().displayedSymbol(), "ellipsis");
}

TEST_F(SelfTestRun, CommandsActAndReportAfterTheirDelays) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch({"--smoke-test", report.string()});
  rig.advance(3);

  // A plain click: the items menu opens and stays open, and nothing is written.
  EXPECT_FALSE(reportWithin(rig, "picker", 2));
  EXPECT_TRUE(controller.itemsMenu().pickerIsShown());
  EXPECT_FALSE(controller.statusItem().displayedSymbol().empty());
  controller.itemsMenu().cancelMenuTracking();
  rig.advance(0.5);
  EXPECT_FALSE(reportWithin(rig, "popover", 2));
  EXPECT_TRUE(controller.itemsMenu().pickerIsShown());
  controller.itemsMenu().cancelMenuTracking();
  rig.advance(0.5);

  // Only Raycast's item named Obsidian.
  EXPECT_FALSE(reportWithin(rig, "open-obsidian", commandReportDelay - 0.01));
  rig.advance(0.02);
  EXPECT_TRUE(fs::exists(report));
  const auto& opened = controller.opener().lastOpenedItem();
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(opened->name, "Obsidian");
  EXPECT_EQ(ownerBundle(*opened, rig.services().workspace), "com.raycast.macos");
  EXPECT_EQ(readReport()["lastOpenedItem"], displayName(*opened, rig.services().workspace));

  // Dismissing with nothing open still reports, later than the other commands.
  EXPECT_TRUE(reportWithin(rig, "close-menu", 3));
  rig.advance(3);
  EXPECT_TRUE(reportWithin(rig, "reveal", 1));
  EXPECT_FALSE(reportWithin(rig, "close-menu", closeMenuReportDelay - 0.01));
  rig.advance(0.02);
  EXPECT_TRUE(fs::exists(report));

  // The window opens first, then shows the tab.
  controller.settingsWindow().closeSettingsWindow();
  EXPECT_TRUE(reportWithin(rig, "tab-items", commandReportDelay + 0.01));
  EXPECT_TRUE(controller.settingsWindow().windowVisible());
  EXPECT_EQ(controller.settingsTab(), "items");
  EXPECT_EQ(readReport()["settingsTab"], "items");
  EXPECT_TRUE(readReport()["tests"].empty());

  // Waits for the automatic fold.
  EXPECT_FALSE(
      reportWithin(rig, "wait-collapse", controller.preferences().collapseDelay() + 2 - 0.01));
  rig.advance(0.02);
  EXPECT_TRUE(fs::exists(report));
}

TEST_F(SelfTestRun, CommandsDoNothingOutsideTheSmokeTest) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  auto& controller = rig.launch({"--verify", report.string(), "--smoke-test"});
  rig.advance(0.6 + verifyDelay + 0.01);
  EXPECT_TRUE(fs::exists(report));
  EXPECT_FALSE(controller.selfTest().testOutput().has_value());
  EXPECT_FALSE(reportWithin(rig, "diagnose", 2));
}

TEST(DiagnoseReport, WithoutAScreenTheProbeCoversTheDefaultBarAndTheFrameIsUnknown) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  rig.launch();
  rig.advance(1);
  const auto hits = barHitTests(rig.services().accessibility, {});
  ASSERT_FALSE(hits.empty());
  for (const auto& hit : hits) {
    const double x = hit["x"];
    EXPECT_GE(x, 756);
    EXPECT_LT(x, 1512);
    EXPECT_EQ(std::fmod(x - 756, 8), 0);
  }
  EXPECT_EQ(frameFromTop(platform::Rect{1100, 958, 28, 24}, {}), nlohmann::json::object());
  const auto screens = rig.services().screens.screens();
  EXPECT_EQ(frameFromTop(platform::Rect{1100, 958, 28, 24}, screens),
            (nlohmann::json{{"x", 1100}, {"y", 0}, {"width", 28}, {"height", 24}}));
}

}  // namespace
}  // namespace tucklet

namespace tucklet {
namespace {

TEST(UXReviewInput, DragHoldsCommandUnlessTurnedOffAndTakes21Steps) {
  TuckletRig rig(sim::defaultWorld(), testing::setUpDefaults());
  rig.launch();
  rig.advance(1);
  auto& services = rig.services();
  std::vector<platform::InputEvent> seen;
  auto monitor = services.windowServer.addGlobalMonitor(
      platform::eventMaskFor(platform::EventType::LeftMouseDown) |
          platform::eventMaskFor(platform::EventType::LeftMouseDragged) |
          platform::eventMaskFor(platform::EventType::LeftMouseUp),
      [&seen](const platform::InputEvent& event) { seen.push_back(event); });
  platform::Lifetime lifetime;
  const auto folder = fs::temp_directory_path() / ("tucklet-drag-" + std::to_string(getpid()));
  UXReview review(services, lifetime, folder.string(), {});
  for (const bool command : {true, false}) {
    seen.clear();
    review.command(std::string(R"({"action": "drag", "x": 300, "y": 400, "toX": 500, "toY": 600)") +
                   (command ? "}" : R"(, "command": false})"));
    EXPECT_GT(review.lastInputAt(), 0);
    rig.advance(2);
    ASSERT_EQ(seen.size(), 21u);
    EXPECT_EQ(seen.front().type, platform::EventType::LeftMouseDown);
    EXPECT_EQ(seen.back().type, platform::EventType::LeftMouseUp);
    EXPECT_EQ(seen[10].type, platform::EventType::LeftMouseDragged);
    EXPECT_DOUBLE_EQ(seen[10].location.x, 400);
    for (const auto& event : seen)
      EXPECT_EQ((event.modifiers & platform::ModifierCommand) != 0, command);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tucklet
