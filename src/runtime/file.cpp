#include "runtime/file.h"

#include <cstring>
#include <vector>

#include "runtime/little_endian.h"

namespace pelorin {

std::int16_t FreeFile(RuntimeContext& ctx) {
  const std::int16_t number = ctx.files.lowestFreeNumber();
  if (number == 0) ctx.raise(ErrorNumber::kTooManyFiles);
  return number;
}

void FileOpen(RuntimeContext& ctx, std::int16_t number, const std::string& path, OpenMode mode) {
  if (number < 1 || number > kMaxFileNumber) return ctx.raise(ErrorNumber::kBadFileNameOrNumber);
  if (ctx.files.find(number)) return ctx.raise(ErrorNumber::kFileAlreadyOpen);
  // A binary open commonly follows a test of the same file: the file system may hand that over.
  OpenResult opened =
      mode == OpenMode::kBinary ? ctx.fileSystem->reopen(path) : ctx.fileSystem->open(path);
  if (!opened.source) return ctx.raise(opened.error);
  OpenFile& file = ctx.files.slot(number);
  file.source = std::move(opened.source);
  file.mode = mode;
  file.position = 0;
}

void FileClose(RuntimeContext& ctx, std::int16_t number) {
  if (OpenFile* file = ctx.files.find(number)) file->source.reset();
}

std::int64_t FileLen(RuntimeContext& ctx, const std::string& path) {
  const LengthResult result = ctx.fileSystem->length(path);
  if (result.error != ErrorNumber::kNone) ctx.raise(result.error);
  return result.length;
}

void FileSeek(RuntimeContext& ctx, std::int16_t number, std::int64_t position) {
  OpenFile* file = ctx.files.find(number);
  if (!file) return ctx.raise(ErrorNumber::kBadFileNameOrNumber);
  if (position < 1) return ctx.raise(ErrorNumber::kBadRecordNumber);
  file->position = position - 1;
}

std::int64_t SeekPosition(RuntimeContext& ctx, std::int16_t number) {
  const OpenFile* file = ctx.files.find(number);
  return file ? file->position + 1 : 0;
}

namespace {

// Reads `length` bytes at the current position into `out` and advances; on failure raises the
// error, leaves `out` as it was and returns false.
bool getInto(RuntimeContext& ctx, std::int16_t number, char* out, std::size_t length) {
  OpenFile* file = ctx.files.find(number);
  if (!file) {
    ctx.raise(ErrorNumber::kBadFileNameOrNumber);
    return false;
  }
  if (file->mode != OpenMode::kBinary) {
    ctx.raise(ErrorNumber::kBadFileMode);
    return false;
  }
  // Read into room of our own first: a read that fails halfway must not change `out`.
  char small[128];
  std::vector<char> large;
  char* staging = small;
  if (length > sizeof small) {
    large.resize(length);
    staging = large.data();
  }
  if (!file->source->read(file->position, staging, length)) {
    ctx.raise(ErrorNumber::kDeviceIoError);
    return false;
  }
  std::memcpy(out, staging, length);
  file->position += static_cast<std::int64_t>(length);
  return true;
}

}  // namespace

void GetBytes(RuntimeContext& ctx, std::int16_t number, char* out, std::size_t length) {
  getInto(ctx, number, out, length);
}

void GetI16LE(RuntimeContext& ctx, std::int16_t number, std::int16_t& value) {
  char raw[2];
  if (getInto(ctx, number, raw, sizeof raw)) value = static_cast<std::int16_t>(readU16LE(raw));
}

void GetI32LE(RuntimeContext& ctx, std::int16_t number, std::int32_t& value) {
  char raw[4];
  if (getInto(ctx, number, raw, sizeof raw)) value = static_cast<std::int32_t>(readU32LE(raw));
}

void GetU32LE(RuntimeContext& ctx, std::int16_t number, std::uint32_t& value) {
  char raw[4];
  if (getInto(ctx, number, raw, sizeof raw)) value = readU32LE(raw);
}

}  // namespace pelorin
