// The registration pass against the simulated desktop's hot key service: its messages, the ids
// and masks it registers, the system table's conflicts, and what a press runs.
#include "features/shortcut_registry.h"

#include <gtest/gtest.h>

#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

constexpr std::uint32_t kCommand = 0x100, kShift = 0x200, kOption = 0x800;

KeyboardShortcut shortcut(std::uint32_t keyCode, bool command, bool option, bool control,
                          bool shift, ShortcutAction action = ShortcutAction::search) {
  KeyboardShortcut s;
  s.keyCode = keyCode;
  s.command = command;
  s.option = option;
  s.control = control;
  s.shift = shift;
  s.action = action;
  return s;
}

class ShortcutRegistryTest : public DesktopTest {
 protected:
  void SetUp() override { startWith({}); }

  void startWith(std::vector<platform::SymbolicHotKey> table, std::int32_t tableStatus = 0) {
    registry.reset();
    start(WorldBuilder()
              .app(100, "com.example.a", "A")
              .frontmost()
              .app(200, "com.example.launcher", "Launcher")
              .withApp([](sim::WorldApplication& a) {
                a.hotKeys.push_back({2, kCommand});
              })
              .withWorld([&](sim::World& w) {
                w.symbolicHotKeys = table;
                w.symbolicHotKeysStatus = tableStatus;
              })
              .build());
    registry = std::make_unique<ShortcutRegistry>(desktop->hotKeys());
  }

  void registerAll(const std::vector<KeyboardShortcut>& shortcuts) {
    registry->registerShortcuts(
        shortcuts, [this](const KeyboardShortcut& s) { performed.push_back(s.action); });
  }

  std::unique_ptr<ShortcutRegistry> registry;
  std::vector<ShortcutAction> performed;
};

TEST_F(ShortcutRegistryTest, RegistrationPassMessagesAndIds) {
  // Shift-S alone at 1, a valid one at 2: one message, one hot key with id 2.
  registerAll({shortcut(1, false, false, false, true), shortcut(1, true, false, false, true)});
  EXPECT_EQ(registry->errors(),
            std::vector<std::string>{"Shortcut 1 needs Command, Option, or Control."});
  EXPECT_EQ(registry->registeredIds(), std::vector<std::uint32_t>{2});
  desktop->pressHotKey(1, kCommand | kShift);
  loop.drain();
  EXPECT_EQ(performed, std::vector<ShortcutAction>{ShortcutAction::search});

  // Another process holds Command-D; a second, identical combination is refused by the system;
  // neither stops the pass.
  registerAll({shortcut(2, true, false, false, false),
               shortcut(3, true, true, false, false, ShortcutAction::reveal),
               shortcut(3, true, true, false, false, ShortcutAction::overflow)});
  EXPECT_EQ(registry->errors(),
            (std::vector<std::string>{"Shortcut 1 could not be registered (code -9878).",
                                      "Shortcut 3 could not be registered (code -9878)."}));
  EXPECT_EQ(registry->registeredIds(), std::vector<std::uint32_t>{2});
  desktop->pressHotKey(3, kCommand | kOption);
  loop.drain();
  EXPECT_EQ(performed.back(), ShortcutAction::reveal);

  // Registering afresh drops the old hot keys, and destruction drops the rest.
  registerAll({});
  EXPECT_EQ(registry->registrationCount(), 0u);
  EXPECT_TRUE(registry->errors().empty());
  desktop->pressHotKey(3, kCommand | kOption);
  loop.drain();
  EXPECT_EQ(performed.size(), 2u);
  registerAll({shortcut(3, true, true, false, false)});
  registry.reset();
  std::optional<platform::PlistValue> unused;
  platform::EventHotKeyRef ref{};
  EXPECT_EQ(
      desktop->hotKeys().registerEventHotKey(3, kCommand | kOption, {1, 1},
                                             desktop->hotKeys().applicationEventTarget(), 0, &ref),
      0)
      << "the destroyed registry no longer holds the combination";
}

TEST_F(ShortcutRegistryTest, TheSystemTable) {
  // The initial shortcut is Control-Option-Command-S: mask 0x1900.
  EXPECT_EQ(shortcutModifierMask(KeyboardShortcut{}), 0x1900u);
  startWith({{64, true, 49, kCommand}, {65, false, 1, 0x1900}});
  registerAll({shortcut(49, true, false, false, false), KeyboardShortcut{}});
  EXPECT_EQ(registry->errors(),
            std::vector<std::string>{
                "Shortcut 1 is used by macOS. Record another combination, or change it in System "
                "Settings → Keyboard → Keyboard Shortcuts, then record it again here."});
  EXPECT_EQ(registry->registeredIds(), std::vector<std::uint32_t>{2})
      << "a disabled system entry does not conflict";

  // A table that cannot be read stops the pass; an empty list does not read it at all.
  startWith({}, -9868);
  registerAll({KeyboardShortcut{}});
  EXPECT_EQ(registry->errors(),
            std::vector<std::string>{"Could not check macOS keyboard shortcuts (code -9868). Try "
                                     "again by recording a shortcut."});
  EXPECT_EQ(registry->registrationCount(), 0u);
  registerAll({});
  EXPECT_TRUE(registry->errors().empty());
}

TEST_F(ShortcutRegistryTest, HandlerStatuses) {
  using namespace platform::event_status;
  registerAll({KeyboardShortcut{}});
  const platform::Event unknown{platform::kEventClassKeyboard, 5, platform::EventHotKeyID{0, 9}};
  const platform::Event bare{platform::kEventClassKeyboard, 5, std::nullopt};
  const platform::Event known{platform::kEventClassKeyboard, 5, platform::EventHotKeyID{0, 1}};
  EXPECT_EQ(ShortcutRegistry::handleHotKeyEvent(nullptr, registry.get()), eventNotHandledErr);
  EXPECT_EQ(ShortcutRegistry::handleHotKeyEvent(&known, nullptr), eventNotHandledErr);
  EXPECT_EQ(ShortcutRegistry::handleHotKeyEvent(&bare, registry.get()), eventParameterNotFoundErr);
  EXPECT_EQ(ShortcutRegistry::handleHotKeyEvent(&unknown, registry.get()), noErr)
      << "an unknown id is consumed";
  EXPECT_TRUE(performed.empty());
  // The signature is not looked at.
  EXPECT_EQ(ShortcutRegistry::handleHotKeyEvent(&known, registry.get()), noErr);
  EXPECT_EQ(performed, std::vector<ShortcutAction>{ShortcutAction::search});
}

}  // namespace
}  // namespace tucklet::testing
