#include "platform/system_symbols.h"

#include <array>

#include "platform/icon_theme.h"

namespace tucklet::platform {

namespace {

// Our own drawings, in the theme's symbolic style (16-point grid, 1.5-point strokes, round ends).
#define TUCKLET_SYMBOL_SVG(body)                                                           \
  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 " \
  "16\">" body "</svg>"

// An in-tray holding papers.
constexpr std::string_view kTrayFull = TUCKLET_SYMBOL_SVG(
    "<g fill=\"none\" stroke=\"#000\" stroke-width=\"1.5\" stroke-linecap=\"round\" "
    "stroke-linejoin=\"round\">"
    "<path d=\"M1.75 9.25v3.5a1.5 1.5 0 0 0 1.5 1.5h9.5a1.5 1.5 0 0 0 1.5-1.5v-3.5"
    "l-1.6-5.6a1.5 1.5 0 0 0-1.45-1.1h-6.4a1.5 1.5 0 0 0-1.45 1.1z\"/>"
    "<path d=\"M1.75 9.25h3.5a2.75 2.25 0 0 0 5.5 0h3.5\"/>"
    "<path d=\"M5.25 4.75h5.5M4.75 7h6.5\"/></g>");

// A mast with radio waves on both sides.
constexpr std::string_view kAntenna = TUCKLET_SYMBOL_SVG(
    "<circle cx=\"8\" cy=\"6.5\" r=\"1.6\" fill=\"#000\"/>"
    "<g fill=\"none\" stroke=\"#000\" stroke-width=\"1.5\" stroke-linecap=\"round\">"
    "<path d=\"M8 8.5v6\"/>"
    "<path d=\"M5.6 4.1a3.4 3.4 0 0 0 0 4.8M10.4 4.1a3.4 3.4 0 0 1 0 4.8\"/>"
    "<path d=\"M3.4 1.9a6.5 6.5 0 0 0 0 9.2M12.6 1.9a6.5 6.5 0 0 1 0 9.2\"/></g>");

// Two toggle switches, one off and one on.
constexpr std::string_view kSwitches = TUCKLET_SYMBOL_SVG(
    "<g fill=\"none\" stroke=\"#000\" stroke-width=\"1.5\">"
    "<rect x=\"1.75\" y=\"1.75\" width=\"12.5\" height=\"5.5\" rx=\"2.75\"/>"
    "<rect x=\"1.75\" y=\"8.75\" width=\"12.5\" height=\"5.5\" rx=\"2.75\"/></g>"
    "<circle cx=\"4.5\" cy=\"4.5\" r=\"1.6\" fill=\"#000\"/>"
    "<circle cx=\"11.5\" cy=\"11.5\" r=\"1.6\" fill=\"#000\"/>");

// A play triangle in a rounded frame.
constexpr std::string_view kPlayRectangle = TUCKLET_SYMBOL_SVG(
    "<rect x=\"1.75\" y=\"2.75\" width=\"12.5\" height=\"10.5\" rx=\"2.25\" fill=\"none\" "
    "stroke=\"#000\" stroke-width=\"1.5\"/>"
    "<path d=\"M6.5 5.4v5.2a.4.4 0 0 0 .6.35l4.2-2.6a.4.4 0 0 0 0-.7l-4.2-2.6a.4.4 0 0 0-.6.35z\" "
    "fill=\"#000\"/>");

// The outline of an application icon.
constexpr std::string_view kApp = TUCKLET_SYMBOL_SVG(
    "<rect x=\"2.25\" y=\"2.25\" width=\"11.5\" height=\"11.5\" rx=\"3\" fill=\"none\" "
    "stroke=\"#000\" stroke-width=\"1.5\"/>");

// A window with its menu bar along the top.
constexpr std::string_view kMenubarRectangle = TUCKLET_SYMBOL_SVG(
    "<rect x=\"1.75\" y=\"2.75\" width=\"12.5\" height=\"10.5\" rx=\"2.25\" fill=\"none\" "
    "stroke=\"#000\" stroke-width=\"1.5\"/>"
    "<path d=\"M2.5 6.25h11\" stroke=\"#000\" stroke-width=\"1.5\"/>");

// Three sliders, their knobs at different places.
constexpr std::string_view kSliders = TUCKLET_SYMBOL_SVG(
    "<g stroke=\"#000\" stroke-width=\"1.5\" stroke-linecap=\"round\">"
    "<path d=\"M1.75 3.5h12.5M1.75 8h12.5M1.75 12.5h12.5\"/></g>"
    "<circle cx=\"10.5\" cy=\"3.5\" r=\"1.9\" fill=\"#000\"/>"
    "<circle cx=\"5\" cy=\"8\" r=\"1.9\" fill=\"#000\"/>"
    "<circle cx=\"8.5\" cy=\"12.5\" r=\"1.9\" fill=\"#000\"/>");

// A lightning bolt.
constexpr std::string_view kBolt = TUCKLET_SYMBOL_SVG(
    "<path d=\"M9.2 1.2L3.2 9h4.2l-.8 5.8 6.2-8.1H8.5z\" fill=\"#000\" stroke=\"#000\" "
    "stroke-width=\"0.8\" stroke-linejoin=\"round\"/>");

// An empty in-tray.
constexpr std::string_view kTray = TUCKLET_SYMBOL_SVG(
    "<g fill=\"none\" stroke=\"#000\" stroke-width=\"1.5\" stroke-linecap=\"round\" "
    "stroke-linejoin=\"round\">"
    "<path d=\"M1.75 9.25v3.5a1.5 1.5 0 0 0 1.5 1.5h9.5a1.5 1.5 0 0 0 1.5-1.5v-3.5"
    "l-1.6-5.6a1.5 1.5 0 0 0-1.45-1.1h-6.4a1.5 1.5 0 0 0-1.45 1.1z\"/>"
    "<path d=\"M1.75 9.25h3.5a2.75 2.25 0 0 0 5.5 0h3.5\"/></g>");

#undef TUCKLET_SYMBOL_SVG

struct Entry {
  std::string_view name;
  SymbolSource source;
};

// The status item's images, the system controls' and the now-playing item's symbols, and the
// few the menus and panels use.
constexpr std::array kTable{
    Entry{"tray.full", {{}, kTrayFull}},
    Entry{"ellipsis", {"view-more-horizontal-symbolic", {}}},
    Entry{"square.grid.2x2", {"view-grid-symbolic", {}}},
    Entry{"chevron.down", {"go-down-symbolic", {}}},
    Entry{"battery.100", {"battery-level-100-symbolic", {}}},
    Entry{"antenna.radiowaves.left.and.right", {{}, kAntenna}},
    Entry{"clock", {"preferences-system-time-symbolic", {}}},
    Entry{"display", {"video-display-symbolic", {}}},
    Entry{"keyboard", {"input-keyboard-symbolic", {}}},
    Entry{"speaker.wave.2", {"audio-volume-medium-symbolic", {}}},
    Entry{"wifi", {"network-wireless-signal-excellent-symbolic", {}}},
    Entry{"rectangle.on.rectangle", {"edit-copy-symbolic", {}}},
    Entry{"switch.2", {{}, kSwitches}},
    Entry{"play.rectangle", {{}, kPlayRectangle}},
    Entry{"exclamationmark.triangle", {"dialog-warning-symbolic", {}}},
    Entry{"magnifyingglass", {"system-search-symbolic", {}}},
    Entry{"app", {{}, kApp}},
    // The settings window's sidebar, banner and controls.
    Entry{"gearshape", {"emblem-system-symbolic", {}}},
    Entry{"menubar.rectangle", {{}, kMenubarRectangle}},
    Entry{"paintpalette", {"applications-graphics-symbolic", {}}},
    Entry{"folder", {"folder-symbolic", {}}},
    Entry{"slider.horizontal.3", {{}, kSliders}},
    Entry{"bolt", {{}, kBolt}},
    Entry{"questionmark.circle", {"help-browser-symbolic", {}}},
    Entry{"info.circle", {"help-about-symbolic", {}}},
    Entry{"chevron.up", {"go-up-symbolic", {}}},
    Entry{"tray", {{}, kTray}},
    // The onboarding's crowded menu bar and its buttons.
    Entry{"cloud", {"weather-overcast-symbolic", {}}},
    Entry{"headphones", {"audio-headphones-symbolic", {}}},
    Entry{"externaldrive", {"drive-harddisk-symbolic", {}}},
    Entry{"calendar", {"x-office-calendar-symbolic", {}}},
    Entry{"waveform", {"audio-x-generic-symbolic", {}}},
    Entry{"bell", {"preferences-system-notifications-symbolic", {}}},
    Entry{"paperplane", {"mail-send-symbolic", {}}},
    Entry{"sun.max", {"weather-clear-symbolic", {}}},
    Entry{"link", {"insert-link-symbolic", {}}},
    Entry{"xmark", {"window-close-symbolic", {}}},
    Entry{"arrow.up", {"go-up-symbolic", {}}},
};

}  // namespace

std::optional<SymbolSource> symbolSource(std::string_view name) {
  for (const auto& entry : kTable)
    if (entry.name == name) return entry.source;
  return std::nullopt;
}

std::vector<std::string_view> systemSymbolNames() {
  std::vector<std::string_view> names;
  for (const auto& entry : kTable)
    names.push_back(entry.name);
  return names;
}

std::optional<std::string> symbolThemeFile(std::string_view name) {
  const auto source = symbolSource(name);
  if (!source || source->themeIcon.empty()) return std::nullopt;
  return iconThemeFile(std::string(source->themeIcon));
}

bool SystemSymbols::hasSymbol(const std::string& name) const {
  const auto source = symbolSource(name);
  if (!source) return false;
  return !source->drawing.empty() || symbolThemeFile(name).has_value();
}

}  // namespace tucklet::platform
