// The D-Bus notification decoding: the bytes describe one signal of any shape (its arguments
// strings, numbers, booleans, string lists, byte arrays, variants and dictionaries, duplicate keys
// included); it is sent over a real peer connection to a notification centre listening on the
// other end, so QtDBus marshals and demarshals it as it would from any process on the bus. A
// signal of the documented shapes (a name, then one a{ss} or key/value string pairs) reaches the
// observers of its name with exactly its user information (a repeated key: the last value); any
// other shape reaches nobody; nothing crashes and the connection stays up.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/dbus_notification_center.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using tucklet::platform::DistributedNotification;

constexpr const char* sentinelName = "org.tucklet.fuzz.sentinel";

// Reads the input a byte at a time; past its end every read is zero.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  QString string() {
    const std::size_t length = next() % 24;
    std::string bytes;
    for (std::size_t i = 0; i < length && at_ < size_; ++i) {
      const auto byte = static_cast<char>(next());
      bytes.push_back(byte == '\0' ? '?' : byte);  // a D-Bus string holds no NUL
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

enum class Kind { String, StringMap, VariantMap, Int, Bool, Double, StringList, Bytes, Variant };

struct Argument {
  Kind kind;
  QVariant value;
  std::vector<std::pair<QString, QString>> entries;  // StringMap only, in sending order
};

Argument argument(Bytes& bytes) {
  const auto kind = static_cast<Kind>(bytes.next() % 9);
  switch (kind) {
    case Kind::String:
      return {kind, bytes.string(), {}};
    case Kind::StringMap: {
      Argument made{kind, {}, {}};
      QDBusArgument map;
      map.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
      for (int count = bytes.next() % 5; count > 0; --count) {
        const QString key = bytes.string();
        const QString value = bytes.string();
        made.entries.emplace_back(key, value);
        map.beginMapEntry();
        map << key << value;
        map.endMapEntry();
      }
      map.endMap();
      made.value = QVariant::fromValue(map);
      return made;
    }
    case Kind::VariantMap: {
      QDBusArgument map;
      map.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QDBusVariant>());
      for (int count = bytes.next() % 4; count > 0; --count) {
        map.beginMapEntry();
        map << bytes.string() << QDBusVariant(bytes.string());
        map.endMapEntry();
      }
      map.endMap();
      return {kind, QVariant::fromValue(map), {}};
    }
    case Kind::Int:
      return {kind, static_cast<int>(bytes.next()) - 128, {}};
    case Kind::Bool:
      return {kind, (bytes.next() & 1) != 0, {}};
    case Kind::Double:
      return {kind, bytes.next() / 7.0, {}};
    case Kind::StringList: {
      QStringList list;
      for (int count = bytes.next() % 4; count > 0; --count)
        list << bytes.string();
      return {kind, list, {}};
    }
    case Kind::Bytes:
      return {kind, bytes.string().toUtf8(), {}};
    case Kind::Variant:
      return {kind, QVariant::fromValue(QDBusVariant(bytes.string())), {}};
  }
  return {Kind::Int, 0, {}};
}

// What the centre's observers should see for these arguments.
std::optional<DistributedNotification> expected(const std::vector<Argument>& arguments) {
  if (arguments.empty() || arguments.front().kind != Kind::String) return std::nullopt;
  DistributedNotification notification{arguments.front().value.toString().toStdString(), {}};
  if (arguments.size() == 2 && arguments[1].kind == Kind::StringMap) {
    for (const auto& [key, value] : arguments[1].entries)
      notification.userInfo[key.toStdString()] = value.toStdString();
    return notification;
  }
  if (arguments.size() % 2 == 0) return std::nullopt;
  for (std::size_t i = 1; i < arguments.size(); i += 2) {
    if (arguments[i].kind != Kind::String || arguments[i + 1].kind != Kind::String)
      return std::nullopt;
    notification.userInfo[arguments[i].value.toString().toStdString()] =
        arguments[i + 1].value.toString().toStdString();
  }
  return notification;
}

