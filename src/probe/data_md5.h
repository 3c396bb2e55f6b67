#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "probe/body_read.h"
#include "runtime/byte_order.h"
#include "runtime/file_system.h"
#include "runtime/md5.h"

namespace pelorin {

struct ChunkHeader;
struct WaveDetails;

/// Bytes of the data read and hashed at a time: large reads keep the hash at the disk's speed.
inline constexpr std::size_t kHashPiece = 1 << 20;

/// The MD5 of the audio data: as an "MD5 " chunk stores it, and as the data gives it when
/// verified.
struct Md5Fields {
  std::int64_t offset = 0;            // of the "MD5 " chunk's header
  std::optional<Md5Digest> stored;    // null without a chunk, or with one under 16 bytes
  bool verified = false;              // the data was hashed
  std::optional<Md5Digest> computed;  // null without a data chunk, or when it could not be read
};

/// Told how far the hashing of a file's data has come: after each piece of kHashPiece bytes,
/// `done` of `total` bytes. May be called on any thread that probes.
class HashProgress {
 public:
  virtual void hashed(std::uint64_t done, std::uint64_t total) = 0;

 protected:
  ~HashProgress() = default;
};

/// Reads the first "MD5 " chunk into `d.md5`: its 16 bytes are one 128-bit number in the file's
/// byte order whose most significant byte is the digest's first, so that in a little-endian
/// file the bytes stand in reverse order.
void readMd5Chunk(const BodyRead& read, const ChunkHeader& chunk, WaveDetails& d,
                  ByteOrder order = ByteOrder::kLittle);

/// Hashes the data bytes present (the pad byte not included) of `d`, read through `file` in
/// pieces of kHashPiece bytes, into `d.md5` (made where there was no chunk), and warns of
/// md5-mismatch where a stored digest differs. A read that fails leaves `computed` null and
/// sets readFailed. `progress`, where given, hears after every piece.
void verifyDataMd5(ByteSource& file, WaveDetails& d, HashProgress* progress = nullptr);

/// A digest as 32 lower-case hexadecimal digits, in the order md5sum prints it.
void appendDigestHex(std::string& out, const Md5Digest& digest);

}  // namespace pelorin
