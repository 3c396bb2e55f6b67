#include "cli/batch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/system.h"

namespace pelorin::cli {

namespace {

// Items per chunk: enough that handing chunks around costs little next to probing them.
constexpr std::size_t kChunkItems = 64;
// Items per chunk once the probes wait on the device, when handing chunks around costs nothing
// next to the device's time; and of a run's first chunks, until it is known which the device is,
// so that a slow one is noticed early and no worker is left with a long chunk of the first.
constexpr std::size_t kSlowChunkItems = 8;
constexpr std::size_t kFirstSmallChunks = 8;
// Bytes of paths per chunk, past which a chunk takes no more items: chunks of long paths hold
// fewer of them, so that the chunks in flight stay small whatever the paths.
constexpr std::size_t kChunkPathBytes = 4 * 1024;
// A path's room in a chunk is kept for the next item, unless a long path made it larger than
// this: otherwise every item of every chunk could come to keep the room of a long path.
constexpr std::size_t kKeptPathRoom = 1024;
// Chunks in flight per worker, so that no worker waits while the writer catches up.
constexpr std::size_t kChunksPerWorker = 4;
// Chunks in flight at most, whatever the workers: what bounds the memory of a run's paths and
// reports (a chunk holds at most kChunkPathBytes of paths).
constexpr std::size_t kMostChunksInFlight = 128;
// The workers a run grows to when its probes wait on the device rather than the processor: a
// cold cache answers many requests at once about as fast as one, so the run keeps the device
// busy instead of the cores.
constexpr unsigned kWorkersForASlowDevice = 64;
// The command line's message-box sink: the box is dismissed at once, since the report is
// written from the probe's outcome in the format asked for.
class DismissingSink : public MessageBoxSink {
 public:
  int show(PromptView, std::int32_t, std::optional<std::string_view>) override { return kOkAnswer; }
};

// The open-failure report of an item known to fail before any probe: a folder that a walk
// could not read, a listed path too long for the system.
void reportOpenFailure(const Item& item, ProbeOutcome& outcome) {
  outcome.report = Report::kOpenFailure;
  outcome.values = SondurValues{};
  outcome.errorNumber = static_cast<std::int32_t>(item.failure);
  outcome.errorDescription.assign(errorDescription(outcome.errorNumber));
  outcome.title = kApplicationTitle;
  outcome.result = 0;
  openFailurePrompt(outcome.prompt, item.path, outcome.errorNumber, outcome.errorDescription);
}

// Text reports name their files where the arguments can give more than one, whatever they turn
// out to hold.
ReportStyle styleOf(const Options& options) {
  const bool severalFiles =
      options.paths.size() >= 2 || options.recursive || !options.filesFrom.empty();
  return {options.format, severalFiles, options.details};
}

// What the run's tally needs of one report.
struct Counted {
  Report report;
  double lengthSeconds;
  bool warned;  // the report's details have a warning
  bool folder;  // the path is a folder, refused as one
};

// Whether the probe of `item` refused it as a folder: the one open failure a newcomer meets
// when a folder is named without -r. Costs a look at the path only for such a refusal.
bool refusedFolder(const Item& item, const ProbeOutcome& outcome) {
  return item.failure == ErrorNumber::kNone && outcome.report == Report::kOpenFailure &&
         outcome.errorNumber == static_cast<std::int32_t>(ErrorNumber::kPathFileAccessError) &&
         isFolder(item.path);
}

struct Chunk {
  std::vector<Item> items = std::vector<Item>(kChunkItems);
  std::size_t count = 0;
  std::string output;
  // One entry per report, in order: the writer adds them to the run's tally one by one, so that
  // the total length is summed in input order whatever the chunks and the workers.
  std::vector<Counted> counted;
  bool done = false;
};

// One worker's probe state, kept from chunk to chunk so that its storage is reused.
class Prober {
 public:
  /// `onSlowDevice`, where given, is called once a chunk's probes are seen to wait on the device.
  explicit Prober(const ReportStyle& style, std::function<void()> onSlowDevice = {})
      : style_(style), ctx_(boxes_), onSlowDevice_(std::move(onSlowDevice)) {}

  void probe(Chunk& chunk) {
    chunk.output.clear();
    chunk.counted.clear();
    SlowDeviceWatch watch(onSlowDevice_);
    for (std::size_t i = 0; i < chunk.count; ++i) {
      const Item& item = chunk.items[i];
      const WaveDetails* details = nullptr;
      if (item.failure != ErrorNumber::kNone) {
        reportOpenFailure(item, outcome_);
      } else {
        outcome_ = probeWaveFile(ctx_, item.path, std::move(outcome_),
                                 style_.details ? WithDetails::kYes : WithDetails::kNo);
        if (outcome_.details) details = &*outcome_.details;
      }
      appendReport(chunk.output, style_, item.path, outcome_, scratch_, details);
      chunk.counted.push_back({outcome_.report, outcome_.values.lengthSeconds,
                               details && details->warnings.any(), refusedFolder(item, outcome_)});
      watch.check();
    }
  }

