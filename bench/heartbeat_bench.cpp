// How smoothly Tucklet's main thread runs while applications come and go: the whole program runs
// for 60 seconds under "--profile" on the default desktop while a timeline launches and quits 50
// applications, each with a menu bar item (every launch and quit makes Tucklet rescan and hide
// again). Reported from the capture:
//   p50Ms, p99Ms, maxMs   heartbeat gaps (the target is 16.7 ms; the goal is p99 <= 36.7 ms)
//   cpuSeconds, cpuPercent        CPU time over the run (last sample minus the first)
//   footprintGrowthKB, residentGrowthKB   anonymous resident and resident size, last minus first
//   lateFootprintGrowthKB         the same from 30 s on, when start-up allocations are behind us
//   launches                      applications the timeline launched (0: this build has no
//                                 timeline steps on the command line)
// TUCKLET_BENCH_SECONDS (10 to 60) shortens the run, with as many launches as fit.
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
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/spawn_program.h"
#include "platform/host/plist_user_defaults.h"
#include "platform/sim/world_loader.h"

namespace {

namespace fs = std::filesystem;

constexpr double firstLaunch = 3;
constexpr double launchEvery = 1.1;
constexpr double lifetime = 0.55;

const double captureSeconds = [] {
  const char* text = std::getenv("TUCKLET_BENCH_SECONDS");
  const double seconds = text ? std::atof(text) : 0;
  return seconds >= 10 ? std::min(seconds, 60.0) : 60.0;
}();
const int applications =
    std::min(50, static_cast<int>((captureSeconds - firstLaunch - lifetime) / launchEvery) + 1);

std::string readText(const fs::path& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      text.append(buffer, got);
    std::fclose(file);
  }
  return text;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// Runs the program with these arguments in `folder`; its exit status, -1 when it had to be killed.
int runProgram(const fs::path& folder, const std::string& bundle,
               const std::vector<std::string>& arguments, double limitSeconds) {
  fs::create_directories(folder / "runtime");
  fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  // Setup done, so that Tucklet hides items at once.
  tucklet::platform::PlistUserDefaults(bundle, (folder / "defaults").string())
      .setObject("setupComplete", true);

  std::vector<std::string> argv = {TUCKLET_PROGRAM};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const pid_t pid =
      tucklet::bench::spawnProgram(argv,
                                   {"TUCKLET_DEFAULTS_DIR=" + (folder / "defaults").string(),
                                    "XDG_RUNTIME_DIR=" + (folder / "runtime").string()},
                                   folder / "stderr");
  if (pid == 0) return -1;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The launch of bench application `i`, with one item in the bar, and its quit.
std::vector<std::string> timeline() {
  std::vector<std::string> steps;
  for (int i = 0; i < applications; ++i) {
    const auto id = "org.tucklet.bench.app" + std::to_string(i);
    const nlohmann::json app = {
        {"pid", 7000 + i},
        {"bundleIdentifier", id},
        {"bundlePath", "/Applications/Bench " + std::to_string(i) + ".app"},
        {"localizedName", "Bench " + std::to_string(i)},
        {"extras", {{{"identifier", id + ".item"}, {"title", "B" + std::to_string(i)}}}}};
    const double at = firstLaunch + i * launchEvery;
    steps.push_back("--sim-do");
    steps.push_back("launchApplication " + app.dump() + "@" + number(at));
    steps.push_back("--sim-do");
    steps.push_back("quitApplication " + std::to_string(7000 + i) + "@" + number(at + lifetime));
  }
  return steps;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

void BM_HeartbeatWhileApplicationsComeAndGo(benchmark::State& state) {
  const auto folder = fs::temp_directory_path() / ("tucklet-heartbeat-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string bundle = "org.tucklet.bench.heartbeat.p" + std::to_string(getpid());
  auto world = nlohmann::json::parse(tucklet::sim::defaultWorldJson());
  world["self"]["identifier"] = bundle;
  if (std::FILE* file = std::fopen((folder / "world.json").c_str(), "wb")) {
    const auto text = world.dump(2);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }

  // A build without timeline steps on the command line refuses none; one with them refuses a
  // step that names nothing.
  const bool timelines =
      runProgram(folder / "probe", bundle,
                 {"--world", (folder / "world.json").string(), "--sim-do",
                  "quitApplication org.tucklet.nowhere@0", "--sim-quit-after", "0"},
                 30) == 2;

  const auto report = folder / "profile.json";
  std::vector<std::string> arguments = {"--world",           (folder / "world.json").string(),
                                        "--profile",         report.string(),
                                        "--profile-seconds", number(captureSeconds),
                                        "--sim-quit-after",  number(captureSeconds + 1)};
  if (timelines) {
    const auto steps = timeline();
    arguments.insert(arguments.end(), steps.begin(), steps.end());
  }

  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    const int status = runProgram(folder / "run", bundle, arguments, captureSeconds + 60);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    if (status != 0) {
      state.SkipWithError(("the program failed: " + readText(folder / "run" / "stderr")).c_str());
      break;
    }
  }
  const auto json = nlohmann::json::parse(readText(report), nullptr, false);
  if (json.is_discarded() || !json.contains("heartbeatGapMs")) {
    state.SkipWithError("no capture report");
    fs::remove_all(folder);
    return;
  }
  const auto gaps = json["heartbeatGapMs"].get<std::vector<double>>();
  const auto& resources = json["resources"];
  state.counters["p50Ms"] = percentile(gaps, 0.50);
  state.counters["p99Ms"] = percentile(gaps, 0.99);
  state.counters["maxMs"] = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
  state.counters["beats"] = static_cast<double>(gaps.size());
  state.counters["launches"] = timelines ? applications : 0;
  if (resources.size() >= 2) {
    const auto& first = resources.front();
    const auto& last = resources.back();
    const double cpu = last["cpuSeconds"].get<double>() - first["cpuSeconds"].get<double>();
    const double elapsed =
        last["elapsedSeconds"].get<double>() - first["elapsedSeconds"].get<double>();
    const auto kilobytes = [](const nlohmann::json& a, const nlohmann::json& b, const char* key) {
      return (b[key].get<double>() - a[key].get<double>()) / 1024;
    };
    state.counters["cpuSeconds"] = cpu;
    state.counters["cpuPercent"] = elapsed > 0 ? 100 * cpu / elapsed : 0;
    state.counters["footprintGrowthKB"] = kilobytes(first, last, "physicalFootprintBytes");
    state.counters["residentGrowthKB"] = kilobytes(first, last, "residentBytes");
    const auto late = std::find_if(resources.begin(), resources.end(), [](const auto& sample) {
      return sample["elapsedSeconds"].template get<double>() >= captureSeconds / 2;
    });
    if (late != resources.end())
      state.counters["lateFootprintGrowthKB"] = kilobytes(*late, last, "physicalFootprintBytes");
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_HeartbeatWhileApplicationsComeAndGo)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
