// The Linux accounting of this process, for the performance capture:
//   CPU          getrusage(RUSAGE_SELF): user + system time of all threads, in microseconds. The
//                kernel keeps per-task run time in nanoseconds and reports it scaled to whole
//                microseconds here, so one tick is 1e-6 s.
//   resident     VmRSS of /proc/self/status.
//   footprint    RssAnon of /proc/self/status: the anonymous memory resident in RAM, that is the
//                heap, stacks and private dirty pages - memory only this process can be blamed
//                for. Shared libraries and mapped files are left out, which keeps the figure
//                comparable to a Mac's physical footprint. It is a cheap counter read, unlike a
//                proportional size from smaps, which walks every mapping while the heartbeat
//                waits.
//   disk         read_bytes and write_bytes of /proc/self/io: bytes that went to the block layer.
// A reading fails as a whole when any of the three sources cannot be read.
#pragma once

#include <string>

#include "platform/process_metrics.h"

namespace tucklet::platform {

class LinuxProcessMetrics final : public ProcessMetrics {
 public:
  // `procFolder` is where the process's files are read from (tests point it elsewhere).
  explicit LinuxProcessMetrics(std::string procFolder = "/proc/self");

  std::optional<ProcessResourceUsage> resourceUsage() const override;
  double secondsPerTick() const override { return 1e-6; }
  long processId() const override;

 private:
  std::string procFolder_;
};

}  // namespace tucklet::platform
