#include "runtime/file_table.h"

namespace pelorin {

std::int16_t FileTable::lowestFreeNumber() const {
  for (std::int16_t number = 1; number <= kMaxFileNumber; ++number) {
    if (!slots_[number - 1].opened) return number;
  }
  return 0;
}

}  // namespace pelorin
