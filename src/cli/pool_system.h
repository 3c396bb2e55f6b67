#pragma once

// What the worker pool asks of the system: threads to start, a way for its threads to wait for
// each other, and a watch that tells whether a thread's probes wait on the device. The system's
// own is systemPool(); a test puts its own in its place to say "no thread may start" or "the
// device is slow now" and to see every wait, without sleeping.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace pelorin::cli {

/// Tells whether the probes of the thread that made it wait on the device (a cold cache, a
/// network share) rather than the processor. Used on that thread only.
class DeviceWatch {
 public:
  virtual ~DeviceWatch() = default;

  /// Watches afresh from now on: a chunk of probes starts.
  virtual void restart() = 0;
  /// Called after each probe: true when the probes since restart() are seen to wait on the
  /// device, at most once between two restarts.
  virtual bool slowAfterProbe() = 0;
  /// How long the probes since restart() took; zero where the watch cannot tell.
  virtual std::chrono::nanoseconds sinceRestart() const = 0;
};

class PoolSystem {
 public:
  virtual ~PoolSystem() = default;

  /// The processors this process may run on; at least 1.
  virtual unsigned processorCount() = 0;

  /// Starts a thread that runs `work`; a thread that is not joinable when the system cannot
  /// start one (its limit of threads or of memory reached).
  virtual std::thread startThread(std::function<void()> work) = 0;

  /// A watch of the calling thread's probes.
  virtual std::unique_ptr<DeviceWatch> watchThisThread() = 0;

  /// Waits on `cv`, `lock` held, until notified (or woken spuriously: callers check again).
  virtual void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock) = 0;
  /// Wakes one, or every, thread waiting on `cv`; called with the waits' mutex held.
  virtual void notifyOne(std::condition_variable& cv) = 0;
  virtual void notifyAll(std::condition_variable& cv) = 0;
};

/// The system's threads, waits and device watch.
PoolSystem& systemPool();

}  // namespace pelorin::cli
