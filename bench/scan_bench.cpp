// What one Accessibility scan of the menu bar costs when every message really takes time: how many
// messages each item needs, and how close the scan's time is to the time its messages alone take
// (costRatio 1.0: the walk itself costs nothing beyond its messages). One case adds a hung
// application, which should cost one messaging time-out and no more.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "inventory/scanner.h"
#include "platform/sim/desktop.h"
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

void scan(benchmark::State& state, bool hungApplication, double latency) {
  const int count = static_cast<int>(state.range(0));
  auto world = barWith(count, hungApplication);
  world.accessibilityLatency = latency;
  tucklet::platform::VirtualRunLoop runLoop;
  SimDesktop desktop(world, runLoop);
  desktop.setLatencyMode(SimDesktop::LatencyMode::Sleep);

  double seconds = 0;
  double charged = 0;
  double messages = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    desktop.resetAccessibilityCounters();
    const auto start = std::chrono::steady_clock::now();
    auto items = tucklet::scanMenuBarItems(desktop.accessibility(), desktop.workspace());
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(items);
    seconds += std::chrono::duration<double>(end - start).count();
    charged += desktop.spentAccessibilitySeconds();
    messages += static_cast<double>(desktop.accessibilityMessageCount());
    found = items.size();
  }
  if (found != static_cast<std::size_t>(count)) {
    state.SkipWithError("the scan did not find every item");
    return;
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["items"] = static_cast<double>(found);
  state.counters["messagesPerItem"] = messages / iterations / static_cast<double>(found);
  // What the desktop charged: each message's latency, and the time-out of the hung application.
  if (charged > 0) state.counters["costRatio"] = seconds / charged;
  // The hung application should cost its one time-out; this is everything else.
  if (hungApplication)
    state.counters["beyondTimeOutMs"] =
        (seconds / iterations - tucklet::scanMessagingTimeout) * 1000;
  state.counters["usPerItem"] = seconds / iterations / static_cast<double>(found) * 1e6;
}

// The yardstick for costRatio: sleeping for a message's latency, as the desktop does, takes longer
// than asked on a loaded machine. A scan's costRatio close to this one means the walk adds little.
void BM_LatencyAlone(benchmark::State& state) {
  const auto messages = state.range(0);
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t i = 0; i < messages; ++i)
      std::this_thread::sleep_for(std::chrono::duration<double>(kLatency));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["costRatio"] =
      seconds / (static_cast<double>(state.iterations() * messages) * kLatency);
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

BENCHMARK(BM_LatencyAlone)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan)->Arg(10)->Arg(50)->Arg(200)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanWithHungApplication)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanWithoutLatency)->Arg(10)->Arg(200)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
