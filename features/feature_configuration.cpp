#include "features/feature_configuration.h"

#include <algorithm>
#include <cctype>

namespace tucklet {

namespace {

constexpr std::array<std::string_view, 6> conditionRawValues = {
    "application", "runningApplication", "displayCount", "timeRange", "batteryBelow", "powerSource",
};

constexpr std::array<std::string_view, 5> actionRawValues = {
    "search", "reveal", "overflow", "item", "preset",
};

bool isAsciiAlpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string_view rawValue(RuleCondition condition) {
  return conditionRawValues[static_cast<std::size_t>(condition)];
}

std::optional<RuleCondition> ruleConditionFromRaw(std::string_view raw) {
  for (auto condition : allRuleConditions)
    if (rawValue(condition) == raw) return condition;
  return std::nullopt;
}

std::string_view rawValue(ShortcutAction action) {
  return actionRawValues[static_cast<std::size_t>(action)];
}

std::optional<ShortcutAction> shortcutActionFromRaw(std::string_view raw) {
  for (auto action : allShortcutActions)
    if (rawValue(action) == raw) return action;
  return std::nullopt;
}

std::optional<std::string> openableURL(std::string_view url) {
  const auto colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == url.size()) {
    return std::nullopt;
  }
  const auto scheme = url.substr(0, colon);
  if (!isAsciiAlpha(scheme.front())) return std::nullopt;
  const bool wellFormed = std::all_of(scheme.begin(), scheme.end(), [](char c) {
    return isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.';
  });
  if (!wellFormed) return std::nullopt;
  std::string lowered(scheme);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lowered != "https" && lowered != "http" && lowered != "shortcuts") return std::nullopt;
  return std::string(url);
}

std::optional<std::string> openableURL(const QuickAction& action) {
  return openableURL(action.url);
}

}  // namespace tucklet
