#include "platform/sim/sim_state.h"

#include <algorithm>

namespace tucklet::sim {

AppEntry* SimState::findApp(pid_t pid) {
  for (auto& app : apps)
    if (app.app.pid == pid) return &app;
  return nullptr;
}

const AppEntry* SimState::findApp(pid_t pid) const {
  for (const auto& app : apps)
    if (app.app.pid == pid) return &app;
  return nullptr;
}

const AppEntry* SimState::selfApp() const {
  for (const auto& app : apps)
    if (app.isSelf) return &app;
  return nullptr;
}

double SimState::maxPosition() const {
  double result = 0;
  bool any = false;
  for (const auto& [id, entry] : extras) {
    if (!entry.extra.position) continue;
    result = any ? std::max(result, *entry.extra.position) : *entry.extra.position;
    any = true;
  }
  for (const auto& [id, item] : ownItems) {
    result = any ? std::max(result, item.position) : item.position;
    any = true;
  }
  return result;
}

std::pair<double, bool> SimState::messageCost(pid_t pid, double timeout) const {
  const auto* app = findApp(pid);
  if (!app) return {0.0, false};
  if (app->app.hung) return {timeout, true};
  const double latency = app->app.accessibilityLatency.value_or(world.accessibilityLatency);
  if (latency >= timeout) return {timeout, true};
  return {std::max(latency, 0.0), false};
}

}  // namespace tucklet::sim
