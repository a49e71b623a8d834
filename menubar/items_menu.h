// The items menu (`pickerMenu`) that drops down from Tucklet's icon: which of the scanned items it
// lists - in native mode exactly those the current visibility settings hide - in which order, and
// whether it is shown. The status item counts the same listed items.
#pragma once

#include <functional>
#include <vector>

#include "inventory/bar_item.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "preferences/preferences.h"

namespace tucklet {

class ItemsMenu {
 public:
  // What the menu asks of the parts built after it.
  struct Links {
    std::function<const std::vector<BarItem>&()> items;  // the inventory
    std::function<void()> scheduleAutoCollapse;
  };

  ItemsMenu(platform::Platform& platform, const Preferences& preferences, bool nativeVisibility,
            Links links);

  const platform::MenuModel& pickerMenu() const { return pickerMenu_; }
  bool pickerIsShown() const { return pickerIsShown_; }

  // The items the menu lists, in the menu's order.
  std::vector<BarItem> listedItems() const;
  bool isListed(const BarItem& item) const;

  // Closes the menu when it is open.
  void cancelMenuTracking();

  // The menu's delegate: it opened, or closed (the automatic fold is armed again).
  void menuWillOpen();
  void menuDidClose();

 private:
  platform::Platform& platform_;
  const Preferences& preferences_;
  const bool nativeVisibility_;
  Links links_;
  platform::MenuModel pickerMenu_;
  bool pickerIsShown_ = false;
};

}  // namespace tucklet