 private:
  // Tells, once per chunk, whether its probes wait on the device; costs a clock reading per
  // probe until the system's watch can tell.
  class SlowDeviceWatch {
   public:
    explicit SlowDeviceWatch(const std::function<void()>& onSlowDevice)
        : onSlowDevice_(onSlowDevice) {
      if (onSlowDevice_) watch_.emplace();
    }

    void check() {
      ++probes_;
      if (!watch_ || checked_) return;
      const std::optional<bool> waited = watch_->waitedOnDevice(probes_);
      if (!waited) return;
      checked_ = true;
      if (*waited) onSlowDevice_();
    }

   private:
    const std::function<void()>& onSlowDevice_;
    std::optional<DeviceWaitWatch> watch_;
    long probes_ = 0;
    bool checked_ = false;
  };

  ReportStyle style_;
  DismissingSink boxes_;
  RuntimeContext ctx_;
  ProbeOutcome outcome_;
  FormatScratch scratch_;
  std::function<void()> onSlowDevice_;
};

// Fills `chunk` from `inputs` with up to `maxItems` items, fewer once their paths reach
// kChunkPathBytes; false when there was nothing left.
bool fill(Chunk& chunk, Inputs& inputs, std::size_t maxItems) {
  chunk.count = 0;
  chunk.done = false;
  std::size_t pathBytes = 0;
  while (chunk.count < maxItems && pathBytes < kChunkPathBytes) {
    Item& item = chunk.items[chunk.count];
    if (item.path.capacity() > kKeptPathRoom) item.path = std::string();
    if (!inputs.next(item)) break;
    pathBytes += item.path.size();
    ++chunk.count;
  }
  return chunk.count > 0;
}

// Writes finished chunks in order and keeps the run's tally. A text run's very first byte is
// the empty line that separates reports, and is dropped.
class Writer {
 public:
  Writer(const Options& options, Output& output, Progress& progress)
      : options_(options), output_(output), progress_(progress) {
    if (options.format == Format::kTsv) appendTsvHeader(output_.buffer(), options.details);
  }

  void write(const Chunk& chunk) {
    for (std::size_t i = 0; i < chunk.counted.size(); ++i) {
      const Counted& counted = chunk.counted[i];
      tally_.add(counted.report, counted.lengthSeconds, counted.warned);
      if (counted.folder && tally_.firstFolder.empty()) tally_.firstFolder = chunk.items[i].path;
    }
    progress_.update(tally_.files);
    if (output_.failed()) return;
    std::string_view text = chunk.output;
    if (atStart_ && !text.empty() && options_.format == Format::kText) text.remove_prefix(1);
    if (!text.empty()) atStart_ = false;
    output_.buffer().append(text);
    if (progress_.sharesTerminalWithOutput()) {
      progress_.erase();  // reports never land inside the line
      output_.endReport();
      progress_.redraw();
    } else {
      output_.endReport();
    }
  }

  Tally finish() {
    progress_.finish();
    if (options_.summary && !output_.failed()) {
      std::string& out = output_.buffer();
      const std::size_t start = out.size();
      appendSummary(out, options_.format, tally_, options_.details);
      if (atStart_ && options_.format == Format::kText) out.erase(start, 1);
    }
    output_.flush();
    return tally_;
  }

 private:
  const Options& options_;
  Output& output_;
  Progress& progress_;
  Tally tally_;
  bool atStart_ = true;
};

Tally probeInline(Inputs& inputs, const Options& options, Output& output, Progress& progress,
                  std::size_t perChunk) {
  Writer writer(options, output, progress);
  Prober prober(styleOf(options));
  Chunk chunk;
  while (!output.failed() && fill(chunk, inputs, perChunk)) {
    prober.probe(chunk);
    writer.write(chunk);
  }
  return writer.finish();
}

// Workers take chunks from `pending`; the calling thread fills chunks, writes them oldest first
// as they finish, and probes pending chunks itself while it would otherwise wait.
class WorkerPool {
 public:
  // Starts up to `workers` workers. One that the system cannot start (its limit of threads or
  // of memory reached) is done without: the run goes on with those started, down to the calling
  // thread alone, since it probes whatever is pending.
  WorkerPool(unsigned workers, unsigned growTo, const ReportStyle& style)
      : style_(style), growTo_(growTo), growable_(growTo > workers) {
    grow(workers);
  }

  /// Whether the pool would grow if the probes waited on the device.
  bool mayGrow() const { return threads_.size() < growTo_; }

  /// Grows to its most workers: the probes wait on the device. Only for the calling thread.
  void growForSlowDevice() {
    if (!mayGrow()) return;
    grow(growTo_);
    grown_ = true;
  }

  /// Whether the pool has grown for a slow device. Only for the calling thread.
  bool grown() const { return grown_; }

