#pragma once

#include <string>
#include <string_view>

#include "probe/sondur.h"

namespace pelorin::cli {

/// Appends `prompt` for a terminal: each CR LF as a line feed; other C0 control characters and
/// U+007F as their Unicode control pictures (U+2400 plus the code, U+2421 for 127), so that no
/// byte of a file or a file name can move the cursor or break a line.
void appendShown(std::string& out, std::string_view prompt);

/// Appends one text report: the title on its own line, then the prompt, then a line feed.
void appendTextReport(std::string& out, std::string_view title, std::string_view prompt);

/// Appends `text` as a JSON string, quotes included.
void appendJsonString(std::string& out, std::string_view text);

/// Appends one report as a JSON object on one line, ending in a line feed.
void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      std::string_view title, std::string_view prompt);

}  // namespace pelorin::cli
