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
  std::string keyEquivalent;      // "z", "q", ...
  std::uint32_t keyModifiers = 0;  // ModifierFlag bits; Command when empty and a key is given
  std::string selector;           // the standard action sent by an editing row ("undo:", ...)
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

struct MenuModel {
  std::string title;
  MenuRows rows;
  double minimumWidth = 0;
  bool autoenablesItems = true;
};

class Menus {
 public:
  virtual ~Menus() = default;
  virtual void setMainMenu(const MenuModel& menu) = 0;
  virtual MenuModel mainMenu() const = 0;
  // Pops a menu up under a status item and tracks it (the run loop enters its tracking mode)
  // until a row is chosen or tracking is cancelled; `closed` runs when it closes.
  virtual void popUp(const MenuModel& menu, const StatusItemRef& under,
                     std::function<void()> closed) = 0;
  virtual void cancelTracking() = 0;
  virtual bool isTracking() const = 0;
};

}  // namespace tucklet::platform
