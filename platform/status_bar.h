// The system status bar, this process's status items, and the screens.
//
// Status items are laid out by the system from the right edge of the menu bar. A status item has a
// button frame only while the bar has placed it on screen.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/connection.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/window_server.h"

namespace tucklet::platform {

struct Screen {
  Rect frame;         // screen coordinates (origin bottom-left of the primary screen, y up)
  Rect visibleFrame;  // without the menu bar and the Dock
  int number = 0;
};

class Screens {
 public:
  virtual ~Screens() = default;
  // The first entry is the primary screen (the one with the menu bar).
  virtual std::vector<Screen> screens() const = 0;
  // The pointer, in screen coordinates.
  virtual Point mouseLocation() const = 0;
};

enum class ImagePosition { ImageOnly, Leading };

class StatusItem {
 public:
  static constexpr double VariableLength = -1;

  virtual ~StatusItem() = default;

  virtual double length() const = 0;
  virtual void setLength(double length) = 0;
  virtual bool isVisible() const = 0;
  virtual void setVisible(bool visible) = 0;
  // The bar remembers the user's placement of the item under this name.
  virtual void setAutosaveName(const std::string& name) = 0;
  virtual std::string autosaveName() const = 0;
  // Whether the user may remove the item by Command-dragging it off the bar.
  virtual void setRemovalAllowed(bool allowed) = 0;

  // The button. Every button call is a no-op on an item without a button.
  virtual bool hasButton() const = 0;
  virtual void setImage(ImageRef image) = 0;
  virtual ImageRef image() const = 0;
  virtual void setImagePosition(ImagePosition position) = 0;
  virtual void setTitle(const std::string& title) = 0;
  virtual std::string title() const = 0;
  virtual void setToolTip(const std::string& toolTip) = 0;
  virtual std::string toolTip() const = 0;
  // Drawn pressed, as while a menu or popover of the item hangs from it.
  virtual void setHighlighted(bool highlighted) = 0;
  virtual bool isHighlighted() const = 0;
  virtual void setAccessibilityLabel(const std::string& label) = 0;
  virtual std::string accessibilityLabel() const = 0;
  // Clicks on the button arrive here with the event that caused them (left or right mouse up,
  // with modifier flags). Only events in `mask` are sent.
  virtual void setAction(std::function<void(const InputEvent&)> action, EventMask mask) = 0;

  // The button's frame in screen coordinates; nothing while the bar has not placed the item.
  virtual std::optional<Rect> buttonScreenFrame() const = 0;
};
using StatusItemRef = std::shared_ptr<StatusItem>;

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  virtual StatusItemRef createStatusItem(double length) = 0;
  virtual void removeStatusItem(const StatusItemRef& item) = 0;
  // Height of the menu bar strip that holds status items.
  virtual double thickness() const = 0;
};

}  // namespace tucklet::platform
