// Builds simulated-desktop worlds in code for tests: one screen with a menu bar, Tucklet run
// from /Applications, and whatever applications and extras a test adds.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/world.h"

namespace tucklet::testing {

class WorldBuilder {
 public:
  // A 1512 x 982 screen with a 24-point menu bar; Accessibility trusted; nothing running.
  WorldBuilder();

  WorldBuilder& screenFrame(sim::Rect frame);  // replaces the first screen's frame
  WorldBuilder& addScreen(sim::Rect frame);
  WorldBuilder& notch(double width);
  // Adds a running application at "/Applications/<name>.app"; later calls apply to it.
  WorldBuilder& app(pid_t pid, const std::string& bundleIdentifier, const std::string& name);
  // Makes the current application frontmost, showing these menu titles.
  WorldBuilder& frontmost(std::vector<std::string> menus = {});
  // Adds an extra to the current application; later calls apply to it.
  WorldBuilder& extra(const std::string& identifier, double width = 22);
  WorldBuilder& at(double position);  // the current extra's placement
  WorldBuilder& withExtra(const std::function<void(sim::WorldExtra&)>& change);
  WorldBuilder& withApp(const std::function<void(sim::WorldApplication&)>& change);
  WorldBuilder& withWorld(const std::function<void(sim::World&)>& change);

  sim::World build() const { return world_; }

 private:
  sim::WorldApplication& currentApp();
  sim::WorldExtra& currentExtra();

  sim::World world_;
};

// An application that is not running yet (for launches).
sim::WorldApplication makeApplication(pid_t pid, const std::string& bundleIdentifier,
                                      const std::string& name);

}  // namespace tucklet::testing
