#include "tests/support/world_builder.h"

#include <stdexcept>

namespace tucklet::testing {

WorldBuilder::WorldBuilder() {
  world_.name = "test";
  world_.screens.push_back({sim::Rect{0, 0, 1512, 982}, std::nullopt, 1});
  world_.menuBarHeight = 24;
  world_.accessibilityTrusted = true;
}

WorldBuilder& WorldBuilder::screenFrame(sim::Rect frame) {
  world_.screens.front().frame = frame;
  return *this;
}

WorldBuilder& WorldBuilder::addScreen(sim::Rect frame) {
  world_.screens.push_back({frame, std::nullopt, static_cast<int>(world_.screens.size()) + 1});
  return *this;
}

WorldBuilder& WorldBuilder::notch(double width) {
  world_.notch = sim::Notch{width};
  return *this;
}

WorldBuilder& WorldBuilder::app(pid_t pid, const std::string& bundleIdentifier,
                                const std::string& name) {
  world_.applications.push_back(makeApplication(pid, bundleIdentifier, name));
  return *this;
}

WorldBuilder& WorldBuilder::frontmost(std::vector<std::string> menus) {
  for (auto& app : world_.applications)
    app.frontmost = false;
  currentApp().frontmost = true;
  currentApp().menus = std::move(menus);
  return *this;
}

WorldBuilder& WorldBuilder::extra(const std::string& identifier, double width) {
  sim::WorldExtra extra;
  extra.identifier = identifier;
  extra.width = width;
  extra.menu = {{"Open " + identifier, false, true}, {"", true, true}, {"Quit", false, true}};
  currentApp().extras.push_back(std::move(extra));
  return *this;
}

WorldBuilder& WorldBuilder::at(double position) {
  currentExtra().position = position;
  return *this;
}

WorldBuilder& WorldBuilder::withExtra(const std::function<void(sim::WorldExtra&)>& change) {
  change(currentExtra());
  return *this;
}

WorldBuilder& WorldBuilder::withApp(const std::function<void(sim::WorldApplication&)>& change) {
  change(currentApp());
  return *this;
}

WorldBuilder& WorldBuilder::withWorld(const std::function<void(sim::World&)>& change) {
  change(world_);
  return *this;
}

sim::WorldApplication& WorldBuilder::currentApp() {
  if (world_.applications.empty()) throw std::logic_error("WorldBuilder: no application yet");
  return world_.applications.back();
}

sim::WorldExtra& WorldBuilder::currentExtra() {
  auto& extras = currentApp().extras;
  if (extras.empty()) throw std::logic_error("WorldBuilder: no extra yet");
  return extras.back();
}

sim::WorldApplication makeApplication(pid_t pid, const std::string& bundleIdentifier,
                                      const std::string& name) {
  sim::WorldApplication app;
  app.pid = pid;
  app.bundleIdentifier = bundleIdentifier;
  app.bundlePath = "/Applications/" + name + ".app";
  app.localizedName = name;
  return app;
}

}  // namespace tucklet::testing
