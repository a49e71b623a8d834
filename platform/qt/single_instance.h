// The single-instance lock: one running Tucklet per user and bundle identifier.
//
// The lock is the bundle identifier's well-known name on the D-Bus session bus. When the bus cannot
// be reached or refuses the name, it is an flock()ed file in the first of two folders where one can
// be made: $XDG_RUNTIME_DIR (when it names a folder), then ${TMPDIR:-/tmp}/tucklet-<uid>; without a
// runtime folder, ${TMPDIR:-/tmp}/tucklet-<uid>, then ${XDG_CACHE_HOME:-~/.cache}/tucklet. When
// neither works the claim fails, and the caller must not go on as if it held the lock. Either way
// the lock is held for the life of the returned object and released by the system if the process
// dies.
#pragma once

#include <memory>
#include <string>

namespace tucklet::platform {

struct SingleInstanceOptions {
  // Skip the session bus and use the lock file (systems whose bus is unreliable; tests).
  bool forceLockFile = false;
  // Empty: the process's shared session bus connection. Otherwise a private connection to the
  // session bus under this connection name, closed when the lock is released.
  std::string busConnectionName;
  // The folders for the lock file, tried in turn; empty: the defaults above.
  std::string lockDirectory;
  std::string secondLockDirectory;
};

class SingleInstance {
 public:
  enum class Mechanism { SessionBus, LockFile };
  enum class Outcome {
    Acquired,       // `lock` holds it
    HeldElsewhere,  // another process or connection holds it: another instance is running
    Failed,         // neither the bus nor a lock file could answer; `error` says why (one line)
  };
  struct Result {
    Outcome outcome = Outcome::Failed;
    std::unique_ptr<SingleInstance> lock;
    std::string error;
  };

  // Claims the lock for `bundleIdentifier`; answers at once, never waits for the holder.
  static Result acquire(const std::string& bundleIdentifier,
                        const SingleInstanceOptions& options = {});
  // Releases the lock.
  ~SingleInstance();

  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Mechanism mechanism() const { return mechanism_; }
  // The bus name, or the lock file's path.
  const std::string& lockName() const { return lockName_; }
  // One line for logs and diagnostics, naming the mechanism and the lock.
  std::string description() const;

  // The well-known bus name for a bundle identifier: characters other than letters, digits, '_'
  // and '-' become '_', an element starting with a digit gets a leading '_', empty elements become
  // "_", and a name of one element is put under "local.". Empty for an empty identifier.
  static std::string busNameFor(const std::string& bundleIdentifier);

 private:
  SingleInstance(Mechanism mechanism, std::string lockName, std::string connectionName, int fd);

  Mechanism mechanism_;
  std::string lockName_;
  std::string connectionName_;  // the bus connection holding the name
  bool privateConnection_ = false;
  int fd_ = -1;  // the locked file
};

}  // namespace tucklet::platform
