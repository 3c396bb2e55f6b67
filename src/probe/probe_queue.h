#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace pelorin {

/// The files a window probes one after another, whether they come from its dialog, its command
/// line or a drop. A probe's message box is modal and runs the window's events, so files can
/// arrive while one is open: they wait until the earlier ones are done, and never open a box on
/// top of another.
class ProbeQueue {
 public:
  /// Adds `paths` and, unless a probe of this queue is already under way further up the stack,
  /// probes every path waiting, in order, with `probe`.
  void probeInTurn(const std::vector<std::string>& paths,
                   const std::function<void(const std::string&)>& probe) {
    pending_.insert(pending_.end(), paths.begin(), paths.end());
    if (probing_) return;  // the loop further up the stack takes these in turn
    probing_ = true;
    while (!pending_.empty()) {
      const std::string path = std::move(pending_.front());
      pending_.pop_front();
      probe(path);
    }
    probing_ = false;
  }

 private:
  std::deque<std::string> pending_;
  bool probing_ = false;
};

}  // namespace pelorin
