// The controller's bookkeeping of an item being opened: tearing an opening down and the latency
// marks measured from the user's choice.
#include "app/bar_controller.h"

namespace tucklet {

void BarController::endOpening() {
  if (menuTimer) menuTimer->invalidate();
  menuTimer.reset();
  if (menuObserver) {
    menuObserver->detach();
    menuObserver.reset();
  }
  globalMonitor.reset();
  activeItem.reset();
  activeWindowIDs.clear();
  windowsBeforeOpen.clear();
}

void BarController::recordLatency(const std::string& mark) {
  if (interactionBegan == 0) return;
  const double now = platform_.runLoop.uptime();
  latency[mark + "Ms"] = (now - interactionBegan) * 1000;
  latency[mark + "At"] = now;
}

}  // namespace tucklet
