#include "runtime/stream_keeper.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace pelorin {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// The most a segment reserves at once: a large range is kept in pieces of this size, so that
// keeping it never holds twice its bytes while a string grows.
constexpr std::size_t kSegmentPiece = 1 << 20;

// Copies the kept bytes of [offset, offset + count) from `segments` into `out`; false where one
// of them is in no segment.
bool copyKept(const std::vector<KeptSegment>& segments, std::int64_t offset, char* out,
              std::size_t count) {
  auto it = std::upper_bound(segments.begin(), segments.end(), offset,
                             [](std::int64_t at, const KeptSegment& s) { return at < s.offset; });
  if (it == segments.begin()) return count == 0;
  for (--it; count > 0; ++it) {
    if (it == segments.end() || it->offset > offset) return false;
    const auto skip = static_cast<std::size_t>(offset - it->offset);
    if (skip >= it->bytes.size()) return false;
    const std::size_t n = std::min(count, it->bytes.size() - skip);
    std::memcpy(out, it->bytes.data() + skip, n);
    out += n;
    offset += static_cast<std::int64_t>(n);
    count -= n;
  }
  return true;
}

// The handle of a kept stream: serves the kept bytes, and the digest of the range that was
// hashed as it passed.
class KeptBytes final : public FileHandle {
 public:
  KeptBytes(std::vector<KeptSegment> segments, std::int64_t length, std::int64_t failedAt)
      : segments_(std::move(segments)), length_(length), failedAt_(failedAt) {}

  std::int64_t read(std::int64_t offset, char* out, std::size_t count) override {
    const std::int64_t inStream = std::clamp<std::int64_t>(length_ - offset, 0, count);
    if (offset + static_cast<std::int64_t>(count) > failedAt_) return -1;
    if (!copyKept(segments_, offset, out, static_cast<std::size_t>(inStream))) return -1;
    return inStream;
  }

  std::optional<Md5Digest> knownDigest(std::int64_t offset, std::uint64_t length) const override {
    if (!digest_ || offset != digestOffset_ || length != digestLength_) return std::nullopt;
    return digest_;
  }

  void setDigest(std::int64_t offset, std::uint64_t length, std::optional<Md5Digest> digest) {
    digestOffset_ = offset;
    digestLength_ = length;
    digest_ = digest;
  }

 private:
  std::vector<KeptSegment> segments_;
  std::int64_t length_;
  std::int64_t failedAt_;
  std::int64_t digestOffset_ = 0;
  std::uint64_t digestLength_ = 0;
  std::optional<Md5Digest> digest_;
};

std::int64_t endOf(std::int64_t offset, std::uint64_t length) {
  const auto room = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - offset);
  return length >= room ? std::numeric_limits<std::int64_t>::max()
                        : offset + static_cast<std::int64_t>(length);
}

}  // namespace

// The range hashed as it passes, and how far it has been hashed.
struct StreamKeeper::HashedRange {
  std::int64_t offset = 0;
  std::int64_t end = 0;
  Md5 md5;
  bool broken = false;  // some of its bytes passed unkept before it was asked for
};

StreamKeeper::StreamKeeper(SequentialSource& source, std::size_t keepCap)
    : source_(source), keepCap_(keepCap), buffer_(kBufferSize) {}

StreamKeeper::~StreamKeeper() = default;

bool StreamKeeper::refill() {
  const std::int64_t got = source_.read(buffer_.data(), buffer_.size());
  if (got <= 0) {
    ended_ = true;
    if (got < 0) failedAt_ = position_;
    return false;
  }
  bufferBegin_ = 0;
  bufferEnd_ = static_cast<std::size_t>(got);
  return true;
}

