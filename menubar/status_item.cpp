#include "menubar/status_item.h"

#include "menubar/fold_image.h"

namespace tucklet {

namespace {

void run(const std::function<void()>& route) {
  if (route) route();
}

}  // namespace

StatusItem::StatusItem(platform::StatusItemRef toggle, const Preferences& preferences,
                       const platform::Lifetime& lifetime, Links links)
    : toggle_(std::move(toggle)), preferences_(preferences), links_(std::move(links)) {
  toggle_->setAccessibilityLabel("tucklet");
  toggle_->setToolTip("tucklet — menu bar items. Option-click to reveal.");
  // Without expanded interface sessions on this platform, left clicks reach the same dispatcher.
  toggle_->setAction(lifetime.guard([this](const platform::InputEvent& event) {
    handleClick(event.type == platform::EventType::RightMouseUp,
                (event.modifiers & platform::ModifierOption) != 0);
  }),
                     platform::eventMaskFor(platform::EventType::LeftMouseUp) |
                         platform::eventMaskFor(platform::EventType::RightMouseUp));
}

void StatusItem::refreshStatusItem() {
  if (!toggle_ || !toggle_->hasButton()) return;
  const auto& symbol = preferences_.symbol();
  if (displayedSymbol_ != symbol) {
    displayedSymbol_ = symbol;
    toggle_->setImage(statusSymbolImage(symbol));
    toggle_->setImagePosition(platform::ImagePosition::Leading);
  }
  std::string title;
  if (preferences_.showCount()) {
    const auto count = links_.listedItemCount();
    if (count > 0) title = " " + std::to_string(count);
  }
  if (title != displayedTitle_) {
    displayedTitle_ = title;
    toggle_->setTitle(title);
  }
}

void StatusItem::handleClick(bool right, bool option) {
  if (right) {
    run(links_.openSettingsWindow);
  } else if (preferences_.optionClickReveals() && option) {
    links_.toggleReveal();
  } else if (links_.itemsMenuShown()) {
    links_.closeItemsMenu();
  } else if (preferences_.features().overflowOnClick) {
    run(links_.toggleOverflowBar);
  } else {
    run(links_.showItemsMenu);
  }
}

}  // namespace tucklet
