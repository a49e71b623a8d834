#include "visibility/divider_geometry.h"

#include <algorithm>
#include <cmath>

namespace tucklet {

double collapsedDividerLength(const std::vector<platform::Screen>& screens) {
  if (screens.empty()) return 10000;
  double widest = 0;
  for (const auto& screen : screens) widest = std::max(widest, screen.frame.width);
  return std::max(2 * widest, 10000.0);
}

std::optional<platform::Rect> accessibilityFrame(const platform::Rect& screenFrame,
                                                 const std::vector<platform::Screen>& screens) {
  if (screens.empty()) return std::nullopt;
  auto frame = screenFrame;
  frame.y = screens.front().frame.maxY() - screenFrame.maxY();
  return frame;
}

bool dividerLeftOf(const platform::Rect& divider, const platform::Rect& toggle) {
  return divider.maxX() <= toggle.minX() + 2 && std::fabs(divider.midY() - toggle.midY()) < 12;
}

bool hiddenSideOfDivider(const platform::Rect& item, const platform::Rect& divider) {
  const bool sameRow = std::fabs(item.midY() - divider.midY()) < std::max(divider.height, 12.0);
  const bool leftSide = item.maxX() <= divider.minX() + 2;
  return sameRow && leftSide;
}

}  // namespace tucklet
