// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <vector>

#include "platform/sha256.h"

namespace tavo::platform {

namespace {

constexpr std::size_t kDigestBytes = 32;

}  // namespace

// One hash object, made again by Reset: BCrypt's objects are not reusable
// after BCryptFinishHash unless made reusable, which older systems lack.
struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<UCHAR> object;
  bool finished = false;
  std::string digest;

  State() {
    BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    DWORD size = 0, got = 0;
    BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&size), sizeof size,
                      &got, 0);
    object.resize(size);
    Begin();
  }
  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  void Begin() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    hash = nullptr;
    BCryptCreateHash(algorithm, &hash, object.data(), static_cast<ULONG>(object.size()), nullptr, 0,
                     0);
    finished = false;
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}
Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) {
  if (state_->finished) Reset();
  // BCryptHashData takes at most 4 GiB at a time.
  while (!bytes.empty()) {
    const std::size_t piece = std::min<std::size_t>(bytes.size(), 1u << 30);
    BCryptHashData(state_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                   static_cast<ULONG>(piece), 0);
    bytes.remove_prefix(piece);
  }
}

std::string Sha256::HexDigest() {
  if (!state_->finished) {
    UCHAR digest[kDigestBytes] = {};
    BCryptFinishHash(state_->hash, digest, sizeof digest, 0);
    static const char* const kDigits = "0123456789abcdef";
    state_->digest.clear();
    for (const UCHAR b : digest) {
      state_->digest += kDigits[b >> 4];
      state_->digest += kDigits[b & 0xf];
    }
    state_->finished = true;
  }
  return state_->digest;
}

void Sha256::Reset() { state_->Begin(); }

}  // namespace tavo::platform
