#include <windows.h>

#include <algorithm>
#include <bit>
#include <thread>

#include "cli/system.h"

namespace pelorin::cli {

namespace {

// Windows counts a thread's processor time in clock ticks of about 16 ms, so a chunk's probes
// are judged once they have taken long enough for that count to mean something: when the
// thread ran for at most a quarter of that time, it spent the rest waiting. There is no count of
// the thread's waits to tell waiting on the device from waiting for a busy processor; a machine
// busy with other programs may pass for a slow device, which costs threads, not results.
constexpr auto kShortestWatch = std::chrono::milliseconds(100);
constexpr std::int64_t kRunningShare = 4;

// The calling thread's processor time so far, user and kernel, in units of 100 ns.
std::int64_t processorTime() {
  FILETIME created, exited, kernel, user;
  if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto units = [](const FILETIME& time) {
    return static_cast<std::int64_t>(std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
  };
  return units(kernel) + units(user);
}

}  // namespace

// 32,767 UTF-16 units, each at most three bytes in UTF-8 (WTF-8 for an unpaired surrogate).
const std::size_t kLongestPath = 3 * 32767;
const bool kListLinesMayEndInCrLf = true;  // no name can hold a CR

unsigned processorCount() {
  DWORD_PTR process = 0, system = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
    return static_cast<unsigned>(std::popcount(process));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

// Windows keeps one handle table per process, and has nothing to set up for a worker.
void prepareWorkerThread() {}

DeviceWaitWatch::DeviceWaitWatch()
    : startedAt_(std::chrono::steady_clock::now()),
      nextLook_(startedAt_ + kShortestWatch),
      countedAtStart_(processorTime()) {}

std::optional<bool> DeviceWaitWatch::waitedOnDevice(long) {
  const auto now = std::chrono::steady_clock::now();
  if (now < nextLook_) return std::nullopt;
  nextLook_ = now + kShortestWatch;
  const auto elapsed = now - startedAt_;
  const std::int64_t ran = processorTime() - countedAtStart_;
  const auto elapsedUnits = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed) / 100;
  return ran * kRunningShare <= elapsedUnits.count();
}

}  // namespace pelorin::cli
