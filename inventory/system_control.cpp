#include "inventory/system_control.h"

namespace tucklet {

namespace {

struct ControlInfo {
  std::string_view title;
  std::string_view displayName;
  std::string_view symbol;
};

constexpr std::array<ControlInfo, 9> controlInfo = {{
    {"Battery", "Battery", "battery.100"},
    {"Bluetooth", "Bluetooth", "antenna.radiowaves.left.and.right"},
    {"Date & Time", "Date & Time", "clock"},
    {"Displays", "Displays", "display"},
    {"Input menu", "Input menu", "keyboard"},
    {"Sound", "Sound", "speaker.wave.2"},
    {"Wi-Fi", "Wi-Fi", "wifi"},
    {"Screen Mirroring", "Screen Mirroring", "rectangle.on.rectangle"},
    {"Control Center", "Control Center", "switch.2"},
}};

const ControlInfo& info(SystemControl control) {
  return controlInfo[static_cast<std::size_t>(rawValue(control))];
}

struct SymbolInfo {
  std::string_view raw;
  std::string_view label;
};

constexpr std::array<SymbolInfo, 5> symbolInfo = {{
    {"tucklet.fold", "Quiver"},
    {"tray.full", "Tray"},
    {"ellipsis", "Three dots"},
    {"square.grid.2x2", "Grid"},
    {"chevron.down", "Chevron"},
}};

}  // namespace

std::optional<SystemControl> systemControlFromRaw(long long raw) {
  if (raw < 0 || raw > 8) return std::nullopt;
  return static_cast<SystemControl>(raw);
}

std::string_view title(SystemControl control) { return info(control).title; }
std::string_view itemDisplayName(SystemControl control) { return info(control).displayName; }
std::string_view symbolName(SystemControl control) { return info(control).symbol; }

std::string_view rawValue(BarSymbol symbol) {
  return symbolInfo[static_cast<std::size_t>(symbol)].raw;
}
std::string_view label(BarSymbol symbol) {
  return symbolInfo[static_cast<std::size_t>(symbol)].label;
}

std::optional<BarSymbol> barSymbolFromRaw(std::string_view raw) {
  for (auto symbol : allBarSymbols)
    if (rawValue(symbol) == raw) return symbol;
  return std::nullopt;
}

}  // namespace tucklet
