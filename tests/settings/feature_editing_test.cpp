// The feature panes' edits: groups keep an item in one group, the item order moves, presets and
// what their deletion takes along, the time steppers, the quick action URL caption.
#include <gtest/gtest.h>

#include "ui/settings/feature_editing.h"

namespace tucklet::feature_editing {
namespace {

TEST(FeatureEditing, AnItemBelongsToAtMostOneGroup) {
  auto config = addGroup(addGroup({}));
  const auto a = config.groups[0].id;
  const auto b = config.groups[1].id;
  config = setItemInGroup(config, a, "x", true);
  config = setItemInGroup(config, a, "y", true);
  config = setItemInGroup(config, b, "x", true);
  EXPECT_EQ(config.groups[0].itemIDs, std::vector<std::string>{"y"});
  EXPECT_EQ(config.groups[1].itemIDs, std::vector<std::string>{"x"});
  config = setItemInGroup(config, a, "x", false);
  EXPECT_TRUE(config.groups[1].itemIDs.empty());
  // A group deleted meanwhile takes nothing away from the others.
  const auto gone = Uuid::random();
  EXPECT_EQ(setItemInGroup(config, gone, "y", true), config);
}

TEST(FeatureEditing, MovingSwapsNeighboursAndKeepsAbsentIds) {
  FeatureConfiguration config;
  const std::vector<std::string> shown = {"a", "b", "c"};
  EXPECT_EQ(moveItem(config, shown, "a", Move::earlier), config);
  EXPECT_EQ(moveItem(config, shown, "c", Move::later), config);
  EXPECT_EQ(moveItem(config, shown, "a", Move::later).itemOrder,
            (std::vector<std::string>{"b", "a", "c"}));

  // Stored ids of items that are gone stay where they are; repeats collapse to the first.
  config.itemOrder = {"gone", "c", "a", "c"};
  const std::vector<std::string> ordered = {"c", "a", "b"};
  EXPECT_EQ(moveItem(config, ordered, "a", Move::later).itemOrder,
            (std::vector<std::string>{"gone", "c", "b", "a"}));
  EXPECT_EQ(moveItem(config, ordered, "a", Move::earlier).itemOrder,
            (std::vector<std::string>{"gone", "a", "c", "b"}));
}

TEST(FeatureEditing, IncludeTogglesTheAlwaysHiddenList) {
  FeatureConfiguration config;
  config.alwaysHiddenIDs = {"a", "b", "a"};
  EXPECT_FALSE(isIncluded(config, "a"));
  config = setIncluded(config, "a", true);
  EXPECT_EQ(config.alwaysHiddenIDs, std::vector<std::string>{"b"});
  config = setIncluded(config, "c", false);
  EXPECT_EQ(config.alwaysHiddenIDs, (std::vector<std::string>{"b", "c"}));
}

TEST(FeatureEditing, PresetsAreNumberedReplacedAndDeletedWithTheirRulesAndShortcuts) {
  // Each capture is a new preset with an id of its own.
  auto captured = [] {
    VisibilityPreset preset;
    preset.bundles = {"com.example.notes"};
    return preset;
  };
  auto config = savePreset(savePreset({}, captured()), captured());
  config = savePreset(config, captured());
  EXPECT_EQ(config.presets[2].name, "Preset 3");
  const auto kept = config.presets[0].id;
  const auto doomed = config.presets[1].id;

  // Names may repeat: after a deletion the next one counts the presets left.
  EXPECT_EQ(savePreset(deletePreset(config, doomed), captured()).presets.back().name, "Preset 3");

  VisibilityPreset later;
  later.hideBattery = true;
  const auto replaced = replacePreset(config, kept, later).presets[0];
  EXPECT_EQ(replaced.id, kept);
  EXPECT_EQ(replaced.name, "Preset 1");
  EXPECT_TRUE(replaced.hideBattery);
  EXPECT_TRUE(replaced.bundles.empty());

  config = addRule(addRule(config));
  config.rules[0].presetID = doomed;
  config.rules[1].presetID = kept;
  config = addShortcut(addShortcut(addShortcut(config)));
  config.shortcuts[0].action = ShortcutAction::preset;
  config.shortcuts[0].target = doomed.text();
  config.shortcuts[1].action = ShortcutAction::preset;
  config.shortcuts[1].target = kept.text();
  // An item shortcut is never a preset's, whatever its target says.
  config.shortcuts[2].action = ShortcutAction::item;
  config.shortcuts[2].target = doomed.text();

  const auto after = deletePreset(config, doomed);
  ASSERT_EQ(after.presets.size(), 2u);
  ASSERT_EQ(after.rules.size(), 1u);
  EXPECT_EQ(after.rules[0].presetID, kept);
  ASSERT_EQ(after.shortcuts.size(), 2u);
  EXPECT_EQ(after.shortcuts[0].target, kept.text());
  EXPECT_EQ(after.shortcuts[1].action, ShortcutAction::item);
}

TEST(FeatureEditing, TimeSteppersMoveInQuarterHoursWithinTheDay) {
  EXPECT_EQ(stepMinute(540, 1), 555);
  EXPECT_EQ(stepMinute(540, -1), 525);
  EXPECT_EQ(stepMinute(0, -1), 0);
  EXPECT_EQ(stepMinute(10, -1), 0);
  EXPECT_EQ(stepMinute(1425, 1), 1439);
  EXPECT_EQ(stepMinute(1439, 1), 1439);
  EXPECT_EQ(minuteText(0), "00:00");
  EXPECT_EQ(minuteText(1439), "23:59");
  EXPECT_EQ(minuteText(555), "09:15");
}

TEST(FeatureEditing, OnlyAFilledUnusableUrlIsFlagged) {
  QuickAction action;
  EXPECT_FALSE(urlWarning(action));
  action.url = "ftp://example.com";
  EXPECT_EQ(urlWarning(action), "Use an http, https, or shortcuts URL.");
  action.url = "shortcuts://run-shortcut?name=Focus";
  EXPECT_FALSE(urlWarning(action));
  EXPECT_EQ(actionLabel(ShortcutAction::overflow), "Overflow");
}

}  // namespace
}  // namespace tucklet::feature_editing
