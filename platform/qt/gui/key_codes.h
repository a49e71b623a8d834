// Qt's keys as the Mac keyboard reports them: virtual key codes (ANSI layout), modifier flags, and
// the characters a key types without modifiers.
#pragma once

#include <QKeyEvent>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/window_server.h"

namespace tucklet {

// The Mac virtual key code of a Qt key; nothing for keys the Mac keyboard has no code for. A
// shifted sign ("!") has the code of its key ("1").
std::optional<std::uint16_t> macKeyCode(int qtKey);
// Qt keyboard modifiers as the platform's modifier flags (Qt's Control is the Mac's Command).
std::uint32_t macModifiers(Qt::KeyboardModifiers modifiers);
// The character a key code types without modifiers on the ANSI layout (lower-case letters);
// empty for keys that type no printable character.
std::string macCharactersIgnoringModifiers(std::uint16_t keyCode);
// A key press as a platform key-down event; nothing for keys without a Mac key code.
std::optional<platform::InputEvent> macKeyDown(const QKeyEvent& event);

}  // namespace tucklet
