// MD5 against the RFC 1321 test suite and OpenSSL on random inputs.
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "md5.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32 {
namespace {

std::string hex(const uint8_t* bytes, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

TEST(Md5, Rfc1321TestSuite) {
  const std::pair<const char*, const char*> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, expected] : suite) {
    uint8_t digest[16];
    EXPECT_EQ(md5_buffer(text, std::strlen(text), digest), 1);
    EXPECT_EQ(hex(digest, 16), expected) << text;

    // The exported streaming form, fed one byte at a time, agrees and clears
    // its context.
    SkMd5Context context;
    MD5Init(&context);
    for (const char* p = text; *p != 0; ++p) MD5Update(&context, p, 1);
    uint8_t streamed[16];
    MD5Final(streamed, &context);
    EXPECT_EQ(hex(streamed, 16), expected) << text;
    EXPECT_EQ(context.state[0], 0u);
  }
}

TEST(Md5, MatchesOpenSslOnRandomInputsInRandomPieces) {
  std::mt19937 random(1321);
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> data(random() % 5000);
    for (auto& byte : data) byte = uint8_t(random());
    uint8_t reference[16];
    unsigned int size = 0;
    ASSERT_EQ(EVP_Digest(data.data(), data.size(), reference, &size, EVP_md5(), nullptr), 1);

    SkMd5Context context;
    MD5Init(&context);
    for (std::size_t at = 0; at < data.size();) {
      std::size_t piece = std::min<std::size_t>(data.size() - at, random() % 200);
      MD5Update(&context, data.data() + at, uint32_t(piece));
      at += piece;
    }
    uint8_t digest[16];
    MD5Final(digest, &context);
    ASSERT_EQ(hex(digest, 16), hex(reference, 16)) << "length " << data.size();
  }
}

}  // namespace
}  // namespace kelda::sekura32
