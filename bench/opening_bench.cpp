// How quickly a hidden item opens once the user chose it, on the simulated desktop at real time
// (Qt's event loop, Accessibility messages that really take 0.2 ms each): the time from the choice
// until the press is sent, and until the item's menu is seen open. The visibility framework's own
// delay in revealing the item is set to 0 and to 50 ms; what Tucklet adds on top of it is the
// overhead (`pressOverheadMs`, `menuOverheadMs`: medians, in milliseconds). Finding the item again
// and checking that it is ready take ten messages before the press; the case without message
// latency shows what Tucklet's own steps cost beyond them.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/bar_controller.h"
#include "platform/qt/qt_run_loop.h"
#include "platform/sim/desktop.h"
#include "platform/sim/visibility_host.h"
#include "platform/user_defaults.h"
#include "visibility/native_visibility.h"

namespace {

using namespace tucklet;

constexpr std::uint16_t kEscape = 53;
const std::string kChosen = "com.example.app5.item";

// Twelve applications with one item each, on macOS 27 with the visibility framework; Tucklet runs
// from /Applications with setup complete, so it hides every item at start.
sim::World world(double activationDelay, double latency) {
  sim::World w;
  w.screens.push_back({{0, 0, 1512, 982}, std::nullopt, 1});
  w.visibilityFramework.path = "builtin";
  w.visibilityFramework.faults.activationDelay = activationDelay;
  w.accessibilityLatency = latency;
  for (int i = 0; i < 12; ++i) {
    sim::WorldApplication app;
    app.pid = 1000 + i;
    app.bundleIdentifier = "com.example.app" + std::to_string(i);
    app.localizedName = "App " + std::to_string(i);
    app.bundlePath = "/Applications/" + *app.localizedName + ".app";
    sim::WorldExtra extra;
    extra.identifier = *app.bundleIdentifier + ".item";
    extra.title = "Item " + std::to_string(i);
    extra.position = 200 + i;
    extra.menu = {{"Open", false, true}, {"Quit", false, true}};
    app.extras.push_back(extra);
    w.applications.push_back(app);
  }
  return w;
}

// Runs the event loop until `done` holds; false after `seconds` without.
bool runUntil(const std::function<bool()>& done, double seconds = 5) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// One Tucklet on its own desktop, collapsed and ready.
struct Running {
  Running(double activationDelay, double latency)
      : runLoop(platform::QtRunLoop::create()),
        desktop(world(activationDelay, latency), *runLoop),
        defaults(platform::PlistDict{{"setupComplete", true}}) {
    desktop.setLatencyMode(sim::SimDesktop::LatencyMode::Sleep);
    sim::attachVisibilityHost(desktop, *runLoop);
    services.emplace(desktop.platform(defaults));
    configureNativeVisibility(
        sim::resolveVisibilityFrameworkPath(services->visibilityFrameworkPath), runLoop.get());
    controller =
        std::make_unique<BarController>(*services, Arguments(std::vector<std::string>{}), false);
    ready = runUntil([this] {
      return controller->engine().collapsed() && chosen() && !controller->engine().busy();
    });
  }
  ~Running() {
    controller->applicationWillTerminate();
    runLoop->waitForBackgroundWork();
    controller.reset();
    sim::detachVisibilityHost(desktop);
    configureNativeVisibility("", nullptr);
  }

  const BarItem* chosen() const {
    for (const auto& item : controller->inventory().items())
      if (item.identifier == kChosen) return &item;
    return nullptr;
  }

  std::unique_ptr<platform::QtRunLoop> runLoop;
  sim::SimDesktop desktop;
  platform::MemoryUserDefaults defaults;
  std::optional<platform::Platform> services;
  std::unique_ptr<BarController> controller;
  bool ready = false;
};

void BM_ChoiceToOpenMenu(benchmark::State& state) {
  const double delay = static_cast<double>(state.range(0)) / 1000;
  Running run(delay, static_cast<double>(state.range(1)) / 1e6);
  if (!run.ready) {
    state.SkipWithError("Tucklet did not collapse");
    return;
  }
  auto& opener = run.controller->opener();
  const auto mark = [&opener](const char* name) {
    const auto it = opener.latency().find(std::string(name) + "Ms");
    return it == opener.latency().end() ? -1.0 : it->second;
  };
  std::vector<double> revealed, iconReady, pressSent, menuObserved, pressAfterReveal,
      menuAfterReveal;
  for (auto _ : state) {
    opener.openItem(*run.chosen());
    if (!runUntil([&mark] { return mark("menuObserved") >= 0; })) {
      state.SkipWithError("the item's menu never opened");
      return;
    }
    revealed.push_back(mark("visibilityReady"));
    iconReady.push_back(mark("iconReady"));
    pressSent.push_back(mark("pressSent"));
    menuObserved.push_back(mark("menuObserved"));
    pressAfterReveal.push_back(pressSent.back() - revealed.back());
    menuAfterReveal.push_back(menuObserved.back() - revealed.back());
    state.SetIterationTime(menuObserved.back() / 1000);
    // Escape closes the menu; the item is hidden again before the next choice.
    run.desktop.pressKey(kEscape);
    if (!runUntil([&mark, &run] {
          return mark("hideCommitted") >= 0 && !run.controller->engine().busy();
        })) {
      state.SkipWithError("the item was not hidden again");
      return;
    }
  }
  state.counters["visibilityReadyMs"] = median(revealed);
  state.counters["iconReadyMs"] = median(iconReady);
  state.counters["pressSentMs"] = median(pressSent);
  state.counters["menuObservedMs"] = median(menuObserved);
  state.counters["pressOverheadMs"] = median(pressSent) - delay * 1000;
  state.counters["menuOverheadMs"] = median(menuObserved) - delay * 1000;
  // From the moment the framework's reveal took effect: what Tucklet itself adds, without the
  // lateness of the framework stand-in's own timer on a busy machine.
  state.counters["pressAfterRevealMs"] = median(pressAfterReveal);
  state.counters["menuAfterRevealMs"] = median(menuAfterReveal);
}

BENCHMARK(BM_ChoiceToOpenMenu)
    ->ArgNames({"activationDelayMs", "latencyUs"})
    ->Args({0, 200})
    ->Args({50, 200})
    ->Args({0, 0})
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QCoreApplication application(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
