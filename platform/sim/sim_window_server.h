// The window server service of the simulated desktop: the window list, synthetic events and
// event monitors.
#pragma once

#include <memory>

#include "platform/sim/sim_core.h"
#include "platform/window_server.h"

namespace tucklet::sim {

class SimWindowServer final : public platform::WindowServer {
 public:
  explicit SimWindowServer(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}

  std::vector<platform::WindowInfo> onScreenWindows(bool excludeDesktopElements) const override;
  void postEvent(const platform::InputEvent& event) override;
  std::unique_ptr<platform::EventMonitor> addGlobalMonitor(
      platform::EventMask mask, std::function<void(const platform::InputEvent&)> handler) override;
  std::unique_ptr<platform::EventMonitor> addLocalMonitor(
      platform::EventMask mask, std::function<void(const platform::InputEvent&)> handler) override;
  bool screenCaptureApproved() const override;

 private:
  std::unique_ptr<platform::EventMonitor> addMonitor(
      bool global, platform::EventMask mask,
      std::function<void(const platform::InputEvent&)> handler);

  std::weak_ptr<SimCore> core_;
};

}  // namespace tucklet::sim
