#pragma once

#include "cli/json_line.h"
#include "probe/details.h"

namespace pelorin::cli {

/// Appends the keys of the details, after the report's own.
void appendJsonDetails(JsonLine& line, const WaveDetails& d);

/// Appends the keys from `bext` on, each null without its chunk.
void appendJsonMetadata(JsonLine& line, const WaveDetails& d);
/// The keys of the production chunks, `cart`, `peak` and `id3` (json_production.cpp).
void appendJsonCart(JsonLine& line, const WaveDetails& d);
void appendJsonPeak(JsonLine& line, const WaveDetails& d);
void appendJsonId3(JsonLine& line, const WaveDetails& d);
/// A 32-bit float as its shortest decimal, so that 120.1 reads as written; null when not finite.
void appendJsonFloat(JsonLine& line, float value);

}  // namespace pelorin::cli
