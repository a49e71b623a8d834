// Tucklet's own status item (`toggle`), its only permanent presence: the icon, optionally followed
// by the number of listed items, and what each click on it does.
//
// A right click opens the settings window. A left click begins an interaction with the item (a
// session) that is handled a moment later on the main run loop, in the common modes so that it is
// handled while a menu tracks too; the session lasts while the items menu or the overflow bar it
// opened is showing, and its end closes them and re-arms the automatic fold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/lifetime.h"
#include "platform/run_loop.h"
#include "platform/status_bar.h"
#include "platform/symbols.h"
#include "platform/window_server.h"
#include "preferences/preferences.h"

namespace tucklet {

class StatusItem {
 public:
  // Where the clicks lead, and what the count counts: parts built after the status item. Routes of
  // parts that do not exist are left empty and the click does nothing there.
  struct Links {
    std::function<std::size_t()> listedItemCount;
    std::function<bool()> itemsMenuShown;
    std::function<void()> closeItemsMenu;
    std::function<void()> showItemsMenu;
    std::function<void()> toggleReveal;
    std::function<void()> scheduleAutoCollapse;
    // The overflow bar: whether it is shown, open or close it (browse mode), close it.
    std::function<bool()> overflowBarShown;
    std::function<void()> toggleOverflowBar;
    std::function<void()> closeOverflowBar;
    std::function<void()> openSettingsWindow;
  };

  // Sets the item up: label, tooltip, and the clicks it answers.
  StatusItem(platform::StatusItemRef toggle, const Preferences& preferences,
             const platform::Symbols& symbols, platform::RunLoop& runLoop,
             const platform::Lifetime& lifetime, Links links);
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  // Brings the image and the count up to date.
  void refreshStatusItem();
  // A click: right, or plain with or without Option. The first route that applies wins.
  void handleClick(bool right, bool option);

  // The click on the item as the bar delivers it.
  void rightClicked();
  void clicked(const platform::InputEvent& event);
  // A left click's interaction: whether one is going on, and ending it (nothing when none is).
  bool inExpandedSession() const { return session_ != 0; }
  void cancelExpandedSession();
  // The button is drawn pressed through a click's session and while the items menu or the
  // overflow bar is shown; the parts that show them call this when that changes.
  void refreshHighlight();

  const platform::StatusItemRef& item() const { return toggle_; }
  const std::string& displayedSymbol() const { return displayedSymbol_; }
  const std::string& displayedTitle() const { return displayedTitle_; }

 private:
  void beginExpandedSession(bool option);
  void expandedSessionEnded();
  bool overflowBarShown() const;

  platform::StatusItemRef toggle_;
  const Preferences& preferences_;
  const platform::Symbols& symbols_;
  platform::RunLoop& runLoop_;
  const platform::Lifetime& lifetime_;
  Links links_;
  std::string displayedSymbol_;
  std::string displayedTitle_;
  std::uint64_t session_ = 0;  // 0: none
  std::uint64_t lastSession_ = 0;
};

}  // namespace tucklet
