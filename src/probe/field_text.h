#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin {

/// Most bytes of UTF-8 one text of the details holds, the closing "…" included.
inline constexpr std::size_t kMaxFieldTextBytes = 64 * 1024;

/// A field's bytes as text: UTF-8 as it is, any other bytes one character per byte (Latin-1).
/// A text longer than kMaxFieldTextBytes is cut at a character boundary and ends in "…", so that
/// no record grows with what a file declares.
struct FieldText {
  std::string text;
  bool cut = false;  // the text was longer and was cut
};
FieldText fieldText(std::string_view bytes);

}  // namespace pelorin
