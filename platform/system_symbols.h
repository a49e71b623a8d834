// The one table of system symbols Tucklet asks for: each name is drawn from an icon of the
// installed icon theme, or from a small drawing of our own where the theme has nothing that
// fits. Every name not in the table is "no such symbol".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/symbols.h"

namespace tucklet::platform {

// Where a symbol's picture comes from: a theme icon name, or an SVG document of our own (16 × 16
// view box, drawn in black; it is tinted like every template image).
struct SymbolSource {
  std::string_view themeIcon;
  std::string_view drawing;
};

// Nothing for a name that is not a system symbol.
std::optional<SymbolSource> symbolSource(std::string_view name);
// Every name of the table, in table order.
std::vector<std::string_view> systemSymbolNames();
// The file a theme-drawn symbol comes from; nothing for drawings and unknown names, and when the
// theme's file is not installed.
std::optional<std::string> symbolThemeFile(std::string_view name);

class SystemSymbols final : public Symbols {
 public:
  // A name is a symbol when the table has it and its picture can be drawn here.
  bool hasSymbol(const std::string& name) const override;
};

}  // namespace tucklet::platform
