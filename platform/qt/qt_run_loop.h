// The real run loop: main-queue work and timers on Qt's event loop, background work on thread
// pools with priorities by quality of service, and the system's clocks.
//
// Needs a QCoreApplication (or QGuiApplication) alive for its whole life; the thread that created
// the application is the main thread. Destroy it on the main thread, before the application.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/run_loop.h"

class QObject;
class QThread;
class QThreadPool;
class QTimer;

namespace tucklet::platform {

class QtRunLoop final : public RunLoop {
 public:
  // Nothing when no QCoreApplication exists.
  static std::unique_ptr<QtRunLoop> create();
  // Waits for background work in flight; main-queue work and timers still pending are dropped and
  // every timer becomes invalid.
  ~QtRunLoop() override;

  QtRunLoop(const QtRunLoop&) = delete;
  QtRunLoop& operator=(const QtRunLoop&) = delete;

  void async(std::function<void()> work) override;
  void asyncAfter(double seconds, std::function<void()> work) override;
  TimerRef scheduleTimer(double interval, bool repeats, TimerMode mode,
                         std::function<void()> fire) override;
  void background(QualityOfService qos, std::function<void()> work) override;
  double uptime() const override;
  double wallClock() const override;
  LocalClockTime localTime() const override;
  bool isMainThread() const override;
  void beginTracking() override;
  void endTracking() override;
  bool isTracking() const override;

  // Blocks until the background work submitted so far has finished. Work it hands to the main
  // queue stays queued.
  void waitForBackgroundWork();

  // The nice value of the threads that run background work of this quality of service. Only
  // lower priorities than the main thread's are used, which needs no privileges.
  static int threadNiceValue(QualityOfService qos);

 private:
  struct Entry;
  class LoopTimer;
  using Key = std::pair<double, std::uint64_t>;  // due uptime, then submission order

  explicit QtRunLoop(QThread* mainThread);

  void scheduleLocked(double due, std::shared_ptr<Entry> entry);
  void wakeMainIfEarliest(const std::shared_ptr<Entry>& entry);
  void rearm();
  void dispatchDue();
  void fireTimer(std::shared_ptr<Entry> entry);
  QThreadPool& poolFor(QualityOfService qos);

  QThread* mainThread_;
  std::unique_ptr<QObject> context_;  // lives on the main thread; receives posted work
  QTimer* wakeTimer_;                 // child of context_: armed for the earliest deadline
  double armedFor_ = 0;               // main thread only

  mutable std::mutex mutex_;
  std::uint64_t sequence_ = 0;
  std::multimap<Key, std::shared_ptr<Entry>> queue_;
  std::vector<std::shared_ptr<Entry>> deferredDuringTracking_;
  int trackingDepth_ = 0;
  bool rearmPosted_ = false;
  std::size_t sweepAt_ = 256;

  std::array<std::unique_ptr<QThreadPool>, 5> pools_;
};

}  // namespace tucklet::platform
