// The one notice Tucklet shows the user (the controller's `message`): why hiding did not happen
// or was undone, or what went wrong with an item or the login item. The items menu and the
// settings window show it. A newer notice replaces an older one.
#pragma once

#include <optional>
#include <string>

namespace tucklet {

class Notice {
 public:
  const std::optional<std::string>& message() const { return message_; }
  void show(std::string text) { message_ = std::move(text); }
  void clear() { message_.reset(); }

 private:
  std::optional<std::string> message_;
};

}  // namespace tucklet
