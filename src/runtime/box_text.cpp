#include "runtime/box_text.h"

namespace pelorin {

namespace {

// Characters of the mark, which take room on the line they begin.
constexpr std::size_t kMarkLength = 4;

bool startsCharacter(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) count += startsCharacter(byte) ? 1 : 0;
  return count;
}

// Appends one line that is already in the display form (UTF-8 throughout), broken for a box.
void appendBrokenLine(Text& out, std::string_view shown) {
  if (characterCount(shown) <= kBoxLineLength) {
    out.append(shown);
    return;
  }
  std::size_t room = kBoxLineLength;  // characters the current box line still takes
  std::size_t from = 0;
  while (from < shown.size()) {
    std::size_t to = from + 1;
    while (to < shown.size() && !startsCharacter(shown[to])) ++to;
    if (room == 0) {
      out.push_back('\n');
      out.append(kContinuationMark);
      room = kBoxLineLength - kMarkLength;
    }
    out.append(shown.substr(from, to - from));
    --room;
    from = to;
  }
}

}  // namespace

void appendBoxText(Text& out, PromptView prompt) {
  Text shown;
  appendDisplayText(shown, prompt.text, prompt.lineBreaks);
  std::string_view lines = shown;
  for (;;) {
    const std::size_t end = lines.find('\n');
    appendBrokenLine(out, lines.substr(0, end));
    if (end == std::string_view::npos) return;
    out.push_back('\n');
    lines.remove_prefix(end + 1);
  }
}

}  // namespace pelorin
