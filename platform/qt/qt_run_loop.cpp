#include "platform/qt/qt_run_loop.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>

namespace tucklet::platform {

namespace {

// Negative and NaN delays mean "now"; a NaN key would break the ordering of the queue.
double nonNegative(double seconds) {
  return seconds > 0 ? seconds : 0.0;
}

double clockSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Qt timers take whole milliseconds in an int. Far deadlines are approached in steps of a day;
// a wake-up with nothing due just arms the timer again.
constexpr double kLongestWaitMs = 24.0 * 3600.0 * 1000.0;
// How long one pass over due work may run before the event loop gets its turn again: a backlog of
// slow work (a flood of requests, each with a capture) must not keep input, the session bus or a
// termination signal waiting until all of it has run.
constexpr double kLongestPassSeconds = 0.02;

}  // namespace

// A scheduled piece of main-thread work: plain queued work, or one firing of a timer.
struct QtRunLoop::Entry {
  std::function<void()> work;
  std::shared_ptr<LoopTimer> timer;
};

class QtRunLoop::LoopTimer final : public Timer {
 public:
  LoopTimer(double interval_, bool repeats_, TimerMode mode_, std::function<void()> fire,
            double anchor_)
      : interval(interval_),
        repeats(repeats_),
        mode(mode_),
        anchor(anchor_),
        fire_(std::make_shared<const std::function<void()>>(std::move(fire))) {}

  // Any thread. The callback (and what it captured) is released at once; a firing already under
  // way keeps its own reference until it returns.
  void invalidate() override {
    valid_.store(false);
    std::shared_ptr<const std::function<void()>> dropped;
    std::lock_guard lock(mutex_);
    dropped = std::move(fire_);
  }
  bool isValid() const override { return valid_.load(); }

  std::shared_ptr<const std::function<void()>> callback() const {
    std::lock_guard lock(mutex_);
    return fire_;
  }

  const double interval;
  const bool repeats;
  const TimerMode mode;
  const double anchor;  // when it was scheduled: a repeating timer fires at anchor + n * interval
  bool firing = false;  // main thread only: a callback that runs a nested loop is not re-entered

