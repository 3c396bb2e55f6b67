// The worker pool through a scripted system: threads that may or may not start, a device that
// turns slow at a given probe, and every wait seen, so that a run that would hang ends the test
// at once instead of sleeping until a time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <list>
#include <map>
#include <sstream>

#include "cli/batch.h"
#include "cli/pool_system.h"
#include "cli_runner.h"
#include "support.h"
#include "wave_builder.h"

namespace pelorin {
namespace {

class ScriptedPool;

thread_local bool onWorker = false;

// A device whose answers the test scripts: `device` is asked after every probe, with whether it
// was made on a worker and the probes made in all so far, and tells whether it waited. Each probe
// takes the pool's `probeTime`.
class ScriptedWatch final : public cli::DeviceWatch {
 public:
  explicit ScriptedWatch(ScriptedPool& pool) : pool_(pool) {}
  void restart() override;
  bool slowAfterProbe() override;
  std::chrono::nanoseconds sinceRestart() const override;

 private:
  ScriptedPool& pool_;
  long probes_ = 0;  // since restart()
  bool firstChunk_ = false;
};

class ScriptedPool final : public cli::PoolSystem {
 public:
  unsigned processors = 2;
  unsigned threadsAllowed = UINT_MAX;  // threads the system starts in all
  std::function<bool(ScriptedPool&, bool onWorker, long probesInAll)> device =
      [](ScriptedPool&, bool, long) { return false; };
  std::chrono::nanoseconds probeTime{};
  std::chrono::nanoseconds firstChunkProbeTime{};  // the first chunk's probes, where not zero
  std::atomic<long> restarts = 0;  // of every watch: one per chunk probed

  unsigned started() {
    std::lock_guard lock(mutex_);
    return started_;
  }

  /// Holds the calling thread until every other thread waits (or the pool stops): then nothing
  /// else can happen until it goes on.
  void holdUntilOthersWait() {
    std::unique_lock lock(mutex_);
    ++holding_;
    changed_.wait(lock, [&] { return stopping_ || blocked_ == live_ - 1; });
    --holding_;
  }

  /// Waits, as the pool's own waits do, until `done` holds once another thread called changed().
  void waitUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    if (done()) return;
    Waiter& waiter = waiters_.emplace_back(Waiter{&done});
    block();
    changed_.wait(lock, done);
    if (!waiter.woken) --blocked_;
    waiters_.remove_if([&](const Waiter& w) { return &w == &waiter; });
  }
  /// Tells the threads in waitUntil() to look again; those whose wait is over count as running.
  void changed() {
    std::lock_guard lock(mutex_);
    for (Waiter& waiter : waiters_) {
      if (waiter.woken || !(*waiter.done)()) continue;
      waiter.woken = true;
      --blocked_;
    }
    changed_.notify_all();
  }

  long countProbe() {
    std::lock_guard lock(mutex_);
    return ++probes_;
  }

  unsigned processorCount() override { return processors; }

  std::thread startThread(std::function<void()> work) override {
    std::lock_guard lock(mutex_);
    if (started_ == threadsAllowed) return std::thread();
    ++started_;
    ++live_;
    return std::thread([this, work = std::move(work)] {
      onWorker = true;
      work();
      std::lock_guard lock(mutex_);
      --live_;
      changed_.notify_all();
    });
  }

  std::unique_ptr<cli::DeviceWatch> watchThisThread() override {
    return std::make_unique<ScriptedWatch>(*this);
  }

  void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock) override {
    {
      std::lock_guard own(mutex_);
      ++waiting_[&cv];
      block();
    }
    for (;;) {
      cv.wait(lock);
      std::lock_guard own(mutex_);
      if (wakeups_[&cv] > 0) {
        --wakeups_[&cv];
        return;
      }
    }
  }
  void notifyOne(std::condition_variable& cv) override { wake(cv, 1); }
  void notifyAll(std::condition_variable& cv) override {
    wake(cv, UINT_MAX);
    std::lock_guard own(mutex_);
    stopping_ = true;  // only a stopping pool wakes every worker
    changed_.notify_all();
  }

