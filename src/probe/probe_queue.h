#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <vector>

#include "probe/sondur.h"
#include "runtime/context.h"

namespace pelorin {

/// The filter text the windows' open dialog is given.
inline constexpr const char* kWaveFilter = "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*";

/// The open dialog's flags the windows ask for: 4 hides its read-only check box.
inline constexpr std::int32_t kHideReadOnly = 4;

/// What both windows do with files: the button's handler, which asks the open dialog for one,
/// and the probing of files one after another, whether they come from the dialog, the command
/// line or a drop. A probe's message box is modal and runs the window's events, so files can
/// arrive while one is open: they wait until the earlier ones are done, and never open a box on
/// top of another.
class ProbeQueue {
 public:
  /// A queue whose probes run in `ctx` and show their boxes through its sink. `chosenFile` (the
  /// open dialog's FileName) is set to each path before it is probed, as if it had been picked
  /// in the dialog, so that the next dialog opens in its folder. Both must outlive the queue.
  ProbeQueue(RuntimeContext& ctx, std::string& chosenFile) : ctx_(ctx), chosenFile_(chosenFile) {}
  ProbeQueue(const ProbeQueue&) = delete;
  ProbeQueue& operator=(const ProbeQueue&) = delete;

  /// The button's handler: asks `dialog` (a component with Flags, CancelError, Filter,
  /// FileName and ShowOpen(ctx)) for a file and probes the choice in turn; a cancelled dialog
  /// probes nothing.
  template <typename Dialog>
  void pickAndProbe(Dialog& dialog) {
    OnErrorResumeNext resumeNext(ctx_);
    dialog.Flags = kHideReadOnly;
    dialog.CancelError = true;
    dialog.Filter = kWaveFilter;
    if (!dialog.ShowOpen(ctx_)) return;  // cancelled: nothing to probe
    probeInTurn({dialog.FileName});
  }

  /// Adds `paths` and, unless a probe of this queue is already under way further up the stack,
  /// probes every path waiting, in order.
  void probeInTurn(const std::vector<std::string>& paths) {
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
  // A probe that throws (memory running out, a box that could not be shown) ends that file's
  // turn only: its open file numbers are closed and the files after it still get theirs.
  void probe(const std::string& path) {
    OnErrorResumeNext resumeNext(ctx_);
    chosenFile_ = path;
    try {
      static_cast<void>(GetSondur(ctx_, path));
    } catch (const std::exception&) {
      ctx_.files.closeAll();
    }
  }

  RuntimeContext& ctx_;
  std::string& chosenFile_;
  std::deque<std::string> pending_;
  bool probing_ = false;
};

}  // namespace pelorin
