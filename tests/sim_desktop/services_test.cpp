// The smaller services: the login item, hot keys, the application object, pop-up menus and
// power sources.
#include "tests/sim_desktop/desktop_fixture.h"

namespace tucklet::testing {
namespace {

using platform::LoginItemStatus;
using platform::MenuModel;
using platform::MenuRow;

constexpr std::uint32_t kSignature = 0x544B4C54;  // "TKLT"

class ServicesTest : public DesktopTest {
 protected:
  void SetUp() override {
    start(WorldBuilder()
              .app(100, "com.example.a", "A")
              .frontmost({"File", "Edit"})
              .extra("a-item")
              .at(0)
              .withWorld([](sim::World& w) {
                w.symbolicHotKeys.push_back({64, true, 49, 256});
                w.powerSources.push_back({"InternalBattery", 80, 100, "Battery Power"});
              })
              .build());
  }

  static MenuRow row(const std::string& title, std::function<void()> action = {}) {
    MenuRow r;
    r.title = title;
    r.action = std::move(action);
    return r;
  }
};

TEST_F(ServicesTest, LoginItemRegistration) {
  auto& login = desktop->loginService();
  std::string error;
  EXPECT_EQ(login.status(), LoginItemStatus::NotRegistered);
  EXPECT_TRUE(login.registerMainApp(error));
  EXPECT_EQ(login.status(), LoginItemStatus::Enabled);
  EXPECT_TRUE(login.unregisterMainApp(error));
  EXPECT_EQ(login.status(), LoginItemStatus::NotRegistered);

  desktop->setLoginItemStatus(LoginItemStatus::NotRegistered, true);
  EXPECT_TRUE(login.registerMainApp(error));
  EXPECT_EQ(login.status(), LoginItemStatus::RequiresApproval);

  start(WorldBuilder()
            .withWorld([](sim::World& w) { w.loginError = "Operation not permitted"; })
            .build());
  EXPECT_FALSE(desktop->loginService().registerMainApp(error));
  EXPECT_EQ(error, "Operation not permitted");
  EXPECT_EQ(desktop->loginService().status(), LoginItemStatus::NotRegistered);
  desktop->loginService().openLoginItemsSettings();
  EXPECT_EQ(desktop->openedURLs(),
            std::vector<std::string>{
                "x-apple.systempreferences:com.apple.LoginItems-Settings.extension"});
}

// Counts the hot-key-pressed events a handler sees, by id; answers as told.
struct HotKeyLog {
  platform::HotKeys* hotKeys = nullptr;
  std::vector<std::uint32_t> pressed;
  platform::OSStatus answer = platform::event_status::noErr;

