// A whole Tucklet on a simulated desktop under virtual time, for tests of the controller: the
// desktop, user defaults in memory, the services, the native visibility unit pointed at the
// framework stand-in, and the application delegate that creates the controller.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/bar_controller.h"
#include "platform/sim/desktop.h"
#include "platform/user_defaults.h"
#include "platform/virtual_run_loop.h"

namespace tucklet::testing {

class TuckletRig {
 public:
  // `stored` is the persistent defaults domain the run starts with.
  explicit TuckletRig(sim::World world, platform::PlistDict stored = {});
  ~TuckletRig();
  TuckletRig(const TuckletRig&) = delete;
  TuckletRig& operator=(const TuckletRig&) = delete;

  // Launches Tucklet as the process entry does: activation policy, main menu, single-instance
  // check, controller. Does not move time: the start-up step runs on `advance`.
  BarController& launch(std::vector<std::string> arguments = {});
  // Quits through the ordinary termination path.
  void quit();

  void advance(double seconds) { runLoop.advance(seconds); }
  BarController& controller() { return *delegate->controller; }
  sim::SimDesktop& desktop() { return *desktop_; }
  platform::Platform& services() { return *services_; }

  // The identifiers (or titles) of the other applications' items the bar shows, right to left.
  std::vector<std::string> shownExtras() const;
  bool ownItemShown(const std::string& autosaveName) const;
  // Clicks one of Tucklet's own status items near its right edge (a collapsed divider reaches
  // far off-screen to the left), with the modifiers as event flags; then runs what is due.
  void clickOwnItem(const std::string& autosaveName, std::uint32_t modifiers = 0,
                    bool rightButton = false);
  std::size_t ownStatusItemCount() const;

  platform::VirtualRunLoop runLoop;
  platform::MemoryUserDefaults defaults;
  std::unique_ptr<AppDelegate> delegate;

 private:
  std::unique_ptr<sim::SimDesktop> desktop_;
  std::optional<platform::Platform> services_;
};

// A world with Tucklet set up in /Applications, trusted, with these defaults stored: the shape of
// most controller tests.
platform::PlistDict setUpDefaults();

// The onboarding window is on screen; onboarding has sent the user to System Settings.
bool onboardingShown(BarController& controller);
bool onboardingHandingOff(BarController& controller);

}  // namespace tucklet::testing
