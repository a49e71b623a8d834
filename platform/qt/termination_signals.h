// Termination by signal: SIGTERM, SIGINT and SIGHUP end the application through its ordinary
// termination path instead of killing it, so that every hidden menu bar item is restored.
//
// The handlers only write the signal number to a pipe; the main thread reads it and calls back.
// They can be installed before the application object exists (so that a signal in the first
// moments of the process is not fatal either) and listened to once it does: a signal that came in
// between is delivered as soon as the event loop runs. One set of handlers at a time per process.
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

  // Installs the handlers; signals are kept until `listen` hands them on. Nothing, with `error`
  // set, when handlers are already installed by another instance or the pipe cannot be made.
  static std::unique_ptr<TerminationSignals> install(std::string& error);
  // Both steps at once.
  static std::unique_ptr<TerminationSignals> install(std::function<void(int signal)> onSignal,
                                                     std::string& error);
  // `onSignal` runs on the main thread with the first signal received, once: later signals are
  // swallowed, so a slow termination is never entered twice. False, with `error` set, when no
  // QCoreApplication exists, the caller is not on its thread, there is no callback, or it is
  // already listening.
  bool listen(std::function<void(int signal)> onSignal, std::string& error);
  // Restores the dispositions that were in place before install() (or, after
  // `ignoreWhenReleased`, ignores the signals from then on). Safe from inside `onSignal`.
  ~TerminationSignals();

  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // For a process on its way out: a termination signal arriving after the handlers are gone must
  // not kill it with a signal's status while it finishes, so it is ignored rather than given its
  // old (fatal) disposition back.
  void ignoreWhenReleased() { ignoreWhenReleased_ = true; }

  // Whether a signal has been handed to `onSignal`.
  bool delivered() const { return delivered_; }

 private:
  TerminationSignals() = default;
  void readPipe();

  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
  std::array<struct sigaction, kHandledSignals.size()> previous_{};
  bool delivered_ = false;
  bool restoreOnDestruction_ = true;
  bool ignoreWhenReleased_ = false;
};

}  // namespace tucklet::platform
