// The access panel on the simulated desktop: a popover of Tucklet's own under its icon, driven by
// the desktop's pointer and keyboard as a user drives it, with its widgets measured as drawn.
#include <gtest/gtest.h>

#include <QAbstractButton>

#include <memory>
#include <string>
#include <vector>

#include "panel/access_panel.h"
#include "panel/access_panel_view.h"
#include "platform/sim/desktop.h"
#include "tests/panel/widget_app.h"
#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

// The visibility world with `extraApps` more applications, one item each, all hidden.
sim::World worldWith(int extraApps) {
  auto builder = visibilityWorld();
  for (int i = 0; i < extraApps; ++i) {
    const auto n = std::to_string(i);
    builder.app(300 + i, "com.example.app" + n, "App " + n)
        .extra("app" + n + ".status", 16)
        .at(300 + i);
  }
  return builder.build();
}

class AccessPanelTest : public ::testing::Test {
 protected:
  void start(sim::World world, platform::PlistDict defaults = setUpDefaults()) {
    widgetApp();
    rig = std::make_unique<TuckletRig>(std::move(world), std::move(defaults));
    rig->launch();
    rig->advance(2);
  }
  AccessPanel& panel() { return rig->controller().accessPanel(); }
  sim::SimDesktop& desktop() { return rig->desktop(); }
  std::size_t listed() { return rig->controller().itemsMenu().listedItems().size(); }
  // Where a widget of the panel sits on the simulated screen: its middle.
  platform::Point screenPointOf(const QWidget* widget) {
    const auto frame = panel().window()->contentFrame();
    const auto local = widget->mapTo(panel().view(), QRectF(widget->rect()).center());
    return {frame->x + local.x(), frame->maxY() - local.y()};
  }
  void open(bool search) {
    panel().showAccessPanel(search);
    rig->advance(0.05);
    ASSERT_TRUE(panel().accessPopover());
  }

  std::unique_ptr<TuckletRig> rig;
};

TEST_F(AccessPanelTest, APopoverUnderTheIconThatTakesTheKeyboard) {
  start(worldWith(0));
  open(true);
  const auto windows = desktop().ownWindows();
  ASSERT_EQ(windows.size(), 1u);
  const auto& popover = windows.front();
  EXPECT_TRUE(popover.popover);
  EXPECT_TRUE(popover.key);
  // Listed among the on-screen windows as Tucklet's, hanging from the bar below the icon.
  bool listedAsOwn = false;
  for (const auto& w : desktop().windowServer().onScreenWindows(true))
    if (w.number == popover.number)
      listedAsOwn = w.ownerPid == desktop().world().self.pid && w.layer == 101;
  EXPECT_TRUE(listedAsOwn);
  const auto icon = rig->controller().statusItem().item()->buttonScreenFrame();
  ASSERT_TRUE(icon);
  const double arrowTip = popover.frame.x + popover.arrowX;
  EXPECT_NEAR(arrowTip, icon->midX(), 0.5);
  EXPECT_DOUBLE_EQ(popover.frame.y, desktop().world().menuBarHeight);
  EXPECT_EQ(popover.frame.width, 380);

  // Typed words reach the field; Return without a match leaves the panel open.
  desktop().typeText("zz top");
  rig->advance(0.01);
  EXPECT_EQ(panel().view()->field()->text().toStdString(), "zz top");
  EXPECT_EQ(panel().state()->query(), "zz top");
  EXPECT_TRUE(panel().state()->matches().empty());
  desktop().pressKey(platform::key_code::Return);
  rig->advance(0.01);
  EXPECT_TRUE(panel().accessPopover());
  // Deleting works as in any field, and the matches follow.
  for (int i = 0; i < 6; ++i)
    desktop().pressKey(platform::key_code::Delete);
  rig->advance(0.01);
  EXPECT_EQ(panel().state()->query(), "");
  EXPECT_EQ(panel().state()->matches().size(), listed());
  // Escape closes it; the keyboard goes back to the applications.
  desktop().pressKey(platform::key_code::Escape);
  rig->advance(0.01);
  EXPECT_FALSE(panel().accessPopover());
  EXPECT_TRUE(desktop().ownWindows().empty());
  EXPECT_FALSE(desktop().windows().keyWindow());
}

