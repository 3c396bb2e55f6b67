#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/format.h"
#include "cli/inputs.h"
#include "cli/pool_system.h"

namespace pelorin::cli {

/// What the run's tally needs of one report.
struct Counted {
  Report report;
  double lengthSeconds;
  bool warned;      // the report's details have a warning
  std::size_t end;  // where the report ends in its chunk's output
  // 1 + the index of its item when the probe refused the item as a folder, else 0.
  std::size_t folderItem = 0;
};

/// Items probed together, in order, and the reports not yet written.
struct Chunk {
  std::vector<Item> items;
  std::size_t count = 0;   // items filled
  std::size_t probed = 0;  // items probed so far
  // Its prober stopped before the last item, for its reports to be written first: set by the
  // prober as it returns.
  bool paused = false;
  std::string output;  // the reports of the items probed since the last write
  // One entry per report in `output`, in order: the writer adds them to the run's tally one by
  // one, so that the total length is summed in input order whatever the chunks and the workers.
  std::vector<Counted> counted;
  // How long its probes took, as its probers' watches tell; zero where they cannot.
  std::chrono::nanoseconds probeTime{};
  // Its prober returned: every item is probed, or it paused. Under the pool's mutex while the
  // chunk is in the pool.
  bool ready = false;
};

/// Probes chunks on one thread.
class ChunkProber {
 public:
  virtual ~ChunkProber() = default;

  /// Probes `chunk`'s items from `probed` on and appends their reports, until every item is
  /// probed or the reports not yet written reach their bound (then `paused`).
  virtual void probe(Chunk& chunk) = 0;
};

/// Makes a worker's prober, on the worker's thread. The prober calls `onSlowDevice` when it
/// sees its probes wait on the device.
using ProberMaker = std::function<std::unique_ptr<ChunkProber>(std::function<void()> onSlowDevice)>;

/// Workers take chunks from a queue; the calling thread (the writer) hands chunks out, waits
/// for them in order, and probes queued chunks itself while it would otherwise wait. Only the
/// calling thread calls its members, but for reportSlowDevice().
class WorkerPool {
 public:
  /// Starts up to `workers` workers. One that the system cannot start is done without: the run
  /// goes on with those started, down to the calling thread alone, since it probes whatever is
  /// queued. The pool grows to `growTo` workers once a prober sees its probes wait on the device.
  WorkerPool(PoolSystem& system, unsigned workers, unsigned growTo, ProberMaker makeProber);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned size() const { return static_cast<unsigned>(threads_.size()); }

  /// Whether a prober has seen its probes wait on the device. Any thread.
  bool slowDevice() const { return slowDevice_.load(std::memory_order_relaxed); }
  /// A prober saw its probes wait on the device: wakes the calling thread to grow. Any thread.
  void reportSlowDevice();
  /// Grows to its most workers, where a prober has seen the device slow; no further than the
  /// limit of limitGrowth(), where one was set.
  void growForSlowDevice();
  /// Grows for a slow device to no more than `workers` workers, until the limit is set again.
  void limitGrowth(unsigned workers) { growthLimit_ = workers; }

  /// Queues `chunk` last; or, for a paused one whose reports were written, first.
  void submit(Chunk* chunk);
  void resume(Chunk* chunk);
  /// Forgets the queued chunks: the run stops early.
  void dropPending();

  /// Returns true once `chunk` is ready (see Chunk::ready). Until then the calling thread probes
  /// queued chunks with `own`, so that it works rather than sleeps, and sleeps only when none is
  /// left. Returns false early when the pool grows, so that the caller hands the new workers
  /// chunks at once; from then on the calling thread probes no more: on a slow device a chunk of
  /// its own would keep it from handing out the next ones.
  bool finish(Chunk& chunk, ChunkProber& own);

 private:
  unsigned growthTarget() const { return std::min(growTo_, growthLimit_); }
  bool mayGrow() const { return threads_.size() < growthTarget(); }
  // Starts workers until there are `workers`, or until the system refuses one; returns how
  // many started.
  unsigned grow(unsigned workers);
  Chunk* takePending();
  void work();

  PoolSystem& system_;
  ProberMaker makeProber_;
  unsigned growTo_;  // lowered to the workers there are once growth is refused a thread
  unsigned growthLimit_ = UINT_MAX;
  bool grown_ = false;  // workers started for a slow device; only the calling thread uses it
  std::atomic<bool> slowDevice_ = false;
  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable chunkReady_;
  // The chunk the calling thread waits for, while it waits: a worker wakes it only for that one,
  // not for every chunk done out of order.
  const Chunk* awaited_ = nullptr;
  std::deque<Chunk*> pending_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace pelorin::cli
