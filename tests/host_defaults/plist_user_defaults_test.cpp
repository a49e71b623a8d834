#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "platform/host/atomic_file.h"
#include "platform/host/plist_file.h"
#include "platform/host/plist_user_defaults.h"

namespace tucklet::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* bundle = "com.example.Tucklet";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// Runs a shell command; its standard output, or nothing when it failed.
std::optional<std::string> run(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string output;
  char buffer[4096];
  while (const auto count = std::fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, count);
  if (::pclose(pipe) != 0) return std::nullopt;
  return output;
}

std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename());
  return names;
}

// Every kind of value, with the awkward cases of each.
PlistDict everyType() {
  return {
      {"yes", true},
      {"no", false},
      {"int", std::int64_t{42}},
      {"negative", std::int64_t{-7}},
      {"largest", std::numeric_limits<std::int64_t>::max()},
      {"smallest", std::numeric_limits<std::int64_t>::min()},
      {"real", 8.25},
      {"wholeReal", 8.0},
      {"text", "Wi-Fi \xC3\xA9t\xC3\xA9 \xE2\x86\x92"},
      {"emptyText", ""},
      {"data", PlistData{0x00, 0xFF, 0x7B, 0x22}},
      {"emptyData", PlistData{}},
      {"date", PlistDate{787622400.123456}},
      {"dateBefore2001", PlistDate{-0.25}},
      {"dateFarPast", PlistDate{-3.2e9}},
      {"list", PlistArray{PlistValue(1), PlistValue("two"), PlistValue(PlistArray{})}},
      {"nested", PlistDict{{"inner", PlistDict{{"flag", true}}}, {"empty", PlistDict{}}}},
  };
}

class PlistUserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tucklet-defaults-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    file = folder / (std::string(bundle) + ".plist");
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
  fs::path file;
};

TEST_F(PlistUserDefaultsTest, EveryValueTypeSurvivesTheFile) {
  {
    PlistUserDefaults defaults(bundle, folder.string());
    EXPECT_EQ(defaults.path(), file.string());
    EXPECT_TRUE(defaults.persistentDomain().empty());
    for (const auto& [key, value] : everyType())
      defaults.setObject(key, value);
    defaults.setObject("gone", "soon");
    defaults.removeObject("gone");
    EXPECT_EQ(defaults.lastError(), "");
  }
  EXPECT_EQ(readAll(file).substr(0, 8), "bplist00");
  // Written atomically: the temporary files are gone.
  EXPECT_EQ(filesIn(folder), std::set<std::string>{file.filename()});

  PlistUserDefaults reloaded(bundle, folder.string());
  EXPECT_EQ(reloaded.persistentDomain(), everyType());

  // The registration domain answers only where the user set nothing, and is never written.
  reloaded.registerDefaults({{"int", 1}, {"registeredOnly", true}});
  EXPECT_EQ(reloaded.integerForKey("int"), 42);
  EXPECT_TRUE(reloaded.boolForKey("registeredOnly"));
  EXPECT_EQ(PlistUserDefaults(bundle, folder.string()).objectForKey("registeredOnly"),
            std::nullopt);
}

TEST_F(PlistUserDefaultsTest, FilesWeWriteReadInOtherTools) {
  {
    PlistUserDefaults defaults(bundle, folder.string());
    for (const auto& [key, value] : everyType())
      defaults.setObject(key, value);
  }
  const auto xml = run("plistutil -i '" + file.string() + "' -f xml");
  ASSERT_TRUE(xml) << "plistutil failed";
  EXPECT_NE(xml->find("<key>data</key>\n\t<data>"), std::string::npos) << *xml;

  const std::string script =
      "import plistlib, sys, json\n"
      "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
      "print(json.dumps({'yes': d['yes'], 'negative': d['negative'], 'smallest': d['smallest'],\n"
      "  'real': d['real'], 'text': d['text'], 'data': d['data'].hex(),\n"
      "  'emptyData': type(d['emptyData']).__name__, 'date': d['date'].isoformat(),\n"
      "  'list': d['list'], 'nested': d['nested']}, sort_keys=True, ensure_ascii=False))\n";
  writeAll(folder / "read.py", script);
  const auto output =
      run("python3 '" + (folder / "read.py").string() + "' '" + file.string() + "'");
  ASSERT_TRUE(output) << "python3 plistlib could not read the file";
  EXPECT_EQ(*output,
            "{\"data\": \"00ff7b22\", \"date\": \"2025-12-17T00:00:00.123456\", \"emptyData\": "
            "\"bytes\", \"list\": [1, \"two\", []], \"negative\": -7, \"nested\": {\"empty\": {}, "
            "\"inner\": {\"flag\": true}}, \"real\": 8.25, \"smallest\": -9223372036854775808, "
            "\"text\": \"Wi-Fi \xC3\xA9t\xC3\xA9 \xE2\x86\x92\", \"yes\": true}\n");
}

