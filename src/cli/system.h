#pragma once

// What the command line asks of the system beyond its files and streams: the processors it may
// run on, a worker thread's setup, whether a thread's work waits on a device, and the limits of
// the system's paths. posix_system.cpp and win32_system.cpp implement it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace pelorin::cli {

/// The processors this process may run on; at least 1.
unsigned processorCount();

/// Called first on each worker thread, to set it up for probing many files.
void prepareWorkerThread();

/// Watches the calling thread from its construction on, to tell whether its probes wait on the
/// device (a cold cache, a network share) rather than the processor: a device answers many
/// requests at once about as fast as one, so more workers then help. Used on one thread only.
class DeviceWaitWatch {
 public:
  DeviceWaitWatch();

  /// Whether the `probes` probes since construction waited on the device; nothing while it is
  /// too soon to tell, and again until as long has passed since the last answer. Costs a clock
  /// reading, and one look at the thread's use when it answers.
  std::optional<bool> waitedOnDevice(long probes);

 private:
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::time_point nextLook_;  // the earliest time of the next answer
  // What the system had counted for the thread at construction: on POSIX systems its voluntary
  // context switches, on Windows its processor time in units of 100 ns.
  std::int64_t countedAtStart_;
};

/// The longest path the system takes, in bytes of UTF-8: a path in a file list longer than that
/// is never held whole.
extern const std::size_t kLongestPath;

/// Whether a file list's line may end in CR LF, its CR then not being part of the path: where no
/// file name can hold a carriage return (Windows), so that lists written there work as they are.
extern const bool kListLinesMayEndInCrLf;

}  // namespace pelorin::cli
