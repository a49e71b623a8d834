// Opening and closing the menus of other applications' items: through Accessibility by press
// behaviour, by clicks and Escape, and the "AXMenuClosed" notification.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using sim::PressBehaviour;

class ItemMenusTest : public DesktopTest {
 protected:
  void SetUp() override {
    auto press = [](PressBehaviour p) { return [p](sim::WorldExtra& e) { e.press = p; }; };
    start(
        WorldBuilder()
            .app(100, "com.example.a", "A")
            .extra("opens")
            .at(0)
            .extra("show-only")
            .at(1)
            .withExtra(press(PressBehaviour::ShowMenuOnly))
            .app(101, "com.example.b", "B")
            .extra("u6")
            .at(2)
            .withExtra(press(PressBehaviour::Unsupported25206))
            .extra("u8")
            .at(3)
            .withExtra(press(PressBehaviour::Unsupported25208))
            .extra("hangs")
            .at(4)
            .withExtra(press(PressBehaviour::Hangs))
            .app(102, "com.apple.controlcenter", "Control Centre")
            .withApp([](sim::WorldApplication& a) { a.menuWindowOwner = "com.apple.MenuBarAgent"; })
            .extra("wifi")
            .at(5)
            .app(103, "com.apple.MenuBarAgent", "MenuBarAgent")
            .build());
  }

  AXElementRef item(pid_t pid, std::size_t index) { return extraChildren(pid).at(index); }

  std::vector<platform::WindowInfo> menuWindows() {
    std::vector<platform::WindowInfo> result;
    for (const auto& w : desktop->windowServer().onScreenWindows(true))
      if (w.layer == 101) result.push_back(w);
    return result;
  }

  std::string openMenuOf() {
    const auto menus = desktop->openMenus();
    if (menus.empty()) return "";
    return desktop->extra(menus.front().extra)->identifier.value_or("?");
  }
};

TEST_F(ItemMenusTest, PressOpensTheMenuBelowTheItemAndCancelClosesIt) {
  const auto opens = item(100, 0);
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  EXPECT_TRUE(*read(opens, "AXSelected").value.boolean());
  const auto menus = children(opens);
  ASSERT_EQ(menus.size(), 1u);
  const auto& menu = menus[0];
  EXPECT_EQ(text(menu, "AXRole"), "AXMenu");
  // Just below the bar, moved left so that it stays on the screen.
  EXPECT_EQ(*read(menu, "AXPosition").value.point(), (Point{1392, 24}));
  const auto rows = children(menu);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(text(rows[0], "AXRole"), "AXMenuItem");
  EXPECT_EQ(text(rows[0], "AXTitle"), "Open opens");
  EXPECT_EQ(text(rows[2], "AXTitle"), "Quit");

  const auto windows = menuWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].ownerPid, 100);
  EXPECT_EQ(desktop->windowServer().onScreenWindows(true).front().layer, 101);
  const auto size = *read(menu, "AXSize").value.size();
  EXPECT_EQ(windows[0].bounds, (Rect{1392, 24, size.width, size.height}));
  EXPECT_EQ(openMenuOf(), "opens");

  ASSERT_EQ(ax().performAction(opens, "AXCancel"), AXError::Success);
  EXPECT_FALSE(*read(opens, "AXSelected").value.boolean());
  EXPECT_TRUE(children(opens).empty());
  EXPECT_EQ(read(menu, "AXRole").error, AXError::InvalidUIElement);
  EXPECT_TRUE(menuWindows().empty());
}

TEST_F(ItemMenusTest, ActionsFollowThePressBehaviour) {
  const auto showOnly = item(100, 1);
  EXPECT_EQ(ax().performAction(showOnly, "AXPress"), AXError::ActionUnsupported);
  EXPECT_TRUE(desktop->openMenus().empty());
  EXPECT_EQ(ax().performAction(showOnly, "AXShowMenu"), AXError::Success);
  EXPECT_EQ(openMenuOf(), "show-only");
  EXPECT_EQ(ax().performAction(showOnly, "AXWobble"), AXError::ActionUnsupported);

  const auto u6 = item(101, 0);
  const auto u8 = item(101, 1);
  EXPECT_EQ(ax().performAction(u6, "AXPress"), AXError::ActionUnsupported);
  EXPECT_EQ(ax().performAction(u6, "AXShowMenu"), AXError::ActionUnsupported);
  EXPECT_EQ(ax().performAction(u8, "AXPress"), AXError::NotImplemented);
  EXPECT_EQ(ax().performAction(u8, "AXShowMenu"), AXError::NotImplemented);
  EXPECT_EQ(openMenuOf(), "show-only") << "failed presses leave the open menu alone";

  // A real click works whatever Accessibility supports.
  desktop->click(centre(slot(101, "u6").frame));
  EXPECT_EQ(openMenuOf(), "u6");
}

