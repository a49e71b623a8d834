#include "platform/sim/sim_workspace.h"

#include "platform/sim/sim_apps.h"
#include "platform/sim/sim_system_settings.h"

#include <cctype>

namespace tucklet::sim {
namespace {

// Icon of an application or bundle: a theme icon or an image file; nothing without either.
platform::ImageRef iconOf(const std::string& theme, const std::string& file) {
  if (!theme.empty()) return platform::Image::themeIcon(theme);
  if (!file.empty()) return platform::Image::file(file);
  return nullptr;
}

platform::RunningApplication describe(const SimState& state, const AppEntry& entry) {
  platform::RunningApplication app;
  app.pid = entry.app.pid;
  app.bundleIdentifier = entry.app.bundleIdentifier;
  app.bundlePath = entry.app.bundlePath;
  app.localizedName = entry.app.localizedName;
  app.icon = iconOf(entry.app.iconTheme, entry.app.iconFile);
  app.active = state.frontmost == entry.app.pid;
  app.hidden = entry.app.hidden;
  return app;
}

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

// A file the workspace knows about and what it looks like: running and installed bundles, this
// process's bundle, the visibility framework.
bool knownFile(const SimState& state, const std::string& rawPath, platform::ImageRef* icon) {
  const auto path = withoutTrailingSlash(rawPath);
  if (path.empty()) return false;
  if (const auto* index = state.index()) {
    auto it = index->files.find(path);
    if (it == index->files.end()) return false;
    if (icon) *icon = iconOf(it->second.iconTheme, it->second.iconFile);
    return true;
  }
  for (const auto& app : state.apps) {
    if (app.app.bundlePath && withoutTrailingSlash(*app.app.bundlePath) == path) {
      if (icon) *icon = iconOf(app.app.iconTheme, app.app.iconFile);
      return true;
    }
  }
  for (const auto& bundle : state.world.installed) {
    if (withoutTrailingSlash(bundle.path) == path) {
      if (icon) *icon = iconOf(bundle.iconTheme, bundle.iconFile);
      return true;
    }
  }
  const auto& framework = state.world.visibilityFramework.path;
  return framework && withoutTrailingSlash(*framework) == path;
}

}  // namespace

bool hasURLScheme(const std::string& url) {
  const auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::vector<platform::RunningApplication> SimWorkspace::runningApplications() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) {
    std::vector<platform::RunningApplication> apps;
    for (const auto& entry : state.apps)
      apps.push_back(describe(state, entry));
    return apps;
  });
}

std::optional<platform::RunningApplication> SimWorkspace::frontmostApplication() const {
  auto core = core_.lock();
  if (!core) return std::nullopt;
  return core->read([](const SimState& state) -> std::optional<platform::RunningApplication> {
    const auto* app = state.findApp(state.frontmost);
    if (!app) return std::nullopt;
    return describe(state, *app);
  });
}

std::optional<platform::RunningApplication> SimWorkspace::applicationForPid(pid_t pid) const {
  auto core = core_.lock();
  if (!core) return std::nullopt;
  return core->read([pid](const SimState& state) -> std::optional<platform::RunningApplication> {
    const auto* app = state.findApp(pid);
    if (!app) return std::nullopt;
    return describe(state, *app);
  });
}

pid_t SimWorkspace::currentProcessId() const {
  auto core = core_.lock();
  if (!core) return 0;
  return core->read([](const SimState& state) { return state.selfPid(); });
}

platform::BundleInfo SimWorkspace::mainBundle() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) {
    const auto& self = state.world.self;
    return platform::BundleInfo{self.path, self.identifier, self.infoKeys};
  });
}

platform::OperatingSystemVersion SimWorkspace::operatingSystemVersion() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) { return state.world.os; });
}

bool SimWorkspace::fileExists(const std::string& path) const {
  auto core = core_.lock();
  if (!core) return false;
  return core->read([&path](const SimState& state) { return knownFile(state, path, nullptr); });
}

platform::ImageRef SimWorkspace::iconForFile(const std::string& path) const {
  auto core = core_.lock();
  if (!core) return nullptr;
  return core->read([&path](const SimState& state) -> platform::ImageRef {
    platform::ImageRef icon;
    if (!knownFile(state, path, &icon)) return nullptr;
    // A known file without an icon of its own shows the generic one.
    return icon ? icon : platform::Image::themeIcon("application-x-executable");
  });
}

bool SimWorkspace::openURL(const std::string& url) {
  if (!hasURLScheme(url)) return false;
  auto core = core_.lock();
  if (!core) return false;
  core->change([&url](SimState& state, Outbox& out) {
    state.openedURLs.push_back(url);
    openSystemSettings(state, out, url);
  });
  return true;
}

void SimWorkspace::revealFile(const std::string& path) {
  auto core = core_.lock();
  if (!core) return;
  core->change([&path](SimState& state, Outbox&) { state.revealedFiles.push_back(path); });
}

void SimWorkspace::hideApplication(pid_t pid) {
  if (auto core = core_.lock())
    core->change([pid](SimState& state, Outbox& out) { hideApp(state, out, pid); });
}

platform::Connection SimWorkspace::observe(platform::WorkspaceNotification notification,
                                           std::function<void(pid_t pid)> handler) {
  auto core = core_.lock();
  if (!core) return {};
  auto shared = std::make_shared<std::function<void(pid_t)>>(std::move(handler));
  const auto id = core->change([&](SimState& state, Outbox&) {
    const auto newId = state.newId();
    state.workspaceObservers[newId] = {notification, shared};
    return newId;
  });
  std::weak_ptr<SimCore> weak = core_;
  return platform::Connection([weak, id] {
    if (auto c = weak.lock())
      c->change([id](SimState& state, Outbox&) { state.workspaceObservers.erase(id); });
  });
}

}  // namespace tucklet::sim
