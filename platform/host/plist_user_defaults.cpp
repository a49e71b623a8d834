#include "platform/host/plist_user_defaults.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host/atomic_file.h"
#include "platform/host/plist_file.h"

namespace tucklet::platform {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string homeFolder() {
  if (auto home = environment("HOME"); !home.empty()) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return ".";
}

// A bundle identifier becomes a file name, so it must not be able to leave the folder.
bool isUsableIdentifier(const std::string& identifier) {
  return !identifier.empty() && identifier != "." && identifier != ".." &&
         identifier.find('/') == std::string::npos && identifier.find('\0') == std::string::npos;
}

std::string utcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

enum class ReadResult { Loaded, Missing, Failed };

// Reads the domain file. Only a regular file is read, and only up to the size a property list may
// have: a FIFO, a device or a folder at the path must neither block the start nor be read for
// ever. Opened without waiting, so that a FIFO with no writer does not stop the open itself.
ReadResult readFile(const std::string& path, std::string& contents, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return ReadResult::Missing;
    reason = std::strerror(errno);
    return ReadResult::Failed;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
    ::close(fd);
    return ReadResult::Failed;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = "not a regular file";
    ::close(fd);
    return ReadResult::Failed;
  }
  if (static_cast<std::uint64_t>(info.st_size) > kMaxPropertyListBytes) {
    reason = "larger than " + std::to_string(kMaxPropertyListBytes) + " bytes";
    ::close(fd);
    return ReadResult::Failed;
  }
  contents.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      reason = std::strerror(errno);
      ::close(fd);
      return ReadResult::Failed;
    }
    contents.append(buffer, static_cast<std::size_t>(count));
    // A file still growing while it is read.
    if (contents.size() > kMaxPropertyListBytes) {
      reason = "larger than " + std::to_string(kMaxPropertyListBytes) + " bytes";
      ::close(fd);
      return ReadResult::Failed;
    }
  }
  ::close(fd);
  return ReadResult::Loaded;
}

}  // namespace

std::string PlistUserDefaults::defaultFolder() {
  if (auto folder = environment("TUCKLET_DEFAULTS_DIR"); !folder.empty()) return folder;
  // The base directory specification ignores relative values.
  if (auto config = environment("XDG_CONFIG_HOME"); !config.empty() && config.front() == '/') {
    return config + "/tucklet";
  }
  return homeFolder() + "/.config/tucklet";
}

PlistUserDefaults::PlistUserDefaults(std::string bundleIdentifier, std::string folder) {
  if (!isUsableIdentifier(bundleIdentifier)) {
    report("tucklet: user defaults for \"" + bundleIdentifier +
           "\" are kept in memory only: not a usable bundle identifier");
    return;
  }
  if (folder.empty()) folder = defaultFolder();
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  path_ = folder + "/" + bundleIdentifier + ".plist";
  load();
}

void PlistUserDefaults::load() {
  std::string contents;
  std::string reason;
  switch (readFile(path_, contents, reason)) {
    case ReadResult::Missing:
      return;
    case ReadResult::Failed:
      unreadableReason_ = reason;
      return;
    case ReadResult::Loaded:
      break;
  }
  auto root = parsePropertyList(contents);
  if (!root) {
    unreadableReason_ = "not a property list";
  } else if (!root->isDict()) {
    unreadableReason_ = "not a dictionary";
  } else {
    persistent_ = root->asDict();
  }
}

void PlistUserDefaults::registerDefaults(const PlistDict& values) {
  std::lock_guard lock(mutex_);
  for (const auto& [key, value] : values)
    registration_[key] = value;
}

std::optional<PlistValue> PlistUserDefaults::objectForKey(const std::string& key) const {
  std::lock_guard lock(mutex_);
  if (auto it = persistent_.find(key); it != persistent_.end()) return it->second;
  if (auto it = registration_.find(key); it != registration_.end()) return it->second;
  return std::nullopt;
}

void PlistUserDefaults::setObject(const std::string& key, const PlistValue& value) {
  std::lock_guard lock(mutex_);
  persistent_[key] = value;
  persist();
}

void PlistUserDefaults::removeObject(const std::string& key) {
  std::lock_guard lock(mutex_);
  persistent_.erase(key);
  persist();
}

PlistDict PlistUserDefaults::persistentDomain() const {
  std::lock_guard lock(mutex_);
  return persistent_;
}

std::string PlistUserDefaults::lastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

std::optional<std::string> PlistUserDefaults::movedAsidePath() const {
  std::lock_guard lock(mutex_);
  return movedAside_;
}

bool PlistUserDefaults::moveUnreadableAside() {
  const auto stem = path_ + ".unreadable-" + utcTimestamp();
  std::string error;
  // Two failures within one second must not share a name.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto target = attempt == 0 ? stem : stem + "-" + std::to_string(attempt);
    const int failure = renameWithoutReplacing(path_, target, error);
    if (failure == 0) {
      report("tucklet: user defaults " + path_ + " could not be read (" + *unreadableReason_ +
             "); moved to " + target + ", starting from empty settings");
      movedAside_ = target;
      unreadableReason_.reset();
      return true;
    }
    if (failure != EEXIST) break;
  }
  // If it vanished meanwhile there is nothing left to protect.
  struct stat info {};
  if (::lstat(path_.c_str(), &info) != 0 && errno == ENOENT) {
    unreadableReason_.reset();
    return true;
  }
  lastError_ = error;
  report("tucklet: user defaults " + path_ + " could not be read and not be moved aside (" + error +
         "); settings are not saved");
  return false;
}

void PlistUserDefaults::persist() {
  if (path_.empty()) return;
  if (unreadableReason_ && !moveUnreadableAside()) return;
  std::string error;
  if (writeFileAtomically(path_, binaryPropertyList(PlistValue(persistent_)), error)) {
    lastError_.clear();
    return;
  }
  lastError_ = error;
  report("tucklet: user defaults not saved: " + error);
}

void PlistUserDefaults::report(const std::string& line) {
  std::cerr << line << std::endl;
}

}  // namespace tucklet::platform
