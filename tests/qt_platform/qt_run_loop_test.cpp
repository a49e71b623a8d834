// The real run loop on Qt's event loop. Timing is loose: the tests wait for things to happen (with
// a generous time-out) and check order and threads, never speed.
#include "platform/qt/qt_run_loop.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/qt_platform/qt_test_app.h"

namespace tucklet::platform {
namespace {

using qttest::runEventLoopFor;
using qttest::runEventLoopUntil;

class QtRunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qttest::qtTestApp();
    loop = QtRunLoop::create();
    ASSERT_NE(loop, nullptr);
  }

  std::unique_ptr<QtRunLoop> loop;
};

TEST_F(QtRunLoopTest, MainQueueWorkFromAnyThreadRunsOnTheMainThreadInOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 200;
  std::vector<std::vector<int>> seen(kThreads + 1);
  int total = 0;
  bool allOnMain = true;
  auto submit = [&](int source) {
    for (int i = 0; i < kPerThread; ++i)
      loop->async([&, source, i] {
        allOnMain = allOnMain && loop->isMainThread();
        seen[source].push_back(i);
        ++total;
      });
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back(submit, t);
  submit(kThreads);  // and from the main thread itself
  for (auto& t : threads)
    t.join();

  ASSERT_TRUE(runEventLoopUntil([&] { return total == (kThreads + 1) * kPerThread; }));
  EXPECT_TRUE(allOnMain);
  for (const auto& fromOneSource : seen) {
    ASSERT_EQ(fromOneSource.size(), static_cast<std::size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i)
      EXPECT_EQ(fromOneSource[i], i);
  }
}

TEST_F(QtRunLoopTest, DelayedWorkRunsByDeadlineThenSubmissionOrder) {
  std::vector<std::string> order;
  const double start = loop->uptime();
  double lateAt = 0;
  loop->asyncAfter(0.06, [&] {
    lateAt = loop->uptime();
    order.push_back("late");
  });
  for (int i = 0; i < 20; ++i)
    loop->asyncAfter(0.02, [&, i] { order.push_back(std::to_string(i)); });
  loop->asyncAfter(-1, [&] { order.push_back("negative"); });
  std::thread([&] {
    loop->asyncAfter(0.03, [&] {
      EXPECT_TRUE(loop->isMainThread());
      order.push_back("from a thread");
    });
  }).join();

  ASSERT_TRUE(runEventLoopUntil([&] { return order.size() == 23; }));
  EXPECT_EQ(order.front(), "negative");
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(order[1 + i], std::to_string(i));
  EXPECT_EQ(order[21], "from a thread");
  EXPECT_EQ(order[22], "late");
  EXPECT_GE(lateAt - start, 0.06);  // never early
}

TEST_F(QtRunLoopTest, ABacklogOfSlowWorkLetsOtherEventsInBetween) {
  // Ten pieces of due work of 30 ms each: what arrives meanwhile (input, the session bus, a
  // termination signal) must not wait for all of them.
  int ran = 0;
  int ranBeforePosted = -1;
  for (int i = 0; i < 10; ++i)
    loop->asyncAfter(0, [&] {
      if (ran == 0) loop->async([&] { ranBeforePosted = ran; });
      ++ran;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    });
  ASSERT_TRUE(runEventLoopUntil([&] { return ran == 10 && ranBeforePosted >= 0; }));
  EXPECT_GE(ranBeforePosted, 1);
  EXPECT_LT(ranBeforePosted, 10);
}

TEST_F(QtRunLoopTest, RepeatingTimerInvalidatedInsideItsCallbackStopsForGood) {
  int fired = 0;
  TimerRef timer;
  auto captured = std::make_shared<int>(7);
  std::weak_ptr<int> watch = captured;
  timer = loop->scheduleTimer(0.005, true, TimerMode::Default, [&, captured] {
    EXPECT_TRUE(loop->isMainThread());
    if (++fired == 3) {
      timer->invalidate();
      timer->invalidate();
      EXPECT_EQ(*captured, 7);  // still alive while the callback runs
    }
  });
  captured.reset();
  EXPECT_TRUE(timer->isValid());
  ASSERT_TRUE(runEventLoopUntil([&] { return fired >= 3; }));
  runEventLoopFor(60);
  EXPECT_EQ(fired, 3);
  EXPECT_FALSE(timer->isValid());
  EXPECT_TRUE(watch.expired());
}

TEST_F(QtRunLoopTest, OneShotTimersFireOnceAndInvalidatedOnesNever) {
  int once = 0, never = 0;
  auto oneShot = loop->scheduleTimer(0.01, false, TimerMode::Common, [&] { ++once; });
  auto doomed = loop->scheduleTimer(0.01, false, TimerMode::Common, [&] { ++never; });
  // Due together with the timer it invalidates, but scheduled first: the firing is not delivered.
  TimerRef victim;
  loop->scheduleTimer(0.02, false, TimerMode::Common, [&] { victim->invalidate(); });
  victim = loop->scheduleTimer(0.02, false, TimerMode::Common, [&] { ++never; });
  doomed->invalidate();
  EXPECT_TRUE(oneShot->isValid());
  // Scheduled and invalidated from another thread.
  bool fromThreadOnMain = false;
  std::thread([&] {
    loop->scheduleTimer(0.01, false, TimerMode::Default,
                        [&] { fromThreadOnMain = loop->isMainThread(); });
    loop->scheduleTimer(0.01, false, TimerMode::Default, [&] { ++never; })->invalidate();
  }).join();

  bool done = false;
  loop->asyncAfter(0.08, [&] { done = true; });
  ASSERT_TRUE(runEventLoopUntil([&] { return done; }));
  EXPECT_EQ(once, 1);
  EXPECT_FALSE(oneShot->isValid());
  EXPECT_EQ(never, 0);
  EXPECT_FALSE(victim->isValid());
  EXPECT_TRUE(fromThreadOnMain);
}

TEST_F(QtRunLoopTest, DefaultModeTimersWaitWhileTrackingButCommonModeAndMainQueueRun) {
  std::vector<std::string> order;
  loop->beginTracking();
  loop->beginTracking();  // a submenu
  EXPECT_TRUE(loop->isTracking());
  auto deferred =
      loop->scheduleTimer(0.01, false, TimerMode::Default, [&] { order.push_back("default"); });
  int repeats = 0;
  auto repeating = loop->scheduleTimer(0.005, true, TimerMode::Default, [&] { ++repeats; });
  loop->scheduleTimer(0.01, false, TimerMode::Common, [&] { order.push_back("common"); });
  loop->asyncAfter(0.04, [&] { order.push_back("main queue"); });

  ASSERT_TRUE(runEventLoopUntil([&] { return order.size() == 2; }));
  runEventLoopFor(30);
  EXPECT_EQ(order, (std::vector<std::string>{"common", "main queue"}));
  EXPECT_EQ(repeats, 0);
  EXPECT_TRUE(deferred->isValid());

  loop->endTracking();
  runEventLoopFor(30);
  EXPECT_EQ(order.size(), 2u);  // still inside the outer menu

  loop->endTracking();
  EXPECT_FALSE(loop->isTracking());
  ASSERT_TRUE(runEventLoopUntil([&] { return order.size() == 3 && repeats >= 2; }));
  EXPECT_EQ(order.back(), "default");
  EXPECT_FALSE(deferred->isValid());
  repeating->invalidate();
}

TEST_F(QtRunLoopTest, BackgroundWorkNeverRunsOnTheMainThread) {
  constexpr QualityOfService kAll[] = {QualityOfService::UserInteractive,
                                       QualityOfService::UserInitiated, QualityOfService::Default,
                                       QualityOfService::Utility, QualityOfService::Background};
  std::mutex mutex;
  std::vector<int> niceBy(5, -100);
  std::atomic<int> onMain = 0;
  int handedBack = 0;
  for (auto qos : kAll) {
    for (int i = 0; i < 8; ++i) {
      loop->background(qos, [&, qos] {
        if (loop->isMainThread()) ++onMain;
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        {
          std::lock_guard lock(mutex);
          niceBy[static_cast<int>(qos)] = nice;
        }
        loop->async([&] {
          EXPECT_TRUE(loop->isMainThread());
          ++handedBack;
        });
      });
    }
  }
  ASSERT_TRUE(runEventLoopUntil([&] { return handedBack == 40; }));
  EXPECT_EQ(onMain, 0);
  // Lower qualities of service run at lower priorities (at least; the process may start niced).
  EXPECT_GE(niceBy[static_cast<int>(QualityOfService::Utility)], 5);
  EXPECT_GE(niceBy[static_cast<int>(QualityOfService::Background)], 10);
  EXPECT_GT(niceBy[static_cast<int>(QualityOfService::Background)],
            niceBy[static_cast<int>(QualityOfService::Utility)]);
}

TEST_F(QtRunLoopTest, DestroyingTheLoopWaitsForBackgroundWorkAndDropsPendingWork) {
  std::atomic<bool> finished = false;
  bool ranAfterDestruction = false;
  auto timer = loop->scheduleTimer(0.01, true, TimerMode::Common, [&] {});
  loop->background(QualityOfService::Utility, [&, runLoop = loop.get()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    runLoop->async([&] { ranAfterDestruction = true; });
    finished = true;
  });
  loop.reset();
  EXPECT_TRUE(finished);
  EXPECT_FALSE(timer->isValid());
  runEventLoopFor(30);
  EXPECT_FALSE(ranAfterDestruction);
}

TEST_F(QtRunLoopTest, ClocksAndThreads) {
  const double before = loop->uptime();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(loop->uptime() - before, 0.02);

  const double system =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(loop->wallClock(), system, 5.0);

  EXPECT_TRUE(loop->isMainThread());
  std::thread([&] { EXPECT_FALSE(loop->isMainThread()); }).join();
}

// Local time follows the time zone: compare with the wall clock shifted by a known offset.
TEST_F(QtRunLoopTest, LocalTimeFollowsTheTimeZone) {
  const char* saved = std::getenv("TZ");
  const std::string savedZone = saved ? saved : "";
  struct Zone {
    const char* tz;
    int offsetSeconds;
  };
  for (Zone zone : {Zone{"UTC0", 0}, Zone{"IST-5:30", 19800}, Zone{"NST3:30", -12600}}) {
    setenv("TZ", zone.tz, 1);
    tzset();
    LocalClockTime local;
    long long expectedMinutes;
    long long afterMinutes;
    do {  // read again if a minute boundary passed in between
      const auto wall = static_cast<long long>(loop->wallClock()) + zone.offsetSeconds;
      local = loop->localTime();
      expectedMinutes = ((wall % 86400) + 86400) % 86400 / 60;
      const auto after = static_cast<long long>(loop->wallClock()) + zone.offsetSeconds;
      afterMinutes = ((after % 86400) + 86400) % 86400 / 60;
    } while (expectedMinutes != afterMinutes);
    EXPECT_EQ(local.hour * 60 + local.minute, expectedMinutes) << zone.tz;
  }
  if (saved) {
    setenv("TZ", savedZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace tucklet::platform
