// What one Accessibility scan of the menu bar costs when every message really takes time: how many
// messages each item needs, and how close the scan's time is to the time its messages alone take:
// `costRatio` against their nominal latency, `costRatioMeasured` against what one message
// measurably costs on this machine (1.0: the walk itself costs nothing beyond its messages). One
// case adds a hung application, whose cost (`hungAppMs`, the scan with it minus the same scan
// without it) should be one messaging time-out and no more; `BM_WalkCostGrowth` shows whether the
// walk's own cost per item stays flat from 10 to 200 items.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "inventory/scanner.h"
#include "platform/sim/desktop.h"
#include "platform/sim/sim_core.h"
#include "platform/virtual_run_loop.h"

namespace {

using tucklet::sim::SimDesktop;
using tucklet::sim::World;
using tucklet::sim::WorldApplication;
using tucklet::sim::WorldExtra;

constexpr double kLatency = 0.0002;  // per message: a responsive application on a busy machine

WorldApplication application(int index) {
  WorldApplication app;
  app.pid = 1000 + index;
  app.bundleIdentifier = "com.example.app" + std::to_string(index);
  app.localizedName = "App " + std::to_string(index);
  app.bundlePath = "/Applications/" + *app.localizedName + ".app";
  return app;
}

// `count` items over applications of one to four items each, with the variety a real bar shows:
// nested and direct elements, items named by title, by description or not at all.
World barWith(int count, bool hungApplication) {
  World world;
  world.screens.push_back({{0, 0, 1512, 982}, std::nullopt, 1});
  world.accessibilityLatency = kLatency;
  int made = 0;
  for (int index = 0; made < count; ++index) {
    auto app = application(index);
    for (int i = 0; i <= index % 4 && made < count; ++i, ++made) {
      WorldExtra extra;
      extra.identifier = app.bundleIdentifier.value() + ".item" + std::to_string(i);
      extra.position = made;
      extra.width = 22 + made % 3 * 6;
      if (made % 3 == 0) extra.structure = WorldExtra::Structure::Grandchild;
      if (made % 4 < 2)
        extra.title = "Item " + std::to_string(made);
      else if (made % 4 == 2)
        extra.description = "Item " + std::to_string(made);
      app.extras.push_back(extra);
    }
    world.applications.push_back(app);
  }
  if (hungApplication) {
    auto app = application(9999);
    app.hung = true;
    for (int i = 0; i < 2; ++i) {
      WorldExtra extra;
      extra.title = "Stuck " + std::to_string(i);
      app.extras.push_back(extra);
    }
    world.applications.insert(world.applications.begin() + static_cast<long>(count / 8), app);
  }
  return world;
}

// Waiting for a message's latency, as the desktop does, can take longer than asked on a loaded
// machine. What one message really costs here: the least, over several rounds, that 100 waits of
// the latency took, per wait. Measured once per run.
double measuredMessageSeconds() {
  static const double measured = [] {
    constexpr int kRounds = 7;
    constexpr int kMessages = 100;
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < kMessages; ++i)
        tucklet::sim::waitExactly(kLatency);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
          kMessages;
      if (round == 0 || seconds < best) best = seconds;
    }
    return best;
  }();
  return measured;
}

// CPU time of the calling thread: the walk's own cost, undisturbed by other processes.
double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct ScanRun {
  double seconds = 0;     // wall time
  double cpuSeconds = 0;  // this thread's CPU time
  double charged = 0;     // latency and time-outs the desktop charged
  double messages = 0;
  std::size_t found = 0;
};

ScanRun scanOnce(SimDesktop& desktop) {
  desktop.resetAccessibilityCounters();
  ScanRun run;
  const double cpuStart = threadCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  auto items = tucklet::scanMenuBarItems(desktop.accessibility(), desktop.workspace());
  const auto end = std::chrono::steady_clock::now();
  run.cpuSeconds = threadCpuSeconds() - cpuStart;
  benchmark::DoNotOptimize(items);
  run.seconds = std::chrono::duration<double>(end - start).count();
  run.charged = desktop.spentAccessibilitySeconds();
  run.messages = static_cast<double>(desktop.accessibilityMessageCount());
  run.found = items.size();
  return run;
}

std::unique_ptr<SimDesktop> desktopFor(World world, double latency,
                                       tucklet::platform::VirtualRunLoop& runLoop) {
  world.accessibilityLatency = latency;
  auto desktop = std::make_unique<SimDesktop>(std::move(world), runLoop);
  desktop->setLatencyMode(SimDesktop::LatencyMode::Sleep);
  return desktop;
}

