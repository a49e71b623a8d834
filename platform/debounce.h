// Folds a burst of triggers into one action: each `trigger()` restarts a one-shot timer, and the
// action runs once on the main run loop, `delay` seconds after the last trigger.
#pragma once

#include <functional>

#include "platform/run_loop.h"

namespace tucklet::platform {

class Debouncer {
 public:
  Debouncer(RunLoop& runLoop, double delay, TimerMode mode, std::function<void()> action);
  Debouncer(const Debouncer&) = delete;
  Debouncer& operator=(const Debouncer&) = delete;
  // A pending action never runs once its debouncer is gone.
  ~Debouncer();

  // Main thread only.
  void trigger();
  // Drops a pending action.
  void cancel();
  bool isPending() const;

  double delay() const { return delay_; }

 private:
  RunLoop& runLoop_;
  double delay_;
  TimerMode mode_;
  std::function<void()> action_;
  TimerRef timer_;
};

}  // namespace tucklet::platform
