// Key packets read back into user records: generated keys, protected and
// unprotected secret parts, hand-made damaged packets and the fingerprint.
#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "key_packet.h"
#include "mp.h"

namespace kelda::sekura32 {
namespace {

std::vector<uint8_t> bytes_of(SkStream* s) {
  uint8_t* buffer = nullptr;
  uint32_t capacity = 0, length = 0, position = 0;
  skLookMemStream(s, &buffer, &capacity, &length, &position);
  return std::vector<uint8_t>(buffer, buffer + length);
}

struct User {
  User() { skIniUser(&u); }
  ~User() { skBurnUser(&u); }
  UserRecord u;
};

struct Pair {
  std::vector<uint8_t> secret, pub;
  uint8_t id[8] = {};
};

Pair generate(uint32_t bits) {
  Pair p;
  SkStream* s = skTempMemStream();
  SkStream* q = skTempMemStream();
  EXPECT_EQ(skGenKey(p.id, nullptr, &bits, s, q, "Petrov", nullptr), SK_OK);
  p.secret = bytes_of(s);
  p.pub = bytes_of(q);
  s->close(s);
  q->close(q);
  return p;
}

std::vector<uint8_t> pack(const UserRecord& u, const char* password) {
  SkStream* s = skTempMemStream();
  uint32_t written = 0;
  EXPECT_EQ(skPackUser(&u, password, s, &written, nullptr), SK_OK);
  std::vector<uint8_t> bytes = bytes_of(s);
  EXPECT_EQ(written, bytes.size());
  s->close(s);
  return bytes;
}

std::vector<uint32_t> number(const uint32_t* x, uint32_t bits) {
  return x == nullptr ? std::vector<uint32_t>{} : std::vector<uint32_t>(x, x + mp::words_for_bits(bits));
}

void expect_same_key(const UserRecord& a, const UserRecord& b) {
  EXPECT_EQ(a.bits, b.bits);
  EXPECT_EQ(0, std::memcmp(a.keyId, b.keyId, 8));
  for (auto field : {&UserRecord::n, &UserRecord::e, &UserRecord::d, &UserRecord::p1, &UserRecord::p2,
                     &UserRecord::u, &UserRecord::d1, &UserRecord::d2})
    EXPECT_EQ(number(a.*field, a.bits), number(b.*field, b.bits));
}

TEST(KeyPacket, GeneratedKeysReadBackAndRoundTripUnderAPassword) {
  for (uint32_t bits : {128u, 1024u}) {
    SCOPED_TRACE(bits);
    Pair pair = generate(bits);
    User plain, pub;
    ASSERT_EQ(read_key_packet(pair.secret.data(), uint32_t(pair.secret.size()), plain.u, nullptr, true), SK_OK);
    ASSERT_EQ(read_key_packet(pair.pub.data(), uint32_t(pair.pub.size()), pub.u, nullptr, false), SK_OK);
    EXPECT_EQ(plain.u.bits, bits);
    EXPECT_EQ(0, std::memcmp(plain.u.keyId, pair.id, 8));
    EXPECT_EQ(pub.u.d, nullptr);
    EXPECT_EQ(number(pub.u.n, bits), number(plain.u.n, bits));
    EXPECT_EQ(read_key_packet(pair.pub.data(), uint32_t(pair.pub.size()), pub.u, nullptr, true), SK_BAD_HANDLE);

    // Protected with a password: the number bytes change, the right password
    // gives the same key back, a wrong or missing one gives 21.
    std::vector<uint8_t> sealed = pack(plain.u, "correct horse");
    EXPECT_EQ(sealed.size(), pair.secret.size());
    EXPECT_NE(sealed, pair.secret);
    uint8_t good[16], bad[16];
    password_digest("correct horse", good);
    password_digest("wrong horse", bad);
    User opened, refused, missing;
    ASSERT_EQ(read_key_packet(sealed.data(), uint32_t(sealed.size()), opened.u, good, true), SK_OK);
    expect_same_key(opened.u, plain.u);
    EXPECT_EQ(read_key_packet(sealed.data(), uint32_t(sealed.size()), refused.u, bad, true), SK_WRONG_PASSWORD);
    EXPECT_EQ(read_key_packet(sealed.data(), uint32_t(sealed.size()), missing.u, nullptr, true), SK_WRONG_PASSWORD);
    // An empty password writes the secret part in the clear again.
    EXPECT_EQ(pack(opened.u, ""), pair.secret);
    EXPECT_EQ(pack(opened.u, nullptr), pair.pub);
  }
}

// A public key packet by hand: header 0x99 with two length bytes, version,
// time, validity, algorithm, then n and e as given.
std::vector<uint8_t> hand_packet(uint8_t version, uint8_t algorithm, uint32_t n_bits, uint32_t n_bytes) {
  std::vector<uint8_t> body = {version, 0, 0, 0, 100, 0, 0, algorithm, uint8_t(n_bits >> 8), uint8_t(n_bits)};
  body.push_back(0x80);
  body.insert(body.end(), n_bytes - 2, 0x55);
  body.push_back(0x01);
  body.insert(body.end(), {0x00, 0x05, 0x11});
  std::vector<uint8_t> packet = {0x99, uint8_t(body.size() >> 8), uint8_t(body.size())};
  packet.insert(packet.end(), body.begin(), body.end());
  return packet;
}

TEST(KeyPacket, DamagedAndOversizedPacketsAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> packet;
    uint32_t result;
  };
  std::vector<uint8_t> cut = hand_packet(4, 1, 512, 64);
  cut.resize(cut.size() - 3);
  std::vector<uint8_t> trust = {0xB0, 0x01, 0x00};
  const Case cases[] = {
      {"512-bit key", hand_packet(4, 1, 512, 64), SK_OK},
      {"version 2", hand_packet(2, 1, 512, 64), SK_OK},
      {"version 5", hand_packet(5, 1, 512, 64), SK_BAD_KEY_VERSION},
      {"algorithm 2", hand_packet(4, 2, 512, 64), SK_KEY_TOO_LARGE},
      {"1288 bits, above the arithmetic's limit", hand_packet(4, 1, 1288, 161), SK_KEY_TOO_LARGE},
      {"56 bits, no key id", hand_packet(4, 1, 56, 7), SK_KEY_TOO_LARGE},
      {"cut inside e", cut, SK_BAD_FORMAT},
      {"not a key packet", trust, SK_KEY_TOO_LARGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    User u;
    EXPECT_EQ(read_key_packet(c.packet.data(), uint32_t(c.packet.size()), u.u, nullptr, false), c.result);
    if (c.result == SK_OK) {
      EXPECT_EQ(u.u.bits, 512u);
      EXPECT_EQ(u.u.time, 100u);
      EXPECT_EQ(u.u.e[0], 0x11u);
      EXPECT_EQ(u.u.keyId[7], 0x01);
      EXPECT_EQ(u.u.keyId[0], 0x55);
    }
  }
  // An unknown protection byte in a secret packet.
  Pair pair = generate(128);
  User u;
  std::vector<uint8_t> bad = pair.secret;
  // header 3, body head 8, n (2 + 16), e (2 + 1): the protection byte follows.
  bad[3 + 8 + 18 + 3] = 2;
  EXPECT_EQ(read_key_packet(bad.data(), uint32_t(bad.size()), u.u, nullptr, true), SK_BAD_PROTECTION);
}

TEST(KeyPacket, FingerprintIsTheDigestOfModulusAndExponent) {
  std::vector<uint8_t> packet = hand_packet(4, 1, 512, 64);
  uint8_t digest[16] = {}, expected[16] = {};
  ASSERT_EQ(skFngPrint(digest, 16, packet.data(), uint32_t(packet.size())), SK_OK);
  // The magnitude bytes of n (64) and e (1) sit at offsets 13 and 79.
  std::vector<uint8_t> magnitudes(packet.begin() + 13, packet.begin() + 13 + 64);
  magnitudes.push_back(0x11);
  unsigned length = 0;
  EVP_Digest(magnitudes.data(), magnitudes.size(), expected, &length, EVP_md5(), nullptr);
  EXPECT_EQ(0, std::memcmp(digest, expected, 16));
  EXPECT_EQ(skFngPrint(digest, 15, packet.data(), uint32_t(packet.size())), 263u);
}

}  // namespace
}  // namespace kelda::sekura32