TEST_F(PlistUserDefaultsTest, FilesOtherToolsWriteLoad) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\"><dict>\n"
      "<key>symbol</key><string>tray.full</string>\n"
      "<key>collapseDelay</key><real>3.5</real>\n"
      "<key>visibleSystemItems</key><array><integer>6</integer><integer>-1</integer></array>\n"
      "<key>hideBattery</key><true/>\n"
      "<key>features</key><data>e30=</data>\n"
      "<key>when</key><date>2025-12-17T00:00:00Z</date>\n"
      "</dict></plist>\n";
  const PlistDict expected = {
      {"symbol", "tray.full"},
      {"collapseDelay", 3.5},
      {"visibleSystemItems", PlistArray{PlistValue(6), PlistValue(-1)}},
      {"hideBattery", true},
      {"features", PlistData{'{', '}'}},
      {"when", PlistDate{787622400}},
  };
  writeAll(folder / "source.xml", xml);

  // plistutil, XML to binary.
  ASSERT_TRUE(run("plistutil -i '" + (folder / "source.xml").string() + "' -o '" + file.string() +
                  "' -f bin"));
  EXPECT_EQ(PlistUserDefaults(bundle, folder.string()).persistentDomain(), expected);

  // Python's plistlib, binary and XML.
  for (const std::string format : {"FMT_BINARY", "FMT_XML"}) {
    const std::string script =
        "import plistlib, sys, datetime\n"
        "d = {'symbol': 'tray.full', 'collapseDelay': 3.5, 'visibleSystemItems': [6, -1],\n"
        "     'hideBattery': True, 'features': b'{}', 'when': datetime.datetime(2025, 12, 17)}\n"
        "plistlib.dump(d, open(sys.argv[1], 'wb'), fmt=plistlib." +
        format + ")\n";
    writeAll(folder / "write.py", script);
    ASSERT_TRUE(run("python3 '" + (folder / "write.py").string() + "' '" + file.string() + "'"));
    EXPECT_EQ(PlistUserDefaults(bundle, folder.string()).persistentDomain(), expected) << format;
  }
  // And the XML source as it is.
  writeAll(file, xml);
  EXPECT_EQ(PlistUserDefaults(bundle, folder.string()).persistentDomain(), expected);
}

TEST_F(PlistUserDefaultsTest, UnreadableFileIsMovedAsideBeforeTheFirstWrite) {
  const std::string garbage = "bplist00 this is not a property list \x01\x02";
  writeAll(file, garbage);

  PlistUserDefaults defaults(bundle, folder.string());
  EXPECT_TRUE(defaults.persistentDomain().empty());
  EXPECT_EQ(readAll(file), garbage) << "reading alone must not touch the file";
  EXPECT_EQ(defaults.movedAsidePath(), std::nullopt);

  ::testing::internal::CaptureStderr();
  defaults.setObject("setupComplete", true);
  const auto report = ::testing::internal::GetCapturedStderr();

  const auto aside = defaults.movedAsidePath();
  ASSERT_TRUE(aside);
  EXPECT_EQ(fs::path(*aside).parent_path(), folder);
  EXPECT_EQ(
      fs::path(*aside).filename().string().rfind(file.filename().string() + ".unreadable-", 0), 0u)
      << *aside;
  EXPECT_EQ(readAll(*aside), garbage);
  EXPECT_NE(report.find(file.string()), std::string::npos) << report;
  EXPECT_NE(report.find(*aside), std::string::npos) << report;
  EXPECT_EQ(report.find('\n'), report.size() - 1) << "one line: " << report;

  EXPECT_EQ(PlistUserDefaults(bundle, folder.string()).persistentDomain(),
            (PlistDict{{"setupComplete", true}}));
  EXPECT_EQ(filesIn(folder), (std::set<std::string>{file.filename(), fs::path(*aside).filename()}));

  // A root that is not a dictionary is unreadable as a domain too.
  writeAll(file, binaryPropertyList(PlistValue(PlistArray{PlistValue(1)})));
  ::testing::internal::CaptureStderr();
  PlistUserDefaults second(bundle, folder.string());
  EXPECT_TRUE(second.persistentDomain().empty());
  second.setObject("a", 1);
  ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(second.movedAsidePath());
  EXPECT_NE(second.movedAsidePath(), aside);
  EXPECT_EQ(parsePropertyList(readAll(*second.movedAsidePath())),
            PlistValue(PlistArray{PlistValue(1)}));
}

