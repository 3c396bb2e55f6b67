// Runs the real probe on arbitrary file contents and checks what must hold for any input:
// exactly one report; an information report whose "Length =" line is the number text of the
// returned value; every other report returning 0; no file number or descriptor left open.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "probe/sondur.h"
#include "runtime/number_text.h"

namespace {

class CountingSink : public pelorin::MessageBoxSink {
 public:
  int show(std::string_view prompt, std::int32_t, std::optional<std::string_view>) override {
    ++count;
    lastPrompt.assign(prompt);
    return pelorin::kOkAnswer;
  }
  int count = 0;
  std::string lastPrompt;
};

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "pelorin fuzz: broken: %s\n", what);
  std::abort();
}

int lowestFreeDescriptor() {
  const int fd = ::dup(0);
  ::close(fd);
  return fd;
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int fd = ::memfd_create("pelorin-fuzz", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  require(fd >= 0, "memfd_create");
  require(::ftruncate(fd, 0) == 0, "ftruncate");
  require(::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size), "pwrite");

  const int freeBefore = lowestFreeDescriptor();
  CountingSink sink;
  pelorin::RuntimeContext ctx(sink);
  pelorin::ProbeOutcome outcome;
  const double result = pelorin::GetSondur(ctx, path, &outcome);

  require(sink.count == 1, "exactly one report per probe");
  if (outcome.report == pelorin::Report::kInformation) {
    require(endsWith(sink.lastPrompt, "\r\nLength =" + pelorin::Str(result) + " seconds."),
            "the length line shows the returned value");
  } else {
    require(result == 0, "a failed probe returns 0");
  }
  require(ctx.files.lowestFreeNumber() == 1, "every file number released");
  require(lowestFreeDescriptor() == freeBefore, "every descriptor released");
  return 0;
}
