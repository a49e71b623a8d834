#include "features/automation_rules.h"

#include <algorithm>
#include <charconv>

namespace tucklet {

std::optional<std::int64_t> parseRuleNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -value : value;
}

bool ruleHolds(const AutomationRule& rule, const RuleContext& context) {
  if (!rule.enabled) return false;
  switch (rule.condition) {
    case RuleCondition::application:
      return !rule.value.empty() && rule.value == context.lastExternalBundle;
    case RuleCondition::runningApplication:
      return !rule.value.empty() && context.runningBundles.contains(rule.value);
    case RuleCondition::displayCount: {
      const auto n = parseRuleNumber(rule.value);
      return n && *n > 0 && static_cast<std::int64_t>(context.displayCount) >= *n;
    }
    case RuleCondition::timeRange: {
      const auto start = rule.startMinute, end = rule.endMinute;
      if (start < 0 || start > 1439 || end < 0 || end > 1439 || start == end) return false;
      const std::int64_t m = context.minuteOfDay;
      return start < end ? (start <= m && m < end) : (m >= start || m < end);
    }
    case RuleCondition::batteryBelow: {
      const auto threshold = parseRuleNumber(rule.value);
      return threshold && *threshold >= 1 && *threshold <= 100 && context.batteryPercentage &&
             *context.batteryPercentage < *threshold;
    }
    case RuleCondition::powerSource:
      if (!context.onACPower) return false;
      if (rule.value == "ac") return *context.onACPower;
      if (rule.value == "battery") return !*context.onACPower;
      return false;
  }
  return false;
}

bool rulesNeedBattery(const std::vector<AutomationRule>& rules) {
  return std::any_of(rules.begin(), rules.end(), [](const AutomationRule& rule) {
    return rule.enabled && (rule.condition == RuleCondition::batteryBelow ||
                            rule.condition == RuleCondition::powerSource);
  });
}

BatteryReading readBattery(const std::vector<platform::PowerSourceDescription>& sources) {
  BatteryReading reading;
  const auto battery = std::find_if(sources.begin(), sources.end(), [](const auto& source) {
    return source.type == "InternalBattery";
  });
  if (battery == sources.end()) return reading;
  if (battery->maxCapacity >= 1)
    reading.percentage = battery->currentCapacity * 100 / battery->maxCapacity;
  // The platform leaves the state empty when the description has none.
  if (!battery->powerSourceState.empty())
    reading.onACPower = battery->powerSourceState == "AC Power";
  return reading;
}

std::optional<VisibilityPreset> selectPreset(const FeatureConfiguration& features,
                                             const RuleContext& context) {
  for (const auto& rule : features.rules) {
    if (!ruleHolds(rule, context) || !rule.presetID) continue;
    for (const auto& preset : features.presets)
      if (preset.id == *rule.presetID) return preset;
  }
  return std::nullopt;
}

AutomaticStep stepAutomaticState(const AutomaticVisibilityState& state,
                                 const std::optional<VisibilityPreset>& selection,
                                 const VisibilityPreset& capture) {
  AutomaticStep step{state, std::nullopt};
  if (selection == state.active) return step;
  step.state.active = selection;
  if (!selection) {
    step.apply = state.baseline;
    step.state.baseline.reset();
  } else {
    if (!state.baseline) step.state.baseline = capture;
    step.apply = selection;
  }
  return step;
}

}  // namespace tucklet
