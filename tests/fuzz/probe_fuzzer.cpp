// Runs the real probe on arbitrary file contents and checks what must hold for any input:
// exactly one report; an information report whose "Length =" line is the number text of the
// returned value; every other report returning 0; no file number left open. Then reads the
// details of the same bytes: the data they count lies in the file, the walk stays within its
// limit, and what the metadata decoders keep within theirs; and hashes the data they count. The
// bytes come from memory, so that no file or descriptor is needed per input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "probe/details.h"
#include "probe/field_text.h"
#include "probe/sondur.h"
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
  return 0;
}
