#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "cli/pool_system.h"
#include "cli/worker_pool.h"
#include "probe/wave_stream.h"

namespace pelorin::cli {

namespace {

// Items per chunk: enough that handing chunks around costs little next to probing them.
constexpr std::size_t kChunkItems = 64;
// Items per chunk until a few chunks per prober are written, by when it is known which the
// device is: a slow one is noticed early, and every worker gets a share of the first files,
// however many chunks are handed out before the device has answered once (fewer items with
// many probers, who take many chunks at once).
constexpr std::size_t kFirstChunkItems = 4;
constexpr std::size_t kFirstChunkItemsOfManyProbers = 2;
constexpr unsigned kManyProbers = 16;
constexpr std::size_t kFirstSmallChunks = 8;
// Items per chunk once the probes wait on the device: as many as take about kSlowChunkTime,
// one while that time is not known. A chunk that short leaves no worker long with several files
// at the end, and on a device slow enough to need it (a network share, where each request takes
// milliseconds) it is one file; on a cold local disk it is several, since each hand-over of a
// chunk costs the writer and a worker a wake-up.
constexpr std::chrono::milliseconds kSlowChunkTime{10};
constexpr std::size_t kSlowChunkItems = 1;
// Bytes of paths per chunk, past which a chunk takes no more items: chunks of long paths hold
// fewer of them, so that the chunks in flight stay small whatever the paths.
constexpr std::size_t kChunkPathBytes = 4 * 1024;
// A path's room in a chunk is kept for the next item, unless a long path made it larger than
// this: otherwise every item of every chunk could come to keep the room of a long path.
constexpr std::size_t kKeptPathRoom = 1024;
// Chunks in flight per prober: one it probes and one that waits for it, so that no prober waits
// while the writer catches up. More only hold more reports in memory: each chunk's room is
// fresh pages at first, and the reports of many go out of the processor's cache before they
// are written (four a prober made a warm run about 4 % slower). On a slow device, where one
// probe can take many times as long as the next, a prober holds more, so that the writer
// waiting on one of them does not leave the others without work.
constexpr std::size_t kChunksPerWorker = 2;
constexpr std::size_t kChunksPerWorkerOnASlowDevice = 4;
// Chunks of kFirstChunkItems per prober at the start, so that each gets a share of the first
// files.
constexpr std::size_t kFirstSmallChunksPerProber = 4;
// Chunks in flight at most, whatever the workers: what bounds the memory of a run's paths and
// reports (a chunk holds at most kChunkPathBytes of paths).
constexpr std::size_t kMostChunksInFlight = 128;
// Bytes of reports a chunk holds before its prober stops for the writer to write them, so that
// the reports in flight stay within 4 MiB per prober however large the records (--details).
constexpr std::size_t kChunkOutputBytes = 1024 * 1024;
// The room of a chunk's reports kept once they are written: a chunk that held large records
// gives their room back.
constexpr std::size_t kKeptOutputRoom = 64 * 1024;
// The workers a run grows to when its probes wait on the device rather than the processor: a
// cold cache answers many requests at once about as fast as one, so the run keeps the device
// busy instead of the cores. A local disk is kept busy by kWorkersForALocalDisk; a device whose
// probes take kSlowestLocalProbe or longer each (a network share, a disk that seeks) needs more
// requests at once to be kept busy, and gets kWorkersForASlowDevice. More workers than a device
// needs only cost the processors their hand-overs.
constexpr unsigned kWorkersForASlowDevice = 64;
constexpr unsigned kWorkersForALocalDisk = 16;
constexpr std::chrono::milliseconds kSlowestLocalProbe{2};
// Probes are judged against kSlowestLocalProbe in groups of at least this many, and the device
// is slow when two groups in a row are: one probe that waited long (the first look into a
// folder, a moment when the processors were busy) is not a device, and neither is one group
// (the run's first probes, made while its threads start).
constexpr std::size_t kProbesJudgedTogether = 16;
// The command line's message-box sink: the box is dismissed at once, since the report is
// written from the probe's outcome in the format asked for.
class DismissingSink : public MessageBoxSink {
 public:
  int show(PromptView, std::int32_t, std::optional<std::string_view>) override { return kOkAnswer; }
};

// The open-failure report of an item known to fail before any probe: a folder that a walk
// could not read, a listed path too long for the system, a standard input that is closed.
void reportOpenFailure(const std::string& path, ErrorNumber failure, ProbeOutcome& outcome) {
  outcome.report = Report::kOpenFailure;
  outcome.values = SondurValues{};
  outcome.errorNumber = static_cast<std::int32_t>(failure);
  outcome.errorDescription.assign(errorDescription(outcome.errorNumber));
  outcome.title = kApplicationTitle;
  outcome.result = 0;
  outcome.details.reset();
  openFailurePrompt(outcome.prompt, path, outcome.errorNumber, outcome.errorDescription);
}

// Opens standard input for its probe: a pipe is read through here, keeping what the probe reads.
OpenResult openStandardInput(StandardInput& standardInput, WithDetails details) {
  OpenedStandardInput opened = standardInput.open();
  if (opened.stream) {
    return {readWaveStream(*opened.stream, details == WithDetails::kYesWithMd5),
            ErrorNumber::kNone};
  }
  return {std::move(opened.file), opened.error};
}

// Text reports name their files where the arguments can give more than one, whatever they turn
// out to hold.
ReportStyle styleOf(const Options& options, Progress& progress) {
  const bool severalFiles =
      options.paths.size() >= 2 || options.recursive || !options.filesFrom.empty();
  return {options.format, severalFiles, options.details, options.verifyMd5, &progress};
}

// Whether the probe of `item` refused it as a folder: the one open failure a newcomer meets
// when a folder is named without -r. Costs a look at the path only for such a refusal.
bool refusedFolder(const Item& item, const ProbeOutcome& outcome) {
  return item.failure == ErrorNumber::kNone && !item.standardInput &&
         outcome.report == Report::kOpenFailure &&
         outcome.errorNumber == static_cast<std::int32_t>(ErrorNumber::kPathFileAccessError) &&
         isFolder(item.path);
}

// What the probe reads beyond the header: the details, and with them the data's MD5.
WithDetails withDetails(const ReportStyle& style) {
  if (!style.details) return WithDetails::kNo;
  return style.verifyMd5 ? WithDetails::kYesWithMd5 : WithDetails::kYes;
}

// One worker's probe state, kept from chunk to chunk so that its storage is reused.
class Prober final : public ChunkProber {
 public:
  /// `watch` and `onSlowDevice`, where given: called when the probes wait on the device.
  explicit Prober(const ReportStyle& style, StandardInput& standardInput,
                  std::unique_ptr<DeviceWatch> watch = nullptr,
                  std::function<void()> onSlowDevice = {})
      : style_(style),
        standardInput_(standardInput),
        ctx_(boxes_),
        watch_(std::move(watch)),
        onSlowDevice_(std::move(onSlowDevice)) {}

