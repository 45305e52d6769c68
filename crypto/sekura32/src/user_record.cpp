// User records and the key packet writer.
#include <cstring>
#include <new>
#include <vector>

#include "frame.h"
#include "md5.h"
#include "mp.h"
#include "packet.h"
#include "table_cipher.h"

namespace kelda::sekura32 {
namespace {

constexpr uint8_t kKeyVersion = 4;
constexpr uint8_t kAlgorithmRsa = 1;

// A byte buffer that wipes itself: it holds key material.
class SecretBytes {
 public:
  ~SecretBytes() {
    if (!bytes_.empty()) wipe(bytes_.data(), bytes_.size());
  }
  void put(const uint8_t* data, std::size_t n) { bytes_.insert(bytes_.end(), data, data + n); }
  void put_int(uint32_t value, int count) {
    for (int k = count - 1; k >= 0; --k) bytes_.push_back(uint8_t(value >> (8 * k)));
  }
  uint8_t* data() { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }
  void reserve(std::size_t n) { bytes_.reserve(n); }

 private:
  std::vector<uint8_t> bytes_;
};

// Appends a number field (16-bit bit count, then its significant bytes); the
// number bytes are enciphered when a cipher is given. Returns the plain
// field's checksum; 272 through *result for a zero number or a record size
// that cannot hold it.
uint16_t put_number_field(SecretBytes& out, const uint32_t* number, uint32_t words, TableCipherContext* cipher,
                          bool* ok) {
  uint8_t bytes[mp::kMaxWords * 4 + 8] = {};
  mp::ConstNumber x(number, words);
  std::size_t bits = mp::bit_length(x);
  std::size_t count = (bits + 7) / 8;
  if (bits == 0 || bits > 0xFFFF || count > sizeof bytes - 2) {
    *ok = false;
    return 0;
  }
  bytes[0] = uint8_t(bits >> 8);
  bytes[1] = uint8_t(bits);
  mp::to_bytes(bytes + 2, count, x);
  uint16_t sum = key_checksum(bytes, uint32_t(count + 2));
  if (cipher != nullptr) table_cipher_apply(*cipher, bytes + 2, count);
  out.put(bytes, count + 2);
  wipe(bytes, sizeof bytes);
  return sum;
}

bool has_secret_part(const UserRecord& user) {
  return user.d != nullptr && user.p1 != nullptr && user.p2 != nullptr && user.u != nullptr;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API void skIniUser(UserRecord* user) {
  if (user == nullptr) return;
  std::memset(user, 0, sizeof *user);
  user->userId = -1;
}

SK_API void skBurnUser(UserRecord* user) {
  if (user == nullptr) return;
  std::size_t words = SK_USER_WORDS(user->bits);
  for (uint32_t** number : {&user->n, &user->e, &user->d, &user->p1, &user->p2, &user->u, &user->d1, &user->d2}) {
    if (*number == nullptr) continue;
    wipe(*number, words * sizeof(uint32_t));
    skFree(*number);
  }
  skFree(user->name);
  skFree(user->extra);
  wipe(user, sizeof *user);
}

SK_API uint32_t skPackUser(const UserRecord* user, const char* password, SkStream* out, uint32_t* written,
                           uint8_t* key_id) {
  if (user == nullptr || out == nullptr || user->n == nullptr || user->e == nullptr) return SK_BAD_ARGUMENT;
  if (user->bits == 0 || user->bits > mp::kMaxBits) return SK_KEY_TOO_LARGE;
  bool secret = password != nullptr;
  if (secret && !has_secret_part(*user)) return SK_BAD_HANDLE;
  uint32_t words = SK_USER_WORDS(user->bits);
  try {
    SecretBytes body;
    body.reserve(16 + 6 * (mp::kMaxWords * 4 + 2));
    body.put(&kKeyVersion, 1);
    body.put_int(user->time, 4);
    body.put_int(0, 2);
    body.put(&kAlgorithmRsa, 1);
    bool ok = true;
    put_number_field(body, user->n, words, nullptr, &ok);
    if (!ok || body.size() < 8 + 2 + 8) return SK_BAD_ARGUMENT;  // the key id needs 8 bytes
    uint8_t id[8];
    std::memcpy(id, body.data() + body.size() - 8, 8);
    put_number_field(body, user->e, words, nullptr, &ok);
    if (secret) {
      TableCipherContext cipher{};
      bool protect = password[0] != '\0';
      if (protect) {
        uint8_t digest[16];
        SkMd5Context md5;
        MD5Init(&md5);
        MD5Update(&md5, password, uint32_t(std::strlen(password)));
        MD5Final(digest, &md5);
        table_cipher_setup(cipher, digest + 4, 6, digest[1], digest[15]);
        wipe(digest, sizeof digest);
      }
      uint8_t protection = protect ? 1 : 0;
      body.put(&protection, 1);
      uint16_t sum = 0;
      for (const uint32_t* number : {user->d, user->p1, user->p2, user->u})
        sum = uint16_t(sum + put_number_field(body, number, words, protect ? &cipher : nullptr, &ok));
      body.put_int(sum, 2);
      wipe(&cipher, sizeof cipher);
    }
    if (!ok) return SK_KEY_TOO_LARGE;
    uint32_t header = 0;
    uint32_t result = write_packet_header(out, secret ? kPacketSecretKey : kPacketPublicKey, int32_t(body.size()),
                                          2, &header);
    if (result < 16) result = write_exact(out, body.data(), uint32_t(body.size()));
    if (result >= 16) return result;
    if (written != nullptr) *written = header + uint32_t(body.size());
    if (key_id != nullptr) std::memcpy(key_id, id, 8);
    return SK_OK;
  } catch (const std::bad_alloc&) {
    return SK_NO_MEMORY;
  }
}
