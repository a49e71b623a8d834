// The window server: the list of on-screen windows, synthetic input events, and the event
// monitors through which this process sees input meant for other processes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/geometry.h"

namespace tucklet::platform {

using WindowNumber = std::uint32_t;

// One entry of the on-screen window list. Bounds are in window-list coordinates (origin
// top-left of the primary screen, y down).
struct WindowInfo {
  WindowNumber number = 0;
  pid_t ownerPid = 0;
  std::string ownerName;
  std::string name;
  int layer = 0;  // 0 ordinary windows, 24/25 the menu bar and status items, 101 pop-up menus
  Rect bounds;
  std::optional<double> alpha;
  bool isDesktopElement = false;  // wallpaper and desktop icons
};

enum class EventType {
  LeftMouseDown,
  LeftMouseUp,
  RightMouseDown,
  RightMouseUp,
  MouseMoved,
  KeyDown,
  KeyUp,
  ScrollWheel,
  LeftMouseDragged,  // the pointer moved with the left button held
};

// Modifier flags, as the platform's device-independent bits.
enum ModifierFlag : std::uint32_t {
  ModifierShift = 1u << 17,
  ModifierControl = 1u << 18,
  ModifierOption = 1u << 19,
  ModifierCommand = 1u << 20,
};

// Virtual key codes of the keys the system itself gives meaning to (menus, panels).
namespace key_code {
constexpr std::uint16_t Return = 36;
constexpr std::uint16_t Tab = 48;
constexpr std::uint16_t Space = 49;
constexpr std::uint16_t Delete = 51;
constexpr std::uint16_t Escape = 53;
constexpr std::uint16_t KeypadEnter = 76;
constexpr std::uint16_t LeftArrow = 123;
constexpr std::uint16_t RightArrow = 124;
constexpr std::uint16_t DownArrow = 125;
constexpr std::uint16_t UpArrow = 126;
}  // namespace key_code

struct InputEvent {
  EventType type = EventType::MouseMoved;
  Point location;  // screen coordinates (origin bottom-left, y up)
  std::uint32_t modifiers = 0;
  std::uint16_t keyCode = 0;  // key events; 53 is Escape
  std::string characters;     // key events: the text the key typed, UTF-8 ("" for none)
  // Key events: what the key types without modifiers (lower-case letters); "" for none.
  std::string charactersIgnoringModifiers;
  double scrollDeltaX = 0;
  double scrollDeltaY = 0;
  pid_t targetPid = 0;  // process the event was delivered to (filled in by the platform)
};

using EventMask = std::uint32_t;
constexpr EventMask eventMaskFor(EventType type) {
  return 1u << static_cast<unsigned>(type);
}

class EventMonitor {
 public:
  virtual ~EventMonitor() = default;
};

class WindowServer {
 public:
  virtual ~WindowServer() = default;

  // On-screen windows, front to back.
  virtual std::vector<WindowInfo> onScreenWindows(bool excludeDesktopElements) const = 0;

  // Posts a synthetic event at the session level; it is routed to whatever is under the point
  // (mouse) or to the key window / open menu (keys).
  virtual void postEvent(const InputEvent& event) = 0;

  // Global monitor: sees matching events delivered to other processes. Local monitor: sees this
  // process's own events before they are handled. Both run their handler on the main thread and
  // stop when the returned monitor is destroyed.
  virtual std::unique_ptr<EventMonitor> addGlobalMonitor(
      EventMask mask, std::function<void(const InputEvent&)> handler) = 0;
  virtual std::unique_ptr<EventMonitor> addLocalMonitor(
      EventMask mask, std::function<void(const InputEvent&)> handler) = 0;

  // Whether this process may capture the screen (the user approved screen recording).
  virtual bool screenCaptureApproved() const = 0;
};

}  // namespace tucklet::platform
