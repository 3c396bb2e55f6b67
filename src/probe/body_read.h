#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace pelorin {

/// Reads `count` bytes at `offset` of the file being walked into `out`, zeros past its end;
/// false once the device has failed (the bytes are then zeros too). The decoders of the larger
/// chunks read their bodies through it piece by piece rather than holding them whole.
using BodyRead = std::function<bool(std::int64_t offset, char* out, std::size_t count)>;

}  // namespace pelorin
