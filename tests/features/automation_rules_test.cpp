// What the automation rules test, how the battery is read and which preset is selected.
#include "features/automation_rules.h"

#include <gtest/gtest.h>

namespace tucklet {
namespace {

AutomationRule rule(RuleCondition condition, std::string value = {}) {
  AutomationRule r;
  r.condition = condition;
  r.value = std::move(value);
  return r;
}

TEST(AutomationRules, TimeRangeAcrossMidnight) {
  auto night = rule(RuleCondition::timeRange);
  night.startMinute = 1320;
  night.endMinute = 360;
  const auto at = [](int hour, int minute) {
    RuleContext c;
    c.minuteOfDay = hour * 60 + minute;
    return c;
  };
  EXPECT_TRUE(ruleHolds(night, at(23, 30)));
  EXPECT_TRUE(ruleHolds(night, at(5, 59)));
  EXPECT_FALSE(ruleHolds(night, at(6, 0)));
  EXPECT_FALSE(ruleHolds(night, at(12, 0)));

  auto day = rule(RuleCondition::timeRange);  // 09:00 to 17:00
  EXPECT_TRUE(ruleHolds(day, at(9, 0)));
  EXPECT_FALSE(ruleHolds(day, at(17, 0)));
  day.endMinute = day.startMinute;
  EXPECT_FALSE(ruleHolds(day, at(9, 0))) << "equal ends never hold";
  night.startMinute = 1440;
  EXPECT_FALSE(ruleHolds(night, at(23, 59)));
  EXPECT_FALSE(ruleHolds(night, at(0, 0)));
}

TEST(AutomationRules, DisplayCountAndItsNumber) {
  RuleContext context;
  auto two = rule(RuleCondition::displayCount, "2");
  for (std::size_t screens : {1u, 2u, 3u}) {
    context.displayCount = screens;
    EXPECT_EQ(ruleHolds(two, context), screens >= 2) << screens << " screens";
  }
  for (const char* value : {"0", "-1", "two", " 2", "2 ", "", "+"}) {
    EXPECT_FALSE(ruleHolds(rule(RuleCondition::displayCount, value), context)) << value;
  }
  EXPECT_TRUE(ruleHolds(rule(RuleCondition::displayCount, "+3"), context));
  two.enabled = false;
  EXPECT_FALSE(ruleHolds(two, context));
}

TEST(AutomationRules, BatteryAndPowerSource) {
  using Source = platform::PowerSourceDescription;
  const auto context = [](const std::vector<Source>& sources) {
    const auto reading = readBattery(sources);
    RuleContext c;
    c.batteryPercentage = reading.percentage;
    c.onACPower = reading.onACPower;
    return c;
  };
  const auto below20 = rule(RuleCondition::batteryBelow, "20");
  // Capacities need not be out of 100: 38 of 200 is 19 %.
  EXPECT_TRUE(ruleHolds(below20, context({{"InternalBattery", 38, 200, "Battery Power"}})));
  EXPECT_FALSE(ruleHolds(below20, context({{"InternalBattery", 20, 100, "Battery Power"}})));
  for (const char* value : {"0", "101"})
    EXPECT_FALSE(ruleHolds(rule(RuleCondition::batteryBelow, value),
                           context({{"InternalBattery", 0, 100, "Battery Power"}})))
        << value;

  // The first internal battery counts; a UPS does not.
  const auto onBattery = rule(RuleCondition::powerSource, "battery");
  const auto onAC = rule(RuleCondition::powerSource, "ac");
  const auto ups = context({{"UPS", 5, 100, "Battery Power"}});
  EXPECT_FALSE(ruleHolds(below20, ups));
  EXPECT_FALSE(ruleHolds(onBattery, ups));
  EXPECT_FALSE(ruleHolds(onAC, ups));
  const auto charging =
      context({{"UPS", 5, 100, "Battery Power"}, {"InternalBattery", 90, 100, "AC Power"}});
  EXPECT_TRUE(ruleHolds(onAC, charging));
  EXPECT_FALSE(ruleHolds(onBattery, charging));
  EXPECT_FALSE(ruleHolds(rule(RuleCondition::powerSource, "AC"), charging));
  EXPECT_TRUE(ruleHolds(onBattery, context({{"InternalBattery", 90, 100, "Off Line"}})));
  EXPECT_FALSE(ruleHolds(onBattery, context({{"InternalBattery", 90, 100, ""}})))
      << "no state: unknown";
}

TEST(AutomationRules, FirstMatchAndTheAutomaticState) {
  FeatureConfiguration features;
  VisibilityPreset p, q;
  p.name = "P";
  p.bundles = {"com.example.p"};
  q.name = "Q";
  features.presets = {p, q};
  RuleContext context;
  context.lastExternalBundle = "com.example.editor";

  auto disabled = rule(RuleCondition::application, "com.example.editor");
  disabled.enabled = false;
  disabled.presetID = q.id;
  auto noPreset = rule(RuleCondition::application, "com.example.editor");
  auto deleted = rule(RuleCondition::application, "com.example.editor");
  deleted.presetID = Uuid::random();
  auto matching = rule(RuleCondition::application, "com.example.editor");
  matching.presetID = p.id;
  features.rules = {disabled, noPreset, deleted, matching};
  EXPECT_EQ(selectPreset(features, context), p);
  context.lastExternalBundle = "com.example.other";
  EXPECT_EQ(selectPreset(features, context), std::nullopt);

  VisibilityPreset before;
  before.name = "Before automatic rules";
  // First match: the preset applies and the settings before it become the baseline.
  auto step = stepAutomaticState({}, p, before);
  EXPECT_EQ(step.apply, p);
  EXPECT_EQ(step.state.baseline, before);
  EXPECT_EQ(step.state.active, p);
  // The same selection again changes nothing; another one keeps the first baseline.
  EXPECT_EQ(stepAutomaticState(step.state, p, VisibilityPreset{}).apply, std::nullopt);
  auto other = stepAutomaticState(step.state, q, VisibilityPreset{});
  EXPECT_EQ(other.apply, q);
  EXPECT_EQ(other.state.baseline, before);
  // No match any more: the baseline returns and both are forgotten.
  auto end = stepAutomaticState(other.state, std::nullopt, VisibilityPreset{});
  EXPECT_EQ(end.apply, before);
  EXPECT_EQ(end.state, AutomaticVisibilityState{});
}

}  // namespace
}  // namespace tucklet
