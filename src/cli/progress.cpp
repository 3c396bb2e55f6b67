#include "cli/progress.h"

namespace pelorin::cli {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);
// Back to the start of the line and clear it, so that a shorter line leaves nothing behind.
constexpr std::string_view kEraseLine = "\r\x1b[K";

}  // namespace

Progress::Progress(ProgressMode mode, OutputStream* err, const OutputStream& out,
                   std::optional<std::uint64_t> total)
    : total_(total) {
  start_ = Clock::now();
  const bool wanted =
      mode == ProgressMode::kAlways || (mode == ProgressMode::kAuto && err && err->isTerminal());
  if (!wanted || !err) return;
  err_ = err;
  sharesTerminal_ = err->isTerminal() && err->terminal() == out.terminal();
  firstDraw_ = mode == ProgressMode::kAlways ? start_ : start_ + kQuietStart;
  nextDraw_ = firstDraw_;
}

void Progress::update(std::uint64_t filesDone, Clock::time_point now) {
  if (!err_ || now < nextDraw_) return;
  nextDraw_ = now + kRedrawEvery;
  draw(filesDone, now);
}

void Progress::draw(std::uint64_t filesDone, Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const auto whole = static_cast<std::uint64_t>(seconds);
  const auto perSecond = static_cast<std::uint64_t>(seconds > 0 ? filesDone / seconds : 0);
  line_ = filesText(filesDone) + ", " + std::to_string(perSecond) + " files/s, " +
          std::to_string(whole / 60) + (whole % 60 < 10 ? ":0" : ":") + std::to_string(whole % 60);
  std::string text(kEraseLine);
  text += line_;
  send(text);
  shown_ = true;
}

// "12 files", or "12 of 40 files (30 %)" when the total is known.
std::string Progress::filesText(std::uint64_t filesDone) const {
  if (!total_ || *total_ == 0) return std::to_string(filesDone) + " files";
  const std::uint64_t percent = filesDone * 100 / *total_;
  return std::to_string(filesDone) + " of " + std::to_string(*total_) + " files (" +
         std::to_string(percent) + " %)";
}

void Progress::erase() {
  if (!shown_) return;
  send(std::string(kEraseLine));
  shown_ = false;
}

void Progress::redraw() {
  if (!err_ || line_.empty() || shown_) return;
  std::string text(kEraseLine);
  text += line_;
  send(text);
  shown_ = true;
}

void Progress::send(const std::string& text) {
  err_->writeIfReady(text);
}

}  // namespace pelorin::cli