  static platform::OSStatus handle(platform::EventRef event, void* userData) {
    auto& log = *static_cast<HotKeyLog*>(userData);
    platform::EventHotKeyID id;
    const auto read = log.hotKeys->getEventParameter(event, platform::kEventParamDirectObject,
                                                     platform::typeEventHotKeyID, &id);
    if (read != 0) return read;
    log.pressed.push_back(id.id);
    return log.answer;
  }
};

TEST_F(ServicesTest, HotKeysReachTheHandlerOnTheMainQueue) {
  using namespace platform::event_status;
  start(WorldBuilder()
            .app(100, "com.example.a", "A")
            .frontmost()
            .app(200, "com.example.launcher", "Launcher")
            .withApp([](sim::WorldApplication& a) {
              a.hotKeys.push_back({49, 256 | 2048});
            })
            .build());
  auto& hotKeys = desktop->hotKeys();
  const auto target = hotKeys.applicationEventTarget();
  const platform::EventTypeSpec types[] = {{platform::kEventClassKeyboard, 5}};
  HotKeyLog log, older;
  log.hotKeys = older.hotKeys = &hotKeys;
  platform::EventHandlerRef handler{}, olderHandler{};
  ASSERT_EQ(hotKeys.installEventHandler(target, &HotKeyLog::handle, types, &older, &olderHandler),
            noErr);
  ASSERT_EQ(hotKeys.installEventHandler(target, &HotKeyLog::handle, types, &log, &handler), noErr);

  platform::EventHotKeyRef first{}, second{}, refused{};
  EXPECT_EQ(hotKeys.registerEventHotKey(1, 256 | 2048, {kSignature, 7}, target, 0, &first), noErr);
  EXPECT_EQ(hotKeys.registerEventHotKey(1, 256 | 2048, {kSignature, 8}, target, 0, &refused),
            eventHotKeyExistsErr);
  EXPECT_EQ(refused, platform::EventHotKeyRef{});
  // Another application's combination is refused too.
  EXPECT_EQ(hotKeys.registerEventHotKey(49, 256 | 2048, {kSignature, 8}, target, 0, &refused),
            eventHotKeyExistsErr);
  EXPECT_EQ(hotKeys.registerEventHotKey(1, 256, {kSignature, 8}, target, 0, &second), noErr);

  desktop->pressHotKey(1, 256 | 2048);
  EXPECT_TRUE(log.pressed.empty());
  loop.drain();
  EXPECT_EQ(log.pressed, std::vector<std::uint32_t>{7});
  EXPECT_TRUE(older.pressed.empty()) << "the newest handler handled it";
  // A typed key with the same modifiers is the hot key too, and no application sees it; a
  // handler that does not handle it passes it on.
  std::vector<platform::InputEvent> keys;
  auto monitor = desktop->windowServer().addGlobalMonitor(
      platform::eventMaskFor(platform::EventType::KeyDown),
      [&](const platform::InputEvent& e) { keys.push_back(e); });
  log.answer = eventNotHandledErr;
  desktop->pressKey(1, platform::ModifierCommand | platform::ModifierOption);
  loop.drain();
  EXPECT_EQ(log.pressed, (std::vector<std::uint32_t>{7, 7}));
  EXPECT_EQ(older.pressed, std::vector<std::uint32_t>{7});
  EXPECT_TRUE(keys.empty());
  // The launcher's hot key goes to the launcher: neither the handler nor the frontmost
  // application sees it.
  desktop->pressKey(49, platform::ModifierCommand | platform::ModifierOption);
  loop.drain();
  EXPECT_EQ(log.pressed.size(), 2u);
  EXPECT_TRUE(keys.empty());

  EXPECT_EQ(hotKeys.unregisterEventHotKey(first), noErr);
  EXPECT_EQ(hotKeys.unregisterEventHotKey(first), eventHotKeyInvalidErr);
  EXPECT_EQ(hotKeys.removeEventHandler(olderHandler), noErr);
  desktop->pressHotKey(1, 256 | 2048);
  loop.drain();
  EXPECT_EQ(log.pressed.size(), 2u);
  ASSERT_EQ(keys.size(), 1u) << "an unregistered combination is an ordinary key";
  EXPECT_EQ(keys[0].modifiers, platform::ModifierCommand | platform::ModifierOption);
  EXPECT_EQ(keys[0].targetPid, 100);

  // An event without a hot key id, and the wrong type asked for.
  platform::EventHotKeyID id;
  const platform::Event bare{platform::kEventClassKeyboard, 5, std::nullopt};
  EXPECT_EQ(hotKeys.getEventParameter(&bare, platform::kEventParamDirectObject,
                                      platform::typeEventHotKeyID, &id),
            eventParameterNotFoundErr);
  const platform::Event pressed{platform::kEventClassKeyboard, 5, platform::EventHotKeyID{1, 2}};
  EXPECT_EQ(hotKeys.getEventParameter(&pressed, platform::kEventParamDirectObject,
                                      platform::fourCharCode("long"), &id),
            coercionFailed);
}

TEST_F(ServicesTest, SymbolicHotKeyTable) {
  std::optional<platform::PlistValue> table;
  ASSERT_EQ(desktop->hotKeys().copySymbolicHotKeys(&table), 0);
  ASSERT_TRUE(table && table->isArray());
  ASSERT_EQ(table->asArray().size(), 1u);
  const auto& entry = table->asArray()[0].asDict();
  EXPECT_EQ(entry.at("kHISymbolicHotKeyCode"), platform::PlistValue(49));
  EXPECT_EQ(entry.at("kHISymbolicHotKeyModifiers"), platform::PlistValue(256));
  EXPECT_EQ(entry.at("kHISymbolicHotKeyEnabled"), platform::PlistValue(true));

  start(WorldBuilder().withWorld([](sim::World& w) { w.symbolicHotKeysStatus = -50; }).build());
  EXPECT_EQ(desktop->hotKeys().copySymbolicHotKeys(&table), -50);
  EXPECT_FALSE(table);
}

TEST_F(ServicesTest, ApplicationObject) {
  auto& app = desktop->application();
  app.setActivationPolicy(platform::ActivationPolicy::Accessory);
  EXPECT_EQ(desktop->activationPolicy(), platform::ActivationPolicy::Accessory);
  EXPECT_EQ(app.activationPolicy(), platform::ActivationPolicy::Accessory);

  // Activating brings this process forward: its main menu takes the application menus.
  MenuModel main;
  main.rows = {row("Tucklet"), row("Window")};
  desktop->menus().setMainMenu(main);
  EXPECT_EQ(desktop->menus().mainMenu().rows.size(), 2u);
  const double before = desktop->applicationMenusFrame().width;
  app.activate();
  EXPECT_EQ(desktop->workspace().frontmostApplication()->pid, 900);
  // Apple 34, "Tucklet" 67, "Window" 60.
  EXPECT_EQ(desktop->applicationMenusFrame().width, 34 + 67 + 60);
  EXPECT_NE(desktop->applicationMenusFrame().width, before);

  int handled = 0;
  app.setTerminationHandler([&] {
    ++handled;
    EXPECT_FALSE(desktop->terminationRequested()) << "the handler runs first";
  });
  app.terminate();
  app.terminate();
  EXPECT_EQ(handled, 1);
  EXPECT_TRUE(desktop->terminationRequested());
}

TEST_F(ServicesTest, PopUpMenuTracksUntilARowIsChosen) {
  auto item = desktop->statusBar().createStatusItem(24);
  std::vector<std::string> events;
  MenuModel menu;
  menu.rows = {row("Show All", [&] { events.push_back("show all"); }), MenuRow::separator(),
               row("Quit", [&] { events.push_back("quit"); })};
  MenuRow sub = row("Presets");
  sub.submenu = {row("Work", [&] { events.push_back("work"); })};
  menu.rows.push_back(sub);

  int fired = 0;
  auto timer = loop.scheduleTimer(0.1, false, platform::TimerMode::Default, [&] { ++fired; });
  desktop->menus().popUp(menu, item, [&] { events.push_back("closed"); });
  EXPECT_TRUE(desktop->menus().isTracking());
  EXPECT_TRUE(loop.isTracking());
  loop.advance(0.5);
  EXPECT_EQ(fired, 0) << "default-mode timers wait while the menu tracks";
  ASSERT_TRUE(desktop->trackedMenu().has_value());

  // The menu hangs below the item, drawn by this process.
  const auto open = desktop->openMenus().at(0);
  EXPECT_EQ(open.pid, 900);
  EXPECT_EQ(open.frame.y, 24);
  EXPECT_EQ(open.extra, 0u);
  EXPECT_EQ(desktop->windowServer().onScreenWindows(true).front().ownerPid, 900);

  EXPECT_FALSE(desktop->chooseMenuRow("Missing"));
  EXPECT_FALSE(desktop->chooseMenuRow(std::vector<std::size_t>{1}));  // the separator
  EXPECT_TRUE(desktop->chooseMenuRow("Work"));
  EXPECT_FALSE(desktop->menus().isTracking());
  EXPECT_FALSE(loop.isTracking());
  loop.drain();
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "work"}));
  EXPECT_EQ(fired, 1);
}

