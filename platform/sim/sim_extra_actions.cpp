#include "platform/sim/sim_extra_actions.h"

#include <algorithm>

#include "platform/sim/sim_core.h"
#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"

namespace tucklet::sim {
namespace {

using platform::AXError;

bool windowOpenFor(const SimState& state, ExtraId extra) {
  return std::any_of(state.windows.begin(), state.windows.end(),
                     [extra](const WindowEntry& w) { return w.transient && w.openedBy == extra; });
}

// The window a press opens appears below the item, in front of every other window.
void openPressWindow(SimState& state, pid_t pid, std::uint64_t incarnation, ExtraId extra) {
  const auto* app = state.findApp(pid);
  auto it = state.extras.find(extra);
  if (!app || app->incarnation != incarnation || it == state.extras.end()) return;
  if (windowOpenFor(state, extra)) return;
  const auto& e = it->second.extra;

  Rect bounds{0, state.world.menuBarHeight + 6, e.windowSize.width, e.windowSize.height};
  const auto slots = layOutMenuBar(state);
  if (const auto* slot = findSlot(slots, extra); slot && !state.world.screens.empty())
    bounds.x = toWindowList(state, slot->frame).x;
  if (!state.world.screens.empty()) {
    const Rect screen = toWindowList(state, state.world.screens.front().frame);
    bounds.x =
        std::clamp(bounds.x, screen.minX(), std::max(screen.minX(), screen.maxX() - bounds.width));
  }
  WindowEntry window;
  window.number = state.newWindow();
  window.pid = pid;
  window.window.name = e.windowTitle;
  window.window.bounds = bounds;
  window.window.layer = 0;
  window.window.alpha = 1.0;
  window.transient = true;
  window.openedBy = extra;
  state.windows.insert(state.windows.begin(), window);
}

void schedulePressWindow(SimState& state, Outbox& out, const ExtraEntry& entry) {
  const auto* app = state.findApp(entry.pid);
  if (!app) return;
  closeMenu(state, out);
  out.postAfter(entry.extra.windowDelay, [pid = entry.pid, incarnation = app->incarnation,
                                          id = entry.id](SimCore& core) {
    core.change([&](SimState& s, Outbox&) { openPressWindow(s, pid, incarnation, id); });
  });
}

}  // namespace

bool extraActionHangs(const SimState& state, ExtraId extra, const std::string& action) {
  auto it = state.extras.find(extra);
  if (it == state.extras.end() || it->second.extra.press != PressBehaviour::Hangs) return false;
  return action == "AXPress" || action == "AXShowMenu" || action == "AXCancel";
}

AXError performExtraAction(SimState& state, Outbox& out, ExtraId extra, const std::string& action) {
  auto it = state.extras.find(extra);
  if (it == state.extras.end()) return AXError::InvalidUIElement;
  const auto& entry = it->second;
  const auto press = entry.extra.press;
  if (press == PressBehaviour::Hangs && extraActionHangs(state, extra, action))
    return AXError::CannotComplete;

  if (action == "AXCancel") {
    if (state.menu && state.menu->extra == extra) closeMenu(state, out);
    return AXError::Success;
  }
  if (action != "AXPress" && action != "AXShowMenu") return AXError::ActionUnsupported;
  const bool showMenu = action == "AXShowMenu";
  switch (press) {
    case PressBehaviour::OpensMenu:
      openExtraMenu(state, out, extra);
      return AXError::Success;
    case PressBehaviour::ShowMenuOnly:
      if (!showMenu) return AXError::ActionUnsupported;
      openExtraMenu(state, out, extra);
      return AXError::Success;
    case PressBehaviour::OpensWindow:
      if (showMenu) return AXError::ActionUnsupported;
      schedulePressWindow(state, out, entry);
      return AXError::Success;
    case PressBehaviour::Unsupported25206:
      return AXError::ActionUnsupported;
    case PressBehaviour::Unsupported25208:
      return AXError::NotImplemented;
    case PressBehaviour::Hangs:
      return AXError::CannotComplete;
  }
  return AXError::Failure;
}

void clickExtra(SimState& state, Outbox& out, ExtraId extra) {
  auto it = state.extras.find(extra);
  if (it == state.extras.end()) return;
  const auto* app = state.findApp(it->second.pid);
  if (!app || app->app.hung) return;
  switch (it->second.extra.press) {
    case PressBehaviour::Hangs:
      return;
    case PressBehaviour::OpensWindow:
      schedulePressWindow(state, out, it->second);
      return;
    default:
      openExtraMenu(state, out, extra);
  }
}

}  // namespace tucklet::sim
