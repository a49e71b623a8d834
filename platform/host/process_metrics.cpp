#include "platform/host/process_metrics.h"

#include <cerrno>
#include <charconv>
#include <string_view>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tucklet::platform {

namespace {

// The whole of a small /proc file; nothing when it cannot be read.
std::optional<std::string> readSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > (1u << 20)) break;  // /proc files this small never grow past this
  }
  ::close(fd);
  return text;
}

// The number after "key:" at the start of a line, times `unit`.
std::optional<std::uint64_t> field(std::string_view text, std::string_view key,
                                   std::uint64_t unit) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto end = std::min(text.find('\n', at), text.size());
    const auto line = text.substr(at, end - at);
    at = end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':')
      continue;
    auto rest = line.substr(key.size() + 1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
      rest.remove_prefix(1);
    std::uint64_t value = 0;
    const auto [end2, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || end2 == rest.data()) return std::nullopt;
    return value * unit;
  }
  return std::nullopt;
}

}  // namespace

LinuxProcessMetrics::LinuxProcessMetrics(std::string procFolder)
    : procFolder_(std::move(procFolder)) {}

long LinuxProcessMetrics::processId() const {
  return static_cast<long>(::getpid());
}

std::optional<ProcessResourceUsage> LinuxProcessMetrics::resourceUsage() const {
  struct rusage usage {};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return std::nullopt;
  const auto micros = [](const timeval& t) {
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000u +
           static_cast<std::uint64_t>(t.tv_usec);
  };

  const auto status = readSmallFile(procFolder_ + "/status");
  const auto io = readSmallFile(procFolder_ + "/io");
  if (!status || !io) return std::nullopt;
  const auto resident = field(*status, "VmRSS", 1024);
  const auto anonymous = field(*status, "RssAnon", 1024);
  const auto read = field(*io, "read_bytes", 1);
  const auto written = field(*io, "write_bytes", 1);
  if (!resident || !anonymous || !read || !written) return std::nullopt;

  ProcessResourceUsage result;
  result.cpuTicks = micros(usage.ru_utime) + micros(usage.ru_stime);
  result.residentBytes = *resident;
  result.physicalFootprintBytes = *anonymous;
  result.diskReadBytes = *read;
  result.diskWriteBytes = *written;
  return result;
}

}  // namespace tucklet::platform
