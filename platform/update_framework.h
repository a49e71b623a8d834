// The update framework as Tucklet relies on it. The framework is shipped beside the application,
// not inside it: it reads the bundle's "SUFeedURL" appcast, checks it on a schedule and on
// request, shows its own windows for what the user asked for, downloads, verifies the archive's
// signature against "SUPublicEDKey" and installs. An application may announce updates found by
// scheduled checks itself (gentle reminders) through the user driver delegate.
//
// Everything here is used from the main thread, and every callback arrives on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/connection.h"

namespace tucklet::platform {

// One release listed in the appcast.
struct UpdateItem {
  std::string versionString;         // the build version compared with the running one
  std::string displayVersionString;  // what people are shown ("2.0")
  std::string title;
  std::string releaseNotesURL;  // empty: none, or notes inline in `itemDescription`
  std::string itemDescription;
  std::string fileURL;  // the archive
  std::uint64_t contentLength = 0;
  std::string edSignature;  // Base64 Ed25519 signature of the archive
};

// Where an update session stands when the update is about to be shown.
struct UserUpdateState {
  enum class Stage { NotDownloaded, Downloaded, Installing };
  Stage stage = Stage::NotDownloaded;
  bool userInitiated = false;
};

// What the application decides about the framework's standard user interface. The defaults are
// the framework's own behaviour.
class StandardUserDriverDelegate {
 public:
  virtual ~StandardUserDriverDelegate() = default;
  // Whether the application announces updates found by scheduled checks in its own, quieter way.
  virtual bool supportsGentleScheduledUpdateReminders() const { return false; }
  // Whether the framework shows an update a scheduled check found itself (in `immediateFocus`
  // when the application is in front); false leaves it to the application.
  virtual bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateItem&,
                                                                    bool /*immediateFocus*/) {
    return true;
  }
  // Before an update is shown: `handleShowingUpdate` is false when the application announces it.
  virtual void standardUserDriverWillHandleShowingUpdate(bool /*handleShowingUpdate*/,
                                                         const UpdateItem&,
                                                         const UserUpdateState&) {}
  // The user has turned to the update the application announced.
  virtual void standardUserDriverDidReceiveUserAttention(const UpdateItem&) {}
  virtual void standardUserDriverWillFinishUpdateSession() {}
};

// The updater of a standard controller.
class Updater {
 public:
  virtual ~Updater() = default;
  // False before the updater started and while a session is busy (checking, downloading);
  // true again while an update found by a scheduled check waits for the user.
  virtual bool canCheckForUpdates() const = 0;
  // Scheduled checks (about once a day) are on. Kept in the user defaults.
  virtual bool automaticallyChecksForUpdates() const = 0;
  virtual void setAutomaticallyChecksForUpdates(bool automatically) = 0;
  // `handler` runs at once with the current value and then with every change.
  [[nodiscard]] virtual Connection observeCanCheckForUpdates(std::function<void(bool)> handler) = 0;
  [[nodiscard]] virtual Connection observeAutomaticallyChecksForUpdates(
      std::function<void(bool)> handler) = 0;
};

// The framework's standard controller: an updater with the framework's own user interface.
// Destroying it ends any session in progress (its windows close, its transfers stop).
class StandardUpdaterController {
 public:
  virtual ~StandardUpdaterController() = default;
  virtual Updater& updater() = 0;
  // Starts the schedule; the first scheduled check comes shortly after when one is due.
  virtual void startUpdater() = 0;
  // A check the user asked for, with the framework's dialogs. Brings an update a scheduled check
  // found (and the application announced) to the user instead, when there is one.
  virtual void checkForUpdates() = 0;
};

class UpdateFramework {
 public:
  virtual ~UpdateFramework() = default;
  // `userDriverDelegate` must outlive the controller. With `startingUpdater` false the caller
  // starts it.
  virtual std::unique_ptr<StandardUpdaterController> makeStandardUpdaterController(
      bool startingUpdater, StandardUserDriverDelegate* userDriverDelegate) = 0;
};

}  // namespace tucklet::platform
