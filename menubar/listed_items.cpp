// Which items the items menu lists - in native mode exactly those the current visibility settings
// hide - and in which order.
#include <algorithm>

#include "app/bar_controller.h"
#include "features/item_order.h"

namespace tucklet {

bool BarController::isListed(const BarItem& item) const {
  const auto& excluded = preferences->excludedIDs();
  if (std::find(excluded.begin(), excluded.end(), item.id) != excluded.end()) return false;
  const auto& alwaysHidden = preferences->features().alwaysHiddenIDs;
  if (std::find(alwaysHidden.begin(), alwaysHidden.end(), item.id) != alwaysHidden.end())
    return false;
  if (!nativeVisibility) return !protectedControl(item.identifier, item.name);
  if (auto control = systemControl(item, platform_.workspace))
    return !preferences->allowedSystemControls().contains(*control);
  if (protectedControl(item.identifier, item.name)) return false;
  const auto owner = ownerBundle(item, platform_.workspace);
  const auto& visible = preferences->visibleBundles();
  return std::find(visible.begin(), visible.end(), owner) == visible.end();
}

std::vector<BarItem> BarController::listedItems() const {
  std::vector<BarItem> listed;
  for (const auto& item : items)
    if (isListed(item)) listed.push_back(item);
  if (preferences->alphabetical()) {
    sortAlphabetically(listed, platform_.workspace);
    return listed;
  }
  return orderedItems(std::move(listed), preferences->features().itemOrder);
}

}  // namespace tucklet
