#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/file_system.h"

namespace pelorin {

/// How a file number was opened: sequential input (only tested for access here) or binary,
/// byte access at any position.
enum class OpenMode { kInput = 1, kBinary = 32 };

/// Highest file number; numbers run from 1.
inline constexpr std::int16_t kMaxFileNumber = 255;

/// One file number.
struct OpenFile {
  std::optional<OpenedFile> opened;  // empty while the number is not open
  OpenMode mode = OpenMode::kInput;
  std::int64_t position = 0;  // offset of the next read, from 0
  bool readFailed = false;    // a read failed: every later one fails the same way
  std::string path;           // the path it was opened by
};

/// The table of file numbers of one runtime context.
class FileTable {
 public:
  FileTable() = default;
  // Neither copied nor moved: a copy's room would hold only the records it has, and could move
  // them as it grows.
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  /// The open file under `number`, or nullptr.
  OpenFile* find(std::int16_t number) {
    const auto index = static_cast<std::size_t>(number) - 1;  // below 1: past every record
    if (index >= made_) return nullptr;
    OpenFile& file = slots_[index];
    return file.opened ? &file : nullptr;
  }
  /// The record for `number`, from 1 to kMaxFileNumber.
  OpenFile& slot(std::int16_t number) {
    const auto index = static_cast<std::size_t>(number) - 1;
    if (index >= made_) {
      slots_.resize(index + 1);
      made_ = slots_.size();
    }
    return slots_[index];
  }
  /// The lowest number not in use, or 0 when all are.
  std::int16_t lowestFreeNumber() const;
  /// Closes every number; the room stays.
  void closeAll() {
    slots_.clear();
    made_ = 0;
  }

 private:
  // The records of the numbers used so far, in room made for all of them so that a record
  // never moves. A probe uses one: room never written is never touched, where a table of all
  // of them would cost each prober 30 KB of fresh memory.
  std::vector<OpenFile> slots_ = withRoomForEveryNumber();
  std::size_t made_ = 0;  // slots_.size(), kept apart: the lookups above need no division

  static std::vector<OpenFile> withRoomForEveryNumber() {
    std::vector<OpenFile> records;
    records.reserve(kMaxFileNumber);
    return records;
  }
};

/// A file that was tested in input mode and closed, kept for the steps of the same probe that
/// commonly follow: the FileLen and the binary FileOpen of the same path take it instead of
/// asking the file system again. It holds its handle until it is taken or dropped.
class KeptFile {
 public:
  /// Keeps `file`, opened by `path`; takes the room of `path` and leaves it that of the path
  /// kept before, so that keeping allocates nothing from one probe to the next.
  void keep(std::string& path, OpenedFile file) {
    path_.swap(path);
    file_ = std::move(file);
  }
  /// The kept file, if it was opened by `path`.
  OpenedFile* find(const std::string& path) { return file_ && path_ == path ? &*file_ : nullptr; }
  /// Hands the kept file over, if it was opened by `path`; otherwise nothing.
  std::optional<OpenedFile> take(const std::string& path) {
    std::optional<OpenedFile> taken;
    if (find(path)) taken.swap(file_);
    return taken;
  }
  /// Closes the kept file, if any.
  void drop() { file_.reset(); }

 private:
  std::string path_;
  std::optional<OpenedFile> file_;
};

}  // namespace pelorin
