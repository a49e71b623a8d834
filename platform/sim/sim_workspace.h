// The workspace service of the simulated desktop: running applications (this process among
// them), the frontmost one, bundles and icons, URLs, and workspace notifications.
#pragma once

#include <memory>

#include "platform/sim/sim_core.h"
#include "platform/workspace.h"

namespace tucklet::sim {

class SimWorkspace final : public platform::Workspace {
 public:
  explicit SimWorkspace(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}

  std::vector<platform::RunningApplication> runningApplications() const override;
  std::optional<platform::RunningApplication> frontmostApplication() const override;
  std::optional<platform::RunningApplication> applicationForPid(pid_t pid) const override;
  pid_t currentProcessId() const override;
  platform::BundleInfo mainBundle() const override;
  platform::OperatingSystemVersion operatingSystemVersion() const override;
  bool fileExists(const std::string& path) const override;
  platform::ImageRef iconForFile(const std::string& path) const override;
  bool openURL(const std::string& url) override;
  void revealFile(const std::string& path) override;
  void hideApplication(pid_t pid) override;
  [[nodiscard]] platform::Connection observe(platform::WorkspaceNotification notification,
                                             std::function<void(pid_t pid)> handler) override;

 private:
  std::weak_ptr<SimCore> core_;
};

// Whether a text starts with a URL scheme ("https:", "x-apple.systempreferences:").
bool hasURLScheme(const std::string& url);

}  // namespace tucklet::sim
