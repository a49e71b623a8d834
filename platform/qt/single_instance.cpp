#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace tucklet::platform {

namespace {

constexpr std::size_t kMaxBusNameLength = 255;

// The bus answers "already yours" when one connection asks for a name twice; claims made through
// this process's connections are therefore remembered here so that a second one fails too.
std::mutex gClaimsMutex;
std::set<std::pair<std::string, std::string>> gBusClaims;  // connection name, bus name

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

std::string systemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The default directory under /tmp is shared with every user, so it must be ours alone: a
// directory (not a link) owned by us that nobody else can write to.
bool preparePrivateDirectory(const std::string& path, std::string& error) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    error = systemError("cannot create the lock directory " + path, errno);
    return false;
  }
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) {
    error = systemError("cannot inspect the lock directory " + path, errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 0022) != 0) {
    error = "the lock directory " + path + " is not a private directory of this user";
    return false;
  }
  return true;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string temporaryLockDirectory() {
  std::string base = environment("TMPDIR");
  if (base.empty() || base.front() != '/') base = "/tmp";
  while (base.size() > 1 && base.back() == '/')
    base.pop_back();
  return base + "/tucklet-" + std::to_string(getuid());
}

std::string cacheLockDirectory() {
  const std::string cache = environment("XDG_CACHE_HOME");
  if (!cache.empty() && cache.front() == '/') return cache + "/tucklet";
  const std::string home = environment("HOME");
  return (home.empty() ? std::string("/tmp") : home) + "/.cache/tucklet";
}

// A folder for the lock file, made ready for it. The runtime folder is the system's own and is
// used as it is; the others are made here, and must be ours alone, since /tmp is shared with
// every user.
struct LockFolder {
  std::string path;
  bool prepare = false;  // create it and insist that it is private
};

std::vector<LockFolder> lockFolders(const SingleInstanceOptions& options) {
  std::vector<LockFolder> folders;
  const std::string runtime = environment("XDG_RUNTIME_DIR");
  const bool hasRuntime = !runtime.empty() && runtime.front() == '/' && isDirectory(runtime);
  if (!options.lockDirectory.empty()) {
    folders.push_back({options.lockDirectory, false});
  } else if (hasRuntime) {
    folders.push_back({runtime, false});
  } else {
    folders.push_back({temporaryLockDirectory(), true});
  }
  if (!options.secondLockDirectory.empty()) {
    folders.push_back({options.secondLockDirectory, false});
  } else if (options.lockDirectory.empty() && !hasRuntime) {
    folders.push_back({cacheLockDirectory(), true});
  } else {
    folders.push_back({temporaryLockDirectory(), true});
  }
  return folders;
}

// Creates `path` and its missing parents (0700), for folders made here.
bool makePrivateDirectory(const std::string& path, std::string& error) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) {
      error = systemError("cannot create the lock directory " + parent, errno);
      return false;
    }
  }
  return preparePrivateDirectory(path, error);
}

enum class FileClaim { Acquired, HeldElsewhere, Failed };

// Locks `<folder>/<busName>.lock`.
FileClaim claimLockFile(const LockFolder& folder, const std::string& busName, int& fd,
                        std::string& path, std::string& error) {
  if (folder.prepare) {
    if (!makePrivateDirectory(folder.path, error)) return FileClaim::Failed;
  } else if (!isDirectory(folder.path)) {
    error = "the lock directory " + folder.path + " does not exist";
    return FileClaim::Failed;
  }
  path = folder.path + "/" + busName + ".lock";
  fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = systemError("cannot open the lock file " + path, errno);
    return FileClaim::Failed;
  }
  int locked;
  do {
    locked = flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int code = errno;
    close(fd);
    fd = -1;
    if (code == EWOULDBLOCK) return FileClaim::HeldElsewhere;
    error = systemError("cannot lock " + path, code);
    return FileClaim::Failed;
  }
  return FileClaim::Acquired;
}

}  // namespace

std::string SingleInstance::busNameFor(const std::string& bundleIdentifier) {
  if (bundleIdentifier.empty()) return {};
  std::vector<std::string> elements(1);
  for (char c : bundleIdentifier) {
    if (c == '.') {
      elements.emplace_back();
    } else {
      elements.back() += isNameCharacter(c) ? c : '_';
    }
  }
  if (elements.size() == 1) elements.insert(elements.begin(), "local");
  std::string name;
  for (auto& element : elements) {
    if (element.empty()) element = "_";
    if (element[0] >= '0' && element[0] <= '9') element.insert(0, "_");
    if (!name.empty()) name += '.';
    name += element;
  }
  if (name.size() > kMaxBusNameLength) {
    name.resize(kMaxBusNameLength);
    while (name.back() == '.')
      name.pop_back();
  }
  return name;
}

