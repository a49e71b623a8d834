// The items menu: its rows for each state the user can be in, the rows of the listed items, the
// rows' actions, and where the menu hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "menubar/items_menu.h"
#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

constexpr const char* almanacID = "almanac.status";
constexpr const char* backupID = "backup.status";

// The visibility world with two more applications: one whose name starts in lower case, and one
// whose item is titled differently from the application (so it has a detail name).
WorldBuilder menuWorld() {
  return visibilityWorld()
      .app(103, "com.example.almanac", "almanac")
      .extra(almanacID)
      .at(220)
      .app(104, "com.example.backup", "Backup")
      .withApp([](sim::WorldApplication& a) { a.iconTheme = "drive-harddisk"; })
      .extra(backupID)
      .at(230)
      .withExtra([](sim::WorldExtra& e) { e.title = "Backup server running"; });
}

// The rows as the user reads them: "—" a separator, "[Title]" a section header, "(Title)" a
// disabled row, and a key equivalent after the title.
std::vector<std::string> shown(const platform::MenuModel& menu) {
  std::vector<std::string> rows;
  for (const auto& row : menu.rows) {
    if (row.kind == platform::MenuRow::Kind::Separator) {
      rows.push_back("—");
      continue;
    }
    if (row.kind == platform::MenuRow::Kind::SectionHeader) {
      rows.push_back("[" + row.title + "]");
      continue;
    }
    auto text = row.title + (row.keyEquivalent.empty() ? "" : " ⌘" + row.keyEquivalent);
    rows.push_back(row.enabled ? text : "(" + text + ")");
  }
  return rows;
}

std::vector<std::string> commands(const char* showOrHide) {
  return {"—",        "Search Items…",  "Open Overflow Bar",
          showOrHide, "Settings… ⌘,",   "(Check for Updates…)",
          "—",        "Quit tucklet ⌘q"};
}

std::vector<std::string> joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const platform::MenuRow& rowTitled(const platform::MenuModel& menu, const std::string& title) {
  const auto it = std::find_if(menu.rows.begin(), menu.rows.end(),
                               [&title](const platform::MenuRow& r) { return r.title == title; });
  if (it == menu.rows.end()) throw std::runtime_error("no row " + title);
  return *it;
}

std::string idOf(BarController& controller, const std::string& identifier) {
  for (const auto& item : controller.inventory().items())
    if (item.identifier == identifier) return item.id;
  ADD_FAILURE() << "no item " << identifier;
  return {};
}

TEST(ItemsMenuRows, WithoutAccessOrWithNothingListedTheCommandsRemain) {
  {
    SCOPED_TRACE("not trusted");
    TuckletRig rig(
        menuWorld().withWorld([](sim::World& w) { w.accessibilityTrusted = false; }).build(),
        setUpDefaults());
    auto& menu = rig.launch().itemsMenu();
    menu.buildItemsMenu();
    EXPECT_EQ(shown(menu.pickerMenu()),
              joined({"Allow Accessibility…"}, commands("Hide Menu Bar Items")));
  }
  {
    SCOPED_TRACE("trusted, only the battery and the clock, which stay visible");
    TuckletRig rig(WorldBuilder()
                       .app(100, "com.apple.controlcenter", "Control Centre")
                       .extra(batteryID)
                       .withExtra([](sim::WorldExtra& e) { e.control = 0; })
                       .extra(clockID)
                       .withExtra([](sim::WorldExtra& e) { e.control = 2; })
                       .withWorld([](sim::World& w) { w.visibilityFramework.path = "builtin"; })
                       .build(),
                   setUpDefaults());
    auto& controller = rig.launch();
    rig.advance(1);
    ASSERT_TRUE(controller.engine().collapsed());
    controller.itemsMenu().buildItemsMenu();
    EXPECT_EQ(shown(controller.itemsMenu().pickerMenu()),
              joined({"(No menu bar items)"}, commands("Show All Menu Bar Items")));
  }
}