TEST(PropertyListBytes, DamagedListsAreRefusedRatherThanFatal) {
  const auto valid = binaryPropertyList(PlistValue(PlistDict{{"aXb", "cYd"}, {"n", 1}}));
  ASSERT_TRUE(parsePropertyList(valid));

  // A NUL inside a key would make libplist abort the process.
  auto nulKey = valid;
  nulKey[nulKey.find("aXb") + 1] = '\0';
  EXPECT_FALSE(parsePropertyList(nulKey));

  // Inside a value it does no harm (libplist ends the text there).
  auto nulValue = valid;
  nulValue[nulValue.find("cYd") + 1] = '\0';
  const auto read = parsePropertyList(nulValue);
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->asDict().at("aXb").isString());

  // Text that is not UTF-8, in a key or a value, would not be written back as it was read.
  for (const auto* text : {"aXb", "cYd"}) {
    auto notUtf8 = valid;
    notUtf8[notUtf8.find(text) + 1] = '\xA4';
    EXPECT_FALSE(parsePropertyList(notUtf8)) << text;
  }

  for (std::size_t length = 0; length < valid.size(); ++length) {
    EXPECT_FALSE(parsePropertyList(valid.substr(0, length))) << length;
  }
  EXPECT_FALSE(parsePropertyList("<plist version=\"1.0\"><dict><key>a"));
}

TEST_F(PlistUserDefaultsTest, MovingAsideNeverReplacesAFile) {
  writeAll(folder / "from", "new");
  writeAll(folder / "to", "old");
  std::string error;
  EXPECT_EQ(renameWithoutReplacing((folder / "from").string(), (folder / "to").string(), error),
            EEXIST);
  EXPECT_EQ(readAll(folder / "to"), "old");
  EXPECT_EQ(readAll(folder / "from"), "new");
  EXPECT_EQ(renameWithoutReplacing((folder / "from").string(), (folder / "other").string(), error),
            0);
  EXPECT_EQ(readAll(folder / "other"), "new");
}

TEST_F(PlistUserDefaultsTest, FailedWritesKeepValuesInMemoryAndSayWhy) {
  // The domain's folder cannot be created where a plain file stands.
  writeAll(folder / "blocked", "");
  ::testing::internal::CaptureStderr();
  PlistUserDefaults defaults(bundle, (folder / "blocked" / "inner").string());
  defaults.setObject("kept", 7);
  const auto report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(defaults.integerForKey("kept"), 7);
  EXPECT_NE(defaults.lastError(), "");
  EXPECT_NE(report.find("not saved"), std::string::npos) << report;

  // An identifier that would leave the folder is refused; the domain lives in memory.
  ::testing::internal::CaptureStderr();
  PlistUserDefaults escaping("../escape", folder.string());
  escaping.setObject("x", 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(escaping.path(), "");
  EXPECT_EQ(escaping.integerForKey("x"), 1);
  EXPECT_FALSE(fs::exists(folder.parent_path() / "escape.plist"));

  // Missing folders are created on the first write.
  PlistUserDefaults deep(bundle, (folder / "a" / "b").string());
  deep.setObject("x", 1);
  EXPECT_TRUE(fs::exists(folder / "a" / "b" / file.filename()));
}

// Restores one environment variable when it goes out of scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(PlistUserDefaultsTest, FolderComesFromArgumentThenEnvironment) {
  ScopedEnvironment home("HOME", "/home/someone");
  {
    ScopedEnvironment defaultsDir("TUCKLET_DEFAULTS_DIR", folder.c_str());
    ScopedEnvironment config("XDG_CONFIG_HOME", "/elsewhere");
    EXPECT_EQ(PlistUserDefaults::defaultFolder(), folder.string());
    EXPECT_EQ(PlistUserDefaults(bundle).path(), file.string());
    EXPECT_EQ(PlistUserDefaults(bundle, "/given/").path(), "/given/" + file.filename().string());
  }
  {
    ScopedEnvironment defaultsDir("TUCKLET_DEFAULTS_DIR", nullptr);
    ScopedEnvironment config("XDG_CONFIG_HOME", "/config");
    EXPECT_EQ(PlistUserDefaults::defaultFolder(), "/config/tucklet");
  }
  {
    ScopedEnvironment defaultsDir("TUCKLET_DEFAULTS_DIR", "");
    ScopedEnvironment config("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(PlistUserDefaults::defaultFolder(), "/home/someone/.config/tucklet");
  }
}

}  // namespace
}  // namespace tucklet::platform
