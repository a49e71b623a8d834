// System Settings on the simulated desktop: opening one of its "x-apple.systempreferences:" URLs
// launches it (or brings it forward) with the pane's window, and its Privacy & Security →
// Accessibility window lists this process with a switch. Turning the switch on grants this process
// Accessibility trust; turning it off takes it away.
#pragma once

#include <optional>
#include <string>

#include "platform/sim/sim_state.h"

namespace tucklet::sim {

constexpr const char* kSystemSettingsBundle = "com.apple.systempreferences";
constexpr const char* kAccessibilityWindowName = "Accessibility";

// Where the parts of the Accessibility window are, in window-list coordinates.
struct AccessibilityPaneLayout {
  Rect sidebar;
  Rect list;    // the rounded list of applications
  Rect row;     // this process's row
  Rect toggle;  // its switch
};
AccessibilityPaneLayout accessibilityPaneLayout(const Rect& windowBounds);

// Handles a System Settings URL: false for any other URL.
bool openSystemSettings(SimState& state, Outbox& out, const std::string& url);
// A press at `p` (window-list coordinates) in a System Settings window: flips the switch when it
// lands on it. True when the press was on the switch.
bool pressInSystemSettings(SimState& state, const WindowEntry& window, Point p);
// The switch of this process's row in the on-screen Accessibility window (screen coordinates).
std::optional<Point> accessibilitySwitchPoint(const SimState& state);

}  // namespace tucklet::sim
