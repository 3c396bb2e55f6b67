#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pelorin {

/// How a file number was opened: sequential input (only tested for access here) or binary,
/// byte access at any position.
enum class OpenMode { kInput = 1, kBinary = 32 };

/// Highest file number; numbers run from 1.
inline constexpr std::int16_t kMaxFileNumber = 255;

/// Bytes read from the start of a file in one read when it is opened in binary mode; every
/// positioned read inside them is served from memory.
/// A kibibyte holds the header of a plain file and the chunks that commonly come before the
/// data chunk (a LIST chunk of tags, a broadcast-wave description), at little cost per read.
inline constexpr std::size_t kHeadSize = 1024;

/// One open file number.
struct OpenFile {
  int fd = -1;
  OpenMode mode = OpenMode::kInput;
  std::string path;
  std::int64_t size = 0;      // length in bytes when opened
  std::int64_t position = 0;  // offset of the next read, from 0
  std::size_t headLength = 0;
  bool headReachesEnd = false;  // the head read stopped at the end of the file
  std::array<unsigned char, kHeadSize> head;

  bool isOpen() const { return fd >= 0; }
};

/// The table of file numbers of one runtime context, and the one handle it may hold on to.
///
/// Closing a file opened for input keeps its descriptor for a moment: a following length query
/// or open of the same path reuses it instead of asking the system again, so testing a file
/// and then reading it costs one open. The handle is released by the next open of another
/// path, by a message box, and when the table is destroyed.
class FileTable {
 public:
  FileTable() = default;
  ~FileTable();
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  /// The open file under `number`, or nullptr.
  OpenFile* find(std::int16_t number) {
    if (number < 1 || number > kMaxFileNumber) return nullptr;
    OpenFile* file = slots_[number - 1].get();
    return file && file->isOpen() ? file : nullptr;
  }
  /// The record for `number` (1 to kMaxFileNumber), created on first use and kept for reuse.
  OpenFile& slot(std::int16_t number);
  /// The lowest number not in use, or 0 when all are.
  std::int16_t lowestFreeNumber() const;

  /// Takes over `file`'s descriptor as the held handle, leaving `file` closed.
  void holdHandle(OpenFile& file);
  /// The held handle for `path`, if there is one: moves it into `file` and returns true.
  bool adoptHeldHandle(std::string_view path, OpenFile& file);
  /// The size of the file behind the held handle for `path`, or -1 when none is held for it.
  std::int64_t heldSize(std::string_view path) const;
  void releaseHeldHandle();

 private:
  std::array<std::unique_ptr<OpenFile>, kMaxFileNumber> slots_;
  int heldFd_ = -1;
  std::string heldPath_;
  std::int64_t heldSize_ = 0;
};

}  // namespace pelorin
