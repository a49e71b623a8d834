// "--ux-review": requests sent with dbus-send on the test's private session bus, captures and
// records written into the review folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/host/plist_user_defaults.h"
#include "tests/program/program_run.h"

namespace tucklet::programtest {
namespace {

void sendRequest(const std::string& json) {
  std::string quoted;
  for (char c : json) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  const std::string line =
      "dbus-send --session --type=signal /org/tucklet/DistributedNotificationCenter "
      "org.tucklet.DistributedNotificationCenter.Notification string:local.quenby.Quiverly.ux "
      "string:json 'string:" +
      quoted + "'";
  ASSERT_EQ(std::system(line.c_str()), 0) << line;
}

nlohmann::json readRecord(const fs::path& path) {
  return nlohmann::json::parse(readText(path), nullptr, false);
}

TEST(UXReview, CapturesTheTopRightWithARecordAndIgnoresMalformedRequests) {
  Scratch scratch;
  const auto world = scratch.writeWorld(
      "world.json", [](nlohmann::json& w) { w["screenCaptureApproved"] = true; });
  {
    // Set up already: a first run would show the welcome screen over the menu bar.
    platform::PlistUserDefaults stored(scratch.bundle(), scratch.defaults().string());
    stored.setObject("setupComplete", true);
  }
  const auto out = scratch.root() / "review";
  Program program(scratch, {"--world", world.string(), "--ux-review", out.string()}, "review");
  ASSERT_TRUE(program.waitForFile(out)) << program.standardError();

  // Malformed first: none of these may write anything or end the program.
  for (const auto* bad :
       {R"(not json)", R"([1, 2])", R"({"name": "code", "action": "key",
      "code": 65536})",
        R"({"name": "amount", "action": "scroll", "amount": 2147483648})",
        R"({"name": "type", "x": "left"})", R"({"name": "unknown", "action": "dance"})"})
    sendRequest(bad);

  // Only a name: a capture after the default delay, no input.
  sendRequest(R"({"name": "first/look"})");
  ASSERT_TRUE(program.waitForFile(out / "first-look.json")) << program.standardError();
  const auto look = readRecord(out / "first-look.json");
  EXPECT_TRUE(fs::exists(out / "first-look.png"));
  EXPECT_EQ(look.size(), 8u) << look.dump(2);
  EXPECT_EQ(look["ok"], true);
  EXPECT_EQ(look["name"], "first-look");
  EXPECT_EQ(look["inputAt"], 0);
  // 1512 points wide: the crop starts 760 from the right.
  EXPECT_EQ(look["crop"], "{{752, 0}, {760, 700}}");
  EXPECT_EQ(look["state"].size(), 21u);
  EXPECT_EQ(look["state"]["pickerShown"], false);
  EXPECT_FALSE(look["hits"].empty());

  // A click on the icon opens the items menu; the record says so and carries the input time.
  const auto icon = look["state"]["iconFrame"];
  const double x = icon["x"].get<double>() + icon["width"].get<double>() / 2;
  sendRequest(R"({"action": "click", "name": "open", "y": 12, "x": )" + std::to_string(x) + "}");
  ASSERT_TRUE(program.waitForFile(out / "open.json")) << program.standardError();
  const auto open = readRecord(out / "open.json");
  EXPECT_EQ(open["state"]["pickerShown"], true);
  EXPECT_GT(open["inputAt"].get<double>(), 0);
  EXPECT_LT(open["inputAt"].get<double>(), open["capturedAt"].get<double>());
  for (const auto* name : {"code", "amount", "type", "unknown"})
    EXPECT_FALSE(fs::exists(out / (std::string(name) + ".json"))) << name;

  // A key press (Escape by default) still captures.
  sendRequest(R"({"action": "key", "name": "escape"})");
  ASSERT_TRUE(program.waitForFile(out / "escape.json"));
  // A crop no picture can hold fails with the short record; a NUL in the name does not cut it.
  sendRequest(R"({"name": "huge\u0000crop", "cropX": -1e300, "width": 1e9, "height": 1e9})");
  ASSERT_TRUE(program.waitForFile(out / "huge-crop.json")) << program.standardError();
  const auto huge = readRecord(out / "huge-crop.json");
  EXPECT_EQ(huge["ok"], false) << huge.dump(2);
  EXPECT_EQ(huge["error"], "The capture rectangle is not valid");
  EXPECT_FALSE(fs::exists(out / "huge.json"));
  program.signal(SIGTERM);
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();

  // Without approval the capture fails with the short record.
  const auto refused = scratch.writeWorld("refused.json");
  const auto second = scratch.root() / "refused";
  Program denied(scratch, {"--world", refused.string(), "--ux-review", second.string()}, "denied");
  ASSERT_TRUE(denied.waitForFile(second)) << denied.standardError();
  sendRequest(R"({"name": "denied"})");
  ASSERT_TRUE(denied.waitForFile(second / "denied.json")) << denied.standardError();
  const auto record = readRecord(second / "denied.json");
  EXPECT_EQ(record.size(), 4u) << record.dump(2);
  EXPECT_EQ(record["ok"], false);
  EXPECT_EQ(record["screenCaptureApproved"], false);
  EXPECT_FALSE(record["error"].get<std::string>().empty());
  EXPECT_FALSE(fs::exists(second / "denied.png"));
  denied.signal(SIGTERM);
  EXPECT_EQ(denied.exitCode(), 0);

  // A display narrower than the crop: it starts at the display's left edge.
  const auto narrowWorld = scratch.writeWorld("narrow.json", [](nlohmann::json& w) {
    w["screenCaptureApproved"] = true;
    w["screens"][0]["frame"]["width"] = 700;
  });
  const auto third = scratch.root() / "narrow";
  Program narrow(scratch, {"--world", narrowWorld.string(), "--ux-review", third.string()},
                 "narrow");
  ASSERT_TRUE(narrow.waitForFile(third)) << narrow.standardError();
  sendRequest(R"({"name": "narrow"})");
  ASSERT_TRUE(narrow.waitForFile(third / "narrow.json")) << narrow.standardError();
  EXPECT_EQ(readRecord(third / "narrow.json")["crop"], "{{0, 0}, {760, 700}}");
  narrow.signal(SIGTERM);
  EXPECT_EQ(narrow.exitCode(), 0);
}

}  // namespace
}  // namespace tucklet::programtest
