// Tucklet's update framework: the standard updater controller over an appcast.
//
// Information keys it reads from the bundle: "SUFeedURL" (https), "SUPublicEDKey" (Base64
// Ed25519 key), "CFBundleVersion" (compared with the items' versions; else
// "CFBundleShortVersionString"), "CFBundleShortVersionString" and "CFBundleName" (shown),
// "SUEnableAutomaticChecks" (whether scheduled checks are on until the user decides) and
// "SUScheduledCheckInterval" (seconds between scheduled checks, at least an hour; a day when
// absent).
//
// User defaults keys it keeps: "SUEnableAutomaticChecks" (the user's decision),
// "SULastCheckTime" (seconds since 1970 of the last check), "SUSkippedVersion".
//
// A session: fetch the feed, pick the newest release newer than the running one (a scheduled
// check passes over a skipped version), then either show it with its release notes or, for a
// scheduled check whose delegate announces updates itself, wait for the user to ask. "Install"
// downloads the archive (with progress), checks its length and its Ed25519 signature, and only
// then keeps it: installing on this system means saving the verified archive in the staging
// folder, next to the program, and saying so. Anything refused ends the session with a message
// for a session the user sees; scheduled checks fail silently.
#pragma once

#include <memory>
#include <string>

#include "platform/run_loop.h"
#include "platform/update_framework.h"
#include "platform/updates/transport.h"
#include "platform/updates/update_alerts.h"
#include "platform/user_defaults.h"
#include "platform/workspace.h"

namespace tucklet::platform::updates {

namespace keys {
inline constexpr const char* feedURL = "SUFeedURL";
inline constexpr const char* publicEDKey = "SUPublicEDKey";
inline constexpr const char* enableAutomaticChecks = "SUEnableAutomaticChecks";
inline constexpr const char* scheduledCheckInterval = "SUScheduledCheckInterval";
inline constexpr const char* lastCheckTime = "SULastCheckTime";
inline constexpr const char* skippedVersion = "SUSkippedVersion";
}  // namespace keys

class StandardUpdaterFramework final : public UpdateFramework {
 public:
  struct Setup {
    RunLoop& runLoop;
    UserDefaults& defaults;
    BundleInfo bundle;
    UpdateTransport& transport;
    UpdateAlerts& alerts;
    std::string stagingFolder;  // where a verified archive is kept
  };

  // Seconds after the updater starts before a check that is already due runs: the application
  // settles first.
  static constexpr double startDelay = 2.0;
  static constexpr double defaultCheckInterval = 86400;
  static constexpr double minimumCheckInterval = 3600;

  explicit StandardUpdaterFramework(Setup setup) : setup_(std::move(setup)) {}

  std::unique_ptr<StandardUpdaterController> makeStandardUpdaterController(
      bool startingUpdater, StandardUserDriverDelegate* userDriverDelegate) override;

 private:
  Setup setup_;
};

}  // namespace tucklet::platform::updates
