// The updater against an HTTPS server on the loopback address, over Qt Network on Qt's event loop:
// a gentle reminder and its end, a good archive verified and kept next to the program, and every
// download or feed that must be refused, with nothing kept. The session's windows are answered by
// script; the dialogs themselves are checked last.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/qt/qt_run_loop.h"
#include "platform/updates/qt_transport.h"
#include "platform/updates/qt_update_alerts.h"
#include "platform/updates/standard_updater.h"
#include "tests/updates/https_server.h"
#include "tests/updates/update_fakes.h"
#include "updates/app_updater.h"

namespace tucklet {
namespace {

namespace fs = std::filesystem;
namespace updates = platform::updates;
using namespace updatetest;
using Answer = TestHttpsServer::Answer;

QApplication& application() {
  static int argc = 1;
  static char name[] = "tests_updates";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

// Runs Qt's event loop until `done` holds; the limit only keeps a broken build from hanging.
bool runUntil(const std::function<bool()>& done, int limitMs = 15000) {
  QDeadlineTimer deadline(limitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

std::string randomArchive(std::size_t bytes) {
  std::mt19937 random(17);
  std::string data(bytes, '\0');
  for (auto& c : data)
    c = static_cast<char>(random() & 0xff);
  return data;
}

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files.push_back(entry.path());
  return files;
}

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HttpsUpdateTest : public ::testing::Test {
 protected:
  // The update framework and Tucklet's updater over it, as one launch makes them.
  struct Launch {
    Launch(HttpsUpdateTest& test, std::vector<std::string> arguments = {})
        : framework(
              {.runLoop = *test.runLoop_,
               .defaults = test.defaults_,
               .bundle = {"/Applications/Tucklet.app", "local.quenby.Quiverly", test.infoKeys_},
               .transport = *test.transport_,
               .alerts = test.alerts_,
               .stagingFolder = test.staging_.string()}),
          updater(arguments, test.infoKeys_, &framework) {}
    updates::StandardUpdaterFramework framework;
    AppUpdater updater;
  };

  HttpsUpdateTest() {
    staging_ = fs::temp_directory_path() / ("tucklet-staging-" + std::to_string(getpid()));
    fs::remove_all(staging_);
    fs::create_directories(staging_);
    runLoop_ = platform::QtRunLoop::create();
    std::string error;
    transport_ = std::make_unique<updates::QtUpdateTransport>(server_.certificatePem(), error);
    EXPECT_EQ(error, "");
    infoKeys_ = {{"CFBundleName", "Tucklet"},
                 {"CFBundleShortVersionString", "1.0"},
                 {"CFBundleVersion", "1"},
                 {"SUFeedURL", server_.url("/appcast.xml")},
                 {"SUPublicEDKey", key_.publicKey()}};
  }
  ~HttpsUpdateTest() override { fs::remove_all(staging_); }

  void SetUp() override { ASSERT_EQ(server_.error(), ""); }

  // The feed lists 2.0 with release notes; its archive is served as `archive` (what the
  // signature covers unless `signature` says otherwise).
  void serveRelease(std::string archive, std::string signature = {}) {
    if (signature.empty()) signature = key_.sign(archive_);
    server_.answers["/appcast.xml"] = Answer::ok(
        appcast({{"2", "2.0", server_.url("/Tucklet-2.0.tar.gz"), archive_.size(), signature,
                  server_.url("/notes/2.0.html")},
                 {"0.9", "0.9", server_.url("/Tucklet-0.9.tar.gz"), 10, signature, ""}}));
    server_.answers["/notes/2.0.html"] = Answer::ok("<h1>Tucklet 2.0</h1><p>Faster folding.</p>");
    server_.answers["/Tucklet-2.0.tar.gz"] = Answer::ok(std::move(archive));
  }

  // First: Qt's network objects need the application.
  QApplication& application_ = application();
  TestHttpsServer server_;
  SigningKey key_;
  std::string archive_ = randomArchive(200'000);
  fs::path staging_;
  std::unique_ptr<platform::QtRunLoop> runLoop_;
  platform::MemoryUserDefaults defaults_;
  std::unique_ptr<updates::QtUpdateTransport> transport_;
  ScriptedAlerts alerts_{[this](std::function<void()> answer) { runLoop_->async(answer); }};
  std::map<std::string, std::string> infoKeys_;
};

TEST_F(HttpsUpdateTest, AGentleReminderAnnouncesTheVersionUntilTheSessionEnds) {
  serveRelease(archive_);
  defaults_.setObject("SUEnableAutomaticChecks", true);
  {
    Launch launch(*this);
    auto& updater = launch.updater;
    int changes = 0;
    auto subscription = updater.changed.connect([&changes] { ++changes; });
    ASSERT_TRUE(updater.isConfigured());
    ASSERT_TRUE(runUntil([&] { return updater.availableVersion().has_value(); }));
    EXPECT_EQ(updater.availableVersion(), "2.0");
    EXPECT_TRUE(updater.canCheckForUpdates());
    EXPECT_GE(changes, 1);
    // Announced in the menu only: no window, no release notes fetched yet.
    EXPECT_TRUE(alerts_.offers.empty());
    EXPECT_EQ(alerts_.checkingShown, 0);
    EXPECT_EQ(server_.requests["/notes/2.0.html"], 0);

    // The session ends (the application quits): the announcement goes with it.
    updater.stop();
    EXPECT_EQ(updater.availableVersion(), std::nullopt);
  }

  // The next launch, due again: this time the user turns to the announced update.
  defaults_.removeObject("SULastCheckTime");
  Launch launch(*this);
  auto& updater = launch.updater;
  ASSERT_TRUE(runUntil([&] { return updater.availableVersion().has_value(); }));
  alerts_.choice = UpdateChoice::RemindMeLater;
  updater.checkForUpdates();
  EXPECT_EQ(updater.availableVersion(), std::nullopt);
  ASSERT_TRUE(runUntil([&] { return !alerts_.offers.empty(); }));
  EXPECT_EQ(alerts_.offers[0].version, "2.0");
  EXPECT_EQ(alerts_.offers[0].currentVersion, "1.0");
  EXPECT_NE(alerts_.offers[0].releaseNotes.find("Faster folding."), std::string::npos);
  ASSERT_TRUE(runUntil([&] { return updater.canCheckForUpdates(); }));
  EXPECT_EQ(updater.availableVersion(), std::nullopt);
  EXPECT_TRUE(filesIn(staging_).empty());
  EXPECT_EQ(server_.requests["/Tucklet-2.0.tar.gz"], 0);
}

TEST_F(HttpsUpdateTest, AGoodArchiveIsVerifiedAndKeptNextToTheProgram) {
  serveRelease(archive_);
  Launch launch(*this);
  alerts_.choice = UpdateChoice::Install;
  launch.updater.checkForUpdates();
  ASSERT_TRUE(runUntil([&] { return !alerts_.messages.empty(); }));
  EXPECT_EQ(alerts_.checkingShown, 1);
  EXPECT_GE(alerts_.progressReports, 1);
  EXPECT_EQ(alerts_.lastExpected, archive_.size());
  const auto& message = alerts_.messages.front();
  EXPECT_EQ(message.kind, UpdateMessageKind::Success) << message.text;
  const auto staged = staging_ / "Tucklet-2.0.tar.gz";
  EXPECT_NE(message.text.find(staged.string()), std::string::npos) << message.text;
  EXPECT_EQ(filesIn(staging_), std::vector<fs::path>{staged});
  EXPECT_TRUE(readText(staged) == archive_) << "the kept archive differs from the signed one";
  ASSERT_TRUE(runUntil([&] { return launch.updater.canCheckForUpdates(); }));
}

TEST_F(HttpsUpdateTest, RefusedUpdatesEndTheSessionAndKeepNothing) {
  auto flipped = archive_;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x01);
  const SigningKey otherKey;
  const auto size = std::to_string(archive_.size());

  struct Case {
    std::string name;
    std::function<void()> serve;
    UpdateMessageKind kind;
    std::vector<std::string> saying;
  };
  const std::vector<Case> cases = {
      {"a flipped byte",
       [&] { serveRelease(flipped); },
       UpdateMessageKind::Error,
       {"improperly signed", "Nothing was kept."}},
      {"a signature by another key",
       [&] { serveRelease(archive_, otherKey.sign(archive_)); },
       UpdateMessageKind::Error,
       {"improperly signed", "Nothing was kept."}},
      {"a truncated body",
       [&] {
         serveRelease(archive_);
         server_.answers["/Tucklet-2.0.tar.gz"].sendOnly = archive_.size() / 2;
       },
       UpdateMessageKind::Error,
       {" of " + size + " bytes", "Nothing was kept."}},
      {"a redirect to plain http",
       [&] {
         serveRelease(archive_);
         auto insecure = server_.url("/Tucklet-2.0.tar.gz");
         insecure.replace(0, 5, "http");
         server_.answers["/Tucklet-2.0.tar.gz"] = Answer::redirect(insecure);
       },
       UpdateMessageKind::Error,
       {"http://127.0.0.1", "not a secure (https) address", "Nothing"}},
      {"a feed that is not RSS",
       [&] { server_.answers["/appcast.xml"] = Answer::ok("<html><body>Moved</body></html>"); },
       UpdateMessageKind::Error,
       {"not a valid RSS feed", "<html>"}},
      {"only an older version",
       [&] {
         server_.answers["/appcast.xml"] =
             Answer::ok(appcast({{"0.9", "0.9", server_.url("/Tucklet-0.9.tar.gz"), archive_.size(),
                                  key_.sign(archive_), ""}}));
       },
       UpdateMessageKind::Information,
       {"Tucklet 1.0 is newer than the newest version available (0.9)."}},
  };
  alerts_.choice = UpdateChoice::Install;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.answers.clear();
    alerts_.messages.clear();
    alerts_.offers.clear();
    c.serve();
    Launch launch(*this);
    launch.updater.checkForUpdates();
    ASSERT_TRUE(runUntil([&] { return !alerts_.messages.empty(); }));
    const auto& message = alerts_.messages.front();
    EXPECT_EQ(message.kind, c.kind);
    for (const auto& words : c.saying)
      EXPECT_NE(message.text.find(words), std::string::npos) << message.text;
    EXPECT_TRUE(filesIn(staging_).empty());
    ASSERT_TRUE(runUntil([&] { return launch.updater.canCheckForUpdates(); }));
    EXPECT_EQ(alerts_.messages.size(), 1u);
  }
}

TEST_F(HttpsUpdateTest, TheDialogsAnswerOnceAndClosingMeansLater) {
  updates::QtUpdateAlerts alerts;
  std::vector<UpdateChoice> choices;
  const auto offer = [&] {
    alerts.showUpdateFound({"Tucklet", "2.0", "1.0", "<p>Faster folding.</p>", false},
                           [&](UpdateChoice choice) { choices.push_back(choice); });
  };
  const auto click = [&](const char* title) {
    ASSERT_NE(alerts.window(), nullptr);
    for (auto* button : alerts.window()->findChildren<QPushButton*>())
      if (button->text() == title) return button->click();
    FAIL() << "no button " << title;
  };
  offer();
  std::vector<QString> titles;
  for (auto* button : alerts.window()->findChildren<QPushButton*>())
    titles.push_back(button->text());
  EXPECT_EQ(titles, (std::vector<QString>{"Skip This Version", "Remind Me Later", "Install"}));
  click("Install");
  EXPECT_EQ(alerts.window(), nullptr);
  offer();
  click("Skip This Version");
  offer();
  alerts.window()->close();
  offer();
  alerts.close();  // the session ends without an answer
  EXPECT_EQ(choices,
            (std::vector<UpdateChoice>{UpdateChoice::Install, UpdateChoice::SkipThisVersion,
                                       UpdateChoice::RemindMeLater}));

  int cancelled = 0;
  alerts.showDownloadProgress("Downloading Tucklet 2.0…", 0, 1000, [&] { ++cancelled; });
  alerts.showDownloadProgress("Downloading Tucklet 2.0…", 500, 1000, [&] { cancelled += 10; });
  click("Cancel");
  EXPECT_EQ(cancelled, 10) << "the latest cancel answers, once";
  EXPECT_EQ(alerts.window(), nullptr);
}

}  // namespace
}  // namespace tucklet
