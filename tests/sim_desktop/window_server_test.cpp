// The window list and input: order and layers of windows, windows that a press opens after a
// delay, event monitors, and what a hit test finds on top.
#include <set>

#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using platform::eventMaskFor;
using platform::EventType;
using platform::InputEvent;
using platform::WindowInfo;

class WindowServerTest : public DesktopTest {
 protected:
  void SetUp() override {
    start(WorldBuilder()
              .app(90, "com.apple.dock", "Dock")
              .app(100, "com.example.a", "A")
              .frontmost({"File"})
              .extra("menu")
              .at(0)
              .withApp([](sim::WorldApplication& a) {
                a.windows.push_back({"Front", {300, 200, 400, 300}, 0, 0.9});
                a.windows.push_back({"Back", {350, 250, 400, 300}, 0, std::nullopt});
              })
              .app(101, "com.example.panel", "Panel")
              .extra("panel")
              .at(1)
              .withExtra([](sim::WorldExtra& e) {
                e.press = sim::PressBehaviour::OpensWindow;
                e.windowDelay = 0.25;
                e.windowSize = {300, 200};
                e.windowTitle = "Panel Window";
              })
              .build());
  }

  std::vector<WindowInfo> windows(bool excludeDesktop = true) {
    return desktop->windowServer().onScreenWindows(excludeDesktop);
  }
};

TEST_F(WindowServerTest, ListsWindowsFrontToBackWithStableNumbers) {
  ASSERT_EQ(ax().performAction(extraChildren(100).at(0), "AXPress"), AXError::Success);
  const auto list = windows(false);
  std::vector<int> layers;
  for (const auto& w : list)
    layers.push_back(w.layer);
  EXPECT_EQ(layers, (std::vector<int>{101, 0, 0, 25, 25, 24, -2147483628}));
  EXPECT_EQ(list[1].name, "Front");
  EXPECT_EQ(list[1].alpha, 0.9);
  EXPECT_EQ(list[1].ownerName, "A");
  EXPECT_EQ(list[2].name, "Back");
  EXPECT_EQ(list[3].bounds, (Rect{1482, 0, 22, 24}));
  EXPECT_EQ(list[5].ownerName, "Window Server");
  EXPECT_EQ(list[5].bounds, (Rect{0, 0, 1512, 24}));
  EXPECT_TRUE(list[6].isDesktopElement);
  EXPECT_EQ(list[6].ownerPid, 90);
  EXPECT_EQ(list[6].bounds, (Rect{0, 0, 1512, 982}));
  EXPECT_EQ(windows(true).size(), 6u);

  std::set<platform::WindowNumber> numbers;
  for (const auto& w : list)
    numbers.insert(w.number);
  EXPECT_EQ(numbers.size(), list.size());
  desktop->pressKey(53);
  const auto again = windows(false);
  ASSERT_EQ(again.size(), list.size() - 1);
  for (std::size_t i = 0; i < again.size(); ++i)
    EXPECT_EQ(again[i].number, list[i + 1].number);
}

TEST_F(WindowServerTest, PressOpensAWindowAfterItsDelay) {
  const auto panel = extraChildren(101).at(0);
  auto panelWindows = [this] {
    std::vector<WindowInfo> result;
    for (const auto& w : windows())
      if (w.ownerPid == 101 && w.layer == 0) result.push_back(w);
    return result;
  };
  EXPECT_EQ(ax().performAction(panel, "AXShowMenu"), AXError::ActionUnsupported);
  ASSERT_EQ(ax().performAction(panel, "AXPress"), AXError::Success);
  loop.advance(0.2);
  EXPECT_TRUE(panelWindows().empty());
  loop.advance(0.1);
  auto opened = panelWindows();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].name, "Panel Window");
  EXPECT_EQ(opened[0].bounds.size(), (sim::Size{300, 200}));
  EXPECT_LE(opened[0].bounds.y, 96) << "hangs below the bar like a menu";
  EXPECT_EQ(windows().front().number, opened[0].number) << "in front of every window";
  EXPECT_EQ(text(ax().applicationElement(101), "AXTitle"), "Panel");
  EXPECT_EQ(children(ax().applicationElement(101)).size(), 2u) << "the window and the extras";

  desktop->closeWindow(opened[0].number);
  EXPECT_TRUE(panelWindows().empty());

  // A click opens it too; a click outside closes it, and one on its item only closes it.
  desktop->click(centre(slot(101, "panel").frame));
  loop.advance(0.25);
  ASSERT_EQ(panelWindows().size(), 1u);
  desktop->click(centre(slot(101, "panel").frame));
  loop.advance(1);
  EXPECT_TRUE(panelWindows().empty());
  desktop->click(centre(slot(101, "panel").frame));
  loop.advance(0.25);
  ASSERT_EQ(panelWindows().size(), 1u);
  desktop->click({100, 700});
  EXPECT_TRUE(panelWindows().empty());

  // The application quitting before the delay is up: no window.
  ASSERT_EQ(ax().performAction(panel, "AXPress"), AXError::Success);
  desktop->quitApplication(101);
  loop.advance(1);
  EXPECT_TRUE(panelWindows().empty());
}

