// What the access panel finds for a query, and how its selection moves: plain state, no display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/panel_state.h"
#include "platform/sim/desktop.h"
#include "platform/virtual_run_loop.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

// Items as the scanner reports them, on a desktop that knows their owners.
class PanelStateTest : public ::testing::Test {
 protected:
  PanelStateTest()
      : desktop(visibilityWorld()
                    .app(103, "com.example.cafe", "Café Notes")
                    .extra("cafe.status")
                    .at(220)
                    .withExtra([](sim::WorldExtra& e) { e.title = "Daily log"; })
                    .build(),
                runLoop) {}

  BarItem item(pid_t pid, const std::string& name, const std::string& appName,
               const std::string& identifier) {
    BarItem i;
    i.id = identifier;
    i.name = name;
    i.appName = appName;
    i.identifier = identifier;
    i.pid = pid;
    return i;
  }
  bool matches(const BarItem& i, const std::string& query) {
    return itemMatchesQuery(i, query, desktop.workspace(), Collation("en_US"));
  }
  PanelState state(const std::vector<BarItem>& items, bool search = true) {
    std::vector<PanelCandidate> candidates;
    for (const auto& i : items)
      candidates.push_back(panelCandidate(i, desktop.workspace(), desktop.symbols()));
    return PanelState(search, std::move(candidates), collation);
  }

  platform::VirtualRunLoop runLoop;
  sim::SimDesktop desktop;
  Collation collation{"en_US"};
};

TEST_F(PanelStateTest, QueriesMatchEveryTokenInTheNamesIgnoringCaseAndAccents) {
  const auto wifi = item(100, "", "Control Centre", wifiID);
  EXPECT_TRUE(matches(wifi, "wi fi"));      // each token on its own, around the hyphen
  EXPECT_FALSE(matches(wifi, "wifi"));      // never written without the hyphen
  EXPECT_TRUE(matches(wifi, " \t\u3000"));  // blanks only: no tokens, every item
  const auto cafe = item(103, "Daily log", "Café Notes", "cafe.status");
  EXPECT_TRUE(matches(cafe, "cafe"));  // only the application's name has it, with an accent
  EXPECT_TRUE(matches(cafe, "DAILY notes"));
  EXPECT_FALSE(matches(cafe, "daily music"));

  auto s = state({wifi, cafe});
  EXPECT_TRUE(s.setQuery("   "));
  EXPECT_EQ(s.matches().size(), 2u);
  EXPECT_TRUE(s.setQuery("café"));
  ASSERT_EQ(s.matches(), std::vector<std::size_t>{1});
  EXPECT_EQ(s.selection(), "cafe.status");
  EXPECT_TRUE(s.setQuery("nothing like it"));
  EXPECT_FALSE(s.selection());
  EXPECT_EQ(s.submitTarget(), nullptr);
}

TEST_F(PanelStateTest, TheSelectionMovesWithoutWrappingAround) {
  const auto a = item(101, "Notes", "Notes", notesID);
  const auto b = item(102, "Music", "Music", musicID);
  const auto c = item(103, "Daily log", "Café Notes", "cafe.status");
  auto s = state({a, b, c});
  EXPECT_EQ(s.selection(), notesID);  // the first match when the panel opens
  s.move(+1);
  EXPECT_EQ(s.selection(), musicID);  // ↓: the second match
  s.move(-1);
  s.move(-1);
  EXPECT_EQ(s.selection(), notesID);  // ↑ stops at the first
  s.move(+1);
  s.move(+1);
  s.move(+1);
  EXPECT_EQ(s.selection(), "cafe.status");  // ↓ on the last keeps it
  EXPECT_EQ(s.submitTarget()->item.id, "cafe.status");
  // A new query selects its first match again.
  s.setQuery("notes");
  EXPECT_EQ(s.selection(), notesID);
  s.move(+1);
  EXPECT_EQ(s.selection(), "cafe.status");
}

TEST_F(PanelStateTest, IconsAreSymbolsThenCapturedIconsThenTheAppSymbol) {
  auto battery = item(100, "", "Control Centre", batteryID);
  auto withIcon = item(101, "Notes", "Notes", notesID);
  withIcon.icon = platform::Image::themeIcon("accessories-text-editor");
  const auto bare = item(102, "Music", "Music", musicID);
  const auto& ws = desktop.workspace();
  const auto& symbols = desktop.symbols();
  EXPECT_EQ(panelIcon(battery, ws, symbols)->kind, platform::Image::Kind::SystemSymbol);
  EXPECT_NE(panelIcon(battery, ws, symbols)->name, "app");
  EXPECT_EQ(panelIcon(withIcon, ws, symbols), withIcon.icon);
  EXPECT_EQ(panelIcon(bare, ws, symbols)->name, "app");
}

}  // namespace
}  // namespace tucklet::testing
