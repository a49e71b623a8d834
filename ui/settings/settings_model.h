// What the settings window shows, as plain data: the sidebar's tabs, which pane a tab opens, the
// status banner, and the rows of the lists the panes hold. The widgets only draw these and bind
// their controls; everything here is tested without a display.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "features/feature_configuration.h"
#include "inventory/bar_item.h"
#include "inventory/system_control.h"
#include "platform/image.h"
#include "platform/workspace.h"

namespace tucklet::settings {

// ---- Tabs ----
struct Tab {
  std::string identifier;
  std::string label;
  std::string symbol;
  int section = 1;  // the sidebar's two sections, 1 and 2
};

// The sidebar in order; the setup tab reads "Help" once setup is complete.
std::vector<Tab> tabs(bool setupComplete);

enum class Pane { general, items, appearance, feature, setup, about };

struct PaneChoice {
  Pane pane = Pane::general;
  std::string title;        // the navigation title, the tab's sidebar label
  std::string featurePage;  // for Pane::feature: the tab identifier the feature pane shows
};

// The pane a tab identifier opens; an identifier not in the sidebar opens General.
PaneChoice paneFor(std::string_view identifier, bool setupComplete);

// ---- Status banner ----
struct Banner {
  enum class Action { none, openAccessSettings, finishSetup };
  bool shown = false;
  std::optional<std::string> message;
  Action action = Action::none;
};

Banner banner(bool setupComplete, bool trusted, const std::optional<std::string>& message);

// ---- General ----
inline constexpr double minimumCollapseDelay = 2;
inline constexpr double maximumCollapseDelay = 30;
double clampCollapseDelay(double seconds);
// The whole number of seconds and " sec".
std::string collapseDelayText(double seconds);

// ---- Menu Bar Items ----
struct AppRow {
  std::string bundleIdentifier;
  std::string name;
  platform::ImageRef icon;
  bool visible = false;  // kept visible in the menu bar
};

// One row per application owning a current item, in the order of their first items; the
// system's own processes are left out.
std::vector<AppRow> appRows(const std::vector<BarItem>& items, const platform::Workspace& workspace,
                            const std::vector<std::string>& visibleBundles);

struct ControlRow {
  SystemControl control;
  std::string label;
  bool visible = false;
};

// Every system control but battery and clock, which have their own switches.
std::vector<ControlRow> controlRows(const std::vector<std::int64_t>& visibleSystemItems);

struct DividerRow {
  std::string id;
  std::string name;
  platform::ImageRef icon;
  bool included = false;  // listed in the items menu
  bool protectedControl = false;
};

std::vector<DividerRow> dividerRows(const std::vector<BarItem>& items,
                                    const platform::Workspace& workspace,
                                    const std::vector<std::string>& excludedIDs);

// ---- Feature panes ----
struct ItemRow {
  std::string id;
  std::string name;
};

// The current items in the user's order, by display name.
std::vector<ItemRow> orderedItemRows(const std::vector<BarItem>& items,
                                     const platform::Workspace& workspace,
                                     const FeatureConfiguration& config);
// The current items as they come, by display name (group toggles, the shortcut item picker).
std::vector<ItemRow> itemRows(const std::vector<BarItem>& items,
                              const platform::Workspace& workspace);

std::string_view conditionLabel(RuleCondition condition);

// The text field a condition's argument is typed into; none for the time range and power source.
struct ArgumentField {
  std::string_view label;
  std::string_view prompt;
  std::optional<std::string_view> caption;
};
std::optional<ArgumentField> argumentField(RuleCondition condition);

// The power source picker: (label, stored value).
struct Choice {
  std::string label;
  std::string value;
};
std::vector<Choice> powerSourceChoices();
// "Choice…" then one entry per preset, by name, with its id text as value.
std::vector<Choice> presetChoices(const FeatureConfiguration& config);
std::vector<Choice> appearanceChoices();

}  // namespace tucklet::settings
