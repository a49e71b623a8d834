// The distributed notification centre: notifications that any process of the logged-in user can
// post and observe. A notification is a name and optional user information (text keys and text
// values); nothing is sent back. Observers are registered by name and called on the main thread,
// from the main run loop; a notification whose name nobody observes does nothing.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/connection.h"

namespace tucklet::platform {

struct DistributedNotification {
  std::string name;
  std::map<std::string, std::string> userInfo;
};

class DistributedNotificationCenter {
 public:
  using Observer = std::function<void(const DistributedNotification&)>;

  virtual ~DistributedNotificationCenter() = default;
  // Calls `observer` for every notification named exactly `name` until the connection ends.
  [[nodiscard]] virtual Connection addObserver(const std::string& name, Observer observer) = 0;
  // Sends a notification to every observer of its name, in this process and others. False when
  // the channel is unavailable.
  virtual bool post(const DistributedNotification& notification) = 0;
};

}  // namespace tucklet::platform
