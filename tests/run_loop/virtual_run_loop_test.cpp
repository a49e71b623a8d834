// The virtual run loop: what product tests rely on when they move time by hand.
#include "platform/virtual_run_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tucklet::platform {
namespace {

TEST(VirtualRunLoop, RunsWorkByTimeThenSubmissionAndMovesBothClocks) {
  VirtualRunLoop loop(100.0, 5000.0);
  std::vector<std::string> order;
  std::vector<double> seenAt;
  auto note = [&](std::string name) {
    return [&, name] {
      order.push_back(name);
      seenAt.push_back(loop.uptime());
      EXPECT_NEAR(loop.wallClock() - 5000.0, loop.uptime() - 100.0, 1e-9);
    };
  };
  loop.asyncAfter(0.5, note("late"));
  loop.asyncAfter(0.2, note("first at 0.2"));
  loop.async(note("now"));
  loop.scheduleTimer(0.2, false, TimerMode::Default, note("timer at 0.2"));
  loop.asyncAfter(0.2, note("second at 0.2"));
  loop.asyncAfter(-3, note("negative delay"));  // treated as now, after earlier work for now

  loop.advance(0.3);
  EXPECT_EQ(order, (std::vector<std::string>{"now", "negative delay", "first at 0.2",
                                             "timer at 0.2", "second at 0.2"}));
  EXPECT_EQ(seenAt, (std::vector<double>{100.0, 100.0, 100.2, 100.2, 100.2}));
  EXPECT_DOUBLE_EQ(loop.uptime(), 100.3);
  EXPECT_DOUBLE_EQ(loop.wallClock(), 5000.3);

  loop.advance(0.3);
  EXPECT_EQ(order.back(), "late");
  EXPECT_DOUBLE_EQ(seenAt.back(), 100.5);
}

TEST(VirtualRunLoop, DrainRunsOnlyWhatIsDueWithoutMovingTheClock) {
  VirtualRunLoop loop;
  int now = 0, later = 0;
  loop.async([&] {
    ++now;
    loop.async([&] { ++now; });  // queued by queued work: still due now
  });
  loop.asyncAfter(0.01, [&] { ++later; });
  loop.drain();
  EXPECT_EQ(now, 2);
  EXPECT_EQ(later, 0);
  EXPECT_DOUBLE_EQ(loop.uptime(), 1000.0);
  double next = 0;
  ASSERT_TRUE(loop.nextDueTime(next));
  EXPECT_DOUBLE_EQ(next, 1000.01);
}

TEST(VirtualRunLoop, TimersScheduledByTimersFireWithinTheSameAdvance) {
  VirtualRunLoop loop(0.0);
  std::vector<std::pair<std::string, double>> fired;
  loop.scheduleTimer(1.0, false, TimerMode::Common, [&] {
    fired.emplace_back("outer", loop.uptime());
    loop.scheduleTimer(0.5, false, TimerMode::Common,
                       [&] { fired.emplace_back("inner", loop.uptime()); });
    loop.scheduleTimer(2.0, false, TimerMode::Common,
                       [&] { fired.emplace_back("beyond", loop.uptime()); });
    loop.scheduleTimer(0.0, false, TimerMode::Common,
                       [&] { fired.emplace_back("zero", loop.uptime()); });
  });
  loop.advance(2.0);
  ASSERT_EQ(fired.size(), 3u);
  EXPECT_EQ(fired[0], std::make_pair(std::string("outer"), 1.0));
  EXPECT_EQ(fired[1], std::make_pair(std::string("zero"), 1.0));
  EXPECT_EQ(fired[2], std::make_pair(std::string("inner"), 1.5));
  loop.advance(1.0);
  ASSERT_EQ(fired.size(), 4u);
  EXPECT_EQ(fired[3], std::make_pair(std::string("beyond"), 3.0));
}

TEST(VirtualRunLoop, RepeatingTimersKeepTheirScheduleAcrossManySteps) {
  VirtualRunLoop loop;
  int tenths = 0, thirds = 0;
  auto tenth = loop.scheduleTimer(0.1, true, TimerMode::Default, [&] { ++tenths; });
  auto third = loop.scheduleTimer(1.0 / 3.0, true, TimerMode::Common, [&] { ++thirds; });
  loop.advance(1.0);
  EXPECT_EQ(tenths, 10);
  EXPECT_EQ(thirds, 3);
  // Stepping in small increments must not lose or gain firings to rounding.
  for (int i = 0; i < 100; ++i)
    loop.advance(0.01);
  EXPECT_EQ(tenths, 20);
  EXPECT_EQ(thirds, 6);
  EXPECT_TRUE(tenth->isValid());
  EXPECT_EQ(loop.liveTimerCount(), 2u);
}

TEST(VirtualRunLoop, InvalidationFromInsideCallbacks) {
  VirtualRunLoop loop;
  int selfFired = 0;
  TimerRef self;
  auto released = std::make_shared<int>(0);
  std::weak_ptr<int> watch = released;
  self = loop.scheduleTimer(1.0, true, TimerMode::Common, [&, released] {
    ++selfFired;
    if (selfFired == 3) {
      self->invalidate();
      self->invalidate();  // twice is harmless
      // The callback's own state stays usable until it returns.
      EXPECT_EQ(*released, 0);
    }
  });
  released.reset();
  // Two timers due at the same moment: the one scheduled first invalidates the other, which then
  // never fires.
  int victimFired = 0;
  TimerRef victim;
  loop.scheduleTimer(1.0, false, TimerMode::Common, [&] { victim->invalidate(); });
  victim = loop.scheduleTimer(1.0, false, TimerMode::Common, [&] { ++victimFired; });

  loop.advance(10.0);
  EXPECT_EQ(selfFired, 3);
  EXPECT_FALSE(self->isValid());
  EXPECT_EQ(victimFired, 0);
  EXPECT_FALSE(victim->isValid());
  // Invalidating drops the callback and whatever it captured.
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(loop.liveTimerCount(), 0u);
}

TEST(VirtualRunLoop, OneShotTimersFireOnceThenBecomeInvalid) {
  VirtualRunLoop loop;
  int fired = 0;
  bool validWhileFiring = false;
  TimerRef timer;
  timer = loop.scheduleTimer(0.25, false, TimerMode::Default, [&] {
    ++fired;
    validWhileFiring = timer->isValid();
  });
  loop.advance(0.2);
  EXPECT_TRUE(timer->isValid());
  EXPECT_EQ(fired, 0);
  loop.advance(5.0);
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(validWhileFiring);
  EXPECT_FALSE(timer->isValid());
  EXPECT_EQ(loop.liveTimerCount(), 0u);
  timer->invalidate();  // after it is spent: harmless
}

TEST(VirtualRunLoop, HeldBackgroundWorkIsReleasedLaterInSubmissionOrder) {
  VirtualRunLoop loop;
  std::vector<int> ran;
  loop.background(QualityOfService::Utility, [&] { ran.push_back(0); });
  EXPECT_EQ(ran, std::vector<int>{0});  // runs at once by default

  loop.setBackgroundPolicy(VirtualRunLoop::BackgroundPolicy::Hold);
  loop.background(QualityOfService::UserInitiated, [&] { ran.push_back(1); });
  loop.background(QualityOfService::Utility, [&] {
    ran.push_back(2);
    loop.async([&] { ran.push_back(20); });  // results travel back through the main queue
  });
  loop.background(QualityOfService::Background, [&] { ran.push_back(3); });
  EXPECT_EQ(ran.size(), 1u);
  ASSERT_EQ(loop.heldBackgroundCount(), 3u);
  EXPECT_EQ(loop.heldBackgroundQuality(0), QualityOfService::UserInitiated);
  EXPECT_EQ(loop.heldBackgroundQuality(2), QualityOfService::Background);

  loop.releaseBackground(2);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(loop.heldBackgroundCount(), 1u);
  loop.drain();
  EXPECT_EQ(ran.back(), 20);
  loop.releaseBackground();
  EXPECT_EQ(ran.back(), 3);
  EXPECT_EQ(loop.heldBackgroundCount(), 0u);
  loop.releaseBackground();  // nothing held: nothing happens

  EXPECT_EQ(loop.backgroundSubmissions(QualityOfService::Utility), 2u);
  EXPECT_EQ(loop.backgroundSubmissions(QualityOfService::UserInitiated), 1u);
  EXPECT_EQ(loop.backgroundSubmissions(QualityOfService::UserInteractive), 0u);
}

TEST(VirtualRunLoop, DefaultModeTimersWaitWhileTrackingAndCommonModeOnesFire) {
  VirtualRunLoop loop(0.0);
  std::vector<std::pair<std::string, double>> fired;
  auto record = [&](std::string name) {
    return [&, name] { fired.emplace_back(name, loop.uptime()); };
  };
  loop.scheduleTimer(1.0, false, TimerMode::Default, record("default once"));
  auto repeating = loop.scheduleTimer(0.5, true, TimerMode::Default, record("default repeating"));
  loop.scheduleTimer(1.0, true, TimerMode::Common, record("common"));
  auto dropped = loop.scheduleTimer(0.1, false, TimerMode::Default, record("dropped"));

  loop.beginTracking();
  loop.beginTracking();  // nested menus
  EXPECT_TRUE(loop.isTracking());
  loop.asyncAfter(0.75, record("main queue"));
  loop.advance(2.2);
  // Only common-mode timers and main-queue work ran while tracking.
  EXPECT_EQ(fired, (std::vector<std::pair<std::string, double>>{
                       {"main queue", 0.75}, {"common", 1.0}, {"common", 2.0}}));

  loop.endTracking();
  EXPECT_TRUE(loop.isTracking());
  loop.advance(0.1);
  EXPECT_EQ(fired.size(), 3u);

  dropped->invalidate();  // while deferred: it never fires
  loop.endTracking();
  EXPECT_FALSE(loop.isTracking());
  loop.drain();
  // Each deferred timer fires once when tracking ends, in the order it came due; the repeating
  // one does not make up for the firings it missed.
  ASSERT_EQ(fired.size(), 5u);
  EXPECT_EQ(fired[3].first, "default repeating");
  EXPECT_EQ(fired[4].first, "default once");
  EXPECT_NEAR(fired[3].second, 2.3, 1e-9);
  EXPECT_NEAR(fired[4].second, 2.3, 1e-9);
  EXPECT_TRUE(repeating->isValid());

  loop.endTracking();  // unbalanced: ignored
  EXPECT_FALSE(loop.isTracking());
  fired.clear();
  loop.advance(1.0);
  // Back on its original half-second grid.
  std::vector<double> repeats;
  for (auto& [name, at] : fired)
    if (name == "default repeating") repeats.push_back(at);
  ASSERT_EQ(repeats.size(), 2u);
  EXPECT_NEAR(repeats[0], 2.5, 1e-9);
  EXPECT_NEAR(repeats[1], 3.0, 1e-9);
}

TEST(VirtualRunLoop, LocalTimeFollowsTheWallClockAndOffset) {
  // 1796716800 is 08:00 UTC.
  VirtualRunLoop utc(0.0, 1796716800.0, 0);
  EXPECT_EQ(utc.localTime().hour, 8);
  EXPECT_EQ(utc.localTime().minute, 0);
  utc.advance(3600 * 15 + 59 * 60 + 59.9);
  EXPECT_EQ(utc.localTime().hour, 23);
  EXPECT_EQ(utc.localTime().minute, 59);
  utc.advance(0.1);
  EXPECT_EQ(utc.localTime().hour, 0);
  EXPECT_EQ(utc.localTime().minute, 0);

  VirtualRunLoop west(0.0, 1796716800.0, -9 * 3600 - 30 * 60);  // wraps to the previous day
  EXPECT_EQ(west.localTime().hour, 22);
  EXPECT_EQ(west.localTime().minute, 30);
  VirtualRunLoop east(0.0, 1796716800.0, 5 * 3600 + 45 * 60);
  EXPECT_EQ(east.localTime().hour, 13);
  EXPECT_EQ(east.localTime().minute, 45);
}

}  // namespace
}  // namespace tucklet::platform
