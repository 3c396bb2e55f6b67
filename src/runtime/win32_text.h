#pragma once

// Text at the edge of the Win32 API: the program holds text as UTF-8, the system takes and gives
// UTF-16. A file name may hold what UTF-16 can and UTF-8 cannot, an unpaired surrogate; such a
// name is held in WTF-8, which writes the surrogate as UTF-8 would write its number (ED A0 80 to
// ED BF BF), so that the name still reaches the right file.

#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

/// `text` in UTF-16: well-formed UTF-8, or WTF-8 with unpaired surrogates. Nothing for any other
/// bytes, and for a surrogate pair written as two three-byte surrogates (its one spelling is the
/// four-byte form), so that each name has one spelling.
std::optional<std::wstring> toWide(std::string_view text);

/// `wide` in UTF-8; an unpaired surrogate, which UTF-8 cannot hold, in WTF-8. toWide() gives
/// back `wide`.
std::string toUtf8(std::wstring_view wide);

}  // namespace pelorin
