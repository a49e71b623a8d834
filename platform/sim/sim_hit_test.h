// What lies at a point of the desktop, front to back: the open menu, ordinary windows, the
// status items on the bar, the application menus.
#pragma once

#include <optional>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

struct Hit {
  enum class Kind { Nothing, Menu, MenuRow, Window, Extra, OwnItem, AppMenuTitle };
  Kind kind = Kind::Nothing;
  pid_t pid = 0;  // the owner (for a menu, the process its Accessibility elements belong to)
  ExtraId extra = 0;
  std::uint64_t ownItem = 0;
  platform::WindowNumber window = 0;
  std::size_t index = 0;  // menu row or application menu title
};

// `windowListPoint` has the window list's origin (top-left of the first screen, y down).
// `onlyPid` limits the search to one application's interface.
Hit hitTest(const SimState& state, Point windowListPoint, std::optional<pid_t> onlyPid = {});
// The deepest element of what was hit; nothing for `Kind::Nothing`.
std::optional<ElementPath> elementForHit(const SimState& state, const Hit& hit);

}  // namespace tucklet::sim
