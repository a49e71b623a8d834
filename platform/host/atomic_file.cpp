#include "platform/host/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tucklet::platform {

namespace {

std::string describe(const std::string& what, const std::string& path, int code) {
  return what + " " + path + ": " + std::strerror(code);
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = ::write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The rename itself must reach the disk too, or a crash could bring back the old file.
void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool makeFolders(const std::string& folder, std::string& error) {
  if (folder.empty()) return true;
  std::string prefix;
  std::size_t start = 0;
  while (start <= folder.size()) {
    const auto slash = folder.find('/', start);
    const auto end = slash == std::string::npos ? folder.size() : slash;
    prefix = folder.substr(0, end);
    start = end + 1;
    if (prefix.empty()) continue;  // the root of an absolute path
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      error = describe("cannot create folder", prefix, errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "not a folder: " + folder;
    return false;
  }
  return true;
}

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& error) {
  const auto folder = folderOf(path);
  if (!makeFolders(folder, error)) return false;

  const auto slash = path.find_last_of('/');
  const auto name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = (folder == "/" ? std::string() : folder) + "/." + name + ".XXXXXX";
  std::vector<char> temporary(pattern.begin(), pattern.end());
  temporary.push_back('\0');
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = describe("cannot create a temporary file in", folder, errno);
    return false;
  }
  const std::string temporaryPath(temporary.data());

  int failure = 0;
  std::string step;
  if (!writeAll(fd, contents)) {
    failure = errno;
    step = "cannot write";
  } else if (::fsync(fd) != 0) {
    failure = errno;
    step = "cannot flush";
  }
  if (::close(fd) != 0 && failure == 0) {
    failure = errno;
    step = "cannot close";
  }
  if (failure == 0 && ::rename(temporaryPath.c_str(), path.c_str()) != 0) {
    failure = errno;
    step = "cannot replace";
  }
  if (failure != 0) {
    ::unlink(temporaryPath.c_str());
    error = describe(step, step == "cannot replace" ? path : temporaryPath, failure);
    return false;
  }
  syncFolder(folder);
  return true;
}

int renameWithoutReplacing(const std::string& from, const std::string& to, std::string& error) {
  int failure = 0;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    failure = errno;
    // File systems without the no-replace flag: a hard link fails when `to` exists.
    if (failure == EINVAL || failure == ENOSYS) {
      failure = ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
      if (failure == 0) ::unlink(from.c_str());
    }
  }
  if (failure != 0) {
    error = describe("cannot move " + from + " to", to, failure);
    return failure;
  }
  syncFolder(folderOf(to));
  return 0;
}

}  // namespace tucklet::platform