 private:
  std::atomic<bool> valid_{true};
  mutable std::mutex mutex_;
  std::shared_ptr<const std::function<void()>> fire_;
};

std::unique_ptr<QtRunLoop> QtRunLoop::create() {
  auto* app = QCoreApplication::instance();
  if (!app) return nullptr;
  return std::unique_ptr<QtRunLoop>(new QtRunLoop(app->thread()));
}

QtRunLoop::QtRunLoop(QThread* mainThread)
    : mainThread_(mainThread), context_(std::make_unique<QObject>()) {
  wakeTimer_ = new QTimer(context_.get());
  wakeTimer_->setTimerType(Qt::PreciseTimer);
  wakeTimer_->setSingleShot(true);
  QObject::connect(wakeTimer_, &QTimer::timeout, context_.get(), [this] { dispatchDue(); });
  if (context_->thread() != mainThread_) context_->moveToThread(mainThread_);

  const int cores = std::max(1, QThread::idealThreadCount());
  for (std::size_t i = 0; i < pools_.size(); ++i) {
    pools_[i] = std::make_unique<QThreadPool>();
    // Background work is throttled like the platform's background queues; the others may use
    // every core.
    const bool lowest = static_cast<QualityOfService>(i) == QualityOfService::Background;
    pools_[i]->setMaxThreadCount(lowest ? std::max(1, cores / 2) : cores);
  }
}

void QtRunLoop::waitForBackgroundWork() {
  for (auto& pool : pools_)
    if (pool) pool->waitForDone();
}

QtRunLoop::~QtRunLoop() {
  // Background work may still hand results to the main queue, so the context outlives it.
  for (auto& pool : pools_)
    pool->waitForDone();
  std::vector<std::shared_ptr<Entry>> pending;
  {
    std::lock_guard lock(mutex_);
    for (auto& [key, entry] : queue_)
      pending.push_back(std::move(entry));
    for (auto& entry : deferredDuringTracking_)
      pending.push_back(std::move(entry));
    queue_.clear();
    deferredDuringTracking_.clear();
  }
  for (auto& entry : pending)
    if (entry->timer) entry->timer->invalidate();
  // Deleting the context discards the work still posted to it.
  context_.reset();
}

void QtRunLoop::async(std::function<void()> work) {
  if (!work) return;
  QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

void QtRunLoop::asyncAfter(double seconds, std::function<void()> work) {
  if (!work) return;
  auto entry = std::make_shared<Entry>();
  entry->work = std::move(work);
  const double due = uptime() + nonNegative(seconds);
  {
    std::lock_guard lock(mutex_);
    scheduleLocked(due, entry);
  }
  wakeMainIfEarliest(entry);
}

TimerRef QtRunLoop::scheduleTimer(double interval, bool repeats, TimerMode mode,
                                  std::function<void()> fire) {
  // Non-positive intervals of repeating timers are clamped to a tenth of a millisecond, as the
  // platform does; the virtual loop does the same.
  if (repeats && !(interval > 0)) interval = 0.0001;
  const double now = uptime();
  auto timer =
      std::make_shared<LoopTimer>(nonNegative(interval), repeats, mode, std::move(fire), now);
  if (!*timer->callback()) {
    timer->invalidate();
    return timer;
  }
  auto entry = std::make_shared<Entry>();
  entry->timer = timer;
  {
    std::lock_guard lock(mutex_);
    scheduleLocked(now + timer->interval, entry);
  }
  wakeMainIfEarliest(entry);
  return timer;
}

void QtRunLoop::scheduleLocked(double due, std::shared_ptr<Entry> entry) {
  if (queue_.size() >= sweepAt_) {
    // Invalidated timers stay queued until their deadline; sweep them before they pile up.
    std::erase_if(queue_, [](const auto& item) {
      return item.second->timer && !item.second->timer->isValid();
    });
    sweepAt_ = std::max<std::size_t>(256, queue_.size() * 2);
  }
  queue_.emplace(Key{due, ++sequence_}, std::move(entry));
}

void QtRunLoop::wakeMainIfEarliest(const std::shared_ptr<Entry>& entry) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty() || queue_.begin()->second != entry) return;
    if (!isMainThread()) {
      // The wake-up timer belongs to the main thread; ask it to re-arm, once.
      if (rearmPosted_) return;
      rearmPosted_ = true;
      QMetaObject::invokeMethod(
          context_.get(),
          [this] {
            {
              std::lock_guard relock(mutex_);
              rearmPosted_ = false;
            }
            rearm();
          },
          Qt::QueuedConnection);
      return;
    }
  }
  rearm();
}

void QtRunLoop::rearm() {
  double due;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
      wakeTimer_->stop();
      return;
    }
    due = queue_.begin()->first.first;
  }
  // Already armed for this deadline or an earlier one: the dispatch re-arms after it runs.
  if (wakeTimer_->isActive() && armedFor_ <= due) return;
  const double now = uptime();
  const double waitMs = std::min(std::ceil(std::max(due - now, 0.0) * 1000.0), kLongestWaitMs);
  armedFor_ = now + waitMs / 1000.0;
  wakeTimer_->start(std::chrono::milliseconds(static_cast<long long>(waitMs)));
}

void QtRunLoop::dispatchDue() {
  std::uint64_t lastSequence;
  {
    std::lock_guard lock(mutex_);
    lastSequence = sequence_;
  }
  const double passStart = uptime();
  for (bool first = true;; first = false) {
    std::shared_ptr<Entry> entry;
    // The rest of the due work runs at the next pass, after the events that came meanwhile.
    if (!first && uptime() - passStart >= kLongestPassSeconds) break;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;
      auto it = queue_.begin();
      // Work that came due during this pass waits for the next one, so that a zero-interval timer
      // cannot starve the rest of the event loop.
      if (it->first.first > uptime() || it->first.second > lastSequence) break;
      entry = std::move(it->second);
      queue_.erase(it);
    }
    if (entry->work) {
      entry->work();
    } else {
      fireTimer(std::move(entry));
    }
  }
  rearm();
}

