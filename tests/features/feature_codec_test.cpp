#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "features/feature_codec.h"

namespace tucklet {
namespace {

using Json = nlohmann::json;

FeatureConfiguration populated() {
  FeatureConfiguration c;
  ItemGroup group;
  group.name = "Work";
  group.itemIDs = {"com.example.a:item", "1234:index-0"};
  c.groups = {group};

  VisibilityPreset preset;
  preset.name = "Quiet";
  preset.bundles = {"com.example.chat"};
  preset.systems = {6, -1, 8};
  preset.hideBattery = true;
  c.presets = {preset};

  AutomationRule withPreset;
  withPreset.condition = RuleCondition::timeRange;
  withPreset.startMinute = 0;
  withPreset.endMinute = 1439;
  withPreset.presetID = preset.id;
  AutomationRule withoutPreset;
  withoutPreset.enabled = false;
  withoutPreset.condition = RuleCondition::powerSource;
  withoutPreset.value = "battery";
  c.rules = {withPreset, withoutPreset};

  KeyboardShortcut shortcut;
  shortcut.action = ShortcutAction::preset;
  shortcut.keyCode = std::numeric_limits<std::uint32_t>::max();
  shortcut.keyLabel = "\xE2\x86\x92";  // an arrow, to carry non-ASCII text
  shortcut.shift = true;
  shortcut.target = preset.id.text();
  c.shortcuts = {shortcut};

  QuickAction action;
  action.url = "shortcuts://run-shortcut?name=Focus";
  c.actions = {action};

  c.alwaysHiddenIDs = {"com.example.b:x"};
  c.itemOrder = {"b", "a"};
  c.hoverReveal = true;
  c.hoverDelay = 1.25;
  c.overflowSpacing = 6;
  c.appearance = "dark";
  return c;
}

Json encodedJson(const FeatureConfiguration& c) {
  const auto text = encodeFeatureConfiguration(c);
  EXPECT_TRUE(text.has_value());
  return Json::parse(text.value_or("null"));
}

// Decodes `json`, expecting failure, and returns the error text.
std::string decodeError(const Json& json) {
  std::string error;
  const auto decoded = decodeFeatureConfiguration(json.dump(), &error);
  EXPECT_FALSE(decoded.has_value()) << json.dump();
  EXPECT_FALSE(error.empty());
  return error;
}

TEST(FeatureCodec, RoundTripKeepsEveryField) {
  const auto original = populated();
  const auto text = encodeFeatureConfiguration(original);
  ASSERT_TRUE(text);
  std::string error;
  const auto decoded = decodeFeatureConfiguration(*text, &error);
  ASSERT_TRUE(decoded) << error;
  EXPECT_EQ(*decoded, original);

  const auto initial = decodeFeatureConfiguration(*encodeFeatureConfiguration({}));
  ASSERT_TRUE(initial);
  EXPECT_EQ(*initial, FeatureConfiguration{});
}

TEST(FeatureCodec, EncodedFormUsesFieldNamesCanonicalIdsAndRawValues) {
  const auto c = populated();
  const auto json = encodedJson(c);
  EXPECT_EQ(json.size(), 13u);
  EXPECT_EQ(json["groups"][0]["id"], c.groups[0].id.text());
  EXPECT_EQ(json["rules"][0]["condition"], "timeRange");
  EXPECT_EQ(json["rules"][0]["presetID"], c.presets[0].id.text());
  EXPECT_FALSE(json["rules"][1].contains("presetID"));
  EXPECT_EQ(json["rules"][1].size(), 6u);
  EXPECT_EQ(json["shortcuts"][0]["action"], "preset");
  EXPECT_EQ(json["shortcuts"][0]["keyCode"], 4294967295u);
  EXPECT_EQ(json["presets"][0]["systems"], Json({6, -1, 8}));
  const std::string id = json["actions"][0]["id"];
  EXPECT_EQ(id, c.actions[0].id.text());
  EXPECT_EQ(id.find_first_of("abcdef"), std::string::npos) << "upper-case hex expected: " << id;
}

TEST(FeatureCodec, DecodingIsStrictAndNamesTheBadValue) {
  const auto valid = encodedJson(populated());

  auto missingTopLevel = valid;
  missingTopLevel.erase("appearance");
  EXPECT_EQ(decodeError(missingTopLevel), "appearance: missing");

  auto missingInRecord = valid;
  missingInRecord["rules"][1].erase("value");
  EXPECT_EQ(decodeError(missingInRecord), "rules[1].value: missing");

  auto unknownAction = valid;
  unknownAction["shortcuts"][0]["action"] = "launch";
  EXPECT_EQ(decodeError(unknownAction), "shortcuts[0].action: unknown value \"launch\"");

  auto unknownCondition = valid;
  unknownCondition["rules"][0]["condition"] = "Application";  // raw values are case-sensitive
  decodeError(unknownCondition);

  auto fractionalMinute = valid;
  fractionalMinute["rules"][0]["startMinute"] = 540.5;
  EXPECT_EQ(decodeError(fractionalMinute), "rules[0].startMinute: expected a whole number");

  auto fractionalSystem = valid;
  fractionalSystem["presets"][0]["systems"][1] = 2.5;
  decodeError(fractionalSystem);

  auto keyCodeTooLarge = valid;
  keyCodeTooLarge["shortcuts"][0]["keyCode"] = 4294967296u;
  EXPECT_EQ(decodeError(keyCodeTooLarge), "shortcuts[0].keyCode: out of range");

  auto keyCodeNegative = valid;
  keyCodeNegative["shortcuts"][0]["keyCode"] = -1;
  decodeError(keyCodeNegative);

  auto minuteBeyondInt64 = valid;
  minuteBeyondInt64["rules"][0]["endMinute"] = 9223372036854775808u;
  decodeError(minuteBeyondInt64);

  auto textForBool = valid;
  textForBool["hoverReveal"] = "true";
  decodeError(textForBool);

  auto numberForText = valid;
  numberForText["groups"][0]["itemIDs"][0] = 7;
  decodeError(numberForText);

  auto badUuid = valid;
  badUuid["actions"][0]["id"] = "not-a-uuid";
  decodeError(badUuid);

  auto badPresetId = valid;
  badPresetId["rules"][0]["presetID"] = 12;
  decodeError(badPresetId);

  auto recordNotObject = valid;
  recordNotObject["groups"][0] = "Work";
  decodeError(recordNotObject);

  decodeError(Json::array());
  EXPECT_FALSE(decodeFeatureConfiguration("{\"groups\": ["));
  EXPECT_FALSE(decodeFeatureConfiguration(""));
}

TEST(FeatureCodec, DecodingAcceptsWhatTheStoredFormAllows) {
  const auto valid = encodedJson(populated());

  auto json = valid;
  json["rules"][0]["presetID"] = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
  json["rules"][1]["presetID"] = nullptr;   // null is no preset
  json["rules"][0]["startMinute"] = 540.0;  // whole value written as a real
  json["presets"][0]["systems"] = Json::array({-9223372036854775807LL - 1, 0});
  json["shortcuts"][0]["keyCode"] = 0;
  json["hoverDelay"] = 2;  // an integer is a fine Double
  json["futureOption"] = {{"nested", true}};
  json["groups"][0]["colour"] = "red";

  std::string error;
  const auto decoded = decodeFeatureConfiguration(json.dump(), &error);
  ASSERT_TRUE(decoded) << error;
  EXPECT_EQ(decoded->rules[0].presetID, Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
  EXPECT_EQ(decoded->rules[1].presetID, std::nullopt);
  EXPECT_EQ(decoded->rules[0].startMinute, 540);
  EXPECT_EQ(decoded->presets[0].systems.front(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(decoded->shortcuts[0].keyCode, 0u);
  EXPECT_EQ(decoded->hoverDelay, 2.0);
}

TEST(FeatureCodec, ValuesWithoutJsonFormAreNotEncoded) {
  auto notFinite = populated();
  notFinite.hoverDelay = std::nan("");
  EXPECT_FALSE(encodeFeatureConfiguration(notFinite));
  notFinite.hoverDelay = 1;
  notFinite.overflowSpacing = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(encodeFeatureConfiguration(notFinite));

  auto brokenText = populated();
  brokenText.groups[0].name = "\xFF\xFE";
  EXPECT_FALSE(encodeFeatureConfiguration(brokenText));
}

}  // namespace
}  // namespace tucklet