QDBusMessage signal(const std::vector<QVariant>& arguments) {
  auto message =
      QDBusMessage::createSignal(QString::fromLatin1(tucklet::platform::notificationObjectPath),
                                 QString::fromLatin1(tucklet::platform::notificationInterface),
                                 QString::fromLatin1(tucklet::platform::notificationMember));
  for (const auto& each : arguments)
    message << each;
  return message;
}

// One application, one server, a sender connected to it and a notification centre on the
// server's side of that connection, made at the first input and kept for the rest.
struct Rig {
  int argc = 1;
  char name[10] = "dbus_fuzz";
  char* argv[2] = {name, nullptr};
  QCoreApplication application{argc, argv};
  QDBusServer server{QStringLiteral("unix:tmpdir=") + QDir::tempPath()};
  std::optional<QDBusConnection> receiving;
  QDBusConnection sending{QString()};
  std::unique_ptr<tucklet::platform::DBusNotificationCenter> center;
  tucklet::platform::Connection sentinelObserver;
  int sentinels = 0;

  Rig() {
    if (!server.isConnected()) tucklet::fuzz::broken("dbus", "no D-Bus server could be started");
    QObject::connect(&server, &QDBusServer::newConnection,
                     [this](const QDBusConnection& connection) { receiving = connection; });
    sending = QDBusConnection::connectToPeer(server.address(), QStringLiteral("fuzz-sender"));
    waitFor([this] { return receiving.has_value(); }, "the peer connection was never accepted");
    std::string error;
    center =
        tucklet::platform::DBusNotificationCenter::attach(receiving->name().toStdString(), error);
    if (!center) tucklet::fuzz::broken("dbus", error);
    sentinelObserver =
        center->addObserver(sentinelName, [this](const DistributedNotification&) { ++sentinels; });
  }

  template <typename Condition>
  void waitFor(Condition condition, const char* failure) {
    QDeadlineTimer deadline(10'000);
    while (!condition()) {
      if (deadline.hasExpired()) tucklet::fuzz::broken("dbus", failure);
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
  }
};

}  // namespace

TUCKLET_FUZZ_TARGET(dbus) {
  static Rig rig;
  Bytes bytes(data, size);
  std::vector<Argument> arguments;
  for (int count = bytes.next() % 8; count > 0; --count)
    arguments.push_back(argument(bytes));
  if (!arguments.empty() && arguments.front().kind == Kind::String &&
      arguments.front().value.toString() == QLatin1String(sentinelName))
    arguments.front().value = QStringLiteral("not the sentinel");
  const auto wanted = expected(arguments);

  std::vector<DistributedNotification> seen;
  tucklet::platform::Connection observer;
  if (!arguments.empty() && arguments.front().kind == Kind::String)
    observer = rig.center->addObserver(
        arguments.front().value.toString().toStdString(),
        [&seen](const DistributedNotification& notification) { seen.push_back(notification); });

  std::vector<QVariant> values;
  for (const auto& each : arguments)
    values.push_back(each.value);
  const int sentinelsBefore = rig.sentinels;
  TUCKLET_FUZZ_CHECK("dbus", rig.sending.send(signal(values)), "a signal could not be sent");
  rig.sending.send(signal({QString::fromLatin1(sentinelName)}));
  // Signals of one connection arrive in order: once the sentinel is in, so is the input's.
  rig.waitFor([&] { return rig.sentinels > sentinelsBefore; },
              "the connection stopped delivering notifications");

  if (!wanted) {
    TUCKLET_FUZZ_CHECK("dbus", seen.empty(), "a signal of another shape reached an observer");
    return;
  }
  TUCKLET_FUZZ_CHECK("dbus", seen.size() == 1, "a notification did not arrive exactly once");
  TUCKLET_FUZZ_CHECK("dbus",
                     seen.front().name == wanted->name && seen.front().userInfo == wanted->userInfo,
                     "a notification arrived with other contents than were sent");
}