void QtRunLoop::fireTimer(std::shared_ptr<Entry> entry) {
  auto timer = entry->timer;
  if (!timer || !timer->isValid()) return;
  {
    std::lock_guard lock(mutex_);
    if (trackingDepth_ > 0 && timer->mode == TimerMode::Default) {
      // One deferred firing per timer however long the menu tracks.
      deferredDuringTracking_.push_back(std::move(entry));
      return;
    }
    if (timer->repeats) {
      // The next firing keeps the timer's schedule; firings missed while late are skipped.
      const double now = uptime();
      double steps = std::floor((now - timer->anchor) / timer->interval) + 1;
      double next = timer->anchor + steps * timer->interval;
      while (next <= now)
        next = timer->anchor + ++steps * timer->interval;
      scheduleLocked(next, std::move(entry));
    }
  }
  if (timer->firing) return;
  auto fire = timer->callback();
  if (!fire) return;
  timer->firing = true;
  (*fire)();
  timer->firing = false;
  if (!timer->repeats) timer->invalidate();
}

void QtRunLoop::background(QualityOfService qos, std::function<void()> work) {
  if (!work) return;
  const int nice = threadNiceValue(qos);
  poolFor(qos).start([nice, work = std::move(work)] {
    // Each pool's threads serve one quality of service only, so the priority is set once per
    // thread. Qt's own thread priorities do nothing under Linux's default scheduler, so the
    // thread's nice value carries the priority.
    static thread_local bool prioritySet = false;
    if (!prioritySet) {
      prioritySet = true;
      if (nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
    }
    work();
  });
}

QThreadPool& QtRunLoop::poolFor(QualityOfService qos) {
  return *pools_.at(static_cast<std::size_t>(qos));
}

int QtRunLoop::threadNiceValue(QualityOfService qos) {
  switch (qos) {
    case QualityOfService::UserInteractive:
    case QualityOfService::UserInitiated:
      return 0;
    case QualityOfService::Default:
      return 2;
    case QualityOfService::Utility:
      return 5;
    case QualityOfService::Background:
      return 10;
  }
  return 0;
}

double QtRunLoop::uptime() const {
  return clockSeconds(CLOCK_MONOTONIC);
}

double QtRunLoop::wallClock() const {
  return clockSeconds(CLOCK_REALTIME);
}

LocalClockTime QtRunLoop::localTime() const {
  const time_t now = time(nullptr);
  tm local{};
  if (!localtime_r(&now, &local)) return {};
  return {local.tm_hour, local.tm_min};
}

bool QtRunLoop::isMainThread() const {
  return QThread::currentThread() == mainThread_;
}

void QtRunLoop::beginTracking() {
  std::lock_guard lock(mutex_);
  ++trackingDepth_;
}

void QtRunLoop::endTracking() {
  std::shared_ptr<Entry> first;
  {
    std::lock_guard lock(mutex_);
    if (trackingDepth_ == 0 || --trackingDepth_ > 0) return;
    // Default-mode timers that came due while the menu tracked fire now, in the order they came
    // due, on the next turn of the loop rather than inside the menu's teardown.
    const double now = uptime();
    auto deferred = std::exchange(deferredDuringTracking_, {});
    for (auto& entry : deferred)
      scheduleLocked(now, std::move(entry));
    if (deferred.empty() || queue_.empty()) return;
    first = queue_.begin()->second;
  }
  wakeMainIfEarliest(first);
}

bool QtRunLoop::isTracking() const {
  std::lock_guard lock(mutex_);
  return trackingDepth_ > 0;
}

}  // namespace tucklet::platform