TEST_F(AccessPanelTest, RequestsWhileShownWhileTheMenuIsOpenOrWhileOpeningDoNothing) {
  start(worldWith(0));
  open(true);
  const auto number = panel().window()->number();
  panel().showAccessPanel(false);
  EXPECT_EQ(panel().window()->number(), number);
  EXPECT_TRUE(panel().state()->search());
  panel().closeAccessPanel();
  rig->advance(0.01);

  rig->clickOwnItem("QuiverlyToggle");
  ASSERT_TRUE(rig->controller().itemsMenu().pickerIsShown());
  panel().showAccessPanel(false);
  EXPECT_FALSE(panel().accessPopover());
  desktop().pressKey(platform::key_code::Escape);
  rig->advance(0.01);

  rig->controller().opener().openItem(rig->controller().itemsMenu().listedItems().front());
  for (int i = 0; i < 10 && !rig->controller().opener().activeItem(); ++i)
    rig->advance(0.001);
  ASSERT_TRUE(rig->controller().opener().activeItem());
  panel().showAccessPanel(true);
  EXPECT_FALSE(panel().accessPopover());
}

TEST_F(AccessPanelTest, AClickOutsideClosesThePanelAndArmsTheFoldAgain) {
  start(worldWith(0));
  // Everything shown: the fold waits for its delay, and not while the panel is open.
  rig->controller().showAll();
  rig->advance(0.5);
  const auto armed = [this] {
    const auto& timer = rig->controller().engine().collapseTimer();
    return timer && timer->isValid();
  };
  ASSERT_TRUE(armed());
  open(false);
  EXPECT_FALSE(armed());
  const auto screen = desktop().screens().screens().front().frame;
  desktop().click({screen.midX(), screen.midY()});
  rig->advance(0.01);
  EXPECT_FALSE(panel().accessPopover());
  EXPECT_TRUE(desktop().ownWindows().empty());
  EXPECT_TRUE(armed());
}

TEST_F(AccessPanelTest, WithOverflowOnClickTheIconOpensAPressedOverflowBarThatFollowsThePointer) {
  start(worldWith(0));
  auto features = rig->controller().preferences().features();
  features.overflowOnClick = true;
  rig->controller().preferences().setFeatures(features);
  rig->clickOwnItem("QuiverlyToggle");
  rig->advance(0.05);
  ASSERT_TRUE(panel().accessPopover());
  EXPECT_FALSE(panel().state()->search());
  const auto& button = rig->controller().statusItem().item();
  EXPECT_TRUE(button->isHighlighted()) << "the icon is pressed while the bar hangs from it";

  // The cell under the pointer, and only that one, is under the mouse; off the bar, none is.
  const auto cells = panel().view()->contentArea()->findChildren<QAbstractButton*>();
  ASSERT_GE(cells.size(), 2);
  const auto hovered = [&cells] {
    std::vector<int> under;
    for (int i = 0; i < cells.size(); ++i)
      if (cells.at(i)->underMouse()) under.push_back(i);
    return under;
  };
  desktop().setPointer(screenPointOf(cells.at(0)));
  rig->advance(0.01);
  EXPECT_EQ(hovered(), std::vector<int>{0});
  desktop().setPointer(screenPointOf(cells.at(1)));
  rig->advance(0.01);
  EXPECT_EQ(hovered(), std::vector<int>{1});
  const auto screen = desktop().screens().screens().front().frame;
  desktop().setPointer({screen.midX(), screen.midY()});
  rig->advance(0.01);
  EXPECT_TRUE(hovered().empty());

  rig->clickOwnItem("QuiverlyToggle");
  rig->advance(0.05);
  EXPECT_FALSE(panel().accessPopover());
  EXPECT_FALSE(rig->controller().itemsMenu().pickerIsShown());
  EXPECT_FALSE(button->isHighlighted());
}

TEST_F(AccessPanelTest, TheItemsMenuRowsOpenSearchAndTheOverflowBar) {
  start(worldWith(0));
  for (const bool search : {true, false}) {
    rig->clickOwnItem("QuiverlyToggle");
    ASSERT_TRUE(desktop().chooseMenuRow(search ? "Search Items…" : "Open Overflow Bar"));
    rig->advance(0.05);
    ASSERT_TRUE(panel().accessPopover());
    EXPECT_EQ(panel().state()->search(), search);
    panel().closeAccessPanel();
    rig->advance(0.01);
  }
}

