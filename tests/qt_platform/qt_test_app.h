// Helpers for tests of the Qt-backed platform: one application object for the whole test program,
// and running its event loop until a condition holds or a generous time-out passes.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace tucklet::qttest {

// The application object, created on first use by the thread that runs the tests (the main
// thread) and kept until the program exits.
inline QCoreApplication& qtTestApp() {
  static int argc = 1;
  static char name[] = "tests_qt_platform";
  static char* argv[] = {name, nullptr};
  static auto* app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                  : new QCoreApplication(argc, argv);
  return *app;
}

// Runs the event loop until `done` holds; false when it still does not after `timeoutMs`. The
// time-out only keeps a broken build from hanging: it is far beyond anything expected.
inline bool runEventLoopUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  qtTestApp();
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    // Short slices of a real event loop, so that the condition is checked between events.
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Runs the event loop for a while, for checks that something does not happen.
inline void runEventLoopFor(int milliseconds) {
  qtTestApp();
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace tucklet::qttest
