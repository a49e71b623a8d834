#include "features/shortcut_keys.h"

#include "inventory/text.h"

namespace tucklet {

std::string shortcutDisplayText(const KeyboardShortcut& shortcut) {
  std::string text;
  if (shortcut.control) text += "⌃";
  if (shortcut.option) text += "⌥";
  if (shortcut.shift) text += "⇧";
  if (shortcut.command) text += "⌘";
  return text + shortcut.keyLabel;
}

std::string shortcutKeyLabel(std::uint16_t keyCode,
                             const std::string& charactersIgnoringModifiers) {
  switch (keyCode) {
    case platform::key_code::Return:
      return "Return";
    case platform::key_code::Tab:
      return "Tab";
    case platform::key_code::Space:
      return "Space";
    case platform::key_code::LeftArrow:
      return "←";
    case platform::key_code::RightArrow:
      return "→";
    case platform::key_code::DownArrow:
      return "↓";
    case platform::key_code::UpArrow:
      return "↑";
    default:
      break;
  }
  if (charactersIgnoringModifiers.empty()) return "Key " + std::to_string(keyCode);
  return uppercased(charactersIgnoringModifiers);
}

KeyboardShortcut recordedShortcut(KeyboardShortcut shortcut, const platform::InputEvent& keyDown) {
  shortcut.keyCode = keyDown.keyCode;
  shortcut.keyLabel = shortcutKeyLabel(keyDown.keyCode, keyDown.charactersIgnoringModifiers);
  shortcut.command = (keyDown.modifiers & platform::ModifierCommand) != 0;
  shortcut.option = (keyDown.modifiers & platform::ModifierOption) != 0;
  shortcut.control = (keyDown.modifiers & platform::ModifierControl) != 0;
  shortcut.shift = (keyDown.modifiers & platform::ModifierShift) != 0;
  return shortcut;
}

}  // namespace tucklet
