// The user's feature settings as one value: item groups, visibility presets, automation rules,
// global shortcuts, quick actions, the item order, the always-hidden list and the overflow bar
// options. Preferences holds the live copy and stores it as JSON (features/feature_codec.h);
// everything else reads it or replaces it whole.
//
// Records compare field by field. Records with an `id` get a fresh random one when made; it never
// changes afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/uuid.h"

namespace tucklet {

struct ItemGroup {
  Uuid id = Uuid::random();
  std::string name = "New Group";
  std::vector<std::string> itemIDs;

  friend bool operator==(const ItemGroup&, const ItemGroup&) = default;
};

// A snapshot of the four visibility settings of Preferences.
struct VisibilityPreset {
  Uuid id = Uuid::random();
  std::string name;
  std::vector<std::string> bundles;   // applications whose items stay visible
  std::vector<std::int64_t> systems;  // raw values of SystemControl that stay visible
  bool hideBattery = false;
  bool hideDateTime = false;

  friend bool operator==(const VisibilityPreset&, const VisibilityPreset&) = default;
};

enum class RuleCondition {
  application,
  runningApplication,
  displayCount,
  timeRange,
  batteryBelow,
  powerSource,
};

// Every condition in picker order.
inline constexpr std::array<RuleCondition, 6> allRuleConditions = {
    RuleCondition::application, RuleCondition::runningApplication, RuleCondition::displayCount,
    RuleCondition::timeRange,   RuleCondition::batteryBelow,       RuleCondition::powerSource,
};

std::string_view rawValue(RuleCondition condition);
std::optional<RuleCondition> ruleConditionFromRaw(std::string_view raw);

struct AutomationRule {
  Uuid id = Uuid::random();
  bool enabled = true;
  RuleCondition condition = RuleCondition::application;
  // The condition's argument as text: a bundle identifier, a count, a percentage, "ac"/"battery".
  std::string value;
  // Minutes after local midnight; only `timeRange` reads them.
  std::int64_t startMinute = 540;
  std::int64_t endMinute = 1020;
  std::optional<Uuid> presetID;  // the preset to apply

  friend bool operator==(const AutomationRule&, const AutomationRule&) = default;
};

enum class ShortcutAction { search, reveal, overflow, item, preset };

// Every action in picker order.
inline constexpr std::array<ShortcutAction, 5> allShortcutActions = {
    ShortcutAction::search, ShortcutAction::reveal, ShortcutAction::overflow,
    ShortcutAction::item,   ShortcutAction::preset,
};

std::string_view rawValue(ShortcutAction action);
std::optional<ShortcutAction> shortcutActionFromRaw(std::string_view raw);

// A new shortcut is Control-Option-Command-S bound to search.
struct KeyboardShortcut {
  Uuid id = Uuid::random();
  ShortcutAction action = ShortcutAction::search;
  std::uint32_t keyCode = 1;  // virtual key code of S
  std::string keyLabel = "S";
  bool command = true;
  bool option = true;
  bool control = true;
  bool shift = false;
  // The item id for `item`, the preset's UUID text for `preset`, empty otherwise.
  std::string target;

  friend bool operator==(const KeyboardShortcut&, const KeyboardShortcut&) = default;
};

struct QuickAction {
  Uuid id = Uuid::random();
  std::string name = "New Action";
  std::string url;

  friend bool operator==(const QuickAction&, const QuickAction&) = default;
};

struct FeatureConfiguration {
  std::vector<ItemGroup> groups;
  std::vector<VisibilityPreset> presets;
  std::vector<AutomationRule> rules;  // evaluation order
  std::vector<KeyboardShortcut> shortcuts;
  std::vector<QuickAction> actions;
  std::vector<std::string> alwaysHiddenIDs;
  std::vector<std::string> itemOrder;
  bool hoverReveal = false;
  double hoverDelay = 0.5;  // seconds
  bool scrollReveal = false;
  bool overflowOnClick = false;
  double overflowSpacing = 12.0;      // points
  std::string appearance = "system";  // "light", "dark"; anything else follows the system

  friend bool operator==(const FeatureConfiguration&, const FeatureConfiguration&) = default;
};

// Held by the rule engine, never stored: the user's own visibility settings from before a rule
// first applied a preset, and the preset a rule applied last.
struct AutomaticVisibilityState {
  std::optional<VisibilityPreset> baseline;
  std::optional<VisibilityPreset> active;

  friend bool operator==(const AutomaticVisibilityState&,
                         const AutomaticVisibilityState&) = default;
};

// Names one menu bar item for the interface review; not part of the stored configuration.
struct ItemIdentity {
  std::string identifier;
  std::string label;

  friend bool operator==(const ItemIdentity&, const ItemIdentity&) = default;
};

// The URL a quick action opens: its text unchanged when it has a scheme (RFC 3986: a letter, then
// letters, digits, "+", "-" or "."), a ":" and something after it, and the scheme is https, http
// or shortcuts in any case. Otherwise nothing.
std::optional<std::string> openableURL(std::string_view url);
std::optional<std::string> openableURL(const QuickAction& action);

}  // namespace tucklet