TEST_F(WindowServerTest, GlobalMonitorsSeeOtherProcessesEventsLocalOnesOurOwn) {
  auto item = desktop->statusBar().createStatusItem(20);
  std::vector<InputEvent> global;
  std::vector<InputEvent> local;
  auto globalMonitor = desktop->windowServer().addGlobalMonitor(
      eventMaskFor(EventType::LeftMouseUp) | eventMaskFor(EventType::KeyDown),
      [&](const InputEvent& e) { global.push_back(e); });
  auto localMonitor = desktop->windowServer().addLocalMonitor(
      eventMaskFor(EventType::LeftMouseUp), [&](const InputEvent& e) { local.push_back(e); });

  desktop->click({500, 982 - 300});  // the front window of A
  desktop->click(centre(*item->buttonScreenFrame()));
  desktop->pressKey(12, platform::ModifierCommand);
  loop.drain();
  ASSERT_EQ(global.size(), 2u);
  EXPECT_EQ(global[0].targetPid, 100);
  EXPECT_EQ(global[0].type, EventType::LeftMouseUp);
  EXPECT_EQ(global[1].type, EventType::KeyDown);
  EXPECT_EQ(global[1].keyCode, 12);
  EXPECT_EQ(global[1].targetPid, 100) << "keys go to the frontmost application";
  ASSERT_EQ(local.size(), 1u);
  EXPECT_EQ(local[0].targetPid, 900);

  globalMonitor.reset();
  desktop->click({500, 982 - 300});
  loop.drain();
  EXPECT_EQ(global.size(), 2u);

  desktop->setPointer({10, 20});
  EXPECT_EQ(desktop->screens().mouseLocation(), (Point{10, 20}));
}

TEST_F(WindowServerTest, HitTestsFindWhatIsOnTop) {
  AXElementRef hit;
  const auto systemWide = ax().systemWideElement();
  // Where the front window and the one behind it overlap: the front one.
  ASSERT_EQ(ax().elementAtPosition(systemWide, 360, 260, hit), AXError::Success);
  EXPECT_EQ(text(hit, "AXTitle"), "Front");
  ASSERT_EQ(ax().elementAtPosition(systemWide, 720, 520, hit), AXError::Success);
  EXPECT_EQ(text(hit, "AXTitle"), "Back");
  // The application menus of the frontmost application.
  ASSERT_EQ(ax().elementAtPosition(systemWide, 60, 10, hit), AXError::Success);
  EXPECT_EQ(text(hit, "AXTitle"), "A");
  EXPECT_EQ(text(hit, "AXRole"), "AXMenuBarItem");
  pid_t pid = 0;
  ax().pid(hit, pid);
  EXPECT_EQ(pid, 100);
  // The empty middle of the bar and the bare desktop.
  EXPECT_EQ(ax().elementAtPosition(systemWide, 700, 10, hit), AXError::NoValue);
  EXPECT_EQ(ax().elementAtPosition(systemWide, 100, 700, hit), AXError::NoValue);
  EXPECT_EQ(ax().elementAtPosition(extraChildren(100).at(0), 100, 700, hit),
            AXError::IllegalArgument);

  // An open menu lies over the windows.
  ASSERT_EQ(ax().performAction(extraChildren(100).at(0), "AXPress"), AXError::Success);
  const auto menu = desktop->openMenus().at(0).frame;
  ASSERT_EQ(ax().elementAtPosition(systemWide, menu.midX(), menu.y + 1, hit), AXError::Success);
  EXPECT_EQ(text(hit, "AXRole"), "AXMenu");
}

TEST_F(WindowServerTest, ScreenCaptureApprovalFollowsTheWorld) {
  EXPECT_FALSE(desktop->windowServer().screenCaptureApproved());
  desktop->setScreenCaptureApproved(true);
  EXPECT_TRUE(desktop->windowServer().screenCaptureApproved());
}

}  // namespace
}  // namespace tucklet::testing
