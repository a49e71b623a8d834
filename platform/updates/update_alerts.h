// The windows of an update session: the update found (with its release notes and the three
// choices), the download's progress, and the message that ends a session. One session shows one
// window at a time; each call replaces what it showed before.
//
// Every answer arrives later, on the main thread, at most once, and never after the window was
// replaced or closed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tucklet::platform::updates {

struct UpdateOffer {
  std::string appName;                   // "Tucklet"
  std::string version;                   // the update's display version
  std::string currentVersion;            // the running display version
  std::string releaseNotes;              // HTML, or empty
  bool releaseNotesUnavailable = false;  // there were notes, but they could not be fetched
};

enum class UpdateChoice { Install, SkipThisVersion, RemindMeLater };

enum class UpdateMessageKind { Information, Success, Error };

class UpdateAlerts {
 public:
  virtual ~UpdateAlerts() = default;
  // "Checking for updates…" while a check the user asked for runs.
  virtual void showChecking(std::function<void()> cancel) = 0;
  // "Install", "Skip This Version", "Remind Me Later"; closing the window reminds later.
  virtual void showUpdateFound(const UpdateOffer& offer,
                               std::function<void(UpdateChoice)> choose) = 0;
  // Shown, then updated by later calls while the download runs; `expected` 0 when unknown.
  virtual void showDownloadProgress(const std::string& title, std::uint64_t received,
                                    std::uint64_t expected, std::function<void()> cancel) = 0;
  virtual void showMessage(UpdateMessageKind kind, const std::string& title,
                           const std::string& text, std::function<void()> dismissed) = 0;
  virtual void bringToFront() = 0;
  // Closes whatever is shown, without an answer.
  virtual void close() = 0;
};

}  // namespace tucklet::platform::updates
