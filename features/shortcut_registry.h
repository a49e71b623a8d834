// The global shortcuts as system-wide hot keys: a registration pass turns the configuration's
// `shortcuts` into hot keys (refusing combinations without Command, Option or Control and those the
// system uses for its own keyboard shortcuts), and a press runs the bound action. The hot key
// service needs no keyboard-monitoring permission.
//
// Every problem found while registering is one line in `errors`, for the shortcuts pane.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "features/feature_configuration.h"
#include "platform/hot_keys.h"

namespace tucklet {

// The hot key signature of every shortcut: "TKLT".
inline constexpr std::uint32_t shortcutSignature = platform::fourCharCode("TKLT");

// The Carbon modifier mask of a shortcut's flags.
std::uint32_t shortcutModifierMask(const KeyboardShortcut& shortcut);

class ShortcutRegistry {
 public:
  using Perform = std::function<void(const KeyboardShortcut&)>;

  // Installs the hot-key-pressed handler on the application's event target.
  explicit ShortcutRegistry(platform::HotKeys& hotKeys);
  // Unregisters everything and removes the handler.
  ~ShortcutRegistry();
  ShortcutRegistry(const ShortcutRegistry&) = delete;
  ShortcutRegistry& operator=(const ShortcutRegistry&) = delete;

  // Unregisters everything, then registers `shortcuts`; shortcut n (1-based) gets hot key id n
  // and runs `perform` with itself when pressed.
  void registerShortcuts(const std::vector<KeyboardShortcut>& shortcuts, Perform perform);
  // Unregisters every hot key and forgets the actions and errors.
  void unregisterAll();

  const std::vector<std::string>& errors() const { return errors_; }
  std::size_t registrationCount() const { return registrations_.size(); }
  // The ids that have an action, in ascending order.
  std::vector<std::uint32_t> registeredIds() const;

  // The hot-key-pressed handler: the event manager calls it with the registry as user data.
  static platform::OSStatus handleHotKeyEvent(platform::EventRef event, void* userData);

 private:
  // Whether an enabled entry of the system's table has this key code and modifier mask.
  static bool usedBySystem(const platform::PlistValue& table, std::uint32_t keyCode,
                           std::uint32_t mask);

  platform::HotKeys& hotKeys_;
  std::vector<platform::EventHotKeyRef> registrations_;
  std::optional<platform::EventHandlerRef> handler_;
  std::map<std::uint32_t, std::function<void()>> actions_;
  std::vector<std::string> errors_;
};

}  // namespace tucklet
