#include "probe/data_md5.h"

#include <algorithm>
#include <memory>

#include "probe/details.h"

namespace pelorin {

namespace {

std::string digestHex(const Md5Digest& digest) {
  std::string hex;
  appendDigestHex(hex, digest);
  return hex;
}

struct Hashed {
  bool readFailed = false;
  std::optional<Md5Digest> digest;  // nothing when a read failed or the system cannot hash
};

// The digest of the `length` bytes at `offset`: as the file knows it (a stream hashed them as
// they passed), or read and hashed.
Hashed hashRange(ByteSource& file, std::int64_t offset, std::uint64_t length,
                 HashProgress* progress) {
  if (const std::optional<Md5Digest> known = file.knownDigest(offset, length)) {
    if (progress) progress->hashed(length, length);
    return {false, known};
  }
  Md5 md5;
  const std::unique_ptr<char[]> piece(new char[std::min<std::uint64_t>(kHashPiece, length) + 1]);
  for (std::uint64_t done = 0; done < length;) {
    const std::size_t count = std::min<std::uint64_t>(kHashPiece, length - done);
    if (!file.read(offset + static_cast<std::int64_t>(done), piece.get(), count)) {
      return {true, std::nullopt};
    }
    md5.add(piece.get(), count);
    done += count;
    if (progress) progress->hashed(done, length);
  }
  return {false, md5.finish()};
}

// Where the data chunk's bytes start: after its header, whose length the container decides.
std::int64_t dataBodyOffset(const WaveDetails& d) {
  for (const ChunkHeader& chunk : d.chunks) {
    if (chunk.offset == d.data->offset) return chunk.bodyOffset;
  }
  return d.data->offset + 8;
}

// Findings stay in the order of their codes, then of their offsets, whatever step added them.
void orderFindings(WaveDetails& d) {
  std::stable_sort(d.findings.begin(), d.findings.end(), [](const Finding& a, const Finding& b) {
    return a.code != b.code ? a.code < b.code : a.offset < b.offset;
  });
}

}  // namespace

void readMd5Chunk(const BodyRead& read, const ChunkHeader& chunk, WaveDetails& d, ByteOrder order) {
  Md5Fields& m = d.md5.emplace();
  m.offset = chunk.offset;
  Md5Digest bytes;
  if (chunk.bodySize < bytes.size()) return;
  read(chunk.bodyOffset, reinterpret_cast<char*>(bytes.data()), bytes.size());
  if (order == ByteOrder::kLittle) std::reverse(bytes.begin(), bytes.end());
  m.stored = bytes;
}

void verifyDataMd5(ByteSource& file, WaveDetails& d, HashProgress* progress) {
  Md5Fields& m = d.md5 ? *d.md5 : d.md5.emplace();
  m.verified = true;
  if (!d.data) return;
  const std::int64_t dataOffset = dataBodyOffset(d);
  const Hashed hashed = hashRange(file, dataOffset, d.data->present, progress);
  m.computed = hashed.digest;
  if (hashed.readFailed) {
    d.readFailed = true;
    if (!d.has(Warning::kReadFailed)) d.warn(Warning::kReadFailed, dataOffset, "data");
  } else if (m.stored && m.computed && *m.stored != *m.computed) {
    d.warn(Warning::kMd5Mismatch, m.offset, "MD5 ", digestHex(*m.stored), digestHex(*m.computed));
  }
  orderFindings(d);
}

void appendDigestHex(std::string& out, const Md5Digest& digest) {
  constexpr char kHex[] = "0123456789abcdef";
  for (const unsigned char byte : digest) {
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
  }
}

}  // namespace pelorin
