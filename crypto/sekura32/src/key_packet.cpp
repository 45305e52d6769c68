// Key packets read into user records.
#include "key_packet.h"

#include <cstring>

#include "frame.h"
#include "md5.h"
#include "mp.h"

namespace kelda::sekura32 {
namespace {

constexpr uint32_t kFieldRoom = mp::kMaxWords * 4 + 2;
constexpr uint8_t kAlgorithmRsa = 1;

// A mp view of a record number.
mp::ConstNumber view(const uint32_t* x, uint32_t words) { return mp::ConstNumber(x, x != nullptr ? words : 0); }

// p1 * p2 must be n; then d1 = d mod (p1 - 1) and d2 = d mod (p2 - 1).
uint32_t check_and_derive(UserRecord& user) {
  uint32_t words = SK_USER_WORDS(user.bits);
  mp::Word product[mp::kMaxDoubleWords] = {}, p1m[mp::kMaxWords + 1] = {}, p2m[mp::kMaxWords + 1] = {};
  uint32_t result = SK_KEY_TOO_LARGE;
  if (mp::multiply(mp::Number(product), view(user.p1, words), view(user.p2, words)) == 0 &&
      mp::compare(mp::ConstNumber(product), view(user.n, words)) == 0 && mp::copy(p1m, view(user.p1, words)) == 0 &&
      mp::copy(p2m, view(user.p2, words)) == 0 && !mp::is_zero(p1m) && !mp::is_zero(p2m)) {
    mp::subtract_word(p1m, 1);
    mp::subtract_word(p2m, 1);
    user.d1 = mp::allocate(words);
    user.d2 = mp::allocate(words);
    if (user.d1 == nullptr || user.d2 == nullptr)
      result = SK_NO_MEMORY;
    else if (mp::reduce_into(mp::Number(user.d1, words), view(user.d, words), p1m) == 0 &&
             mp::reduce_into(mp::Number(user.d2, words), view(user.d, words), p2m) == 0)
      result = SK_OK;
  }
  wipe(product, sizeof product);
  wipe(p1m, sizeof p1m);
  wipe(p2m, sizeof p2m);
  return result;
}

}  // namespace

void password_digest(const char* password, uint8_t digest[16]) noexcept {
  std::memset(digest, 0, 16);
  if (password == nullptr || password[0] == '\0') return;
  SkMd5Context md5;
  md5_init(md5);
  md5_update(md5, reinterpret_cast<const uint8_t*>(password), std::strlen(password));
  md5_final(digest, md5);
}

uint32_t KeyPacketReader::read_public(SkStream* stream, UserRecord& user) noexcept {
  int32_t length = 0;
  uint32_t result = read_packet_header(stream, &type_, &length, nullptr);
  if (result >= 16) return result;
  if (type_ != kPacketSecretKey && type_ != kPacketPublicKey) return SK_KEY_TOO_LARGE;
  remaining_ = length;
  uint8_t head[8];
  if (remaining_ != kLengthToEnd && remaining_ < int32_t(sizeof head)) return SK_BAD_FORMAT;
  if ((result = read_exact(stream, head, sizeof head)) >= 16) return result;
  if (remaining_ != kLengthToEnd) remaining_ -= int32_t(sizeof head);
  version_ = head[0];
  if (version_ < 2 || version_ > 4) return kUnsupportedKeyVersion;
  if (head[7] != kAlgorithmRsa) return SK_KEY_TOO_LARGE;
  user.time = uint32_t(head[1]) << 24 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 8 | head[4];
  uint8_t room[kFieldRoom];
  constexpr uint32_t kWidest = SK_USER_WORDS(mp::kMaxBits);
  result = read_number_field(stream, &user.n, kWidest, nullptr, nullptr, &remaining_, room, sizeof room);
  if (result >= 16) return result;
  uint32_t bits = uint32_t(mp::bit_length(mp::ConstNumber(user.n, kWidest)));
  if (bits < kMinReadKeyBits || bits > mp::kMaxBits) return SK_KEY_TOO_LARGE;
  user.bits = bits;
  for (int k = 0; k < 8; ++k) user.keyId[k] = uint8_t(user.n[(7 - k) / 4] >> (8 * ((7 - k) % 4)));
  return read_number_field(stream, &user.e, SK_USER_WORDS(bits), nullptr, nullptr, &remaining_, room, sizeof room);
}

uint32_t KeyPacketReader::read_protection(SkStream* stream, bool* protected_key) noexcept {
  if (!secret()) return SK_BAD_HANDLE;
  if (remaining_ != kLengthToEnd && remaining_ < 1) return SK_BAD_FORMAT;
  uint32_t result = read_exact(stream, &protection_, 1);
  if (result >= 16) return result;
  if (remaining_ != kLengthToEnd) --remaining_;
  if (protection_ > 1) return SK_BAD_PROTECTION;
  if (protection_ == 1 && version_ == 3) {
    if (remaining_ != kLengthToEnd && remaining_ < 8) return SK_BAD_FORMAT;
    if ((result = read_exact(stream, start_, 8)) >= 16) return result;
    if (remaining_ != kLengthToEnd) remaining_ -= 8;
  }
  if (protected_key != nullptr) *protected_key = protection_ == 1;
  return SK_OK;
}

uint32_t KeyPacketReader::open_secret(SkStream* stream, UserRecord& user, const uint8_t password_digest[16]) noexcept {
  KeyProtection protection;
  if (protection_ == 1) {
    uint8_t zero[16] = {};
    const uint8_t* key = password_digest != nullptr ? password_digest : zero;
    if (version_ == 3)
      protection.use_idea(key, start_);
    else
      protection.use_table(key);
  }
  uint32_t words = SK_USER_WORDS(user.bits);
  uint8_t room[kFieldRoom];
  uint16_t sum = 0;
  uint32_t result = SK_OK;
  for (uint32_t** field : {&user.d, &user.p1, &user.p2, &user.u}) {
    result = read_number_field(stream, field, words, protection_ == 1 ? &protection : nullptr, &sum, &remaining_,
                               room, sizeof room);
    // A wrong password deciphers to garbage that may not even fit.
    if (result == SK_KEY_TOO_LARGE && protection_ == 1) result = SK_WRONG_PASSWORD;
    if (result >= 16) return result;
  }
  if (remaining_ != kLengthToEnd && remaining_ < 2) return SK_BAD_FORMAT;
  uint32_t stored = 0;
  if ((result = read_int(stream, &stored, 2)) >= 16) return result;
  if (remaining_ != kLengthToEnd) remaining_ -= 2;
  if (stored != sum) return protection_ == 1 ? SK_WRONG_PASSWORD : SK_KEY_TOO_LARGE;
  return check_and_derive(user);
}

uint32_t read_key_packet(const uint8_t* packet, uint32_t length, UserRecord& user, const uint8_t* password_digest,
                         bool open_secret) noexcept {
  if (packet == nullptr) return SK_BAD_ARGUMENT;
  skBurnUser(&user);
  skIniUser(&user);
  SkStream* stream = skMemStream(const_cast<uint8_t*>(packet), length, length, nullptr);
  if (stream == nullptr) return SK_NO_MEMORY;
  uint32_t saved = thread_status();
  thread_status() = SK_BAD_FORMAT;
  KeyPacketReader reader;
  uint32_t result = reader.read_public(stream, user);
  if (result < 16 && open_secret) {
    if (!reader.secret()) result = SK_BAD_HANDLE;
    if (result < 16) result = reader.read_protection(stream, nullptr);
    if (result < 16) result = reader.open_secret(stream, user, password_digest);
  }
  thread_status() = saved;
  stream->close(stream);
  return result;
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t skFingerPrint(uint8_t* digest, SkStream* packet) {
  if (digest == nullptr || packet == nullptr) return SK_BAD_ARGUMENT;
  UserRecord user;
  skIniUser(&user);
  uint32_t saved = thread_status();
  thread_status() = SK_BAD_FORMAT;
  KeyPacketReader reader;
  uint32_t result = reader.read_public(packet, user);
  thread_status() = saved;
  if (result < 16) {
    uint8_t bytes[mp::kMaxWords * 4];
    SkMd5Context md5;
    md5_init(md5);
    uint32_t words = SK_USER_WORDS(user.bits);
    for (const uint32_t* x : {user.n, user.e}) {
      std::size_t bits = mp::bit_length(mp::ConstNumber(x, words));
      std::size_t count = (bits + 7) / 8;
      mp::to_bytes(bytes, count, mp::ConstNumber(x, words));
      md5_update(md5, bytes, count);
    }
    md5_final(digest, md5);
  }
  skBurnUser(&user);
  return result;
}

SK_API uint32_t skFngPrint(uint8_t* digest, uint32_t digest_size, const void* packet, uint32_t length) {
  if (digest == nullptr || packet == nullptr) return SK_BAD_ARGUMENT;
  if (digest_size < 16) return 263;
  SkStream* stream = skMemStream(const_cast<void*>(packet), length, length, nullptr);
  if (stream == nullptr) return SK_NO_MEMORY;
  uint32_t result = skFingerPrint(digest, stream);
  stream->close(stream);
  return result;
}
