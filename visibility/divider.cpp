// The divider status item: its look, its two lengths and where it stands.
#include "app/bar_controller.h"
#include "visibility/divider_geometry.h"

namespace tucklet {

namespace {
constexpr const char* expandedTitle = "│";
}

void BarController::setUpDivider() {
  boundary->setTitle(expandedTitle);
  boundary->setAccessibilityLabel("tucklet hidden items boundary");
  boundary->setToolTip("⌘-drag icons to the left of this divider to hide them.");
  boundary->setAction(weakly([](BarController& self, const platform::InputEvent&) {
                        self.revealClicked();
                      }),
                      platform::eventMaskFor(platform::EventType::LeftMouseUp));
}

void BarController::expandDivider() {
  boundary->setLength(expandedDividerLength);
  boundary->setTitle(expandedTitle);
}

void BarController::collapseDivider() {
  boundary->setTitle("");
  boundary->setLength(collapsedDividerLength(platform_.screens.screens()));
}

std::optional<platform::Rect> BarController::statusItemScreenFrame(
    const platform::StatusItemRef& item) const {
  if (!item || !item->hasButton()) return std::nullopt;
  return item->buttonScreenFrame();
}

std::optional<platform::Rect> BarController::dividerFrame() const {
  const auto frame = statusItemScreenFrame(boundary);
  if (!frame) return std::nullopt;
  return accessibilityFrame(*frame, platform_.screens.screens());
}

bool BarController::dividerLeftOfToggle() const {
  const auto divider = statusItemScreenFrame(boundary);
  const auto main = statusItemScreenFrame(toggle);
  return divider && main && dividerLeftOf(*divider, *main);
}

bool BarController::protectedItemHidden(const std::vector<BarItem>& list) const {
  for (const auto& item : list)
    if (protectedControl(item.identifier, item.name)) return true;
  return false;
}

void BarController::revealClicked() { toggleReveal(); }

}  // namespace tucklet
