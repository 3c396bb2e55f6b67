#pragma once

#include <string>

#include "cli/json_line.h"
#include "probe/details.h"

namespace pelorin::cli {

/// Appends the key "ixml": the iXML chunk's fields, each null where its element is absent; the
/// key null without the chunk.
void appendJsonIxml(JsonLine& line, const WaveDetails& d);

/// Appends the key "md5": {"stored"}, with "computed" and "match" where the data was hashed;
/// null without an "MD5 " chunk unless the data was hashed.
void appendJsonMd5(JsonLine& line, const WaveDetails& d);

/// Appends the text block's iXML lines: the fields present, one a line.
void appendTextIxml(std::string& out, const WaveDetails& d);

/// Appends the text block's MD5 lines: the stored digest, and the computed one with the verdict.
void appendTextMd5(std::string& out, const WaveDetails& d);

}  // namespace pelorin::cli
