// Property lists built to hurt the reader: nesting that would overflow a recursive reader, objects
// shared so often that their expansion explodes, long arrays that a quadratic reader takes minutes
// over, and things at the defaults path that are no file at all. Each is refused (and, at the
// defaults path, moved aside untouched) or read as it is; the inputs are made here, small.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host/atomic_file.h"
#include "platform/host/plist_file.h"
#include "platform/host/plist_user_defaults.h"

namespace tucklet::platform {
namespace {

namespace fs = std::filesystem;

// A binary list of the given objects (already encoded), references one byte or two wide, the
// first object on top.
std::string binaryList(const std::vector<std::string>& objects, std::size_t referenceSize) {
  std::string bytes = "bplist00";
  std::vector<std::size_t> offsets;
  for (const auto& object : objects) {
    offsets.push_back(bytes.size());
    bytes += object;
  }
  const std::size_t table = bytes.size();
  const std::size_t offsetSize = table > 0xFFFF ? 4 : 2;
  for (auto offset : offsets)
    for (std::size_t i = offsetSize; i-- > 0;)
      bytes += static_cast<char>((offset >> (8 * i)) & 0xFF);
  std::string trailer(32, '\0');
  trailer[6] = static_cast<char>(offsetSize);
  trailer[7] = static_cast<char>(referenceSize);
  const auto put = [&trailer](std::size_t at, std::uint64_t value) {
    for (std::size_t i = 0; i < 8; ++i)
      trailer[at + i] = static_cast<char>((value >> (8 * (7 - i))) & 0xFF);
  };
  put(8, objects.size());
  put(16, 0);
  put(24, table);
  return bytes + trailer;
}

std::string reference(std::size_t index, std::size_t size) {
  std::string bytes;
  for (std::size_t i = size; i-- > 0;)
    bytes += static_cast<char>((index >> (8 * i)) & 0xFF);
  return bytes;
}

// Object i is an array of `width` references to object i + 1; the last is the integer 7.
std::string chainOfArrays(std::size_t depth, std::size_t width) {
  const std::size_t referenceSize = depth + 1 > 0xFF ? 2 : 1;
  std::vector<std::string> objects;
  for (std::size_t i = 0; i < depth; ++i) {
    std::string array(1, static_cast<char>(0xA0 | width));
    for (std::size_t k = 0; k < width; ++k)
      array += reference(i + 1, referenceSize);
    objects.push_back(array);
  }
  objects.push_back(std::string("\x10\x07", 2));
  return binaryList(objects, referenceSize);
}

std::string nestedXmlArrays(std::size_t depth) {
  std::string xml = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">";
  for (std::size_t i = 0; i < depth; ++i)
    xml += "<array>";
  for (std::size_t i = 0; i < depth; ++i)
    xml += "</array>";
  return xml + "</plist>";
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PropertyListLimits, HostileListsAreRefusedAndLargeOnesReadInFull) {
  // Nesting: at the limit it reads; far beyond it (a recursive reader's stack overflows) it is
  // refused, and so are comments that pretend to close the levels.
  EXPECT_TRUE(parsePropertyList(nestedXmlArrays(kMaxPropertyListDepth - 1)));
  EXPECT_FALSE(parsePropertyList(nestedXmlArrays(30'000)));
  std::string hidden = "<plist version=\"1.0\">";
  for (int i = 0; i < 30'000; ++i)
    hidden += "<array><!-- </array> -->";
  EXPECT_FALSE(parsePropertyList(hidden + "</plist>"));
  EXPECT_TRUE(parsePropertyList(chainOfArrays(kMaxPropertyListDepth - 1, 1)));
  EXPECT_FALSE(parsePropertyList(chainOfArrays(30'000, 1)));

  // Shared objects: [x, x] twenty levels deep is a few hundred bytes that expand to two million
  // values; a short chain of the same shape is harmless.
  const auto shared = chainOfArrays(20, 2);
  EXPECT_LT(shared.size(), 400u);
  EXPECT_FALSE(parsePropertyList(shared));
  const auto small = parsePropertyList(chainOfArrays(3, 2));
  ASSERT_TRUE(small);
  EXPECT_EQ(small->asArray().at(1).asArray().at(0).asArray().at(1), PlistValue(7));
  // One long text used many times over expands past the byte limit.
  std::string text = "\x5F\x12";
  text += reference(1 << 20, 4);
  text += std::string(1 << 20, 'x');
  std::string manyUses(1, '\xAF');
  manyUses += "\x11" + reference(100, 2);
  for (int i = 0; i < 100; ++i)
    manyUses += reference(1, 1);
  EXPECT_FALSE(parsePropertyList(binaryList({manyUses, text}, 1)));

  // A reference or an offset outside the list is refused before libplist follows it.
  auto broken = chainOfArrays(3, 2);
  broken[9] = '\x09';  // the top array now refers to object 9 of 4
  EXPECT_FALSE(parsePropertyList(broken));

  // A long array is read in full (the reader used to take minutes over a hundred thousand).
  PlistArray identifiers;
  for (int i = 0; i < 100'000; ++i)
    identifiers.emplace_back("com.example.app" + std::to_string(i) + ":item");
  const PlistValue domain(PlistDict{{"excludedIDs", identifiers}});
  EXPECT_EQ(parsePropertyList(binaryPropertyList(domain)), domain);
}

class DefaultsPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tucklet-limits-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    file = folder / "com.example.Tucklet.plist";
  }
  void TearDown() override { fs::remove_all(folder); }

  // Opens the domain, which must find the file unreadable, then writes, which moves it aside.
  fs::path openAndWrite() {
    ::testing::internal::CaptureStderr();
    PlistUserDefaults defaults("com.example.Tucklet", folder.string());
    EXPECT_TRUE(defaults.persistentDomain().empty());
    defaults.setObject("setupComplete", true);
    const auto report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(report.find('\n'), report.size() - 1) << report;
    EXPECT_EQ(PlistUserDefaults("com.example.Tucklet", folder.string()).persistentDomain(),
              (PlistDict{{"setupComplete", true}}));
    return defaults.movedAsidePath().value_or("");
  }

  fs::path folder;
  fs::path file;
};

TEST_F(DefaultsPathTest, NoFileOrAnOversizedOneIsUnreadableWithoutBlockingAndMovedAsideIntact) {
  // A FIFO with no writer: opening it for reading in the ordinary way would block for ever.
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  auto aside = openAndWrite();
  EXPECT_TRUE(fs::is_fifo(aside)) << aside;

  // A device.
  fs::remove(file);
  fs::create_symlink("/dev/zero", file);
  aside = openAndWrite();
  EXPECT_EQ(fs::read_symlink(aside), "/dev/zero");

  // Larger than any property list may be (sparse: it takes no room).
  fs::remove(file);
  { std::ofstream(file) << "bplist00"; }
  fs::resize_file(file, kMaxPropertyListBytes + 1);
  aside = openAndWrite();
  EXPECT_EQ(fs::file_size(aside), kMaxPropertyListBytes + 1);
  EXPECT_EQ(readAll(aside).substr(0, 8), "bplist00");
}

TEST_F(DefaultsPathTest, AFailedSaveLeavesNoTemporaryFile) {
  // The rename over a folder that holds something fails after the temporary file was written.
  fs::create_directories(file / "inside");
  std::string error;
  EXPECT_FALSE(writeFileAtomically(file.string(), "contents", error));
  EXPECT_NE(error, "");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{file.filename()});
}

}  // namespace
}  // namespace tucklet::platform
