#include "app/host/desktop_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <nlohmann/json.hpp>

#include "platform/sim/render/screen_renderer.h"
#include "platform/sim/world_json_reader.h"
#include "platform/sim/world_loader.h"
#include "ui/settings/widgets/settings_window_widget.h"

namespace tucklet {

namespace {

bool parseTimed(const std::string& value, std::string& name, double& seconds) {
  const auto at = value.rfind('@');
  if (at == std::string::npos || at == 0) return false;
  name = value.substr(0, at);
  try {
    std::size_t used = 0;
    seconds = std::stod(value.substr(at + 1), &used);
    return used == value.size() - at - 1 && seconds >= 0;
  } catch (...) {
    return false;
  }
}

bool writeJson(const std::filesystem::path& path, const nlohmann::json& json) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  const auto temporary = path.string() + ".tmp";
  bool written = false;
  {
    std::ofstream out(temporary);
    if (out) {
      out << json.dump(2) << "\n";
      written = static_cast<bool>(out);
    }
  }
  if (written) std::filesystem::rename(temporary, path, ec);
  if (!written || ec) {
    std::filesystem::remove(temporary, ec);  // a failed write leaves nothing behind
    return false;
  }
  return true;
}

nlohmann::json frameJson(const platform::Rect& r) {
  return {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
}

// Where a slot of the bar is, as a person would see it: its frame, or "off-screen" when it is
// pushed out of sight, hidden by the visibility assertion or not laid out at all.
nlohmann::json placeJson(const sim::BarSlot* slot) {
  if (!slot || !slot->shown || slot->hiddenByAssertion) return "off-screen";
  return frameJson(slot->frame);
}

// The top-right picture reaches this far below the menu bar at least, and this far below the
// lowest open menu or popover (points).
constexpr double kTopRightMinimumDepth = 200;
constexpr double kTopRightMargin = 24;
// Room around the settings window in its pictures, for its shadow.
constexpr double kSettingsMargin = 24;

constexpr std::string_view kSwitches[] = {
    "--sim-out",
    "--sim-capture",
    "--sim-capture-screen",
    "--sim-capture-top-right",
    "--sim-capture-window",
    "--sim-capture-settings",
    "--sim-inventory",
    "--sim-state",
    "--sim-latency",
    "--sim-state-on-quit",
    "--sim-quit-after",
    "--sim-do",
};

// Product switches that take a value: their value is skipped when the harness's are checked.
constexpr std::string_view kProductValueSwitches[] = {
    "--world", "--verify", "--smoke-test", "--ux-review", "--profile", "--profile-seconds",
};

// An argument quoted back in an error, on one line.
std::string shown(const std::string& argument) {
  std::string text;
  for (const char c : argument) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      text += escape;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

bool DesktopHarness::checkSwitches(const Arguments& arguments, std::string& error) {
  const auto& all = arguments.all();
  const auto known = [](std::string_view name) {
    return std::find(std::begin(kSwitches), std::end(kSwitches), name) != std::end(kSwitches);
  };
  for (std::size_t i = 0; i < all.size(); ++i) {
    const std::string& argument = all[i];
    if (std::find(std::begin(kProductValueSwitches), std::end(kProductValueSwitches), argument) !=
        std::end(kProductValueSwitches)) {
      ++i;  // its value, whatever it looks like
      continue;
    }
    if (!argument.starts_with("--sim-")) continue;
    if (const auto equals = argument.find('='); equals != std::string::npos) {
      const auto name = argument.substr(0, equals);
      error = shown(argument) + ": write the value as the next argument (" + shown(name) + " " +
              shown(argument.substr(equals + 1)) + ")";
      if (!known(name)) error = "unknown switch " + shown(name);
      return false;
    }
    if (!known(argument)) {
      std::vector<std::string_view> names(std::begin(kSwitches), std::end(kSwitches));
      error = "unknown switch " + shown(argument);
      if (auto suggestion = sim::world_json::closestName(argument, names))
        error += " (did you mean " + *suggestion + "?)";
      return false;
    }
    if (i + 1 >= all.size() || all[i + 1].starts_with("--")) {
      error = argument + " needs a value";
      return false;
    }
    ++i;
  }
  return true;
}

std::unique_ptr<DesktopHarness> DesktopHarness::fromArguments(const Arguments& arguments,
                                                              const sim::World& world,
                                                              std::string& error) {
  auto harness = std::unique_ptr<DesktopHarness>(new DesktopHarness);
  if (auto out = arguments.value("--sim-out")) harness->outputFolder_ = *out;
  const std::pair<const char*, Event::Kind> timed[] = {
      {"--sim-capture", Event::Kind::MenuBar},
      {"--sim-capture-screen", Event::Kind::Screen},
      {"--sim-capture-window", Event::Kind::Window},
      {"--sim-capture-settings", Event::Kind::Settings},
      {"--sim-inventory", Event::Kind::Inventory},
      {"--sim-state", Event::Kind::State},
      {"--sim-capture-top-right", Event::Kind::TopRight},
      {"--sim-latency", Event::Kind::Latency},
  };
  for (const auto& [flag, kind] : timed) {
    for (const auto& value : arguments.values(flag)) {
      Event event{kind, {}, 0};
      if (!parseTimed(value, event.name, event.seconds)) {
        error = std::string(flag) + ": expected NAME@SECONDS, got \"" + shown(value) + "\"";
        return nullptr;
      }
      harness->events_.push_back(event);
    }
  }
  if (auto quit = arguments.value("--sim-quit-after")) {
    Event event{Event::Kind::Quit, {}, 0};
    if (!parseTimed("quit@" + *quit, event.name, event.seconds)) {
      error = "--sim-quit-after: expected a number of seconds, got \"" + shown(*quit) + "\"";
      return nullptr;
    }
    harness->events_.push_back(event);
  }
  harness->onQuitStates_ = arguments.values("--sim-state-on-quit");
  auto steps = sim::parseTimelineArguments(arguments.values("--sim-do"), "--sim-do", world);
  if (auto* failure = std::get_if<sim::WorldError>(&steps)) {
    error = failure->describe();
    return nullptr;
  }
  harness->steps_ = std::get<std::vector<sim::TimelineStep>>(std::move(steps));
  if (harness->events_.empty() && harness->onQuitStates_.empty() && harness->steps_.empty())
    return nullptr;
  return harness;
}

void DesktopHarness::start(platform::RunLoop& runLoop, sim::SimDesktop& desktop,
                           std::function<std::shared_ptr<BarController>()> controller) {
  desktop_ = &desktop;
  controller_ = std::move(controller);
  for (const auto& event : events_)
    runLoop.asyncAfter(event.seconds, [this, event] { run(event); });
}

void DesktopHarness::writeState(const std::filesystem::path& path) const {
  const auto layout = desktop_->menuBarLayout();
  nlohmann::json json;
  if (auto controller = controller_ ? controller_() : nullptr) {
    const auto& engine = controller->engine();
    const auto& message = controller->message();
    json["collapsed"] = engine.collapsed();
    json["trusted"] = engine.trusted();
    json["nativeVisibility"] = engine.nativeVisibility();
    json["message"] = message ? nlohmann::json(*message) : nlohmann::json(nullptr);
    json["items"] = controller->inventory().items().size();
    // What the items menu would list, by the names it shows.
    const auto& workspace = controller->platform().workspace;
    auto listed = nlohmann::json::array();
    for (const auto& item : controller->itemsMenu().listedItems())
      listed.push_back({{"id", item.id}, {"displayName", displayName(item, workspace)}});
    json["listedItems"] = listed.size();
    json["listed"] = listed;
    const auto& updates = controller->updates();
    const auto& available = updates.availableVersion();
    json["updates"] = {
        {"isConfigured", updates.isConfigured()},
        {"canCheckForUpdates", updates.canCheckForUpdates()},
        {"automaticallyChecksForUpdates", updates.automaticallyChecksForUpdates()},
        {"availableVersion", available ? nlohmann::json(*available) : nlohmann::json(nullptr)}};
    // The feature runtime: shortcuts, the preset a rule applied, the visibility settings.
    auto& runtime = controller->featureRuntime();
    const auto& automatic = runtime.automaticState();
    const auto& preferences = controller->preferences();
    json["features"] = {
        {"registeredShortcuts", runtime.shortcuts().registrationCount()},
        {"shortcutErrors", controller->shortcutErrors()},
        {"automaticPreset",
         automatic.active ? nlohmann::json(automatic.active->name) : nlohmann::json(nullptr)},
        {"timerInterval", runtime.timerInterval() ? nlohmann::json(*runtime.timerInterval())
                                                  : nlohmann::json(nullptr)},
        {"scrollMonitors", runtime.hasScrollMonitors()},
        {"visibleBundles", preferences.visibleBundles()}};
  }
  json["visibilityAssertions"] = desktop_->visibilityAssertionCount();

  // Tucklet's own status items as the bar shows them.
  const auto own = desktop_->ownStatusItems();
  json["ownStatusItems"] = own.size();
  auto statusItems = nlohmann::json::array();
  for (const auto& item : own) {
    const sim::BarSlot* slot = nullptr;
    for (const auto& candidate : layout)
      if (candidate.kind == sim::BarSlot::Kind::OwnStatusItem && candidate.ownItem == item.id)
        slot = &candidate;
    statusItems.push_back(
        {{"autosaveName", item.autosaveName},
         {"length", item.length},
         {"width", item.width},
         {"visible", item.visible},
         {"title", item.title},
         {"toolTip", item.toolTip},
         {"highlighted", item.highlighted},
         {"image", item.image ? nlohmann::json(item.image->name) : nlohmann::json(nullptr)},
         {"frame", placeJson(slot)}});
  }
  json["statusItems"] = statusItems;

  // Every item of the bar, right to left, where a person would see it.
  auto shown = nlohmann::json::array();
  auto menuBar = nlohmann::json::array();
  for (const auto& slot : layout) {
    std::string name;
    std::string owner;
    if (slot.kind == sim::BarSlot::Kind::OwnStatusItem) {
      name = "tucklet:" + slot.autosaveName;
      owner = "tucklet";
    } else if (auto extra = desktop_->extra(slot.extra)) {
      name = extra->identifier.value_or(extra->title.value_or("?"));
      owner = std::to_string(slot.pid);
      for (const auto& app : desktop_->workspace().runningApplications())
        if (app.pid == slot.pid && app.bundleIdentifier) owner = *app.bundleIdentifier;
    }
    if (slot.shown) shown.push_back(name);
    menuBar.push_back({{"item", name},
                       {"owner", owner},
                       {"frame", placeJson(&slot)},
                       {"hidden", slot.hiddenByAssertion}});
  }
  json["shownStatusItems"] = shown;
  json["menuBar"] = menuBar;
  if (!writeJson(path, json))
    std::fprintf(stderr, "tucklet: cannot write %s\n", path.string().c_str());
}

void DesktopHarness::terminated() {
  if (!desktop_) return;
  for (const auto& name : onQuitStates_)
    writeState(std::filesystem::path(outputFolder_) / (name + ".json"));
}

QImage DesktopHarness::topRight(const QImage& screen) const {
  if (screen.isNull()) return screen;
  const auto screens = desktop_->screens().screens();
  if (screens.empty()) return screen;
  // Points of the primary screen; menus are in window-list coordinates, whose origin is the
  // primary screen's top-left corner.
  const double width = screens.front().frame.width;
  const double height = screens.front().frame.height;
  double bottom = desktop_->world().menuBarHeight + kTopRightMinimumDepth;
  for (const auto& menu : desktop_->openMenus())
    bottom = std::max(bottom, menu.frame.maxY() + kTopRightMargin);
  for (const auto& window : desktop_->ownWindows())
    if (window.popover) bottom = std::max(bottom, window.frame.maxY() + kTopRightMargin);
  const double scale = screen.width() / width;
  const int left = static_cast<int>(std::lround(width / 2 * scale));
  const int depth = static_cast<int>(std::lround(std::min(bottom, height) * scale));
  return screen.copy(left, 0, screen.width() - left, depth);
}

QImage DesktopHarness::settingsCrop(const QImage& screen, platform::WindowNumber window) const {
  const auto screens = desktop_->screens().screens();
  if (screen.isNull() || screens.empty()) return screen;
  for (const auto& own : desktop_->ownWindows()) {
    if (own.number != window) continue;
    // The window with its shadow, in window-list coordinates (the primary screen's top-left
    // corner is the origin), kept on the screen.
    const double scale = screen.width() / screens.front().frame.width;
    const QRectF around(own.frame.x - kSettingsMargin, own.frame.y - kSettingsMargin,
                        own.frame.width + 2 * kSettingsMargin,
                        own.frame.height + 2 * kSettingsMargin);
    const QRect pixels = QRectF(around.topLeft() * scale, around.size() * scale).toAlignedRect();
    return screen.copy(pixels.intersected(screen.rect()));
  }
  return screen;
}

void DesktopHarness::run(const Event& event) {
  const std::filesystem::path folder(outputFolder_);
  switch (event.kind) {
    case Event::Kind::MenuBar:
    case Event::Kind::Screen: {
      sim::ScreenRenderer renderer(*desktop_);
      const auto image =
          event.kind == Event::Kind::MenuBar ? renderer.renderMenuBar() : renderer.renderScreen(0);
      std::string error;
      if (!sim::writePng(image, (folder / (event.name + ".png")).string(), &error))
        std::fprintf(stderr, "tucklet: %s\n", error.c_str());
      break;
    }
    case Event::Kind::TopRight: {
      sim::ScreenRenderer renderer(*desktop_);
      const auto image = topRight(renderer.renderScreen(0));
      std::string error;
      if (!sim::writePng(image, (folder / (event.name + ".png")).string(), &error))
        std::fprintf(stderr, "tucklet: %s\n", error.c_str());
      break;
    }
    case Event::Kind::Latency: {
      // Milliseconds since the choice ("...Ms") and uptimes ("...At"), keys in order.
      nlohmann::json json = nlohmann::json::object();
      if (auto controller = controller_ ? controller_() : nullptr)
        for (const auto& [mark, value] : controller->opener().latency())
          json[mark] = value;
      if (!writeJson(folder / (event.name + ".json"), json))
        std::fprintf(stderr, "tucklet: cannot write %s.json\n", event.name.c_str());
      break;
    }
    case Event::Kind::Window: {
      std::string error = "no live window (there is no display)";
      if (!windowCapture_ || !windowCapture_((folder / (event.name + ".png")).string(), error))
        std::fprintf(stderr, "tucklet: --sim-capture-window: %s\n", error.c_str());
      break;
    }
    case Event::Kind::Settings: {
      auto controller = controller_ ? controller_() : nullptr;
      if (!controller) break;
      controller->settingsWindow().setSettingsTab(event.name);
      controller->openSettingsWindow();
      settings_ui::SettingsWindowWidget* window = nullptr;
      for (auto* widget : QApplication::topLevelWidgets())
        if (auto* w = dynamic_cast<settings_ui::SettingsWindowWidget*>(widget)) window = w;
      if (!window || !window->hostWindow() || !window->hostWindow()->isOpen()) {
        std::fprintf(stderr, "tucklet: --sim-capture-settings: the settings window did not open\n");
        break;
      }
      window->refresh();
      sim::ScreenRenderer renderer(*desktop_);
      const auto image = settingsCrop(renderer.renderScreen(0), window->hostWindow()->number());
      std::string error;
      const auto path = folder / ("settings-" + event.name + ".png");
      if (!sim::writePng(image, path.string(), &error))
        std::fprintf(stderr, "tucklet: %s\n", error.c_str());
      break;
    }
    case Event::Kind::Inventory: {
      auto json = nlohmann::json::array();
      if (auto controller = controller_ ? controller_() : nullptr) {
        const auto& workspace = controller->platform().workspace;
        for (const auto& item : controller->inventory().items()) {
          const auto control = systemControl(item, workspace);
          json.push_back({{"id", item.id},
                          {"name", item.name},
                          {"app", item.appName},
                          {"pid", item.pid},
                          {"frame", frameJson(item.frame)},
                          {"systemControl", control ? nlohmann::json(rawValue(*control))
                                                    : nlohmann::json(nullptr)}});
        }
      }
      if (!writeJson(folder / (event.name + ".json"), json))
        std::fprintf(stderr, "tucklet: cannot write %s.json\n", event.name.c_str());
      break;
    }
    case Event::Kind::State:
      writeState(folder / (event.name + ".json"));
      break;
    case Event::Kind::Quit:
      desktop_->application().terminate();
      break;
  }
}

}  // namespace tucklet
