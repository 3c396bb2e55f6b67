#include "probe/reports.h"

#include <cstring>
#include <type_traits>

#include "runtime/message_box.h"
#include "runtime/number_text.h"

namespace pelorin {

namespace {

// Room for the labels, line breaks, identifiers and numbers of the longest prompt, the
// information prompt (under 300 bytes), with some to spare; a file's name adds its own.
constexpr std::size_t kPromptRoom = 320;

// Writes a prompt over `prompt` through a pointer, into room made once ahead, so that no piece
// is appended one call at a time. Each piece still makes sure of its room first, so a guess
// that falls short costs time, never bytes. finish() cuts the text to what was written. The
// last prompt's text is written over, not cleared, so that only room it did not have is filled
// with zeros first.
class PromptWriter {
 public:
  PromptWriter(Prompt& prompt, std::size_t room) : prompt_(prompt) {
    prompt_.lineBreaks.clear();
    if (prompt_.text.size() < room) prompt_.text.resize(room);
    to_ = prompt_.text.data();
  }

  template <std::size_t N>
  void label(const char (&text)[N]) {
    std::memcpy(room(N - 1), text, N - 1);
    to_ += N - 1;
  }
  void text(std::string_view text) {
    std::memcpy(room(text.size()), text.data(), text.size());
    to_ += text.size();
  }
  // Ends the current line with CR LF. Inlined: a call cost more than its few stores.
  [[gnu::always_inline]] void newLine() {
    prompt_.lineBreaks.push_back(offset());
    label("\r\n");
  }
  template <typename Number>
  void number(Number value) {
    if constexpr (std::is_floating_point_v<Number>) {
      to_ = writeStr(room(kNumberTextRoom), value);
    } else {
      to_ = writeStr(room(kNumberTextRoom), static_cast<std::int64_t>(value));
    }
  }
  void identifier(std::string_view bytes) { to_ = writeBytesText(room(2 * bytes.size()), bytes); }
  void path(std::string_view path) { to_ = writePathText(room(3 * path.size()), path); }
  void finish() { prompt_.text.resize(offset()); }

 private:
  std::size_t offset() const { return static_cast<std::size_t>(to_ - prompt_.text.data()); }
  char* room(std::size_t bytes) {
    if (offset() + bytes > prompt_.text.size()) [[unlikely]]
      grow(bytes);
    return to_;
  }
  // Out of line, so that room() is small enough to be inlined into every piece.
  [[gnu::noinline]] void grow(std::size_t bytes) {
    const std::size_t at = offset();
    prompt_.text.resize(prompt_.text.size() + bytes);
    to_ = prompt_.text.data() + at;
  }

  Prompt& prompt_;
  char* to_;
};

template <std::size_t LabelSize, typename Number>
void numberLine(PromptWriter& writer, const char (&label)[LabelSize], Number value) {
  writer.newLine();
  writer.label(label);
  writer.number(value);
}

}  // namespace

void openFailurePrompt(Prompt& prompt, const std::string& FileName, std::int32_t errorNumber,
                       std::string_view errorDescription) {
  PromptWriter writer(prompt, kPromptRoom + 3 * FileName.size() + errorDescription.size());
  writer.label("Error opening file ");
  writer.path(FileName);
  writer.newLine();
  writer.number(errorNumber);
  writer.label(" - ");
  writer.text(errorDescription);
  writer.finish();
}

void invalidIdentifierPrompt(Prompt& prompt, const SondurValues& values) {
  PromptWriter writer(prompt, kPromptRoom);
  writer.label("ckID =");
  writer.identifier(values.riffId.view());
  writer.newLine();
  writer.label("RiffID =");
  writer.identifier(values.formType.view());
  writer.newLine();
  writer.label("FourCCckID =");
  writer.identifier(values.fmtId.view());
  writer.finish();
}

void informationPrompt(Prompt& prompt, const std::string& FileName, const SondurValues& values) {
  PromptWriter writer(prompt, kPromptRoom + 3 * FileName.size());
  writer.label("ckID1 =");
  writer.identifier(values.riffId.view());
  writer.newLine();
  writer.label("RiffID =");
  writer.identifier(values.formType.view());
  writer.newLine();
  writer.label("ckID2 =");
  writer.identifier(values.fmtId.view());
  writer.newLine();
  writer.label("Filename =");
  writer.path(FileName);
  numberLine(writer, "Format tag =", values.formatTag);
  numberLine(writer, "Format Chunk Length =", values.fmtChunkLength);
  numberLine(writer, "Sample rate =", values.sampleRate);
  numberLine(writer, "Bits/Sample =", values.bitsPerSample);
  numberLine(writer, "Number of channels =", values.channels);
  numberLine(writer, "Number of  samples =", values.dataSize);
  numberLine(writer, "Length =", values.lengthSeconds);
  writer.label(" seconds.");
  writer.finish();
}

}  // namespace pelorin
