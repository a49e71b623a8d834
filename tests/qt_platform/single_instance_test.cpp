// The single-instance lock on the session bus and its lock-file fallback.
//
// The bus tests need a session bus: scripts/test runs everything under dbus-run-session. Without
// one they fail with a message saying so rather than passing untested.
#include "platform/qt/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/qt_platform/qt_test_app.h"

namespace tucklet::platform {
namespace {

using Outcome = SingleInstance::Outcome;

// Unique per test and process, so parallel runs on one bus or in one directory do not meet.
std::string uniqueBundle(const std::string& test) {
  return "org.tucklet.test." + test + ".p" + std::to_string(getpid());
}

TEST(SingleInstanceNames, BundleIdentifiersBecomeValidBusNames) {
  EXPECT_EQ(SingleInstance::busNameFor("local.quenby.Quiverly"), "local.quenby.Quiverly");
  EXPECT_EQ(SingleInstance::busNameFor("com.example.My App+Beta"), "com.example.My_App_Beta");
  EXPECT_EQ(SingleInstance::busNameFor("com.1password.helper"), "com._1password.helper");
  EXPECT_EQ(SingleInstance::busNameFor("com..example."), "com._.example._");
  EXPECT_EQ(SingleInstance::busNameFor("tucklet"), "local.tucklet");
  EXPECT_EQ(SingleInstance::busNameFor("com.exämple"), "com.ex__mple");  // two UTF-8 bytes
  EXPECT_EQ(SingleInstance::busNameFor(""), "");
  const std::string longName = SingleInstance::busNameFor("com." + std::string(300, 'a'));
  EXPECT_EQ(longName.size(), 255u);
  EXPECT_EQ(longName.substr(0, 5), "com.a");

  auto refused = SingleInstance::acquire("");
  EXPECT_EQ(refused.outcome, Outcome::Failed);
  EXPECT_EQ(refused.lock, nullptr);
  EXPECT_FALSE(refused.error.empty());
}

class SessionBusLock : public ::testing::Test {
 protected:
  void SetUp() override {
    qttest::qtTestApp();
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
        << "no D-Bus session bus: run the tests under dbus-run-session (scripts/test)";
  }
};

TEST_F(SessionBusLock, SecondConnectionCannotClaimTheNameUntilItIsReleased) {
  const std::string bundle = uniqueBundle("bus");
  SingleInstanceOptions first, second;
  first.busConnectionName = "tucklet-test-first";
  second.busConnectionName = "tucklet-test-second";

  auto held = SingleInstance::acquire(bundle, first);
  ASSERT_EQ(held.outcome, Outcome::Acquired) << held.error;
  ASSERT_NE(held.lock, nullptr);
  EXPECT_EQ(held.lock->mechanism(), SingleInstance::Mechanism::SessionBus);
  EXPECT_EQ(held.lock->lockName(), bundle);
  EXPECT_NE(held.lock->description().find("session bus"), std::string::npos);

  // Everyone on the bus sees the name taken.
  auto* bus = QDBusConnection::sessionBus().interface();
  EXPECT_TRUE(bus->isServiceRegistered(QString::fromStdString(bundle)).value());

  auto refused = SingleInstance::acquire(bundle, second);
  EXPECT_EQ(refused.outcome, Outcome::HeldElsewhere) << refused.error;
  EXPECT_EQ(refused.lock, nullptr);
  // Nor can the holder's own connection claim it twice.
  EXPECT_EQ(SingleInstance::acquire(bundle, first).outcome, Outcome::HeldElsewhere);

  held.lock.reset();
  EXPECT_FALSE(bus->isServiceRegistered(QString::fromStdString(bundle)).value());
  auto taken = SingleInstance::acquire(bundle, second);
  EXPECT_EQ(taken.outcome, Outcome::Acquired) << taken.error;
}

TEST_F(SessionBusLock, SharedConnectionClaimsOnlyOnce) {
  const std::string bundle = uniqueBundle("shared");
  auto held = SingleInstance::acquire(bundle);
  ASSERT_EQ(held.outcome, Outcome::Acquired) << held.error;
  EXPECT_EQ(held.lock->mechanism(), SingleInstance::Mechanism::SessionBus);
  EXPECT_EQ(SingleInstance::acquire(bundle).outcome, Outcome::HeldElsewhere);
  held.lock.reset();
  EXPECT_EQ(SingleInstance::acquire(bundle).outcome, Outcome::Acquired);
}

// The lock-file fallback, forced. Other processes are forked children that use nothing but the
// lock-file path (no Qt), which is safe after fork.
class LockFileLock : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory.isValid());
    options.forceLockFile = true;
    options.lockDirectory = directory.path().toStdString();
  }

  // Runs `child` in a forked process and returns its exit status.
  template <typename Child>
  static int inChild(Child child) {
    const pid_t pid = fork();
    if (pid == 0) _exit(child());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  QTemporaryDir directory;
  SingleInstanceOptions options;
};

