// The workspace: running applications (this process among them), launches and quits with their
// notifications, files, icons and URLs.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using platform::WorkspaceNotification;

class WorkspaceTest : public DesktopTest {
 protected:
  void SetUp() override {
    start(WorldBuilder()
              .app(100, "com.example.a", "A")
              .frontmost({"File"})
              .withApp([](sim::WorldApplication& a) { a.iconTheme = "accessories-text-editor"; })
              .extra("a-item")
              .withApp([](sim::WorldApplication& a) {
                a.windows.push_back({"Document", {100, 100, 400, 300}, 0, std::nullopt});
              })
              .app(101, "com.example.b", "B")
              .withWorld([](sim::World& w) {
                w.installed.push_back({"/Applications/Notes.app", "", "/icons/notes.png"});
                w.visibilityFramework.path = "/System/Library/PrivateFrameworks/MBCC.framework";
              })
              .build());
  }

  // Records notifications in the order they arrive.
  void record(WorkspaceNotification notification, const char* name) {
    connections.push_back(desktop->workspace().observe(notification, [this, name](pid_t pid) {
      log.push_back(std::string(name) + ":" + std::to_string(pid));
    }));
  }

  std::vector<platform::Connection> connections;
  std::vector<std::string> log;
};

TEST_F(WorkspaceTest, ListsRunningApplicationsWithThisProcess) {
  const auto apps = desktop->workspace().runningApplications();
  ASSERT_EQ(apps.size(), 3u);
  EXPECT_EQ(apps[0].pid, 100);
  EXPECT_TRUE(apps[0].active);
  ASSERT_TRUE(apps[0].icon);
  EXPECT_EQ(apps[0].icon->name, "accessories-text-editor");
  EXPECT_EQ(apps[1].pid, 101);
  EXPECT_EQ(apps[2].pid, 900);
  EXPECT_EQ(apps[2].bundleIdentifier, "local.quenby.Quiverly");
  EXPECT_EQ(apps[2].bundlePath, "/Applications/Tucklet.app");
  EXPECT_EQ(desktop->workspace().currentProcessId(), 900);
  EXPECT_EQ(desktop->workspace().frontmostApplication()->pid, 100);
  EXPECT_EQ(desktop->workspace().applicationForPid(101)->localizedName, "B");
  EXPECT_FALSE(desktop->workspace().applicationForPid(555).has_value());
  EXPECT_EQ(desktop->workspace().mainBundle().path, "/Applications/Tucklet.app");
  EXPECT_EQ(desktop->workspace().operatingSystemVersion().major, 27);
}

TEST_F(WorkspaceTest, LaunchNotifiesThenListsTheApplication) {
  record(WorkspaceNotification::ApplicationLaunched, "launched");
  record(WorkspaceNotification::RunningApplicationsChanged, "changed");
  record(WorkspaceNotification::FrontmostApplicationChanged, "frontmost");
  auto app = makeApplication(0, "com.example.c", "C");
  app.frontmost = true;
  const pid_t pid = desktop->launchApplication(app);
  EXPECT_NE(pid, 0);
  EXPECT_TRUE(log.empty()) << "notifications arrive on the main queue";
  loop.drain();
  EXPECT_EQ(log, (std::vector<std::string>{"launched:" + std::to_string(pid), "changed:0",
                                           "frontmost:0"}));
  EXPECT_EQ(desktop->workspace().frontmostApplication()->pid, pid);
  EXPECT_TRUE(desktop->workspace().fileExists("/Applications/C.app"));

  // A taken process id is replaced.
  EXPECT_NE(desktop->launchApplication(makeApplication(100, "com.example.d", "D")), 100);
}