TEST_F(ItemMenusTest, HangingItemTimesOutAndIgnoresClicks) {
  const auto hangs = item(101, 2);
  desktop->resetAccessibilityCounters();
  ASSERT_EQ(ax().setMessagingTimeout(hangs, 0.035), AXError::Success);
  EXPECT_EQ(ax().performAction(hangs, "AXPress"), AXError::CannotComplete);
  EXPECT_DOUBLE_EQ(desktop->spentAccessibilitySeconds(), 0.035);
  EXPECT_EQ(text(hangs, "AXIdentifier"), "hangs") << "only its actions hang";
  desktop->click(centre(slot(101, "hangs").frame));
  EXPECT_TRUE(desktop->openMenus().empty());
}

TEST_F(ItemMenusTest, SlowApplicationStillOpensItsMenuAfterMissingTheTimeOut) {
  start(WorldBuilder()
            .app(100, "com.example.slow", "Slow")
            .withApp([](sim::WorldApplication& a) { a.accessibilityLatency = 0.1; })
            .extra("slow")
            .build());
  const auto slow = item(100, 0);
  ASSERT_EQ(ax().setMessagingTimeout(slow, 0.035), AXError::Success);
  EXPECT_EQ(ax().performAction(slow, "AXPress"), AXError::CannotComplete);
  EXPECT_TRUE(desktop->openMenus().empty());
  loop.advance(0.05);
  EXPECT_TRUE(desktop->openMenus().empty());
  loop.advance(0.06);
  EXPECT_EQ(openMenuOf(), "slow");
  EXPECT_TRUE(*read(item(100, 0), "AXSelected").value.boolean());
}

TEST_F(ItemMenusTest, EscapeClicksElsewhereAndOtherMenusCloseTheMenu) {
  const auto opens = item(100, 0);
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  desktop->pressKey(53);
  EXPECT_TRUE(desktop->openMenus().empty());

  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  desktop->click({700, 500});
  EXPECT_TRUE(desktop->openMenus().empty());

  // A click on the item of the open menu closes it; one on another item opens that one.
  desktop->click(centre(slot(100, "opens").frame));
  EXPECT_EQ(openMenuOf(), "opens");
  desktop->click(centre(slot(100, "opens").frame));
  EXPECT_TRUE(desktop->openMenus().empty());
  desktop->click(centre(slot(100, "opens").frame));
  desktop->click(centre(slot(100, "show-only").frame));
  EXPECT_EQ(openMenuOf(), "show-only");

  // Opening a menu through Accessibility closes the other one.
  ASSERT_EQ(ax().performAction(opens, "AXShowMenu"), AXError::Success);
  EXPECT_EQ(openMenuOf(), "opens");
  EXPECT_EQ(desktop->openMenus().size(), 1u);
}

TEST_F(ItemMenusTest, ClickingARowChoosesItAndClosesTheMenu) {
  const auto opens = item(100, 0);
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  const auto menu = desktop->openMenus().at(0);
  const Rect menuFrame = menu.frame;
  // Rows start 4 points into the menu: 22 points each, 11 for the separator.
  const double top = 982 - menuFrame.y;
  desktop->click({menuFrame.midX(), top - 4 - 22 - 5});  // the separator
  EXPECT_EQ(desktop->openMenus().size(), 1u);

  AXElementRef hit;
  ASSERT_EQ(ax().elementAtPosition(ax().systemWideElement(), menuFrame.midX(),
                                   menuFrame.y + 4 + 22 + 11 + 10, hit),
            AXError::Success);
  EXPECT_EQ(text(hit, "AXTitle"), "Quit");

  desktop->click({menuFrame.midX(), top - 4 - 22 - 11 - 10});
  EXPECT_TRUE(desktop->openMenus().empty());
  const auto chosen = desktop->chosenMenuRows();
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].title, "Quit");
  EXPECT_EQ(chosen[0].pid, 100);
}

