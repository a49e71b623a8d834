#include "platform/sim/sim_window_server.h"

#include "platform/sim/sim_events.h"
#include "platform/sim/sim_window_list.h"

namespace tucklet::sim {
namespace {

class SimEventMonitor final : public platform::EventMonitor {
 public:
  SimEventMonitor(std::weak_ptr<SimCore> core, std::uint64_t id)
      : core_(std::move(core)), id_(id) {}
  ~SimEventMonitor() override {
    if (auto core = core_.lock())
      core->change([this](SimState& state, Outbox&) { state.monitors.erase(id_); });
  }

 private:
  std::weak_ptr<SimCore> core_;
  std::uint64_t id_;
};

}  // namespace

std::vector<platform::WindowInfo> SimWindowServer::onScreenWindows(
    bool excludeDesktopElements) const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read(
      [=](const SimState& state) { return windowList(state, excludeDesktopElements); });
}

void SimWindowServer::postEvent(const platform::InputEvent& event) {
  if (auto core = core_.lock())
    core->change([&event](SimState& state, Outbox& out) { routeEvent(state, out, event); });
}

std::unique_ptr<platform::EventMonitor> SimWindowServer::addGlobalMonitor(
    platform::EventMask mask, std::function<void(const platform::InputEvent&)> handler) {
  return addMonitor(true, mask, std::move(handler));
}

std::unique_ptr<platform::EventMonitor> SimWindowServer::addLocalMonitor(
    platform::EventMask mask, std::function<void(const platform::InputEvent&)> handler) {
  return addMonitor(false, mask, std::move(handler));
}

std::unique_ptr<platform::EventMonitor> SimWindowServer::addMonitor(
    bool global, platform::EventMask mask,
    std::function<void(const platform::InputEvent&)> handler) {
  auto core = core_.lock();
  if (!core) return nullptr;
  auto shared =
      std::make_shared<std::function<void(const platform::InputEvent&)>>(std::move(handler));
  const auto id = core->change([&](SimState& state, Outbox&) {
    const auto newId = state.newId();
    state.monitors[newId] = MonitorEntry{global, mask, shared};
    return newId;
  });
  return std::make_unique<SimEventMonitor>(core_, id);
}

bool SimWindowServer::screenCaptureApproved() const {
  auto core = core_.lock();
  return core &&
         core->read([](const SimState& state) { return state.world.screenCaptureApproved; });
}

}  // namespace tucklet::sim
