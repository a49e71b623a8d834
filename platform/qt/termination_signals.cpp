#include "platform/qt/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace tucklet::platform {

namespace {

// The pipe is made once and kept for the life of the process: a handler still running on another
// thread while the handlers are being restored can then never write into a closed or reused
// descriptor.
int gPipeRead = -1;
std::atomic<int> gPipeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need a lock-free atomic");

std::atomic<bool> gInstalled{false};

void onTerminationSignal(int signal) {
  const int savedErrno = errno;
  const int fd = gPipeWrite.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);  // a full pipe already says it
  }
  errno = savedErrno;
}

bool ensurePipe(std::string& error) {
  if (gPipeWrite.load() >= 0) return true;
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("cannot create the signal pipe: ") + std::strerror(errno);
    return false;
  }
  gPipeRead = fds[0];
  gPipeWrite.store(fds[1]);
  return true;
}

// Reads everything waiting in the pipe; the first signal number read, or 0.
int drainPipe() {
  int first = 0;
  unsigned char buffer[64];
  for (;;) {
    const ssize_t count = read(gPipeRead, buffer, sizeof buffer);
    if (count > 0) {
      if (first == 0) first = buffer[0];
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    return first;
  }
}

}  // namespace

std::unique_ptr<TerminationSignals> TerminationSignals::install(std::string& error) {
  if (gInstalled.exchange(true)) {
    error = "termination signal handlers are already installed";
    return nullptr;
  }
  if (!ensurePipe(error)) {
    gInstalled.store(false);
    return nullptr;
  }
  drainPipe();  // whatever arrived after an earlier set of handlers was removed is not ours

  std::unique_ptr<TerminationSignals> installed(new TerminationSignals);
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : kHandledSignals)
    sigaddset(&action.sa_mask, signal);
  for (std::size_t i = 0; i < kHandledSignals.size(); ++i) {
    if (sigaction(kHandledSignals[i], &action, &installed->previous_[i]) != 0) {
      error = std::string("cannot install the handler for ") + strsignal(kHandledSignals[i]) +
              ": " + std::strerror(errno);
      for (std::size_t j = 0; j < i; ++j)
        sigaction(kHandledSignals[j], &installed->previous_[j], nullptr);
      installed->previous_ = {};
      installed->restoreOnDestruction_ = false;
      return nullptr;
    }
  }
  return installed;
}

std::unique_ptr<TerminationSignals> TerminationSignals::install(
    std::function<void(int signal)> onSignal, std::string& error) {
  // The checks `listen` makes come first, so that nothing is installed when it would refuse.
  auto* app = QCoreApplication::instance();
  if (!app) {
    error = "termination signals need a running application object";
    return nullptr;
  }
  if (QThread::currentThread() != app->thread()) {
    error = "termination signals must be installed on the main thread";
    return nullptr;
  }
  if (!onSignal) {
    error = "termination signals need a callback";
    return nullptr;
  }
  auto installed = install(error);
  if (!installed || !installed->listen(std::move(onSignal), error)) return nullptr;
  return installed;
}

bool TerminationSignals::listen(std::function<void(int signal)> onSignal, std::string& error) {
  auto* app = QCoreApplication::instance();
  if (!app) {
    error = "termination signals need a running application object";
    return false;
  }
  if (QThread::currentThread() != app->thread()) {
    error = "termination signals must be listened to on the main thread";
    return false;
  }
  if (!onSignal) {
    error = "termination signals need a callback";
    return false;
  }
  if (notifier_) {
    error = "termination signals are already listened to";
    return false;
  }
  onSignal_ = std::move(onSignal);
  // A signal already waiting in the pipe makes it readable: the notifier fires on the first turn
  // of the event loop.
  notifier_ = new QSocketNotifier(gPipeRead, QSocketNotifier::Read);
  QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { readPipe(); });
  return true;
}

TerminationSignals::~TerminationSignals() {
  if (restoreOnDestruction_) {
    for (std::size_t i = 0; i < kHandledSignals.size(); ++i) {
      if (ignoreWhenReleased_) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(kHandledSignals[i], &ignore, nullptr);
      } else {
        sigaction(kHandledSignals[i], &previous_[i], nullptr);
      }
    }
  }
  if (notifier_) {
    notifier_->setEnabled(false);
    QObject::disconnect(notifier_, nullptr, nullptr, nullptr);
    // After a delivery this may run inside the notifier's own signal, where it must not be
    // deleted.
    if (delivered_) {
      notifier_->deleteLater();
    } else {
      delete notifier_;
    }
  }
  gInstalled.store(false);
}

void TerminationSignals::readPipe() {
  const int signal = drainPipe();
  if (signal == 0 || delivered_) return;
  delivered_ = true;
  // The termination path may destroy this object; keep the callback alive while it runs and touch
  // nothing of ours afterwards.
  auto callback = onSignal_;
  callback(signal);
}

}  // namespace tucklet::platform
