#include "platform/debounce.h"

#include <utility>

namespace tucklet::platform {

Debouncer::Debouncer(RunLoop& runLoop, double delay, TimerMode mode, std::function<void()> action)
    : runLoop_(runLoop), delay_(delay), mode_(mode), action_(std::move(action)) {}

Debouncer::~Debouncer() {
  cancel();
}

void Debouncer::trigger() {
  cancel();
  timer_ = runLoop_.scheduleTimer(delay_, /*repeats=*/false, mode_, [this] {
    // Forget the timer before acting: the action may trigger again, or destroy this debouncer.
    timer_.reset();
    auto action = action_;
    action();
  });
}

void Debouncer::cancel() {
  if (auto timer = std::exchange(timer_, nullptr)) timer->invalidate();
}

bool Debouncer::isPending() const {
  return timer_ && timer_->isValid();
}

}  // namespace tucklet::platform
