// The performance capture under virtual time: which switches start it, the report it writes when
// its time is up or the application quits first, and what it does when it cannot measure or write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/host/process_metrics.h"
#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"
#include "tooling/performance_capture.h"

namespace tucklet {
namespace {

namespace fs = std::filesystem;
using testing::TuckletRig;

constexpr const char* secondsMessage = "--profile-seconds must be between 1 and 600\n";

class NoMetrics final : public platform::ProcessMetrics {
 public:
  std::optional<platform::ProcessResourceUsage> resourceUsage() const override {
    return std::nullopt;
  }
  double secondsPerTick() const override { return 1e-6; }
  long processId() const override { return 1; }
};

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A launched Tucklet, the real accounting of this process, and a capture of it.
class CaptureTest : public ::testing::Test {
 protected:
  CaptureTest()
      : folder_(fs::temp_directory_path() / ("tucklet-capture-" + std::to_string(getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    rig_.launch();
  }
  ~CaptureTest() override {
    if (errors_) std::fclose(errors_);
    fs::remove_all(folder_);
  }

  std::unique_ptr<PerformanceCapture> start(std::vector<std::string> arguments,
                                            platform::ProcessMetrics* metrics = nullptr) {
    return PerformanceCapture::fromArguments(Arguments(std::move(arguments)),
                                             {.platform = rig_.services(),
                                              .metrics = metrics ? *metrics : metrics_,
                                              .visibleWindowCount = [] { return 0; },
                                              .errors = errors_});
  }
  std::string errors() {
    std::fflush(errors_);
    std::rewind(errors_);
    std::string text;
    for (int c; (c = std::fgetc(errors_)) != EOF;)
      text.push_back(static_cast<char>(c));
    return text;
  }
  nlohmann::json report(const fs::path& path) {
    auto json = nlohmann::json::parse(readText(path), nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << readText(path);
    return json;
  }

  TuckletRig rig_{sim::defaultWorld(), testing::setUpDefaults()};
  platform::LinuxProcessMetrics metrics_;
  fs::path folder_;
  std::FILE* errors_ = std::tmpfile();
};

TEST_F(CaptureTest, ProfileSecondsTakesOneTo600AndNothingElse) {
  const auto out = (folder_ / "p.json").string();
  for (const std::string bad : {"0.5", "601", "abc", "nan", "inf", "1e3", " 5", "5s", "0x10", ""}) {
    SCOPED_TRACE("--profile-seconds \"" + bad + "\"");
    EXPECT_EQ(start({"--profile", out, "--profile-seconds", bad}), nullptr);
    EXPECT_EQ(errors(), secondsMessage);
    std::fclose(std::exchange(errors_, std::tmpfile()));
  }
  // Nothing after the switch.
  EXPECT_EQ(start({"--profile", out, "--profile-seconds"}), nullptr);
  EXPECT_EQ(errors(), secondsMessage);
  std::fclose(std::exchange(errors_, std::tmpfile()));

  const std::pair<std::vector<std::string>, double> accepted[] = {
      {{"--profile", out, "--profile-seconds", "1"}, 1},
      {{"--profile", out, "--profile-seconds", "600"}, 600},
      {{"--profile-seconds", "+1.25e1", "--profile", out}, 12.5},
      {{"--profile", out}, 30},
  };
  for (const auto& [arguments, seconds] : accepted) {
    const auto capture = start(arguments);
    ASSERT_NE(capture, nullptr) << arguments.back();
    EXPECT_EQ(capture->requestedSeconds(), seconds);
    EXPECT_FALSE(capture->opensOnboarding());
  }
  EXPECT_TRUE(start({"--profile", out, "--profile-onboarding"})->opensOnboarding());

  // Without "--profile" and its path there is no capture, and a length nobody asked for is not
  // judged.
  EXPECT_EQ(start({"--profile-seconds", "0.5"}), nullptr);
  EXPECT_EQ(start({"--profile-seconds", "5", "--profile-onboarding"}), nullptr);
  EXPECT_EQ(start({"--profile-seconds", "5", "--profile"}), nullptr);
  EXPECT_EQ(errors(), "");
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(CaptureTest, TheReportIsWrittenOnceWhenTheTimeIsUp) {
  const auto path = folder_ / "deep" / "er" / "report.json";
  const auto timers = rig_.runLoop.liveTimerCount();
  auto capture = start({"--profile", path.string(), "--profile-seconds", "2"});
  ASSERT_NE(capture, nullptr);
  EXPECT_EQ(rig_.runLoop.liveTimerCount(), timers + 1);
  rig_.advance(1.9);
  EXPECT_FALSE(fs::exists(path));
  rig_.advance(0.2);
  ASSERT_TRUE(fs::exists(path));
  EXPECT_TRUE(capture->finished());
  EXPECT_EQ(rig_.runLoop.liveTimerCount(), timers);

  const auto text = readText(path);
  const auto json = report(path);
  std::vector<std::string> keys;
  const auto inFileOrder = nlohmann::ordered_json::parse(text);
  for (auto it = inFileOrder.begin(); it != inFileOrder.end(); ++it)
    keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "accessibilityTrusted", "appVersion", "completed", "cpuSecondsPerMachTick",
                      "elapsedSeconds", "heartbeatGapMs", "heartbeatTargetMs", "osVersion", "pid",
                      "requestedSeconds", "resources", "schemaVersion"}));
  EXPECT_NE(text.find("\n  \"appVersion\": \"1.0\",\n"), std::string::npos) << "not pretty-printed";
  EXPECT_EQ(json["schemaVersion"], 1);
  EXPECT_EQ(json["pid"], getpid());
  EXPECT_EQ(json["osVersion"], "Version 27.0");
  EXPECT_EQ(json["accessibilityTrusted"], true);
  EXPECT_EQ(json["requestedSeconds"], 2.0);
  EXPECT_EQ(json["completed"], true);
  EXPECT_EQ(json["cpuSecondsPerMachTick"], 1e-6);
  EXPECT_EQ(json["heartbeatTargetMs"], 16.666666666666668);
  const double elapsed = json["elapsedSeconds"];
  EXPECT_GE(elapsed, 2.0);
  EXPECT_LT(elapsed, 2.0 + 1.0 / 60 + 1e-9);

  // Virtual time keeps the beat exactly: one gap per sixtieth of a second.
  const auto& gaps = json["heartbeatGapMs"];
  EXPECT_EQ(gaps.size(), 120u);
  for (const auto& gap : gaps)
    EXPECT_NEAR(gap.get<double>(), 1000.0 / 60, 1e-6);

  // The first sample at the start, one a second, and the final one at the end.
  const auto& resources = json["resources"];
  ASSERT_GE(resources.size(), 3u);
  EXPECT_EQ(resources.front()["elapsedSeconds"], 0.0);
  EXPECT_NEAR(resources[1]["elapsedSeconds"].get<double>(), 1.0, 1.0 / 60 + 1e-9);
  EXPECT_EQ(resources.back()["elapsedSeconds"], elapsed);
  for (const auto& sample : resources) {
    EXPECT_EQ(sample.size(), 7u);
    EXPECT_GT(sample["cpuSeconds"].get<double>(), 0);
    EXPECT_GT(sample["residentBytes"].get<std::uint64_t>(), 0u);
    EXPECT_GT(sample["physicalFootprintBytes"].get<std::uint64_t>(), 0u);
    EXPECT_LE(sample["physicalFootprintBytes"], sample["residentBytes"]);
    EXPECT_TRUE(sample["diskReadBytes"].is_number_unsigned());
    EXPECT_TRUE(sample["diskWriteBytes"].is_number_unsigned());
    EXPECT_EQ(sample["visibleWindowCount"], 0);
  }

  // Finished is finished: neither more time nor the application's end writes it again.
  fs::remove(path);
  rig_.advance(3);
  capture->applicationWillTerminate();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(errors(), "");
}

TEST_F(CaptureTest, QuittingEarlyWritesTheFirstAndTheFinalSample) {
  const auto path = folder_ / "early.json";
  auto capture = start({"--profile", path.string(), "--profile-seconds", "30"});
  rig_.advance(2.5);
  capture->applicationWillTerminate();
  const auto json = report(path);
  EXPECT_EQ(json["completed"], false);
  EXPECT_EQ(json["requestedSeconds"], 30.0);
  EXPECT_DOUBLE_EQ(json["elapsedSeconds"].get<double>(), 2.5);
  const auto& resources = json["resources"];
  ASSERT_GE(resources.size(), 2u);
  EXPECT_EQ(resources.front()["elapsedSeconds"], 0.0);
  EXPECT_DOUBLE_EQ(resources.back()["elapsedSeconds"].get<double>(), 2.5);
  EXPECT_EQ(json["heartbeatGapMs"].size(), 150u);
}

TEST_F(CaptureTest, WhatCannotBeMeasuredOrWrittenIsReported) {
  // The accounting does not answer: no samples, the heartbeat goes on.
  NoMetrics none;
  const auto unmeasured = folder_ / "unmeasured.json";
  const auto first = start({"--profile", unmeasured.string(), "--profile-seconds", "1"}, &none);
  rig_.advance(1.1);
  const auto json = report(unmeasured);
  EXPECT_EQ(json["resources"], nlohmann::json::array());
  EXPECT_EQ(json["heartbeatGapMs"].size(), 60u);
  EXPECT_EQ(errors(), "");

  // A file stands where the report's folder should be.
  std::ofstream(folder_ / "occupied") << "x";
  const auto unwritable = folder_ / "occupied" / "report.json";
  const auto second = start({"--profile", unwritable.string(), "--profile-seconds", "1"});
  rig_.advance(1.1);
  const auto text = errors();
  EXPECT_EQ(text.rfind("Performance capture failed: ", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(text.back(), '\n');
  EXPECT_FALSE(fs::exists(unwritable));
}

}  // namespace
}  // namespace tucklet
