#include "platform/sim/sim_system_settings.h"

#include <algorithm>
#include <cmath>

#include "platform/sim/sim_apps.h"
#include "platform/sim/sim_layout.h"

namespace tucklet::sim {

namespace {

constexpr const char* kScheme = "x-apple.systempreferences:";
constexpr Size kWindowSize{715, 640};

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The pane a URL names, as its window is titled.
std::string paneName(const std::string& url) {
  if (url.find("Privacy_Accessibility") != std::string::npos) return kAccessibilityWindowName;
  if (url.find("Privacy_ScreenCapture") != std::string::npos)
    return "Screen & System Audio Recording";
  if (url.find("ControlCenter") != std::string::npos) return "Control Centre";
  if (url.find("LoginItems") != std::string::npos) return "Login Items & Extensions";
  return "System Settings";
}

AppEntry* settingsApp(SimState& state) {
  for (auto& app : state.apps)
    if (app.app.bundleIdentifier == kSystemSettingsBundle) return &app;
  return nullptr;
}

const AppEntry* settingsApp(const SimState& state) {
  for (const auto& app : state.apps)
    if (app.app.bundleIdentifier == kSystemSettingsBundle) return &app;
  return nullptr;
}

// Where a new Settings window goes: centred on the first screen's visible frame.
Rect newWindowBounds(const SimState& state) {
  if (state.world.screens.empty()) return {100, 100, kWindowSize.width, kWindowSize.height};
  const auto& screen = state.world.screens.front();
  const Rect visible = toWindowList(state, screen.visibleFrame.value_or(screen.frame));
  const double x = std::round(visible.x + (visible.width - kWindowSize.width) / 2);
  const double y = std::round(visible.y + std::max(0.0, (visible.height - kWindowSize.height) / 2));
  return {x, y, kWindowSize.width, kWindowSize.height};
}

}  // namespace

AccessibilityPaneLayout accessibilityPaneLayout(const Rect& w) {
  AccessibilityPaneLayout layout;
  const double sidebar = std::round(0.32 * w.width);
  layout.sidebar = {w.x, w.y, sidebar, w.height};
  const double left = w.x + sidebar + 20;
  const double width = w.width - sidebar - 40;
  layout.list = {left, w.y + 128, width, 2 * 44.0};
  layout.row = {left, w.y + 128, width, 44};
  layout.toggle = {left + width - 12 - 38, layout.row.midY() - 11, 38, 22};
  return layout;
}

bool openSystemSettings(SimState& state, Outbox& out, const std::string& url) {
  if (!startsWith(url, kScheme)) return false;
  pid_t pid = 0;
  if (const auto* running = settingsApp(state)) {
    pid = running->app.pid;
  } else {
    WorldApplication app;
    app.bundleIdentifier = kSystemSettingsBundle;
    app.bundlePath = "/System/Applications/System Settings.app";
    app.localizedName = "System Settings";
    app.iconTheme = "preferences-system";
    app.menus = {"File", "Edit", "View", "Window", "Help"};
    pid = launchApp(state, out, std::move(app));
  }
  // The pane opens in the application's window (one window, as System Settings has).
  const auto name = paneName(url);
  auto it = std::find_if(state.windows.begin(), state.windows.end(),
                         [pid](const WindowEntry& w) { return w.pid == pid && !w.content; });
  WindowEntry window;
  if (it != state.windows.end()) {
    window = std::move(*it);
    state.windows.erase(it);
  } else {
    window.number = state.newWindow();
    window.pid = pid;
    window.window.bounds = newWindowBounds(state);
  }
  window.window.name = name;
  window.window.layer = 0;
  // In front of every other application's window.
  state.windows.insert(state.windows.begin(), std::move(window));
  makeFrontmost(state, out, pid);
  return true;
}

bool pressInSystemSettings(SimState& state, const WindowEntry& window, Point p) {
  const auto* app = state.findApp(window.pid);
  if (!app || app->app.bundleIdentifier != kSystemSettingsBundle ||
      window.window.name != kAccessibilityWindowName)
    return false;
  if (!accessibilityPaneLayout(window.window.bounds).toggle.contains(p)) return false;
  state.world.accessibilityTrusted = !state.world.accessibilityTrusted;
  return true;
}

std::optional<Point> accessibilitySwitchPoint(const SimState& state) {
  const auto* app = settingsApp(state);
  if (!app || app->app.hidden) return std::nullopt;
  for (const auto& window : state.windows) {
    if (window.pid != app->app.pid || window.window.name != kAccessibilityWindowName) continue;
    const auto toggle = accessibilityPaneLayout(window.window.bounds).toggle;
    return toScreenPoint(state, {toggle.midX(), toggle.midY()});
  }
  return std::nullopt;
}

}  // namespace tucklet::sim
