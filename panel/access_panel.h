// The access panel (`accessPopover`): a transient popover under Tucklet's icon that shows the
// items the items menu lists, either as a grid of icons (the overflow bar) or, in search mode, as
// a search field over a list of the items the typed words find. Choosing an item closes the panel
// and opens the item; Escape, "Settings…", a click outside and the opening of an item close it.
//
// The panel's state (`PanelState`) is plain data; `AccessPanelView` draws it with Qt Widgets and
// the platform shows the view as a popover of this process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inventory/bar_item.h"
#include "panel/panel_state.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "preferences/preferences.h"

namespace tucklet {

class AccessPanelView;
class StatusItem;

namespace platform {
class WidgetWindowContent;
}

class AccessPanel {
 public:
  // What the panel asks of the parts around it. An empty entry is a part that does not exist.
  struct Links {
    // The items menu: the items it lists, in its order; whether it is showing.
    std::function<std::vector<BarItem>()> candidates;
    std::function<bool()> itemsMenuShown;
    // The item opener: whether an item is being opened; opening one.
    std::function<bool()> openingItem;
    std::function<void(const BarItem&)> openItem;
    // The visibility engine's automatic fold.
    std::function<void()> stopAutoCollapse;
    std::function<void()> scheduleAutoCollapse;
    // The settings window.
    std::function<void()> openSettingsWindow;
  };

  AccessPanel(platform::Platform& platform, const Preferences& preferences,
              const platform::Lifetime& lifetime, StatusItem& statusItem, Links links);
  ~AccessPanel();
  AccessPanel(const AccessPanel&) = delete;
  AccessPanel& operator=(const AccessPanel&) = delete;

  // Whether the panel is shown (the controller's `accessPopover`).
  bool accessPopover() const { return popover_ != nullptr; }
  // The state the panel shows; nothing while it is closed.
  const PanelState* state() const { return state_ ? &*state_ : nullptr; }

  // Shows the panel in search or browse mode under the icon; does nothing while it is shown, while
  // the items menu is shown, while an item is being opened, or when the icon has no button.
  void showAccessPanel(bool search);
  // Closes the panel when it is shown, and arms the automatic fold again.
  void closeAccessPanel();
  // Closes the panel, then opens the item.
  void openFromPanel(const BarItem& item);

  // The listed items changed (a scan, a setting): the panel shows the new ones.
  void candidatesChanged();
  // The `appearance` setting changed: the panel is drawn in the new one.
  void appearanceChanged();

  // What the view hands back: the field's text, the arrow keys, Return, Escape, "Settings…".
  void setQuery(const std::string& query);
  void move(int delta);
  void submit();
  void cancel();
  void settingsButton();

  // The popover and the view while shown (tests and pictures look at them).
  platform::WindowHandle* window() const { return popover_.get(); }
  AccessPanelView* view() const { return view_.get(); }

 private:
  // However the popover closed (a click outside included): it is gone, the icon's interaction
  // ends and the automatic fold is armed again.
  void popoverDidClose(std::uint64_t serial);
  // Drops the popover and its view; the view's widgets go once the event they may be handling is
  // over.
  void dropPopover();
  std::vector<PanelCandidate> currentCandidates() const;
  // Draws the state again and lets the popover take the view's new size.
  void redraw();

  platform::Platform& platform_;
  const Preferences& preferences_;
  const platform::Lifetime& lifetime_;
  StatusItem& statusItem_;
  Links links_;
  std::optional<PanelState> state_;
  std::unique_ptr<AccessPanelView> view_;
  std::shared_ptr<platform::WidgetWindowContent> content_;
  std::unique_ptr<platform::WindowHandle> popover_;
  std::uint64_t serial_ = 0;
};

}  // namespace tucklet
