#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/stream.h"

namespace pelorin::cli {

/// One line on stderr that tells how a long run is going: the files done (of how many, and what
/// share, when the number is known), the files per second and the time elapsed, redrawn a few times
/// a second and cleared at the end. By default it shows only when stderr is a terminal and the run
/// has lasted over a second; --progress shows it from the start wherever stderr goes, --no-progress
/// never. A line the terminal cannot take at once is dropped, never waited for: progress must not
/// slow the run.
class Progress {
 public:
  using Clock = std::chrono::steady_clock;

  /// Progress on `err` (null for none) of a run whose reports go to `out`, of `total` files
  /// where that number is known before the run.
  Progress(ProgressMode mode, OutputStream* err, const OutputStream& out,
           std::optional<std::uint64_t> total = std::nullopt);

  /// Call as reports are done, with the number of files done so far.
  void update(std::uint64_t filesDone) { update(filesDone, Clock::now()); }
  void update(std::uint64_t filesDone, Clock::time_point now);

  /// Whether reports and the line share a terminal: the line must then be erased before
  /// reports are written (erase()) and drawn again after them (redraw()).
  bool sharesTerminalWithOutput() const { return sharesTerminal_; }
  void erase();
  void redraw();

  /// Clears the line for good.
  void finish() { erase(); }

 private:
  void draw(std::uint64_t filesDone, Clock::time_point now);
  std::string filesText(std::uint64_t filesDone) const;
  void send(const std::string& text);

  OutputStream* err_ = nullptr;  // null: no progress
  bool sharesTerminal_ = false;
  std::optional<std::uint64_t> total_;
  Clock::time_point start_;
  Clock::time_point firstDraw_;  // when the line may first show
  Clock::time_point nextDraw_;   // when it is next redrawn
  std::string line_;             // the line as last drawn, without the erasing
  bool shown_ = false;
};

}  // namespace pelorin::cli
