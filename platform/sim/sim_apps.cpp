#include "platform/sim/sim_apps.h"

#include <algorithm>
#include <set>

#include "platform/sim/sim_core.h"
#include "platform/sim/sim_menus.h"

namespace tucklet::sim {
namespace {

using platform::WorkspaceNotification;

// Adds an application's extras and windows to the desktop's tables. Extras without a placement
// go left of everything already in the bar, in the application's order.
void addApp(SimState& state, WorldApplication app, bool isSelf) {
  AppEntry entry;
  entry.incarnation = state.nextIncarnation++;
  entry.isSelf = isSelf;
  auto extras = std::move(app.extras);
  auto windows = std::move(app.windows);
  app.extras.clear();
  app.windows.clear();
  entry.app = std::move(app);
  const pid_t pid = entry.app.pid;

  std::vector<ExtraId> unplaced;
  for (auto& extra : extras) {
    ExtraEntry e;
    e.id = state.newId();
    e.pid = pid;
    e.extra = std::move(extra);
    e.sequence = state.nextSequence++;
    e.window = state.newWindow();
    if (!e.extra.position) unplaced.push_back(e.id);
    entry.extraIds.push_back(e.id);
    state.extras.emplace(e.id, std::move(e));
  }
  for (const auto id : unplaced) {
    // Computed per item so that each goes left of the one before.
    const double next = state.maxPosition() + 1;
    state.extras[id].extra.position = next;
  }
  for (auto& window : windows) {
    WindowEntry w;
    w.number = state.newWindow();
    w.pid = pid;
    w.window = std::move(window);
    state.windows.push_back(std::move(w));
  }
  if (entry.app.frontmost) state.frontmost = pid;
  state.apps.push_back(std::move(entry));
}

pid_t freshPid(const SimState& state) {
  pid_t pid = 1000;
  for (const auto& app : state.apps)
    pid = std::max(pid, app.app.pid + 1);
  return pid;
}

}  // namespace

void loadWorld(SimState& state, World world) {
  auto apps = std::move(world.applications);
  world.applications.clear();

  std::set<int> numbers;
  for (const auto& screen : world.screens)
    if (screen.number > 0) numbers.insert(screen.number);
  int next = 1;
  for (auto& screen : world.screens) {
    if (screen.number > 0) continue;
    while (numbers.count(next))
      ++next;
    screen.number = next;
    numbers.insert(next);
  }
  state.world = std::move(world);
  state.menuBarWindow = state.newWindow();
  for (const auto& screen : state.world.screens)
    state.wallpaperWindows[screen.number] = state.newWindow();

  // Placed extras keep their places; the unplaced ones of every application then line up left
  // of all of them in world order.
  std::vector<WorldApplication> pending;
  for (auto& app : apps) {
    pending.push_back(std::move(app));
  }
  std::vector<std::vector<std::size_t>> unplacedIndexes(pending.size());
  for (std::size_t a = 0; a < pending.size(); ++a)
    for (std::size_t i = 0; i < pending[a].extras.size(); ++i)
      if (!pending[a].extras[i].position) unplacedIndexes[a].push_back(i);
  double maxPlaced = 0;
  bool anyPlaced = false;
  for (const auto& app : pending)
    for (const auto& extra : app.extras)
      if (extra.position) {
        maxPlaced = anyPlaced ? std::max(maxPlaced, *extra.position) : *extra.position;
        anyPlaced = true;
      }
  double cursor = maxPlaced;
  for (std::size_t a = 0; a < pending.size(); ++a)
    for (const auto i : unplacedIndexes[a])
      pending[a].extras[i].position = ++cursor;

  for (auto& app : pending)
    addApp(state, std::move(app), false);

  WorldApplication self;
  self.pid = state.world.self.pid;
  self.bundleIdentifier = state.world.self.identifier;
  self.bundlePath = state.world.self.path;
  self.localizedName = state.world.self.name;
  self.iconTheme = state.world.self.iconTheme;
  self.iconFile = state.world.self.iconFile;
  addApp(state, std::move(self), true);
}

World exportWorld(const SimState& state) {
  World world = state.world;
  for (const auto& entry : state.apps) {
    if (entry.isSelf) continue;
    WorldApplication app = entry.app;
    app.frontmost = state.frontmost == app.pid;
    for (const auto id : entry.extraIds) {
      auto it = state.extras.find(id);
      if (it != state.extras.end()) app.extras.push_back(it->second.extra);
    }
    for (const auto& window : state.windows)
      if (window.pid == app.pid && !window.content) app.windows.push_back(window.window);
    world.applications.push_back(std::move(app));
  }
  return world;
}

pid_t launchApp(SimState& state, Outbox& out, WorldApplication app) {
  if (app.pid <= 0 || state.findApp(app.pid)) app.pid = freshPid(state);
  const pid_t pid = app.pid;
  const pid_t previousFrontmost = state.frontmost;
  addApp(state, std::move(app), false);
  postWorkspace(out, WorkspaceNotification::ApplicationLaunched, pid);
  postWorkspace(out, WorkspaceNotification::RunningApplicationsChanged);
  if (state.frontmost != previousFrontmost)
    postWorkspace(out, WorkspaceNotification::FrontmostApplicationChanged);
  return pid;
}

void quitApp(SimState& state, Outbox& out, pid_t pid) {
  auto it = std::find_if(state.apps.begin(), state.apps.end(),
                         [pid](const AppEntry& e) { return e.app.pid == pid; });
  if (it == state.apps.end() || it->isSelf) return;
  for (const auto id : it->extraIds)
    state.extras.erase(id);
  state.apps.erase(it);
  std::erase_if(state.windows, [pid](const WindowEntry& w) { return w.pid == pid; });
  // The process is gone before its menu closes, so nobody hears of the menu closing.
  if (state.menu && (state.menu->pid == pid || state.menu->windowOwner == pid))
    closeMenu(state, out);

  postWorkspace(out, WorkspaceNotification::ApplicationTerminated, pid);
  postWorkspace(out, WorkspaceNotification::RunningApplicationsChanged);
  if (state.frontmost == pid) {
    // Another application comes forward, as the Finder would.
    state.frontmost = 0;
    for (const auto& app : state.apps)
      if (!app.isSelf) {
        state.frontmost = app.app.pid;
        break;
      }
    postWorkspace(out, WorkspaceNotification::FrontmostApplicationChanged);
  }
}

void makeFrontmost(SimState& state, Outbox& out, pid_t pid) {
  auto* app = state.findApp(pid);
  if (!app) return;
  app->app.hidden = false;
  if (state.frontmost == pid) return;
  state.frontmost = pid;
  postWorkspace(out, WorkspaceNotification::FrontmostApplicationChanged);
}

void hideApp(SimState& state, Outbox& out, pid_t pid) {
  auto* app = state.findApp(pid);
  if (!app || app->isSelf || app->app.hidden) return;
  app->app.hidden = true;
  if (state.frontmost != pid) return;
  // The owner of the frontmost window still on screen comes forward, else the Finder.
  state.frontmost = 0;
  for (const auto& window : state.windows) {
    const auto* owner = state.findApp(window.pid);
    if (window.content || !owner || owner->isSelf || owner->app.hidden) continue;
    state.frontmost = window.pid;
    break;
  }
  for (const auto& other : state.apps)
    if (state.frontmost == 0 && other.app.bundleIdentifier == "com.apple.finder")
      state.frontmost = other.app.pid;
  postWorkspace(out, WorkspaceNotification::FrontmostApplicationChanged);
}

}  // namespace tucklet::sim
