// This process's status items: width, button frame, their place in the Accessibility tree and
// the window list, and clicks reaching their action.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using platform::eventMaskFor;
using platform::EventType;
using platform::Image;
using platform::InputEvent;
using platform::StatusItem;

class StatusItemsTest : public DesktopTest {
 protected:
  void SetUp() override { start(WorldBuilder().build()); }
  pid_t self() { return desktop->workspace().currentProcessId(); }
};

TEST_F(StatusItemsTest, VariableLengthFollowsImageAndTitle) {
  auto item = desktop->statusBar().createStatusItem(StatusItem::VariableLength);
  auto width = [&] { return item->buttonScreenFrame()->width; };
  EXPECT_EQ(width(), 8);
  item->setImage(Image::symbol("line.3.horizontal"));
  EXPECT_EQ(width(), 26);
  item->setTitle("ab│");  // three characters, one of them three bytes long
  EXPECT_EQ(width(), 8 + 18 + 21 + 4);
  item->setImage(nullptr);
  EXPECT_EQ(width(), 29);
  item->setLength(18);
  EXPECT_EQ(width(), 18);
  EXPECT_EQ(desktop->statusBar().thickness(), 24);
}

TEST_F(StatusItemsTest, ButtonFrameOnlyWhileTheBarShowsTheItem) {
  auto item = desktop->statusBar().createStatusItem(20);
  EXPECT_EQ(item->buttonScreenFrame(), (Rect{1484, 958, 20, 24}));
  item->setVisible(false);
  EXPECT_FALSE(item->buttonScreenFrame().has_value());
  EXPECT_TRUE(desktop->menuBarLayout().empty()) << "an invisible item takes no space";
  item->setVisible(true);
  item->setLength(5000);
  EXPECT_FALSE(item->buttonScreenFrame().has_value());
  item->setLength(20);
  desktop->statusBar().removeStatusItem(item);
  EXPECT_FALSE(item->buttonScreenFrame().has_value());
  item->setTitle("gone");  // a removed item ignores calls
  EXPECT_EQ(item->title(), "");
}

TEST_F(StatusItemsTest, AppearInTheAccessibilityTreeAndTheWindowList) {
  auto item = desktop->statusBar().createStatusItem(24);
  item->setTitle("T");
  item->setAccessibilityLabel("tucklet");
  item->setToolTip("Show hidden items");
  const auto children = extraChildren(self());
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(text(children[0], "AXRole"), "AXMenuBarItem");
  EXPECT_EQ(text(children[0], "AXTitle"), "T");
  EXPECT_EQ(text(children[0], "AXDescription"), "tucklet");
  EXPECT_EQ(text(children[0], "AXHelp"), "Show hidden items");
  EXPECT_EQ(*read(children[0], "AXPosition").value.point(), (Point{1480, 0}));

  int statusWindows = 0;
  for (const auto& w : desktop->windowServer().onScreenWindows(true)) {
    if (w.ownerPid != self()) continue;
    ++statusWindows;
    EXPECT_EQ(w.layer, 25);
    EXPECT_EQ(w.bounds, (Rect{1480, 0, 24, 24}));
  }
  EXPECT_EQ(statusWindows, 1);

  // The safety check's question: what is at the item's centre belongs to this process.
  AXElementRef hit;
  ASSERT_EQ(ax().elementAtPosition(ax().systemWideElement(), 1492, 12, hit), AXError::Success);
  pid_t owner = 0;
  ASSERT_EQ(ax().pid(hit, owner), AXError::Success);
  EXPECT_EQ(owner, self());
  EXPECT_TRUE(hit->sameElement(*children[0]));
}

TEST_F(StatusItemsTest, ClicksSendTheActionForEventsInTheMask) {
  auto item = desktop->statusBar().createStatusItem(24);
  std::vector<InputEvent> received;
  item->setAction([&](const InputEvent& e) { received.push_back(e); },
                  eventMaskFor(EventType::LeftMouseUp) | eventMaskFor(EventType::RightMouseUp));
  std::vector<EventType> local;
  std::vector<EventType> global;
  auto localMonitor = desktop->windowServer().addLocalMonitor(
      eventMaskFor(EventType::LeftMouseDown) | eventMaskFor(EventType::LeftMouseUp),
      [&](const InputEvent& e) { local.push_back(e.type); });
  auto globalMonitor = desktop->windowServer().addGlobalMonitor(
      eventMaskFor(EventType::LeftMouseUp), [&](const InputEvent& e) { global.push_back(e.type); });

  const auto centre = DesktopTest::centre(*item->buttonScreenFrame());
  desktop->click(centre, platform::ModifierOption);
  EXPECT_TRUE(received.empty()) << "delivered on the main queue";
  loop.drain();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].type, EventType::LeftMouseUp);
  EXPECT_EQ(received[0].modifiers, platform::ModifierOption);
  EXPECT_EQ(received[0].targetPid, self());
  EXPECT_EQ(local, (std::vector<EventType>{EventType::LeftMouseDown, EventType::LeftMouseUp}));
  EXPECT_TRUE(global.empty());

  desktop->click(centre, 0, true);
  loop.drain();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].type, EventType::RightMouseUp);

  item->setAction([&](const InputEvent& e) { received.push_back(e); },
                  eventMaskFor(EventType::LeftMouseDown));
  desktop->click(centre);
  loop.drain();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[2].type, EventType::LeftMouseDown);

  // Pressed on the item but released elsewhere: no click.
  item->setAction([&](const InputEvent& e) { received.push_back(e); },
                  eventMaskFor(EventType::LeftMouseUp));
  InputEvent down;
  down.type = EventType::LeftMouseDown;
  down.location = centre;
  desktop->windowServer().postEvent(down);
  InputEvent up = down;
  up.type = EventType::LeftMouseUp;
  up.location = {700, 500};
  desktop->windowServer().postEvent(up);
  loop.drain();
  EXPECT_EQ(received.size(), 3u);
}

TEST_F(StatusItemsTest, AccessibilityPressSendsTheAction) {
  auto item = desktop->statusBar().createStatusItem(24);
  int actions = 0;
  item->setAction([&](const InputEvent&) { ++actions; }, eventMaskFor(EventType::LeftMouseUp));
  const auto children = extraChildren(self());
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(ax().performAction(children[0], "AXPress"), AXError::Success);
  loop.drain();
  EXPECT_EQ(actions, 1);
}

}  // namespace
}  // namespace tucklet::testing
