// The controller's inventory refresh on a whole Tucklet under virtual time: when a refresh may
// start, which events ask for one, and how a scan's result replaces the inventory in native and
// divider mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "inventory/scanner.h"
#include "tests/support/tucklet_rig.h"
#include "tests/support/world_builder.h"
#include "visibility/divider_geometry.h"

namespace tucklet {
namespace {

using platform::QualityOfService;
using platform::VirtualRunLoop;
using platform::WorkspaceNotification;
using sim::WorldExtra;
using testing::TuckletRig;
using testing::WorldBuilder;

constexpr const char* keepRightText =
    "Keep battery and the clock to the RIGHT of the divider before collapsing.";

auto titled(std::string title) {
  return [title](WorldExtra& e) { e.title = title; };
}
auto control(int raw, std::string description, bool fixed = false) {
  return [raw, description, fixed](WorldExtra& e) {
    e.control = raw;
    e.description = description;
    e.fixed = fixed;
  };
}

std::vector<std::string> ids(const std::vector<BarItem>& items) {
  std::vector<std::string> result;
  for (const auto& item : items)
    result.push_back(item.id);
  return result;
}

const BarItem* byId(const std::vector<BarItem>& items, const std::string& id) {
  for (const auto& item : items)
    if (item.id == id) return &item;
  return nullptr;
}

// An application with one titled item and no placement: the bar puts it left of everything.
sim::WorldApplication appWithItem(pid_t pid, const std::string& bundle, const std::string& name) {
  auto app = testing::makeApplication(pid, bundle, name);
  WorldExtra extra;
  extra.identifier = "item";
  extra.title = name;
  app.extras.push_back(extra);
  return app;
}

platform::PlistDict storedDefaults(std::vector<std::string> visibleBundles = {}) {
  auto stored = testing::setUpDefaults();
  platform::PlistArray bundles;
  for (auto& bundle : visibleBundles)
    bundles.emplace_back(std::move(bundle));
  stored["visibleBundles"] = std::move(bundles);
  return stored;
}

// ---- Native mode ----

// OS 27 with the visibility framework; battery and clock stay visible by default, the notes
// application is kept visible by the stored settings below, weather and radio get hidden.
sim::World nativeWorld() {
  return WorldBuilder()
      .withWorld([](sim::World& w) { w.visibilityFramework.path = "builtin"; })
      .app(301, "com.apple.controlcenter", "Control Center")
      .extra("com.apple.menuextra.clock", 118)
      .at(0)
      .withExtra(control(2, "Clock", true))
      .extra("com.apple.menuextra.battery", 38)
      .at(10)
      .withExtra(control(0, "Battery"))
      .app(410, "com.example.weather", "Weather")
      .extra("item")
      .at(200)
      .withExtra(titled("Weather"))
      .app(420, "com.example.notes", "Notes")
      .extra("item")
      .at(210)
      .withExtra(titled("Notes"))
      .app(430, "com.example.radio", "Radio")
      .extra("item")
      .at(220)
      .withExtra(titled("Radio"))
      .build();
}

class NativeRefreshTest : public ::testing::Test {
 protected:
  // Launches and lets the start-up scan, the collapse and its safety check run.
  BarController& launch(sim::World world = nativeWorld(),
                        platform::PlistDict stored = storedDefaults({"com.example.notes",
                                                                     "com.example.late"})) {
    rig = std::make_unique<TuckletRig>(std::move(world), std::move(stored));
    auto& controller = rig->launch();
    rig->advance(1.7);
    return controller;
  }

  std::size_t scans() const {
    return rig->runLoop.backgroundSubmissions(QualityOfService::Utility);
  }

