// Tucklet's own status item: its set-up, its image and count, and what a click does.
#include "app/bar_controller.h"
#include "menubar/fold_image.h"

namespace tucklet {

void BarController::setUpToggle() {
  toggle->setAccessibilityLabel("tucklet");
  toggle->setToolTip("tucklet — menu bar items. Option-click to reveal.");
  // Without expanded interface sessions on this platform, left clicks reach the same dispatcher.
  toggle->setAction(weakly([](BarController& self, const platform::InputEvent& event) {
                      self.handleClick(event.type == platform::EventType::RightMouseUp,
                                       (event.modifiers & platform::ModifierOption) != 0);
                    }),
                    platform::eventMaskFor(platform::EventType::LeftMouseUp) |
                        platform::eventMaskFor(platform::EventType::RightMouseUp));
}

void BarController::refreshStatusItem() {
  if (!toggle || !toggle->hasButton()) return;
  const auto symbol = preferences->symbol();
  if (displayedSymbol != symbol) {
    displayedSymbol = symbol;
    toggle->setImage(statusSymbolImage(symbol));
    toggle->setImagePosition(platform::ImagePosition::Leading);
  }
  std::string title;
  if (preferences->showCount()) {
    const auto count = listedItems().size();
    if (count > 0) title = " " + std::to_string(count);
  }
  if (title != displayedTitle) {
    displayedTitle = title;
    toggle->setTitle(title);
  }
}

void BarController::handleClick(bool right, bool option) {
  if (right) {
    openSettingsWindow();
  } else if (preferences->optionClickReveals() && option) {
    toggleReveal();
  } else if (pickerIsShown) {
    cancelMenuTracking();
  } else if (preferences->features().overflowOnClick) {
    toggleOverflowBar();
  } else {
    showItemsMenu();
  }
}

void BarController::cancelMenuTracking() {
  if (pickerIsShown) platform_.menus.cancelTracking();
}

}  // namespace tucklet
