// The C-callable native visibility unit against the framework stand-in: availability, the one
// completion every path ends in (always on the main queue), the error texts of each failure, and
// what releasing a token does.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/desktop.h"
#include "platform/sim/visibility_host.h"
#include "platform/virtual_run_loop.h"
#include "tests/visibility/visibility_worlds.h"
#include "visibility/native_visibility.h"

namespace tucklet::testing {
namespace {

// What the completion saw; every call is counted, so a second call shows up.
struct Outcome {
  platform::VirtualRunLoop* loop = nullptr;
  int calls = 0;
  bool onMainThread = false;
  QVToken* token = nullptr;
  std::optional<std::string> error;
};

void record(void* context, QVToken* token, const char* error) {
  auto* outcome = static_cast<Outcome*>(context);
  ++outcome->calls;
  outcome->onMainThread = outcome->loop->isMainThread();
  if (outcome->token) QVTokenFree(outcome->token);
  outcome->token = token;
  outcome->error = error ? std::optional<std::string>(error) : std::nullopt;
}

class NativeUnitTest : public ::testing::Test {
 protected:
  ~NativeUnitTest() override {
    freeTokens();
    if (desktop_) sim::detachVisibilityHost(*desktop_);
    configureNativeVisibility("", nullptr);
  }

  // A desktop whose framework shows these faults; the unit pointed at the stand-in.
  void start(sim::VisibilityFrameworkFaults faults = {}) {
    auto world = visibilityWorld().build();
    world.visibilityFramework.faults = std::move(faults);
    freeTokens();  // while the desktop that granted them is still attached
    if (desktop_) sim::detachVisibilityHost(*desktop_);
    desktop_ = std::make_unique<sim::SimDesktop>(world, loop);
    sim::attachVisibilityHost(*desktop_, loop);
    configureNativeVisibility(sim::builtinVisibilityFrameworkPath(), &loop);
  }

  Outcome& activate(const std::vector<std::int64_t>& systems = {6},
                    const std::vector<const char*>& bundles = {"com.example.notes"}) {
    outcomes_.push_back(std::make_unique<Outcome>());
    auto& outcome = *outcomes_.back();
    outcome.loop = &loop;
    QVVisibilityActivate(systems.data(), systems.size(), bundles.data(), bundles.size(), record,
                         &outcome);
    return outcome;
  }

  std::vector<std::string> shownExtras() const {
    std::vector<std::string> shown;
    for (const auto& slot : desktop_->menuBarLayout())
      if (slot.kind == sim::BarSlot::Kind::Extra && slot.shown)
        shown.push_back(desktop_->extra(slot.extra)->identifier.value_or(""));
    return shown;
  }

  sim::SimDesktop& desktop() { return *desktop_; }

  void freeTokens() {
    for (auto& outcome : outcomes_) {
      if (outcome->token) QVTokenFree(outcome->token);
      outcome->token = nullptr;
    }
  }

  platform::VirtualRunLoop loop;

 private:
  std::unique_ptr<sim::SimDesktop> desktop_;
  std::vector<std::unique_ptr<Outcome>> outcomes_;
};

sim::VisibilityFrameworkFaults throwing(const std::string& step,
                                        std::optional<std::string> reason) {
  sim::VisibilityFrameworkFaults faults;
  faults.throwAt = step;
  faults.throwWithoutReason = !reason;
  faults.throwReason = reason.value_or("");
  return faults;
}

TEST_F(NativeUnitTest, AbsentFrameworkAnswersOnceOnTheMainQueue) {
  start();
  Dl_info libc{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&dladdr), &libc), 0);
  // No path, a path with nothing there, and a library without the framework's classes.
  for (const std::string& path : {std::string(), std::string("/nonexistent/MenuBarClientCore"),
                                  std::string(libc.dli_fname)}) {
    SCOPED_TRACE(path);
    configureNativeVisibility(path, &loop);
    EXPECT_FALSE(QVVisibilityAvailable());
    auto& outcome = activate();
    EXPECT_EQ(outcome.calls, 0) << "the answer must wait for the main queue";
    loop.drain();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.token, nullptr);
    EXPECT_EQ(outcome.error, "Native menu bar visibility is unavailable.");
  }
  EXPECT_EQ(desktop().visibilityAssertionCount(), 0u);
}

