// The workspace: running applications, the frontmost one, this process's own bundle, the
// operating system's version, files and icons, opening URLs, and the notifications that tell the
// product the set of applications or the screen arrangement changed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/connection.h"
#include "platform/image.h"

namespace tucklet::platform {

struct RunningApplication {
  pid_t pid = 0;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> bundlePath;  // the bundle's location, e.g. "/Applications/X.app"
  std::optional<std::string> localizedName;
  ImageRef icon;
  bool active = false;  // frontmost
  bool hidden = false;  // its windows are put away until it is activated again
};

struct BundleInfo {
  std::string path;                         // e.g. "/Applications/Tucklet.app"
  std::optional<std::string> identifier;    // nothing when the bundle reports none
  std::map<std::string, std::string> infoKeys;  // "CFBundleShortVersionString", "SUFeedURL", ...
};

struct OperatingSystemVersion {
  int major = 0;
  int minor = 0;
  int patch = 0;
};

enum class WorkspaceNotification {
  ApplicationLaunched,
  ApplicationTerminated,
  DidWake,
  ActiveSpaceChanged,
  ScreenParametersChanged,     // the application's screen-parameters notification
  RunningApplicationsChanged,  // the observable list of running applications got a new value
  FrontmostApplicationChanged,
};

class Workspace {
 public:
  virtual ~Workspace() = default;

  // In the order the workspace lists them.
  virtual std::vector<RunningApplication> runningApplications() const = 0;
  virtual std::optional<RunningApplication> frontmostApplication() const = 0;
  virtual std::optional<RunningApplication> applicationForPid(pid_t pid) const = 0;

  virtual pid_t currentProcessId() const = 0;
  virtual BundleInfo mainBundle() const = 0;
  virtual OperatingSystemVersion operatingSystemVersion() const = 0;

  virtual bool fileExists(const std::string& path) const = 0;
  // The icon the workspace shows for a file or bundle; nothing when there is no such file.
  virtual ImageRef iconForFile(const std::string& path) const = 0;

  // Opens a URL with its default handler; false when nothing could open it.
  virtual bool openURL(const std::string& url) = 0;
  virtual void revealFile(const std::string& path) = 0;
  // Hides a running application (its windows leave the screen until it is activated again).
  virtual void hideApplication(pid_t pid) = 0;

  // Handlers run on the main thread. `pid` names the application for launch and termination
  // notifications and is 0 otherwise.
  [[nodiscard]] virtual Connection observe(WorkspaceNotification notification,
                                           std::function<void(pid_t pid)> handler) = 0;
};

}  // namespace tucklet::platform
