// The menu bar's status area: right-to-left placement, overflow next to the application menus
// and the notch, widened items pushing others off-screen, and Command-drag.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using platform::WorkspaceNotification;

class MenuBarLayoutTest : public DesktopTest {};

TEST_F(MenuBarLayoutTest, PlacesItemsFromTheRightEdgeInPlacementOrder) {
  start(WorldBuilder()
            .app(100, "com.example.a", "A")
            .extra("wide", 40)
            .at(2)
            .extra("first", 30)
            .at(0)
            .extra("second", 22)
            .at(1)
            .build());
  EXPECT_EQ(slot(100, "first").frame, (Rect{1474, 958, 30, 24}));
  EXPECT_EQ(slot(100, "second").frame, (Rect{1448, 958, 22, 24}));
  EXPECT_EQ(slot(100, "wide").frame, (Rect{1404, 958, 40, 24}));
  for (const auto& s : desktop->menuBarLayout())
    EXPECT_TRUE(s.shown);
}

TEST_F(MenuBarLayoutTest, UnplacedAndNewItemsGoLeftOfEverything) {
  start(WorldBuilder()
            .app(100, "com.example.a", "A")
            .extra("unplaced-a", 20)
            .extra("placed", 20)
            .at(5)
            .app(101, "com.example.b", "B")
            .extra("unplaced-b", 20)
            .build());
  auto order = [this] {
    std::vector<double> xs;
    for (const auto& s : desktop->menuBarLayout())
      xs.push_back(s.frame.x);
    return xs;
  };
  EXPECT_GT(slot(100, "placed").frame.x, slot(100, "unplaced-a").frame.x);
  EXPECT_GT(slot(100, "unplaced-a").frame.x, slot(101, "unplaced-b").frame.x);

  auto item = desktop->statusBar().createStatusItem(18);
  const auto own = item->buttonScreenFrame();
  ASSERT_TRUE(own.has_value());
  EXPECT_LT(own->x, slot(101, "unplaced-b").frame.x);

  auto launched = makeApplication(0, "com.example.c", "C");
  launched.extras.push_back({});
  launched.extras.back().identifier = "late";
  const pid_t pid = desktop->launchApplication(launched);
  EXPECT_LT(slot(pid, "late").frame.x, own->x);
  const auto xs = order();
  EXPECT_TRUE(std::is_sorted(xs.rbegin(), xs.rend())) << "layout lists slots right to left";
}

TEST_F(MenuBarLayoutTest, WidenedItemPushesEverythingLeftOfItOffScreen) {
  start(WorldBuilder()
            .app(100, "com.example.a", "A")
            .extra("right", 22)
            .at(0)
            .extra("middle", 22)
            .at(1)
            .app(101, "com.example.left", "Left")
            .extra("left", 40)
            .at(2)
            .withWorld([](sim::World& w) { w.statusItemPlacements["Divider"] = 1.5; })
            .build());
  auto divider = desktop->statusBar().createStatusItem(18);
  divider->setAutosaveName("Divider");
  const Rect leftBefore = slot(101, "left").frame;
  ASSERT_TRUE(divider->buttonScreenFrame().has_value());
  EXPECT_GT(divider->buttonScreenFrame()->x, leftBefore.maxX());

  AXElementRef hit;
  const auto axLeft = axCentre(leftBefore);
  ASSERT_EQ(ax().elementAtPosition(ax().systemWideElement(), axLeft.x, axLeft.y, hit),
            AXError::Success);
  EXPECT_EQ(ax().elementAtPosition(ax().applicationElement(101), axLeft.x, axLeft.y, hit),
            AXError::Success);

  divider->setLength(10000);
  const auto left = slot(101, "left");
  EXPECT_FALSE(left.shown);
  EXPECT_LT(left.frame.maxX(), 0);
  EXPECT_TRUE(slot(100, "right").shown);
  EXPECT_TRUE(slot(100, "middle").shown);
  EXPECT_FALSE(divider->buttonScreenFrame().has_value());

  // Off the screen it is neither hit-testable nor in the window list, but still in the tree
  // with its far-left position.
  EXPECT_EQ(ax().elementAtPosition(ax().systemWideElement(), axLeft.x, axLeft.y, hit),
            AXError::NoValue);
  for (const auto& w : desktop->windowServer().onScreenWindows(true))
    EXPECT_NE(w.ownerPid, 101) << "window " << w.number;
  const auto children = extraChildren(101);
  ASSERT_EQ(children.size(), 1u);
  const auto position = read(children[0], "AXPosition");
  ASSERT_EQ(position.error, AXError::Success);
  EXPECT_LT(position.value.point()->x, 0);

  divider->setLength(18);
  EXPECT_TRUE(slot(101, "left").shown);
}

