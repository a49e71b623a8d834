// This process's pop-up menu while it tracks: the highlight under the pointer and the arrow keys,
// Return and Escape, clicks on its status item and elsewhere, and the size and place it gets.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using platform::EventType;
using platform::InputEvent;
using platform::MenuModel;
using platform::MenuRow;
namespace key_code = platform::key_code;

class MenuTrackingTest : public DesktopTest {
 protected:
  void SetUp() override {
    start(WorldBuilder().app(100, "com.example.a", "A").extra("a-item").at(0).build());
    item = desktop->statusBar().createStatusItem(24);
  }

  MenuRow row(const std::string& title) {
    MenuRow r;
    r.title = title;
    r.action = [this, title] { events.push_back(title); };
    return r;
  }

  std::optional<std::size_t> highlighted() { return desktop->openMenus().at(0).highlighted; }

  // The centre of a row of the open menu, in screen coordinates.
  Point rowCentre(std::size_t index) {
    const auto open = desktop->openMenus().at(0);
    const auto& frame = open.layout.rows.at(index).frame;
    const double windowListY = open.frame.y + frame.y + frame.height / 2;
    return {open.frame.x + frame.width / 2, 982 - windowListY};
  }

  void popUp(const MenuModel& menu) {
    desktop->menus().popUp(menu, item, [this] { events.push_back("closed"); });
  }

  platform::StatusItemRef item;
  std::vector<std::string> events;
};

TEST_F(MenuTrackingTest, PointerAndArrowKeysHighlightOnlyRowsThatCanBeChosen) {
  MenuModel menu;
  MenuRow header;
  header.kind = MenuRow::Kind::SectionHeader;
  header.title = "Group";
  auto disabled = row("Disabled");
  disabled.enabled = false;
  auto parent = row("Presets");
  parent.submenu = {row("Work")};
  menu.rows = {header, row("First"), MenuRow::separator(), disabled, parent, row("Last")};
  popUp(menu);
  EXPECT_EQ(highlighted(), std::nullopt);

  // Down from nothing takes the first row that can be chosen, then skips the separator, the
  // disabled row and the submenu row, and wraps around at the end; up goes back.
  desktop->pressKey(key_code::DownArrow);
  EXPECT_EQ(highlighted(), 1u);
  desktop->pressKey(key_code::DownArrow);
  EXPECT_EQ(highlighted(), 5u);
  desktop->pressKey(key_code::DownArrow);
  EXPECT_EQ(highlighted(), 1u);
  desktop->pressKey(key_code::UpArrow);
  EXPECT_EQ(highlighted(), 5u);

  // The pointer takes the highlight; over a row that cannot be chosen or outside, nothing is.
  desktop->setPointer(rowCentre(1));
  EXPECT_EQ(highlighted(), 1u);
  desktop->setPointer(rowCentre(3));
  EXPECT_EQ(highlighted(), std::nullopt);
  desktop->setPointer(rowCentre(5));
  EXPECT_EQ(highlighted(), 5u);
  desktop->setPointer({700, 500});
  EXPECT_EQ(highlighted(), std::nullopt);

  // Return chooses the highlighted row; the menu has closed before its action runs.
  desktop->pressKey(key_code::UpArrow);
  desktop->pressKey(key_code::Return);
  EXPECT_FALSE(desktop->menus().isTracking());
  EXPECT_FALSE(loop.isTracking());
  loop.drain();
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "Last"}));

  // Return with nothing highlighted closes the menu and chooses nothing; so does Escape.
  events.clear();
  popUp(menu);
  desktop->pressKey(key_code::Return);
  popUp(menu);
  desktop->pressKey(key_code::DownArrow);
  desktop->pressKey(key_code::Escape);
  loop.drain();
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "closed"}));
  EXPECT_FALSE(loop.isTracking());
}

