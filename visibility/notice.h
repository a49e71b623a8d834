// The one notice Tucklet shows the user (the controller's `message`): why hiding did not happen
// or was undone, or what went wrong with an item or the login item. The items menu and the
// settings window show it. A newer notice replaces an older one.
#pragma once

#include <optional>
#include <string>

#include "platform/connection.h"

namespace tucklet {

class Notice {
 public:
  const std::optional<std::string>& message() const { return message_; }
  void show(std::string text) {
    message_ = std::move(text);
    changed.emit();
  }
  void clear() {
    message_.reset();
    changed.emit();
  }
  // Every show and clear, also one that leaves the text as it was (the trust check clears the
  // notice whenever trust returns, so views that show trust hear of it here too).
  platform::Signal<> changed;

 private:
  std::optional<std::string> message_;
};

}  // namespace tucklet
