#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tavo::platform {

// SHA-256 from the system's own library: Qt's on Linux, the Windows crypto
// API (BCrypt) on Windows. Never a hash of our own.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Add(std::string_view bytes);
  // Lower-case hex of the digest of everything added since the last Reset;
  // an Add after it begins a new digest.
  std::string HexDigest();
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The digest of `bytes` in lower-case hex.
inline std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Add(bytes);
  return hash.HexDigest();
}

}  // namespace tavo::platform
