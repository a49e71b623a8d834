// What reading Tucklet's inputs costs when they are large or built to hurt: the defaults file
// (100,000 entries in `excludedIDs`, objects shared twenty levels deep, 30,000 nested arrays) and
// world files (200,000 objects in a list, 100,000 nested levels, 16 MB). Each should take time in
// proportion to its size and end in well under a second: loaded, or refused.
#include <benchmark/benchmark.h>

#include <string>
#include <variant>

#include "platform/host/plist_file.h"
#include "platform/sim/world_loader.h"

namespace {

using tucklet::platform::PlistArray;
using tucklet::platform::PlistDict;
using tucklet::platform::PlistValue;

void readList(benchmark::State& state, const std::string& bytes, bool expectRead) {
  for (auto _ : state) {
    auto value = tucklet::platform::parsePropertyList(bytes);
    if (value.has_value() != expectRead) {
      state.SkipWithError(expectRead ? "refused" : "read");
      return;
    }
    benchmark::DoNotOptimize(value);
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_DefaultsManyExcludedIDs(benchmark::State& state) {
  PlistArray identifiers;
  for (int i = 0; i < state.range(0); ++i)
    identifiers.emplace_back("com.example.app" + std::to_string(i) + ":item");
  readList(
      state,
      tucklet::platform::binaryPropertyList(PlistValue(PlistDict{{"excludedIDs", identifiers}})),
      true);
}

// Object i is [i + 1, i + 1]; the last is an integer: 2^levels values once expanded.
void BM_DefaultsSharedObjects(benchmark::State& state) {
  const auto levels = static_cast<std::size_t>(state.range(0));
  std::string bytes = "bplist00";
  std::string table;
  for (std::size_t i = 0; i <= levels; ++i) {
    table += static_cast<char>(bytes.size());
    if (i < levels) {
      bytes += static_cast<char>(0xA2);
      bytes += static_cast<char>(i + 1);
      bytes += static_cast<char>(i + 1);
    } else {
      bytes += std::string("\x10\x07", 2);
    }
  }
  const std::size_t tableOffset = bytes.size();
  bytes += table;
  std::string trailer(32, '\0');
  trailer[6] = 1;
  trailer[7] = 1;
  trailer[15] = static_cast<char>(levels + 1);
  trailer[31] = static_cast<char>(tableOffset);
  readList(state, bytes + trailer, false);
}

void BM_DefaultsNestedArrays(benchmark::State& state) {
  std::string xml = "<plist version=\"1.0\">";
  for (int i = 0; i < state.range(0); ++i)
    xml += "<array>";
  for (int i = 0; i < state.range(0); ++i)
    xml += "</array>";
  readList(state, xml + "</plist>", false);
}

void readWorld(benchmark::State& state, const std::string& text, bool expectLoaded) {
  for (auto _ : state) {
    auto result = tucklet::sim::parseWorld(text, "bench.json");
    if (std::holds_alternative<tucklet::sim::World>(result) != expectLoaded) {
      state.SkipWithError(expectLoaded ? "refused" : "loaded");
      return;
    }
    benchmark::DoNotOptimize(result);
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}

constexpr const char* kScreens =
    R"("screens": [{"frame": {"x": 0, "y": 0, "width": 1440, "height": 900}}])";

void BM_WorldManyObjects(benchmark::State& state) {
  std::string text = std::string("{") + kScreens + ", \"installed\": [";
  for (int i = 0; i < state.range(0); ++i)
    text +=
        std::string(i ? "," : "") + "{\"path\": \"/Applications/A" + std::to_string(i) + ".app\"}";
  readWorld(state, text + "]}", true);
}

void BM_WorldDeepNesting(benchmark::State& state) {
  const auto depth = static_cast<std::size_t>(state.range(0));
  readWorld(state, "{\"name\": " + std::string(depth, '[') + std::string(depth, ']') + "}", false);
}

BENCHMARK(BM_DefaultsManyExcludedIDs)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultsSharedObjects)->Arg(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DefaultsNestedArrays)->Arg(30'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WorldManyObjects)->Arg(200'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorldDeepNesting)->Arg(100'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
