#include "platform/sim/sim_events.h"

#include <set>

#include "platform/sim/sim_core.h"
#include "platform/sim/sim_extra_actions.h"
#include "platform/sim/sim_hit_test.h"
#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"
#include "platform/sim/sim_system_settings.h"
#include "platform/sim/sim_windows.h"

namespace tucklet::sim {
namespace {

using platform::EventType;
using platform::InputEvent;

struct ModifierPair {
  std::uint32_t flag;
  std::uint32_t carbon;
};
constexpr ModifierPair kModifiers[] = {
    {platform::ModifierCommand, 256},
    {platform::ModifierShift, 512},
    {platform::ModifierOption, 2048},
    {platform::ModifierControl, 4096},
};

pid_t desktopOwner(const SimState& state) {
  for (const auto& app : state.apps)
    if (app.app.bundleIdentifier == "com.apple.dock") return app.app.pid;
  return 0;
}

pid_t ownerOfHit(const SimState& state, const Hit& hit) {
  switch (hit.kind) {
    case Hit::Kind::Menu:
    case Hit::Kind::MenuRow:
      return state.menu ? state.menu->windowOwner : hit.pid;
    case Hit::Kind::Nothing:
      return desktopOwner(state);
    default:
      return hit.pid;
  }
}

void sendAction(const SimState& state, Outbox& out, std::uint64_t ownItem,
                const InputEvent& event) {
  auto it = state.ownItems.find(ownItem);
  if (it == state.ownItems.end() || !(it->second.actionMask & platform::eventMaskFor(event.type)))
    return;
  InputEvent delivered = event;
  delivered.targetPid = state.selfPid();
  out.post([ownItem, delivered](SimCore& core) { core.deliverAction(ownItem, delivered); });
}

bool isOwnWindow(const SimState& state, const Hit& hit) {
  if (hit.kind != Hit::Kind::Window) return false;
  for (const auto& w : state.windows)
    if (w.number == hit.window) return w.content != nullptr;
  return false;
}

// Whether `p` is on the close button of an own ordinary window: the first of the title bar's three
// lights, 20 points from its left edge, with a little room around its 6-point radius.
bool onCloseButton(const SimState& state, platform::WindowNumber number, Point p) {
  for (const auto& w : state.windows) {
    if (w.number != number || !w.content) continue;
    if (w.popover || w.window.layer != 0) return false;
    const double titleBar = ownContentFrame(w).y - w.window.bounds.y;
    if (titleBar <= 0) return false;
    const double dx = p.x - (w.window.bounds.x + 20);
    const double dy = p.y - (w.window.bounds.y + titleBar / 2);
    return dx * dx + dy * dy <= 8 * 8;
  }
  return false;
}

pid_t mouseDown(SimState& state, Outbox& out, const InputEvent& event, Point p) {
  auto hit = hitTest(state, p);

  // Panels a press opened, and this process's transient popovers, close on a click outside them;
  // a click on the item that opened one only closes it.
  std::set<ExtraId> closedPanels;
  std::set<std::uint64_t> closedPopoversOf;
  std::vector<platform::WindowNumber> closedOwn;
  std::erase_if(state.windows, [&](const WindowEntry& w) {
    const bool inside = hit.kind == Hit::Kind::Window && hit.window == w.number;
    if (!w.transient || inside) return false;
    if (w.content) {
      closedOwn.push_back(w.number);
      if (w.popover) closedPopoversOf.insert(w.underOwnItem);
      return false;  // closed below, so that its owner hears of it
    }
    closedPanels.insert(w.openedBy);
    return true;
  });
  for (const auto number : closedOwn)
    closeOwnWindow(state, out, number, true);

  if (state.menu) {
    if (hit.kind == Hit::Kind::Menu || hit.kind == Hit::Kind::MenuRow) {
      const pid_t owner = state.menu->windowOwner;
      if (hit.kind == Hit::Kind::MenuRow) chooseMenuRow(state, out, {hit.index});
      return owner;
    }
    const auto& menu = *state.menu;
    const bool onItsItem =
        (menu.extra != 0 && hit.kind == Hit::Kind::Extra && hit.extra == menu.extra) ||
        (menu.extra == 0 && menu.ownItem != 0 && hit.kind == Hit::Kind::OwnItem &&
         hit.ownItem == menu.ownItem);
    closeMenu(state, out);
    // A click on the item of the open menu only closes it.
    if (onItsItem) return hit.pid;
    hit = hitTest(state, p);
  }

  // This process's windows: the one clicked becomes key and takes the press; a click anywhere
  // else leaves none of them key.
  if (isOwnWindow(state, hit)) {
    // The red light of an ordinary window's title bar closes it.
    if (onCloseButton(state, hit.window, p)) {
      closeOwnWindow(state, out, hit.window, true);
      return hit.pid;
    }
    setKeyWindow(state, out, hit.window);
    switch (ownWindowPart(state, hit.window, p)) {
      case OwnWindowPart::CloseButton:
        closeOwnWindow(state, out, hit.window, true);
        break;
      case OwnWindowPart::TitleBar:
        break;
      case OwnWindowPart::Content:
        state.pressedWindow = hit.window;
        postMouseToWindow(state, out, hit.window, event, p);
        break;
    }
    return hit.pid;
  }
  setKeyWindow(state, out, 0);

  switch (hit.kind) {
    case Hit::Kind::Window:
      for (const auto& w : state.windows)
        if (w.number == hit.window) {
          pressInSystemSettings(state, w, p);
          break;
        }
      break;
    case Hit::Kind::Extra:
      if (!closedPanels.count(hit.extra)) clickExtra(state, out, hit.extra);
      break;
    case Hit::Kind::OwnItem:
      if (closedPopoversOf.count(hit.ownItem)) break;
      state.pressedOwnItem = hit.ownItem;
      sendAction(state, out, hit.ownItem, event);
      break;
    default:
      break;
  }
  return ownerOfHit(state, hit);
}

pid_t mouseUp(SimState& state, Outbox& out, const InputEvent& event, Point p) {
  // A press in one of this process's windows ends there, wherever the pointer went.
  if (const auto window = std::exchange(state.pressedWindow, 0); window != 0) {
    postMouseToWindow(state, out, window, event, p);
    return state.selfPid();
  }
  const auto hit = hitTest(state, p);
  const auto pressed = std::exchange(state.pressedOwnItem, 0);
  if (pressed != 0 && hit.kind == Hit::Kind::OwnItem && hit.ownItem == pressed)
    sendAction(state, out, pressed, event);
  return ownerOfHit(state, hit);
}

}  // namespace

std::uint32_t carbonModifiers(std::uint32_t flags) {
  std::uint32_t carbon = 0;
  for (const auto& m : kModifiers)
    if (flags & m.flag) carbon |= m.carbon;
  return carbon;
}

std::uint32_t eventModifiers(std::uint32_t carbon) {
  std::uint32_t flags = 0;
  for (const auto& m : kModifiers)
    if (carbon & m.carbon) flags |= m.flag;
  return flags;
}

void routeEvent(SimState& state, Outbox& out, InputEvent event) {
  Outbox effects;
  const Point p = toWindowListPoint(state, event.location);
  pid_t target = 0;
  switch (event.type) {
    case EventType::LeftMouseDown:
    case EventType::RightMouseDown:
      state.world.pointer = event.location;
      target = mouseDown(state, effects, event, p);
      break;
    case EventType::LeftMouseUp:
    case EventType::RightMouseUp:
      state.world.pointer = event.location;
      target = mouseUp(state, effects, event, p);
      break;
    case EventType::MouseMoved:
    case EventType::LeftMouseDragged: {
      state.world.pointer = event.location;
      trackPointer(state, p);
      const auto hit = hitTest(state, p);
      // A press in one of this process's windows drags there, wherever the pointer goes.
      if (state.pressedWindow != 0) {
        postMouseToWindow(state, effects, state.pressedWindow, event, p);
        target = state.selfPid();
        break;
      }
      const auto over = isOwnWindow(state, hit) ? hit.window : platform::WindowNumber{0};
      if (state.hoveredWindow != 0 && state.hoveredWindow != over)
        postMouseExitToWindow(effects, state.hoveredWindow);
      state.hoveredWindow = over;
      if (over != 0) postMouseToWindow(state, effects, over, event, p);
      target = ownerOfHit(state, hit);
      break;
    }
    case EventType::ScrollWheel: {
      state.world.pointer = event.location;
      const auto hit = hitTest(state, p);
      // This process's windows scroll what is under the pointer.
      if (isOwnWindow(state, hit)) postMouseToWindow(state, effects, hit.window, event, p);
      target = ownerOfHit(state, hit);
      break;
    }
    case EventType::KeyDown:
    case EventType::KeyUp:
      // Keys go to the menu being tracked, else to this process's key window, else to the
      // frontmost application.
      if (state.menu) {
        target = state.menu->windowOwner;
        // The open menu takes the arrow keys, Return and Escape.
        if (event.type == EventType::KeyDown) menuKeyDown(state, effects, event.keyCode);
      } else if (state.keyWindow != 0) {
        target = state.selfPid();
        postKeyToWindow(effects, state.keyWindow, event);
      } else {
        target = state.frontmost;
      }
      break;
  }
  event.targetPid = target;
  // Monitors see an event before its effects are handled.
  postToMonitors(state, out, event);
  out.append(std::move(effects));
}

bool triggerHotKey(SimState& state, Outbox& out, std::uint32_t keyCode, std::uint32_t carbon) {
  for (const auto& hotKey : state.hotKeys) {
    if (hotKey.keyCode != keyCode || hotKey.modifiers != carbon) continue;
    out.post([id = hotKey.id](SimCore& core) { core.deliverHotKey(id); });
    return true;
  }
  // Another application's hot key: that application has the press, and nobody else.
  return hotKeyHeldByOtherApplication(state, keyCode, carbon);
}

bool hotKeyHeldByOtherApplication(const SimState& state, std::uint32_t keyCode,
                                  std::uint32_t carbon) {
  for (const auto& app : state.apps) {
    if (app.isSelf) continue;
    for (const auto& hotKey : app.app.hotKeys)
      if (hotKey.keyCode == keyCode && hotKey.modifiers == carbon) return true;
  }
  return false;
}

void closeMenuIfItemGone(SimState& state, Outbox& out) {
  if (!state.menu) return;
  const auto slots = layOutMenuBar(state);
  if (state.menu->extra != 0) {
    const auto* slot = findSlot(slots, state.menu->extra);
    if (!slot || slot->hiddenByAssertion) closeMenu(state, out);
  } else if (state.menu->ownItem != 0) {
    const auto* slot = findOwnSlot(slots, state.menu->ownItem);
    if (!slot || !slot->shown) closeMenu(state, out);
  }
  if (state.pressedOwnItem != 0 && !findOwnSlot(slots, state.pressedOwnItem))
    state.pressedOwnItem = 0;
}

}  // namespace tucklet::sim
