#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/debounce.h"
#include "platform/virtual_run_loop.h"

namespace tucklet::platform {
namespace {

TEST(Debouncer, RunsOnceDelayAfterTheLastTrigger) {
  VirtualRunLoop loop;
  std::vector<double> runs;
  Debouncer debouncer(loop, 0.15, TimerMode::Common, [&] { runs.push_back(loop.uptime()); });
  const double start = loop.uptime();

  debouncer.trigger();
  loop.advance(0.1);
  debouncer.trigger();
  loop.advance(0.1);
  debouncer.trigger();
  EXPECT_TRUE(debouncer.isPending());
  loop.advance(0.149);
  EXPECT_TRUE(runs.empty());
  loop.advance(0.002);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NEAR(runs[0], start + 0.35, 1e-9);
  EXPECT_FALSE(debouncer.isPending());

  loop.advance(5);
  EXPECT_EQ(runs.size(), 1u);

  // It can be used again, and the action may trigger it anew.
  int chained = 0;
  Debouncer again(loop, 0.7, TimerMode::Default, [&] {
    if (++chained == 1) again.trigger();
  });
  again.trigger();
  loop.advance(0.7);
  EXPECT_EQ(chained, 1);
  loop.advance(0.7);
  EXPECT_EQ(chained, 2);
  loop.advance(5);
  EXPECT_EQ(chained, 2);
}

TEST(Debouncer, NothingRunsAfterCancelOrDestruction) {
  VirtualRunLoop loop;
  int runs = 0;
  auto debouncer = std::make_unique<Debouncer>(loop, 0.15, TimerMode::Common, [&] { ++runs; });
  debouncer->trigger();
  debouncer->cancel();
  loop.advance(1);
  EXPECT_EQ(runs, 0);

  debouncer->trigger();
  debouncer.reset();
  loop.advance(1);
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(loop.liveTimerCount(), 0u);

  // An action may destroy its own debouncer.
  debouncer = std::make_unique<Debouncer>(loop, 0.15, TimerMode::Common, [&] {
    ++runs;
    debouncer.reset();
  });
  debouncer->trigger();
  loop.advance(1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(debouncer, nullptr);
}

}  // namespace
}  // namespace tucklet::platform
