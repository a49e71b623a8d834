#include "platform/qt/dbus_notification_center.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tucklet::platform {
namespace {

struct Registration {
  std::uint64_t id;
  std::string name;
  std::shared_ptr<DistributedNotificationCenter::Observer> observer;
};

struct Registry {
  std::vector<Registration> registrations;
  std::uint64_t nextId = 0;

  bool registered(std::uint64_t id) const {
    for (const auto& r : registrations)
      if (r.id == id) return true;
    return false;
  }
};

// The notification a signal carries, or nothing when its arguments have another shape.
std::optional<DistributedNotification> readNotification(const QDBusMessage& message) {
  const QList<QVariant> arguments = message.arguments();
  if (arguments.isEmpty() || arguments.front().metaType().id() != QMetaType::QString)
    return std::nullopt;
  DistributedNotification notification{arguments.front().toString().toStdString(), {}};
  if (arguments.size() == 2 && arguments[1].canConvert<QDBusArgument>()) {
    const auto argument = arguments[1].value<QDBusArgument>();
    if (argument.currentSignature() != "a{ss}") return std::nullopt;
    QMap<QString, QString> entries;
    argument >> entries;
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
      notification.userInfo[entry.key().toStdString()] = entry.value().toStdString();
    return notification;
  }
  if (arguments.size() % 2 == 0) return std::nullopt;
  for (qsizetype index = 1; index + 1 < arguments.size(); index += 2) {
    if (arguments[index].metaType().id() != QMetaType::QString ||
        arguments[index + 1].metaType().id() != QMetaType::QString)
      return std::nullopt;
    notification.userInfo[arguments[index].toString().toStdString()] =
        arguments[index + 1].toString().toStdString();
  }
  return notification;
}

}  // namespace

// Receives the bus's signals on the thread that made it (the main thread) and hands each to the
// observers of its name.
class NotificationReceiver : public QObject {
  Q_OBJECT
 public:
  explicit NotificationReceiver(std::shared_ptr<Registry> registry)
      : registry_(std::move(registry)) {}

 public Q_SLOTS:
  void receive(const QDBusMessage& message) {
    const auto notification = readNotification(message);
    if (!notification) return;
    std::vector<Registration> matching;
    for (const auto& r : registry_->registrations)
      if (r.name == notification->name) matching.push_back(r);
    // An observer may remove itself or others while it runs.
    for (const auto& r : matching)
      if (registry_->registered(r.id)) (*r.observer)(*notification);
  }

 private:
  std::shared_ptr<Registry> registry_;
};

struct DBusNotificationCenter::State {
  QDBusConnection bus{QString()};
  QString privateName;
  std::shared_ptr<Registry> registry = std::make_shared<Registry>();
  std::unique_ptr<NotificationReceiver> receiver;
};

std::unique_ptr<DBusNotificationCenter> DBusNotificationCenter::connect(std::string& error) {
  return connect(std::string(), error);
}

std::unique_ptr<DBusNotificationCenter> DBusNotificationCenter::connect(
    const std::string& busConnectionName, std::string& error) {
  // The user information travels as a{ss}.
  qDBusRegisterMetaType<QMap<QString, QString>>();
  auto state = std::make_unique<State>();
  if (busConnectionName.empty()) {
    state->bus = QDBusConnection::sessionBus();
  } else {
    state->privateName = QString::fromStdString(busConnectionName);
    state->bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, state->privateName);
  }
  return listen(std::move(state), error);
}

std::unique_ptr<DBusNotificationCenter> DBusNotificationCenter::attach(
    const std::string& connectionName, std::string& error) {
  qDBusRegisterMetaType<QMap<QString, QString>>();
  auto state = std::make_unique<State>();
  state->bus = QDBusConnection(QString::fromStdString(connectionName));
  return listen(std::move(state), error);
}

std::unique_ptr<DBusNotificationCenter> DBusNotificationCenter::listen(std::unique_ptr<State> state,
                                                                       std::string& error) {
  auto giveUp = [&state, &error](const std::string& why) {
    error = why;
    if (!state->privateName.isEmpty()) QDBusConnection::disconnectFromBus(state->privateName);
    return nullptr;
  };
  if (!state->bus.isConnected()) {
    const auto reason = state->bus.lastError().message().toStdString();
    return giveUp("the D-Bus session bus cannot be reached" +
                  (reason.empty() ? std::string() : ": " + reason));
  }
  state->receiver = std::make_unique<NotificationReceiver>(state->registry);
  if (!state->bus.connect(QString(), QString::fromLatin1(notificationObjectPath),
                          QString::fromLatin1(notificationInterface),
                          QString::fromLatin1(notificationMember), state->receiver.get(),
                          SLOT(receive(QDBusMessage)))) {
    return giveUp("cannot listen for notifications on the session bus: " +
                  state->bus.lastError().message().toStdString());
  }
  return std::unique_ptr<DBusNotificationCenter>(new DBusNotificationCenter(std::move(state)));
}

DBusNotificationCenter::DBusNotificationCenter(std::unique_ptr<State> state)
    : state_(std::move(state)) {}

DBusNotificationCenter::~DBusNotificationCenter() {
  state_->bus.disconnect(QString(), QString::fromLatin1(notificationObjectPath),
                         QString::fromLatin1(notificationInterface),
                         QString::fromLatin1(notificationMember), state_->receiver.get(),
                         SLOT(receive(QDBusMessage)));
  state_->receiver.reset();
  if (!state_->privateName.isEmpty()) QDBusConnection::disconnectFromBus(state_->privateName);
}

Connection DBusNotificationCenter::addObserver(const std::string& name, Observer observer) {
  auto& registry = *state_->registry;
  const auto id = ++registry.nextId;
  registry.registrations.push_back({id, name, std::make_shared<Observer>(std::move(observer))});
  std::weak_ptr<Registry> weak = state_->registry;
  return Connection([weak, id] {
    if (auto r = weak.lock())
      std::erase_if(r->registrations, [id](const Registration& each) { return each.id == id; });
  });
}

bool DBusNotificationCenter::post(const DistributedNotification& notification) {
  auto message = QDBusMessage::createSignal(QString::fromLatin1(notificationObjectPath),
                                            QString::fromLatin1(notificationInterface),
                                            QString::fromLatin1(notificationMember));
  QMap<QString, QString> entries;
  for (const auto& [key, value] : notification.userInfo)
    entries.insert(QString::fromStdString(key), QString::fromStdString(value));
  message << QString::fromStdString(notification.name) << QVariant::fromValue(entries);
  return state_->bus.send(message);
}

}  // namespace tucklet::platform

#include "dbus_notification_center.moc"
