#pragma once

#include <cstdint>
#include <string>

#include "runtime/context.h"
#include "runtime/text.h"

namespace pelorin {

/// The next file number not in use; raises "Too many files" and gives 0 when none is free.
std::int16_t FreeFile(RuntimeContext& ctx);

/// Opens the regular file `path` under `number`: in input mode as a test that the file opens
/// for reading, in binary mode for reads at any position. A path that is not a regular file
/// (folder, FIFO, device, socket) fails with "Path/File access error"; other failures raise the
/// numbered error of the file system's reason. Opening never blocks.
void FileOpen(RuntimeContext& ctx, std::int16_t number, const std::string& path, OpenMode mode);

/// Closes `number`; closing a number that is not open does nothing.
void FileClose(RuntimeContext& ctx, std::int16_t number);

/// Size in bytes of the file `path`; raises the matching error and gives 0 when unknown.
std::int64_t FileLen(RuntimeContext& ctx, const std::string& path);

/// Sets the position of the next read of `number`, counting bytes from 1. A position below 1
/// raises "Bad record number" and moves nothing.
void FileSeek(RuntimeContext& ctx, std::int16_t number, std::int64_t position);

/// The position of the next read of `number`, counting from 1; 0 when it is not open.
std::int64_t SeekPosition(RuntimeContext& ctx, std::int16_t number);

// Reads at the current position of the binary file `number`, advancing by what they read.
// Bytes past the end of the file read as zeros without an error. On an error (number not open,
// not binary, the device fails) the target is left as it was and the position stays.

/// Reads `length` bytes into `out`.
void GetBytes(RuntimeContext& ctx, std::int16_t number, char* out, std::size_t length);

/// Reads a fixed-length text of N characters, one per byte.
template <std::size_t N>
void GetText(RuntimeContext& ctx, std::int16_t number, FixedText<N>& text) {
  GetBytes(ctx, number, text.bytes.data(), N);
}

/// Reads a little-endian signed 16-bit integer.
void GetI16LE(RuntimeContext& ctx, std::int16_t number, std::int16_t& value);
/// Reads a little-endian signed 32-bit integer.
void GetI32LE(RuntimeContext& ctx, std::int16_t number, std::int32_t& value);
/// Reads a little-endian unsigned 32-bit integer.
void GetU32LE(RuntimeContext& ctx, std::int16_t number, std::uint32_t& value);

}  // namespace pelorin
