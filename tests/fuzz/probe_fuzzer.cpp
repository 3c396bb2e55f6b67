// Runs the real probe on arbitrary file contents and checks what must hold for any input:
// exactly one report; an information report whose "Length =" line is the number text of the
// returned value; every other report returning 0; no file number left open. Then reads the
// details of the same bytes: the data they count lies in the file, the walk stays within its
// limit, and what the metadata decoders keep within theirs; and hashes the data they count. Last,
// probes the bytes as a pipe hands them, read once and kept where the walks read: every input is
// far within what a pipe keeps, so its record must be the file's, byte for byte. The bytes come
// from memory, so that no file or descriptor is needed per input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/format.h"
#include "probe/details.h"
#include "probe/field_text.h"
#include "probe/sondur.h"
#include "probe/wave_stream.h"
#include "runtime/memory_file_system.h"
#include "runtime/number_text.h"

namespace {

class CountingSink : public pelorin::MessageBoxSink {
 public:
  int show(pelorin::PromptView prompt, std::int32_t, std::optional<std::string_view>) override {
    ++count;
    lastPrompt.assign(prompt.text);
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

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The bytes in pieces of an odd size, as a pipe hands them.
class BytesPipe final : public pelorin::SequentialSource {
 public:
  explicit BytesPipe(std::string_view bytes) : bytes_(bytes) {}
  std::int64_t read(char* out, std::size_t size) override {
    const std::size_t n = std::min<std::size_t>({size, 4093, bytes_.size()});
    bytes_.copy(out, n);
    bytes_.remove_prefix(n);
    return static_cast<std::int64_t>(n);
  }

 private:
  std::string_view bytes_;
};

// The JSON record, with details and the data's MD5, of `bytes` probed as "-": a file, or a pipe.
std::string recordOf(std::string_view bytes, bool piped) {
  pelorin::MemoryFileSystem files;
  CountingSink sink;
  pelorin::RuntimeContext ctx(sink, files);
  std::string name = "-";
  if (piped) {
    BytesPipe pipe(bytes);
    ctx.keptFile.keep(name, pelorin::readWaveStream(pipe, true));
  } else {
    files.add(name, std::string(bytes));
  }
  const pelorin::ProbeOutcome outcome =
      pelorin::probeWaveFile(ctx, "-", {}, pelorin::WithDetails::kYesWithMd5);
  std::string record;
  pelorin::cli::FormatScratch scratch;
  pelorin::cli::appendJsonReport(record, "-", outcome, scratch,
                                 outcome.details ? &*outcome.details : nullptr);
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/memory/input.wav";
  pelorin::MemoryFileSystem files;
  files.add(path, std::string(reinterpret_cast<const char*>(data), size));

  CountingSink sink;
  pelorin::RuntimeContext ctx(sink, files);
  const pelorin::ProbeOutcome outcome = pelorin::probeWaveFile(ctx, path);

  require(sink.count == 1, "exactly one report per probe");
  require(outcome.prompt.text == sink.lastPrompt, "the outcome holds the prompt the box showed");
  if (outcome.report == pelorin::Report::kInformation) {
    std::string lengthLine = "\r\nLength =";
    pelorin::appendStr(lengthLine, outcome.result);
    require(endsWith(sink.lastPrompt, lengthLine + " seconds."),
            "the length line shows the returned value");
  } else {
    require(outcome.result == 0, "a failed probe returns 0");
  }
  require(ctx.files.lowestFreeNumber() == 1, "every file number released");

  pelorin::OpenResult opened = files.open(path);
  pelorin::WaveDetails details = pelorin::readWaveDetails(*opened.file);
  require(!details.data || details.data->present <= size, "the data counted lies in the file");
  require(details.chunks.size() <= pelorin::kMaxDetailChunks, "the walk stays within its limit");
  require(details.metadata.allowance <= pelorin::kMaxRecordWeight,
          "the texts and lists stay within the record's allowance");
  for (const pelorin::InfoTag& tag : details.info) {
    require(tag.text.size() <= pelorin::kMaxFieldTextBytes, "no text beyond its cap");
  }
  pelorin::verifyDataMd5(*opened.file, details);
  require(details.md5 && details.md5->verified, "the data's hash is taken");

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  require(recordOf(bytes, true) == recordOf(bytes, false), "a pipe gives the file's record");
  return 0;
}