void scan(benchmark::State& state, bool hungApplication, double latency) {
  const int count = static_cast<int>(state.range(0));
  tucklet::platform::VirtualRunLoop runLoop;
  auto desktop = desktopFor(barWith(count, hungApplication), latency, runLoop);
  // The same bar without the hung application, scanned beside it: the difference is what the
  // hung application costs.
  auto healthy = hungApplication ? desktopFor(barWith(count, false), latency, runLoop) : nullptr;
  if (latency > 0) measuredMessageSeconds();  // not inside the timed loop

  ScanRun total;
  double healthySeconds = 0;
  for (auto _ : state) {
    const auto run = scanOnce(*desktop);
    total.seconds += run.seconds;
    total.cpuSeconds += run.cpuSeconds;
    total.charged += run.charged;
    total.messages += run.messages;
    total.found = run.found;
    if (healthy) {
      state.PauseTiming();
      healthySeconds += scanOnce(*healthy).seconds;
      state.ResumeTiming();
    }
  }
  if (total.found != static_cast<std::size_t>(count)) {
    state.SkipWithError("the scan did not find every item");
    return;
  }
  const auto iterations = static_cast<double>(state.iterations());
  const auto found = static_cast<double>(total.found);
  state.counters["items"] = found;
  state.counters["messagesPerItem"] = total.messages / iterations / found;
  if (latency > 0) {
    // Against what the desktop charged (each message's nominal latency, the time-outs) ...
    if (total.charged > 0) state.counters["costRatio"] = total.seconds / total.charged;
    // ... and against what the same number of messages measurably costs on this machine (time-outs
    // are one long sleep each and cost what they say).
    const double timeOuts = total.charged - total.messages * latency;
    const double expected = total.messages * measuredMessageSeconds() + std::max(timeOuts, 0.0);
    state.counters["costRatioMeasured"] = total.seconds / expected;
    state.counters["messageUs"] = measuredMessageSeconds() * 1e6;
  }
  if (healthy) {
    // The hung application should cost its one time-out and nothing more.
    state.counters["hungAppMs"] = (total.seconds - healthySeconds) / iterations * 1000;
    state.counters["timeOutMs"] = tucklet::scanMessagingTimeout * 1000;
  }
  state.counters["usPerItem"] = total.seconds / iterations / found * 1e6;
  state.counters["cpuUsPerItem"] = total.cpuSeconds / iterations / found * 1e6;
}

// The yardstick for costRatioMeasured: what waiting for one message's latency really takes here
// (the least of several rounds), against what was asked.
void BM_LatencyAlone(benchmark::State& state) {
  for (auto _ : state)
    tucklet::sim::waitExactly(kLatency);
  state.counters["messageUs"] = measuredMessageSeconds() * 1e6;
  state.counters["costRatio"] = measuredMessageSeconds() / kLatency;
}

void BM_Scan(benchmark::State& state) {
  scan(state, false, kLatency);
}
void BM_ScanWithHungApplication(benchmark::State& state) {
  scan(state, true, kLatency);
}
// The walk's own cost, without any message latency.
void BM_ScanWithoutLatency(benchmark::State& state) {
  scan(state, false, 0);
}

// Whether the walk's cost per item stays flat as the bar grows: scans of 10 and of 200 items
// taken in turn, so both see the same machine load. growth is the CPU time per item at 200 over
// that at 10 (1.0: flat).
void BM_WalkCostGrowth(benchmark::State& state) {
  tucklet::platform::VirtualRunLoop runLoop;
  auto small = desktopFor(barWith(10, false), 0, runLoop);
  auto large = desktopFor(barWith(200, false), 0, runLoop);
  double smallCpu = 0;
  double largeCpu = 0;
  for (auto _ : state) {
    // Twenty small scans weigh about as much as one large one.
    for (int i = 0; i < 20; ++i)
      smallCpu += scanOnce(*small).cpuSeconds;
    largeCpu += scanOnce(*large).cpuSeconds;
  }
  const auto iterations = static_cast<double>(state.iterations());
  const double smallPerItem = smallCpu / (iterations * 20 * 10);
  const double largePerItem = largeCpu / (iterations * 200);
  state.counters["cpuUsPerItemAt10"] = smallPerItem * 1e6;
  state.counters["cpuUsPerItemAt200"] = largePerItem * 1e6;
  state.counters["growth"] = largePerItem / smallPerItem;
}

BENCHMARK(BM_LatencyAlone)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Scan)->Arg(10)->Arg(50)->Arg(200)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanWithHungApplication)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanWithoutLatency)->Arg(10)->Arg(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkCostGrowth)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
