// Signature and session-key blocks: round trips at the sizes around their
// limits, the padded signature checked with OpenSSL's BN, small keys refused
// at the signer and sender, and hand-made damaged blocks refused.
#include <openssl/bn.h>

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "key_packet.h"
#include "message_blocks.h"

namespace kelda::sekura32 {
namespace {

struct Key {
  explicit Key(uint32_t bits) {
    skIniUser(&user);
    SkStream* s = skTempMemStream();
    SkStream* p = skTempMemStream();
    EXPECT_EQ(skGenKey(nullptr, nullptr, &bits, s, p, nullptr, nullptr), SK_OK);
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    skLookMemStream(s, &buffer, nullptr, &length, nullptr);
    EXPECT_EQ(read_key_packet(buffer, length, user, nullptr, true), SK_OK);
    s->close(s);
    p->close(p);
  }
  ~Key() { skBurnUser(&user); }
  RsaKey rsa() const { return rsa_key_of(user); }
  UserRecord user;
};

const uint8_t kDigestInfo[18] = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                 0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

// "Signs" any plain block with the key's secret operation.
std::vector<uint8_t> raw_sign(const Key& key, std::vector<uint8_t> plain) {
  uint8_t block[kMaxBlock] = {};
  std::memcpy(block, plain.data(), plain.size());
  uint32_t count = uint32_t(plain.size());
  EXPECT_EQ(rsa_secret(block, &count, kMaxBlock, nullptr, key.rsa()), SK_OK);
  return std::vector<uint8_t>(block, block + count);
}

std::vector<uint8_t> raw_seal(const Key& key, std::vector<uint8_t> plain) {
  uint8_t block[kMaxBlock] = {};
  std::memcpy(block, plain.data(), plain.size());
  uint32_t count = uint32_t(plain.size());
  EXPECT_EQ(rsa_public(block, &count, kMaxBlock, nullptr, key.rsa()), SK_OK);
  return std::vector<uint8_t>(block, block + count);
}

TEST(SignatureBlock, RoundTripsAroundThePaddingLimitAndMatchesPkcs1) {
  uint8_t digest[16];
  for (int k = 0; k < 16; ++k) digest[k] = uint8_t(0x11 * (k + 1) >> 1);
  for (uint32_t bits : {296u, 304u, 512u, 1024u}) {
    SCOPED_TRACE(bits);
    Key key(bits);
    uint8_t block[kMaxBlock];
    uint32_t count = 0;
    ASSERT_EQ(make_signature_block(key.rsa(), digest, block, &count), SK_OK);
    EXPECT_EQ(check_signature_block(key.rsa(), block, count, digest, digest), SK_OK);
    uint8_t other[16];
    std::memcpy(other, digest, 16);
    other[15] ^= 1;
    EXPECT_EQ(check_signature_block(key.rsa(), block, count, other, other), kSignatureMismatch);
    const uint8_t wrong_check[2] = {uint8_t(digest[0] ^ 1), digest[1]};
    EXPECT_EQ(check_signature_block(key.rsa(), block, count, digest, wrong_check), kSignatureMismatch);
    if (bits < 304) continue;
    // The padded block, recovered with OpenSSL's BN: 00 01 FF.. 00 DigestInfo digest.
    uint8_t bytes[kMaxBlock];
    std::size_t n_bytes = mp::to_bytes(bytes, sizeof bytes, key.rsa().n);
    n_bytes = (n_bytes + 7) / 8;
    std::unique_ptr<BIGNUM, decltype(&BN_free)> n(BN_bin2bn(bytes, int(n_bytes), nullptr), BN_free),
        e(BN_new(), BN_free), s(BN_bin2bn(block, int(count), nullptr), BN_free), m(BN_new(), BN_free);
    BN_set_word(e.get(), key.user.e[0]);
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    ASSERT_EQ(BN_mod_exp(m.get(), s.get(), e.get(), n.get(), ctx.get()), 1);
    std::vector<uint8_t> expected(n_bytes, 0xFF);
    expected[0] = 0;
    expected[1] = 1;
    std::size_t tail = n_bytes - 34;
    expected[tail - 1] = 0;
    std::memcpy(expected.data() + tail, kDigestInfo, 18);
    std::memcpy(expected.data() + tail + 18, digest, 16);
    std::vector<uint8_t> recovered(n_bytes);
    ASSERT_EQ(BN_bn2binpad(m.get(), recovered.data(), int(n_bytes)), int(n_bytes));
    EXPECT_EQ(recovered, expected);
  }
}

TEST(SignatureBlock, SmallKeysFailAtTheSignerAndBadBlocksAtTheChecker) {
  Key small(128);
  uint8_t block[kMaxBlock];
  uint32_t count = 0;
  uint8_t high[16];
  std::memset(high, 0xFF, sizeof high);  // above any 128-bit modulus
  EXPECT_EQ(make_signature_block(small.rsa(), high, block, &count), SK_BAD_ARGUMENT);
  // The checker compares a bare digest only at its full 16 bytes, and the
  // public operation drops leading zero bytes: such a digest is refused here.
  uint8_t leading_zero[16] = {0x00, 0x02, 0x03};
  EXPECT_EQ(make_signature_block(small.rsa(), leading_zero, block, &count), SK_BAD_ARGUMENT);
  uint8_t low[16] = {0x01, 0x02};
  ASSERT_EQ(make_signature_block(small.rsa(), low, block, &count), SK_OK);
  EXPECT_EQ(check_signature_block(small.rsa(), block, count, low, low), SK_OK);
  // Whatever the digest's first byte, a block the signer makes is one its
  // checker accepts.
  for (int first = 0; first < 256; ++first) {
    uint8_t digest[16];
    for (int k = 0; k < 16; ++k) digest[k] = uint8_t(first * 7 + k * 31 + 5);
    digest[0] = uint8_t(first);
    const uint32_t made = make_signature_block(small.rsa(), digest, block, &count);
    if (made != SK_OK) {
      EXPECT_EQ(made, SK_BAD_ARGUMENT) << first;
      continue;
    }
    EXPECT_EQ(check_signature_block(small.rsa(), block, count, digest, digest), SK_OK) << first;
  }

  Key key(1024);
  uint8_t digest[16] = {0xAB, 0xCD, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  auto padded = [&](std::size_t ff, bool zero, const uint8_t* info, std::size_t extra) {
    std::vector<uint8_t> b = {0x00, 0x01};
    b.insert(b.end(), ff, 0xFF);
    if (zero) b.push_back(0);
    b.insert(b.end(), info, info + 18);
    b.insert(b.end(), digest, digest + 16);
    b.insert(b.end(), extra, 0x00);
    return b;
  };
  uint8_t bad_info[18];
  std::memcpy(bad_info, kDigestInfo, 18);
  bad_info[5] = 0x09;
  struct Case {
    const char* what;
    std::vector<uint8_t> plain;
    uint32_t result;
  };
  const Case cases[] = {
      {"short padding accepted", padded(1, true, kDigestInfo, 0), SK_OK},
      {"no 0xFF", padded(0, true, kDigestInfo, 0), kSignatureMismatch},
      {"no zero after the padding", padded(5, false, kDigestInfo, 0), kSignatureMismatch},
      {"another DigestInfo", padded(5, true, bad_info, 0), kSignatureMismatch},
      {"bytes after the digest", padded(5, true, kDigestInfo, 2), kSignatureMismatch},
      {"21 bytes", {0x00, 0x01, 0xFF, 0x00, 0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                    0x02, 0x05, 0x05, 0x00, 0x04, 0x10},
       kSignatureMismatch},
      {"all 0xFF to the end", std::vector<uint8_t>{0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       kSignatureMismatch},
      {"the digest alone", std::vector<uint8_t>(digest, digest + 16), SK_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> signature = raw_sign(key, c.plain);
    EXPECT_EQ(check_signature_block(key.rsa(), signature.data(), uint32_t(signature.size()), digest, digest),
              c.result);
  }
}

TEST(SessionKeyBlock, TheWholeKeyTravelsOrTheSenderRefuses) {
  uint8_t session[16];
  for (int k = 0; k < 16; ++k) session[k] = uint8_t(200 + k);
  for (uint32_t bits : {192u, 512u, 1024u}) {
    SCOPED_TRACE(bits);
    Key key(bits);
    uint8_t block[kMaxBlock], opened[kMaxSessionKey];
    uint32_t count = 0, length = 0;
    ASSERT_EQ(make_session_key_block(key.rsa(), session, 16, block, &count), SK_OK);
    ASSERT_EQ(open_session_key_block(key.rsa(), block, count, opened, &length), SK_OK);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(0, std::memcmp(opened, session, 16));
  }
  Key small(184);  // 23 bytes: no room for padding, key and sum
  uint8_t block[kMaxBlock];
  uint32_t count = 0;
  EXPECT_EQ(make_session_key_block(small.rsa(), session, 16, block, &count), SK_BAD_ARGUMENT);
  Key tiny(128);
  EXPECT_EQ(make_session_key_block(tiny.rsa(), session, 16, block, &count), SK_BAD_ARGUMENT);
  Key key(512);
  EXPECT_EQ(make_session_key_block(key.rsa(), session, 0, block, &count), SK_BAD_ARGUMENT);
  EXPECT_EQ(make_session_key_block(key.rsa(), session, 17, block, &count), SK_BAD_ARGUMENT);
}

TEST(SessionKeyBlock, HandMadeBlocksAreReadWithinTheirBounds) {
  Key key(512);
  auto block = [](std::size_t padding, std::vector<uint8_t> key_bytes, int sum_delta) {
    std::vector<uint8_t> b = {0x00, 0x02};
    b.insert(b.end(), padding, 0x5A);
    b.push_back(0x00);
    b.push_back(0x01);
    b.insert(b.end(), key_bytes.begin(), key_bytes.end());
    unsigned sum = sum_delta;
    for (uint8_t c : key_bytes) sum += c;
    b.push_back(uint8_t(sum >> 8));
    b.push_back(uint8_t(sum));
    return b;
  };
  std::vector<uint8_t> sixteen(16, 7), seventeen(17, 7), eight = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    const char* what;
    std::vector<uint8_t> plain;
    uint32_t result;
    uint32_t length;
  };
  const Case cases[] = {
      {"16-byte key", block(40, sixteen, 0), SK_OK, 16},
      {"short form without padding", block(0, eight, 0), SK_OK, 8},
      {"key of no bytes", block(40, {}, 0), SK_BAD_FORMAT, 0},
      {"key of 17 bytes", block(40, seventeen, 0), SK_BAD_FORMAT, 0},
      {"wrong sum", block(40, sixteen, 1), SK_BAD_FORMAT, 0},
      {"block type 1", {0x00, 0x01, 0x5A, 0x00, 0x01, 7, 0x00, 0x07}, SK_BAD_FORMAT, 0},
      {"no zero after the padding", std::vector<uint8_t>{0x00, 0x02, 0x5A, 0x5A, 0x5A}, SK_BAD_FORMAT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> sealed = raw_seal(key, c.plain);
    uint8_t opened[kMaxSessionKey];
    uint32_t length = 0;
    EXPECT_EQ(open_session_key_block(key.rsa(), sealed.data(), uint32_t(sealed.size()), opened, &length), c.result);
    if (c.result == SK_OK) {
      EXPECT_EQ(length, c.length);
    }
  }
}

}  // namespace
}  // namespace kelda::sekura32
