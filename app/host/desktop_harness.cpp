#include "app/host/desktop_harness.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/sim/render/screen_renderer.h"

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
  {
    std::ofstream out(temporary);
    if (!out) return false;
    out << json.dump(2) << "\n";
    if (!out) return false;
  }
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

nlohmann::json frameJson(const platform::Rect& r) {
  return {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
}

}  // namespace

std::unique_ptr<DesktopHarness> DesktopHarness::fromArguments(const Arguments& arguments,
                                                              std::string& error) {
  auto harness = std::unique_ptr<DesktopHarness>(new DesktopHarness);
  if (auto out = arguments.value("--sim-out")) harness->outputFolder_ = *out;
  const std::pair<const char*, Event::Kind> timed[] = {
      {"--sim-capture", Event::Kind::MenuBar},       {"--sim-capture-screen", Event::Kind::Screen},
      {"--sim-capture-window", Event::Kind::Window}, {"--sim-inventory", Event::Kind::Inventory},
      {"--sim-state", Event::Kind::State},
  };
  for (const auto& [flag, kind] : timed) {
    for (const auto& value : arguments.values(flag)) {
      Event event{kind, {}, 0};
      if (!parseTimed(value, event.name, event.seconds)) {
        error = std::string(flag) + ": expected NAME@SECONDS, got \"" + value + "\"";
        return nullptr;
      }
      harness->events_.push_back(event);
    }
  }
  if (auto quit = arguments.value("--sim-quit-after")) {
    Event event{Event::Kind::Quit, {}, 0};
    if (!parseTimed("quit@" + *quit, event.name, event.seconds)) {
      error = "--sim-quit-after: expected a number of seconds, got \"" + *quit + "\"";
      return nullptr;
    }
    harness->events_.push_back(event);
  }
  harness->onQuitStates_ = arguments.values("--sim-state-on-quit");
  if (harness->events_.empty() && harness->onQuitStates_.empty()) return nullptr;
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
  nlohmann::json json;
  if (auto controller = controller_ ? controller_() : nullptr) {
    const auto& engine = controller->engine();
    const auto& message = controller->message();
    json["collapsed"] = engine.collapsed();
    json["trusted"] = engine.trusted();
    json["nativeVisibility"] = engine.nativeVisibility();
    json["message"] = message ? nlohmann::json(*message) : nlohmann::json(nullptr);
    json["items"] = controller->inventory().items().size();
    json["listedItems"] = controller->itemsMenu().listedItems().size();
  }
  json["visibilityAssertions"] = desktop_->visibilityAssertionCount();
  json["ownStatusItems"] = desktop_->ownStatusItems().size();
  auto shown = nlohmann::json::array();
  for (const auto& slot : desktop_->menuBarLayout()) {
    if (!slot.shown) continue;
    if (slot.kind == sim::BarSlot::Kind::OwnStatusItem) {
      shown.push_back("tucklet:" + slot.autosaveName);
    } else if (auto extra = desktop_->extra(slot.extra)) {
      shown.push_back(extra->identifier.value_or(extra->title.value_or("?")));
    }
  }
  json["shownStatusItems"] = shown;
  if (!writeJson(path, json))
    std::fprintf(stderr, "tucklet: cannot write %s\n", path.string().c_str());
}

void DesktopHarness::terminated() {
  if (!desktop_) return;
  for (const auto& name : onQuitStates_)
    writeState(std::filesystem::path(outputFolder_) / (name + ".json"));
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
    case Event::Kind::Window: {
      std::string error = "no live window (there is no display)";
      if (!windowCapture_ || !windowCapture_((folder / (event.name + ".png")).string(), error))
        std::fprintf(stderr, "tucklet: --sim-capture-window: %s\n", error.c_str());
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
