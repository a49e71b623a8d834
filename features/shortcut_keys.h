// How a shortcut's key combination reads ("⌃⌥⌘S") and how a recorded key press becomes one.
#pragma once

#include <cstdint>
#include <string>

#include "features/feature_configuration.h"
#include "platform/window_server.h"

namespace tucklet {

// The symbols of the set modifiers (control, option, shift, command) followed by the key's label.
std::string shortcutDisplayText(const KeyboardShortcut& shortcut);

// The label of a key: names for Return, Tab, Space and the arrows, else what it types without
// modifiers in capitals, else "Key " and its code.
std::string shortcutKeyLabel(std::uint16_t keyCode, const std::string& charactersIgnoringModifiers);

// `shortcut` with the key and the modifiers of a key press; its id, action and target stay.
KeyboardShortcut recordedShortcut(KeyboardShortcut shortcut, const platform::InputEvent& keyDown);

}  // namespace tucklet