SingleInstance::Result SingleInstance::acquire(const std::string& bundleIdentifier,
                                               const SingleInstanceOptions& options) {
  Result result;
  const std::string busName = busNameFor(bundleIdentifier);
  if (busName.empty()) {
    result.error = "no bundle identifier to claim";
    return result;
  }

  // The bus needs an application object; without one, or without a reachable session bus, the lock
  // file stands in.
  if (!options.forceLockFile && QCoreApplication::instance()) {
    const bool isPrivate = !options.busConnectionName.empty();
    QDBusConnection connection =
        isPrivate ? QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                  QString::fromStdString(options.busConnectionName))
                  : QDBusConnection::sessionBus();
    auto closePrivate = [&] {
      if (isPrivate) QDBusConnection::disconnectFromBus(connection.name());
    };
    if (connection.isConnected() && connection.interface()) {
      const std::string connectionName = connection.name().toStdString();
      std::unique_lock claims(gClaimsMutex);
      if (gBusClaims.contains({connectionName, busName})) {
        result.outcome = Outcome::HeldElsewhere;
        return result;
      }
      const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
          connection.interface()->registerService(QString::fromStdString(busName),
                                                  QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
      if (!reply.isValid()) {
        // Not an answer about another instance: the lock file stands in.
        claims.unlock();
        closePrivate();
        result.error = "the session bus refused the name " + busName + ": " +
                       reply.error().message().toStdString();
      } else {
        if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
          claims.unlock();
          closePrivate();
          result.outcome = Outcome::HeldElsewhere;
          return result;
        }
        gBusClaims.insert({connectionName, busName});
        result.outcome = Outcome::Acquired;
        result.lock.reset(new SingleInstance(Mechanism::SessionBus, busName, connectionName, -1));
        result.lock->privateConnection_ = isPrivate;
        return result;
      }
    } else {
      closePrivate();
      result.error = "no session bus";
    }
  }

  // A folder where no lock file can be made is passed over for the next; one where the lock is
  // held by another process answers for good.
  std::string reasons = result.error;
  int fd = -1;
  std::string path;
  bool acquired = false;
  for (const auto& folder : lockFolders(options)) {
    std::string error;
    const auto claim = claimLockFile(folder, busName, fd, path, error);
    if (claim == FileClaim::HeldElsewhere) {
      result.outcome = Outcome::HeldElsewhere;
      result.error.clear();
      return result;
    }
    if (claim == FileClaim::Acquired) {
      acquired = true;
      break;
    }
    reasons += (reasons.empty() ? "" : "; ") + error;
  }
  if (!acquired) {
    result.error = reasons;
    return result;
  }
  // The holder's process id, for whoever looks at the file; the lock does not depend on it.
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = write(fd, pid.data(), pid.size());
  }
  result.outcome = Outcome::Acquired;
  result.lock.reset(new SingleInstance(Mechanism::LockFile, path, {}, fd));
  return result;
}

SingleInstance::SingleInstance(Mechanism mechanism, std::string lockName,
                               std::string connectionName, int fd)
    : mechanism_(mechanism),
      lockName_(std::move(lockName)),
      connectionName_(std::move(connectionName)),
      fd_(fd) {}

SingleInstance::~SingleInstance() {
  if (mechanism_ == Mechanism::LockFile) {
    // Closing the only descriptor releases the lock. The file stays: removing it would let a
    // newcomer lock a fresh file while another process still waits on the old one.
    if (fd_ >= 0) close(fd_);
    return;
  }
  QDBusConnection connection(QString::fromStdString(connectionName_));
  if (connection.isConnected() && connection.interface())
    connection.interface()->unregisterService(QString::fromStdString(lockName_));
  if (privateConnection_) QDBusConnection::disconnectFromBus(connection.name());
  std::lock_guard claims(gClaimsMutex);
  gBusClaims.erase({connectionName_, lockName_});
}

std::string SingleInstance::description() const {
  return mechanism_ == Mechanism::SessionBus ? "session bus name " + lockName_
                                             : "lock file " + lockName_;
}

}  // namespace tucklet::platform
