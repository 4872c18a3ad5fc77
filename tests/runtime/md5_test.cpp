// The digest against the test suite of RFC 1321.
#include "runtime/md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const Md5Digest& d) {
  std::string out;
  char two[3];
  for (std::uint8_t b : d) {
    std::snprintf(two, sizeof two, "%02x", b);
    out += two;
  }
  return out;
}

TEST(Md5, Rfc1321TestSuite) {
  const struct {
    const char* message;
    const char* digest;
  } kCases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : kCases) {
    const std::string m = c.message;
    EXPECT_EQ(Hex(ComputeMd5(reinterpret_cast<const std::uint8_t*>(m.data()), m.size())), c.digest)
        << m;
  }
}

}  // namespace
