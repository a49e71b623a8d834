// The geometry of divider hiding: the divider's collapsed length, conversion from screen frames to
// Accessibility frames, and the tests that decide what lies on the hidden side.
#pragma once

#include <optional>
#include <vector>

#include "platform/geometry.h"
#include "platform/status_bar.h"

namespace tucklet {

inline constexpr double expandedDividerLength = 18;

// max(10000, twice the widest screen); 10000 without screens.
double collapsedDividerLength(const std::vector<platform::Screen>& screens);

// Screen frame (bottom-left origin) to Accessibility frame (top-left origin) by the first screen;
// nothing without screens.
std::optional<platform::Rect> accessibilityFrame(const platform::Rect& screenFrame,
                                                 const std::vector<platform::Screen>& screens);

// Whether the divider stands left of the main item in the same menu bar row (screen frames).
bool dividerLeftOf(const platform::Rect& divider, const platform::Rect& toggle);

// Whether an item lies on the hidden side of the divider (Accessibility frames).
bool hiddenSideOfDivider(const platform::Rect& item, const platform::Rect& divider);

}  // namespace tucklet
