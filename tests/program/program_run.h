// Runs the tucklet program as a separate process for whole-program tests: a scratch folder per
// test (defaults, home, harness output), a world file under a bundle identifier of its own so that
// parallel tests never share a single-instance lock, and a child process whose standard error is
// kept in a file.
//
// Waits poll with a generous limit that only guards against a hung child; nothing here measures
// how fast the program is.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/world_loader.h"

extern char** environ;

namespace tucklet::programtest {

namespace fs = std::filesystem;

inline constexpr std::chrono::seconds hangGuard{30};

inline std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

inline std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    files.push_back(entry.path());
  return files;
}

// A folder of its own for one test, removed afterwards.
class Scratch {
 public:
  Scratch() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (auto& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    root_ =
        fs::temp_directory_path() / ("tucklet-program-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(defaults());
    fs::create_directories(home());
    fs::create_directories(runtime());
    fs::permissions(runtime(), fs::perms::owner_all, fs::perm_options::replace);
    // Unique per test and process: the lock is per bundle identifier.
    bundle_ = "org.tucklet.programtest." + name + ".p" + std::to_string(getpid());
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const fs::path& root() const { return root_; }
  fs::path defaults() const { return root_ / "defaults"; }
  fs::path home() const { return root_ / "home"; }
  // The per-user runtime folder Qt expects (private to the user, as the system makes it).
  fs::path runtime() const { return root_ / "runtime"; }
  const std::string& bundle() const { return bundle_; }
  fs::path defaultsFile() const { return defaults() / (bundle_ + ".plist"); }

  // The default world under this test's bundle identifier, written to NAME; `change` edits it.
  fs::path writeWorld(const std::string& name,
                      const std::function<void(nlohmann::json&)>& change = {}) const {
    auto world = nlohmann::json::parse(sim::defaultWorldJson());
    world["self"]["identifier"] = bundle_;
    if (change) change(world);
    const auto path = root_ / name;
    writeText(path, world.dump(2));
    return path;
  }

 private:
  fs::path root_;
  std::string bundle_;
};

// One run of the program.
class Program {
 public:
  // `overrides` ("NAME=value") replace variables of the environment the program starts with.
  Program(const Scratch& scratch, std::vector<std::string> arguments, const std::string& name,
          const std::vector<std::string>& overrides = {})
      : stderrPath_(scratch.root() / (name + ".stderr")) {
    std::vector<std::string> given = {
        "TUCKLET_DEFAULTS_DIR=" + scratch.defaults().string(),
        "HOME=" + scratch.home().string(),
        "QT_QPA_PLATFORM=offscreen",
        "XDG_RUNTIME_DIR=" + scratch.runtime().string(),
    };
    given.insert(given.end(), overrides.begin(), overrides.end());
    const auto keyOf = [](const std::string& variable) {
      return variable.substr(0, variable.find('='));
    };
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
      const std::string variable(*entry);
      bool replaced = false;
      for (const auto& override : given)
        replaced = replaced || keyOf(override) == keyOf(variable);
      if (!replaced) environment.push_back(variable);
    }
    for (const auto& variable : given) {
      bool later = false;  // an override of one of the defaults above wins
      for (const auto& other : given)
        later = later || (&other > &variable && keyOf(other) == keyOf(variable));
      if (!later) environment.push_back(variable);
    }

    std::vector<std::string> argv = {TUCKLET_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argvPointers;
    for (auto& argument : argv)
      argvPointers.push_back(argument.data());
    argvPointers.push_back(nullptr);
    std::vector<char*> environmentPointers;
    for (auto& variable : environment)
      environmentPointers.push_back(variable.data());
    environmentPointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int error = posix_spawn(&pid_, TUCKLET_PROGRAM, &actions, nullptr, argvPointers.data(),
                                  environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
      ADD_FAILURE() << "cannot start " << TUCKLET_PROGRAM << ": " << std::strerror(error);
      pid_ = 0;
    }
  }
  ~Program() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }

  // Whether the process is still running (reaps it when it has ended).
  bool running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      return false;
    }
    return true;
  }

  // Waits until `file` exists; false when the process ended first or it never came.
  bool waitForFile(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + hangGuard;
    while (std::chrono::steady_clock::now() < deadline) {
      if (fs::exists(file)) return true;
      if (!running()) return fs::exists(file);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The raw wait status once the process has ended; nothing if it does not end (it is then
  // killed).
  std::optional<int> waitForExit() {
    const auto deadline = std::chrono::steady_clock::now() + hangGuard;
    while (running()) {
      if (std::chrono::steady_clock::now() >= deadline) {
        ADD_FAILURE() << "the program did not end";
        return std::nullopt;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
  }

  // The exit status of a normal exit; -1 for a death by signal or no exit at all.
  int exitCode() {
    const auto status = waitForExit();
    if (!status) return -1;
    if (WIFSIGNALED(*status)) {
      ADD_FAILURE() << "the program died of signal " << WTERMSIG(*status);
      return -1;
    }
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
  }

  void signal(int number) {
    if (pid_ > 0 && !status_) kill(pid_, number);
  }

  std::string standardError() const { return readText(stderrPath_); }

 private:
  pid_t pid_ = 0;
  std::optional<int> status_;
  fs::path stderrPath_;
};

// The harness's JSON state file.
inline nlohmann::json readState(const fs::path& path) {
  const auto text = readText(path);
  auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded()) ADD_FAILURE() << path << " is not JSON: " << text;
  return json;
}

// A property list as JSON, read by Python's plistlib (an independent reader of the binary
// format); data values come out as their repr.
inline nlohmann::json readPropertyList(const fs::path& path) {
  const std::string command =
      "python3 -c 'import json, plistlib, sys; "
      "print(json.dumps(plistlib.load(open(sys.argv[1], \"rb\")), default=repr))' '" +
      path.string() + "'";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
      output.append(buffer, read);
    const int status = pclose(pipe);
    if (status != 0) ADD_FAILURE() << "plistlib could not read " << path;
  } else {
    ADD_FAILURE() << "cannot run python3";
  }
  auto json = nlohmann::json::parse(output, nullptr, false);
  if (json.is_discarded()) {
    ADD_FAILURE() << "unexpected plistlib output: " << output;
    return nlohmann::json::object();
  }
  return json;
}

}  // namespace tucklet::programtest
