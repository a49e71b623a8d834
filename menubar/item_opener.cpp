#include "menubar/item_opener.h"

#include "visibility/visibility_engine.h"

namespace tucklet {

void ItemOpener::endOpening() {
  const bool wasOpening = activeItem_.has_value();
  if (menuTimer_) menuTimer_->invalidate();
  menuTimer_.reset();
  if (menuObserver_) {
    menuObserver_->detach();
    menuObserver_.reset();
  }
  globalMonitor_.reset();
  activeItem_.reset();
  activeWindowIDs_.clear();
  windowsBeforeOpen_.clear();
  if (wasOpening) engine_.holdReleased();
}

void ItemOpener::recordLatency(const std::string& mark) {
  if (interactionBegan_ == 0) return;
  const double now = platform_.runLoop.uptime();
  latency_[mark + "Ms"] = (now - interactionBegan_) * 1000;
  latency_[mark + "At"] = now;
}

}  // namespace tucklet