 private:
  // One more thread waits; when every thread does, nothing can wake them: the run hangs.
  void block() {
    ++blocked_;
    if (blocked_ == live_ && holding_ == 0) {
      std::fputs("every thread waits: the run hangs\n", stderr);
      std::abort();
    }
    changed_.notify_all();
  }

  void wake(std::condition_variable& cv, unsigned most) {
    {
      std::lock_guard own(mutex_);
      const unsigned woken = std::min(most, waiting_[&cv]);
      waiting_[&cv] -= woken;
      wakeups_[&cv] += woken;
      blocked_ -= woken;
    }
    cv.notify_all();
  }

  struct Waiter {
    const std::function<bool()>* done;
    bool woken = false;
  };

  std::mutex mutex_;
  std::condition_variable changed_;
  std::list<Waiter> waiters_;
  std::map<std::condition_variable*, unsigned> waiting_, wakeups_;
  unsigned live_ = 1;  // the calling thread
  unsigned blocked_ = 0;
  unsigned holding_ = 0;
  unsigned started_ = 0;
  long probes_ = 0;
  bool stopping_ = false;
};

void ScriptedWatch::restart() {
  probes_ = 0;
  firstChunk_ = ++pool_.restarts == 1;
}

bool ScriptedWatch::slowAfterProbe() {
  ++probes_;
  return pool_.device(pool_, onWorker, pool_.countProbe());
}

std::chrono::nanoseconds ScriptedWatch::sinceRestart() const {
  const bool outlier = firstChunk_ && pool_.firstChunkProbeTime.count() > 0;
  return probes_ * (outlier ? pool_.firstChunkProbeTime : pool_.probeTime);
}

// A run's output through `system`, and the same run's on the calling thread alone.
struct Runs {
  std::string pooled;
  std::string alone;
};

class Pool : public ::testing::Test {
 protected:
  Pool() {
    for (int i = 0; i < 300; ++i) {
      const std::string number = std::to_string(i);  // named: GCC 12's false -Wrestrict
      paths.push_back(i % 11 == 5 ? dir / ("gone-" + number)
                                  : dir.write("f" + number, canonicalWave(i % 7 * 10)));
    }
  }

  Runs run(cli::PoolSystem& system, std::vector<std::string> args) const {
    args.insert(args.end(), paths.begin(), paths.end());
    testing::MemoryStream err;
    const cli::CommandLineTexts texts(args);
    const std::optional<cli::Options> options = cli::parseArgs(texts.line(), err);
    cli::Inputs inputs(*options);
    EXPECT_TRUE(inputs.open());
    testing::MemoryStream out;
    cli::Output output(out);
    cli::Progress progress(cli::ProgressMode::kNever, nullptr, out);
    cli::probeAll(inputs, *options, output, progress, system);
    args.push_back("-j1");
    return {out.text, testing::runCli(args).out};
  }

  testing::TempDir dir;
  std::vector<std::string> paths;
};

// Slow from the `first`th probe on, wherever it is made.
auto slowFrom(long first) {
  return [first](ScriptedPool&, bool, long probes) { return probes >= first; };
}