TEST_F(LockFileLock, AnotherProcessCannotClaimWhileHeld) {
  const std::string bundle = uniqueBundle("file");
  auto held = SingleInstance::acquire(bundle, options);
  ASSERT_EQ(held.outcome, Outcome::Acquired) << held.error;
  EXPECT_EQ(held.lock->mechanism(), SingleInstance::Mechanism::LockFile);
  EXPECT_EQ(held.lock->lockName(), options.lockDirectory + "/" + bundle + ".lock");
  EXPECT_NE(held.lock->description().find("lock file"), std::string::npos);
  std::ifstream file(held.lock->lockName());
  pid_t recorded = 0;
  file >> recorded;
  EXPECT_EQ(recorded, getpid());

  const auto childOutcome = [&] {
    return static_cast<int>(SingleInstance::acquire(bundle, options).outcome);
  };
  EXPECT_EQ(inChild(childOutcome), static_cast<int>(Outcome::HeldElsewhere));
  // A second claim in this process fails as well.
  EXPECT_EQ(SingleInstance::acquire(bundle, options).outcome, Outcome::HeldElsewhere);

  held.lock.reset();
  EXPECT_EQ(inChild(childOutcome), static_cast<int>(Outcome::Acquired));
}

TEST_F(LockFileLock, LockOfAKilledProcessIsReleased) {
  const std::string bundle = uniqueBundle("killed");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    auto result = SingleInstance::acquire(bundle, options);
    const char outcome = static_cast<char>(result.outcome);
    [[maybe_unused]] auto written = write(ready[1], &outcome, 1);
    pause();  // hold the lock until killed
    _exit(0);
  }
  char childOutcome = -1;
  ASSERT_EQ(read(ready[0], &childOutcome, 1), 1);
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(childOutcome, static_cast<char>(Outcome::Acquired));
  EXPECT_EQ(SingleInstance::acquire(bundle, options).outcome, Outcome::HeldElsewhere);

  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  auto after = SingleInstance::acquire(bundle, options);
  EXPECT_EQ(after.outcome, Outcome::Acquired) << after.error;
}

TEST_F(LockFileLock, DirectoryComesFromTheRuntimeDirectoryElseAPrivateOneUnderTmp) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string savedValue = saved ? saved : "";
  SingleInstanceOptions defaults;
  defaults.forceLockFile = true;

  setenv("XDG_RUNTIME_DIR", options.lockDirectory.c_str(), 1);
  auto inRuntime = SingleInstance::acquire(uniqueBundle("runtime"), defaults);
  ASSERT_EQ(inRuntime.outcome, Outcome::Acquired) << inRuntime.error;
  EXPECT_EQ(inRuntime.lock->lockName().rfind(options.lockDirectory + "/", 0), 0u);

  unsetenv("XDG_RUNTIME_DIR");
  auto inTmp = SingleInstance::acquire(uniqueBundle("tmp"), defaults);
  ASSERT_EQ(inTmp.outcome, Outcome::Acquired) << inTmp.error;
  const std::string tmpDirectory = "/tmp/tucklet-" + std::to_string(getuid());
  EXPECT_EQ(inTmp.lock->lockName().rfind(tmpDirectory + "/", 0), 0u);
  struct stat info {};
  ASSERT_EQ(lstat(tmpDirectory.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  const std::string tmpLock = inTmp.lock->lockName();
  inTmp.lock.reset();
  unlink(tmpLock.c_str());

  if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
}

TEST_F(LockFileLock, ASecondFolderStandsInAndWithoutEitherTheClaimFailsWithBothReasons) {
  // The first folder cannot hold a lock file (here: it is missing; a read-only runtime folder is
  // the same), so the second one is used, by every process alike.
  const std::string first = options.lockDirectory + "/missing";
  options.secondLockDirectory = options.lockDirectory;
  options.lockDirectory = first;
  const std::string bundle = uniqueBundle("second");
  auto held = SingleInstance::acquire(bundle, options);
  ASSERT_EQ(held.outcome, Outcome::Acquired) << held.error;
  EXPECT_EQ(held.lock->lockName(), options.secondLockDirectory + "/" + bundle + ".lock");
  EXPECT_EQ(
      inChild([&] { return static_cast<int>(SingleInstance::acquire(bundle, options).outcome); }),
      static_cast<int>(Outcome::HeldElsewhere));
  held.lock.reset();

  options.secondLockDirectory += "/missing-too";
  auto result = SingleInstance::acquire(uniqueBundle("neither"), options);
  EXPECT_EQ(result.outcome, Outcome::Failed);
  EXPECT_EQ(result.lock, nullptr);
  EXPECT_NE(result.error.find(first), std::string::npos) << result.error;
  EXPECT_NE(result.error.find(options.secondLockDirectory), std::string::npos) << result.error;
  EXPECT_EQ(result.error.find('\n'), std::string::npos) << result.error;
}

}  // namespace
}  // namespace tucklet::platform
