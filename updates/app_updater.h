// AppUpdater: Tucklet's side of the update framework. It decides once, at creation, whether this
// build updates at all, starts the framework's standard updater, mirrors the facts the interface
// shows, and announces updates that scheduled checks find in the items menu ("Update to 2.0…")
// instead of interrupting the user with an alert (gentle reminders).
//
// The updater starts only with an https "SUFeedURL" that names a host and an "SUPublicEDKey" of
// exactly 32 bytes of standard Base64, and never in the self-test and review modes ("--smoke-test",
// "--ux-review", "--verify"). Anything else leaves it unconfigured, silently.
//
// Main thread only. `changed` fires after any mirror changed value.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/connection.h"
#include "platform/update_framework.h"

namespace tucklet {

class AppUpdater final : public platform::StandardUserDriverDelegate {
 public:
  // `framework` is nothing when it is not installed beside the application.
  AppUpdater(const std::vector<std::string>& arguments,
             const std::map<std::string, std::string>& infoKeys,
             platform::UpdateFramework* framework);
  ~AppUpdater() override;
  AppUpdater(const AppUpdater&) = delete;
  AppUpdater& operator=(const AppUpdater&) = delete;

  // Whether the bundle's keys and the command line let the updater start.
  static bool configurationAllows(const std::vector<std::string>& arguments,
                                  const std::map<std::string, std::string>& infoKeys);

  bool isConfigured() const { return isConfigured_; }
  bool canCheckForUpdates() const { return canCheckForUpdates_; }
  bool automaticallyChecksForUpdates() const { return automaticallyChecksForUpdates_; }
  // The display version of an update a scheduled check found, while it waits for the user.
  const std::optional<std::string>& availableVersion() const { return availableVersion_; }

  // A check the user asked for (the items menu's update row, the settings window's button). Does
  // nothing unless a check is possible now.
  void checkForUpdates();
  // The settings toggle "Automatically check for updates".
  void setAutomaticallyChecksForUpdates(bool automatically);
  // Ends any update session (its windows, its transfers) and the schedule; no check is possible
  // afterwards. Part of the application's termination path.
  void stop();

  platform::Signal<> changed;

  // The framework's questions about its user interface.
  bool supportsGentleScheduledUpdateReminders() const override { return true; }
  bool standardUserDriverShouldHandleShowingScheduledUpdate(const platform::UpdateItem&,
                                                            bool immediateFocus) override;
  void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                 const platform::UpdateItem& update,
                                                 const platform::UserUpdateState&) override;
  void standardUserDriverDidReceiveUserAttention(const platform::UpdateItem&) override;
  void standardUserDriverWillFinishUpdateSession() override;

 private:
  template <typename T>
  void assign(T& mirror, T value);

  bool isConfigured_ = false;
  bool canCheckForUpdates_ = false;
  bool automaticallyChecksForUpdates_ = false;
  std::optional<std::string> availableVersion_;
  bool quiet_ = false;  // going away: changes are not announced
  std::unique_ptr<platform::StandardUpdaterController> controller_;
  // After the controller: the observations end before it goes.
  std::vector<platform::Connection> subscriptions_;
};

}  // namespace tucklet
