// Clicks on Tucklet's icon: which route each click takes, and a left click handled after the
// click itself is over, through the whole program on the simulated desktop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "menubar/status_item.h"
#include "platform/lifetime.h"
#include "platform/sim/desktop.h"
#include "platform/user_defaults.h"
#include "platform/virtual_run_loop.h"
#include "tests/support/tucklet_rig.h"
#include "tests/visibility/visibility_worlds.h"

namespace tucklet::testing {
namespace {

// A status item whose routes only write down where a click went.
struct RoutedItem {
  RoutedItem() {
    auto toggle = desktop.statusBar().createStatusItem(platform::StatusItem::VariableLength);
    auto note = [this](const char* route) { return [this, route] { routes.push_back(route); }; };
    item = std::make_unique<StatusItem>(toggle, preferences, desktop.symbols(), runLoop, lifetime,
                                        StatusItem::Links{
                                            .listedItemCount = [] { return std::size_t{0}; },
                                            .itemsMenuShown = [this] { return menuShown; },
                                            .closeItemsMenu = note("close menu"),
                                            .showItemsMenu = note("menu"),
                                            .toggleReveal = note("reveal"),
                                            .scheduleAutoCollapse = [] {},
                                            .overflowBarShown = [] { return false; },
                                            .toggleOverflowBar = note("overflow"),
                                            .closeOverflowBar = [] {},
                                            .openSettingsWindow = note("settings"),
                                        });
  }

  std::string route(bool right, bool option) {
    routes.clear();
    item->handleClick(right, option);
    return routes.size() == 1 ? routes.front() : "(" + std::to_string(routes.size()) + " routes)";
  }

  platform::VirtualRunLoop runLoop;
  sim::SimDesktop desktop{WorldBuilder().build(), runLoop};
  platform::MemoryUserDefaults defaults;
  Preferences preferences{defaults};
  platform::Lifetime lifetime;
  bool menuShown = false;
  std::vector<std::string> routes;
  std::unique_ptr<StatusItem> item;
};

TEST(StatusItemClicks, TheFirstRouteThatAppliesWins) {
  RoutedItem r;
  auto features = r.preferences.features();

  EXPECT_EQ(r.route(false, false), "menu");
  EXPECT_EQ(r.route(false, true), "reveal");
  r.preferences.setOptionClickReveals(false);
  EXPECT_EQ(r.route(false, true), "menu") << "Option-click without the preference is a click";
  r.preferences.setOptionClickReveals(true);

  features.overflowOnClick = true;
  r.preferences.setFeatures(features);
  EXPECT_EQ(r.route(false, false), "overflow");
  r.menuShown = true;
  EXPECT_EQ(r.route(false, false), "close menu") << "a click while the menu is open closes it";
  EXPECT_EQ(r.route(false, true), "reveal");
  // Right always leads to the settings, whatever else holds.
  EXPECT_EQ(r.route(true, true), "settings");
  r.menuShown = false;
  EXPECT_EQ(r.route(true, false), "settings");
}

TEST(StatusItemClicks, ALeftClickOpensTheMenuOnceTheClickIsOverAndASecondClosesIt) {
  TuckletRig rig(visibilityWorld().build(), setUpDefaults());
  auto& controller = rig.launch();
  rig.advance(1);
  ASSERT_TRUE(controller.engine().collapsed());

  rig.clickOwnItem("QuiverlyToggle");
  ASSERT_TRUE(rig.desktop().trackedMenu());
  EXPECT_TRUE(controller.itemsMenu().pickerIsShown());
  EXPECT_TRUE(controller.statusItem().inExpandedSession()) << "lasts while the menu is open";
  const auto& button = controller.statusItem().item();
  EXPECT_TRUE(button->isHighlighted()) << "drawn pressed while its menu hangs from it";

  rig.clickOwnItem("QuiverlyToggle");
  EXPECT_FALSE(rig.desktop().trackedMenu());
  EXPECT_FALSE(controller.itemsMenu().pickerIsShown());
  EXPECT_FALSE(controller.statusItem().inExpandedSession());
  EXPECT_FALSE(button->isHighlighted());

  // Opened without a click (a shortcut, the menu's own key), it is pressed all the same.
  controller.itemsMenu().showItemsMenu();
  EXPECT_TRUE(button->isHighlighted());
  controller.itemsMenu().cancelMenuTracking();
  rig.advance(0.1);
  EXPECT_FALSE(button->isHighlighted());

  // A right click never opens the menu; with Option a left click reveals instead.
  rig.clickOwnItem("QuiverlyToggle", platform::ModifierOption, true);
  EXPECT_FALSE(rig.desktop().trackedMenu());
  EXPECT_TRUE(controller.engine().collapsed());
  rig.clickOwnItem("QuiverlyToggle", platform::ModifierOption);
  EXPECT_FALSE(rig.desktop().trackedMenu());
  EXPECT_FALSE(controller.engine().collapsed());
  EXPECT_FALSE(controller.statusItem().inExpandedSession()) << "nothing shows: the session ended";
  EXPECT_FALSE(button->isHighlighted());
}

}  // namespace
}  // namespace tucklet::testing
