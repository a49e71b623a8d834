// The items menu (`pickerMenu`) that drops down from Tucklet's icon: which of the scanned items it
// lists - in native mode exactly those the current visibility settings hide - in which order, the
// menu's rows (rebuilt every time it opens), where it pops up, and what each row does. The status
// item counts the same listed items.
#pragma once

#include <any>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "features/feature_configuration.h"
#include "inventory/bar_item.h"
#include "platform/lifetime.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "preferences/preferences.h"
#include "visibility/notice.h"

namespace tucklet {

class StatusItem;

// Where the menu's top-left corner goes (screen coordinates): right-aligned to the icon's right
// edge, 2 points below it, and at least 4 points inside the visible frame of the icon's screen.
// Nothing when the icon's frame is unknown or on no screen.
std::optional<platform::Point> itemsMenuTopLeft(const std::optional<platform::Rect>& iconFrame,
                                                const std::vector<platform::Screen>& screens,
                                                double menuWidth);

class ItemsMenu {
 public:
  // What the menu asks of the parts built after it. Entries of parts that do not exist stay empty:
  // their rows are shown and do nothing.
  struct Links {
    // The inventory.
    std::function<const std::vector<BarItem>&()> items;
    // The visibility engine.
    std::function<bool()> trusted;
    std::function<bool()> collapsed;
    std::function<void()> scheduleAutoCollapse;
    std::function<void()> stopAutoCollapse;
    // The item opener.
    std::function<void(const BarItem&)> openItem;
    // The controller's sequences.
    std::function<void()> toggleReveal;
    std::function<void()> requestAccess;
    // The access panel (search field and overflow bar).
    std::function<bool()> accessPanelShown;
    std::function<void()> closeAccessPanel;
    std::function<void(bool search)> showAccessPanel;
    // The rule engine: a preset chosen by hand.
    std::function<void(const VisibilityPreset&)> applyPreset;
    // The settings window.
    std::function<void()> openSettingsWindow;
    // The updater.
    std::function<std::optional<std::string>()> availableVersion;
    std::function<bool()> canCheckForUpdates;
    std::function<void()> checkForUpdates;
  };

  ItemsMenu(platform::Platform& platform, const Preferences& preferences, const Notice& notice,
            const platform::Lifetime& lifetime, bool nativeVisibility, StatusItem& statusItem,
            Links links);
  ItemsMenu(const ItemsMenu&) = delete;
  ItemsMenu& operator=(const ItemsMenu&) = delete;

  const platform::MenuModel& pickerMenu() const { return pickerMenu_; }
  bool pickerIsShown() const { return pickerIsShown_; }

  // The items the menu lists, in the menu's order.
  std::vector<BarItem> listedItems() const;
  bool isListed(const BarItem& item) const;

  // Builds the menu and pops it up under the icon (a click on the icon).
  void showItemsMenu();
  // Fills `pickerMenu` afresh.
  void buildItemsMenu();
  // Closes the menu when it is open.
  void cancelMenuTracking();

  // The menu's delegate: it opened, or closed (the automatic fold is armed again).
  void menuWillOpen();
  void menuDidClose();

  // The rows' actions.
  void pickMenuItem(const std::any& representedObject);
  void searchMenuAction();
  void overflowMenuAction();
  void presetMenuAction(const std::any& representedObject);
  void quickMenuAction(const std::any& representedObject);
  void settingsMenuAction();
  void permissionMenuAction();
  void checkForUpdatesMenuAction();
  void quitMenuAction();

 private:
  bool isSystemItem(const BarItem& item) const;
  platform::MenuRow itemRow(const BarItem& item);
  platform::MenuRow commandRow(std::string title, std::function<void()> action);
  // Row actions: most wait until the menu has finished closing, a few run at once.
  std::function<void()> deferred(std::function<void()> work) const;
  std::function<void()> atOnce(std::function<void()> work) const;

  platform::Platform& platform_;
  const Preferences& preferences_;
  const Notice& notice_;
  const platform::Lifetime& lifetime_;
  const bool nativeVisibility_;
  StatusItem& statusItem_;
  Links links_;
  platform::MenuModel pickerMenu_;
  bool pickerIsShown_ = false;
};

}  // namespace tucklet
