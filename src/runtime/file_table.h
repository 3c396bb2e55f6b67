#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "runtime/file_system.h"

namespace pelorin {

/// How a file number was opened: sequential input (only tested for access here) or binary,
/// byte access at any position.
enum class OpenMode { kInput = 1, kBinary = 32 };

/// Highest file number; numbers run from 1.
inline constexpr std::int16_t kMaxFileNumber = 255;

/// One open file number.
struct OpenFile {
  std::unique_ptr<ByteSource> source;
  OpenMode mode = OpenMode::kInput;
  std::int64_t position = 0;  // offset of the next read, from 0
};

/// The table of file numbers of one runtime context.
class FileTable {
 public:
  /// The open file under `number`, or nullptr.
  OpenFile* find(std::int16_t number) {
    if (number < 1 || number > kMaxFileNumber) return nullptr;
    OpenFile& file = slots_[number - 1];
    return file.source ? &file : nullptr;
  }
  /// The record for `number`, from 1 to kMaxFileNumber.
  OpenFile& slot(std::int16_t number) { return slots_[number - 1]; }
  /// The lowest number not in use, or 0 when all are.
  std::int16_t lowestFreeNumber() const;

 private:
  std::array<OpenFile, kMaxFileNumber> slots_;
};

}  // namespace pelorin