TEST_F(ServicesTest, PopUpMenuClosesOnCancelEscapeAndClicksElsewhere) {
  auto item = desktop->statusBar().createStatusItem(24);
  int closed = 0;
  MenuModel menu;
  menu.rows = {row("Show All")};
  desktop->menus().popUp(menu, item, [&] { ++closed; });
  desktop->menus().cancelTracking();
  desktop->menus().cancelTracking();
  loop.drain();
  EXPECT_EQ(closed, 1);

  desktop->menus().popUp(menu, item, [&] { ++closed; });
  desktop->pressKey(53);
  loop.drain();
  EXPECT_EQ(closed, 2);

  desktop->menus().popUp(menu, item, [&] { ++closed; });
  desktop->click({700, 500});
  loop.drain();
  EXPECT_EQ(closed, 3);
  EXPECT_FALSE(loop.isTracking());

  // An item's own menu opening ends the pop-up menu.
  desktop->menus().popUp(menu, item, [&] { ++closed; });
  ASSERT_EQ(ax().performAction(extraChildren(100).at(0), "AXPress"), AXError::Success);
  loop.drain();
  EXPECT_EQ(closed, 4);
  EXPECT_FALSE(desktop->menus().isTracking());
}

TEST_F(ServicesTest, PowerSourcesAndTheServiceBundle) {
  ASSERT_EQ(desktop->powerSources().powerSources().size(), 1u);
  EXPECT_EQ(desktop->powerSources().powerSources()[0].currentCapacity, 80);
  desktop->setPowerSources({{"InternalBattery", 15, 100, "AC Power"}});
  EXPECT_EQ(desktop->powerSources().powerSources()[0].powerSourceState, "AC Power");
  EXPECT_EQ(desktop->visibilityFrameworkPath(), "");
  platform::MemoryUserDefaults defaults;
  const auto services = desktop->platform(defaults);
  EXPECT_EQ(&services.runLoop, &loop);
  EXPECT_EQ(&services.defaults, &defaults);
  EXPECT_EQ(services.workspace.currentProcessId(), 900);
  EXPECT_EQ(services.visibilityFrameworkPath, "");
  // The product asks for symbols without any display.
  EXPECT_TRUE(services.symbols.hasSymbol("wifi"));
  EXPECT_FALSE(services.symbols.hasSymbol("wifi.slash"));
}

}  // namespace
}  // namespace tucklet::testing
