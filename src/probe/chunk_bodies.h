#pragma once

// The bodies the details decode beyond the format, the sizes and the INFO tags: which chunks,
// how much of each is read, how each is decoded, and the checks that join them once the walk
// is done.

#include <cstddef>
#include <optional>
#include <string_view>

#include "probe/details.h"

namespace pelorin {

namespace detail {
class Reader;

/// The first bytes of `chunk`'s body, at most `cap`, as d.metadata.budget grants them: the
/// file's bodies are read in file order until the budget is spent. A body cut short of what the
/// file holds of it gets body-not-read, unless the budget was spent before it; a cap of 0 reads
/// nothing. Valid until the reader's next read of a body.
std::string_view readKeptBody(Reader& reader, const ChunkHeader& chunk, std::size_t cap,
                              WaveDetails& d);
}  // namespace detail

/// How many bytes of `chunk`'s body the decoders here want: nothing for a chunk they leave
/// alone or whose kind they already decoded (the first counts), 0 for one whose header says
/// all they need (`axml`, `_PMX`), else the chunk's cap. A LIST is read by its type: see
/// isAssociatedDataList().
std::optional<std::size_t> metadataBodyCap(const ChunkHeader& chunk, const WaveDetails& d);

/// Whether a LIST of `listType` holds labels, notes and regions of cue points.
bool isAssociatedDataList(std::string_view listType);

/// Decodes `body`, the part of `chunk`'s body that was read (all of a LIST's, its type
/// included), into `d`, with the warnings it gives.
void decodeMetadataBody(const ChunkHeader& chunk, std::string_view body, ByteOrder order,
                        WaveDetails& d);

/// Once the walk is done: the markers joined with their texts, and the checks of cue points,
/// loops and tracks against the frames and channels.
void finishMetadata(WaveDetails& d);

/// The fields of a `bext` body into d.bext and d.metadata.broadcast, with its warnings.
/// `declaredSize` is what the chunk's header says its body holds.
void decodeBroadcast(std::string_view body, ByteOrder order, std::int64_t offset,
                     std::uint64_t declaredSize, WaveDetails& d);

}  // namespace pelorin
