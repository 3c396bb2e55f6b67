#include "probe/field_text.h"

#include "runtime/text.h"

namespace pelorin {

namespace {

constexpr std::string_view kEllipsis = "\u2026";

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Cuts UTF-8 `text` to at most kMaxFieldTextBytes, the ellipsis included, before a character.
void cutAtCharacter(std::string& text) {
  std::size_t end = kMaxFieldTextBytes - kEllipsis.size();
  while (end > 0 && isContinuationByte(text[end])) --end;
  text.resize(end);
  text.append(kEllipsis);
}

}  // namespace

FieldText fieldText(std::string_view bytes) {
  FieldText field;
  // Latin-1 takes up to two bytes a character: no more than this is needed to fill the cap.
  const std::string_view head = bytes.substr(0, 2 * kMaxFieldTextBytes);
  if (isUtf8(bytes)) {
    field.text.assign(head);
  } else {
    field.text = bytesToText(head);
  }
  if (field.text.size() > kMaxFieldTextBytes) {
    cutAtCharacter(field.text);
    field.cut = true;
  }
  return field;
}

}  // namespace pelorin
