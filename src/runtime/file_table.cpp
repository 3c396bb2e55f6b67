#include "runtime/file_table.h"

namespace pelorin {

std::int16_t FileTable::lowestFreeNumber() const {
  for (std::int16_t number = 1; number <= kMaxFileNumber; ++number) {
    const auto index = static_cast<std::size_t>(number) - 1;
    if (index >= made_ || !slots_[index].opened) return number;
  }
  return 0;
}

}  // namespace pelorin
