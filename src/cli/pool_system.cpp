#include "cli/pool_system.h"

#include <new>
#include <optional>
#include <system_error>

#include "cli/system.h"

namespace pelorin::cli {

namespace {

// Probes that a watch judges together at most: a window of warm probes with a wait or two
// among them (another program's doing) starts afresh rather than adding up over a long run.
constexpr long kWindowProbes = 64;

// Looks at the thread's use once a window of probes has taken long enough to tell, and again
// each time as long has passed (see DeviceWaitWatch), until the window is full: a device that
// makes each probe wait once or twice is known within a few probes, wherever in a chunk.
class SystemDeviceWatch final : public DeviceWatch {
 public:
  void restart() override {
    restartedAt_ = std::chrono::steady_clock::now();
    watchAfresh();
  }

  bool slowAfterProbe() override {
    ++probes_;
    if (told_ || !watch_) return false;
    const std::optional<bool> waited = watch_->waitedOnDevice(probes_);
    if (!waited) return false;
    if (*waited) return told_ = true;
    if (probes_ >= kWindowProbes) watchAfresh();
    return false;
  }

  std::chrono::nanoseconds sinceRestart() const override {
    return std::chrono::steady_clock::now() - restartedAt_;
  }

 private:
  void watchAfresh() {
    watch_.emplace();
    probes_ = 0;
    told_ = false;
  }

  std::chrono::steady_clock::time_point restartedAt_;
  std::optional<DeviceWaitWatch> watch_;
  long probes_ = 0;
  bool told_ = false;
};

class SystemPool final : public PoolSystem {
 public:
  unsigned processorCount() override { return cli::processorCount(); }

  std::thread startThread(std::function<void()> work) override {
    try {
      return std::thread([work = std::move(work)] {
        prepareWorkerThread();
        work();
      });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return std::thread();
  }

  std::unique_ptr<DeviceWatch> watchThisThread() override {
    return std::make_unique<SystemDeviceWatch>();
  }

  void wait(std::condition_variable& cv, std::unique_lock<std::mutex>& lock) override {
    cv.wait(lock);
  }
  void notifyOne(std::condition_variable& cv) override { cv.notify_one(); }
  void notifyAll(std::condition_variable& cv) override { cv.notify_all(); }
};

}  // namespace

PoolSystem& systemPool() {
  static SystemPool pool;
  return pool;
}

}  // namespace pelorin::cli
