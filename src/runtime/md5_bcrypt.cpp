// MD5 through the system's BCrypt (Cryptography API: Next Generation).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <limits>

#include "runtime/md5.h"

namespace pelorin {

namespace {

// One algorithm provider for the process: opening one is slow, and a provider may start hashes
// on any thread at once.
BCRYPT_ALG_HANDLE md5Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{};
    }
    return handle;
  }();
  return provider;
}

}  // namespace

struct Md5::State {
  BCRYPT_HASH_HANDLE handle = nullptr;  // null when the system could not start a hash
  bool failed = false;
};

Md5::Md5() : state_(std::make_unique<State>()) {
  const BCRYPT_ALG_HANDLE provider = md5Provider();
  if (provider == nullptr ||
      !BCRYPT_SUCCESS(BCryptCreateHash(provider, &state_->handle, nullptr, 0, nullptr, 0, 0))) {
    state_->handle = nullptr;
  }
}

Md5::~Md5() {
  if (state_->handle != nullptr) BCryptDestroyHash(state_->handle);
}

void Md5::add(const char* bytes, std::size_t count) {
  if (state_->handle == nullptr) return;
  // BCrypt takes a 32-bit length: longer runs go in pieces.
  while (count > 0 && !state_->failed) {
    const ULONG piece =
        static_cast<ULONG>(std::min<std::size_t>(count, std::numeric_limits<ULONG>::max()));
    auto* input = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes));
    state_->failed = !BCRYPT_SUCCESS(BCryptHashData(state_->handle, input, piece, 0));
    bytes += piece;
    count -= piece;
  }
}

std::optional<Md5Digest> Md5::finish() {
  if (state_->handle == nullptr || state_->failed) return std::nullopt;
  Md5Digest out;
  if (!BCRYPT_SUCCESS(BCryptFinishHash(state_->handle, out.data(), out.size(), 0))) {
    return std::nullopt;
  }
  return out;
}

}  // namespace pelorin
