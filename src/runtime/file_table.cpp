#include "runtime/file_table.h"

#include <unistd.h>

namespace pelorin {

FileTable::~FileTable() {
  releaseHeldHandle();
  for (auto& file : slots_) {
    if (file && file->isOpen()) ::close(file->fd);
  }
}

OpenFile& FileTable::slot(std::int16_t number) {
  auto& file = slots_[number - 1];
  if (!file) file = std::make_unique<OpenFile>();
  return *file;
}

std::int16_t FileTable::lowestFreeNumber() const {
  for (std::int16_t number = 1; number <= kMaxFileNumber; ++number) {
    const OpenFile* file = slots_[number - 1].get();
    if (!file || !file->isOpen()) return number;
  }
  return 0;
}

void FileTable::holdHandle(OpenFile& file) {
  releaseHeldHandle();
  heldFd_ = file.fd;
  heldPath_.assign(file.path);  // reuses the capacity of earlier paths
  heldSize_ = file.size;
  file.fd = -1;
}

bool FileTable::adoptHeldHandle(std::string_view path, OpenFile& file) {
  if (heldFd_ < 0 || heldPath_ != path) return false;
  file.fd = heldFd_;
  file.size = heldSize_;
  heldFd_ = -1;
  return true;
}

std::int64_t FileTable::heldSize(std::string_view path) const {
  return heldFd_ >= 0 && heldPath_ == path ? heldSize_ : -1;
}

void FileTable::releaseHeldHandle() {
  if (heldFd_ < 0) return;
  ::close(heldFd_);
  heldFd_ = -1;
}

}  // namespace pelorin
