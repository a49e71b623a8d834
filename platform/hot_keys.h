// Global hot keys, the way the system's event manager offers them: an application event target,
// event handlers installed on it for chosen event kinds, hot keys registered by a four-character
// signature and an id (a press arrives as a hot-key-pressed event of the keyboard class whose
// direct object is that signature and id), and the system's own symbolic hot key table.
//
// Every call answers with the event manager's status code: 0 for success, a negative code for an
// error. References the service hands out are opaque; the zero value is no reference.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/plist_value.h"

namespace tucklet::platform {

using OSStatus = std::int32_t;

namespace event_status {
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;
inline constexpr OSStatus coercionFailed = -1700;
inline constexpr OSStatus eventInternalErr = -9868;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;
inline constexpr OSStatus eventNotHandledErr = -9874;
inline constexpr OSStatus eventHotKeyExistsErr = -9878;
inline constexpr OSStatus eventHotKeyInvalidErr = -9879;
}  // namespace event_status

// A four-character code as the event manager packs it: the first character in the most
// significant byte.
constexpr std::uint32_t fourCharCode(std::string_view code) {
  std::uint32_t value = 0;
  for (char c : code.substr(0, 4))
    value = (value << 8) | static_cast<unsigned char>(c);
  return value;
}

inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventParamDirectObject = fourCharCode("----");
inline constexpr std::uint32_t typeEventHotKeyID = fourCharCode("hkid");

// Carbon modifier bits of a hot key.
namespace hot_key_modifier {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
}  // namespace hot_key_modifier

// Keys of one entry (a dictionary) of the symbolic hot key table.
inline constexpr const char* kHISymbolicHotKeyEnabled = "kHISymbolicHotKeyEnabled";
inline constexpr const char* kHISymbolicHotKeyCode = "kHISymbolicHotKeyCode";
inline constexpr const char* kHISymbolicHotKeyModifiers = "kHISymbolicHotKeyModifiers";

enum class EventTargetRef : std::uint64_t {};
enum class EventHandlerRef : std::uint64_t {};
enum class EventHotKeyRef : std::uint64_t {};

struct EventTypeSpec {
  std::uint32_t eventClass = 0;
  std::uint32_t eventKind = 0;
};

struct EventHotKeyID {
  std::uint32_t signature = 0;
  std::uint32_t id = 0;
  friend bool operator==(const EventHotKeyID&, const EventHotKeyID&) = default;
};

// One event as a handler receives it. Its parameters are read through `getEventParameter`.
struct Event {
  std::uint32_t eventClass = 0;
  std::uint32_t eventKind = 0;
  // The direct object of a hot-key-pressed event.
  std::optional<EventHotKeyID> directObject;
};
using EventRef = const Event*;

// A handler: the event (null when there is none) and the user data it was installed with. It
// answers `eventNotHandledErr` to let the next handler have the event.
using EventHandlerProc = OSStatus (*)(EventRef event, void* userData);

class HotKeys {
 public:
  virtual ~HotKeys() = default;

  virtual EventTargetRef applicationEventTarget() = 0;
  // Installs `handler` on `target` for the event kinds in `types`. Handlers run on the main
  // thread, the most recently installed first.
  virtual OSStatus installEventHandler(EventTargetRef target, EventHandlerProc handler,
                                       std::span<const EventTypeSpec> types, void* userData,
                                       EventHandlerRef* outRef) = 0;
  virtual OSStatus removeEventHandler(EventHandlerRef handler) = 0;

  // Registers a global hot key. A combination that any registration of any process holds is
  // refused with `eventHotKeyExistsErr`.
  virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                       EventHotKeyID id, EventTargetRef target,
                                       std::uint32_t options, EventHotKeyRef* outRef) = 0;
  virtual OSStatus unregisterEventHotKey(EventHotKeyRef hotKey) = 0;

  // Reads a parameter of an event; only hot key ids (`typeEventHotKeyID`) are offered.
  virtual OSStatus getEventParameter(EventRef event, std::uint32_t name, std::uint32_t desiredType,
                                     EventHotKeyID* outData) = 0;

  // The system's symbolic hot keys: an array of dictionaries with the keys above.
  virtual OSStatus copySymbolicHotKeys(std::optional<PlistValue>* outArray) = 0;
};

}  // namespace tucklet::platform
