#pragma once

#include <string>
#include <string_view>

#include "probe/sondur.h"

namespace pelorin::cli {

/// Appends one text report: the title on its own line, then the prompt, then a line feed.
void appendTextReport(std::string& out, std::string_view title, std::string_view prompt);

/// Appends `text` as a JSON string, quotes included.
void appendJsonString(std::string& out, std::string_view text);

/// Appends one report as a JSON object on one line, ending in a line feed.
void appendJsonReport(std::string& out, const std::string& path, const ProbeOutcome& outcome,
                      std::string_view title, std::string_view prompt);

}  // namespace pelorin::cli
