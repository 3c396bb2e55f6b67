#pragma once

// Text at the edge of the Win32 API: the program holds text as UTF-8, the system takes and gives
// UTF-16.

#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

/// `utf8` in UTF-16, or nothing when it is not well-formed UTF-8.
std::optional<std::wstring> toWide(std::string_view utf8);

/// `wide` in UTF-8; an unpaired surrogate, which UTF-8 cannot hold, becomes U+FFFD.
std::string toUtf8(std::wstring_view wide);

}  // namespace pelorin
