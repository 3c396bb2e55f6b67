#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <thread>

#include "cli/system.h"

namespace pelorin::cli {

namespace {

// A thread's probes waited on the device when they have taken a while and the thread gave up
// the processor to wait (voluntary context switches: a probe on a warm cache never waits) for a
// good share of them, and a few times at least. Waiting for the processor, on a busy machine, is
// not waiting on the device. A device that makes each probe wait twice (an open and a read) is
// known after two probes, one that makes it wait once after three.
constexpr auto kShortestWait = std::chrono::microseconds(500);
constexpr long kWaitingShare = 4;
constexpr long kFewestWaits = 3;

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
  // The signals that stop a run go to the calling thread, whose writes they interrupt, and
  // never cut a worker's open or read short.
  sigset_t stopping;
  sigemptyset(&stopping);
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopping, signalNumber);
  pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
}

DeviceWaitWatch::DeviceWaitWatch()
    : startedAt_(std::chrono::steady_clock::now()),
      nextLook_(startedAt_ + kShortestWait),
      countedAtStart_(voluntaryWaits()) {}

std::optional<bool> DeviceWaitWatch::waitedOnDevice(long probes) {
  const auto now = std::chrono::steady_clock::now();
  if (now < nextLook_) return std::nullopt;
  nextLook_ = now + kShortestWait;
  const std::int64_t waits = voluntaryWaits() - countedAtStart_;
  return waits >= kFewestWaits && waits * kWaitingShare >= probes;
}

}  // namespace pelorin::cli
