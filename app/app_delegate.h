// The application delegate: installs the main menu, makes sure only one Tucklet runs, creates the
// controller when launching has finished, and restores the menu bar when the application ends.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/arguments.h"
#include "app/bar_controller.h"
#include "platform/platform.h"

namespace tucklet {

class AppDelegate {
 public:
  // Claims this user's single-instance lock for a bundle identifier; false when another instance
  // holds it.
  using InstanceClaim = std::function<bool(const std::string& bundleIdentifier)>;

  AppDelegate(platform::Platform& platform, Arguments arguments, bool profileOnboarding,
              InstanceClaim claimInstance);

  void applicationWillFinishLaunching();
  void applicationDidFinishLaunching();
  // The ordinary termination path (also reached by SIGTERM, SIGINT and SIGHUP).
  void applicationWillTerminate();
  bool applicationShouldHandleReopen(bool hasVisibleWindows);

  std::shared_ptr<BarController> controller;
  // Makes the settings window's widgets, where there is a display to show them on.
  SettingsViewFactory settingsViews;
  const bool profileOnboarding;

 private:
  platform::Platform& platform_;
  Arguments arguments_;
  InstanceClaim claimInstance_;
};

// The main menu: an empty application menu titled "tucklet" and the Edit menu that gives text
// fields their standard editing commands.
platform::MenuModel makeMainMenu();

// Accessory (no Dock icon) when the process is trusted and setup is complete; regular otherwise, so
// a first or untrusted run can show its onboarding window in front.
platform::ActivationPolicy initialActivationPolicy(platform::Platform& platform);

}  // namespace tucklet
