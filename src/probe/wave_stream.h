#pragma once

#include <cstddef>

#include "runtime/opened_file.h"
#include "runtime/stream_keeper.h"

namespace pelorin {

/// Most bytes a piped file keeps: the head, every chunk header, and the bodies the details read
/// (each within its cap), with room to spare; past it, bytes are counted only. What the details
/// read beyond it reads as a failed read.
inline constexpr std::size_t kMaxStreamKeptBytes = 32 << 20;

/// Leads `keeper` through its stream, front to back, to keep what the probe and the details read
/// of a file of the WAV family (see readWaveStream()); `keeper` is then ready to finish.
void keepWaveFile(StreamKeeper& keeper, bool hashData);

/// Reads `source` (a pipe) once, front to back, and gives it as an opened file of kind kStream
/// that holds what the probe and the details read of a file of the WAV family: its head, the
/// chunk headers of the box's walk and of the details' walk (by their rules: sizes from ds64,
/// left-out pad bytes, empty and placeholder data chunks), the bodies the details decode, and
/// from an identifier that is not printable on, every byte. The rest is counted, so the file's
/// length is the stream's. Where `hashData`, the first data chunk's bytes are hashed as they
/// pass, and the opened file knows their digest.
OpenedFile readWaveStream(SequentialSource& source, bool hashData);

}  // namespace pelorin
