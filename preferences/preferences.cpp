#include "preferences/preferences.h"

#include <algorithm>
#include <utility>

#include "features/feature_codec.h"

namespace tucklet {

namespace keys = preference_keys;
using platform::PlistArray;
using platform::PlistData;
using platform::PlistDict;
using platform::PlistValue;

namespace {

constexpr std::string_view foldSymbol = "tucklet.fold";
// The image that was the default before the fold icon existed.
constexpr std::string_view legacyTraySymbol = "tray.full";

std::string keyText(std::string_view key) {
  return std::string(key);
}

PlistValue toPlist(bool value) {
  return PlistValue(value);
}
PlistValue toPlist(double value) {
  return PlistValue(value);
}
PlistValue toPlist(const std::string& value) {
  return PlistValue(value);
}

PlistValue toPlist(const std::vector<std::string>& values) {
  PlistArray array;
  array.reserve(values.size());
  for (const auto& value : values)
    array.emplace_back(value);
  return PlistValue(std::move(array));
}

PlistValue toPlist(const std::vector<std::int64_t>& values) {
  PlistArray array;
  array.reserve(values.size());
  for (auto value : values)
    array.emplace_back(value);
  return PlistValue(std::move(array));
}

bool isVisibilityKey(std::string_view key) {
  return std::find(keys::visibility.begin(), keys::visibility.end(), key) != keys::visibility.end();
}

// Every element an integer, else nothing at all: a list with a stray entry is not trusted.
std::vector<std::int64_t> loadIntegers(const platform::UserDefaults& defaults,
                                       std::string_view key) {
  const auto array = defaults.arrayForKey(keyText(key));
  if (!array) return {};
  std::vector<std::int64_t> result;
  result.reserve(array->size());
  for (const auto& element : *array) {
    if (!element.isInteger()) return {};
    result.push_back(element.asInteger());
  }
  return result;
}

std::vector<std::string> loadTexts(const platform::UserDefaults& defaults, std::string_view key) {
  return defaults.stringArrayForKey(keyText(key)).value_or(std::vector<std::string>{});
}

}  // namespace

PlistDict Preferences::registeredDefaults() {
  return {
      {keyText(keys::autoCollapse), true},          {keyText(keys::collapseDelay), 8.0},
      {keyText(keys::symbol), keyText(foldSymbol)}, {keyText(keys::showCount), false},
      {keyText(keys::alphabetical), false},         {keyText(keys::showAppNames), true},
      {keyText(keys::optionClickReveals), true},    {keyText(keys::excludedIDs), PlistArray{}},
  };
}

Preferences::Preferences(platform::UserDefaults& defaults) : defaults_(defaults) {
  defaults_.registerDefaults(registeredDefaults());

  setupComplete_ = defaults_.boolForKey(keyText(keys::setupComplete));
  autoCollapse_ = defaults_.boolForKey(keyText(keys::autoCollapse));
  collapseDelay_ = defaults_.doubleForKey(keyText(keys::collapseDelay));
  symbol_ = defaults_.stringForKey(keyText(keys::symbol)).value_or(keyText(foldSymbol));

  // Users who had the tray picked before the fold icon arrived get the fold once; later they may
  // pick the tray again. The symbol is written back either way, together with the marker.
  if (!defaults_.boolForKey(keyText(keys::foldIconIntroduced))) {
    if (symbol_ == legacyTraySymbol) symbol_ = keyText(foldSymbol);
    defaults_.setObject(keyText(keys::symbol), symbol_);
    defaults_.setObject(keyText(keys::foldIconIntroduced), true);
  }

  showCount_ = defaults_.boolForKey(keyText(keys::showCount));
  alphabetical_ = defaults_.boolForKey(keyText(keys::alphabetical));
  showAppNames_ = defaults_.boolForKey(keyText(keys::showAppNames));
  optionClickReveals_ = defaults_.boolForKey(keyText(keys::optionClickReveals));
  excludedIDs_ = loadTexts(defaults_, keys::excludedIDs);
  visibleBundles_ = loadTexts(defaults_, keys::visibleBundles);
  visibleSystemItems_ = loadIntegers(defaults_, keys::visibleSystemItems);
  hideBattery_ = defaults_.boolForKey(keyText(keys::hideBattery));
  hideDateTime_ = defaults_.boolForKey(keyText(keys::hideDateTime));

  if (auto stored = defaults_.objectForKey(keyText(keys::features))) {
    std::optional<FeatureConfiguration> decoded;
    if (stored->isData()) {
      const auto& bytes = stored->asData();
      decoded = decodeFeatureConfiguration(
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    // An unreadable configuration falls back to the initial one without a word; the stored value
    // is kept so the user's groups, presets and rules can still be recovered.
    if (decoded) {
      features_ = std::move(*decoded);
    } else {
      unreadableFeatures_ = std::move(*stored);
    }
  }
}

template <typename T>
void Preferences::assign(T& field, T value, std::string_view key) {
  const bool changed = !(field == value);
  field = std::move(value);
  assigned.emit(keyText(key));
  if (!changed) return;
  defaults_.setObject(keyText(key), toPlist(field));
  changes.emit(keyText(key));
  if (isVisibilityKey(key)) visibilityChanges.emit();
}

void Preferences::setSetupComplete(bool value) {
  assign(setupComplete_, value, keys::setupComplete);
}
void Preferences::setAutoCollapse(bool value) {
  assign(autoCollapse_, value, keys::autoCollapse);
}
void Preferences::setCollapseDelay(double value) {
  assign(collapseDelay_, value, keys::collapseDelay);
}
void Preferences::setSymbol(std::string value) {
  assign(symbol_, std::move(value), keys::symbol);
}
void Preferences::setShowCount(bool value) {
  assign(showCount_, value, keys::showCount);
}
void Preferences::setAlphabetical(bool value) {
  assign(alphabetical_, value, keys::alphabetical);
}
void Preferences::setShowAppNames(bool value) {
  assign(showAppNames_, value, keys::showAppNames);
}
void Preferences::setOptionClickReveals(bool value) {
  assign(optionClickReveals_, value, keys::optionClickReveals);
}
void Preferences::setExcludedIDs(std::vector<std::string> value) {
  assign(excludedIDs_, std::move(value), keys::excludedIDs);
}
void Preferences::setVisibleBundles(std::vector<std::string> value) {
  assign(visibleBundles_, std::move(value), keys::visibleBundles);
}
void Preferences::setVisibleSystemItems(std::vector<std::int64_t> value) {
  assign(visibleSystemItems_, std::move(value), keys::visibleSystemItems);
}
void Preferences::setHideBattery(bool value) {
  assign(hideBattery_, value, keys::hideBattery);
}
void Preferences::setHideDateTime(bool value) {
  assign(hideDateTime_, value, keys::hideDateTime);
}

void Preferences::setFeatures(FeatureConfiguration value) {
  const bool changed = !(features_ == value);
  features_ = std::move(value);
  assigned.emit(keyText(keys::features));
  if (!changed) return;
  if (const auto json = encodeFeatureConfiguration(features_)) {
    if (unreadableFeatures_) {
      defaults_.setObject(keyText(keys::unreadableFeatures), *unreadableFeatures_);
      unreadableFeatures_.reset();
    }
    defaults_.setObject(keyText(keys::features), PlistData(json->begin(), json->end()));
  }
  changes.emit(keyText(keys::features));
}

std::set<SystemControl> Preferences::allowedSystemControls() const {
  std::set<SystemControl> allowed;
  for (auto raw : visibleSystemItems_) {
    const auto control = systemControlFromRaw(raw);
    if (control && !isProtected(*control)) allowed.insert(*control);
  }
  if (!hideBattery_) allowed.insert(SystemControl::battery);
  if (!hideDateTime_) allowed.insert(SystemControl::clock);
  return allowed;
}

VisibilityPreset Preferences::captureVisibility(std::string name) const {
  VisibilityPreset preset;
  preset.name = std::move(name);
  preset.bundles = visibleBundles_;
  preset.systems = visibleSystemItems_;
  preset.hideBattery = hideBattery_;
  preset.hideDateTime = hideDateTime_;
  return preset;
}

void Preferences::applyPreset(const VisibilityPreset& given) {
  // A subscriber may replace `features` while this runs, and the preset may live there.
  const VisibilityPreset preset = given;
  setVisibleBundles(preset.bundles);
  setVisibleSystemItems(preset.systems);
  setHideBattery(preset.hideBattery);
  setHideDateTime(preset.hideDateTime);
}

}  // namespace tucklet
