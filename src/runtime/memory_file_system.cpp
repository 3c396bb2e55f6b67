#include "runtime/memory_file_system.h"

#include <algorithm>
#include <cstring>

namespace pelorin {

namespace {

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}

  std::int64_t length() const override { return static_cast<std::int64_t>(bytes_->size()); }

  bool read(std::int64_t offset, char* out, std::size_t count) override {
    std::size_t done = 0;
    if (offset < length()) {
      done = std::min(count, bytes_->size() - static_cast<std::size_t>(offset));
      std::memcpy(out, bytes_->data() + offset, done);
    }
    std::memset(out + done, 0, count - done);
    return true;
  }

 private:
  std::shared_ptr<const std::string> bytes_;
};

}  // namespace

void MemoryFileSystem::add(const std::string& path, std::string bytes) {
  files_[path] = std::make_shared<const std::string>(std::move(bytes));
}

ErrorNumber MemoryFileSystem::find(const std::string& path,
                                   std::shared_ptr<const std::string>& bytes) const {
  if (path.empty()) return ErrorNumber::kBadFileNameOrNumber;
  const auto found = files_.find(path);
  if (found == files_.end()) return ErrorNumber::kFileNotFound;
  bytes = found->second;
  return ErrorNumber::kNone;
}

OpenResult MemoryFileSystem::open(const std::string& path) {
  std::shared_ptr<const std::string> bytes;
  const ErrorNumber error = find(path, bytes);
  if (error != ErrorNumber::kNone) return {nullptr, error};
  return {std::make_unique<MemorySource>(std::move(bytes)), ErrorNumber::kNone};
}

LengthResult MemoryFileSystem::length(const std::string& path) {
  std::shared_ptr<const std::string> bytes;
  const ErrorNumber error = find(path, bytes);
  if (error != ErrorNumber::kNone) return {0, error};
  return {static_cast<std::int64_t>(bytes->size()), ErrorNumber::kNone};
}

}  // namespace pelorin
