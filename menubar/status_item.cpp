#include "menubar/status_item.h"

#include "menubar/fold_image.h"

namespace tucklet {

namespace {

void run(const std::function<void()>& route) {
  if (route) route();
}

}  // namespace

StatusItem::StatusItem(platform::StatusItemRef toggle, const Preferences& preferences,
                       const platform::Symbols& symbols, platform::RunLoop& runLoop,
                       const platform::Lifetime& lifetime, Links links)
    : toggle_(std::move(toggle)),
      preferences_(preferences),
      symbols_(symbols),
      runLoop_(runLoop),
      lifetime_(lifetime),
      links_(std::move(links)) {
  if (!toggle_ || !toggle_->hasButton()) return;
  toggle_->setAccessibilityLabel("tucklet");
  toggle_->setToolTip("tucklet — menu bar items. Option-click to reveal.");
  // Without expanded interface sessions on this platform, left clicks reach the item's action too;
  // `clicked` tells them apart.
  toggle_->setAction(lifetime.guard([this](const platform::InputEvent& event) { clicked(event); }),
                     platform::eventMaskFor(platform::EventType::LeftMouseUp) |
                         platform::eventMaskFor(platform::EventType::RightMouseUp));
}

void StatusItem::refreshStatusItem() {
  if (!toggle_ || !toggle_->hasButton()) return;
  const auto& symbol = preferences_.symbol();
  if (displayedSymbol_ != symbol) {
    displayedSymbol_ = symbol;
    // An unknown symbol leaves the button without an image; the count still shows.
    toggle_->setImage(statusSymbolImage(symbol, symbols_));
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

void StatusItem::clicked(const platform::InputEvent& event) {
  const bool option = (event.modifiers & platform::ModifierOption) != 0;
  if (event.type == platform::EventType::RightMouseUp)
    rightClicked();
  else
    beginExpandedSession(option);
}

void StatusItem::rightClicked() {
  cancelExpandedSession();
  run(links_.openSettingsWindow);
}

bool StatusItem::overflowBarShown() const {
  return links_.overflowBarShown && links_.overflowBarShown();
}

void StatusItem::beginExpandedSession(bool option) {
  // The overflow bar takes the clicks on the item while it is open.
  if (overflowBarShown()) return;
  const auto session = ++lastSession_;
  session_ = session;
  refreshHighlight();
  // Handled once the click itself is over; a newer click replaces this one.
  runLoop_.scheduleTimer(0, false, platform::TimerMode::Common,
                         lifetime_.guard([this, session, option] {
                           if (session_ != session) return;
                           handleClick(false, option);
                           if (!links_.itemsMenuShown() && !overflowBarShown())
                             cancelExpandedSession();
                         }));
}

void StatusItem::cancelExpandedSession() {
  if (session_ == 0) return;
  session_ = 0;
  expandedSessionEnded();
  refreshHighlight();
}

void StatusItem::refreshHighlight() {
  if (!toggle_ || !toggle_->hasButton()) return;
  const bool pressed =
      session_ != 0 || (links_.itemsMenuShown && links_.itemsMenuShown()) || overflowBarShown();
  if (toggle_->isHighlighted() != pressed) toggle_->setHighlighted(pressed);
}

void StatusItem::expandedSessionEnded() {
  links_.closeItemsMenu();
  run(links_.closeOverflowBar);
  links_.scheduleAutoCollapse();
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
    links_.showItemsMenu();
  }
}

}  // namespace tucklet
