#include "cli/worker_pool.h"

namespace pelorin::cli {

WorkerPool::WorkerPool(PoolSystem& system, unsigned workers, unsigned growTo,
                       ProberMaker makeProber)
    : system_(system), makeProber_(std::move(makeProber)), growTo_(growTo) {
  grow(workers);
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    system_.notifyAll(workAvailable_);
  }
  for (auto& thread : threads_) thread.join();
}

unsigned WorkerPool::grow(unsigned workers) {
  unsigned started = 0;
  while (threads_.size() < workers) {
    std::thread thread = system_.startThread([this] { work(); });
    if (!thread.joinable()) break;
    threads_.push_back(std::move(thread));
    ++started;
  }
  return started;
}

void WorkerPool::reportSlowDevice() {
  // Told once is enough: on a slow device every prober reports every chunk, and each report
  // would wake the calling thread for nothing.
  if (slowDevice()) return;
  std::lock_guard lock(mutex_);
  slowDevice_ = true;
  system_.notifyOne(chunkReady_);  // only the calling thread waits for chunks
}

void WorkerPool::growForSlowDevice() {
  if (!slowDevice() || !mayGrow()) return;
  const unsigned target = growthTarget();
  const unsigned started = grow(target);
  if (size() < target) growTo_ = size();  // the system refused a thread: it is asked for no more
  // Only workers that started take chunks: with none, the calling thread goes on probing.
  if (started > 0) grown_ = true;
}

void WorkerPool::submit(Chunk* chunk) {
  std::lock_guard lock(mutex_);
  chunk->ready = false;
  pending_.push_back(chunk);
  system_.notifyOne(workAvailable_);
}

void WorkerPool::resume(Chunk* chunk) {
  std::lock_guard lock(mutex_);
  chunk->ready = false;
  pending_.push_front(chunk);
  system_.notifyOne(workAvailable_);
}

void WorkerPool::dropPending() {
  std::lock_guard lock(mutex_);
  pending_.clear();
}

bool WorkerPool::finish(Chunk& chunk, ChunkProber& own) {
  const unsigned workersBefore = size();
  std::unique_lock lock(mutex_);
  while (!chunk.ready) {
    if (slowDevice() && mayGrow()) {
      lock.unlock();
      growForSlowDevice();
      lock.lock();
    }
    if (size() != workersBefore) return chunk.ready;
    if (pending_.empty() || grown_) {
      awaited_ = &chunk;
      system_.wait(chunkReady_, lock);
      awaited_ = nullptr;
      continue;
    }
    Chunk* spare = takePending();
    lock.unlock();
    own.probe(*spare);
    lock.lock();
    spare->ready = true;
  }
  return true;
}

Chunk* WorkerPool::takePending() {
  Chunk* chunk = pending_.front();
  pending_.pop_front();
  return chunk;
}

void WorkerPool::work() {
  const std::unique_ptr<ChunkProber> prober = makeProber_([this] { reportSlowDevice(); });
  for (;;) {
    Chunk* chunk;
    {
      std::unique_lock lock(mutex_);
      while (!stopping_ && pending_.empty()) system_.wait(workAvailable_, lock);
      if (pending_.empty()) return;
      chunk = takePending();
    }
    prober->probe(*chunk);
    std::lock_guard lock(mutex_);
    chunk->ready = true;
    if (chunk == awaited_) system_.notifyOne(chunkReady_);  // only the calling thread waits
  }
}

}  // namespace pelorin::cli
