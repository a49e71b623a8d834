#include "platform/sim/sim_state.h"

#include <algorithm>
#include <string_view>

namespace tucklet::sim {

const BarSlot* BarLayout::extraSlot(ExtraId extra) const {
  auto it = extraSlots.find(extra);
  return it == extraSlots.end() ? nullptr : &slots[it->second];
}

const BarSlot* BarLayout::ownSlot(std::uint64_t ownItem) const {
  auto it = ownSlots.find(ownItem);
  return it == ownSlots.end() ? nullptr : &slots[it->second];
}

namespace {

std::string_view withoutTrailingSlash(std::string_view path) {
  while (path.size() > 1 && path.back() == '/')
    path.remove_suffix(1);
  return path;
}

}  // namespace

const StateIndex* SimState::index() const {
  if (changing) return nullptr;
  if (indexCache && indexVersion == version) return indexCache.get();
  auto made = std::make_shared<StateIndex>();
  for (std::size_t i = 0; i < apps.size(); ++i) {
    const auto& app = apps[i].app;
    made->apps.emplace(app.pid, i);
    if (app.bundlePath && !app.bundlePath->empty())
      made->files.emplace(withoutTrailingSlash(*app.bundlePath),
                          StateIndex::KnownFile{app.iconTheme, app.iconFile});
  }
  for (const auto& bundle : world.installed)
    if (!bundle.path.empty())
      made->files.emplace(withoutTrailingSlash(bundle.path),
                          StateIndex::KnownFile{bundle.iconTheme, bundle.iconFile});
  if (const auto& framework = world.visibilityFramework.path; framework && !framework->empty())
    made->files.emplace(withoutTrailingSlash(*framework), StateIndex::KnownFile{});
  indexCache = std::move(made);
  indexVersion = version;
  return indexCache.get();
}

AppEntry* SimState::findApp(pid_t pid) {
  for (auto& app : apps)
    if (app.app.pid == pid) return &app;
  return nullptr;
}

const AppEntry* SimState::findApp(pid_t pid) const {
  if (const auto* found = index()) {
    auto it = found->apps.find(pid);
    return it == found->apps.end() ? nullptr : &apps[it->second];
  }
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