  void probe(Chunk& chunk) override {
    if (watch_) watch_->restart();
    while (chunk.probed < chunk.count && chunk.output.size() < kChunkOutputBytes) {
      const Item& item = chunk.items[chunk.probed++];
      probeItem(item);
      const WaveDetails* details = outcome_.details ? &*outcome_.details : nullptr;
      appendReport(chunk.output, style_, item.path, outcome_, scratch_, details);
      chunk.counted.push_back({outcome_.report, outcome_.values.lengthSeconds,
                               details && details->warnings.any(), chunk.output.size(),
                               refusedFolder(item, outcome_) ? chunk.probed : 0});
      if (watch_ && watch_->slowAfterProbe()) onSlowDevice_();
    }
    chunk.paused = chunk.probed < chunk.count;
    if (watch_) chunk.probeTime += watch_->sinceRestart();
  }

 private:
  // Probes `item` into outcome_. Standard input is opened here and handed to the probe as the
  // file kept under its name, so that no file system is asked for a file "-".
  void probeItem(const Item& item) {
    ErrorNumber failure = item.failure;
    if (failure == ErrorNumber::kNone && item.standardInput) {
      OpenResult opened = openStandardInput(standardInput_, withDetails(style_));
      failure = opened.error;
      std::string name = item.path;
      if (opened.file) ctx_.keptFile.keep(name, std::move(*opened.file));
    }
    if (failure != ErrorNumber::kNone) return reportOpenFailure(item.path, failure, outcome_);
    outcome_ = probeWaveFile(ctx_, item.path, std::move(outcome_), withDetails(style_),
                             style_.hashProgress);
  }

