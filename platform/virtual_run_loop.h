// A run loop whose clock moves only when a test says so.
//
// `advance(seconds)` runs everything that comes due within the interval in time order (ties in the
// order they were scheduled), including timers and main-queue work scheduled by callbacks while it
// runs. `drain()` runs the main-queue work that is due now without moving the clock.
//
// Background work either runs at once, inline on the calling thread (the default), or is held
// until the test releases it; holding lets a test change state while a result is "in flight".
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/run_loop.h"

namespace tucklet::platform {

class VirtualRunLoop final : public RunLoop {
 public:
  enum class BackgroundPolicy { RunAtOnce, Hold };

  // `startUptime` and `startWallClock` set the clocks' readings at creation; the local time is
  // derived from the wall clock with `utcOffsetSeconds`.
  explicit VirtualRunLoop(double startUptime = 1000.0, double startWallClock = 1796716800.0,
                          int utcOffsetSeconds = 0);
  ~VirtualRunLoop() override;

  void async(std::function<void()> work) override;
  void asyncAfter(double seconds, std::function<void()> work) override;
  TimerRef scheduleTimer(double interval, bool repeats, TimerMode mode,
                         std::function<void()> fire) override;
  void background(QualityOfService qos, std::function<void()> work) override;
  double uptime() const override { return uptime_; }
  double wallClock() const override { return wallClock_; }
  LocalClockTime localTime() const override;
  bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }
  void beginTracking() override;
  void endTracking() override;
  bool isTracking() const override { return trackingDepth_ > 0; }

  // Moves the clock forward by `seconds`, running everything due on the way.
  void advance(double seconds);
  // Runs main-queue work and timers due at the current time.
  void drain();

  void setBackgroundPolicy(BackgroundPolicy policy) {
    std::lock_guard lock(mutex_);
    backgroundPolicy_ = policy;
  }
  std::size_t heldBackgroundCount() const {
    std::lock_guard lock(mutex_);
    return held_.size();
  }
  QualityOfService heldBackgroundQuality(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return held_.at(index).qos;
  }
  // Runs held background work in the order it was submitted (`count` items, or all), inline.
  void releaseBackground(std::size_t count = SIZE_MAX);
  // Background work submitted so far, by quality of service (held or run).
  std::size_t backgroundSubmissions(QualityOfService qos) const;

  // Number of live timers (not yet invalidated), for tests that check release of resources.
  std::size_t liveTimerCount() const;
  // Time of the next scheduled event, if any.
  bool nextDueTime(double& when) const;

 private:
  struct Entry;
  class VirtualTimer;
  struct HeldWork {
    QualityOfService qos;
    std::function<void()> work;
  };

  void schedule(double due, std::shared_ptr<Entry> entry);
  bool runNextDue(double limit);

  mutable std::recursive_mutex mutex_;
  double uptime_;
  double wallClock_;
  int utcOffsetSeconds_;
  std::thread::id mainThread_;
  int trackingDepth_ = 0;
  std::uint64_t sequence_ = 0;
  std::multimap<std::pair<double, std::uint64_t>, std::shared_ptr<Entry>> queue_;
  std::vector<std::shared_ptr<Entry>> deferredDuringTracking_;
  std::vector<std::weak_ptr<VirtualTimer>> timers_;
  BackgroundPolicy backgroundPolicy_ = BackgroundPolicy::RunAtOnce;
  std::deque<HeldWork> held_;
  std::map<QualityOfService, std::size_t> submissions_;
};

}  // namespace tucklet::platform
