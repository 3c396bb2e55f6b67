#include "runtime/opened_file.h"

#include <algorithm>
#include <cstring>

namespace pelorin {

OpenedFile OpenedFile::readHead(FileKind kind, std::int64_t length,
                                std::unique_ptr<FileHandle> handle) {
  OpenedFile file;
  file.kind_ = kind;
  file.length_ = length;
  // No more than the system counts: a read that met the end of the file would cost a second
  // read to learn that it had.
  const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(length, 0, kHeadSize));
  // Not zeroed: reads never look past the bytes the file filled (headLength_).
  file.head_ = std::make_unique_for_overwrite<char[]>(wanted);
  const std::int64_t got = handle->read(0, file.head_.get(), wanted);
  if (got < 0) {
    file.failed_ = true;
    return file;
  }
  file.headLength_ = static_cast<std::size_t>(got);
  // A head read short of its size met the end of the file: no later read needs the handle.
  if (file.headLength_ == kHeadSize) file.rest_ = std::move(handle);
  return file;
}

bool OpenedFile::read(std::int64_t offset, char* out, std::size_t count) {
  std::size_t done = 0;
  if (offset < static_cast<std::int64_t>(headLength_)) {
    done = std::min(count, headLength_ - static_cast<std::size_t>(offset));
    std::memcpy(out, head_.get() + offset, done);
  }
  if (done < count && failed_) return false;
  if (done < count && rest_) {
    const std::int64_t got =
        rest_->read(offset + static_cast<std::int64_t>(done), out + done, count - done);
    if (got < 0) {
      failed_ = true;
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  std::memset(out + done, 0, count - done);
  return true;
}

}  // namespace pelorin