  std::unique_ptr<TuckletRig> rig;
};

TEST_F(NativeRefreshTest, RequestWhilePendingIsDropped) {
  auto& controller = launch();
  ASSERT_TRUE(controller.engine().collapsed());
  rig->runLoop.setBackgroundPolicy(VirtualRunLoop::BackgroundPolicy::Hold);
  const auto before = scans();

  controller.inventory().requestInventoryRefresh();
  EXPECT_TRUE(controller.inventory().inventoryRefreshPending());
  controller.inventory().requestInventoryRefresh();
  EXPECT_EQ(rig->runLoop.heldBackgroundCount(), 1u);
  EXPECT_EQ(rig->runLoop.heldBackgroundQuality(0), QualityOfService::Utility);

  rig->runLoop.releaseBackground();
  rig->runLoop.drain();
  EXPECT_FALSE(controller.inventory().inventoryRefreshPending());
  controller.inventory().requestInventoryRefresh();
  EXPECT_EQ(scans(), before + 2);
}

TEST_F(NativeRefreshTest, RequestWhileAnItemIsBeingOpenedIsDropped) {
  auto& controller = launch();
  const auto before = scans();
  // Radio is hidden; opening it reveals it and opens its menu.
  controller.opener().openItem(*byId(controller.inventory().items(), "com.example.radio:item"));
  rig->runLoop.drain();
  ASSERT_TRUE(controller.opener().activeItem());
  EXPECT_FALSE(controller.inventory().requestInventoryRefresh());
  controller.opener().endOpening();
  EXPECT_TRUE(controller.inventory().requestInventoryRefresh());
  EXPECT_EQ(scans(), before + 1);
}

TEST_F(NativeRefreshTest, HiddenItemsStayUntilTheirProcessExits) {
  auto& controller = launch();
  ASSERT_TRUE(controller.engine().holdsVisibilityToken());
  const auto shown = rig->shownExtras();
  ASSERT_EQ(std::count(shown.begin(), shown.end(), "item"), 1) << "only notes stays visible";
  const std::vector<std::string> all = {"com.example.radio:item", "com.example.notes:item",
                                        "com.example.weather:item",
                                        "com.apple.controlcenter:com.apple.menuextra.battery",
                                        "com.apple.controlcenter:com.apple.menuextra.clock"};
  ASSERT_EQ(ids(controller.inventory().items()), all);
  const double notesBefore =
      byId(controller.inventory().items(), "com.example.notes:item")->frame.x;

  controller.inventory().requestInventoryRefresh();
  rig->runLoop.drain();
  EXPECT_EQ(ids(controller.inventory().items()), all);
  // The visible item's record is the fresh one: it moved right when weather was hidden.
  EXPECT_GT(byId(controller.inventory().items(), "com.example.notes:item")->frame.x, notesBefore);

  rig->desktop().quitApplication(430);  // the termination asks for a refresh
  rig->runLoop.drain();
  EXPECT_EQ(ids(controller.inventory().items()),
            std::vector<std::string>(all.begin() + 1, all.end()));

  // A newly reported item joins at the end, whatever its place in the bar.
  rig->desktop().launchApplication(appWithItem(440, "com.example.late", "Late"));
  rig->runLoop.drain();
  ASSERT_EQ(controller.inventory().items().size(), all.size());
  EXPECT_EQ(controller.inventory().items().back().id, "com.example.late:item");
  EXPECT_LT(controller.inventory().items().back().frame.x,
            controller.inventory().items().front().frame.x);
}

TEST_F(NativeRefreshTest, SystemRevealControlIsDropped) {
  auto world = nativeWorld();
  WorldBuilder more;
  more.app(303, "com.apple.MenuBarAgent", "MenuBarAgent")
      .extra("com.apple.menubar.reveal", 16)
      .at(5)
      .withExtra([](WorldExtra& e) { e.description = "Show Hidden Menu Bar Items"; });
  world.applications.push_back(more.build().applications.front());
  // Kept visible while collapsed, so the rescan below reports it too.
  auto& controller = launch(world, storedDefaults({"com.apple.MenuBarAgent"}));
  const std::string reveal = "com.apple.MenuBarAgent:com.apple.menubar.reveal";
  EXPECT_FALSE(byId(controller.inventory().items(), reveal));
  EXPECT_EQ(controller.inventory().items().size(), 5u);

  ASSERT_TRUE(controller.engine().holdsVisibilityToken());
  controller.inventory().requestInventoryRefresh();
  rig->runLoop.drain();
  EXPECT_FALSE(byId(controller.inventory().items(), reveal));
  EXPECT_EQ(controller.inventory().items().size(), 5u);
  const auto scanned = scanMenuBarItems(rig->services().accessibility, rig->services().workspace);
  EXPECT_TRUE(byId(scanned, reveal)) << "the desktop does report it";
}

TEST_F(NativeRefreshTest, ResultOfAnOlderGenerationIsDropped) {
  auto& controller = launch();
  const auto before = ids(controller.inventory().items());
  rig->runLoop.setBackgroundPolicy(VirtualRunLoop::BackgroundPolicy::Hold);
  controller.inventory().requestInventoryRefresh();

  // While the scan is in flight: a full reveal, and an application arrives. Its launch asks for a
  // refresh too, which must be dropped while one is pending.
  controller.engine().fullReveal();
  rig->desktop().launchApplication(appWithItem(440, "com.example.late", "Late"));
  rig->runLoop.drain();
  ASSERT_EQ(rig->runLoop.heldBackgroundCount(), 1u);

  rig->runLoop.releaseBackground();  // the scan runs now and sees the new item
  rig->runLoop.drain();
  EXPECT_EQ(ids(controller.inventory().items()), before);
  EXPECT_FALSE(controller.inventory().inventoryRefreshPending());

  rig->runLoop.setBackgroundPolicy(VirtualRunLoop::BackgroundPolicy::RunAtOnce);
  controller.inventory().requestInventoryRefresh();
  rig->runLoop.drain();
  EXPECT_TRUE(byId(controller.inventory().items(), "com.example.late:item"));
}

TEST_F(NativeRefreshTest, LosingTrustEmptiesTheInventoryAndStopsRefreshes) {
  auto& controller = launch();
  ASSERT_FALSE(controller.inventory().items().empty());
  rig->desktop().setTrusted(false);
  rig->advance(2.0);
  EXPECT_TRUE(controller.inventory().items().empty());
  EXPECT_FALSE(controller.engine().trusted());
  EXPECT_EQ(controller.message(), "Accessibility access was removed. Icons have been restored.");

  const auto before = scans();
  controller.inventory().requestInventoryRefresh();
  EXPECT_FALSE(controller.inventory().inventoryRefreshPending());
  std::optional<bool> applied;
  controller.inventory().refreshInventory([&](bool a) { applied = a; });
  EXPECT_EQ(applied, false);
  EXPECT_EQ(scans(), before);

  rig->desktop().setTrusted(true);
  rig->advance(2.0);
  EXPECT_EQ(scans(), before + 1);
  EXPECT_TRUE(controller.engine().collapsed());
}

// Forwards to the desktop's workspace, and lets a test deliver one kind of notification on its
// own: the desktop sends some only in pairs (a wake comes with a screen change).
class SignallingWorkspace final : public platform::Workspace {
 public:
  explicit SignallingWorkspace(platform::Workspace& inner) : inner_(inner) {}

