// Launches of the whole program that must not go the ordinary way: a world file it cannot use, a
// harness switch that is wrong, a second copy of a running Tucklet, no way to make sure there is
// none, and a defaults file it cannot read.
#include <string>
#include <vector>

#include "platform/qt/single_instance.h"
#include "tests/program/program_run.h"

namespace tucklet::programtest {
namespace {

// A run refused before anything starts: exit status 2, exactly `line` on standard error, no
// defaults written and no harness output.
void expectRefused(const Scratch& scratch, const fs::path& world, const std::string& line) {
  const auto out = scratch.root() / "out";
  Program program(scratch,
                  {"--world", world.string(), "--sim-out", out.string(), "--sim-state", "ready@0",
                   "--sim-state-on-quit", "quit"},
                  "tucklet");
  EXPECT_EQ(program.exitCode(), 2);
  EXPECT_EQ(linesOf(program.standardError()), std::vector<std::string>{line});
  EXPECT_TRUE(filesIn(scratch.defaults()).empty());
  EXPECT_FALSE(fs::exists(out));
}

TEST(MalformedWorld, SyntaxErrorNamesTheFileLineAndColumn) {
  Scratch scratch;
  const auto world = scratch.root() / "broken.json";
  writeText(world, "{\n  \"name\": \"broken\",\n  \"os\" \"27.0\"\n}\n");
  const auto out = scratch.root() / "out";
  Program program(scratch, {"--world", world.string(), "--sim-out", out.string()}, "tucklet");
  EXPECT_EQ(program.exitCode(), 2);
  const auto lines = linesOf(program.standardError());
  ASSERT_EQ(lines.size(), 1u) << program.standardError();
  EXPECT_EQ(lines[0].rfind(world.string() + ": not valid JSON: line 3, column ", 0), 0u)
      << lines[0];
  EXPECT_TRUE(filesIn(scratch.defaults()).empty());
}

TEST(MalformedWorld, WrongTypeDeepInsideNamesItsJsonPath) {
  Scratch scratch;
  const auto world = scratch.writeWorld("wrong-type.json", [](nlohmann::json& json) {
    json["apps"][1]["extras"][0]["width"] = "wide";
  });
  expectRefused(scratch, world,
                world.string() + ": apps[1].extras[0].width: expected a number, got text");
}

TEST(MalformedWorld, MissingFileIsRefusedToo) {
  Scratch scratch;
  const auto world = scratch.root() / "absent.json";
  expectRefused(scratch, world, world.string() + ": cannot read file: No such file or directory");
}

TEST(Switches, HarnessSwitchesAreStrictAndQtSwitchesAreNotRead) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto refused = [&](std::vector<std::string> arguments, const std::string& line) {
    arguments.insert(arguments.begin(), {"--world", world.string()});
    Program program(scratch, arguments, "refused");
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(linesOf(program.standardError()), std::vector<std::string>{line});
  };
  refused({"--sim-stat", "ready@1"},
          "tucklet: unknown switch --sim-stat (did you mean --sim-state?)");
  refused(
      {"--sim-state=ready@1"},
      "tucklet: --sim-state=ready@1: write the value as the next argument (--sim-state ready@1)");
  refused({"--sim-quit-after"}, "tucklet: --sim-quit-after needs a value");
  refused({"--sim-state", "--sim-quit-after", "1"}, "tucklet: --sim-state needs a value");
  refused({"--sim-do", "click {\"item\": \"com.nowhere\"}@1"},
          "tucklet: --sim-do[0]: click.item: no item with identifier \"com.nowhere\" in the world");

  // Qt's own switches mean nothing here; a product switch without its value is ignored.
  const auto out = scratch.root() / "out";
  Program program(
      scratch,
      {"--world", world.string(), "-platform", "bogus", "-style", "nothing", "--sim-out",
       out.string(), "--sim-state", "ready@0.3", "--sim-quit-after", "0.5", "--verify"},
      "ordinary");
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();
  EXPECT_TRUE(readState(out / "ready.json").contains("trusted"));
}

TEST(SecondInstance, EndsAtOnceWhileTheFirstRunsAndLeavesNoStaleLock) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto run = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--world", world.string(), "--sim-out",
                                          (scratch.root() / name).string()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return std::make_unique<Program>(scratch, arguments, name);
  };

  auto first = run("first", {"--sim-state", "ready@0.3"});
  ASSERT_TRUE(first->waitForFile(scratch.root() / "first" / "ready.json"))
      << first->standardError();

  auto second = run("second", {"--sim-state-on-quit", "quit"});
  EXPECT_EQ(second->exitCode(), 0) << second->standardError();
  EXPECT_EQ(second->standardError(), "");  // silently
  const auto quit = readState(scratch.root() / "second" / "quit.json");
  EXPECT_FALSE(quit.contains("trusted")) << "the second copy created a controller";
  EXPECT_EQ(quit.value("ownStatusItems", -1), 0);
  EXPECT_TRUE(first->running());

  first->signal(SIGTERM);
  EXPECT_EQ(first->exitCode(), 0) << first->standardError();

  auto third = run("third", {"--sim-state", "ready@0.3"});
  ASSERT_TRUE(third->waitForFile(scratch.root() / "third" / "ready.json"))
      << third->standardError();
  EXPECT_TRUE(readState(scratch.root() / "third" / "ready.json").contains("trusted"));
  third->signal(SIGTERM);
  EXPECT_EQ(third->exitCode(), 0) << third->standardError();
}

