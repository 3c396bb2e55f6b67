#include "runtime/memory_file_system.h"

#include <algorithm>
#include <cstring>

namespace pelorin {

namespace {

// The bytes of a file in memory as the handle of an opened file.
class MemoryHandle final : public FileHandle {
 public:
  MemoryHandle(std::shared_ptr<const std::string> bytes, std::int64_t failingFrom,
               std::shared_ptr<std::atomic<int>> reads)
      : bytes_(std::move(bytes)), failingFrom_(failingFrom), reads_(std::move(reads)) {}

  std::int64_t read(std::int64_t offset, char* out, std::size_t count) override {
    ++*reads_;
    if (offset + static_cast<std::int64_t>(count) > failingFrom_) return -1;
    const auto size = static_cast<std::int64_t>(bytes_->size());
    if (offset >= size) return 0;
    const std::size_t got = std::min<std::size_t>(count, static_cast<std::size_t>(size - offset));
    std::memcpy(out, bytes_->data() + offset, got);
    return static_cast<std::int64_t>(got);
  }

 private:
  std::shared_ptr<const std::string> bytes_;
  std::int64_t failingFrom_;
  std::shared_ptr<std::atomic<int>> reads_;
};

}  // namespace

void MemoryFileSystem::add(const std::string& path, std::string bytes) {
  files_[path] = File{std::make_shared<const std::string>(std::move(bytes))};
}

void MemoryFileSystem::addFailing(const std::string& path, std::string bytes,
                                  std::int64_t failingFrom) {
  files_[path] = File{std::make_shared<const std::string>(std::move(bytes)), failingFrom};
}

int MemoryFileSystem::readsOf(const std::string& path) const {
  const auto found = files_.find(path);
  return found == files_.end() ? 0 : found->second.reads->load();
}

OpenResult MemoryFileSystem::open(const std::string& path) {
  if (path.empty()) return {std::nullopt, ErrorNumber::kBadFileNameOrNumber};
  const auto found = files_.find(path);
  if (found == files_.end()) return {std::nullopt, ErrorNumber::kFileNotFound};
  const File& file = found->second;
  return {OpenedFile::readHead(
              FileKind::kRegular, static_cast<std::int64_t>(file.bytes->size()),
              std::make_unique<MemoryHandle>(file.bytes, file.failingFrom, file.reads)),
          ErrorNumber::kNone};
}

}  // namespace pelorin
