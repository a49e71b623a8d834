#include "platform/sim/sim_hit_test.h"

#include "platform/sim/sim_ax_tree.h"
#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"

namespace tucklet::sim {

Hit hitTest(const SimState& state, Point p, std::optional<pid_t> onlyPid) {
  const auto wanted = [&onlyPid](pid_t pid) { return !onlyPid || *onlyPid == pid; };
  Hit hit;

  if (state.menu && wanted(state.menu->pid) && state.menu->frame.contains(p)) {
    hit.pid = state.menu->pid;
    hit.kind = Hit::Kind::Menu;
    const auto rows = menuRowFrames(*state.menu);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].contains(p)) {
        hit.kind = Hit::Kind::MenuRow;
        hit.index = i;
        break;
      }
    }
    return hit;
  }

  for (const auto& window : state.windows) {
    if (!wanted(window.pid) || !window.window.bounds.contains(p)) continue;
    hit.kind = Hit::Kind::Window;
    hit.pid = window.pid;
    hit.window = window.number;
    return hit;
  }

  if (state.world.screens.empty()) return hit;
  for (const auto& slot : layOutMenuBar(state)) {
    if (!slot.shown || slot.hiddenByAssertion || !wanted(slot.pid)) continue;
    if (!toWindowList(state, slot.frame).contains(p)) continue;
    hit.pid = slot.pid;
    if (slot.kind == BarSlot::Kind::Extra) {
      hit.kind = Hit::Kind::Extra;
      hit.extra = slot.extra;
    } else {
      hit.kind = Hit::Kind::OwnItem;
      hit.ownItem = slot.ownItem;
    }
    return hit;
  }

  if (state.findApp(state.frontmost) && wanted(state.frontmost)) {
    const auto titles = applicationMenuTitles(state);
    for (std::size_t i = 0; i < titles.size(); ++i) {
      if (!toWindowList(state, titles[i].frame).contains(p)) continue;
      hit.kind = Hit::Kind::AppMenuTitle;
      hit.pid = state.frontmost;
      hit.index = i;
      return hit;
    }
  }
  return hit;
}

std::optional<ElementPath> elementForHit(const SimState& state, const Hit& hit) {
  switch (hit.kind) {
    case Hit::Kind::Nothing:
      return std::nullopt;
    case Hit::Kind::Menu:
      return menuPath(state, *state.menu);
    case Hit::Kind::MenuRow:
      return menuRowPath(state, *state.menu, hit.index);
    case Hit::Kind::Window:
      for (const auto& window : state.windows)
        if (window.number == hit.window) return windowPath(state, window);
      return std::nullopt;
    case Hit::Kind::Extra:
      return extraItemPath(state, hit.extra);
    case Hit::Kind::OwnItem:
      return ownItemPath(state, hit.ownItem);
    case Hit::Kind::AppMenuTitle:
      return appMenuTitlePath(state, hit.pid, hit.index);
  }
  return std::nullopt;
}

}  // namespace tucklet::sim
