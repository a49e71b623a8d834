#include "ui/settings/feature_editing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_set>

namespace tucklet::feature_editing {

namespace {

template <typename Record>
Record* find(std::vector<Record>& records, const Uuid& id) {
  const auto it = std::find_if(records.begin(), records.end(),
                               [&id](const Record& r) { return r.id == id; });
  return it == records.end() ? nullptr : &*it;
}

template <typename Record>
void erase(std::vector<Record>& records, const Uuid& id) {
  std::erase_if(records, [&id](const Record& r) { return r.id == id; });
}

template <typename Record>
void replace(std::vector<Record>& records, const Record& record) {
  if (auto* stored = find(records, record.id)) *stored = record;
}

}  // namespace

FeatureConfiguration addGroup(FeatureConfiguration config) {
  config.groups.push_back(ItemGroup{});
  return config;
}

FeatureConfiguration deleteGroup(FeatureConfiguration config, const Uuid& group) {
  erase(config.groups, group);
  return config;
}

FeatureConfiguration renameGroup(FeatureConfiguration config, const Uuid& group, std::string name) {
  if (auto* stored = find(config.groups, group)) stored->name = std::move(name);
  return config;
}

FeatureConfiguration setItemInGroup(FeatureConfiguration config, const Uuid& group,
                                    const std::string& itemID, bool on) {
  if (!find(config.groups, group)) return config;
  for (auto& each : config.groups)
    std::erase(each.itemIDs, itemID);
  if (on) find(config.groups, group)->itemIDs.push_back(itemID);
  return config;
}

bool isIncluded(const FeatureConfiguration& config, const std::string& itemID) {
  return std::find(config.alwaysHiddenIDs.begin(), config.alwaysHiddenIDs.end(), itemID) ==
         config.alwaysHiddenIDs.end();
}

FeatureConfiguration setIncluded(FeatureConfiguration config, const std::string& itemID,
                                 bool included) {
  if (included)
    std::erase(config.alwaysHiddenIDs, itemID);
  else
    config.alwaysHiddenIDs.push_back(itemID);
  return config;
}

FeatureConfiguration moveItem(FeatureConfiguration config, const std::vector<std::string>& orderedIDs,
                              const std::string& itemID, Move direction) {
  const auto at = std::find(orderedIDs.begin(), orderedIDs.end(), itemID);
  if (at == orderedIDs.end()) return config;
  const auto index = static_cast<std::size_t>(at - orderedIDs.begin());
  if (direction == Move::earlier && index == 0) return config;
  if (direction == Move::later && index + 1 >= orderedIDs.size()) return config;
  const std::string& neighbour = orderedIDs[direction == Move::earlier ? index - 1 : index + 1];

  std::vector<std::string> order;
  std::unordered_set<std::string> seen;
  for (const auto& id : config.itemOrder)
    if (seen.insert(id).second) order.push_back(id);
  for (const auto& id : orderedIDs)
    if (seen.insert(id).second) order.push_back(id);
  const auto mine = std::find(order.begin(), order.end(), itemID);
  const auto theirs = std::find(order.begin(), order.end(), neighbour);
  std::iter_swap(mine, theirs);
  config.itemOrder = std::move(order);
  return config;
}

FeatureConfiguration savePreset(FeatureConfiguration config, VisibilityPreset captured) {
  captured.name = "Preset " + std::to_string(config.presets.size() + 1);
  config.presets.push_back(std::move(captured));
  return config;
}

FeatureConfiguration replacePreset(FeatureConfiguration config, const Uuid& preset,
                                   const VisibilityPreset& captured) {
  if (auto* stored = find(config.presets, preset)) {
    VisibilityPreset updated = captured;
    updated.id = stored->id;
    updated.name = stored->name;
    *stored = std::move(updated);
  }
  return config;
}

FeatureConfiguration renamePreset(FeatureConfiguration config, const Uuid& preset,
                                  std::string name) {
  if (auto* stored = find(config.presets, preset)) stored->name = std::move(name);
  return config;
}

FeatureConfiguration deletePreset(FeatureConfiguration config, const Uuid& preset) {
  erase(config.presets, preset);
  std::erase_if(config.rules, [&preset](const AutomationRule& r) { return r.presetID == preset; });
  const auto target = preset.text();
  std::erase_if(config.shortcuts, [&target](const KeyboardShortcut& s) {
    return s.action == ShortcutAction::preset && s.target == target;
  });
  return config;
}

FeatureConfiguration addRule(FeatureConfiguration config) {
  config.rules.push_back(AutomationRule{});
  return config;
}

FeatureConfiguration deleteRule(FeatureConfiguration config, const Uuid& rule) {
  erase(config.rules, rule);
  return config;
}

FeatureConfiguration updateRule(FeatureConfiguration config, const AutomationRule& rule) {
  replace(config.rules, rule);
  return config;
}

std::int64_t stepMinute(std::int64_t minute, int direction) {
  const auto next = minute + (direction < 0 ? -minuteStep : minuteStep);
  return std::clamp<std::int64_t>(next, 0, lastMinuteOfDay);
}

std::string minuteText(std::int64_t minute) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(minute / 60),
                static_cast<int>(minute % 60));
  return text;
}

FeatureConfiguration addShortcut(FeatureConfiguration config) {
  config.shortcuts.push_back(KeyboardShortcut{});
  return config;
}

FeatureConfiguration deleteShortcut(FeatureConfiguration config, const Uuid& shortcut) {
  erase(config.shortcuts, shortcut);
  return config;
}

FeatureConfiguration updateShortcut(FeatureConfiguration config, const KeyboardShortcut& shortcut) {
  replace(config.shortcuts, shortcut);
  return config;
}

std::string actionLabel(ShortcutAction action) {
  std::string label(rawValue(action));
  if (!label.empty()) label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
  return label;
}

FeatureConfiguration addAction(FeatureConfiguration config) {
  config.actions.push_back(QuickAction{});
  return config;
}

FeatureConfiguration deleteAction(FeatureConfiguration config, const Uuid& action) {
  erase(config.actions, action);
  return config;
}

FeatureConfiguration updateAction(FeatureConfiguration config, const QuickAction& action) {
  replace(config.actions, action);
  return config;
}

std::optional<std::string_view> urlWarning(const QuickAction& action) {
  if (action.url.empty() || openableURL(action)) return std::nullopt;
  return "Use an http, https, or shortcuts URL.";
}

}  // namespace tucklet::feature_editing