TEST_F(MenuBarLayoutTest, ItemsThatDoNotFitRightOfTheApplicationMenusAreNotShown) {
  start(WorldBuilder()
            .screenFrame({0, 0, 400, 300})
            .app(100, "com.example.ed", "Ed")
            .frontmost({"File", "Edit"})
            .extra("e1", 100)
            .at(0)
            .extra("e2", 114)
            .at(1)
            .extra("e3", 10)
            .at(2)
            .app(101, "com.example.x", "X")
            .build());
  // Apple 8..42, "Ed" 42..74, "File" 74..120, "Edit" 120..166.
  EXPECT_EQ(desktop->applicationMenusFrame(), (Rect{8, 276, 158, 24}));
  EXPECT_EQ(slot(100, "e2").frame.x, 174) << "exactly at the limit";
  EXPECT_TRUE(slot(100, "e2").shown);
  EXPECT_FALSE(slot(100, "e3").shown);

  int changes = 0;
  auto connection = desktop->workspace().observe(WorkspaceNotification::FrontmostApplicationChanged,
                                                 [&](pid_t) { ++changes; });
  desktop->setFrontmost(101);
  loop.drain();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(desktop->applicationMenusFrame(), (Rect{8, 276, 59, 24}));
  EXPECT_TRUE(slot(100, "e3").shown);
}

TEST_F(MenuBarLayoutTest, NothingIsShownLeftOfTheNotch) {
  start(WorldBuilder()
            .notch(200)
            .app(100, "com.example.a", "A")
            .extra("wide", 600)
            .at(0)
            .extra("edge", 44)
            .at(1)
            .extra("under", 10)
            .at(2)
            .build());
  // The notch spans 656..856 on a 1512-point screen.
  EXPECT_EQ(slot(100, "edge").frame.x, 856);
  EXPECT_TRUE(slot(100, "edge").shown);
  EXPECT_FALSE(slot(100, "under").shown);
  const auto p = axCentre(slot(100, "under").frame);
  AXElementRef hit;
  EXPECT_EQ(ax().elementAtPosition(ax().systemWideElement(), p.x, p.y, hit), AXError::NoValue);
}

TEST_F(MenuBarLayoutTest, CommandDragMovesAnItemAndRenumbersPlacements) {
  start(WorldBuilder()
            .app(100, "com.example.a", "A")
            .extra("a", 22)
            .at(10)
            .extra("b", 22)
            .at(20)
            .extra("c", 22)
            .at(30)
            .build());
  // a 1482..1504, b 1456..1478, c 1430..1452: drop c right of a's middle.
  ASSERT_TRUE(desktop->commandDrag(slot(100, "c"), 1500));
  EXPECT_EQ(slot(100, "c").frame.x, 1482);
  EXPECT_EQ(slot(100, "a").frame.x, 1456);
  EXPECT_EQ(slot(100, "b").frame.x, 1430);
  EXPECT_EQ(slot(100, "c").position, 1);
  EXPECT_EQ(slot(100, "a").position, 2);
  EXPECT_EQ(slot(100, "b").position, 3);

  // Dropped left of b's middle (1441): lands left of b.
  ASSERT_TRUE(desktop->commandDrag(slot(100, "a"), 1435));
  EXPECT_EQ(slot(100, "b").frame.x, 1456);
  EXPECT_EQ(slot(100, "a").frame.x, 1430);
}

TEST_F(MenuBarLayoutTest, CommandDragRemembersOwnItemsByAutosaveName) {
  start(WorldBuilder()
            .app(100, "com.example.a", "A")
            .extra("a", 22)
            .at(1)
            .extra("b", 22)
            .at(2)
            .build());
  auto item = desktop->statusBar().createStatusItem(30);
  item->setAutosaveName("QuiverlyToggle");
  BarSlot own;
  for (const auto& s : desktop->menuBarLayout())
    if (s.kind == BarSlot::Kind::OwnStatusItem) own = s;
  ASSERT_EQ(own.autosaveName, "QuiverlyToggle");
  // Between a (1482..1504) and b (1456..1478).
  ASSERT_TRUE(desktop->commandDrag(own, 1480));
  const auto frame = item->buttonScreenFrame();
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->maxX(), 1478);
  EXPECT_EQ(desktop->world().statusItemPlacements.at("QuiverlyToggle"), 2);

  // A new item under the same name comes back to the same place.
  desktop->statusBar().removeStatusItem(item);
  EXPECT_FALSE(item->buttonScreenFrame().has_value());
  auto again = desktop->statusBar().createStatusItem(30);
  again->setAutosaveName("QuiverlyToggle");
  ASSERT_TRUE(again->buttonScreenFrame().has_value());
  EXPECT_EQ(again->buttonScreenFrame()->maxX(), 1478);
  EXPECT_LT(slot(100, "b").frame.maxX(), again->buttonScreenFrame()->minX());
}

TEST_F(MenuBarLayoutTest, FixedItemsStayAtTheRightEnd) {
  start(WorldBuilder()
            .app(100, "com.apple.controlcenter", "Control Centre")
            .extra("clock", 60)
            .at(0)
            .withExtra([](sim::WorldExtra& e) { e.fixed = true; })
            .app(101, "com.example.a", "A")
            .extra("a", 22)
            .at(1)
            .build());
  EXPECT_FALSE(desktop->commandDrag(slot(100, "clock"), 100));
  EXPECT_TRUE(desktop->commandDrag(slot(101, "a"), 1510));
  EXPECT_GT(slot(100, "clock").frame.x, slot(101, "a").frame.x);
}

}  // namespace
}  // namespace tucklet::testing
