// The distributed notification centre on a private session bus (scripts/test runs the tests under
// dbus-run-session). Two bus connections play two processes.
#include "platform/qt/dbus_notification_center.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>

#include <string>
#include <vector>

#include "tests/qt_platform/qt_test_app.h"

namespace tucklet::platform {
namespace {

class NotificationCenter : public ::testing::Test {
 protected:
  void SetUp() override {
    qttest::qtTestApp();
    std::string error;
    const auto unique = std::to_string(getpid());
    sender = DBusNotificationCenter::connect("sender" + unique, error);
    ASSERT_NE(sender, nullptr) << error << " (run the tests under dbus-run-session)";
    receiver = DBusNotificationCenter::connect("receiver" + unique, error);
    ASSERT_NE(receiver, nullptr) << error;
    // Signals from one connection arrive in order: once the fence arrives, everything sent before
    // it has been handled.
    fenceName = "org.tucklet.test.fence." + unique;
    fence = receiver->addObserver(fenceName, [this](const auto&) { ++fences; });
  }

  // The fence goes out on both sending connections, the centre's and the raw one.
  void waitForFence() {
    const int before = fences;
    ASSERT_TRUE(sender->post({fenceName, {}}));
    sendRaw({QString::fromStdString(fenceName)});
    ASSERT_TRUE(qttest::runEventLoopUntil([&] { return fences >= before + 2; }));
  }

  // A signal of any shape, as another program on the bus would send it.
  void sendRaw(const QList<QVariant>& arguments) {
    auto message = QDBusMessage::createSignal(notificationObjectPath, notificationInterface,
                                              notificationMember);
    message.setArguments(arguments);
    ASSERT_TRUE(QDBusConnection::sessionBus().send(message));
  }

  std::unique_ptr<DBusNotificationCenter> sender;
  std::unique_ptr<DBusNotificationCenter> receiver;
  std::string fenceName;
  Connection fence;
  int fences = 0;
};

TEST_F(NotificationCenter, DeliversByNameWithUserInfoUntilTheObserverEnds) {
  const std::string name = "local.quenby.Quiverly.test.diagnose." + std::to_string(getpid());
  std::vector<DistributedNotification> seen;
  int otherCalls = 0;
  auto observer = receiver->addObserver(name, [&](const auto& n) { seen.push_back(n); });
  auto other = receiver->addObserver(name + ".other", [&](const auto&) { ++otherCalls; });

  // Commas and quotes in a value arrive whole.
  const std::string json = R"({"action": "click", "x": 1300, "y": 12})";
  ASSERT_TRUE(sender->post({name, {{"json", json}, {"empty", ""}}}));
  ASSERT_TRUE(sender->post({"local.quenby.Quiverly.nobody", {}}));
  waitForFence();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].name, name);
  EXPECT_EQ(seen[0].userInfo, (std::map<std::string, std::string>{{"json", json}, {"empty", ""}}));
  EXPECT_EQ(otherCalls, 0);

  observer.disconnect();
  ASSERT_TRUE(sender->post({name, {}}));
  waitForFence();
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(NotificationCenter, ReadsPlainStringPairsAndIgnoresOtherShapes) {
  const std::string name = "local.quenby.Quiverly.ux." + std::to_string(getpid());
  std::vector<DistributedNotification> seen;
  auto observer = receiver->addObserver(name, [&](const auto& n) { seen.push_back(n); });
  const QString qName = QString::fromStdString(name);

  // What dbus-send writes: the name, then key and value as plain strings.
  sendRaw({qName, QStringLiteral("json"), QStringLiteral(R"({"name": "a,b"})")});
  sendRaw({qName});
  // Malformed: a key without a value, a number, no name at all.
  sendRaw({qName, QStringLiteral("json")});
  sendRaw({qName, QStringLiteral("json"), 42});
  sendRaw({42, qName});
  sendRaw({});
  waitForFence();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].userInfo.at("json"), R"({"name": "a,b"})");
  EXPECT_TRUE(seen[1].userInfo.empty());
}

}  // namespace
}  // namespace tucklet::platform
