// Performance capture: while Tucklet runs normally, a heartbeat on the main run loop at display
// rate records how late each beat comes, and the process's CPU time, memory and disk traffic are
// sampled once a second. Everything is written as one JSON report when the requested time is up or
// the application quits, whichever comes first.
//
//   --profile PATH            turns capture on and names the report
//   --profile-seconds N       capture length, 1 to 600 seconds (default 30)
//   --profile-onboarding      start with onboarding shown, to measure its animation
//
// Created by the process entry before the application delegate; lives for the rest of the
// process. Main thread only.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/arguments.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "platform/process_metrics.h"

namespace tucklet {

class PerformanceCapture {
 public:
  struct Environment {
    platform::Platform& platform;
    platform::ProcessMetrics& metrics;
    // How many of Tucklet's windows are visible.
    std::function<int()> visibleWindowCount;
    // Where a refused switch and a failed write are reported.
    std::FILE* errors = stderr;
  };

  static constexpr double defaultSeconds = 30;
  static constexpr double heartbeatInterval = 1.0 / 60.0;

  // The capture the switches ask for, started; nothing without "--profile" and its path, or when
  // "--profile-seconds" is not acceptable (reported on `errors`).
  static std::unique_ptr<PerformanceCapture> fromArguments(const Arguments& arguments,
                                                           Environment environment);
  // A capture length: a complete decimal number in the C locale, finite, from 1 to 600.
  static std::optional<double> parseSeconds(std::string_view text);

  // Starts at once: the first sample, the heartbeat.
  PerformanceCapture(std::string output, double duration, bool opensOnboarding,
                     Environment environment);
  // Stops the heartbeat; writes nothing (the termination path has written the report).
  ~PerformanceCapture();
  PerformanceCapture(const PerformanceCapture&) = delete;
  PerformanceCapture& operator=(const PerformanceCapture&) = delete;

  bool opensOnboarding() const { return opensOnboarding_; }
  double requestedSeconds() const { return duration_; }
  // The application is terminating: the capture finishes now, with what it has.
  void applicationWillTerminate() { finish(); }
  bool finished() const { return !timer_; }

 private:
  void heartbeat();
  void sample(double now);
  void finish();
  nlohmann::json report(double now) const;

  Environment environment_;
  const std::string output_;
  const double duration_;
  const double started_;
  const double secondsPerTick_;
  double previousBeat_;
  double previousResource_ = 0;
  std::vector<double> gaps_;
  std::vector<nlohmann::json> samples_;
  platform::TimerRef timer_;
  const bool opensOnboarding_;
  // Last: the heartbeat holds the capture only while it lives.
  platform::Lifetime lifetime_;
};

}  // namespace tucklet
