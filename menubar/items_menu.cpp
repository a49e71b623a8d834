#include "menubar/items_menu.h"

#include <algorithm>

#include "features/item_order.h"

namespace tucklet {

ItemsMenu::ItemsMenu(platform::Platform& platform, const Preferences& preferences,
                     bool nativeVisibility, Links links)
    : platform_(platform),
      preferences_(preferences),
      nativeVisibility_(nativeVisibility),
      links_(std::move(links)) {
  pickerMenu_.title = "tucklet";
  pickerMenu_.autoenablesItems = false;
  pickerMenu_.minimumWidth = 270;
}

bool ItemsMenu::isListed(const BarItem& item) const {
  const auto& excluded = preferences_.excludedIDs();
  if (std::find(excluded.begin(), excluded.end(), item.id) != excluded.end()) return false;
  const auto& alwaysHidden = preferences_.features().alwaysHiddenIDs;
  if (std::find(alwaysHidden.begin(), alwaysHidden.end(), item.id) != alwaysHidden.end())
    return false;
  if (!nativeVisibility_) return !protectedControl(item.identifier, item.name);
  if (auto control = systemControl(item, platform_.workspace))
    return !preferences_.allowedSystemControls().contains(*control);
  if (protectedControl(item.identifier, item.name)) return false;
  const auto owner = ownerBundle(item, platform_.workspace);
  const auto& visible = preferences_.visibleBundles();
  return std::find(visible.begin(), visible.end(), owner) == visible.end();
}

std::vector<BarItem> ItemsMenu::listedItems() const {
  std::vector<BarItem> listed;
  for (const auto& item : links_.items())
    if (isListed(item)) listed.push_back(item);
  if (preferences_.alphabetical()) {
    sortAlphabetically(listed, platform_.workspace);
    return listed;
  }
  return orderedItems(std::move(listed), preferences_.features().itemOrder);
}

void ItemsMenu::cancelMenuTracking() {
  if (pickerIsShown_) platform_.menus.cancelTracking();
}

void ItemsMenu::menuWillOpen() {
  pickerIsShown_ = true;
}

void ItemsMenu::menuDidClose() {
  pickerIsShown_ = false;
  links_.scheduleAutoCollapse();
}

}  // namespace tucklet
