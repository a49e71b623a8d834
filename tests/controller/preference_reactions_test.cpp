// How the running controller follows changes of the user's settings: the status item's image and
// count, the debounced re-hide after a visibility change, and the re-armed automatic fold.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "inventory/bar_item.h"
#include "platform/sim/world_loader.h"
#include "tests/support/tucklet_rig.h"

namespace tucklet {
namespace {

using testing::TuckletRig;

class PreferenceReactions : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.launch();
    rig.advance(1);  // start-up step, scan and collapse
    ASSERT_TRUE(controller().engine().collapsed());
    ASSERT_GE(controller().itemsMenu().listedItems().size(), 3u);
  }

  BarController& controller() { return rig.controller(); }
  Preferences& preferences() { return controller().preferences(); }
  sim::OwnStatusItemInfo toggle() { return rig.desktop().ownStatusItems().at(0); }

  // The first listed item that belongs to an ordinary application (not a system control).
  BarItem listedApplicationItem() {
    const auto& workspace = rig.services().workspace;
    for (const auto& item : controller().itemsMenu().listedItems())
      if (!systemControl(item, workspace) && !ownerBundle(item, workspace).empty() &&
          !item.identifier.empty())
        return item;
    ADD_FAILURE() << "no listed application item";
    return {};
  }

  bool extraShown(const std::string& identifier) {
    const auto shown = rig.shownExtras();
    return std::find(shown.begin(), shown.end(), identifier) != shown.end();
  }

  TuckletRig rig{sim::defaultWorld(), testing::setUpDefaults()};
};

TEST_F(PreferenceReactions, StatusItemFollowsTheSymbolAndTheListingKeys) {
  preferences().setSymbol("tray.full");
  ASSERT_NE(toggle().image, nullptr);
  EXPECT_EQ(toggle().image->name, "tray.full");
  EXPECT_EQ(controller().statusItem().displayedSymbol(), "tray.full");
  EXPECT_EQ(toggle().title, "");

  const auto listed = controller().itemsMenu().listedItems();
  const auto countTitle = [](std::size_t count) { return " " + std::to_string(count); };
  preferences().setShowCount(true);
  EXPECT_EQ(toggle().title, countTitle(listed.size()));

  preferences().setExcludedIDs({listed[0].id});
  EXPECT_EQ(toggle().title, countTitle(listed.size() - 1));

  auto features = preferences().features();
  features.alwaysHiddenIDs = {listed[1].id};
  preferences().setFeatures(features);
  EXPECT_EQ(toggle().title, countTitle(listed.size() - 2));

  // A visibility key takes the application's items off the list at once, before the debounced
  // re-hide.
  const auto before = controller().itemsMenu().listedItems().size();
  const auto kept = listedApplicationItem();
  preferences().setVisibleBundles({ownerBundle(kept, rig.services().workspace)});
  const auto after = controller().itemsMenu().listedItems().size();
  EXPECT_LT(after, before);
  EXPECT_EQ(toggle().title, countTitle(after));

  preferences().setShowCount(false);
  EXPECT_EQ(toggle().title, "");

  // A symbol the system does not have leaves the button without an image; the fold comes back.
  preferences().setSymbol("no.such.symbol");
  EXPECT_EQ(toggle().image, nullptr);
  preferences().setSymbol("tucklet.fold");
  ASSERT_NE(toggle().image, nullptr);
  EXPECT_EQ(toggle().image->kind, platform::Image::Kind::Drawing);
}

TEST_F(PreferenceReactions, VisibilityChangesAreFoldedIntoOneHideAfter150Milliseconds) {
  const auto item = listedApplicationItem();
  ASSERT_FALSE(item.identifier.empty());
  ASSERT_FALSE(extraShown(item.identifier));
  const auto generation = controller().engine().visibilityGeneration();

  preferences().setVisibleBundles({ownerBundle(item, rig.services().workspace)});
  rig.advance(0.1);
  preferences().setHideDateTime(true);  // restarts the debounce
  rig.advance(0.14);
  EXPECT_EQ(controller().engine().visibilityGeneration(), generation);
  EXPECT_FALSE(extraShown(item.identifier));

  rig.advance(0.02);
  EXPECT_EQ(controller().engine().visibilityGeneration(), generation + 1);
  EXPECT_TRUE(controller().engine().collapsed());
  EXPECT_TRUE(extraShown(item.identifier));
  EXPECT_EQ(rig.desktop().visibilityAssertionCount(), 1u);

  rig.advance(5);  // nothing more comes of the two changes
  EXPECT_EQ(controller().engine().visibilityGeneration(), generation + 1);
}

TEST_F(PreferenceReactions, CollapseDelayChangeReArmsTheAutomaticFold) {
  controller().showAll();
  ASSERT_FALSE(controller().engine().collapsed());
  rig.advance(1);
  preferences().setCollapseDelay(3);  // counted from the change, not from the reveal
  rig.advance(2.9);
  EXPECT_FALSE(controller().engine().collapsed());
  rig.advance(0.2);
  EXPECT_TRUE(controller().engine().collapsed());

  // Shorter delays than 2 s are stretched to 2 s.
  controller().showAll();
  preferences().setCollapseDelay(0.5);
  rig.advance(1.9);
  EXPECT_FALSE(controller().engine().collapsed());
  rig.advance(0.2);
  EXPECT_TRUE(controller().engine().collapsed());
}

TEST_F(PreferenceReactions, AutoCollapseSwitchCancelsAndRestartsTheFold) {
  controller().showAll();
  preferences().setAutoCollapse(false);
  rig.advance(20);
  EXPECT_FALSE(controller().engine().collapsed());

  preferences().setAutoCollapse(true);  // the full 8 s from now
  rig.advance(7.9);
  EXPECT_FALSE(controller().engine().collapsed());
  rig.advance(0.2);
  EXPECT_TRUE(controller().engine().collapsed());
}

}  // namespace
}  // namespace tucklet