TEST_F(AccessPanelTest, ContentSizesFollowTheNumberOfCandidatesAsDrawn) {
  struct Case {
    int apps;
    double grid, list;
  };
  // The visibility world lists two items of its own in native mode.
  for (const auto& c : {Case{-1, 130, 130}, Case{5, 128, 250}, Case{28, 280, 340}}) {
    SCOPED_TRACE(c.apps);
    start(worldWith(std::max(c.apps, 0)));
    if (c.apps < 0) {
      // Nothing listed: every item excluded.
      std::vector<std::string> ids;
      for (const auto& item : rig->controller().inventory().items())
        ids.push_back(item.id);
      rig->controller().preferences().setExcludedIDs(ids);
    }
    const auto count = listed();
    EXPECT_EQ(count, c.apps < 0 ? 0u : static_cast<std::size_t>(c.apps) + 2);
    for (const bool search : {false, true}) {
      open(search);
      EXPECT_EQ(panel().view()->contentArea()->height(), search ? c.list : c.grid);
      EXPECT_EQ(panel().view()->width(), 380);
      EXPECT_EQ(panel().window()->contentFrame()->height, panel().view()->height());
      panel().closeAccessPanel();
      rig->advance(0.01);
    }
  }
}

TEST_F(AccessPanelTest, AnOpenPanelFollowsTheListedItemsAndTheAppearance) {
  start(worldWith(2));
  open(false);
  const auto dark = [this] { return desktop().ownWindows().at(0).dark; };
  EXPECT_FALSE(dark());
  auto features = rig->controller().preferences().features();
  features.appearance = "dark";
  rig->controller().preferences().setFeatures(features);
  rig->advance(0.01);
  EXPECT_TRUE(dark());
  EXPECT_LT(panel().view()->palette().color(QPalette::Window).lightness(), 128);

  const auto before = panel().state()->candidates();
  ASSERT_GE(before.size(), 2u);
  rig->controller().preferences().setExcludedIDs({before.front().item.id});
  ASSERT_TRUE(panel().accessPopover());
  ASSERT_EQ(panel().state()->candidates().size(), before.size() - 1);
  EXPECT_EQ(panel().state()->candidates().front().item.id, before[1].item.id);
  EXPECT_EQ(panel().view()->contentArea()->findChildren<QAbstractButton*>().size(),
            static_cast<qsizetype>(before.size() - 1));
}

TEST_F(AccessPanelTest, AClickOnAnItemClosesThePanelThenOpensTheItem) {
  start(worldWith(0));
  for (const bool search : {false, true}) {
    SCOPED_TRACE(search ? "result list" : "grid");
    open(search);
    const auto cells = panel().view()->contentArea()->findChildren<QAbstractButton*>();
    ASSERT_GE(cells.size(), 2);
    const auto* second = cells.at(1);
    const auto chosen = second->accessibleName().toStdString();
    // The popover is gone by the time the opening starts.
    bool closedFirst = false;
    desktop().click(screenPointOf(second));
    for (int i = 0; i < 10 && !rig->controller().opener().activeItem(); ++i) {
      rig->advance(0.001);
      closedFirst = !panel().accessPopover() && desktop().ownWindows().empty();
    }
    ASSERT_TRUE(rig->controller().opener().activeItem());
    EXPECT_TRUE(closedFirst);
    EXPECT_EQ(displayName(*rig->controller().opener().activeItem(), desktop().workspace()), chosen);
    desktop().pressKey(platform::key_code::Escape);
    rig->controller().opener().endOpening();
    rig->advance(1);
  }
}

TEST_F(AccessPanelTest, SearchFromTheKeyboardOpensTheSelectedMatch) {
  start(worldWith(3));
  open(true);
  desktop().typeText("app");
  desktop().pressKey(platform::key_code::DownArrow);
  desktop().pressKey(platform::key_code::Return);
  rig->advance(0.01);
  EXPECT_FALSE(panel().accessPopover());
  ASSERT_TRUE(rig->controller().opener().activeItem());
  EXPECT_EQ(rig->controller().opener().activeItem()->appName, "App 1");
}

}  // namespace
}  // namespace tucklet::testing
