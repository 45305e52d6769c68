// Signature and session-key blocks.
#include "message_blocks.h"

#include <algorithm>
#include <cstring>

#include "frame.h"

namespace kelda::sekura32 {
namespace {

// DER DigestInfo of MD5, in front of the 16 digest bytes.
constexpr uint8_t kMd5DigestInfo[18] = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                        0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr uint32_t kDigest = 16;
// The shortest padded signature after the public operation (its leading zero
// gone): 1, at least one 0xFF, 0, DigestInfo, digest.
constexpr uint32_t kShortestSignature = 1 + 1 + 1 + sizeof kMd5DigestInfo + kDigest;

uint32_t modulus_bytes(const RsaKey& key) { return (key.bits + 7) / 8; }

uint16_t byte_sum(const uint8_t* bytes, uint32_t n) {
  uint32_t sum = 0;
  for (uint32_t k = 0; k < n; ++k) sum += bytes[k];
  return uint16_t(sum);
}

// A block whose value must stay below the modulus: compares big-endian.
bool below_modulus(const uint8_t* block, uint32_t count, const RsaKey& key) {
  mp::Word x[mp::kMaxWords + 1] = {};
  bool below = mp::from_bytes(mp::Number(x), block, count) == 0 && mp::compare(mp::ConstNumber(x), key.n) < 0;
  wipe(x, sizeof x);
  return below;
}

}  // namespace

RsaKey rsa_key_of(const UserRecord& user) noexcept {
  std::size_t words = SK_USER_WORDS(user.bits);
  auto view = [words](const uint32_t* x) { return x != nullptr ? mp::ConstNumber(x, words) : mp::ConstNumber(); };
  RsaKey key{view(user.n), view(user.e), view(user.d), view(user.p1), view(user.p2), view(user.u), view(user.d1),
             view(user.d2)};
  key.bits = user.bits;
  return key;
}

uint32_t make_signature_block(const RsaKey& signer, const uint8_t digest[16], uint8_t block[kMaxBlock],
                              uint32_t* count) noexcept {
  if (digest == nullptr || block == nullptr || count == nullptr) return SK_BAD_ARGUMENT;
  uint32_t k = modulus_bytes(signer);
  if (k == 0 || k > kMaxBlock) return SK_KEY_TOO_LARGE;
  uint32_t length = 0;
  if (k <= kDigest + 21) {
    // A modulus too short for the padded block signs the digest alone, which
    // must then be below the modulus, or the peer could never check it. The
    // checker compares a bare digest at its full 16 bytes, and the public
    // operation gives no leading zero bytes back: a digest that starts with
    // 0 is refused too.
    std::memcpy(block, digest, kDigest);
    length = kDigest;
    if (digest[0] == 0 || !below_modulus(block, length, signer)) {
      wipe(block, kMaxBlock);
      return SK_BAD_ARGUMENT;
    }
  } else {
    uint32_t padding = k - 3 - sizeof kMd5DigestInfo - kDigest;
    block[0] = 0x00;
    block[1] = 0x01;
    std::memset(block + 2, 0xFF, padding);
    block[2 + padding] = 0x00;
    std::memcpy(block + 3 + padding, kMd5DigestInfo, sizeof kMd5DigestInfo);
    std::memcpy(block + 3 + padding + sizeof kMd5DigestInfo, digest, kDigest);
    length = k;
  }
  uint32_t result = rsa_secret(block, &length, kMaxBlock, nullptr, signer);
  if (result < 16) *count = length;
  return result;
}

uint32_t check_signature_block(const RsaKey& signer, const uint8_t* signature, uint32_t count,
                               const uint8_t digest[16], const uint8_t check[2]) noexcept {
  if (signature == nullptr || digest == nullptr || check == nullptr || count == 0 || count > kMaxBlock)
    return SK_BAD_ARGUMENT;
  if (check[0] != digest[0] || check[1] != digest[1]) return kSignatureMismatch;
  uint8_t block[kMaxBlock];
  std::memcpy(block, signature, count);
  uint32_t length = count;
  uint32_t result = rsa_public(block, &length, kMaxBlock, nullptr, signer);
  if (result < 16) {
    const uint8_t* carried = nullptr;
    if (length == kDigest) {
      carried = block;
    } else if (length >= kShortestSignature && block[0] == 0x01) {
      uint32_t at = 1;
      while (at < length && block[at] == 0xFF) ++at;
      // At least one 0xFF, then 0, then exactly DigestInfo and the digest.
      bool framed = at > 1 && at < length && block[at] == 0x00 &&
                    length - at - 1 == sizeof kMd5DigestInfo + kDigest &&
                    std::memcmp(block + at + 1, kMd5DigestInfo, sizeof kMd5DigestInfo) == 0;
      if (framed) carried = block + at + 1 + sizeof kMd5DigestInfo;
    }
    result = carried != nullptr && std::memcmp(carried, digest, kDigest) == 0 ? SK_OK : kSignatureMismatch;
  }
  wipe(block, sizeof block);
  return result;
}

uint32_t make_session_key_block(const RsaKey& recipient, const uint8_t* key, uint32_t key_length,
                                uint8_t block[kMaxBlock], uint32_t* count) noexcept {
  if (key == nullptr || block == nullptr || count == nullptr || key_length == 0 || key_length > kMaxSessionKey)
    return SK_BAD_ARGUMENT;
  uint32_t k = recipient.bits / 8;
  if (k > kMaxBlock) return SK_KEY_TOO_LARGE;
  // The whole key travels, or the call fails here: a modulus of key length
  // + 7 bytes or less cannot carry it with its padding and sum.
  if (k <= key_length + 7) return SK_BAD_ARGUMENT;
  uint32_t padding = k - key_length - 6;
  block[0] = 0x00;
  block[1] = 0x02;
  uint32_t result = skGetRandomBytes(block + 2, padding, 0, 0);
  for (uint32_t i = 0; result < 16 && i < padding; ++i)
    while (block[2 + i] == 0 && result < 16) result = skGetRandomBytes(block + 2 + i, 1, 0, 0);
  if (result < 16) {
    block[2 + padding] = 0x00;
    block[3 + padding] = 0x01;
    std::memcpy(block + 4 + padding, key, key_length);
    uint16_t sum = byte_sum(key, key_length);
    block[4 + padding + key_length] = uint8_t(sum >> 8);
    block[5 + padding + key_length] = uint8_t(sum);
    uint32_t length = k;
    result = rsa_public(block, &length, kMaxBlock, nullptr, recipient);
    if (result < 16) *count = length;
  }
  if (result >= 16) wipe(block, kMaxBlock);
  return result;
}

uint32_t open_session_key_block(const RsaKey& recipient, const uint8_t* block, uint32_t count,
                                uint8_t key[kMaxSessionKey], uint32_t* key_length) noexcept {
  if (block == nullptr || key == nullptr || key_length == nullptr || count == 0 || count > kMaxBlock)
    return SK_BAD_ARGUMENT;
  uint8_t plain[kMaxBlock];
  std::memcpy(plain, block, count);
  uint32_t length = count;
  uint32_t result = rsa_secret(plain, &length, kMaxBlock, nullptr, recipient);
  if (result < 16) {
    // 2, non-zero padding (possibly none), 0, 1, key, 16-bit sum.
    result = SK_BAD_FORMAT;
    uint32_t at = 1;
    if (length >= 1 && plain[0] == 0x02) {
      while (at < length && plain[at] != 0x00) ++at;
      if (at + 2 < length && plain[at + 1] == 0x01) {
        uint32_t start = at + 2, end = length - 2;
        uint32_t n = end > start ? end - start : 0;
        if (end >= start && n >= 1 && n <= kMaxSessionKey &&
            byte_sum(plain + start, n) == uint16_t(plain[end] << 8 | plain[end + 1])) {
          std::memcpy(key, plain + start, n);
          *key_length = n;
          result = SK_OK;
        }
      }
    }
  }
  wipe(plain, sizeof plain);
  return result;
}

}  // namespace kelda::sekura32
