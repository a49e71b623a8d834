#include "features/shortcut_registry.h"

#include <array>

namespace tucklet {

namespace {

using platform::OSStatus;
namespace status = platform::event_status;

std::string shortcutMessage(std::size_t n, const std::string& rest) {
  return "Shortcut " + std::to_string(n) + " " + rest;
}

// The table's numbers as unsigned 32-bit values; anything else is no number.
std::optional<std::uint32_t> unsignedNumber(const platform::PlistValue& value) {
  if (value.isInteger()) return static_cast<std::uint32_t>(value.asInteger());
  if (value.isReal()) return static_cast<std::uint32_t>(static_cast<std::int64_t>(value.asReal()));
  return std::nullopt;
}

}  // namespace

std::uint32_t shortcutModifierMask(const KeyboardShortcut& shortcut) {
  using namespace platform::hot_key_modifier;
  std::uint32_t mask = 0;
  if (shortcut.command) mask |= command;
  if (shortcut.shift) mask |= shift;
  if (shortcut.option) mask |= option;
  if (shortcut.control) mask |= control;
  return mask;
}

ShortcutRegistry::ShortcutRegistry(platform::HotKeys& hotKeys) : hotKeys_(hotKeys) {
  static constexpr std::array<platform::EventTypeSpec, 1> types{
      platform::EventTypeSpec{platform::kEventClassKeyboard, platform::kEventHotKeyPressed}};
  platform::EventHandlerRef ref{};
  if (hotKeys_.installEventHandler(hotKeys_.applicationEventTarget(), &handleHotKeyEvent, types,
                                   this, &ref) == status::noErr)
    handler_ = ref;
}

ShortcutRegistry::~ShortcutRegistry() {
  unregisterAll();
  if (handler_) hotKeys_.removeEventHandler(*handler_);
}

void ShortcutRegistry::unregisterAll() {
  for (const auto ref : registrations_)
    hotKeys_.unregisterEventHotKey(ref);
  registrations_.clear();
  actions_.clear();
  errors_.clear();
}

std::vector<std::uint32_t> ShortcutRegistry::registeredIds() const {
  std::vector<std::uint32_t> ids;
  for (const auto& [id, action] : actions_)
    ids.push_back(id);
  return ids;
}

bool ShortcutRegistry::usedBySystem(const platform::PlistValue& table, std::uint32_t keyCode,
                                    std::uint32_t mask) {
  if (!table.isArray()) return false;
  for (const auto& entry : table.asArray()) {
    if (!entry.isDict()) continue;
    const auto& dict = entry.asDict();
    const auto enabled = dict.find(platform::kHISymbolicHotKeyEnabled);
    const auto code = dict.find(platform::kHISymbolicHotKeyCode);
    const auto modifiers = dict.find(platform::kHISymbolicHotKeyModifiers);
    if (enabled == dict.end() || code == dict.end() || modifiers == dict.end()) continue;
    if (!enabled->second.isBool() || !enabled->second.asBool()) continue;
    const auto codeValue = unsignedNumber(code->second);
    const auto modifierValue = unsignedNumber(modifiers->second);
    if (codeValue == keyCode && modifierValue == mask) return true;
  }
  return false;
}

void ShortcutRegistry::registerShortcuts(const std::vector<KeyboardShortcut>& shortcuts,
                                         Perform perform) {
  unregisterAll();
  if (shortcuts.empty()) return;

  std::optional<platform::PlistValue> table;
  const OSStatus tableStatus = hotKeys_.copySymbolicHotKeys(&table);
  if (tableStatus != status::noErr || !table) {
    errors_.push_back("Could not check macOS keyboard shortcuts (code " +
                      std::to_string(tableStatus) + "). Try again by recording a shortcut.");
    return;
  }

  for (std::size_t index = 0; index < shortcuts.size(); ++index) {
    const auto& shortcut = shortcuts[index];
    const auto n = index + 1;
    const auto mask = shortcutModifierMask(shortcut);
    if (!shortcut.command && !shortcut.option && !shortcut.control) {
      errors_.push_back(shortcutMessage(n, "needs Command, Option, or Control."));
      continue;
    }
    if (usedBySystem(*table, shortcut.keyCode, mask)) {
      errors_.push_back(shortcutMessage(
          n,
          "is used by macOS. Record another combination, or change it in System Settings → "
          "Keyboard → Keyboard Shortcuts, then record it again here."));
      continue;
    }
    const platform::EventHotKeyID id{shortcutSignature, static_cast<std::uint32_t>(n)};
    platform::EventHotKeyRef ref{};
    const OSStatus result = hotKeys_.registerEventHotKey(
        shortcut.keyCode, mask, id, hotKeys_.applicationEventTarget(), 0, &ref);
    if (result == status::noErr && ref != platform::EventHotKeyRef{}) {
      registrations_.push_back(ref);
      actions_[id.id] = [perform, shortcut] {
        if (perform) perform(shortcut);
      };
    } else {
      errors_.push_back(
          shortcutMessage(n, "could not be registered (code " + std::to_string(result) + ")."));
    }
  }
}

OSStatus ShortcutRegistry::handleHotKeyEvent(platform::EventRef event, void* userData) {
  if (!event || !userData) return status::eventNotHandledErr;
  auto& registry = *static_cast<ShortcutRegistry*>(userData);
  platform::EventHotKeyID id{};
  const OSStatus read = registry.hotKeys_.getEventParameter(
      event, platform::kEventParamDirectObject, platform::typeEventHotKeyID, &id);
  if (read != status::noErr) return read;
  // The signature is not looked at: only this registry's hot keys reach this handler.
  if (auto it = registry.actions_.find(id.id); it != registry.actions_.end()) {
    // The action may register afresh (a preset applied by hand changes the configuration):
    // run a copy.
    auto action = it->second;
    action();
  }
  return status::noErr;
}

}  // namespace tucklet
