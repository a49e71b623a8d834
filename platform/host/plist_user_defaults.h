// User defaults kept in a binary property-list file per bundle identifier,
// `<folder>/<bundleIdentifier>.plist`, as the platform keeps a domain.
//
// The folder is the constructor's `folder` when given, else $TUCKLET_DEFAULTS_DIR, else
// $XDG_CONFIG_HOME/tucklet, else ~/.config/tucklet. The file is read once at creation; every write
// replaces it atomically before returning. A file that exists but cannot be read or parsed is
// moved aside to `<name>.plist.unreadable-<UTC time>` (never deleted, never replaced) just before
// the first write, with one line on standard error, and the domain starts empty.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "platform/user_defaults.h"

namespace tucklet::platform {

class PlistUserDefaults final : public UserDefaults {
 public:
  explicit PlistUserDefaults(std::string bundleIdentifier, std::string folder = {});

  // Where domains live when no folder is given, from the environment.
  static std::string defaultFolder();

  void registerDefaults(const PlistDict& values) override;
  std::optional<PlistValue> objectForKey(const std::string& key) const override;
  // Both keep the new value in memory even when the file cannot be written (reported on standard
  // error and in `lastError`); the next successful write stores it.
  void setObject(const std::string& key, const PlistValue& value) override;
  void removeObject(const std::string& key) override;

  // The domain file; empty when the bundle identifier cannot name one (the domain then lives in
  // memory only).
  const std::string& path() const { return path_; }
  PlistDict persistentDomain() const;
  // Why the last write did not reach the file; empty after a successful one.
  std::string lastError() const;
  // Where an unreadable domain file was moved, once it has been.
  std::optional<std::string> movedAsidePath() const;

 private:
  void load();
  void persist();
  bool moveUnreadableAside();
  void report(const std::string& line);

  std::string path_;
  mutable std::mutex mutex_;
  PlistDict registration_;
  PlistDict persistent_;
  // Set when the file exists but did not load: it must go aside before anything replaces it.
  std::optional<std::string> unreadableReason_;
  std::optional<std::string> movedAside_;
  std::string lastError_;
};

}  // namespace tucklet::platform
