// What Tucklet costs while nobody uses it, side by side with the programs it is compared with. One
// iteration starts, at the same time and for the same window, on the default desktop:
//   tucklet        the program, collapsed, default settings
//   hover          the program, collapsed, with hover reveal on
//   qtMinimal      a minimal Qt Widgets program (bench/baselines/qt_idle.cpp)
//   qtTimer        the same with one 2-second timer: the trust check's period, the floor for an
//                  agent that polls at all
// After a warm-up (start-up, first scan, collapse) each is measured over the window (60 s unless
// TUCKLET_BENCH_SECONDS says otherwise):
//   <name>CpuPct       CPU time over the window in per cent of one core (every thread's on-CPU
//                      time from /proc/PID/task/*/schedstat: nanoseconds, not clock ticks; the
//                      threads are looked at every 0.2 s, so one that ends keeps its share)
//   <name>WakeupsPerS  voluntary context switches of all its threads per second: each is a thread
//                      going to sleep to be woken again
//   <name>RssMB, <name>PssMB  resident and proportional set size at the window's end (shared
//                      library pages divided among the processes mapping them)
// Real time on a shared machine: compare runs on the same machine only.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/spawn_program.h"
#include "features/feature_codec.h"
#include "platform/host/plist_user_defaults.h"
#include "platform/sim/world_loader.h"

namespace {

namespace fs = std::filesystem;

constexpr double warmUpSeconds = 8;

double windowSeconds() {
  if (const char* text = std::getenv("TUCKLET_BENCH_SECONDS")) {
    const double seconds = std::atof(text);
    if (seconds >= 1) return seconds;
  }
  return 60;
}

struct Usage {
  double cpuSeconds = 0;
  double voluntarySwitches = 0;
};

// One thread's counters so far: on-CPU time from schedstat (nanoseconds) and its voluntary context
// switches.
Usage threadUsage(const fs::path& task) {
  Usage usage;
  std::ifstream schedstat(task / "schedstat");
  double nanoseconds = 0;
  if (schedstat >> nanoseconds) usage.cpuSeconds = nanoseconds / 1e9;
  std::ifstream status(task / "status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
      usage.voluntarySwitches = std::atof(line.c_str() + line.find(':') + 1);
  }
  return usage;
}

// A process's usage over a window, thread by thread: a thread that ends during the window (Qt's
// pooled threads expire after 30 s) keeps what it was last seen with, and one that starts counts
// from zero. Only a thread born and gone between two looks is missed.
class UsageWindow {
 public:
  explicit UsageWindow(pid_t pid) : tasks_("/proc/" + std::to_string(pid) + "/task") {
    look();
    for (auto& [tid, seen] : threads_)
      seen.first = seen.second;
  }

  void look() {
    std::error_code error;
    for (const auto& task : fs::directory_iterator(tasks_, error)) {
      auto [entry, added] = threads_.try_emplace(task.path().filename().string());
      entry->second.second = threadUsage(task.path());
    }
  }

  Usage used() const {
    Usage total;
    for (const auto& [tid, seen] : threads_) {
      total.cpuSeconds += seen.second.cpuSeconds - seen.first.cpuSeconds;
      total.voluntarySwitches += seen.second.voluntarySwitches - seen.first.voluntarySwitches;
    }
    return total;
  }

 private:
  fs::path tasks_;
  std::map<std::string, std::pair<Usage, Usage>> threads_;  // first seen (zero if born later), last
};

// A "Name:   1234 kB" line of a /proc file, in megabytes.
double megabytes(const std::string& file, const std::string& name) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(name + ":", 0) == 0) return std::atof(line.c_str() + name.size() + 1) / 1024;
  }
  return 0;
}

struct Process {
  std::string name;
  pid_t pid = 0;
  std::optional<UsageWindow> usage = {};
};

using tucklet::bench::spawnProgram;

// Tucklet on the default desktop with its own bundle identifier, defaults and runtime folder, so
// that two copies run side by side; setup is marked complete so it collapses at once.
pid_t spawnTucklet(const fs::path& folder, const std::string& bundle, bool hoverReveal,
                   double seconds) {
  fs::create_directories(folder / "runtime");
  fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  auto world = nlohmann::json::parse(tucklet::sim::defaultWorldJson());
  world["self"]["identifier"] = bundle;
  std::ofstream(folder / "world.json") << world.dump(2);
  tucklet::platform::PlistUserDefaults defaults(bundle, (folder / "defaults").string());
  defaults.setObject("setupComplete", true);
  if (hoverReveal) {
    tucklet::FeatureConfiguration features;
    features.hoverReveal = true;
    const auto json = tucklet::encodeFeatureConfiguration(features).value_or("");
    defaults.setObject("features", tucklet::platform::PlistData(json.begin(), json.end()));
  }
  std::ostringstream quitAfter;
  quitAfter << seconds;
  return spawnProgram({TUCKLET_PROGRAM, "--world", (folder / "world.json").string(),
                       "--sim-quit-after", quitAfter.str()},
                      {"TUCKLET_DEFAULTS_DIR=" + (folder / "defaults").string(),
                       "XDG_RUNTIME_DIR=" + (folder / "runtime").string()},
                      folder / "stderr");
}

void BM_IdleCost(benchmark::State& state) {
  const auto window = windowSeconds();
  const auto folder = fs::temp_directory_path() / ("tucklet-idle-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const auto tag = std::to_string(getpid());
  const double lifetime = warmUpSeconds + window + 30;
  for (auto _ : state) {
    std::vector<Process> processes = {
        {"tucklet",
         spawnTucklet(folder / "tucklet", "org.tucklet.bench.idle.p" + tag, false, lifetime),
         {}},
        {"hover",
         spawnTucklet(folder / "hover", "org.tucklet.bench.hover.p" + tag, true, lifetime),
         {}},
        {"qtMinimal", spawnProgram({TUCKLET_QT_IDLE}, {}, folder / "qt-minimal.stderr"), {}},
        {"qtTimer",
         spawnProgram({TUCKLET_QT_IDLE, "--timer-ms", "2000"}, {}, folder / "qt-timer.stderr"),
         {}},
    };
    std::this_thread::sleep_for(std::chrono::duration<double>(warmUpSeconds));
    for (auto& process : processes)
      process.usage.emplace(process.pid);
    const auto began = std::chrono::steady_clock::now();
    const auto end = began + std::chrono::duration<double>(window);
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      for (auto& process : processes)
        process.usage->look();
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    bool allRan = true;
    for (auto& process : processes) {
      const std::string proc = "/proc/" + std::to_string(process.pid);
      int status = 0;
      if (process.pid == 0 || waitpid(process.pid, &status, WNOHANG) != 0) {
        allRan = false;
        continue;
      }
      const Usage used = process.usage->used();
      state.counters[process.name + "CpuPct"] = 100 * used.cpuSeconds / elapsed;
      state.counters[process.name + "WakeupsPerS"] = used.voluntarySwitches / elapsed;
      state.counters[process.name + "RssMB"] = megabytes(proc + "/status", "VmRSS");
      state.counters[process.name + "PssMB"] = megabytes(proc + "/smaps_rollup", "Pss");
    }
    for (auto& process : processes) {
      if (process.pid == 0) continue;
      kill(process.pid, SIGTERM);
      int status = 0;
      waitpid(process.pid, &status, 0);
    }
    state.SetIterationTime(elapsed);
    if (!allRan) {
      state.SkipWithError(("a program ended early; see " + folder.string()).c_str());
      return;
    }
  }
  fs::remove_all(folder);
}

BENCHMARK(BM_IdleCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
