#include "runtime/file.h"

#include <cstring>
#include <optional>
#include <string_view>
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
  // A binary open commonly follows a test of the same file, which the context kept open; a file
  // opened before the probe (standard input) is kept for its first open.
  std::optional<OpenedFile> opened = ctx.keptFile.take(path);
  ctx.keptFile.drop();
  if (!opened) {
    OpenResult result = ctx.fileSystem->open(path);
    if (!result.file) return ctx.raise(result.error);
    opened = std::move(result.file);
  }
  OpenFile& file = ctx.files.slot(number);
  file.opened = std::move(opened);
  file.mode = mode;
  file.position = 0;
  file.readFailed = false;
  file.path.assign(path);
}

void FileClose(RuntimeContext& ctx, std::int16_t number) {
  OpenFile* file = ctx.files.find(number);
  if (!file) return;
  if (file->mode == OpenMode::kInput) ctx.keptFile.keep(file->path, std::move(*file->opened));
  file->opened.reset();
}

std::int64_t FileLen(RuntimeContext& ctx, const std::string& path) {
  if (const OpenedFile* kept = ctx.keptFile.find(path)) return kept->length();
  const OpenResult result = ctx.fileSystem->open(path);
  if (!result.file) {
    ctx.raise(result.error);
    return 0;
  }
  return result.file->length();
}

OpenedFile* FileOf(RuntimeContext& ctx, std::int16_t number) {
  OpenFile* file = ctx.files.find(number);
  return file ? &*file->opened : nullptr;
}

void FileSeek(RuntimeContext& ctx, std::int16_t number, std::int64_t position) {
  OpenFile* file = ctx.files.find(number);
  if (!file) return ctx.raise(ErrorNumber::kBadFileNameOrNumber);
  if (position < 1) return ctx.raise(ErrorNumber::kBadRecordNumber);
  file->position = position - 1;
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
  // A device that failed once is not asked again.
  if (file->readFailed) {
    ctx.raise(ErrorNumber::kDeviceIoError);
    return false;
  }
  // Bytes the open read already cannot fail: the common case, a header inside the head.
  const std::string_view head = file->opened->head();
  const auto position = static_cast<std::uint64_t>(file->position);
  if (file->position >= 0 && length <= head.size() && position <= head.size() - length) {
    std::memcpy(out, head.data() + position, length);
    file->position += static_cast<std::int64_t>(length);
    return true;
  }
  // Read into room of our own first: a read that fails halfway must not change `out`.
  char small[128];
  std::vector<char> large;
  char* staging = small;
  if (length > sizeof small) {
    large.resize(length);
    staging = large.data();
  }
  if (!file->opened->read(file->position, staging, length)) {
    file->readFailed = true;
    ctx.raise(ErrorNumber::kDeviceIoError);
    return false;
  }
  std::memcpy(out, staging, length);
  file->position += static_cast<std::int64_t>(length);
  return true;
}

// getInto() for a read of N bytes, which a probe makes many of: one that lies inside the head
// is copied at once, with a copy of known width and none of the full way's checks.
template <std::size_t N>
bool getFixed(RuntimeContext& ctx, std::int16_t number, char* out) {
  OpenFile* file = ctx.files.find(number);
  if (file && file->mode == OpenMode::kBinary && !file->readFailed && file->position >= 0) {
    const std::string_view head = file->opened->head();
    const auto position = static_cast<std::uint64_t>(file->position);
    if (N <= head.size() && position <= head.size() - N) {
      std::memcpy(out, head.data() + position, N);
      file->position += static_cast<std::int64_t>(N);
      return true;
    }
  }
  return getInto(ctx, number, out, N);
}

}  // namespace

void GetBytes(RuntimeContext& ctx, std::int16_t number, char* out, std::size_t length) {
  // A chunk header and an identifier: the reads a probe makes most.
  if (length == 8) return static_cast<void>(getFixed<8>(ctx, number, out));
  if (length == 4) return static_cast<void>(getFixed<4>(ctx, number, out));
  getInto(ctx, number, out, length);
}

void GetI16LE(RuntimeContext& ctx, std::int16_t number, std::int16_t& value) {
  char raw[2];
  if (getFixed<sizeof raw>(ctx, number, raw)) value = static_cast<std::int16_t>(readU16LE(raw));
}

void GetI32LE(RuntimeContext& ctx, std::int16_t number, std::int32_t& value) {
  char raw[4];
  if (getFixed<sizeof raw>(ctx, number, raw)) value = static_cast<std::int32_t>(readU32LE(raw));
}

void GetU32LE(RuntimeContext& ctx, std::int16_t number, std::uint32_t& value) {
  char raw[4];
  if (getFixed<sizeof raw>(ctx, number, raw)) value = readU32LE(raw);
}

}  // namespace pelorin