  std::vector<platform::RunningApplication> runningApplications() const override {
    return inner_.runningApplications();
  }
  std::optional<platform::RunningApplication> frontmostApplication() const override {
    return inner_.frontmostApplication();
  }
  std::optional<platform::RunningApplication> applicationForPid(pid_t pid) const override {
    return inner_.applicationForPid(pid);
  }
  pid_t currentProcessId() const override { return inner_.currentProcessId(); }
  platform::BundleInfo mainBundle() const override { return inner_.mainBundle(); }
  platform::OperatingSystemVersion operatingSystemVersion() const override {
    return inner_.operatingSystemVersion();
  }
  bool fileExists(const std::string& path) const override { return inner_.fileExists(path); }
  platform::ImageRef iconForFile(const std::string& path) const override {
    return inner_.iconForFile(path);
  }
  bool openURL(const std::string& url) override { return inner_.openURL(url); }
  void revealFile(const std::string& path) override { inner_.revealFile(path); }
  void hideApplication(pid_t pid) override { inner_.hideApplication(pid); }
  platform::Connection observe(WorkspaceNotification notification,
                               std::function<void(pid_t)> handler) override {
    handlers_.emplace_back(notification, handler);
    return inner_.observe(notification, std::move(handler));
  }

  void deliver(WorkspaceNotification notification) {
    for (const auto& [kind, handler] : handlers_)
      if (kind == notification) handler(0);
  }

