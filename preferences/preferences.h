// The one store of the user's settings: typed properties mirroring a fixed set of user defaults
// keys, loaded once at creation and written straight back when an assignment changes them.
//
// Every assignment is announced on `assigned` (changed or not, for views that mirror the store);
// one that changes a value writes it and announces its key on `changes`, and for the four
// visibility keys also an event on `visibilityChanges`. All three emit synchronously within the
// assignment. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "features/feature_configuration.h"
#include "inventory/system_control.h"
#include "platform/connection.h"
#include "platform/plist_value.h"
#include "platform/user_defaults.h"

namespace tucklet {

// Defaults keys; each equals its property's name.
namespace preference_keys {
inline constexpr std::string_view setupComplete = "setupComplete";
inline constexpr std::string_view autoCollapse = "autoCollapse";
inline constexpr std::string_view collapseDelay = "collapseDelay";
inline constexpr std::string_view symbol = "symbol";
inline constexpr std::string_view showCount = "showCount";
inline constexpr std::string_view alphabetical = "alphabetical";
inline constexpr std::string_view showAppNames = "showAppNames";
inline constexpr std::string_view optionClickReveals = "optionClickReveals";
inline constexpr std::string_view excludedIDs = "excludedIDs";
inline constexpr std::string_view visibleBundles = "visibleBundles";
inline constexpr std::string_view visibleSystemItems = "visibleSystemItems";
inline constexpr std::string_view hideBattery = "hideBattery";
inline constexpr std::string_view hideDateTime = "hideDateTime";
inline constexpr std::string_view features = "features";
// Set once the fold image has replaced an earlier "tray.full" choice.
inline constexpr std::string_view foldIconIntroduced = "foldIconIntroduced";
// Where an undecodable "features" value is kept before a new configuration replaces it.
inline constexpr std::string_view unreadableFeatures = "features.unreadable";

// The settings a visibility preset captures, in assignment order.
inline constexpr std::array<std::string_view, 4> visibility = {visibleBundles, visibleSystemItems,
                                                               hideBattery, hideDateTime};
}  // namespace preference_keys

class Preferences {
 public:
  // Registers the defaults, loads every property and migrates the status item image once.
  explicit Preferences(platform::UserDefaults& defaults);
  Preferences(const Preferences&) = delete;
  Preferences& operator=(const Preferences&) = delete;

  // The eight values placed in the registration domain.
  static platform::PlistDict registeredDefaults();

  platform::Signal<std::string> changes;
  platform::Signal<> visibilityChanges;
  platform::Signal<std::string> assigned;

  bool setupComplete() const { return setupComplete_; }
  bool autoCollapse() const { return autoCollapse_; }
  double collapseDelay() const { return collapseDelay_; }
  // Raw value of BarSymbol (an image name).
  const std::string& symbol() const { return symbol_; }
  bool showCount() const { return showCount_; }
  bool alphabetical() const { return alphabetical_; }
  bool showAppNames() const { return showAppNames_; }
  bool optionClickReveals() const { return optionClickReveals_; }
  const std::vector<std::string>& excludedIDs() const { return excludedIDs_; }
  const std::vector<std::string>& visibleBundles() const { return visibleBundles_; }
  // Raw values of SystemControl, as stored (not checked).
  const std::vector<std::int64_t>& visibleSystemItems() const { return visibleSystemItems_; }
  bool hideBattery() const { return hideBattery_; }
  bool hideDateTime() const { return hideDateTime_; }
  const FeatureConfiguration& features() const { return features_; }

  void setSetupComplete(bool value);
  void setAutoCollapse(bool value);
  void setCollapseDelay(double value);
  void setSymbol(std::string value);
  void setShowCount(bool value);
  void setAlphabetical(bool value);
  void setShowAppNames(bool value);
  void setOptionClickReveals(bool value);
  void setExcludedIDs(std::vector<std::string> value);
  void setVisibleBundles(std::vector<std::string> value);
  void setVisibleSystemItems(std::vector<std::int64_t> value);
  void setHideBattery(bool value);
  void setHideDateTime(bool value);
  // Writes the JSON form under "features" when it differs; a configuration with no JSON form is
  // not written, but the change is still announced.
  void setFeatures(FeatureConfiguration value);

  // The system controls allowed to stay visible: those in `visibleSystemItems` (unknown raw
  // values dropped), with battery and clock decided only by `hideBattery` / `hideDateTime`.
  std::set<SystemControl> allowedSystemControls() const;

  // The four visibility settings as a new preset with a fresh id.
  VisibilityPreset captureVisibility(std::string name) const;
  // Assigns the preset's four values one by one, each an ordinary assignment.
  void applyPreset(const VisibilityPreset& preset);

 private:
  template <typename T>
  void assign(T& field, T value, std::string_view key);

  platform::UserDefaults& defaults_;
  bool setupComplete_ = false;
  bool autoCollapse_ = true;
  double collapseDelay_ = 8.0;
  std::string symbol_;
  bool showCount_ = false;
  bool alphabetical_ = false;
  bool showAppNames_ = true;
  bool optionClickReveals_ = true;
  std::vector<std::string> excludedIDs_;
  std::vector<std::string> visibleBundles_;
  std::vector<std::int64_t> visibleSystemItems_;
  bool hideBattery_ = false;
  bool hideDateTime_ = false;
  FeatureConfiguration features_;
  // The stored "features" value that did not decode, until it has been copied aside.
  std::optional<platform::PlistValue> unreadableFeatures_;
};

}  // namespace tucklet
