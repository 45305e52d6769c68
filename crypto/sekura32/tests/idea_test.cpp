// IDEA against its published test vector, and IDEA-CFB with its
// resynchronisation against libgcrypt's CFB mode with sync.
#include <gcrypt.h>

#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "idea.h"

namespace kelda::sekura32 {
namespace {

// libgcrypt's IDEA in CFB mode with OpenPGP resynchronisation, zero start.
class GcryptIdeaCfb {
 public:
  explicit GcryptIdeaCfb(const uint8_t key[16], bool decrypt) : decrypt_(decrypt) {
    static bool ready = [] {
      gcry_check_version(nullptr);
      gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
      return true;
    }();
    (void)ready;
    EXPECT_EQ(gcry_cipher_open(&handle_, GCRY_CIPHER_IDEA, GCRY_CIPHER_MODE_CFB, GCRY_CIPHER_ENABLE_SYNC), 0u);
    EXPECT_EQ(gcry_cipher_setkey(handle_, key, 16), 0u);
    uint8_t zero[8] = {};
    EXPECT_EQ(gcry_cipher_setiv(handle_, zero, 8), 0u);
  }
  ~GcryptIdeaCfb() { gcry_cipher_close(handle_); }

  void run(uint8_t* data, std::size_t n) {
    if (n == 0) return;
    auto error = decrypt_ ? gcry_cipher_decrypt(handle_, data, n, nullptr, 0)
                          : gcry_cipher_encrypt(handle_, data, n, nullptr, 0);
    EXPECT_EQ(error, 0u);
  }
  void sync() { gcry_cipher_sync(handle_); }

 private:
  gcry_cipher_hd_t handle_ = nullptr;
  bool decrypt_;
};

TEST(Idea, PublishedTestVector) {
  const uint8_t key[16] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};
  uint8_t block[8] = {0, 0, 0, 1, 0, 2, 0, 3};
  IdeaCfbContext context;
  idea_cfb_key(context, key);
  idea_encrypt_block(context.subkeys, block);
  const uint8_t expected[8] = {0x11, 0xFB, 0xED, 0x2B, 0x01, 0x98, 0x6D, 0xE5};
  EXPECT_EQ(0, std::memcmp(block, expected, 8));
}

// Random pieces, some followed by a resync, through both implementations in
// both directions; ours must equal libgcrypt's byte for byte.
TEST(IdeaCfb, MatchesLibgcryptInPiecesWithResync) {
  std::mt19937 random(4242);
  for (int round = 0; round < 300; ++round) {
    uint8_t key[16];
    for (auto& byte : key) byte = uint8_t(random());
    std::vector<uint8_t> plain(random() % 300);
    for (auto& byte : plain) byte = uint8_t(random());

    IdeaCfbContext ours_enc, ours_dec;
    idea_cfb_key(ours_enc, key);
    idea_cfb_key(ours_dec, key);
    GcryptIdeaCfb theirs_enc(key, false), theirs_dec(key, true);

    std::vector<uint8_t> cipher(plain.size()), reference = plain, back(plain.size());
    for (std::size_t at = 0; at < plain.size();) {
      std::size_t piece = std::min<std::size_t>(plain.size() - at, random() % 20);
      idea_cfb_encrypt(ours_enc, plain.data() + at, cipher.data() + at, piece);
      theirs_enc.run(reference.data() + at, piece);
      idea_cfb_decrypt(ours_dec, cipher.data() + at, back.data() + at, piece);
      if (random() % 4 == 0) {
        idea_cfb_resync(ours_enc);
        idea_cfb_resync(ours_dec);
        theirs_enc.sync();
      }
      at += piece;
    }
    ASSERT_EQ(cipher, reference) << "round " << round;
    ASSERT_EQ(back, plain) << "round " << round;
  }
}

TEST(IdeaCfb, DecryptAgreesWithLibgcryptDecrypt) {
  std::mt19937 random(7);
  uint8_t key[16];
  for (auto& byte : key) byte = uint8_t(random());
  std::vector<uint8_t> cipher(1000);
  for (auto& byte : cipher) byte = uint8_t(random());
  IdeaCfbContext ours;
  idea_cfb_key(ours, key);
  GcryptIdeaCfb theirs(key, true);
  std::vector<uint8_t> plain(cipher.size()), reference = cipher;
  idea_cfb_decrypt(ours, cipher.data(), plain.data(), 10);
  theirs.run(reference.data(), 10);
  idea_cfb_resync(ours);
  theirs.sync();
  idea_cfb_decrypt(ours, cipher.data() + 10, plain.data() + 10, cipher.size() - 10);
  theirs.run(reference.data() + 10, cipher.size() - 10);
  EXPECT_EQ(plain, reference);
}

TEST(IdeaCfb, ResyncAfterTenBytesMakesTheLastEightCiphertextBytesTheRegister) {
  const uint8_t key[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
  const uint8_t prefix[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  IdeaCfbContext enc, dec;
  idea_cfb_key(enc, key);
  idea_cfb_key(dec, key);
  uint8_t cipher[10], plain[10];
  idea_cfb_encrypt(enc, prefix, cipher, 10);
  EXPECT_EQ(enc.unused, 6u);
  idea_cfb_resync(enc);
  EXPECT_EQ(enc.unused, 0u);
  EXPECT_EQ(0, std::memcmp(enc.register_, cipher + 2, 8));
  idea_cfb_decrypt(dec, cipher, plain, 10);
  idea_cfb_resync(dec);
  EXPECT_EQ(0, std::memcmp(plain, prefix, 10));
  EXPECT_EQ(0, std::memcmp(dec.register_, enc.register_, 8));
  EXPECT_EQ(dec.unused, 0u);

  // With nothing unused a resync changes nothing; a wipe clears everything.
  IdeaCfbContext before = enc;
  idea_cfb_resync(enc);
  EXPECT_EQ(0, std::memcmp(&before, &enc, sizeof enc));
  idea_cfb_wipe(enc);
  IdeaCfbContext zero{};
  EXPECT_EQ(0, std::memcmp(&zero, &enc, sizeof enc));
}

TEST(IdeaCfb, PiecesOfOneSevenAndNineEqualOneCallAndZeroLengthIsANoOp) {
  const uint8_t key[16] = {1};
  std::vector<uint8_t> plain(17);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 13);
  IdeaCfbContext whole, pieces;
  idea_cfb_key(whole, key);
  idea_cfb_key(pieces, key);
  std::vector<uint8_t> a(17), b(17);
  idea_cfb_encrypt(whole, plain.data(), a.data(), 17);
  idea_cfb_encrypt(pieces, plain.data(), b.data(), 0);
  idea_cfb_encrypt(pieces, plain.data(), b.data(), 1);
  idea_cfb_encrypt(pieces, plain.data() + 1, b.data() + 1, 7);
  idea_cfb_encrypt(pieces, plain.data() + 8, b.data() + 8, 9);
  EXPECT_EQ(a, b);
  // In place gives the same.
  IdeaCfbContext in_place;
  idea_cfb_key(in_place, key);
  std::vector<uint8_t> c = plain;
  idea_cfb_encrypt(in_place, c.data(), c.data(), c.size());
  EXPECT_EQ(a, c);
}

}  // namespace
}  // namespace kelda::sekura32