 private:
  platform::Workspace& inner_;
  std::vector<std::pair<WorkspaceNotification, std::function<void(pid_t)>>> handlers_;
};

class RefreshTriggerTest : public NativeRefreshTest {
 protected:
  void SetUp() override {
    rig = std::make_unique<TuckletRig>(nativeWorld(), storedDefaults());
    workspace = std::make_unique<SignallingWorkspace>(rig->desktop().workspace());
    auto& s = rig->services();
    services.emplace(platform::Platform{s.runLoop, s.defaults, *workspace, s.accessibility,
                                        s.windowServer, s.statusBar, s.screens, s.powerSources,
                                        s.loginService, s.hotKeys, s.application, s.menus,
                                        s.symbols, s.visibilityFrameworkPath});
    rig->delegate = std::make_unique<AppDelegate>(*services, Arguments(), false, nullptr);
    rig->delegate->applicationWillFinishLaunching();
    rig->delegate->applicationDidFinishLaunching();
    rig->advance(1.7);
    ASSERT_TRUE(rig->controller().engine().collapsed());
  }
  void TearDown() override {
    // The controller reaches the workspace below; it must end before it.
    rig->delegate->applicationWillTerminate();
    rig->delegate.reset();
  }

  std::unique_ptr<SignallingWorkspace> workspace;
  std::optional<platform::Platform> services;
};

TEST_F(RefreshTriggerTest, WorkspaceAndScreenChangesEachAskForARefresh) {
  const std::vector<std::pair<WorkspaceNotification, const char*>> triggers = {
      {WorkspaceNotification::ApplicationLaunched, "launch"},
      {WorkspaceNotification::ApplicationTerminated, "termination"},
      {WorkspaceNotification::DidWake, "wake"},
      {WorkspaceNotification::ActiveSpaceChanged, "space change"},
      {WorkspaceNotification::ScreenParametersChanged, "screen change"}};
  for (const auto& [notification, name] : triggers) {
    const auto before = scans();
    workspace->deliver(notification);
    rig->runLoop.drain();
    EXPECT_EQ(scans(), before + 1) << name;
  }
  const auto before = scans();
  workspace->deliver(WorkspaceNotification::FrontmostApplicationChanged);
  rig->runLoop.drain();
  EXPECT_EQ(scans(), before) << "a new frontmost application changes no item";
}

TEST_F(RefreshTriggerTest, RunningApplicationChangesAreDebounced) {
  const auto before = scans();
  for (int i = 0; i < 3; ++i) {
    workspace->deliver(WorkspaceNotification::RunningApplicationsChanged);
    rig->advance(0.3);
  }
  rig->advance(0.39);  // 0.69 s after the last change
  EXPECT_EQ(scans(), before);
  rig->advance(0.02);
  EXPECT_EQ(scans(), before + 1);
  rig->advance(1.0);
  EXPECT_EQ(scans(), before + 1);

  // The desktop pairs a launch with a change of the list: one refresh now, one after the pause.
  rig->desktop().launchApplication(appWithItem(440, "com.example.late", "Late"));
  rig->runLoop.drain();
  EXPECT_EQ(scans(), before + 2);
  rig->advance(0.71);
  EXPECT_EQ(scans(), before + 3);
}

// ---- Divider mode ----

// OS 26 without the framework; the divider stands just left of the Tucklet icon. Weather is right
// of the icon; notes and radio are on the hidden side.
sim::World dividerWorld(double batteryPosition = 10) {
  return WorldBuilder()
      .withWorld([](sim::World& w) {
        w.os = {26, 0, 0};
        w.visibilityFramework.path.reset();
        w.statusItemPlacements = {{"QuiverlyToggle", 100}, {"QuiverlyBoundary", 110}};
      })
      .app(301, "com.apple.controlcenter", "Control Center")
      .extra("com.apple.menuextra.clock", 118)
      .at(0)
      .withExtra(control(2, "Clock", true))
      .extra("com.apple.menuextra.battery", 38)
      .at(batteryPosition)
      .withExtra(control(0, "Battery"))
      .app(410, "com.example.weather", "Weather")
      .extra("item")
      .at(50)
      .withExtra(titled("Weather"))
      .app(420, "com.example.notes", "Notes")
      .extra("item")
      .at(200)
      .withExtra(titled("Notes"))
      .app(430, "com.example.radio", "Radio")
      .extra("item")
      .at(210)
      .withExtra(titled("Radio"))
      .build();
}

const std::vector<std::string> hiddenSide = {"com.example.radio:item", "com.example.notes:item"};

class DividerRefreshTest : public ::testing::Test {
 protected:
  BarController& launch(sim::World world = dividerWorld()) {
    rig = std::make_unique<TuckletRig>(std::move(world), testing::setUpDefaults());
    auto& controller = rig->launch();
    rig->advance(0.61);  // the start-up scan and collapse
    return controller;
  }