TEST(SecondInstance, WithoutTheBusALockFileInASecondFolderKeepsOneCopyAndWithNeitherNoneStarts) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const auto lockName = platform::SingleInstance::busNameFor(scratch.bundle()) + ".lock";
  // No session bus, and the runtime folder cannot hold the lock file (a folder stands where it
  // would go).
  fs::create_directories(scratch.runtime() / lockName);
  const auto temporary = scratch.root() / "tmp";
  fs::create_directories(temporary);
  const std::vector<std::string> environment = {
      "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (scratch.root() / "no-bus").string(),
      "TMPDIR=" + temporary.string()};
  const auto run = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--world", world.string(), "--sim-out",
                                          (scratch.root() / name).string()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return std::make_unique<Program>(scratch, arguments, name, environment);
  };

  auto first = run("first", {"--sim-state", "ready@0.3"});
  ASSERT_TRUE(first->waitForFile(scratch.root() / "first" / "ready.json"))
      << first->standardError();
  auto second = run("second", {"--sim-state-on-quit", "quit"});
  EXPECT_EQ(second->exitCode(), 0) << second->standardError();
  EXPECT_FALSE(readState(scratch.root() / "second" / "quit.json").contains("trusted"))
      << "the second copy created a controller";
  first->signal(SIGTERM);
  EXPECT_EQ(first->exitCode(), 0) << first->standardError();

  // The second folder cannot hold it either: the start is refused in one line.
  const auto secondFolder = temporary / ("tucklet-" + std::to_string(getuid()));
  ASSERT_TRUE(fs::is_regular_file(secondFolder / lockName))
      << "the first copy's lock was not there";
  fs::remove(secondFolder / lockName);
  fs::create_directories(secondFolder / lockName);
  auto refused = run("refused", {"--sim-state-on-quit", "quit"});
  EXPECT_EQ(refused->exitCode(), 2);
  const auto lines = linesOf(refused->standardError());
  ASSERT_EQ(lines.size(), 1u) << refused->standardError();
  EXPECT_EQ(lines[0].rfind("tucklet: cannot make sure no other Tucklet runs", 0), 0u) << lines[0];
  EXPECT_EQ(readState(scratch.root() / "refused" / "quit.json").value("ownStatusItems", -1), 0);
}

TEST(CorruptDefaults, FileIsMovedAsideAndTuckletStarts) {
  Scratch scratch;
  const auto world = scratch.writeWorld("world.json");
  const std::string damaged = "bplist00 this is not a property list any more";
  writeText(scratch.defaultsFile(), damaged);

  const auto out = scratch.root() / "out";
  Program program(
      scratch, {"--world", world.string(), "--sim-out", out.string(), "--sim-state", "ready@0.3"},
      "tucklet");
  ASSERT_TRUE(program.waitForFile(out / "ready.json")) << program.standardError();
  EXPECT_TRUE(readState(out / "ready.json").contains("trusted"));
  program.signal(SIGTERM);
  EXPECT_EQ(program.exitCode(), 0) << program.standardError();

  std::vector<fs::path> asides;
  for (const auto& file : filesIn(scratch.defaults()))
    if (file.filename().string().rfind(scratch.bundle() + ".plist.unreadable-", 0) == 0)
      asides.push_back(file);
  ASSERT_EQ(asides.size(), 1u);
  EXPECT_EQ(readText(asides[0]), damaged);
  EXPECT_NE(program.standardError().find(asides[0].filename().string()), std::string::npos)
      << program.standardError();

  const auto stored = readPropertyList(scratch.defaultsFile());
  EXPECT_EQ(stored.value("symbol", ""), "tucklet.fold");
  EXPECT_EQ(stored.value("foldIconIntroduced", false), true);
}

}  // namespace
}  // namespace tucklet::programtest
