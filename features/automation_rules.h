// The automation rules' logic, apart from any timer: what a rule tests, how the battery is read,
// which rule's preset is selected, and how the automatic visibility state moves on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "features/feature_configuration.h"
#include "platform/system_services.h"

namespace tucklet {

// What the rules look at, read once per evaluation.
struct RuleContext {
  // The last active application other than Tucklet.
  std::string lastExternalBundle;
  int minuteOfDay = 0;  // hour × 60 + minute, local time
  // Read only when a rule needs it: unknown otherwise.
  std::optional<int> batteryPercentage;
  std::optional<bool> onACPower;
  std::size_t displayCount = 0;
  std::set<std::string> runningBundles;
};

// A rule's number: an optional sign, then decimal digits only.
std::optional<std::int64_t> parseRuleNumber(std::string_view text);

// Whether an enabled rule's condition holds; a disabled rule never holds.
bool ruleHolds(const AutomationRule& rule, const RuleContext& context);

// Whether some enabled rule needs the battery read.
bool rulesNeedBattery(const std::vector<AutomationRule>& rules);

// The first internal battery's percentage and power state; unknown without one.
struct BatteryReading {
  std::optional<int> percentage;
  std::optional<bool> onACPower;
};
BatteryReading readBattery(const std::vector<platform::PowerSourceDescription>& sources);

// The preset of the first enabled rule that holds and names an existing preset.
std::optional<VisibilityPreset> selectPreset(const FeatureConfiguration& features,
                                             const RuleContext& context);

// One evaluation's step of the automatic state, given the selection and the current visibility
// captured as a preset: the new state and the preset to apply, if any.
struct AutomaticStep {
  AutomaticVisibilityState state;
  std::optional<VisibilityPreset> apply;
};
AutomaticStep stepAutomaticState(const AutomaticVisibilityState& state,
                                 const std::optional<VisibilityPreset>& selection,
                                 const VisibilityPreset& capture);

}  // namespace tucklet