  // A refresh as the triggers ask for it, run to its end.
  void refresh() {
    rig->controller().inventory().requestInventoryRefresh();
    rig->advance(0.31);
  }

  double dividerLength() {
    for (const auto& item : rig->desktop().ownStatusItems())
      if (item.autosaveName == boundaryAutosaveName) return item.length;
    return -1;
  }

  sim::BarSlot extraSlot(pid_t pid, const std::string& identifier) {
    const auto extra = rig->desktop().findExtra(pid, identifier);
    for (const auto& slot : rig->desktop().menuBarLayout())
      if (extra && slot.kind == sim::BarSlot::Kind::Extra && slot.extra == *extra) return slot;
    ADD_FAILURE() << identifier;
    return {};
  }
  sim::BarSlot ownSlot(const std::string& autosaveName) {
    for (const auto& slot : rig->desktop().menuBarLayout())
      if (slot.kind == sim::BarSlot::Kind::OwnStatusItem && slot.autosaveName == autosaveName)
        return slot;
    ADD_FAILURE() << autosaveName;
    return {};
  }
  // Command-drags a slot to stand just left, or just right, of another.
  void dragLeftOf(const sim::BarSlot& moving, const sim::BarSlot& anchor) {
    ASSERT_TRUE(rig->desktop().commandDrag(moving, anchor.frame.minX() - 1));
  }
  void dragRightOf(const sim::BarSlot& moving, const sim::BarSlot& anchor) {
    ASSERT_TRUE(rig->desktop().commandDrag(moving, anchor.frame.midX() + 1));
  }

