// Menus built by the product as data and shown by the platform: the application's main menu and
// pop-up menus under a status item.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/image.h"
#include "platform/status_bar.h"

namespace tucklet::platform {

struct MenuRow;
using MenuRows = std::vector<MenuRow>;

struct MenuRow {
  enum class Kind { Item, Separator, SectionHeader };
  Kind kind = Kind::Item;
  std::string title;
  std::string subtitle;
  std::string toolTip;
  std::string imageName;  // a system symbol name
  ImageRef image;         // or an image
  bool enabled = true;
  bool checked = false;
  std::string keyEquivalent;       // "z", "q", ...
  std::uint32_t keyModifiers = 0;  // ModifierFlag bits; Command when empty and a key is given
  std::string selector;            // the standard action sent by an editing row ("undo:", ...)
  std::any representedObject;
  std::function<void()> action;  // run when the row is chosen
  MenuRows submenu;
  std::string submenuTitle;

  static MenuRow separator() {
    MenuRow row;
    row.kind = Kind::Separator;
    return row;
  }
};

// The look a menu is drawn in: always light, always dark, or whatever the system uses.
enum class MenuAppearance { System, Light, Dark };

struct MenuModel {
  std::string title;
  MenuRows rows;
  double minimumWidth = 0;
  bool autoenablesItems = true;
  MenuAppearance appearance = MenuAppearance::System;
};

class Menus {
 public:
  virtual ~Menus() = default;
  virtual void setMainMenu(const MenuModel& menu) = 0;
  virtual MenuModel mainMenu() const = 0;
  // Pops a menu up just below the button of a status item (its left edge at the button's left
  // edge, kept on the screen) and tracks it: the run loop enters its tracking mode until a row is
  // chosen or tracking is cancelled. `closed` runs on the main queue when the menu has closed,
  // before the chosen row's action. While it tracks, a click on the status item's button only
  // closes the menu; the button's action does not see that click.
  virtual void popUp(const MenuModel& menu, const StatusItemRef& under,
                     std::function<void()> closed) = 0;
  // The same with the menu's top-left corner at `topLeft`, in screen coordinates (y up); `from` is
  // the status item the menu belongs to (nothing: a menu of its own).
  virtual void popUpAt(const MenuModel& menu, Point topLeft, const StatusItemRef& from,
                       std::function<void()> closed) = 0;
  // The size the menu has when it pops up, its rows laid out as the platform draws them: the
  // widest row decides, never less than the model's minimum width.
  virtual Size menuSize(const MenuModel& menu) const = 0;
  virtual void cancelTracking() = 0;
  virtual bool isTracking() const = 0;
  // Titles of the highlighted rows of this process's tracking menu, from the top menu down through
  // open submenus; empty when nothing is highlighted.
  virtual std::vector<std::string> highlightedPath() const = 0;
};

}  // namespace tucklet::platform
