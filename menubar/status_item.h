// Tucklet's own status item (`toggle`), its only permanent presence: the icon, optionally followed
// by the number of listed items, and what each click on it does.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/lifetime.h"
#include "platform/status_bar.h"
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
    std::function<void()> toggleReveal;
    std::function<void()> showItemsMenu;
    std::function<void()> toggleOverflowBar;
    std::function<void()> openSettingsWindow;
  };

  // Sets the item up: label, tooltip, and the clicks it answers.
  StatusItem(platform::StatusItemRef toggle, const Preferences& preferences,
             const platform::Lifetime& lifetime, Links links);
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  // Brings the image and the count up to date.
  void refreshStatusItem();
  // A click: right, or plain with or without Option.
  void handleClick(bool right, bool option);

  const platform::StatusItemRef& item() const { return toggle_; }
  const std::string& displayedSymbol() const { return displayedSymbol_; }
  const std::string& displayedTitle() const { return displayedTitle_; }

 private:
  platform::StatusItemRef toggle_;
  const Preferences& preferences_;
  Links links_;
  std::string displayedSymbol_;
  std::string displayedTitle_;
};

}  // namespace tucklet