TEST_F(Pool, GrowsWithTheThreadsThatStartAndKeepsOrderAndSummary) {
  using std::chrono::milliseconds;
  struct Case {
    const char* name;
    std::vector<std::string> args;
    unsigned threadsAllowed;
    long slowFrom;
    unsigned started;
    milliseconds probeTime{5};
    milliseconds firstChunkProbeTime{};
  };
  const Case cases[] = {
      {"grows to 64 probers", {}, UINT_MAX, 20, 63},
      {"grows to 16 where probes take under 2 ms", {}, UINT_MAX, 20, 15, milliseconds(1)},
      {"one chunk's long probes among short ones", {}, UINT_MAX, 20, 15, milliseconds(1),
       milliseconds(3)},
      {"a first group of long probes, then short ones", {}, UINT_MAX, 20, 15, milliseconds(1),
       milliseconds(10)},
      {"no thread starts, the device slow at once", {}, 0, 1, 0},
      {"no thread of the growth starts", {}, 1, 20, 1},
      {"some of the growth starts", {}, 5, 20, 5},
      {"some of the second growth starts", {}, 20, 20, 20},
      {"a device never slow", {}, UINT_MAX, LONG_MAX, 1},
      {"-j is taken as it is", {"-j3"}, UINT_MAX, 1, 2},
  };
  for (const Case& c : cases) {
    ScriptedPool system;
    system.threadsAllowed = c.threadsAllowed;
    system.device = slowFrom(c.slowFrom);
    system.probeTime = c.probeTime;
    system.firstChunkProbeTime = c.firstChunkProbeTime;
    std::vector<std::string> args = {"--tsv", "--summary"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Runs runs = run(system, args);
    EXPECT_EQ(runs.pooled, runs.alone) << c.name;
    EXPECT_EQ(system.started(), c.started) << c.name;
  }
}

// On a slow device a chunk holds the files that take about 10 ms, one while that is not known:
// many hand-overs where each costs little next to a probe, few where it would not.
TEST_F(Pool, SlowChunksHoldWhatTakesAboutTenMilliseconds) {
  using std::chrono::milliseconds;
  const struct {
    milliseconds probeTime;
    long fewestChunks;
    long mostChunks;
  } cases[] = {{milliseconds(0), 250, 300}, {milliseconds(20), 250, 300}, {milliseconds(1), 1, 60}};
  for (const auto& c : cases) {
    ScriptedPool system;
    system.device = slowFrom(1);
    system.probeTime = c.probeTime;
    const Runs runs = run(system, {"--json"});
    EXPECT_EQ(runs.pooled, runs.alone) << c.probeTime.count();
    EXPECT_GE(system.restarts, c.fewestChunks) << c.probeTime.count();
    EXPECT_LE(system.restarts, c.mostChunks) << c.probeTime.count();
  }
}

// The first worker sees the device slow after its first probe, once nothing else can happen:
// the calling thread waits for the chunk that worker holds. The pool grows while that chunk is
// still in progress, and the chunk is written only once it is done.
TEST_F(Pool, AChunkInProgressAtGrowthIsWrittenWhenDone) {
  ScriptedPool system;
  std::mutex mutex;
  std::thread::id first;  // the first worker's
  long workerProbes = 0;  // the first worker's
  unsigned startedWhileInProgress = 0;
  const auto firstKnown = [&] {
    std::lock_guard lock(mutex);
    return first != std::thread::id();
  };
  // The calling thread waits, after its first probe, until the first worker has probed too:
  // otherwise it might probe every file alone before the worker runs.
  const auto isFirstWorker = [&](bool worker) {
    if (!worker) {
      system.waitUntil(firstKnown);
      return false;
    }
    std::unique_lock lock(mutex);
    if (first == std::thread::id()) first = std::this_thread::get_id();
    const bool isFirst = first == std::this_thread::get_id();
    lock.unlock();
    system.changed();
    return isFirst;
  };
  system.device = [&](ScriptedPool& pool, bool worker, long) {
    if (!isFirstWorker(worker) || ++workerProbes > 2) return false;
    pool.holdUntilOthersWait();
    if (workerProbes == 2) startedWhileInProgress = pool.started();
    return workerProbes == 1;
  };
  const Runs runs = run(system, {"--json", "--summary"});
  EXPECT_EQ(runs.pooled, runs.alone);
  EXPECT_EQ(startedWhileInProgress, 15u);  // as far as a local disk needs: no probe timed yet
}

}  // namespace
}  // namespace pelorin
