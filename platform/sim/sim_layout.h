// Geometry of the menu bar: the application menus at the left, where each status item sits and
// whether it is on screen, and the conversions between screen and window-list coordinates.
//
// Everything is computed from the state on demand, so any change of the state is a relayout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

struct BarGeometry {
  bool hasScreen = false;
  Rect screen;           // the first screen's frame (the one with the menu bar)
  Rect strip;            // the menu bar, screen coordinates
  Rect appMenus;         // the application menus, screen coordinates
  double leftLimit = 0;  // a status item whose left edge is left of this is not shown
};

// One title of the application menus (the Apple menu, the application's name, its menus).
struct AppMenuTitle {
  std::string title;
  Rect frame;  // screen coordinates
};

// Text width in the bar: the model has no fonts, so every character counts 7 points.
std::size_t characterCount(const std::string& utf8);
double titleWidth(const std::string& title);  // text plus the title's padding

std::vector<platform::Screen> currentScreens(const SimState& state);
BarGeometry barGeometry(const SimState& state);
std::vector<AppMenuTitle> applicationMenuTitles(const SimState& state);

// Whether the visibility assertions in force hide an item.
bool extraHidden(const SimState& state, const ExtraEntry& extra);
bool ownItemHidden(const SimState& state, const OwnItemEntry& item);
double ownItemWidth(const OwnItemEntry& item);

// The status area, right to left. Items hidden by an assertion are listed (flagged, without a
// frame); invisible own items are not listed.
std::vector<BarSlot> layOutMenuBar(const SimState& state);
// The same with an index, shared until the state next changes (computed afresh, and not kept,
// while a change is being made).
std::shared_ptr<const BarLayout> barLayout(const SimState& state);
// The same, always computed afresh.
std::vector<BarSlot> computeLayout(const SimState& state);
const BarSlot* findSlot(const std::vector<BarSlot>& slots, ExtraId extra);
const BarSlot* findOwnSlot(const std::vector<BarSlot>& slots, std::uint64_t ownItem);

// Window-list (and Accessibility) coordinates have their origin at the top-left of the first
// screen, y down; screen coordinates at its bottom-left, y up.
Rect toWindowList(const SimState& state, const Rect& screenRect);
Point toWindowListPoint(const SimState& state, Point screenPoint);
Point toScreenPoint(const SimState& state, Point windowListPoint);

}  // namespace tucklet::sim
