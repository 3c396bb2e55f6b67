// MD5 through libgcrypt, linked dynamically as Debian ships it.
#include <gcrypt.h>

#include <algorithm>
#include <cstring>

#include "runtime/md5.h"

namespace pelorin {

namespace {

// libgcrypt must be initialised once before its first use; a function-local static makes the
// first caller do it, whatever the thread.
bool gcryptReady() {
  static const bool ready = [] {
    if (gcry_check_version(GCRYPT_VERSION) == nullptr) return false;
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);  // no secrets here: no locked memory wanted
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  return ready;
}

}  // namespace

struct Md5::State {
  gcry_md_hd_t handle = nullptr;  // null when the library could not start a hash
};

Md5::Md5() : state_(std::make_unique<State>()) {
  if (!gcryptReady() || gcry_md_open(&state_->handle, GCRY_MD_MD5, 0) != 0) {
    state_->handle = nullptr;
  }
}

Md5::~Md5() {
  if (state_->handle != nullptr) gcry_md_close(state_->handle);
}

void Md5::add(const char* bytes, std::size_t count) {
  if (state_->handle != nullptr) gcry_md_write(state_->handle, bytes, count);
}

std::optional<Md5Digest> Md5::finish() {
  if (state_->handle == nullptr) return std::nullopt;
  const unsigned char* digest = gcry_md_read(state_->handle, GCRY_MD_MD5);
  if (digest == nullptr) return std::nullopt;
  Md5Digest out;
  std::memcpy(out.data(), digest, out.size());
  return out;
}

}  // namespace pelorin
