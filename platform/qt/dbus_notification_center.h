// The distributed notification centre on the D-Bus session bus.
//
// A notification is one broadcast signal:
//   object path  /org/tucklet/DistributedNotificationCenter
//   interface    org.tucklet.DistributedNotificationCenter
//   member       Notification
// Its first argument is the notification's name (a string). The user information follows either
// as one dictionary of strings (signature "sa{ss}", what `post` sends and gdbus writes easily) or
// as pairs of plain strings, key then value (signature "s", "sss", "sssss", ..., what dbus-send
// can write even when a value holds commas). A signal of any other shape is ignored. Any
// process on the bus can send one:
//   dbus-send --session --type=signal /org/tucklet/DistributedNotificationCenter
//     org.tucklet.DistributedNotificationCenter.Notification string:NAME string:KEY string:VALUE
// (one line; README.md has the exact lines for test commands and review requests).
// Observers are called on the main thread's event loop.
#pragma once

#include <memory>
#include <string>

#include "platform/distributed_notifications.h"

namespace tucklet::platform {

inline constexpr const char* notificationObjectPath = "/org/tucklet/DistributedNotificationCenter";
inline constexpr const char* notificationInterface = "org.tucklet.DistributedNotificationCenter";
inline constexpr const char* notificationMember = "Notification";

class DBusNotificationCenter final : public DistributedNotificationCenter {
 public:
  // Nothing, with `error` saying why, when the session bus cannot be reached. Needs a
  // QCoreApplication; create and destroy it on the main thread.
  static std::unique_ptr<DBusNotificationCenter> connect(std::string& error);
  // `busConnectionName` non-empty: a private connection to the session bus of that name (tests
  // use two to play two processes); empty: the process's shared session bus connection.
  static std::unique_ptr<DBusNotificationCenter> connect(const std::string& busConnectionName,
                                                         std::string& error);
  // The connection already open under `connectionName` (say, one a QDBusServer handed over);
  // it stays open when the centre goes.
  static std::unique_ptr<DBusNotificationCenter> attach(const std::string& connectionName,
                                                        std::string& error);
  ~DBusNotificationCenter() override;

  Connection addObserver(const std::string& name, Observer observer) override;
  bool post(const DistributedNotification& notification) override;

  struct State;

 private:
  explicit DBusNotificationCenter(std::unique_ptr<State> state);
  static std::unique_ptr<DBusNotificationCenter> listen(std::unique_ptr<State> state,
                                                        std::string& error);
  std::unique_ptr<State> state_;
};

}  // namespace tucklet::platform
