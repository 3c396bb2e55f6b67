#pragma once

#include "cli/json_line.h"
#include "probe/details.h"

namespace pelorin::cli {

/// Appends the keys of the details, after the report's own.
void appendJsonDetails(JsonLine& line, const WaveDetails& d);

}  // namespace pelorin::cli
