#include "visibility/divider.h"

#include "visibility/divider_geometry.h"

namespace tucklet {

namespace {
constexpr const char* expandedTitle = "│";
}

Divider::Divider(platform::StatusItemRef boundary, platform::StatusItemRef toggle,
                 platform::Screens& screens, const platform::Lifetime& lifetime,
                 std::function<void()> revealClicked)
    : boundary_(std::move(boundary)), toggle_(std::move(toggle)), screens_(screens) {
  boundary_->setTitle(expandedTitle);
  boundary_->setAccessibilityLabel("tucklet hidden items boundary");
  boundary_->setToolTip("⌘-drag icons to the left of this divider to hide them.");
  boundary_->setAction(lifetime.guard([revealClicked = std::move(revealClicked)](
                                          const platform::InputEvent&) { revealClicked(); }),
                       platform::eventMaskFor(platform::EventType::LeftMouseUp));
}

void Divider::expandDivider() {
  boundary_->setLength(expandedDividerLength);
  boundary_->setTitle(expandedTitle);
}

void Divider::collapseDivider() {
  boundary_->setTitle("");
  boundary_->setLength(collapsedDividerLength(screens_.screens()));
}

std::optional<platform::Rect> Divider::dividerFrame() const {
  const auto frame = statusItemScreenFrame(boundary_);
  if (!frame) return std::nullopt;
  return accessibilityFrame(*frame, screens_.screens());
}

bool Divider::dividerLeftOfToggle() const {
  const auto divider = statusItemScreenFrame(boundary_);
  const auto main = statusItemScreenFrame(toggle_);
  return divider && main && dividerLeftOf(*divider, *main);
}

std::optional<platform::Rect> Divider::toggleScreenFrame() const {
  return statusItemScreenFrame(toggle_);
}

std::optional<platform::Rect> statusItemScreenFrame(const platform::StatusItemRef& item) {
  if (!item || !item->hasButton()) return std::nullopt;
  return item->buttonScreenFrame();
}

bool protectedItemHidden(const std::vector<BarItem>& items) {
  for (const auto& item : items)
    if (protectedControl(item.identifier, item.name)) return true;
  return false;
}

}  // namespace tucklet
