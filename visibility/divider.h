// The divider status item (`boundary`): where there is no native visibility interface, the user
// Command-drags the items to hide to its left, and collapsing widens it until everything left of
// it is pushed off the screen. Owns the item's look, its two lengths and the tests of where it
// stands; when to widen it is the visibility engine's decision.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "inventory/bar_item.h"
#include "platform/geometry.h"
#include "platform/lifetime.h"
#include "platform/status_bar.h"

namespace tucklet {

class Divider {
 public:
  // `boundary` is the divider item, `toggle` Tucklet's own icon it must stand left of. A click on
  // the divider runs `revealClicked`.
  Divider(platform::StatusItemRef boundary, platform::StatusItemRef toggle,
          platform::Screens& screens, const platform::Lifetime& lifetime,
          std::function<void()> revealClicked);

  // Length 18 and the "│" title.
  void expandDivider();
  // No title, and wide enough to push everything left of it off the widest screen.
  void collapseDivider();

  // The divider's frame in Accessibility coordinates; nothing while the bar has not placed it.
  std::optional<platform::Rect> dividerFrame() const;
  // Whether the divider stands left of Tucklet's icon, in the same row.
  bool dividerLeftOfToggle() const;
  // Tucklet's icon in screen coordinates; nothing while the bar has not placed it.
  std::optional<platform::Rect> toggleScreenFrame() const;

  const platform::StatusItemRef& item() const { return boundary_; }

 private:
  platform::StatusItemRef boundary_;
  platform::StatusItemRef toggle_;
  platform::Screens& screens_;
};

// A status item's button in screen coordinates; nothing without an item, a button or a window.
std::optional<platform::Rect> statusItemScreenFrame(const platform::StatusItemRef& item);

// Whether any of the items is the battery or the clock, which must never be hidden.
bool protectedItemHidden(const std::vector<BarItem>& items);

}  // namespace tucklet
