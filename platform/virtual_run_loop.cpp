#include "platform/virtual_run_loop.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace tucklet::platform {

namespace {
// Times are sums of many small doubles (a 0.1 s timer over 1 s of 0.01 s steps); an event due
// within a microsecond of the limit counts as due, so rounding never drops or delays a firing.
constexpr double kDueTolerance = 1e-6;

// Negative and NaN delays mean "now"; a NaN key would break the ordering of the queue.
double nonNegative(double seconds) {
  return seconds > 0 ? seconds : 0.0;
}
}  // namespace

// A scheduled piece of main-thread work: plain queued work, or one firing of a timer.
struct VirtualRunLoop::Entry {
  std::function<void()> work;           // plain work
  std::shared_ptr<VirtualTimer> timer;  // or a timer firing
  TimerMode mode = TimerMode::Common;   // main-queue work runs in every mode
  double due = 0;
};

class VirtualRunLoop::VirtualTimer final : public Timer {
 public:
  VirtualTimer(double interval_, bool repeats_, TimerMode mode_, std::function<void()> fire_,
               double anchor_)
      : interval(interval_),
        repeats(repeats_),
        mode(mode_),
        fire(std::move(fire_)),
        anchor(anchor_) {}

  void invalidate() override {
    valid = false;
    fire = nullptr;  // drop captured state at once, as the platform releases the target
  }
  bool isValid() const override { return valid; }

  double interval;
  bool repeats;
  TimerMode mode;
  std::function<void()> fire;
  double anchor;  // when it was scheduled: a repeating timer fires at anchor + n * interval
  bool valid = true;
};

VirtualRunLoop::VirtualRunLoop(double startUptime, double startWallClock, int utcOffsetSeconds)
    : uptime_(startUptime),
      wallClock_(startWallClock),
      utcOffsetSeconds_(utcOffsetSeconds),
      mainThread_(std::this_thread::get_id()) {}

VirtualRunLoop::~VirtualRunLoop() = default;

void VirtualRunLoop::schedule(double due, std::shared_ptr<Entry> entry) {
  std::lock_guard lock(mutex_);
  entry->due = due;
  queue_.emplace(std::make_pair(due, ++sequence_), std::move(entry));
}

void VirtualRunLoop::async(std::function<void()> work) {
  auto entry = std::make_shared<Entry>();
  entry->work = std::move(work);
  std::lock_guard lock(mutex_);
  schedule(uptime_, std::move(entry));
}

void VirtualRunLoop::asyncAfter(double seconds, std::function<void()> work) {
  auto entry = std::make_shared<Entry>();
  entry->work = std::move(work);
  std::lock_guard lock(mutex_);
  schedule(uptime_ + nonNegative(seconds), std::move(entry));
}

TimerRef VirtualRunLoop::scheduleTimer(double interval, bool repeats, TimerMode mode,
                                       std::function<void()> fire) {
  // The platform clamps non-positive intervals of repeating timers to a tenth of a millisecond.
  if (repeats && !(interval > 0)) interval = 0.0001;
  std::lock_guard lock(mutex_);
  auto timer = std::make_shared<VirtualTimer>(nonNegative(interval), repeats, mode, std::move(fire),
                                              uptime_);
  auto entry = std::make_shared<Entry>();
  entry->timer = timer;
  entry->mode = mode;
  if (timers_.size() > 256) {
    std::erase_if(timers_, [](const std::weak_ptr<VirtualTimer>& w) {
      auto t = w.lock();
      return !t || !t->valid;
    });
  }
  timers_.push_back(timer);
  schedule(uptime_ + timer->interval, std::move(entry));
  return timer;
}

void VirtualRunLoop::background(QualityOfService qos, std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    ++submissions_[qos];
    if (backgroundPolicy_ == BackgroundPolicy::Hold) {
      held_.push_back({qos, std::move(work)});
      return;
    }
  }
  work();
}

