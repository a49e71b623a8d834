#include "ui/settings/settings_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "features/item_order.h"

namespace tucklet::settings {

namespace {

template <typename T>
bool contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

std::vector<Tab> tabs(bool setupComplete) {
  return {
      {"behavior", "General", "gearshape", 1},
      {"items", "Menu Bar Items", "menubar.rectangle", 1},
      {"appearance", "Appearance", "paintpalette", 1},
      {"groups", "Groups & Order", "folder", 1},
      {"presets", "Presets", "slider.horizontal.3", 1},
      {"rules", "Automatic Rules", "bolt", 1},
      {"shortcuts", "Keyboard Shortcuts", "keyboard", 1},
      {"access", "Quick Actions", "square.grid.2x2", 1},
      {"setup", setupComplete ? "Help" : "Setup", "questionmark.circle", 2},
      {"about", "About tucklet", "info.circle", 2},
  };
}

PaneChoice paneFor(std::string_view identifier, bool setupComplete) {
  static constexpr std::string_view featurePages[] = {"groups", "presets", "rules", "shortcuts",
                                                      "access"};
  for (const auto& tab : tabs(setupComplete)) {
    if (tab.identifier != identifier) continue;
    PaneChoice choice{.pane = Pane::general, .title = tab.label, .featurePage = {}};
    if (identifier == "items") choice.pane = Pane::items;
    if (identifier == "appearance") choice.pane = Pane::appearance;
    if (identifier == "setup") choice.pane = Pane::setup;
    if (identifier == "about") choice.pane = Pane::about;
    if (std::find(std::begin(featurePages), std::end(featurePages), identifier) !=
        std::end(featurePages)) {
      choice.pane = Pane::feature;
      choice.featurePage = tab.identifier;
    }
    return choice;
  }
  return {.pane = Pane::general, .title = "General", .featurePage = {}};
}

Banner banner(bool setupComplete, bool trusted, const std::optional<std::string>& message) {
  Banner result;
  result.shown = !(setupComplete && trusted && !message);
  if (!result.shown) return result;
  result.message = message;
  if (!trusted)
    result.action = Banner::Action::openAccessSettings;
  else if (!setupComplete)
    result.action = Banner::Action::finishSetup;
  return result;
}

double clampCollapseDelay(double seconds) {
  if (std::isnan(seconds)) return minimumCollapseDelay;
  return std::clamp(seconds, minimumCollapseDelay, maximumCollapseDelay);
}

std::string collapseDelayText(double seconds) {
  char text[48];
  std::snprintf(text, sizeof text, "%lld sec", static_cast<long long>(clampCollapseDelay(seconds)));
  return text;
}

std::vector<AppRow> appRows(const std::vector<BarItem>& items, const platform::Workspace& workspace,
                            const std::vector<std::string>& visibleBundles) {
  std::vector<AppRow> rows;
  std::unordered_set<std::string> listed;
  for (const auto& item : items) {
    const auto app = workspace.applicationForPid(item.pid);
    if (!app || !app->bundleIdentifier) continue;
    const auto& bundle = *app->bundleIdentifier;
    if (isSystemOwnerBundle(bundle) || !listed.insert(bundle).second) continue;
    rows.push_back({.bundleIdentifier = bundle,
                    .name = app->localizedName.value_or(item.appName),
                    .icon = app->icon,
                    .visible = contains(visibleBundles, bundle)});
  }
  return rows;
}

std::vector<ControlRow> controlRows(const std::vector<std::int64_t>& visibleSystemItems) {
  std::vector<ControlRow> rows;
  for (const auto control : allSystemControls) {
    if (isProtected(control)) continue;
    rows.push_back({.control = control,
                    .label = std::string(title(control)),
                    .visible = contains(visibleSystemItems, std::int64_t{rawValue(control)})});
  }
  return rows;
}

std::vector<DividerRow> dividerRows(const std::vector<BarItem>& items,
                                    const platform::Workspace& workspace,
                                    const std::vector<std::string>& excludedIDs) {
  std::vector<DividerRow> rows;
  for (const auto& item : items) {
    rows.push_back({.id = item.id,
                    .name = displayName(item, workspace),
                    .icon = item.icon,
                    .included = !contains(excludedIDs, item.id),
                    .protectedControl = systemControl(item, workspace).has_value()});
  }
  return rows;
}

std::vector<ItemRow> itemRows(const std::vector<BarItem>& items,
                              const platform::Workspace& workspace) {
  std::vector<ItemRow> rows;
  for (const auto& item : items)
    rows.push_back({.id = item.id, .name = displayName(item, workspace)});
  return rows;
}

std::vector<ItemRow> orderedItemRows(const std::vector<BarItem>& items,
                                     const platform::Workspace& workspace,
                                     const FeatureConfiguration& config) {
  return orderedItems(itemRows(items, workspace), config.itemOrder);
}

std::string_view conditionLabel(RuleCondition condition) {
  switch (condition) {
    case RuleCondition::application: return "Active application";
    case RuleCondition::runningApplication: return "Application is running";
    case RuleCondition::displayCount: return "At least this many displays";
    case RuleCondition::timeRange: return "Time of day";
    case RuleCondition::batteryBelow: return "Battery below percent";
    case RuleCondition::powerSource: return "Power source";
  }
  return {};
}

std::optional<ArgumentField> argumentField(RuleCondition condition) {
  switch (condition) {
    case RuleCondition::application:
    case RuleCondition::runningApplication:
      return ArgumentField{"Bundle identifier", "com.apple.Safari", std::nullopt};
    case RuleCondition::displayCount: return ArgumentField{"Display count", "2", std::nullopt};
    case RuleCondition::batteryBelow:
      return ArgumentField{"Battery percent", "20", "No match on Macs without a battery."};
    case RuleCondition::timeRange:
    case RuleCondition::powerSource: return std::nullopt;
  }
  return std::nullopt;
}

std::vector<Choice> powerSourceChoices() {
  return {{"Choose…", ""}, {"Power adapter", "ac"}, {"Battery", "battery"}};
}

std::vector<Choice> presetChoices(const FeatureConfiguration& config) {
  std::vector<Choice> choices{{"Choose…", ""}};
  for (const auto& preset : config.presets)
    choices.push_back({preset.name, preset.id.text()});
  return choices;
}

std::vector<Choice> appearanceChoices() {
  return {{"System", "system"}, {"Light", "light"}, {"Dark", "dark"}};
}

}  // namespace tucklet::settings
