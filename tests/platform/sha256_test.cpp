// The system's SHA-256 against published test vectors, pieces and reuse.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace tavo::platform {
namespace {

TEST(Sha256, GivesThePublishedDigestsInPiecesAndAfterReuse) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  Sha256 hash;
  const std::string block(1000, 'a');
  for (int n = 0; n < 1000; ++n) hash.Add(block);
  EXPECT_EQ(hash.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(hash.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  hash.Add("a");
  hash.Add("bc");
  EXPECT_EQ(hash.HexDigest(), Sha256Hex("abc"));
  hash.Reset();
  hash.Add(std::string("\0\xff", 2));
  EXPECT_EQ(hash.HexDigest(), Sha256Hex(std::string("\0\xff", 2)));
}

}  // namespace
}  // namespace tavo::platform