TEST(ItemsMenuRows, GroupsThenApplicationsThenTheSystemAndTheNotice) {
  TuckletRig rig(menuWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  auto& menu = controller.itemsMenu();
  auto& preferences = controller.preferences();

  auto features = preferences.features();
  features.groups = {
      ItemGroup{.name = "Work", .itemIDs = {idOf(controller, notesID), idOf(controller, wifiID)}},
      ItemGroup{.name = "Gone", .itemIDs = {"com.example.gone:item", idOf(controller, batteryID)}},
      ItemGroup{.name = "Media", .itemIDs = {idOf(controller, musicID), idOf(controller, notesID)}},
  };
  preferences.setFeatures(features);
  menu.buildItemsMenu();
  // Listed in the bar's order, left to right; the group of unlisted items makes no section.
  EXPECT_EQ(shown(menu.pickerMenu()),
            joined({"[Work]", "Notes", "Wi-Fi", "—", "[Media]", "Music", "Notes", "Backup",
                    "almanac", "—", "[System]", "Now Playing"},
                   commands("Show All Menu Bar Items")));

  // Alphabetical by the user's collation, which ignores case; the system section opens the menu
  // when nothing else comes first.
  features.groups.clear();
  features.alwaysHiddenIDs = {idOf(controller, musicID), idOf(controller, notesID),
                              idOf(controller, almanacID), idOf(controller, backupID)};
  preferences.setFeatures(features);
  preferences.setAlphabetical(true);
  controller.notice().show("Something broke.");
  menu.buildItemsMenu();
  EXPECT_EQ(shown(menu.pickerMenu()),
            joined({"—", "[System]", "Now Playing", "Wi-Fi", "Something needs attention…"},
                   commands("Show All Menu Bar Items")));
  const auto& notice = rowTitled(menu.pickerMenu(), "Something needs attention…");
  EXPECT_EQ(notice.imageName, "exclamationmark.triangle");
  EXPECT_EQ(notice.toolTip, "Something broke.");

  features.alwaysHiddenIDs.clear();
  preferences.setFeatures(features);
  controller.notice().clear();
  menu.buildItemsMenu();
  EXPECT_EQ(shown(menu.pickerMenu()),
            joined({"almanac", "Backup", "Music", "Notes", "—", "[System]", "Now Playing", "Wi-Fi"},
                   commands("Show All Menu Bar Items")));
}

TEST(ItemsMenuRows, ItemRowsCarryTheirItemNamesAndImages) {
  TuckletRig rig(menuWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  auto& menu = controller.itemsMenu();
  menu.buildItemsMenu();

  const auto& backup = rowTitled(menu.pickerMenu(), "Backup");
  EXPECT_EQ(backup.subtitle, "Backup server running");
  EXPECT_EQ(backup.toolTip, "Backup server running");
  ASSERT_TRUE(backup.image);
  EXPECT_EQ(backup.image->name, "drive-harddisk");
  EXPECT_EQ(backup.image->size, (platform::Size{18, 18}));
  const auto* item = std::any_cast<BarItem>(&backup.representedObject);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->id, idOf(controller, backupID));

  const auto& wifi = rowTitled(menu.pickerMenu(), "Wi-Fi");
  ASSERT_TRUE(wifi.image);
  EXPECT_EQ(wifi.image->kind, platform::Image::Kind::SystemSymbol);
  EXPECT_EQ(wifi.image->name, "wifi");
  EXPECT_EQ(wifi.image->size, (platform::Size{18, 18}));
  EXPECT_EQ(wifi.subtitle, "");
  EXPECT_EQ(wifi.toolTip, "");

  controller.preferences().setShowAppNames(false);
  menu.buildItemsMenu();
  EXPECT_EQ(rowTitled(menu.pickerMenu(), "Backup").subtitle, "");
}

TEST(ItemsMenuRows, PresetsQuickActionsAndWhatTheRowsDo) {
  TuckletRig rig(menuWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  auto features = controller.preferences().features();
  features.presets.emplace_back().name = "Travel";
  for (const auto& [name, url] : {std::pair{"Files", "ftp://example.com/"},
                                  std::pair{"Run", "SHORTCUTS://run-shortcut?name=Tea"},
                                  std::pair{"Site", "https://example.com/"}}) {
    auto& action = features.actions.emplace_back();
    action.name = name;
    action.url = url;
  }
  controller.preferences().setFeatures(features);

  rig.clickOwnItem("QuiverlyToggle");
  const auto menu = rig.desktop().trackedMenu();
  ASSERT_TRUE(menu);
  const auto rows = shown(*menu);
  const auto overflow = std::find(rows.begin(), rows.end(), "Open Overflow Bar");
  ASSERT_NE(overflow, rows.end());
  EXPECT_EQ(std::vector<std::string>(overflow + 1, overflow + 7),
            (std::vector<std::string>{"—", "[Presets]", "Travel", "—", "Run", "Site"}));

  // A quick action opens its URL as the menu closes.
  ASSERT_TRUE(rig.desktop().chooseMenuRow("Site"));
  rig.runLoop.drain();
  EXPECT_EQ(rig.desktop().openedURLs(), (std::vector<std::string>{"https://example.com/"}));
  EXPECT_FALSE(controller.itemsMenu().pickerIsShown());

  // The show/hide row reveals everything; quitting restores the bar and ends Tucklet.
  rig.clickOwnItem("QuiverlyToggle");
  ASSERT_TRUE(rig.desktop().chooseMenuRow("Show All Menu Bar Items"));
  rig.runLoop.drain();
  EXPECT_FALSE(controller.engine().collapsed());
  rig.clickOwnItem("QuiverlyToggle");
  ASSERT_TRUE(rig.desktop().chooseMenuRow("Quit tucklet"));
  rig.runLoop.drain();
  EXPECT_TRUE(rig.desktop().terminationRequested());
}

TEST(ItemsMenuPosition, HangsBelowTheIconRightAlignedAndFourPointsInside) {
  const std::vector<platform::Screen> screens = {
      {{0, 0, 1512, 982}, {0, 0, 1512, 958}, 1},
      {{1512, 0, 1920, 1080}, {1512, 60, 1920, 996}, 2},  // Dock at the bottom
  };
  const auto at = [&screens](double x, double width = 270) {
    return itemsMenuTopLeft(platform::Rect{x, 958, 22, 24}, screens, width);
  };
  EXPECT_EQ(at(1400), (platform::Point{1152, 956}));  // right edges meet
  EXPECT_EQ(at(1490), (platform::Point{1238, 956}));  // 4 points inside the right edge
  EXPECT_EQ(at(100), (platform::Point{4, 956}));      // 4 points inside the left edge
  EXPECT_EQ(at(1512 + 1898), (platform::Point{1512 + 1920 - 4 - 270, 956}));
  EXPECT_EQ(at(1400, 2000), (platform::Point{4, 956})) << "wider than the screen: the left wins";
  EXPECT_FALSE(itemsMenuTopLeft(std::nullopt, screens, 270));
  EXPECT_FALSE(itemsMenuTopLeft(platform::Rect{-500, 958, 22, 24}, screens, 270));

  // On the desktop: the menu as wide as it is drawn, its right edge under the icon's.
  TuckletRig rig(menuWorld().build(), setUpDefaults());
  rig.launch();
  rig.advance(1);
  rig.clickOwnItem("QuiverlyToggle");
  const auto menus = rig.desktop().openMenus();
  ASSERT_EQ(menus.size(), 1u);
  for (const auto& slot : rig.desktop().menuBarLayout())
    if (slot.autosaveName == "QuiverlyToggle") {
      EXPECT_DOUBLE_EQ(menus.front().frame.maxX(), slot.frame.maxX());
      EXPECT_DOUBLE_EQ(menus.front().frame.minY(), 24 + 2) << "2 points below the bar";
    }
  EXPECT_GE(menus.front().frame.width, 270);
}

}  // namespace
}  // namespace tucklet::testing