  /// Starts workers until there are `workers`, or as many as the system lets start.
  void grow(unsigned workers) {
    try {
      threads_.reserve(workers);
      while (threads_.size() < workers) threads_.emplace_back([this] { work(style_); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
  }

  unsigned size() const { return static_cast<unsigned>(threads_.size()); }

  ~WorkerPool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    workAvailable_.notify_all();
    for (auto& thread : threads_) thread.join();
  }

  void submit(Chunk* chunk) {
    {
      std::lock_guard lock(mutex_);
      pending_.push_back(chunk);
    }
    workAvailable_.notify_one();
  }

  // Returns true once `chunk` is done. Until then the calling thread probes pending chunks with
  // `prober`, so that it works rather than sleeps, and sleeps only when none is left. Returns
  // false early when the pool grows, so that the caller hands the new workers chunks at once;
  // after that the calling thread probes no more: on a slow device a chunk of its own would keep
  // it from handing out the next ones.
  bool finish(const Chunk& chunk, Prober& prober) {
    const bool wasGrown = grown_;
    std::unique_lock lock(mutex_);
    while (!chunk.done) {
      if (slowDevice_ && mayGrow()) {
        lock.unlock();
        growForSlowDevice();
        lock.lock();
      }
      if (grown_ != wasGrown) return chunk.done;
      if (pending_.empty() || grown_) {
        chunkDone_.wait(lock);
        continue;
      }
      Chunk* spare = takePending();
      lock.unlock();
      prober.probe(*spare);
      lock.lock();
      spare->done = true;
    }
    return true;
  }

 private:
  Chunk* takePending() {
    Chunk* chunk = pending_.front();
    pending_.pop_front();
    return chunk;
  }

  void work(const ReportStyle& style) {
    prepareWorkerThread();
    Prober prober(style, [this] {
      if (!growable_) return;
      {
        std::lock_guard lock(mutex_);
        slowDevice_ = true;
      }
      chunkDone_.notify_one();  // wakes the calling thread, which grows the pool
    });
    for (;;) {
      Chunk* chunk;
      {
        std::unique_lock lock(mutex_);
        workAvailable_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (pending_.empty()) return;
        chunk = takePending();
      }
      prober.probe(*chunk);
      {
        std::lock_guard lock(mutex_);
        chunk->done = true;
      }
      chunkDone_.notify_one();  // only the calling thread waits for chunks
    }
  }

  ReportStyle style_;
  unsigned growTo_;
  const bool growable_;
  bool grown_ = false;       // only the calling thread reads or writes it
  bool slowDevice_ = false;  // a worker saw the probes wait on the device; under mutex_
  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable chunkDone_;
  std::deque<Chunk*> pending_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Up to `probers` threads probe in all: the calling thread and up to probers - 1 workers. When
// `growTo` is more and the probes turn out to wait on the device, the run grows to that many.
Tally probeInParallel(Inputs& inputs, const Options& options, Output& output, Progress& progress,
                      unsigned probers, unsigned growTo) {
  Writer writer(options, output, progress);
  std::vector<std::unique_ptr<Chunk>> chunks;  // every chunk made; outlives the pool's workers
  WorkerPool pool(probers - 1, growTo - 1, styleOf(options));
  Prober own(styleOf(options), [&pool] { pool.growForSlowDevice(); });
  // A few chunks in flight per prober, whatever the pool has grown to. Free chunks are taken
  // last-in first-out, so that a run reuses the same few chunks' room.
  const auto mostInFlight = [&] {
    return std::min<std::size_t>((pool.size() + 1) * kChunksPerWorker, kMostChunksInFlight);
  };
  std::vector<Chunk*> free;
  const auto takeFree = [&] {
    if (free.empty()) return chunks.emplace_back(std::make_unique<Chunk>()).get();
    Chunk* chunk = free.back();
    free.pop_back();
    return chunk;
  };
  std::deque<Chunk*> inFlight;  // oldest first
  std::size_t handedOut = 0;
  const auto writeOldest = [&] {
    Chunk* oldest = inFlight.front();
    if (!pool.finish(*oldest, own)) return;  // the pool grew: more chunks to hand out first
    writer.write(*oldest);
    inFlight.pop_front();
    free.push_back(oldest);
  };
  for (;;) {
    if (inFlight.size() >= mostInFlight()) {
      writeOldest();
      continue;
    }
    Chunk* chunk = takeFree();
    // Many workers on a slow device share the files out in small chunks, so that none is left
    // with a long chunk at the end.
    const bool small = pool.grown() || handedOut++ < kFirstSmallChunks;
    if (output.failed() || !fill(*chunk, inputs, small ? kSlowChunkItems : kChunkItems)) {
      free.push_back(chunk);
      break;
    }
    inFlight.push_back(chunk);
    pool.submit(chunk);
  }
  while (!inFlight.empty()) writeOldest();
  return writer.finish();
}

}  // namespace

Tally probeAll(Inputs& inputs, const Options& options, Output& output, Progress& progress) {
  // By default one prober per core, and more when the probes wait on the device; -j is taken
  // as it is.
  const unsigned probers = options.jobs != 0 ? options.jobs : processorCount();
  const unsigned growTo = options.jobs != 0 ? probers : std::max(probers, kWorkersForASlowDevice);
  // On a terminal each report shows as soon as it is made.
  if (growTo == 1 || output.isTerminal()) {
    return probeInline(inputs, options, output, progress, output.isTerminal() ? 1 : kChunkItems);
  }
  return probeInParallel(inputs, options, output, progress, probers, growTo);
}

}  // namespace pelorin::cli
