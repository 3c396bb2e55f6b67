#pragma once

#include <cstdint>
#include <string>

#include "runtime/context.h"
#include "runtime/text.h"

namespace pelorin {

/// The next file number not in use; raises "Too many files" and gives 0 when none is free.
std::int16_t FreeFile(RuntimeContext& ctx);

/// Opens the regular file `path` under `number`: in input mode as a test that the file opens
/// for reading, in binary mode for reads at any position. An open takes the file the context
/// keeps when it is of the same path (a binary open after a test; the first open of a file the
/// caller opened itself, such as standard input); any other open drops that file and asks the
/// file system. A path that is not a regular file (folder, FIFO, device, socket) fails with
/// "Path/File access error"; other failures raise the numbered error of the file system's
/// reason. Opening never blocks.
void FileOpen(RuntimeContext& ctx, std::int16_t number, const std::string& path, OpenMode mode);

/// Closes `number`; closing a number that is not open does nothing. The file of an input-mode
/// number stays open in the context (RuntimeContext::keptFile) for the steps that follow.
void FileClose(RuntimeContext& ctx, std::int16_t number);

/// Size in bytes of the file `path`: the kept file's when it is of that path, else what an open
/// of it finds; raises the matching error and gives 0 when unknown.
std::int64_t FileLen(RuntimeContext& ctx, const std::string& path);

/// The opened file under `number`, for readers that take a whole file (the details); nullptr
/// when `number` is not open.
OpenedFile* FileOf(RuntimeContext& ctx, std::int16_t number);

/// Sets the position of the next read of `number`, counting bytes from 1. A position below 1
/// raises "Bad record number" and moves nothing.
void FileSeek(RuntimeContext& ctx, std::int16_t number, std::int64_t position);

// Reads at the current position of the binary file `number`, advancing by what they read.
// Bytes past the end of the file read as zeros without an error. On an error (number not open,
// not binary, the device fails) the target is left as it was and the position stays. After the
// device fails once, every later read of the file fails the same way without asking it again.

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
