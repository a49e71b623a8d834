// The set of platform services handed to the product. `app/` wires one concrete platform in
// (the simulated desktop with the Qt event loop); tests wire the simulated desktop with a virtual
// run loop.
#pragma once

#include <string>

#include "platform/accessibility.h"
#include "platform/distributed_notifications.h"
#include "platform/hot_keys.h"
#include "platform/menus.h"
#include "platform/run_loop.h"
#include "platform/screen_capture.h"
#include "platform/status_bar.h"
#include "platform/symbols.h"
#include "platform/system_services.h"
#include "platform/update_framework.h"
#include "platform/user_defaults.h"
#include "platform/window_server.h"
#include "platform/windows.h"
#include "platform/workspace.h"

namespace tucklet::platform {

struct Platform {
  RunLoop& runLoop;
  UserDefaults& defaults;
  Workspace& workspace;
  Accessibility& accessibility;
  WindowServer& windowServer;
  StatusBar& statusBar;
  Screens& screens;
  PowerSources& powerSources;
  LoginService& loginService;
  HotKeys& hotKeys;
  Application& application;
  Menus& menus;
  Symbols& symbols;
  // Where the private visibility framework lives on this system; empty when it is absent.
  std::string visibilityFrameworkPath;
  // The update framework installed beside the application; nothing when there is none.
  UpdateFramework* updateFramework = nullptr;
  // This process's own windows and popovers; nothing where the platform cannot show them.
  Windows* windows = nullptr;
  // The distributed notification centre; nothing where no channel could be opened.
  DistributedNotificationCenter* notifications = nullptr;
  // Screen pictures; nothing where the platform cannot take them.
  ScreenCapture* screenCapture = nullptr;
};

}  // namespace tucklet::platform
