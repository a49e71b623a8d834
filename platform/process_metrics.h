// This process's own resource accounting: CPU time, memory and disk traffic, as the performance
// capture samples them.
#pragma once

#include <cstdint>
#include <optional>

namespace tucklet::platform {

struct ProcessResourceUsage {
  // User plus system CPU time of every thread, in ticks of `ProcessMetrics::secondsPerTick`.
  std::uint64_t cpuTicks = 0;
  std::uint64_t residentBytes = 0;
  // The memory the process itself is responsible for (see the implementation for which measure).
  std::uint64_t physicalFootprintBytes = 0;
  // Bytes that really went to or came from storage (page cache hits do not count).
  std::uint64_t diskReadBytes = 0;
  std::uint64_t diskWriteBytes = 0;
};

class ProcessMetrics {
 public:
  virtual ~ProcessMetrics() = default;
  // One reading of the accounting; nothing when the system would not answer.
  virtual std::optional<ProcessResourceUsage> resourceUsage() const = 0;
  // Seconds per CPU tick: the resolution the CPU time is reported in.
  virtual double secondsPerTick() const = 0;
  // The process id the accounting belongs to.
  virtual long processId() const = 0;
};

}  // namespace tucklet::platform
