// World files built to hurt the loader: nesting that made the JSON path kept per level grow with
// the square of the depth, lists of objects the callback parser revisited, numbers no double
// holds, files that are no files, and names that would break the one-line error. Each ends in one
// line naming the place, or loads; the inputs are made here, small.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/sim/world_json_reader.h"
#include "platform/sim/world_loader.h"

namespace tucklet::sim {
namespace {

namespace fs = std::filesystem;

constexpr const char* kScreens =
    R"("screens": [{"frame": {"x": 0, "y": 0, "width": 1440, "height": 900}}])";

std::string errorOf(const std::string& text, const std::string& file = "my.json") {
  WorldResult result = parseWorld(text, file);
  if (auto* error = std::get_if<WorldError>(&result)) return error->describe();
  return "loaded";
}

std::string fileErrorOf(const fs::path& path) {
  WorldResult result = loadWorldFile(path.string());
  if (auto* error = std::get_if<WorldError>(&result)) return error->describe();
  return "loaded";
}

TEST(WorldLimits, ShapesThatUsedToCostTooMuchEndInOneLineOrLoad) {
  // A hundred thousand levels in 200 KB: refused where the limit is passed.
  const std::string deep =
      "{\"name\": " + std::string(100'000, '[') + std::string(100'000, ']') + "}";
  std::string expected = "my.json: name";
  for (std::size_t level = 1; level < world_json::kMaxNestingDepth; ++level)
    expected += "[0]";
  EXPECT_EQ(errorOf(deep), expected + ": nested deeper than 256 levels");

  // Two hundred thousand objects in a list load in one pass (the parser's callback revisited the
  // list at the end of each).
  std::string many = std::string("{") + kScreens + ", \"installed\": [";
  for (int i = 0; i < 200'000; ++i)
    many += std::string(i ? "," : "") + "{\"path\": \"/A" + std::to_string(i) + ".app\"}";
  WorldResult loaded = parseWorld(many + "]}", "many.json");
  ASSERT_TRUE(std::holds_alternative<World>(loaded)) << std::get<WorldError>(loaded).describe();
  EXPECT_EQ(std::get<World>(loaded).installed.size(), 200'000u);

  // A number no double can hold names its place, not the library's exception.
  EXPECT_EQ(errorOf(std::string("{") + kScreens + ", \"apps\": [{\"pid\": 1e400}]}"),
            "my.json: apps[0].pid: number too large: 1e400");
  EXPECT_EQ(errorOf(std::string("{") + kScreens + ", \"pointer\": {\"x\": 1, \"y\": -2e999}}"),
            "my.json: pointer.y: number too large: -2e999");

  // Control characters in a key, a text quoted back or the file name stay on the one line.
  EXPECT_EQ(errorOf(std::string("{") + kScreens + ", \"ti\\ntle\\u0001\": 1}", "a\tb\n.json"),
            "a\\tb\\n.json: ti\\ntle\\x01: unknown key");
  const auto line = errorOf(std::string("{") + kScreens + R"(, "loginItemStatus": "on\r\n"})");
  EXPECT_EQ(line.find('\n'), std::string::npos) << line;
  EXPECT_NE(line.find("\"on\\r\\n\""), std::string::npos) << line;
}

TEST(WorldLimits, OnlyARegularFileOfBoundedSizeIsRead) {
  std::string pattern = (fs::temp_directory_path() / "tucklet-world-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;

  // A FIFO without a writer would block an ordinary read for ever; a device would never end.
  const auto fifo = folder / "fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(fileErrorOf(fifo), fifo.string() + ": cannot read file: not a regular file");
  EXPECT_EQ(fileErrorOf("/dev/zero"), "/dev/zero: cannot read file: not a regular file");

  // Larger than a world may be (sparse: it takes no room).
  const auto large = folder / "large.json";
  { std::ofstream(large) << "{"; }
  fs::resize_file(large, kMaxWorldFileBytes + 1);
  EXPECT_EQ(fileErrorOf(large),
            large.string() + ": file too large: a world file may hold at most 16777216 bytes");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tucklet::sim