  ReportStyle style_;
  StandardInput& standardInput_;
  DismissingSink boxes_;
  RuntimeContext ctx_;
  ProbeOutcome outcome_;
  FormatScratch scratch_;
  std::unique_ptr<DeviceWatch> watch_;
  std::function<void()> onSlowDevice_;
};

// Fills `chunk` from `inputs` with up to `maxItems` items, fewer once their paths reach
// kChunkPathBytes; false when there was nothing left.
bool fill(Chunk& chunk, Inputs& inputs, std::size_t maxItems) {
  if (chunk.items.size() < kChunkItems) chunk.items.resize(kChunkItems);
  chunk.count = 0;
  chunk.probed = 0;
  chunk.paused = false;
  chunk.probeTime = {};
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

// Writes the reports of chunks in order and keeps the run's tally. A text run's very first byte
// is the empty line that separates reports, and is dropped.
class Writer {
 public:
  Writer(const Options& options, Output& output, Progress& progress)
      : options_(options), output_(output), progress_(progress) {
    if (options.format == Format::kTsv) appendTsvHeader(output_.buffer(), options.details);
    output_.endRecord();
  }

  /// Writes the reports `chunk` holds, and empties it of them.
  void write(Chunk& chunk) {
    for (const Counted& counted : chunk.counted) {
      tally_.add(counted.report, counted.lengthSeconds, counted.warned);
      if (counted.folderItem != 0 && tally_.firstFolder.empty()) {
        tally_.firstFolder = chunk.items[counted.folderItem - 1].path;
      }
    }
    progress_.update(tally_.files);
    if (!output_.failed()) writeRecords(chunk);
    chunk.counted.clear();
    chunk.output.clear();
    if (chunk.output.capacity() > kKeptOutputRoom) chunk.output.shrink_to_fit();
  }

  Tally finish() {
    progress_.finish();
    if (options_.summary && !output_.failed()) {
      std::string summary;
      appendSummary(summary, options_.format, tally_, options_.details);
      if (atStart_ && options_.format == Format::kText) summary.erase(0, 1);
      output_.addRecord(summary);
    }
    output_.flush();
    return tally_;
  }

 private:
  void writeRecords(const Chunk& chunk) {
    const std::string_view text = chunk.output;
    std::size_t start = 0;
    if (atStart_ && !text.empty() && options_.format == Format::kText) start = 1;
    if (!text.empty()) atStart_ = false;
    for (const Counted& counted : chunk.counted) {
      output_.addRecord(text.substr(start, counted.end - start));
      start = counted.end;
    }
    if (progress_.sharesTerminalWithOutput()) {
      progress_.erase();  // reports never land inside the line
      output_.endReport();
      progress_.redraw();
    } else {
      output_.endReport();
    }
  }

  const Options& options_;
  Output& output_;
  Progress& progress_;
  Tally tally_;
  bool atStart_ = true;
};

// On a terminal each report shows as soon as it is made.
Tally probeInline(Inputs& inputs, const Options& options, Output& output, Progress& progress) {
  Writer writer(options, output, progress);
  Prober prober(styleOf(options, progress), inputs.standardInput());
  Chunk chunk;
  chunk.output.reserve(kKeptOutputRoom);  // made once, not grown by doubling
  const std::size_t perChunk = output.isTerminal() ? 1 : kChunkItems;
  while (!output.failed() && fill(chunk, inputs, perChunk)) {
    do {
      prober.probe(chunk);
      writer.write(chunk);
    } while (chunk.paused && !output.failed());
  }
  return writer.finish();
}

// The chunks of a run in parallel: those in flight, oldest first, and the free ones, reused
// last-in first-out so that a run reuses the same few chunks' room.
class Chunks {
 public:
  std::size_t inFlight() const { return inFlight_.size(); }
  Chunk& oldest() { return *inFlight_.front(); }

  Chunk& takeFree() {
    if (free_.empty()) {
      // The room a chunk's reports are kept in, made once: grown by doubling in the arena of
      // each worker that probed it, it cost a run of many workers hundreds of fresh pages, each
      // a page fault. Room never written costs nothing.
      Chunk& made = *made_.emplace_back(std::make_unique<Chunk>());
      made.output.reserve(kKeptOutputRoom);
      return made;
    }
    Chunk* chunk = free_.back();
    free_.pop_back();
    return *chunk;
  }
  void giveBack(Chunk& chunk) { free_.push_back(&chunk); }
  void send(Chunk& chunk) { inFlight_.push_back(&chunk); }
  void retireOldest() {
    free_.push_back(inFlight_.front());
    inFlight_.pop_front();
    ++written_;
  }
  /// The chunks written whole so far.
  std::size_t written() const { return written_; }

 private:
  std::size_t written_ = 0;
  std::vector<std::unique_ptr<Chunk>> made_;
  std::deque<Chunk*> inFlight_;
  std::vector<Chunk*> free_;
};

// Items for the next chunk: few while the device is unknown, so that every worker gets some of
// the first files; on a slow device those that take about kSlowChunkTime at `perProbe` each (zero
// while unknown), so that no worker is left long with several at the end; many otherwise.
std::size_t itemsForNextChunk(const WorkerPool& pool, std::size_t written,
                              std::chrono::nanoseconds perProbe) {
  if (pool.slowDevice()) {
    if (perProbe.count() <= 0) return kSlowChunkItems;
    const auto fit = static_cast<std::size_t>(kSlowChunkTime / perProbe);
    return std::clamp(fit, kSlowChunkItems, kChunkItems);
  }
  const std::size_t probers = pool.size() + 1;
  if (written >= std::max(kFirstSmallChunks, probers * kFirstSmallChunksPerProber)) {
    return kChunkItems;
  }
  return probers >= kManyProbers ? kFirstChunkItemsOfManyProbers : kFirstChunkItems;
}

// The time that probes took, added up chunk by chunk until there are enough of them to tell a
// slow device by; then judged, and counted afresh.
class ProbeTimes {
 public:
  /// Adds a chunk's probes; true when, with those before, they are enough and took at least
  /// `slowest` each on average, as those of the group before did.
  bool addAndJudge(const Chunk& chunk, std::chrono::nanoseconds slowest) {
    time_ += chunk.probeTime;
    probes_ += chunk.count;
    if (probes_ < kProbesJudgedTogether) return false;
    const bool slow = time_ / static_cast<std::int64_t>(probes_) >= slowest;
    const bool slowTwice = slow && lastSlow_;
    lastSlow_ = slow;
    time_ = {};
    probes_ = 0;
    return slowTwice;
  }

 private:
  std::chrono::nanoseconds time_{};
  std::size_t probes_ = 0;
  bool lastSlow_ = false;  // the group before was slow
};

// Up to `probers` threads probe in all: the calling thread and up to probers - 1 workers. When
// `growTo` is more and the probes turn out to wait on the device, the run grows to that many.
Tally probeInParallel(Inputs& inputs, const Options& options, Output& output, Progress& progress,
                      PoolSystem& system, unsigned probers, unsigned growTo) {
  Writer writer(options, output, progress);
  Chunks chunks;  // outlives the pool's workers
  const ReportStyle style = styleOf(options, progress);
  WorkerPool pool(system, probers - 1, growTo - 1, [&](std::function<void()> onSlowDevice) {
    return std::make_unique<Prober>(style, inputs.standardInput(), system.watchThisThread(),
                                    std::move(onSlowDevice));
  });
  Prober own(style, inputs.standardInput(), system.watchThisThread(), [&pool] {
    pool.reportSlowDevice();
    pool.growForSlowDevice();
  });
  // Until probes are known to take long, growth stops at what a local disk needs.
  pool.limitGrowth(kWorkersForALocalDisk - 1);
  // A few chunks in flight per prober, whatever the pool has grown to.
  const auto mostInFlight = [&] {
    const std::size_t each = pool.slowDevice() ? kChunksPerWorkerOnASlowDevice : kChunksPerWorker;
    return std::min<std::size_t>((pool.size() + 1) * each, kMostChunksInFlight);
  };
  std::chrono::nanoseconds perProbe{};  // as the last chunk written whole took, if known
  ProbeTimes probeTimes;
  const auto writeOldest = [&] {
    Chunk& oldest = chunks.oldest();
    if (!pool.finish(oldest, own)) return;  // the pool grew: more chunks to hand out first
    writer.write(oldest);
    if (oldest.paused) return pool.resume(&oldest);
    if (oldest.count > 0 && oldest.probeTime.count() > 0) {
      perProbe = oldest.probeTime / static_cast<std::int64_t>(oldest.count);
      if (probeTimes.addAndJudge(oldest, kSlowestLocalProbe)) pool.limitGrowth(growTo - 1);
    }
    chunks.retireOldest();
  };
  for (;;) {
    while (chunks.inFlight() >= mostInFlight()) writeOldest();
    Chunk& chunk = chunks.takeFree();
    if (output.failed() ||
        !fill(chunk, inputs, itemsForNextChunk(pool, chunks.written(), perProbe))) {
      chunks.giveBack(chunk);
      break;
    }
    chunks.send(chunk);
    pool.submit(&chunk);
  }
  while (chunks.inFlight() > 0 && !output.failed()) writeOldest();
  pool.dropPending();  // the output failed or was interrupted: probe no more
  return writer.finish();
}

}  // namespace

Tally probeAll(Inputs& inputs, const Options& options, Output& output, Progress& progress,
               PoolSystem& system) {
  // By default one prober per core, and more when the probes wait on the device; -j is taken
  // as it is.
  const unsigned probers = options.jobs != 0 ? options.jobs : system.processorCount();
  const unsigned growTo = options.jobs != 0 ? probers : std::max(probers, kWorkersForASlowDevice);
  if (growTo == 1) return probeInline(inputs, options, output, progress);
  return probeInParallel(inputs, options, output, progress, system, probers, growTo);
}

}  // namespace pelorin::cli
