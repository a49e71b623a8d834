#include "platform/sim/desktop.h"

#include <algorithm>

#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_apps.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_events.h"
#include "platform/sim/sim_keys.h"
#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"
#include "platform/sim/sim_placement.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_status_bar.h"
#include "platform/sim/sim_system_settings.h"
#include "platform/sim/sim_window_server.h"
#include "platform/sim/sim_windows.h"
#include "platform/sim/sim_workspace.h"
#include "platform/sim/world_format.h"
#include "platform/system_symbols.h"

namespace tucklet::sim {

using platform::WorkspaceNotification;

struct SimDesktop::State {
  State(World world, platform::RunLoop& loop)
      : core(std::make_shared<SimCore>(std::move(world), loop)),
        runLoop(loop),
        workspace(core),
        accessibility(core),
        windowServer(core),
        statusBar(core),
        screens(core),
        powerSources(core),
        loginService(core),
        hotKeys(core),
        application(core),
        menus(core),
        windows(core) {}

  std::shared_ptr<SimCore> core;
  platform::RunLoop& runLoop;
  SimWorkspace workspace;
  SimAccessibility accessibility;
  SimWindowServer windowServer;
  SimStatusBar statusBar;
  SimScreens screens;
  SimPowerSources powerSources;
  SimLoginService loginService;
  SimHotKeys hotKeys;
  SimApplication application;
  SimMenus menus;
  SimWindows windows;
  platform::SystemSymbols symbols;
  // Held only here: deferred work that finds it gone knows the desktop is gone.
  std::shared_ptr<SimDesktop*> self;
};

SimDesktop::SimDesktop(World world, platform::RunLoop& runLoop)
    : state_(std::make_unique<State>(std::move(world), runLoop)) {
  state_->self = std::make_shared<SimDesktop*>(this);
}

SimDesktop::~SimDesktop() = default;

platform::Workspace& SimDesktop::workspace() {
  return state_->workspace;
}
platform::Accessibility& SimDesktop::accessibility() {
  return state_->accessibility;
}
platform::WindowServer& SimDesktop::windowServer() {
  return state_->windowServer;
}
platform::StatusBar& SimDesktop::statusBar() {
  return state_->statusBar;
}
platform::Screens& SimDesktop::screens() {
  return state_->screens;
}
platform::PowerSources& SimDesktop::powerSources() {
  return state_->powerSources;
}
platform::LoginService& SimDesktop::loginService() {
  return state_->loginService;
}
platform::HotKeys& SimDesktop::hotKeys() {
  return state_->hotKeys;
}
platform::Application& SimDesktop::application() {
  return state_->application;
}
platform::Menus& SimDesktop::menus() {
  return state_->menus;
}
platform::Symbols& SimDesktop::symbols() {
  return state_->symbols;
}
platform::Windows& SimDesktop::windows() {
  return state_->windows;
}
const platform::Workspace& SimDesktop::workspace() const {
  return state_->workspace;
}
const platform::Accessibility& SimDesktop::accessibility() const {
  return state_->accessibility;
}
const platform::WindowServer& SimDesktop::windowServer() const {
  return state_->windowServer;
}
const platform::Screens& SimDesktop::screens() const {
  return state_->screens;
}

platform::Platform SimDesktop::platform(platform::UserDefaults& defaults) {
  return platform::Platform{state_->runLoop,
                            defaults,
                            state_->workspace,
                            state_->accessibility,
                            state_->windowServer,
                            state_->statusBar,
                            state_->screens,
                            state_->powerSources,
                            state_->loginService,
                            state_->hotKeys,
                            state_->application,
                            state_->menus,
                            state_->symbols,
                            visibilityFrameworkPath(),
                            nullptr,
                            &state_->windows};
}

std::string SimDesktop::visibilityFrameworkPath() const {
  return state_->core->read(
      [](const SimState& state) { return state.world.visibilityFramework.path.value_or(""); });
}

// --- Observation ---

World SimDesktop::world() const {
  return state_->core->read([](const SimState& state) { return exportWorld(state); });
}

std::vector<BarSlot> SimDesktop::menuBarLayout() const {
  return state_->core->read([](const SimState& state) { return layOutMenuBar(state); });
}

Rect SimDesktop::applicationMenusFrame() const {
  return state_->core->read([](const SimState& state) { return barGeometry(state).appMenus; });
}

std::vector<SimDesktop::MenuTitle> SimDesktop::applicationMenuTitles() const {
  return state_->core->read([](const SimState& state) {
    std::vector<MenuTitle> titles;
    for (auto& title : tucklet::sim::applicationMenuTitles(state))
      titles.push_back({title.title, title.frame});
    return titles;
  });
}

std::vector<OpenMenu> SimDesktop::openMenus() const {
  return state_->core->read([](const SimState& state) {
    std::vector<OpenMenu> menus;
    if (state.menu)
      menus.push_back({state.menu->extra, state.menu->pid, state.menu->window, state.menu->frame,
                       state.menu->rows, state.menu->layout, state.menu->highlighted});
    return menus;
  });
}

std::uint64_t SimDesktop::changeCount() const {
  return state_->core->read([](const SimState& state) { return state.version; });
}

std::vector<std::string> SimDesktop::openedURLs() const {
  return state_->core->read([](const SimState& state) { return state.openedURLs; });
}

std::vector<std::string> SimDesktop::revealedFiles() const {
  return state_->core->read([](const SimState& state) { return state.revealedFiles; });
}

platform::ActivationPolicy SimDesktop::activationPolicy() const {
  return state_->core->read([](const SimState& state) { return state.activationPolicy; });
}

bool SimDesktop::terminationRequested() const {
  return state_->core->read([](const SimState& state) { return state.terminationRequested; });
}

std::size_t SimDesktop::visibilityAssertionCount() const {
  return state_->core->read([](const SimState& state) { return state.assertions.size(); });
}

std::optional<WorldExtra> SimDesktop::extra(ExtraId id) const {
  return state_->core->read([id](const SimState& state) -> std::optional<WorldExtra> {
    auto it = state.extras.find(id);
    if (it == state.extras.end()) return std::nullopt;
    return it->second.extra;
  });
}

std::optional<ExtraId> SimDesktop::findExtra(pid_t pid, const std::string& identifier) const {
  return state_->core->read([&](const SimState& state) -> std::optional<ExtraId> {
    const auto* app = state.findApp(pid);
    if (!app) return std::nullopt;
    for (const auto id : app->extraIds)
      if (state.extras.at(id).extra.identifier == identifier) return id;
    return std::nullopt;
  });
}

std::vector<ExtraId> SimDesktop::extrasOf(pid_t pid) const {
  return state_->core->read([pid](const SimState& state) {
    const auto* app = state.findApp(pid);
    return app ? app->extraIds : std::vector<ExtraId>{};
  });
}

std::vector<OwnStatusItemInfo> SimDesktop::ownStatusItems() const {
  return state_->core->read([](const SimState& state) {
    std::vector<OwnStatusItemInfo> items;
    for (const auto& [id, item] : state.ownItems)
      items.push_back({id, item.autosaveName, item.length, ownItemWidth(item), item.visible,
                       item.image, item.title, item.toolTip, item.accessibilityLabel,
                       item.highlighted});
    return items;
  });
}

std::vector<OwnWindowInfo> SimDesktop::ownWindows() const {
  return state_->core->read([](const SimState& state) {
    std::vector<OwnWindowInfo> windows;
    for (const auto& w : state.windows) {
      if (!w.content) continue;
      windows.push_back({w.number, w.window.name, w.window.layer, w.window.bounds,
                         ownContentFrame(w), w.popover, w.arrowX, ownWindowDark(state, w),
                         state.keyWindow == w.number, w.content, w.borderless});
    }
    return windows;
  });
}

std::optional<platform::MenuModel> SimDesktop::trackedMenu() const {
  return state_->core->read([](const SimState& state) -> std::optional<platform::MenuModel> {
    if (!state.menu || state.menu->extra != 0) return std::nullopt;
    return state.menu->model;
  });
}

std::vector<ChosenMenuRow> SimDesktop::chosenMenuRows() const {
  return state_->core->read([](const SimState& state) { return state.chosenRows; });
}

// --- Mutations ---

pid_t SimDesktop::launchApplication(WorldApplication app) {
  return state_->core->change(
      [&app](SimState& state, Outbox& out) { return launchApp(state, out, std::move(app)); });
}

void SimDesktop::quitApplication(pid_t pid) {
  state_->core->change([pid](SimState& state, Outbox& out) { quitApp(state, out, pid); });
}

void SimDesktop::setTrusted(bool trusted) {
  state_->core->change(
      [trusted](SimState& state, Outbox&) { state.world.accessibilityTrusted = trusted; });
}

void SimDesktop::setFrontmost(pid_t pid) {
  state_->core->change([pid](SimState& state, Outbox& out) { makeFrontmost(state, out, pid); });
}

void SimDesktop::addScreen(WorldScreen screen) {
  state_->core->change([&screen](SimState& state, Outbox& out) {
    if (screen.number <= 0) {
      int number = 1;
      for (const auto& s : state.world.screens)
        number = std::max(number, s.number + 1);
      screen.number = number;
    }
    state.wallpaperWindows[screen.number] = state.newWindow();
    state.world.screens.push_back(screen);
    postWorkspace(out, WorkspaceNotification::ScreenParametersChanged);
  });
}

void SimDesktop::removeScreen(int number) {
  state_->core->change([number](SimState& state, Outbox& out) {
    const auto removed = std::erase_if(
        state.world.screens, [number](const WorldScreen& s) { return s.number == number; });
    if (removed == 0) return;
    state.wallpaperWindows.erase(number);
    postWorkspace(out, WorkspaceNotification::ScreenParametersChanged);
  });
}

void SimDesktop::setPowerSources(std::vector<platform::PowerSourceDescription> sources) {
  state_->core->change(
      [&sources](SimState& state, Outbox&) { state.world.powerSources = std::move(sources); });
}

void SimDesktop::setScreenCaptureApproved(bool approved) {
  state_->core->change(
      [approved](SimState& state, Outbox&) { state.world.screenCaptureApproved = approved; });
}

void SimDesktop::setLoginItemStatus(platform::LoginItemStatus status, bool requiresApproval) {
  state_->core->change([=](SimState& state, Outbox&) {
    state.world.loginItemStatus = status;
    state.world.loginRequiresApproval = requiresApproval;
  });
}

void SimDesktop::setApplicationHung(pid_t pid, bool hung) {
  state_->core->change([=](SimState& state, Outbox&) {
    if (auto* app = state.findApp(pid); app && !app->isSelf) app->app.hung = hung;
  });
}

void SimDesktop::simulateWake() {
  state_->core->change([](SimState&, Outbox& out) {
    postWorkspace(out, WorkspaceNotification::DidWake);
    postWorkspace(out, WorkspaceNotification::ScreenParametersChanged);
  });
}

void SimDesktop::simulateSpaceChange() {
  state_->core->change([](SimState&, Outbox& out) {
    postWorkspace(out, WorkspaceNotification::ActiveSpaceChanged);
    postWorkspace(out, WorkspaceNotification::ScreenParametersChanged);
  });
}

bool SimDesktop::commandDrag(const BarSlot& slot, double toX) {
  return state_->core->change(
      [&](SimState& state, Outbox&) { return commandDragSlot(state, slot, toX); });
}

void SimDesktop::setPointer(Point screenLocation) {
  platform::InputEvent event;
  event.type = platform::EventType::MouseMoved;
  event.location = screenLocation;
  state_->windowServer.postEvent(event);
}

void SimDesktop::setDarkAppearance(bool dark) {
  state_->core->change([dark](SimState& state, Outbox& out) {
    if (state.world.darkAppearance == dark) return;
    state.world.darkAppearance = dark;
    postSystemAppearance(state, out);
  });
}

void SimDesktop::setMenuTextWidth(MenuTextWidth textWidth) {
  state_->core->change(
      [&textWidth](SimState& state, Outbox&) { state.menuTextWidth = std::move(textWidth); });
}

void SimDesktop::closeWindow(platform::WindowNumber window) {
  state_->core->change([window](SimState& state, Outbox&) {
    std::erase_if(state.windows, [window](const WindowEntry& w) { return w.number == window; });
  });
}

void SimDesktop::click(Point screenLocation, std::uint32_t modifiers, bool rightButton) {
  platform::InputEvent event;
  event.location = screenLocation;
  event.modifiers = modifiers;
  event.type =
      rightButton ? platform::EventType::RightMouseDown : platform::EventType::LeftMouseDown;
  state_->windowServer.postEvent(event);
  event.type = rightButton ? platform::EventType::RightMouseUp : platform::EventType::LeftMouseUp;
  state_->windowServer.postEvent(event);
}

namespace {

void pressKeyIn(SimState& state, Outbox& out, std::uint16_t keyCode, std::uint32_t modifiers,
                const std::string& characters) {
  // A registered hot key takes the key before any application sees it.
  if (triggerHotKey(state, out, keyCode, carbonModifiers(modifiers))) return;
  platform::InputEvent event;
  event.location = state.world.pointer;
  event.modifiers = modifiers;
  event.keyCode = keyCode;
  event.characters = characters;
  event.type = platform::EventType::KeyDown;
  routeEvent(state, out, event);
  event.type = platform::EventType::KeyUp;
  routeEvent(state, out, event);
}

}  // namespace

void SimDesktop::pressKey(std::uint16_t keyCode, std::uint32_t modifiers,
                          const std::string& characters) {
  state_->core->change([&](SimState& state, Outbox& out) {
    pressKeyIn(state, out, keyCode, modifiers, characters);
  });
}

void SimDesktop::typeText(const std::string& text) {
  for (const auto& stroke : strokesFor(text)) {
    state_->core->change([&stroke](SimState& state, Outbox& out) {
      pressKeyIn(state, out, stroke.keyCode, stroke.modifiers, stroke.characters);
    });
  }
}

void SimDesktop::pressHotKey(std::uint32_t keyCode, std::uint32_t modifiers) {
  const auto flags = eventModifiers(modifiers);
  const bool taken = state_->core->change(
      [=](SimState& state, Outbox& out) { return triggerHotKey(state, out, keyCode, modifiers); });
  if (!taken) pressKey(static_cast<std::uint16_t>(keyCode), flags);
}

bool SimDesktop::chooseMenuRow(const std::vector<std::size_t>& indexPath) {
  return state_->core->change(
      [&](SimState& state, Outbox& out) { return sim::chooseMenuRow(state, out, indexPath); });
}

std::optional<Point> SimDesktop::settingsSwitchPoint(const std::string& name) const {
  return state_->core->read([&name](const SimState& state) -> std::optional<Point> {
    if (name != state.world.self.name) return std::nullopt;
    return accessibilitySwitchPoint(state);
  });
}

bool SimDesktop::chooseMenuRow(const std::string& title) {
  return state_->core->change([&](SimState& state, Outbox& out) {
    const auto path = findMenuRow(state, title);
    return path && sim::chooseMenuRow(state, out, *path);
  });
}

// --- Timelines ---

void SimDesktop::playTimeline(std::vector<TimelineStep> steps,
                              std::function<void(const std::string&)> report) {
  std::stable_sort(steps.begin(), steps.end(),
                   [](const TimelineStep& a, const TimelineStep& b) { return a.at < b.at; });
  auto shared = std::make_shared<std::function<void(const std::string&)>>(std::move(report));
  std::weak_ptr<SimDesktop*> self = state_->self;
  // Scheduled in order from one moment, so steps due at the same time run in the order given.
  for (auto& step : steps) {
    state_->runLoop.asyncAfter(step.at, [self, shared, step = std::move(step)] {
      auto desktop = self.lock();
      if (!desktop) return;
      const auto problem = (*desktop)->perform(step);
      if (problem && *shared) {
        (*shared)(step.where + ": " + std::string(timelineActionName(step.action)) + ": " +
                  *problem);
      }
    });
  }
}

// --- Visibility assertion ---

std::uint64_t SimDesktop::addVisibilityAssertion(std::set<int> allowedControls,
                                                 std::set<std::string> allowedBundles,
                                                 bool hidesCaller) {
  return state_->core->change([&](SimState& state, Outbox& out) {
    const auto id = state.newId();
    state.assertions[id] =
        AssertionEntry{std::move(allowedControls), std::move(allowedBundles), hidesCaller};
    closeMenuIfItemGone(state, out);
    return id;
  });
}

void SimDesktop::removeVisibilityAssertion(std::uint64_t assertion) {
  state_->core->change(
      [assertion](SimState& state, Outbox&) { state.assertions.erase(assertion); });
}

// --- Accessibility cost model ---

void SimDesktop::setLatencyMode(LatencyMode mode) {
  state_->core->change([mode](SimState& state, Outbox&) { state.latencyMode = mode; });
}

double SimDesktop::spentAccessibilitySeconds() const {
  return state_->core->read([](const SimState& state) { return state.spentSeconds; });
}

std::uint64_t SimDesktop::accessibilityMessageCount() const {
  return state_->core->read([](const SimState& state) { return state.messageCount; });
}

void SimDesktop::resetAccessibilityCounters() {
  state_->core->change([](SimState& state, Outbox&) {
    state.spentSeconds = 0;
    state.messageCount = 0;
  });
}

}  // namespace tucklet::sim