TEST_F(ItemMenusTest, MenuClosedReachesObserversOnlyWhileAttached) {
  const auto opens = item(100, 0);
  std::vector<std::pair<AXElementRef, std::string>> heard;
  auto observer = ax().createObserver(
      100, [&](const AXElementRef& e, const std::string& n) { heard.emplace_back(e, n); });

  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  auto menu = children(opens).at(0);
  ASSERT_EQ(observer->addNotification(menu, "AXMenuClosed"), AXError::Success);
  EXPECT_EQ(observer->addNotification(menu, "AXMenuClosed"),
            AXError::NotificationAlreadyRegistered);
  EXPECT_EQ(observer->addNotification(item(101, 0), "AXMenuClosed"), AXError::IllegalArgument);
  desktop->pressKey(53);
  loop.drain();
  EXPECT_TRUE(heard.empty()) << "not attached";
  EXPECT_EQ(observer->addNotification(menu, "AXMenuClosed"), AXError::InvalidUIElement);

  observer->attach();
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  menu = children(opens).at(0);
  ASSERT_EQ(observer->addNotification(menu, "AXMenuClosed"), AXError::Success);
  desktop->click({700, 500});
  EXPECT_TRUE(heard.empty()) << "delivered on the main queue";
  loop.drain();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_TRUE(heard[0].first->sameElement(*menu));
  EXPECT_EQ(heard[0].second, "AXMenuClosed");

  // Registered on the item, detached before the notification is delivered: nothing.
  ASSERT_EQ(observer->addNotification(opens, "AXMenuClosed"), AXError::Success);
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  ASSERT_EQ(ax().performAction(opens, "AXCancel"), AXError::Success);
  observer->detach();
  loop.drain();
  EXPECT_EQ(heard.size(), 1u);

  observer->attach();
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  ASSERT_EQ(ax().performAction(opens, "AXCancel"), AXError::Success);
  loop.drain();
  EXPECT_EQ(heard.size(), 2u);

  EXPECT_EQ(observer->removeNotification(opens, "AXMenuClosed"), AXError::Success);
  EXPECT_EQ(observer->removeNotification(opens, "AXMenuClosed"),
            AXError::NotificationNotRegistered);
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  ASSERT_EQ(observer->addNotification(children(opens).at(0), "AXMenuClosed"), AXError::Success);
  observer.reset();
  desktop->pressKey(53);
  loop.drain();
  EXPECT_EQ(heard.size(), 2u) << "a destroyed observer hears nothing";
}

TEST_F(ItemMenusTest, SystemItemMenusAreDrawnByTheMenuBarAgent) {
  const auto wifi = item(102, 0);
  ASSERT_EQ(ax().performAction(wifi, "AXPress"), AXError::Success);
  const auto windows = menuWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].ownerPid, 103);
  pid_t pid = 0;
  ASSERT_EQ(ax().pid(children(wifi).at(0), pid), AXError::Success);
  EXPECT_EQ(pid, 102) << "the menu's elements belong to the item's application";
}

TEST_F(ItemMenusTest, QuittingTheApplicationClosesItsMenuSilently) {
  const auto opens = item(100, 0);
  std::vector<std::string> heard;
  auto observer = ax().createObserver(
      100, [&](const AXElementRef&, const std::string& n) { heard.push_back(n); });
  observer->attach();
  ASSERT_EQ(ax().performAction(opens, "AXPress"), AXError::Success);
  ASSERT_EQ(observer->addNotification(children(opens).at(0), "AXMenuClosed"), AXError::Success);
  desktop->quitApplication(100);
  loop.drain();
  EXPECT_TRUE(desktop->openMenus().empty());
  EXPECT_TRUE(menuWindows().empty());
  EXPECT_TRUE(heard.empty());
}

}  // namespace
}  // namespace tucklet::testing
