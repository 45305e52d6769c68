// RSA key pair generation: two primes of half the asked size with their two
// top bits set (so that the modulus has exactly the asked size), far enough
// apart, e from 17 upward, a self-test through the secret and public
// operations, then the secret and public key packets.
#include <algorithm>
#include <cstring>

#include "frame.h"
#include "mp.h"
#include "rsa.h"

namespace kelda::sekura32 {
namespace {

using mp::ConstNumber;
using mp::Number;
using mp::Word;

constexpr Word kPrimeTestBases[] = {2, 3, 7, 13};
constexpr uint32_t kFirstExponent = 17;

void set_bit(Number x, std::size_t bit) { x[bit / 32] |= Word(1) << (bit % 32); }

// A prime of exactly `bits` bits (its two top bits set) from random bytes,
// stepping by 2 from a random odd start.
uint32_t prime_candidate(Number prime, std::size_t bits, uint32_t attempt, void* progress) {
  mp::set_zero(prime);
  uint8_t bytes[mp::kMaxWords * 4] = {};
  std::size_t count = (bits + 7) / 8;
  uint32_t result = skGetRandomBytes(bytes, uint32_t(count), -1, attempt == 1 ? 2 : 0);
  if (result < 16) mp::from_bytes(prime, bytes, count);
  wipe(bytes, sizeof bytes);
  if (result >= 16) return result;
  if (bits % 32 != 0) prime[bits / 32] &= (Word(1) << (bits % 32)) - 1;
  for (std::size_t k = bits / 32 + (bits % 32 != 0 ? 1 : 0); k < prime.size(); ++k) prime[k] = 0;
  set_bit(prime, 0);
  set_bit(prime, bits - 1);
  set_bit(prime, bits - 2);
  for (;;) {
    int divisor = mp::trial_division(prime, progress);
    if (divisor < 0) return SK_CANCELLED;
    if (divisor == 0) {
      int verdict = mp::strong_test(prime, kPrimeTestBases, std::size(kPrimeTestBases), progress);
      if (verdict < 0) return SK_CANCELLED;
      if (verdict == 0) return SK_OK;
    }
    if (mp::add_word(prime, 2) != 0 || mp::bit_length(prime) > bits) return SK_KEYGEN_FAILED;
  }
}

// The numbers of a key under construction: `words` words each, on the stack,
// wiped on destruction.
struct KeyNumbers {
  explicit KeyNumbers(std::size_t w) : words(w) {}
  ~KeyNumbers() { wipe(this, sizeof *this); }
  std::size_t words;
  Word p1[mp::kMaxWords] = {}, p2[mp::kMaxWords] = {}, n[mp::kMaxWords] = {}, e[mp::kMaxWords] = {};
  Word d[mp::kMaxWords] = {}, u[mp::kMaxWords] = {}, d1[mp::kMaxWords] = {}, d2[mp::kMaxWords] = {};
  Number of(Word* x) { return Number(x, words); }
  RsaKey view(uint32_t bits) {
    RsaKey key{of(n), of(e), of(d), of(p1), of(p2), of(u), of(d1), of(d2)};
    key.bits = bits;
    return key;
  }
};

// Draws the two primes until they are at least 2^(half - 7) apart.
uint32_t draw_primes(KeyNumbers& key, std::size_t half, void* progress) {
  Word t[mp::kMaxWords] = {};
  for (uint32_t attempt = 1;; ++attempt) {
    if (progress != nullptr && tick_cancelled(progress, ":")) return SK_CANCELLED;
    if (uint32_t r = prime_candidate(key.of(key.p1), half, attempt, progress); r >= 16) return r;
    if (uint32_t r = prime_candidate(key.of(key.p2), half, attempt, progress); r >= 16) return r;
    if (mp::compare(key.of(key.p1), key.of(key.p2)) > 0) std::swap(key.p1, key.p2);
    mp::copy(Number(t, key.words), key.of(key.p2));
    mp::subtract(Number(t, key.words), key.of(key.p1));
    bool far_apart = mp::bit_length(ConstNumber(t, key.words)) > half - 7;
    wipe(t, sizeof t);
    if (far_apart) return SK_OK;
  }
}

// n, e, d, d1, d2 and u from the two primes.
uint32_t derive_key(KeyNumbers& key) {
  std::size_t w = key.words;
  Word p1m[mp::kMaxWords] = {}, p2m[mp::kMaxWords] = {}, g[mp::kMaxWords] = {}, l[mp::kMaxWords] = {};
  Word product[mp::kMaxDoubleWords] = {};
  uint32_t result = SK_KEYGEN_FAILED;
  mp::copy(Number(p1m, w), key.of(key.p1));
  mp::copy(Number(p2m, w), key.of(key.p2));
  mp::subtract_word(Number(p1m, w), 1);
  mp::subtract_word(Number(p2m, w), 1);
  bool ok = mp::extended_gcd(Number(g, w), {}, ConstNumber(p1m, w), ConstNumber(p2m, w)) != 0 &&
            mp::multiply(Number(product), ConstNumber(p1m, w), ConstNumber(p2m, w)) == 0 &&
            mp::reduce(Number(product), ConstNumber(g, w), Number(l, w)) == 0 && mp::is_zero(Number(product));
  if (ok) {
    mp::set_word(key.of(key.e), kFirstExponent);
    int inverse = 1;
    while ((inverse = mp::modular_inverse(key.of(key.d), key.of(key.e), ConstNumber(l, w))) == 1)
      if (mp::add_word(key.of(key.e), 1) != 0) break;
    ok = inverse == 0 && mp::multiply(key.of(key.n), key.of(key.p1), key.of(key.p2)) == 0 &&
         mp::reduce_into(key.of(key.d1), key.of(key.d), ConstNumber(p1m, w)) == 0 &&
         mp::reduce_into(key.of(key.d2), key.of(key.d), ConstNumber(p2m, w)) == 0 &&
         mp::modular_inverse(key.of(key.u), key.of(key.p1), key.of(key.p2)) == 0;
    if (ok) result = SK_OK;
  }
  for (Word* x : {p1m, p2m, g, l}) wipe(x, mp::kMaxWords * sizeof(Word));
  wipe(product, sizeof product);
  return result;
}

// A random block of one byte less than the modulus through the secret and
// the public operation must come back unchanged.
uint32_t self_test(KeyNumbers& key, uint32_t bits) {
  uint8_t block[160] = {}, copy[160] = {};
  uint32_t count = (bits + 7) / 8 - 1;
  uint32_t result = skGetRandomBytes(block, count, 0, 0);
  if (result < 16) {
    if (block[0] == 0 && block[1] == 0 && block[2] == 0 && block[3] == 0) block[0] = 1;
    uint32_t expected = count;
    while (expected > 0 && block[count - expected] == 0) --expected;
    std::memcpy(copy, block + count - expected, expected);
    uint32_t n = count;
    RsaKey view = key.view(bits);
    result = rsa_secret(block, &n, sizeof block, nullptr, view);
    if (result < 16) result = rsa_public(block, &n, sizeof block, nullptr, view);
    if (result < 16 && (n != expected || std::memcmp(block, copy, n) != 0)) result = SK_KEYGEN_FAILED;
    if (result >= 16 && result != SK_NO_MEMORY) result = SK_KEYGEN_FAILED;
  }
  wipe(block, sizeof block);
  wipe(copy, sizeof copy);
  return result;
}

// Copies the key into a user record (numbers from the library allocator).
uint32_t fill_record(UserRecord& user, KeyNumbers& key, uint32_t bits, const char* name) {
  user.bits = bits;
  user.time = time_now();
  user.userId = -1;
  std::size_t words = SK_USER_WORDS(bits);
  std::pair<uint32_t**, Word*> fields[] = {{&user.n, key.n},   {&user.e, key.e},   {&user.d, key.d},
                                           {&user.p1, key.p1}, {&user.p2, key.p2}, {&user.u, key.u},
                                           {&user.d1, key.d1}, {&user.d2, key.d2}};
  for (auto [field, source] : fields) {
    *field = mp::allocate(words);
    if (*field == nullptr) return SK_NO_MEMORY;
    mp::copy(Number(*field, words), ConstNumber(source, key.words));
  }
  if (name != nullptr) {
    std::size_t length = std::strlen(name);
    user.name = static_cast<char*>(skMalloc(length + 1));
    if (user.name == nullptr) return SK_NO_MEMORY;
    std::memcpy(user.name, name, length + 1);
  }
  return SK_OK;
}

uint32_t generate(UserRecord& user, uint32_t bits, const char* name, void* progress) {
  KeyNumbers key(mp::words_for_bits(bits));
  skCheckRandomBytes(16, 2);
  uint32_t result = draw_primes(key, bits / 2, progress);
  if (result < 16) result = derive_key(key);
  if (result < 16 && mp::bit_length(key.of(key.n)) != bits) result = SK_KEYGEN_FAILED;
  if (result < 16) result = self_test(key, bits);
  if (result < 16) result = fill_record(user, key, bits, name);
  return result;
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t skGenKey(uint8_t* key_id, uint32_t* time, uint32_t* size, SkStream* secret_out,
                         SkStream* public_out, const char* name, void* progress) {
  uint32_t bits = size != nullptr ? *size : SK_MIN_KEY_BITS;
  if (bits < SK_MIN_KEY_BITS || bits > SK_MAX_KEY_BITS || bits % 2 != 0) return SK_BAD_ARGUMENT;
  if (secret_out == nullptr || public_out == nullptr) return SK_BAD_ARGUMENT;
  UserRecord user;
  skIniUser(&user);
  uint32_t result = generate(user, bits, name, progress);
  uint8_t secret_id[8] = {}, public_id[8] = {};
  // The call has no password: the secret packet is written unprotected, and
  // the caller that owns secret_out decides where it is kept.
  if (result < 16) result = skPackUser(&user, "", secret_out, nullptr, secret_id);
  if (result < 16) result = skPackUser(&user, nullptr, public_out, nullptr, public_id);
  if (result < 16 && std::memcmp(secret_id, public_id, 8) != 0) result = SK_BAD_ARGUMENT;
  if (result < 16) {
    if (key_id != nullptr) std::memcpy(key_id, secret_id, 8);
    if (time != nullptr) *time = user.time;
    if (size != nullptr) *size = bits;
  }
  skBurnUser(&user);
  return result;
}
