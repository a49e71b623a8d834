// Termination signals reach the application's ordinary termination path on the main thread, once.
#include "platform/qt/termination_signals.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <QThread>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/qt_platform/qt_test_app.h"

namespace tucklet::platform {
namespace {

using qttest::runEventLoopFor;
using qttest::runEventLoopUntil;

struct Delivery {
  std::vector<int> received;
  bool allOnMain = true;
};

std::unique_ptr<TerminationSignals> installRecording(Delivery& delivery) {
  auto& app = qttest::qtTestApp();
  std::string error;
  auto installed = TerminationSignals::install(
      [&delivery, &app](int signal) {
        delivery.allOnMain = delivery.allOnMain && QThread::currentThread() == app.thread();
        delivery.received.push_back(signal);
      },
      error);
  EXPECT_NE(installed, nullptr) << error;
  return installed;
}

class TerminationSignalsTest : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignalsTest, SignalRaisedOnTheMainThreadIsDeliveredThereOnce) {
  Delivery delivery;
  auto installed = installRecording(delivery);
  ASSERT_NE(installed, nullptr);
  ASSERT_EQ(raise(GetParam()), 0);
  ASSERT_TRUE(runEventLoopUntil([&] { return !delivery.received.empty(); }));
  EXPECT_TRUE(installed->delivered());

  // A second signal while the application terminates does not start the termination again.
  raise(GetParam());
  raise(SIGTERM);
  runEventLoopFor(50);
  EXPECT_EQ(delivery.received, std::vector<int>{GetParam()});
  EXPECT_TRUE(delivery.allOnMain);
}

TEST_P(TerminationSignalsTest, SignalHittingAnotherThreadIsDeliveredOnTheMainThread) {
  Delivery delivery;
  auto installed = installRecording(delivery);
  ASSERT_NE(installed, nullptr);
  const int signal = GetParam();
  std::thread([signal] { raise(signal); }).join();
  ASSERT_TRUE(runEventLoopUntil([&] { return !delivery.received.empty(); }));
  EXPECT_EQ(delivery.received, std::vector<int>{GetParam()});
  EXPECT_TRUE(delivery.allOnMain);
}

INSTANTIATE_TEST_SUITE_P(EachSignal, TerminationSignalsTest,
                         ::testing::ValuesIn(TerminationSignals::kHandledSignals),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return std::string(sigabbrev_np(param.param));
                         });

TEST(TerminationSignals, ASignalBeforeAnyoneListensWaitsAndOneAfterReleaseIsIgnored) {
  qttest::qtTestApp();
  std::string error;
  auto installed = TerminationSignals::install(error);
  ASSERT_NE(installed, nullptr) << error;
  ASSERT_EQ(raise(SIGTERM), 0);  // not fatal although nobody listens yet
  std::vector<int> received;
  ASSERT_TRUE(installed->listen([&received](int signal) { received.push_back(signal); }, error))
      << error;
  ASSERT_TRUE(runEventLoopUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<int>{SIGTERM});

  installed->ignoreWhenReleased();
  installed.reset();
  ASSERT_EQ(raise(SIGHUP), 0);  // ignored, not fatal
  struct sigaction now {};
  sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  for (int signal : TerminationSignals::kHandledSignals) {
    struct sigaction restore {};
    restore.sa_handler = SIG_DFL;
    sigemptyset(&restore.sa_mask);
    sigaction(signal, &restore, nullptr);
  }
}

std::atomic<int> gPreviousHandlerCalls{0};
void previousHandler(int) {
  ++gPreviousHandlerCalls;
}

TEST(TerminationSignals, PreviousDispositionsComeBackWhenDestroyed) {
  qttest::qtTestApp();
  gPreviousHandlerCalls = 0;
  struct sigaction custom {};
  custom.sa_handler = previousHandler;
  sigemptyset(&custom.sa_mask);
  struct sigaction saved[3];
  for (std::size_t i = 0; i < 3; ++i)
    sigaction(TerminationSignals::kHandledSignals[i], &custom, &saved[i]);

  Delivery delivery;
  {
    auto installed = installRecording(delivery);
    ASSERT_NE(installed, nullptr);
    struct sigaction now {};
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_NE(now.sa_handler, previousHandler);
  }
  for (int signal : TerminationSignals::kHandledSignals) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    EXPECT_EQ(now.sa_handler, previousHandler) << sigabbrev_np(signal);
  }
  raise(SIGHUP);
  EXPECT_EQ(gPreviousHandlerCalls, 1);
  runEventLoopFor(30);
  EXPECT_TRUE(delivery.received.empty());

  for (std::size_t i = 0; i < 3; ++i)
    sigaction(TerminationSignals::kHandledSignals[i], &saved[i], nullptr);
}

TEST(TerminationSignals, OneSetOfHandlersOnTheMainThreadDestroyableFromItsCallback) {
  qttest::qtTestApp();
  std::unique_ptr<TerminationSignals> installed;
  std::string error;
  int calls = 0;
  installed = TerminationSignals::install(
      [&](int) {
        ++calls;
        installed.reset();  // the termination path tears everything down
      },
      error);
  ASSERT_NE(installed, nullptr) << error;

  std::string secondError;
  EXPECT_EQ(TerminationSignals::install([](int) {}, secondError), nullptr);
  EXPECT_FALSE(secondError.empty());

  raise(SIGINT);
  ASSERT_TRUE(runEventLoopUntil([&] { return installed == nullptr; }));
  EXPECT_EQ(calls, 1);

  // Gone, so a new set can be installed; and a callback is required.
  Delivery delivery;
  EXPECT_NE(installRecording(delivery), nullptr);
  EXPECT_EQ(TerminationSignals::install({}, error), nullptr);
  std::string offMainError;
  std::thread([&] {
    EXPECT_EQ(TerminationSignals::install([](int) {}, offMainError), nullptr);
  }).join();
  EXPECT_NE(offMainError.find("main thread"), std::string::npos) << offMainError;
}

}  // namespace
}  // namespace tucklet::platform
