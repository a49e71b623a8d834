// Termination by signal: SIGTERM, SIGINT and SIGHUP end the application through its ordinary
// termination path instead of killing it, so that every hidden menu bar item is restored.
//
// The handlers only write the signal number to a pipe; the main thread reads it and calls back.
// One set of handlers at a time per process.
#pragma once

#include <signal.h>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace tucklet::platform {

class TerminationSignals {
 public:
  static constexpr std::array<int, 3> kHandledSignals{SIGTERM, SIGINT, SIGHUP};

  // Installs the handlers. `onSignal` runs on the main thread with the first signal received,
  // once: later signals are swallowed, so a slow termination is never entered twice.
  // Nothing, with `error` set, when no QCoreApplication exists, the caller is not on its thread,
  // handlers are already installed by another instance, or the pipe cannot be made.
  static std::unique_ptr<TerminationSignals> install(std::function<void(int signal)> onSignal,
                                                     std::string& error);
  // Restores the dispositions that were in place before install(). Safe from inside `onSignal`.
  ~TerminationSignals();

  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Whether a signal has been handed to `onSignal`.
  bool delivered() const { return delivered_; }

 private:
  explicit TerminationSignals(std::function<void(int)> onSignal);
  void readPipe();

  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
  std::array<struct sigaction, kHandledSignals.size()> previous_{};
  bool delivered_ = false;
  bool restoreOnDestruction_ = true;
};

}  // namespace tucklet::platform