// As on a Mac, a click on the status item whose menu is tracking only closes the menu: the
// item's action sees neither that mouse-down nor its mouse-up. The next click reaches it, with
// its modifier flags. A click anywhere else closes the menu and ends tracking too.
TEST_F(MenuTrackingTest, ClickOnItsStatusItemOnlyClosesTheMenu) {
  std::vector<InputEvent> clicks;
  item->setAction([&](const InputEvent& e) { clicks.push_back(e); },
                  platform::eventMaskFor(EventType::LeftMouseDown) |
                      platform::eventMaskFor(EventType::LeftMouseUp));
  MenuModel menu;
  menu.rows = {row("Only")};
  const auto button = *item->buttonScreenFrame();
  desktop->menus().popUpAt(menu, {button.minX() - 200, button.minY() - 2}, item,
                           [this] { events.push_back("closed"); });
  desktop->click(centre(button), platform::ModifierOption);
  loop.drain();
  EXPECT_EQ(events, (std::vector<std::string>{"closed"}));
  EXPECT_TRUE(clicks.empty());
  EXPECT_FALSE(loop.isTracking());

  desktop->click(centre(button), platform::ModifierOption);
  loop.drain();
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[1].type, EventType::LeftMouseUp);
  EXPECT_EQ(clicks[1].modifiers, platform::ModifierOption);

  popUp(menu);
  desktop->click({700, 500});
  loop.drain();
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "closed"}));
  EXPECT_FALSE(desktop->menus().isTracking());
  EXPECT_FALSE(loop.isTracking());
  EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(MenuTrackingTest, SizeAndPlaceFollowTheRows) {
  MenuModel menu;
  menu.minimumWidth = 270;
  menu.rows = {row("Quit")};
  const auto small = desktop->menus().menuSize(menu);
  EXPECT_EQ(small.width, 270) << "never narrower than the model's minimum";

  // A long title, a key equivalent and a subtitle each ask for more room.
  const std::string longTitle = "A menu bar item with a remarkably long and descriptive title";
  menu.rows.push_back(row(longTitle));
  const auto wide = desktop->menus().menuSize(menu);
  EXPECT_GT(wide.width, 270);
  menu.rows.back().keyEquivalent = "q";
  EXPECT_GT(desktop->menus().menuSize(menu).width, wide.width);
  menu.rows.back().subtitle = "Example";
  EXPECT_GT(desktop->menus().menuSize(menu).height, wide.height);

  // Popped up at a point, the menu's top-left corner is there, and it has the size measured.
  const auto size = desktop->menus().menuSize(menu);
  desktop->menus().popUpAt(menu, {300, 900}, item, [] {});
  auto open = desktop->openMenus().at(0);
  EXPECT_EQ(open.frame, (Rect{300, 982 - 900, size.width, size.height}));
  EXPECT_EQ(desktop->windowServer().onScreenWindows(true).front().bounds, open.frame);
  // Too far right for the screen, it is moved back onto it.
  desktop->menus().popUpAt(menu, {1500, 900}, item, [] {});
  EXPECT_EQ(desktop->openMenus().at(0).frame.maxX(), 1512);

  // Light and dark: the model's choice, else the system's appearance.
  EXPECT_FALSE(desktop->openMenus().at(0).layout.dark);
  desktop->setDarkAppearance(true);
  popUp(menu);
  EXPECT_TRUE(desktop->openMenus().at(0).layout.dark);
  menu.appearance = platform::MenuAppearance::Light;
  popUp(menu);
  EXPECT_FALSE(desktop->openMenus().at(0).layout.dark);

  // A known symbol opens an image column; a name the system does not know draws nothing, not
  // even an empty square.
  menu.rows.front().imageName = "wifi";
  menu.rows.back().imageName = "no.such.symbol";
  popUp(menu);
  const auto layout = desktop->openMenus().at(0).layout;
  ASSERT_NE(layout.rows.front().image, nullptr);
  EXPECT_EQ(layout.rows.front().image->name, "wifi");
  EXPECT_EQ(layout.rows.back().image, nullptr);
  EXPECT_GT(layout.titleX, layout.imageX);
}

}  // namespace
}  // namespace tucklet::testing
