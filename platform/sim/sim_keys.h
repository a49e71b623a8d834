// The simulated Mac's keyboard: an ANSI (US) layout, mapping key names and typed characters to
// virtual key codes and the modifiers that produce them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tucklet::sim {

// What a character typed on the layout takes: a key and, for capitals and the upper signs of the
// number row, Shift. A character the layout has no key for is typed as text only, with `keyCode`
// `kNoKeyCode` (the way an input method delivers it).
struct KeyStroke {
  std::uint16_t keyCode = 0;
  std::uint32_t modifiers = 0;  // event flags (`platform::ModifierFlag`)
  std::string characters;       // the character, UTF-8
};
inline constexpr std::uint16_t kNoKeyCode = 0xFFFF;

// "a", "7", "escape", "return", "tab", "space", "delete", "left", "f5", ...; nothing for a name the
// layout does not have.
std::optional<std::uint16_t> keyCodeNamed(std::string_view name);
// Every key name, for error messages.
std::vector<std::string_view> keyNames();
// The strokes that type `text`, one per character (UTF-8 sequences are kept whole).
std::vector<KeyStroke> strokesFor(std::string_view text);

}  // namespace tucklet::sim