  std::unique_ptr<TuckletRig> rig;
};

TEST_F(DividerRefreshTest, InventoryHoldsTheHiddenSideLeftToRight) {
  auto& controller = launch();
  EXPECT_EQ(ids(controller.inventory().items()), hiddenSide);
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_FALSE(controller.message());
}

TEST_F(DividerRefreshTest, RefreshWhileCollapsedRescansExpandedAndCollapsesAgain) {
  auto& controller = launch();
  ASSERT_TRUE(controller.engine().collapsed());
  const double collapsedLength = dividerLength();
  ASSERT_GE(collapsedLength, 10000);

  // A launch asks for the refresh; the new item lands left of everything, on the hidden side.
  rig->desktop().launchApplication(appWithItem(440, "com.example.late", "Late"));
  rig->runLoop.drain();
  EXPECT_TRUE(controller.engine().busy());
  EXPECT_EQ(dividerLength(), 18) << "the hidden items must be on screen to be read";

  rig->advance(0.31);
  EXPECT_FALSE(controller.engine().busy());
  EXPECT_TRUE(controller.engine().collapsed());
  EXPECT_EQ(dividerLength(), collapsedLength);
  auto expected = hiddenSide;
  expected.insert(expected.begin(), "com.example.late:item");
  EXPECT_EQ(ids(controller.inventory().items()), expected);
}

TEST_F(DividerRefreshTest, RequestWhileBusyIsDropped) {
  auto& controller = launch();
  rig->desktop().resetAccessibilityCounters();
  refresh();
  const auto single = rig->desktop().accessibilityMessageCount();
  ASSERT_GT(single, 0u);

  rig->desktop().resetAccessibilityCounters();
  controller.inventory().requestInventoryRefresh();
  ASSERT_TRUE(controller.engine().busy());
  controller.inventory().requestInventoryRefresh();
  rig->advance(0.31);
  rig->advance(0.31);
  EXPECT_EQ(rig->desktop().accessibilityMessageCount(), single);
  EXPECT_TRUE(controller.engine().collapsed());
}

TEST_F(DividerRefreshTest, RequestWhileTheItemsMenuIsShownIsDropped) {
  auto& controller = launch();
  controller.itemsMenu().menuWillOpen();
  EXPECT_FALSE(controller.inventory().requestInventoryRefresh());
  EXPECT_FALSE(controller.engine().busy());
  EXPECT_EQ(dividerLength(), collapsedDividerLength(rig->desktop().screens().screens()));
  controller.itemsMenu().menuDidClose();
  EXPECT_TRUE(controller.inventory().requestInventoryRefresh());
}

TEST_F(DividerRefreshTest, RefusedRecollapseLeavesEverythingShownAndSaysSo) {
  auto& controller = launch();
  ASSERT_TRUE(controller.engine().collapsed());
  // A clock application's item arrives on the hidden side while the bar is collapsed.
  auto clock = appWithItem(440, "com.example.worldclock", "World Clock");
  clock.extras.front().title = "Clock";
  rig->desktop().launchApplication(clock);
  rig->runLoop.drain();
  rig->advance(0.31);

  EXPECT_EQ(dividerLength(), 18);
  EXPECT_FALSE(controller.engine().collapsed()) << "nothing is hidden, so the bar is not collapsed";
  EXPECT_EQ(controller.message(),
            "Battery or the clock is in the hidden section. ⌘-drag it to the right of tucklet.");
}

TEST_F(DividerRefreshTest, ProtectedItemOnTheHiddenSideSetsAndClearsTheNotice) {
  auto& controller = launch(dividerWorld(220));  // the battery starts on the hidden side
  ASSERT_FALSE(controller.engine().collapsed());
  refresh();
  EXPECT_EQ(controller.message(), keepRightText);
  EXPECT_TRUE(
      byId(controller.inventory().items(), "com.apple.controlcenter:com.apple.menuextra.battery"));

  const auto battery = [&] { return extraSlot(301, "com.apple.menuextra.battery"); };
  const auto toggle = [&] { return ownSlot(toggleAutosaveName); };
  const auto divider = [&] { return ownSlot(boundaryAutosaveName); };

  dragRightOf(battery(), toggle());
  refresh();
  EXPECT_FALSE(controller.message());
  EXPECT_EQ(ids(controller.inventory().items()), hiddenSide);

  dragLeftOf(battery(), divider());
  refresh();
  EXPECT_EQ(controller.message(), keepRightText);

  // Battery back right, but the divider now right of the icon too: the notice stays, since the
  // layout is still not one that can collapse.
  dragRightOf(battery(), extraSlot(410, "item"));
  dragRightOf(divider(), toggle());
  refresh();
  EXPECT_FALSE(
      byId(controller.inventory().items(), "com.apple.controlcenter:com.apple.menuextra.battery"));
  EXPECT_EQ(controller.message(), keepRightText);

  dragLeftOf(divider(), toggle());
  refresh();
  EXPECT_FALSE(controller.message());
}

TEST_F(DividerRefreshTest, UnknownDividerFrameLeavesTheInventoryAlone) {
  auto& controller = launch();
  controller.showAll();
  rig->advance(0.26);
  ASSERT_FALSE(controller.engine().collapsed());
  ASSERT_EQ(ids(controller.inventory().items()), hiddenSide);

  // An application with a long row of menus becomes frontmost: the divider has no room left.
  auto wordy = testing::makeApplication(450, "com.example.wordy", "Wordy");
  wordy.menus.assign(12, "A long menu name");
  rig->desktop().launchApplication(wordy);
  rig->desktop().setFrontmost(450);
  rig->desktop().launchApplication(appWithItem(440, "com.example.late", "Late"));
  rig->runLoop.drain();
  ASSERT_FALSE(controller.divider().dividerFrame());

  refresh();
  EXPECT_EQ(ids(controller.inventory().items()), hiddenSide);
}

}  // namespace
}  // namespace tucklet
