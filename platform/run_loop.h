// The main run loop, background queues and time: the only source of time for product code.
//
// Two implementations: `VirtualRunLoop` (tests: time moves only when told to) and the Qt-backed
// real loop (platform/qt). Everything scheduled on the main queue and every timer runs on the main
// thread. Background work runs on a pool and must only read the platform, handing its result back
// with `async`.
#pragma once

#include <functional>
#include <memory>

namespace tucklet::platform {

// Run loop modes a timer is added in. While a menu is tracking the loop runs in its tracking mode:
// timers in the common modes fire, default-mode timers wait until tracking ends.
enum class TimerMode { Default, Common };

enum class QualityOfService { UserInteractive, UserInitiated, Default, Utility, Background };

struct LocalClockTime {
  int hour = 0;    // 0...23, local calendar
  int minute = 0;  // 0...59
};

class Timer {
 public:
  virtual ~Timer() = default;
  // Stops the timer for good. Safe from inside its own callback and safe to call twice.
  virtual void invalidate() = 0;
  virtual bool isValid() const = 0;
};
using TimerRef = std::shared_ptr<Timer>;

class RunLoop {
 public:
  virtual ~RunLoop() = default;

  // Main queue: runs `work` on the main thread after everything queued before it. Main-queue work
  // runs in every mode, including while a menu tracks.
  virtual void async(std::function<void()> work) = 0;
  virtual void asyncAfter(double seconds, std::function<void()> work) = 0;

  // A timer on the main run loop. A repeating timer fires every `interval` seconds until it is
  // invalidated; a one-shot timer fires once and is then invalid.
  virtual TimerRef scheduleTimer(double interval, bool repeats, TimerMode mode,
                                 std::function<void()> fire) = 0;

  // Runs `work` on a background queue of the given quality of service.
  virtual void background(QualityOfService qos, std::function<void()> work) = 0;

  // Seconds since the system started (monotonic).
  virtual double uptime() const = 0;
  // Seconds since 1970-01-01 UTC.
  virtual double wallClock() const = 0;
  // Hour and minute of the local calendar now.
  virtual LocalClockTime localTime() const = 0;

  virtual bool isMainThread() const = 0;

  // Menu tracking: a popped-up menu runs the loop in its tracking mode until it closes.
  virtual void beginTracking() = 0;
  virtual void endTracking() = 0;
  virtual bool isTracking() const = 0;
};

}  // namespace tucklet::platform
