// User records and the key packet writer.
#include <cstring>

#include "frame.h"
#include "key_packet.h"
#include "md5.h"
#include "mp.h"
#include "packet.h"

namespace kelda::sekura32 {
namespace {

constexpr uint8_t kKeyVersion = 4;
constexpr uint8_t kAlgorithmRsa = 1;

constexpr uint32_t kFieldRoom = mp::kMaxWords * 4 + 2;

// The packet body: version, time, validity, algorithm, n and e, and for a
// secret key the protection byte, d, p1, p2, u and the checksum.
uint32_t write_key_body(SkStream* body, const UserRecord& user, const char* password, uint8_t* id) {
  uint32_t words = SK_USER_WORDS(user.bits);
  uint8_t room[kFieldRoom];
  uint8_t head[8] = {kKeyVersion,
                     uint8_t(user.time >> 24),
                     uint8_t(user.time >> 16),
                     uint8_t(user.time >> 8),
                     uint8_t(user.time),
                     0,
                     0,
                     kAlgorithmRsa};
  uint32_t result = write_exact(body, head, sizeof head);
  if (result < 16) result = write_number_field(body, user.n, words, nullptr, nullptr, id, nullptr, room, sizeof room);
  if (result < 16) result = write_number_field(body, user.e, words, nullptr, nullptr, nullptr, nullptr, room, sizeof room);
  if (result >= 16 || password == nullptr) return result;
  bool protect = password[0] != '\0';
  KeyProtection protection;
  if (protect) {
    uint8_t digest[16];
    password_digest(password, digest);
    protection.use_table(digest);
    wipe(digest, sizeof digest);
  }
  uint8_t protection_byte = protect ? 1 : 0;
  result = write_exact(body, &protection_byte, 1);
  uint16_t sum = 0;
  for (const uint32_t* number : {user.d, user.p1, user.p2, user.u})
    if (result < 16)
      result = write_number_field(body, number, words, protect ? &protection : nullptr, &sum, nullptr, nullptr, room,
                                  sizeof room);
  if (result < 16) result = write_int(body, sum, 2);
  return result;
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
  SkStream* body = skTempMemStream();
  if (body == nullptr) return SK_NO_MEMORY;
  uint8_t id[8] = {};
  uint32_t result = write_key_body(body, *user, password, id);
  uint32_t header = 0, size = body->count;
  if (result < 16) result = write_packet_header(out, secret ? kPacketSecretKey : kPacketPublicKey, int32_t(size), 2, &header);
  if (result < 16 && body->rewind_read(body) != 0) result = SK_IO_ERROR;
  if (result < 16) result = skCopyStream(body, out, int32_t(size), nullptr);
  body->close(body);
  if (result >= 16) return result;
  if (written != nullptr) *written = header + size;
  if (key_id != nullptr) std::memcpy(key_id, id, 8);
  return SK_OK;
}
