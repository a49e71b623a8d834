#include "platform/sim/sim_window_list.h"

#include "platform/sim/sim_layout.h"

namespace tucklet::sim {
namespace {

std::string ownerName(const SimState& state, pid_t pid) {
  const auto* app = state.findApp(pid);
  return app ? app->app.localizedName.value_or("") : std::string();
}

}  // namespace

std::vector<platform::WindowInfo> windowList(const SimState& state, bool excludeDesktopElements) {
  std::vector<platform::WindowInfo> list;
  const auto add = [&list, &state](platform::WindowNumber number, pid_t pid, std::string name,
                                   int layer, Rect bounds, std::optional<double> alpha) {
    platform::WindowInfo info;
    info.number = number;
    info.ownerPid = pid;
    info.ownerName = ownerName(state, pid);
    info.name = std::move(name);
    info.layer = layer;
    info.bounds = bounds;
    info.alpha = alpha;
    list.push_back(std::move(info));
  };

  if (state.menu)
    add(state.menu->window, state.menu->windowOwner, "", kMenuWindowLayer, state.menu->frame, 1.0);
  for (const auto& window : state.windows) {
    if (const auto* app = state.findApp(window.pid); app && app->app.hidden) continue;
    add(window.number, window.pid, window.window.name, window.window.layer, window.window.bounds,
        window.window.alpha);
  }
  if (state.world.screens.empty()) return list;

  for (const auto& slot : layOutMenuBar(state)) {
    if (!slot.shown || slot.hiddenByAssertion) continue;
    platform::WindowNumber number = 0;
    if (slot.kind == BarSlot::Kind::Extra)
      number = state.extras.at(slot.extra).window;
    else
      number = state.ownItems.at(slot.ownItem).window;
    add(number, slot.pid, "", kStatusItemWindowLayer, toWindowList(state, slot.frame), 1.0);
  }

  const auto geometry = barGeometry(state);
  add(state.menuBarWindow, kWindowServerPid, "Menubar", kMenuBarWindowLayer,
      toWindowList(state, geometry.strip), 1.0);
  list.back().ownerName = kWindowServerName;

  if (excludeDesktopElements) return list;
  pid_t dock = 0;
  for (const auto& app : state.apps)
    if (app.app.bundleIdentifier == "com.apple.dock") dock = app.app.pid;
  for (const auto& screen : state.world.screens) {
    auto it = state.wallpaperWindows.find(screen.number);
    if (it == state.wallpaperWindows.end()) continue;
    add(it->second, dock, "Desktop Picture", kDesktopWindowLayer, toWindowList(state, screen.frame),
        1.0);
    list.back().isDesktopElement = true;
    if (!dock) list.back().ownerName = kWindowServerName;
  }
  return list;
}

}  // namespace tucklet::sim
