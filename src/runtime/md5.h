#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>

namespace pelorin {

/// An MD5 digest (RFC 1321), its bytes in the order the hash gives them: the order in which
/// md5sum prints them.
using Md5Digest = std::array<unsigned char, 16>;

/// MD5 through the system's own implementation: libgcrypt on Linux (md5_gcrypt.cpp), BCrypt on
/// Windows (md5_bcrypt.cpp), chosen when linking as the file systems are. One hash per object;
/// objects on different threads are independent.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  /// Adds `count` bytes to the message.
  void add(const char* bytes, std::size_t count);

  /// The digest of the bytes added; nothing when the system could not hash (a library that
  /// refuses MD5, as in a FIPS mode). Call once.
  std::optional<Md5Digest> finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pelorin
