#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>
#include <vector>

#include "features/feature_codec.h"
#include "preferences/preferences.h"

namespace tucklet {
namespace {

using platform::MemoryUserDefaults;
using platform::PlistArray;
using platform::PlistData;
using platform::PlistDict;
using platform::PlistValue;

PlistData bytesOf(const std::string& text) {
  return PlistData(text.begin(), text.end());
}

// Records what a store announces.
struct Recorder {
  explicit Recorder(Preferences& preferences)
      : changesConnection(preferences.changes.connect(
            [this](std::string key) { changes.push_back(std::move(key)); })),
        visibilityConnection(preferences.visibilityChanges.connect([this] { ++visibilityEvents; })),
        assignedConnection(preferences.assigned.connect(
            [this](std::string key) { assigned.push_back(std::move(key)); })) {}

  std::vector<std::string> changes;
  int visibilityEvents = 0;
  std::vector<std::string> assigned;
  platform::Connection changesConnection;
  platform::Connection visibilityConnection;
  platform::Connection assignedConnection;
};

TEST(Preferences, FreshDomainLoadsDefaultsAndMarksTheFoldIcon) {
  MemoryUserDefaults defaults;
  Preferences preferences(defaults);

  EXPECT_FALSE(preferences.setupComplete());
  EXPECT_TRUE(preferences.autoCollapse());
  EXPECT_EQ(preferences.collapseDelay(), 8.0);
  EXPECT_EQ(preferences.symbol(), "tucklet.fold");
  EXPECT_FALSE(preferences.showCount());
  EXPECT_FALSE(preferences.alphabetical());
  EXPECT_TRUE(preferences.showAppNames());
  EXPECT_TRUE(preferences.optionClickReveals());
  EXPECT_TRUE(preferences.excludedIDs().empty());
  EXPECT_TRUE(preferences.visibleBundles().empty());
  EXPECT_TRUE(preferences.visibleSystemItems().empty());
  EXPECT_FALSE(preferences.hideBattery());
  EXPECT_FALSE(preferences.hideDateTime());
  EXPECT_EQ(preferences.features(), FeatureConfiguration{});

  EXPECT_EQ(defaults.registrationDomain(), (PlistDict{{"autoCollapse", true},
                                                      {"collapseDelay", 8.0},
                                                      {"symbol", "tucklet.fold"},
                                                      {"showCount", false},
                                                      {"alphabetical", false},
                                                      {"showAppNames", true},
                                                      {"optionClickReveals", true},
                                                      {"excludedIDs", PlistArray{}}}));
  // Only the migration wrote anything.
  EXPECT_EQ(defaults.persistentDomain(),
            (PlistDict{{"symbol", "tucklet.fold"}, {"foldIconIntroduced", true}}));
}

TEST(Preferences, TrayIsMovedToTheFoldExactlyOnce) {
  MemoryUserDefaults legacy(PlistDict{{"symbol", "tray.full"}});
  EXPECT_EQ(Preferences(legacy).symbol(), "tucklet.fold");
  EXPECT_EQ(legacy.persistentDomain().at("symbol"), PlistValue("tucklet.fold"));
  EXPECT_EQ(legacy.persistentDomain().at("foldIconIntroduced"), PlistValue(true));

  MemoryUserDefaults chosenLater(PlistDict{{"symbol", "tray.full"}, {"foldIconIntroduced", true}});
  EXPECT_EQ(Preferences(chosenLater).symbol(), "tray.full");
  EXPECT_EQ(chosenLater.writeCount(), 0u);

  // Another image is kept, and the marker still gets set.
  MemoryUserDefaults other(PlistDict{{"symbol", "chevron.left"}});
  EXPECT_EQ(Preferences(other).symbol(), "chevron.left");
  EXPECT_EQ(other.persistentDomain().at("foldIconIntroduced"), PlistValue(true));
}

TEST(Preferences, StoredValuesLoadWithTheirFallbacks) {
  MemoryUserDefaults mixed(PlistDict{
      {"visibleSystemItems", PlistArray{PlistValue(6), PlistValue("1"), PlistValue(3)}},
      {"visibleBundles", PlistArray{PlistValue("com.example.a"), PlistValue(4)}},
      {"excludedIDs", PlistArray{PlistValue("x:1"), PlistValue("y:2")}},
      {"collapseDelay", 3},
      {"showCount", "YES"},
      {"hideDateTime", true},
      {"foldIconIntroduced", true},
  });
  Preferences preferences(mixed);
  EXPECT_TRUE(preferences.visibleSystemItems().empty()) << "one text element spoils the list";
  EXPECT_TRUE(preferences.visibleBundles().empty());
  EXPECT_EQ(preferences.excludedIDs(), (std::vector<std::string>{"x:1", "y:2"}));
  EXPECT_EQ(preferences.collapseDelay(), 3.0);
  EXPECT_TRUE(preferences.showCount());
  EXPECT_TRUE(preferences.hideDateTime());

  MemoryUserDefaults integers(
      PlistDict{{"visibleSystemItems", PlistArray{PlistValue(6), PlistValue(-2), PlistValue(3)}}});
  EXPECT_EQ(Preferences(integers).visibleSystemItems(), (std::vector<std::int64_t>{6, -2, 3}));
}

TEST(Preferences, EqualAssignmentWritesAndAnnouncesOnce) {
  MemoryUserDefaults defaults;
  Preferences preferences(defaults);
  Recorder recorder(preferences);
  const auto writesBefore = defaults.writeCount();

  preferences.setVisibleBundles({"com.example.a", "com.example.b"});
  preferences.setVisibleBundles({"com.example.a", "com.example.b"});
  preferences.setCollapseDelay(8.0);  // equals the registered value: no write

  EXPECT_EQ(defaults.writeCount(), writesBefore + 1);
  EXPECT_EQ(recorder.changes, (std::vector<std::string>{"visibleBundles"}));
  EXPECT_EQ(recorder.visibilityEvents, 1);
  EXPECT_EQ(recorder.assigned,
            (std::vector<std::string>{"visibleBundles", "visibleBundles", "collapseDelay"}));
  EXPECT_EQ(defaults.persistentDomain().at("visibleBundles"),
            PlistValue(PlistArray{PlistValue("com.example.a"), PlistValue("com.example.b")}));

  // Order matters for arrays.
  preferences.setVisibleBundles({"com.example.b", "com.example.a"});
  EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST(Preferences, OnlyTheFourVisibilityKeysAnnounceVisibilityChanges) {
  MemoryUserDefaults defaults;
  Preferences preferences(defaults);
  Recorder recorder(preferences);

  // Subscribers run within the assignment and see the new value.
  bool sawNewValue = false;
  auto check = preferences.changes.connect([&](const std::string& key) {
    if (key == "hideBattery") sawNewValue = preferences.hideBattery();
  });
  preferences.setHideBattery(true);
  EXPECT_TRUE(sawNewValue);
  EXPECT_EQ(recorder.visibilityEvents, 1);

  preferences.setSetupComplete(true);
  preferences.setAutoCollapse(false);
  preferences.setCollapseDelay(2.5);
  preferences.setSymbol("tray.full");
  preferences.setShowCount(true);
  preferences.setAlphabetical(true);
  preferences.setShowAppNames(false);
  preferences.setOptionClickReveals(false);
  preferences.setExcludedIDs({"x:1"});
  FeatureConfiguration features;
  features.hoverReveal = true;
  preferences.setFeatures(features);
  EXPECT_EQ(recorder.visibilityEvents, 1);

  preferences.setVisibleBundles({"com.example.a"});
  preferences.setVisibleSystemItems({6});
  preferences.setHideDateTime(true);
  EXPECT_EQ(recorder.visibilityEvents, 4);
  EXPECT_EQ(recorder.changes,
            (std::vector<std::string>{
                "hideBattery", "setupComplete", "autoCollapse", "collapseDelay", "symbol",
                "showCount", "alphabetical", "showAppNames", "optionClickReveals", "excludedIDs",
                "features", "visibleBundles", "visibleSystemItems", "hideDateTime"}));

  // Each value was stored under its key with its type, so a new store reads them all back.
  Preferences reloaded(defaults);
  EXPECT_TRUE(reloaded.setupComplete());
  EXPECT_FALSE(reloaded.autoCollapse());
  EXPECT_EQ(reloaded.collapseDelay(), 2.5);
  EXPECT_EQ(reloaded.symbol(), "tray.full");
  EXPECT_TRUE(reloaded.showCount());
  EXPECT_TRUE(reloaded.alphabetical());
  EXPECT_FALSE(reloaded.showAppNames());
  EXPECT_FALSE(reloaded.optionClickReveals());
  EXPECT_EQ(reloaded.excludedIDs(), std::vector<std::string>{"x:1"});
  EXPECT_EQ(reloaded.visibleBundles(), std::vector<std::string>{"com.example.a"});
  EXPECT_EQ(reloaded.visibleSystemItems(), std::vector<std::int64_t>{6});
  EXPECT_TRUE(reloaded.hideBattery());
  EXPECT_TRUE(reloaded.hideDateTime());
  EXPECT_EQ(reloaded.features(), features);
}

TEST(Preferences, BatteryAndClockFollowOnlyTheirSwitches) {
  MemoryUserDefaults defaults;
  Preferences preferences(defaults);
  EXPECT_EQ(preferences.allowedSystemControls(),
            (std::set<SystemControl>{SystemControl::battery, SystemControl::clock}));

  preferences.setVisibleSystemItems({0, 6, 42, -1, 6});
  preferences.setHideBattery(true);
  EXPECT_EQ(preferences.allowedSystemControls(),
            (std::set<SystemControl>{SystemControl::clock, SystemControl::wifi}));

  preferences.setVisibleSystemItems({2, 8});
  preferences.setHideDateTime(true);
  EXPECT_EQ(preferences.allowedSystemControls(),
            (std::set<SystemControl>{SystemControl::controlCenter}));
}

TEST(Preferences, PresetsCaptureAndRestoreTheFourVisibilityValues) {
  MemoryUserDefaults defaults;
  Preferences preferences(defaults);
  preferences.setVisibleBundles({"com.example.a"});
  preferences.setVisibleSystemItems({1, 6});
  preferences.setHideBattery(true);

  const auto work = preferences.captureVisibility("Work");
  EXPECT_EQ(work.name, "Work");
  EXPECT_EQ(work.bundles, std::vector<std::string>{"com.example.a"});
  EXPECT_EQ(work.systems, (std::vector<std::int64_t>{1, 6}));
  EXPECT_TRUE(work.hideBattery);
  EXPECT_FALSE(work.hideDateTime);
  EXPECT_NE(preferences.captureVisibility("Work").id, work.id);

  VisibilityPreset empty;
  Recorder recorder(preferences);
  preferences.applyPreset(empty);
  EXPECT_EQ(recorder.changes,
            (std::vector<std::string>{"visibleBundles", "visibleSystemItems", "hideBattery"}));
  EXPECT_EQ(recorder.visibilityEvents, 3);

  preferences.applyPreset(work);
  preferences.applyPreset(work);
  EXPECT_EQ(recorder.visibilityEvents, 6);
  EXPECT_EQ(preferences.visibleSystemItems(), (std::vector<std::int64_t>{1, 6}));
  EXPECT_TRUE(preferences.hideBattery());
}

TEST(Preferences, FeaturesAreStoredAsJsonDataOnlyWhenChanged) {
  MemoryUserDefaults defaults;
  Preferences preferences(defaults);
  Recorder recorder(preferences);
  const auto writesBefore = defaults.writeCount();

  preferences.setFeatures(FeatureConfiguration{});
  EXPECT_EQ(defaults.writeCount(), writesBefore);
  EXPECT_TRUE(recorder.changes.empty());

  FeatureConfiguration features;
  features.itemOrder = {"b", "a"};
  features.rules.emplace_back();
  preferences.setFeatures(features);
  ASSERT_TRUE(defaults.persistentDomain().at("features").isData());
  const auto& data = defaults.persistentDomain().at("features").asData();
  const auto stored = decodeFeatureConfiguration(std::string(data.begin(), data.end()));
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, features);
  EXPECT_EQ(recorder.changes, std::vector<std::string>{"features"});
  EXPECT_EQ(recorder.visibilityEvents, 0);

  // A configuration without a JSON form is announced but leaves the stored data alone.
  auto broken = features;
  broken.hoverDelay = std::numeric_limits<double>::infinity();
  preferences.setFeatures(broken);
  EXPECT_EQ(defaults.persistentDomain().at("features").asData(), data);
  EXPECT_EQ(recorder.changes, (std::vector<std::string>{"features", "features"}));
}

TEST(Preferences, UndecodableFeaturesAreKeptAsideBeforeBeingReplaced) {
  const auto corrupt = bytesOf("{\"groups\": [], \"presets\": [{\"name\": \"Evening\"");
  MemoryUserDefaults defaults(PlistDict{{"features", corrupt}, {"foldIconIntroduced", true}});
  Preferences preferences(defaults);
  EXPECT_EQ(preferences.features(), FeatureConfiguration{});
  EXPECT_EQ(defaults.writeCount(), 0u);

  // An equal assignment writes nothing, so the old data still needs no rescue.
  preferences.setFeatures(FeatureConfiguration{});
  EXPECT_EQ(defaults.writeCount(), 0u);

  FeatureConfiguration fresh;
  fresh.hoverReveal = true;
  preferences.setFeatures(fresh);
  EXPECT_EQ(defaults.persistentDomain().at("features.unreadable"), PlistValue(corrupt));
  const auto& data = defaults.persistentDomain().at("features").asData();
  EXPECT_EQ(decodeFeatureConfiguration(std::string(data.begin(), data.end())), fresh);

  // Rescued once; later assignments do not touch the rescued copy.
  fresh.hoverReveal = false;
  preferences.setFeatures(fresh);
  EXPECT_EQ(defaults.persistentDomain().at("features.unreadable"), PlistValue(corrupt));

  // A value of the wrong type is kept the same way.
  MemoryUserDefaults wrongType(
      PlistDict{{"features", "{\"groups\": []}"}, {"foldIconIntroduced", true}});
  Preferences second(wrongType);
  EXPECT_EQ(second.features(), FeatureConfiguration{});
  FeatureConfiguration changed;
  changed.scrollReveal = true;
  second.setFeatures(changed);
  EXPECT_EQ(wrongType.persistentDomain().at("features.unreadable"), PlistValue("{\"groups\": []}"));
}

}  // namespace
}  // namespace tucklet
