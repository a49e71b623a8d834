// "--profile" in the whole program: the process entry starts the capture, a termination signal
// ends it through the ordinary termination path, and a length out of range is refused with its
// message while Tucklet starts normally.
#include <string>
#include <vector>

#include "tests/program/program_run.h"

namespace tucklet::programtest {
namespace {

TEST(ProfileSwitches, ASignalFinishesTheCaptureAndABadLengthIsRefused) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto out = scratch.root() / "out";
  const auto report = scratch.root() / "profile" / "report.json";
  {
    Program program(scratch,
                    {"--world", world.string(), "--profile", report.string(), "--profile-seconds",
                     "60", "--sim-out", out.string(), "--sim-state", "ready@1.2"},
                    "profiled");
    ASSERT_TRUE(program.waitForFile(out / "ready.json")) << program.standardError();
    EXPECT_FALSE(fs::exists(report));
    program.signal(SIGTERM);
    EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  }
  ASSERT_TRUE(fs::exists(report)) << "the termination path did not finish the capture";
  const auto json = readState(report);
  EXPECT_EQ(json.value("completed", true), false);
  EXPECT_EQ(json.value("requestedSeconds", 0.0), 60.0);
  EXPECT_GE(json.value("elapsedSeconds", 0.0), 1.2);
  EXPECT_GE(json["heartbeatGapMs"].size(), 30u);
  ASSERT_GE(json["resources"].size(), 2u);
  EXPECT_EQ(json["resources"].front()["elapsedSeconds"], 0.0);
  EXPECT_EQ(json["resources"].back()["elapsedSeconds"], json["elapsedSeconds"]);

  const auto refused = scratch.root() / "refused.json";
  Program program(
      scratch,
      {"--world", world.string(), "--profile", refused.string(), "--profile-seconds", "0.5",
       "--sim-out", out.string(), "--sim-state", "started@0.8", "--sim-quit-after", "1"},
      "refused");
  EXPECT_EQ(program.exitCode(), 0);
  const auto lines = linesOf(program.standardError());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "--profile-seconds must be between 1 and 600"),
            1)
      << program.standardError();
  EXPECT_TRUE(readState(out / "started.json").contains("trusted")) << "no controller";
  EXPECT_FALSE(fs::exists(refused));
}

}  // namespace
}  // namespace tucklet::programtest
