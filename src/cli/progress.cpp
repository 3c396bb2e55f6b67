#include "cli/progress.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin::cli {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);
// Back to the start of the line and clear it, so that a shorter line leaves nothing behind.
constexpr std::string_view kEraseLine = "\r\x1b[K";

bool sameTerminal(int a, int b) {
  struct stat sa, sb;
  return ::isatty(a) == 1 && ::isatty(b) == 1 && ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 &&
         sa.st_rdev == sb.st_rdev;
}

}  // namespace

Progress::Progress(ProgressMode mode, int errFd, int outFd) {
  start_ = Clock::now();
  const bool wanted = mode == ProgressMode::kAlways ||
                      (mode == ProgressMode::kAuto && errFd >= 0 && ::isatty(errFd) == 1);
  if (!wanted || errFd < 0) return;
  fd_ = errFd;
  sharesTerminal_ = sameTerminal(errFd, outFd);
  firstDraw_ = mode == ProgressMode::kAlways ? start_ : start_ + kQuietStart;
  nextDraw_ = firstDraw_;
}

void Progress::update(std::uint64_t filesDone, Clock::time_point now) {
  if (fd_ < 0 || now < nextDraw_) return;
  nextDraw_ = now + kRedrawEvery;
  draw(filesDone, now);
}

void Progress::draw(std::uint64_t filesDone, Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const auto whole = static_cast<std::uint64_t>(seconds);
  const auto perSecond = static_cast<std::uint64_t>(seconds > 0 ? filesDone / seconds : 0);
  line_ = std::to_string(filesDone) + " files, " + std::to_string(perSecond) + " files/s, " +
          std::to_string(whole / 60) + (whole % 60 < 10 ? ":0" : ":") + std::to_string(whole % 60);
  std::string text(kEraseLine);
  text += line_;
  send(text);
  shown_ = true;
}

void Progress::erase() {
  if (!shown_) return;
  send(std::string(kEraseLine));
  shown_ = false;
}

void Progress::redraw() {
  if (fd_ < 0 || line_.empty() || shown_) return;
  std::string text(kEraseLine);
  text += line_;
  send(text);
  shown_ = true;
}

void Progress::send(const std::string& text) {
  pollfd err{fd_, POLLOUT, 0};
  if (::poll(&err, 1, 0) != 1 || !(err.revents & POLLOUT)) return;  // busy: drop this one
  // A line that did not go out whole is mended by the next, which starts by erasing the line.
  if (::write(fd_, text.data(), text.size()) < 0) return;
}

}  // namespace pelorin::cli