TEST_F(NativeUnitTest, ActivationHidesAllButTheAllowedListsUntilReleased) {
  start();
  EXPECT_TRUE(QVVisibilityAvailable());
  auto& outcome = activate({6}, {"com.example.notes"});
  loop.drain();
  ASSERT_EQ(outcome.calls, 1);
  ASSERT_NE(outcome.token, nullptr);
  EXPECT_EQ(outcome.error, std::nullopt);
  EXPECT_EQ(desktop().visibilityAssertionCount(), 1u);
  EXPECT_EQ(shownExtras(), (std::vector<std::string>{wifiID, notesID}));

  QVVisibilityRelease(outcome.token);
  EXPECT_EQ(desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(shownExtras(), allExtras());
  QVVisibilityRelease(nullptr);  // safe with anything
}

TEST_F(NativeUnitTest, ConfigurationThatReturnsNothingCannotCreateTheAssertion) {
  sim::VisibilityFrameworkFaults faults;
  faults.configurationReturnsNothing = true;
  start(faults);
  EXPECT_TRUE(QVVisibilityAvailable());
  auto& outcome = activate();
  loop.drain();
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.token, nullptr);
  EXPECT_EQ(outcome.error, "Cannot create visibility assertion.");
  EXPECT_EQ(desktop().visibilityAssertionCount(), 0u);
}

TEST_F(NativeUnitTest, ThrowsBecomeTheirReasonOrTheGenericText) {
  for (const std::string step : {"configuration", "creation", "activation"}) {
    for (const auto& reason : {std::optional<std::string>("Assessment mode denied at " + step),
                               std::optional<std::string>()}) {
      SCOPED_TRACE(step + (reason ? " with a reason" : " without a reason"));
      start(throwing(step, reason));
      auto& outcome = activate();
      EXPECT_EQ(outcome.calls, 0);
      loop.drain();
      EXPECT_EQ(outcome.calls, 1);
      EXPECT_TRUE(outcome.onMainThread);
      EXPECT_EQ(outcome.token, nullptr);
      EXPECT_EQ(outcome.error, reason.value_or("Visibility API exception."));
      EXPECT_EQ(desktop().visibilityAssertionCount(), 0u);
    }
  }
}

TEST_F(NativeUnitTest, ActivationErrorTextIsPassedThrough) {
  sim::VisibilityFrameworkFaults faults;
  faults.activationError = "The operation couldn’t be completed. (MBErrorDomain error 3.)";
  start(faults);
  auto& outcome = activate();
  loop.drain();
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.token, nullptr);
  EXPECT_EQ(outcome.error, faults.activationError);
  EXPECT_EQ(desktop().visibilityAssertionCount(), 0u);
  EXPECT_EQ(shownExtras(), allExtras());
}

TEST_F(NativeUnitTest, DelayedHandlerAnswersWhenTheFrameworkDoes) {
  sim::VisibilityFrameworkFaults faults;
  faults.activationDelay = 0.75;
  start(faults);
  auto& outcome = activate();
  loop.advance(0.7);
  EXPECT_EQ(outcome.calls, 0);
  EXPECT_EQ(desktop().visibilityAssertionCount(), 0u);
  loop.advance(0.1);
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_NE(outcome.token, nullptr);
  EXPECT_EQ(desktop().visibilityAssertionCount(), 1u);
  loop.advance(5);
  EXPECT_EQ(outcome.calls, 1);
}

TEST_F(NativeUnitTest, HandlerOnAnotherThreadStillAnswersOnceOnTheMainQueue) {
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing ? "with an error" : "with an assertion");
    sim::VisibilityFrameworkFaults faults;
    faults.handlerOnOtherThread = true;
    if (failing) faults.activationError = "Not now.";
    start(faults);
    auto& outcome = activate();
    EXPECT_EQ(outcome.calls, 0);
    loop.drain();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.token != nullptr, !failing);
    EXPECT_EQ(outcome.error, failing ? std::optional<std::string>("Not now.") : std::nullopt);
    loop.advance(1);
    EXPECT_EQ(outcome.calls, 1);
  }
}

TEST_F(NativeUnitTest, InvalidationThatThrowsIsLoggedAndDoesNotEscape) {
  start(throwing("invalidation", "Assertion is already invalid."));
  auto& outcome = activate();
  loop.drain();
  ASSERT_NE(outcome.token, nullptr);
  ::testing::internal::CaptureStderr();
  QVVisibilityRelease(outcome.token);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "tucklet: Assertion is already invalid.\n");
}

}  // namespace
}  // namespace tucklet::testing