void StreamKeeper::keepPassing(const char* bytes, std::size_t count, std::int64_t keepFrom,
                               std::int64_t keepTo) {
  const auto skip = static_cast<std::size_t>(
      std::clamp<std::int64_t>(keepFrom - position_, 0, static_cast<std::int64_t>(count)));
  std::int64_t at = position_ + static_cast<std::int64_t>(skip);
  for (std::size_t i = skip; i < count && keptBytes_ < keepCap_;) {
    KeptSegment* last = segments_.empty() ? nullptr : &segments_.back();
    if (!last || last->offset + static_cast<std::int64_t>(last->bytes.size()) != at ||
        last->bytes.size() == last->bytes.capacity()) {
      last = &segments_.emplace_back(KeptSegment{at, {}});
      const auto wanted =
          static_cast<std::size_t>(std::min<std::int64_t>(keepTo - at, kSegmentPiece));
      last->bytes.reserve(std::min(wanted, keepCap_ - keptBytes_));
    }
    const std::size_t n =
        std::min({count - i, last->bytes.capacity() - last->bytes.size(), keepCap_ - keptBytes_});
    last->bytes.append(bytes + i, n);
    keptBytes_ += n;
    i += n;
    at += static_cast<std::int64_t>(n);
  }
}

void StreamKeeper::hashPassing(const char* bytes, std::size_t count) {
  if (!hashed_) return;
  const std::int64_t from = std::max(position_, hashed_->offset);
  const std::int64_t to = std::min(position_ + static_cast<std::int64_t>(count), hashed_->end);
  if (from < to) {
    hashed_->md5.add(bytes + (from - position_), static_cast<std::size_t>(to - from));
  }
}

// Reads on to `to`, keeping what passes from `keepFrom` on.
void StreamKeeper::pass(std::int64_t to, std::int64_t keepFrom) {
  while (position_ < to && !ended_) {
    if (bufferBegin_ == bufferEnd_ && !refill()) return;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::int64_t>(bufferEnd_ - bufferBegin_, to - position_));
    const char* bytes = buffer_.data() + bufferBegin_;
    hashPassing(bytes, count);
    keepPassing(bytes, count, keepFrom, to);
    position_ += static_cast<std::int64_t>(count);
    bufferBegin_ += count;
  }
}

void StreamKeeper::keep(std::int64_t offset, std::uint64_t length) {
  pass(endOf(offset, length), offset);
}

void StreamKeeper::hash(std::int64_t offset, std::uint64_t length) {
  hashed_ = std::make_unique<HashedRange>();
  hashed_->offset = offset;
  hashed_->end = endOf(offset, length);
  // What passed of it already was kept by an earlier range, or the hash cannot be had.
  char piece[4096];
  for (std::int64_t at = offset; at < std::min(position_, hashed_->end);) {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(sizeof piece, std::min(position_, hashed_->end) - at));
    if (!copy(at, piece, n)) {
      hashed_->broken = true;
      return;
    }
    hashed_->md5.add(piece, n);
    at += static_cast<std::int64_t>(n);
  }
}

bool StreamKeeper::copy(std::int64_t offset, char* out, std::size_t count) const {
  if (offset + static_cast<std::int64_t>(count) > failedAt_) return false;
  const std::int64_t kept = std::clamp<std::int64_t>(position_ - offset, 0, count);
  std::memset(out + kept, 0, count - static_cast<std::size_t>(kept));
  return copyKept(segments_, offset, out, static_cast<std::size_t>(kept));
}

OpenedFile StreamKeeper::finish() {
  pass(std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max());
  auto handle = std::make_unique<KeptBytes>(std::move(segments_), position_, failedAt_);
  if (hashed_ && !hashed_->broken && failedAt_ > position_) {
    const std::int64_t end = std::min(hashed_->end, position_);
    const std::int64_t offset = std::min(hashed_->offset, end);
    handle->setDigest(offset, static_cast<std::uint64_t>(end - offset), hashed_->md5.finish());
  }
  keptBytes_ = 0;
  return OpenedFile::readHead(FileKind::kStream, position_, std::move(handle));
}

}  // namespace pelorin
