#include <limits.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <thread>

#include "cli/system.h"

namespace pelorin::cli {

namespace {

// A thread's probes waited on the device when they have taken a while and the thread gave up
// the processor to wait (voluntary context switches: a probe on a warm cache never waits) for a
// good share of them, and a few times at least. Waiting for the processor, on a busy machine, is
// not waiting on the device.
constexpr auto kShortestWait = std::chrono::microseconds(500);
constexpr long kWaitingShare = 4;
constexpr long kFewestWaits = 4;

std::int64_t voluntaryWaits() {
  rusage usage;
  return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

}  // namespace

const std::size_t kLongestPath = PATH_MAX;
const bool kListLinesMayEndInCrLf = false;  // a name may end in CR: the line keeps it

unsigned processorCount() {
  cpu_set_t cpus;
  if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0) return std::max(1, CPU_COUNT(&cpus));
  return std::max(1u, std::thread::hardware_concurrency());
}

void prepareWorkerThread() {
  // A descriptor table of the worker's own: opening and closing files then takes no lock that
  // the other threads wait on, and the kernel's fast path for a table with one user applies to
  // every read. Where the system refuses (a sandbox may), the shared table still works.
  static_cast<void>(::unshare(CLONE_FILES));
}

DeviceWaitWatch::DeviceWaitWatch()
    : startedAt_(std::chrono::steady_clock::now()), countedAtStart_(voluntaryWaits()) {}

std::optional<bool> DeviceWaitWatch::waitedOnDevice(long probes) const {
  if (std::chrono::steady_clock::now() - startedAt_ < kShortestWait) return std::nullopt;
  const std::int64_t waits = voluntaryWaits() - countedAtStart_;
  return waits >= kFewestWaits && waits * kWaitingShare >= probes;
}

}  // namespace pelorin::cli
