#pragma once

#include <cstddef>
#include <string_view>

#include "runtime/message_box.h"
#include "runtime/text.h"

namespace pelorin {

/// Characters a line of a window's message box holds at most, its continuation mark included.
inline constexpr std::size_t kBoxLineLength = 60;

/// What each continuation of a line broken for a box begins with: two spaces, U+21AA and a
/// space. The reports never use the arrow, so a continuation cannot pass for a line of its own.
inline constexpr std::string_view kContinuationMark = "  \u21AA ";

/// Appends `prompt` as a window's message box shows it: in the display form, as
/// appendDisplayText() gives it, with every line of more than kBoxLineLength characters broken
/// into lines of at most that many, each after the first beginning with kContinuationMark. A
/// line of kBoxLineLength characters or fewer stays as it is. The box must then show each line
/// whole, breaking none of its own accord, so that nothing in a file's name can start a line
/// that looks like one of the report's.
void appendBoxText(Text& out, PromptView prompt);

}  // namespace pelorin