void VirtualRunLoop::releaseBackground(std::size_t count) {
  while (count-- > 0) {
    HeldWork next;
    {
      std::lock_guard lock(mutex_);
      if (held_.empty()) return;
      next = std::move(held_.front());
      held_.pop_front();
    }
    next.work();
  }
}

std::size_t VirtualRunLoop::backgroundSubmissions(QualityOfService qos) const {
  std::lock_guard lock(mutex_);
  auto it = submissions_.find(qos);
  return it == submissions_.end() ? 0 : it->second;
}

LocalClockTime VirtualRunLoop::localTime() const {
  std::lock_guard lock(mutex_);
  const auto local = static_cast<long long>(std::floor(wallClock_)) + utcOffsetSeconds_;
  const auto secondsOfDay = ((local % 86400) + 86400) % 86400;
  return {static_cast<int>(secondsOfDay / 3600), static_cast<int>(secondsOfDay % 3600 / 60)};
}

void VirtualRunLoop::beginTracking() {
  std::lock_guard lock(mutex_);
  ++trackingDepth_;
}

void VirtualRunLoop::endTracking() {
  std::lock_guard lock(mutex_);
  if (trackingDepth_ == 0) return;
  if (--trackingDepth_ > 0) return;
  // Default-mode timers that came due while the menu tracked fire now, in the order they came due.
  auto deferred = std::exchange(deferredDuringTracking_, {});
  for (auto& entry : deferred)
    schedule(uptime_, std::move(entry));
}

bool VirtualRunLoop::runNextDue(double limit) {
  std::shared_ptr<Entry> entry;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty() || queue_.begin()->first.first > limit + kDueTolerance) return false;
    auto it = queue_.begin();
    entry = std::move(it->second);
    queue_.erase(it);
    // Never past the limit: an event run early by the tolerance must not move the clock backwards
    // when advance() settles on its target.
    const double at = std::min(entry->due, limit);
    if (at > uptime_) {
      wallClock_ += at - uptime_;
      uptime_ = at;
    }
  }

  if (entry->work) {
    entry->work();
    return true;
  }

  auto timer = entry->timer;
  if (!timer || !timer->valid) return true;
  {
    std::lock_guard lock(mutex_);
    if (trackingDepth_ > 0 && timer->mode == TimerMode::Default) {
      deferredDuringTracking_.push_back(std::move(entry));
      return true;
    }
    if (timer->repeats) {
      // The next firing keeps the timer's schedule, computed from its anchor rather than summed
      // up firing by firing so that rounding cannot drift; firings missed while it was deferred
      // are skipped.
      double steps = std::floor((uptime_ - timer->anchor) / timer->interval) + 1;
      double next = timer->anchor + steps * timer->interval;
      while (next <= uptime_ + kDueTolerance)
        next = timer->anchor + ++steps * timer->interval;
      auto again = std::make_shared<Entry>(*entry);
      schedule(next, std::move(again));
    }
  }
  auto fire = timer->fire;  // keep the callback alive even if it invalidates its own timer
  if (fire) fire();
  if (!timer->repeats) timer->invalidate();
  return true;
}

void VirtualRunLoop::advance(double seconds) {
  if (!isMainThread()) throw std::logic_error("VirtualRunLoop::advance off the main thread");
  double target;
  {
    std::lock_guard lock(mutex_);
    target = uptime_ + nonNegative(seconds);
  }
  while (runNextDue(target)) {
  }
  std::lock_guard lock(mutex_);
  wallClock_ += target - uptime_;
  uptime_ = target;
}

void VirtualRunLoop::drain() {
  double now;
  {
    std::lock_guard lock(mutex_);
    now = uptime_;
  }
  while (runNextDue(now)) {
  }
}

std::size_t VirtualRunLoop::liveTimerCount() const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const auto& weak : timers_)
    if (auto t = weak.lock(); t && t->valid) ++count;
  return count;
}

bool VirtualRunLoop::nextDueTime(double& when) const {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return false;
  when = queue_.begin()->first.first;
  return true;
}

}  // namespace tucklet::platform
