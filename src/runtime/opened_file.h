#pragma once

// What the system file systems (POSIX, Win32) share: a file's head read once at its open, the
// byte source that serves reads from it, and the memory of the last file opened.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/file_system.h"

namespace pelorin {

/// Bytes read from the start of a file in one read when it is opened; every read inside them is
/// served from memory. A kibibyte holds the header of a plain file and the chunks that commonly
/// come before the data chunk (a LIST chunk of tags, a broadcast-wave description), at little
/// cost per open.
inline constexpr std::size_t kHeadSize = 1024;

/// What one open of a file found. `Handle` owns the system's handle (UniqueFd, UniqueHandle).
template <typename Handle>
struct OpenedFile {
  Handle handle;  // for reads beyond the head; closed at once when the head holds the whole file
  std::int64_t length = 0;
  std::size_t headLength = 0;  // bytes of `head` the file filled
  std::array<char, kHeadSize> head;
};

/// An opened file as a byte source: reads inside the head come from memory, the rest through
/// `readRest(handle, offset, out, count)`, which gives the bytes read (fewer only at the end of
/// the file) or -1 when the device fails.
template <typename Handle,
          std::int64_t (*readRest)(const Handle&, std::int64_t, char*, std::size_t)>
class OpenedFileSource final : public ByteSource {
 public:
  explicit OpenedFileSource(std::shared_ptr<const OpenedFile<Handle>> file)
      : file_(std::move(file)) {}

  std::int64_t length() const override { return file_->length; }

  bool read(std::int64_t offset, char* out, std::size_t count) override {
    const OpenedFile<Handle>& file = *file_;
    std::size_t done = 0;
    if (offset < static_cast<std::int64_t>(file.headLength)) {
      done = std::min(count, file.headLength - static_cast<std::size_t>(offset));
      std::memcpy(out, file.head.data() + offset, done);
    }
    if (done < count && file.handle) {
      const std::int64_t got = readRest(file.handle, offset + done, out + done, count - done);
      if (got < 0) return false;
      done += static_cast<std::size_t>(got);
    }
    std::memset(out + done, 0, count - done);
    return true;
  }

  /// The handle that reads beyond the head go to; empty when the head holds the whole file.
  const Handle& handle() const { return file_->handle; }

 private:
  std::shared_ptr<const OpenedFile<Handle>> file_;
};

/// The file the last open found, kept for the length() and reopen() of the same path that
/// commonly follow it, until the next open.
template <typename Handle>
class LastOpened {
 public:
  using File = std::shared_ptr<const OpenedFile<Handle>>;

  void forget() { file_.reset(); }
  void remember(const std::string& path, File file) {
    path_.assign(path);  // reuses the room of earlier paths
    file_ = std::move(file);
  }
  /// What the last open found, if it was of `path`.
  const OpenedFile<Handle>* find(const std::string& path) const {
    return file_ && path_ == path ? file_.get() : nullptr;
  }
  /// Hands over what the last open found, if it was of `path`, and forgets it.
  File take(const std::string& path) { return find(path) ? std::move(file_) : nullptr; }

 private:
  std::string path_;
  File file_;
};

}  // namespace pelorin
