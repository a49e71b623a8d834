// The system's own menu bar controls that the visibility engine can keep visible, and the images
// Tucklet's own status item can wear. Raw values are stored in settings and presets and passed
// unchanged to the native visibility interface, so they never change.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tucklet {

enum class SystemControl : int {
  battery = 0,
  bluetooth = 1,
  clock = 2,
  displays = 3,
  keyboard = 4,
  volume = 5,
  wifi = 6,
  screenMirroring = 7,
  controlCenter = 8,
};

// Every case in raw order (the order settings lists show).
inline constexpr std::array<SystemControl, 9> allSystemControls = {
    SystemControl::battery, SystemControl::bluetooth,       SystemControl::clock,
    SystemControl::displays, SystemControl::keyboard,       SystemControl::volume,
    SystemControl::wifi,    SystemControl::screenMirroring, SystemControl::controlCenter,
};

constexpr int rawValue(SystemControl control) { return static_cast<int>(control); }
// 0...8 name a control; any other integer names none.
std::optional<SystemControl> systemControlFromRaw(long long raw);

// The settings label ("Date & Time" for the clock).
std::string_view title(SystemControl control);
// The name an item of this control shows in lists.
std::string_view itemDisplayName(SystemControl control);
// The system symbol drawn for an item of this control.
std::string_view symbolName(SystemControl control);

// Battery and clock: governed by `hideBattery` / `hideDateTime` rather than by the list of
// visible controls.
constexpr bool isProtected(SystemControl control) {
  return control == SystemControl::battery || control == SystemControl::clock;
}

enum class BarSymbol { fold, tray, dots, grid, chevron };

inline constexpr std::array<BarSymbol, 5> allBarSymbols = {
    BarSymbol::fold, BarSymbol::tray, BarSymbol::dots, BarSymbol::grid, BarSymbol::chevron};

// The image name stored in the `symbol` setting.
std::string_view rawValue(BarSymbol symbol);
std::string_view label(BarSymbol symbol);
// Exactly the five raw values name a symbol.
std::optional<BarSymbol> barSymbolFromRaw(std::string_view raw);

}  // namespace tucklet
