// The edits the feature panes make, as plain functions from one configuration to the next. Each
// returns a whole new value for `Preferences::setFeatures`; an edit that names a record that is not
// there (deleted meanwhile) returns the configuration unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/feature_configuration.h"

namespace tucklet::feature_editing {

// ---- Groups ----
FeatureConfiguration addGroup(FeatureConfiguration config);
FeatureConfiguration deleteGroup(FeatureConfiguration config, const Uuid& group);
FeatureConfiguration renameGroup(FeatureConfiguration config, const Uuid& group, std::string name);
// On: the item leaves every group and joins this one at the end. Off: it leaves every group.
FeatureConfiguration setItemInGroup(FeatureConfiguration config, const Uuid& group,
                                    const std::string& itemID, bool on);

// ---- Item order and access ----
// Included unless listed in `alwaysHiddenIDs`. Excluding appends the id; including removes every
// occurrence.
bool isIncluded(const FeatureConfiguration& config, const std::string& itemID);
FeatureConfiguration setIncluded(FeatureConfiguration config, const std::string& itemID,
                                 bool included);

enum class Move { earlier, later };
// `orderedIDs` are the current items' ids in the order the pane shows them. Swaps the item with its
// neighbour in `itemOrder` (extended by the shown ids); the first row moving earlier and the last
// moving later change nothing. Ids of items that are not present stay where they were.
FeatureConfiguration moveItem(FeatureConfiguration config, const std::vector<std::string>& orderedIDs,
                              const std::string& itemID, Move direction);

// ---- Presets ----
// Appends `captured` named "Preset " and the new number of presets.
FeatureConfiguration savePreset(FeatureConfiguration config, VisibilityPreset captured);
// The preset takes the captured visibility and keeps its own id and name.
FeatureConfiguration replacePreset(FeatureConfiguration config, const Uuid& preset,
                                   const VisibilityPreset& captured);
FeatureConfiguration renamePreset(FeatureConfiguration config, const Uuid& preset, std::string name);
// Also removes the rules that apply the preset and the shortcuts that choose it.
FeatureConfiguration deletePreset(FeatureConfiguration config, const Uuid& preset);

// ---- Rules ----
FeatureConfiguration addRule(FeatureConfiguration config);
FeatureConfiguration deleteRule(FeatureConfiguration config, const Uuid& rule);
// Replaces the rule with the same id; nothing when it is gone.
FeatureConfiguration updateRule(FeatureConfiguration config, const AutomationRule& rule);

inline constexpr std::int64_t lastMinuteOfDay = 1439;
inline constexpr std::int64_t minuteStep = 15;
// One stepper press up (+1) or down (-1): a quarter hour, held within 00:00…23:59.
std::int64_t stepMinute(std::int64_t minute, int direction);
// "%02d:%02d" of hours and minutes.
std::string minuteText(std::int64_t minute);

// ---- Shortcuts ----
FeatureConfiguration addShortcut(FeatureConfiguration config);
FeatureConfiguration deleteShortcut(FeatureConfiguration config, const Uuid& shortcut);
FeatureConfiguration updateShortcut(FeatureConfiguration config, const KeyboardShortcut& shortcut);
// The raw value capitalised: "Search", "Reveal", ...
std::string actionLabel(ShortcutAction action);

// ---- Quick actions ----
FeatureConfiguration addAction(FeatureConfiguration config);
FeatureConfiguration deleteAction(FeatureConfiguration config, const Uuid& action);
FeatureConfiguration updateAction(FeatureConfiguration config, const QuickAction& action);
// The caption under a URL that no quick action can open; none for an empty or usable URL.
std::optional<std::string_view> urlWarning(const QuickAction& action);

}  // namespace tucklet::feature_editing