TEST_F(WorkspaceTest, QuitRemovesEverythingOfTheApplicationAndInvalidatesItsElements) {
  const auto app = ax().applicationElement(100);
  const auto item = extraChildren(100).at(0);
  const auto extra = desktop->findExtra(100, "a-item");
  ASSERT_TRUE(extra.has_value());
  record(WorkspaceNotification::ApplicationTerminated, "terminated");
  record(WorkspaceNotification::RunningApplicationsChanged, "changed");
  record(WorkspaceNotification::FrontmostApplicationChanged, "frontmost");

  desktop->quitApplication(100);
  loop.drain();
  EXPECT_EQ(log, (std::vector<std::string>{"terminated:100", "changed:0", "frontmost:0"}));
  EXPECT_EQ(read(app, "AXRole").error, AXError::InvalidUIElement);
  EXPECT_EQ(read(item, "AXTitle").error, AXError::InvalidUIElement);
  EXPECT_EQ(ax().performAction(item, "AXPress"), AXError::InvalidUIElement);
  EXPECT_FALSE(desktop->extra(*extra).has_value());
  EXPECT_TRUE(desktop->menuBarLayout().empty());
  for (const auto& w : desktop->windowServer().onScreenWindows(false))
    EXPECT_NE(w.ownerPid, 100);
  EXPECT_EQ(desktop->workspace().frontmostApplication()->pid, 101);
  EXPECT_EQ(desktop->workspace().runningApplications().size(), 2u);

  // This process cannot be quit from outside.
  desktop->quitApplication(900);
  EXPECT_TRUE(desktop->workspace().applicationForPid(900).has_value());
}

TEST_F(WorkspaceTest, ScreenChangesWakeAndSpacesNotify) {
  record(WorkspaceNotification::ScreenParametersChanged, "screens");
  record(WorkspaceNotification::DidWake, "wake");
  record(WorkspaceNotification::ActiveSpaceChanged, "space");
  desktop->addScreen({{1512, 0, 1920, 1080}, std::nullopt, 0});
  loop.drain();
  const auto screens = desktop->screens().screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[1].number, 2);
  EXPECT_EQ(screens[0].visibleFrame, (Rect{0, 0, 1512, 958}));
  desktop->removeScreen(2);
  desktop->removeScreen(7);  // no such screen: nothing happens
  desktop->simulateWake();
  desktop->simulateSpaceChange();
  loop.drain();
  EXPECT_EQ(log, (std::vector<std::string>{"screens:0", "screens:0", "wake:0", "screens:0",
                                           "space:0", "screens:0"}));
  EXPECT_EQ(desktop->screens().screens().size(), 1u);
}

TEST_F(WorkspaceTest, DisconnectedObserversHearNothingMore) {
  int calls = 0;
  auto connection =
      desktop->workspace().observe(WorkspaceNotification::DidWake, [&](pid_t) { ++calls; });
  desktop->simulateWake();
  connection.disconnect();  // posted but not yet delivered
  loop.drain();
  EXPECT_EQ(calls, 0);
}

TEST_F(WorkspaceTest, FilesIconsAndURLs) {
  auto& ws = desktop->workspace();
  EXPECT_TRUE(ws.fileExists("/Applications/A.app"));
  EXPECT_TRUE(ws.fileExists("/Applications/A.app/"));
  EXPECT_TRUE(ws.fileExists("/Applications/Notes.app"));
  EXPECT_TRUE(ws.fileExists("/Applications/Tucklet.app"));
  EXPECT_TRUE(ws.fileExists("/System/Library/PrivateFrameworks/MBCC.framework"));
  EXPECT_FALSE(ws.fileExists("/Applications/Missing.app"));
  EXPECT_FALSE(ws.fileExists(""));

  ASSERT_TRUE(ws.iconForFile("/Applications/Notes.app"));
  EXPECT_EQ(ws.iconForFile("/Applications/Notes.app")->kind, platform::Image::Kind::File);
  EXPECT_EQ(ws.iconForFile("/Applications/A.app")->name, "accessories-text-editor");
  EXPECT_TRUE(ws.iconForFile("/Applications/B.app")) << "a generic icon for a known bundle";
  EXPECT_FALSE(ws.iconForFile("/Applications/Missing.app"));

  EXPECT_TRUE(ws.openURL("https://example.com"));
  EXPECT_TRUE(ws.openURL("x-apple.systempreferences:com.apple.preference.security"));
  EXPECT_FALSE(ws.openURL("no scheme here"));
  EXPECT_FALSE(ws.openURL(":empty"));
  EXPECT_FALSE(ws.openURL("1http://digit.first"));
  ws.revealFile("/tmp/report.json");
  EXPECT_EQ(desktop->openedURLs(),
            (std::vector<std::string>{"https://example.com",
                                      "x-apple.systempreferences:com.apple.preference.security"}));
  EXPECT_EQ(desktop->revealedFiles(), std::vector<std::string>{"/tmp/report.json"});
}

}  // namespace
}  // namespace tucklet::testing
