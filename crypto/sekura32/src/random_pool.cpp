// The random pool and its exports.
#include "random_pool.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "frame.h"
#include "idea.h"
#include "md5.h"

namespace kelda::sekura32 {
namespace {

// Fills the buffer from the operating system's random source; false when it
// cannot give every byte.
bool system_random(uint8_t* out, std::size_t n) noexcept {
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = getrandom(out + done, n - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += std::size_t(got);
  }
  return true;
}

}  // namespace

RandomPool::RandomPool() noexcept {
  std::memset(pool_, 0, sizeof pool_);
  uint8_t seed[kSize];
  if (system_random(seed, sizeof seed)) add(seed, sizeof seed, -1, 2);
  wipe(seed, sizeof seed);
  // The first draw stirs before it takes anything.
  take_position_ = kSize;
}

RandomPool::~RandomPool() { wipe(pool_, sizeof pool_); }

void RandomPool::add(const uint8_t* bytes, std::size_t n, int32_t bits, uint32_t level) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    pool_[add_position_++] ^= bytes[i];
    if (add_position_ == kSize) {
      stir();
      add_position_ = 0;
    }
  }
  stir();
  int64_t credit = bits < 0 ? int64_t(n) * 8 : bits;
  for (uint32_t l = 0; l <= std::min<uint32_t>(level, 2); ++l)
    entropy_[l] = int32_t(std::min<int64_t>(kMaxEntropy, entropy_[l] + credit));
}

void RandomPool::take(uint8_t* out, std::size_t n, int32_t bits) noexcept {
  used_ = true;
  take_from_pool(out, n, true);
  int64_t debit = bits < 0 ? int64_t(n) * 8 : bits;
  for (int32_t& estimate : entropy_) estimate = estimate < debit ? 0 : int32_t(estimate - debit);
  stir();
}

void RandomPool::encrypt(const IdeaCfbContext& context) noexcept {
  IdeaCfbContext copy = context;
  idea_cfb_encrypt(copy, pool_, pool_, kSize);
  idea_cfb_wipe(copy);
}

void RandomPool::take_from_pool(uint8_t* out, std::size_t n, bool stir_at_end) noexcept {
  while (n > kSize - take_position_) {
    std::size_t left = kSize - take_position_;
    if (out != nullptr) {
      std::memcpy(out, pool_ + take_position_, left);
      out += left;
    }
    n -= left;
    if (stir_at_end) stir();
    take_position_ = 0;
  }
  if (out != nullptr) std::memcpy(out, pool_ + take_position_, n);
  take_position_ += uint32_t(n);
  if (stir_at_end) stir();
}

void RandomPool::stir() noexcept {
  ++stirs_;
  stir_pass();
  stir_pass();
}

// One pass: a 64-byte key block taken from the pool, then each 16-byte pool
// block XORed with MD5-transform(feedback, key), the result feeding the next.
void RandomPool::stir_pass() noexcept {
  uint8_t key[64];
  take_from_pool(key, sizeof key, false);
  uint32_t feedback[4];
  std::memcpy(feedback, pool_ + kSize - 16, 16);
  for (std::size_t block = 0; block < kSize / 16; ++block) {
    uint32_t state[4] = {feedback[0], feedback[1], feedback[2], feedback[3]};
    md5_transform(state, key);
    // The state's words as bytes, little-endian like the digest.
    uint8_t out[16];
    for (int w = 0; w < 4; ++w)
      for (int b = 0; b < 4; ++b) out[4 * w + b] = uint8_t(state[w] >> (8 * b));
    uint8_t* target = pool_ + 16 * block;
    for (int b = 0; b < 16; ++b) target[b] ^= out[b];
    std::memcpy(feedback, target, 16);
    wipe(out, sizeof out);
    wipe(state, sizeof state);
  }
  wipe(key, sizeof key);
  wipe(feedback, sizeof feedback);
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

extern "C" {

SK_API uint32_t skSetRandomBytes(const void* bytes, uint32_t n, int32_t bits, uint32_t level) {
  RandomPool* pool = thread_random_pool();
  if (pool == nullptr) return SK_NO_MEMORY;
  if (bytes == nullptr && n != 0) return SK_BAD_ARGUMENT;
  pool->add(static_cast<const uint8_t*>(bytes), n, bits, level);
  return SK_OK;
}

SK_API uint32_t skGetRandomBytes(void* out, uint32_t n, int32_t bits, uint32_t) {
  RandomPool* pool = thread_random_pool();
  if (pool == nullptr) return SK_NO_MEMORY;
  if (out == nullptr && n != 0) return SK_BAD_ARGUMENT;
  if (!pool->seed_read()) {
    skReadRandomSeed(nullptr);
    pool->mark_seed_read();
  }
  pool->take(static_cast<uint8_t*>(out), n, bits);
  return SK_OK;
}

SK_API uint32_t skCheckRandomBytes(uint32_t bytes, uint32_t level) {
  RandomPool* pool = thread_random_pool();
  if (pool == nullptr) return SK_NO_MEMORY;
  if (level > 2 || int64_t(pool->entropy(level)) >= int64_t(bytes) * 8) return SK_OK;
  if (skSettings != nullptr && skSettings[SK_SETTING_RANDOM_SEED] != nullptr)
    skWriteRandomSeed(skSettings[SK_SETTING_RANDOM_SEED], 24, -1);
  return SK_OK;
}

SK_API uint32_t skEncryptRandom(const void* idea_cfb_context) {
  RandomPool* pool = thread_random_pool();
  if (pool == nullptr) return SK_NO_MEMORY;
  if (idea_cfb_context == nullptr) return SK_BAD_ARGUMENT;
  pool->encrypt(*static_cast<const IdeaCfbContext*>(idea_cfb_context));
  return SK_OK;
}

SK_API uint32_t skWriteRandomSeed(const char* path, uint32_t n, int32_t bits) {
  SkStream* stream = path != nullptr ? skFileStream(path) : skHandleStream(1);
  if (stream == nullptr) return skIORet(skIOerror != 0 ? skIOerror : SK_NO_MEMORY);
  stream->rewind_write(stream);
  uint32_t result = skIORet(skIOerror);
  if (result == SK_OK) {
    auto* buffer = static_cast<uint8_t*>(skCalloc(1, n != 0 ? n : 1));
    if (buffer == nullptr) {
      result = SK_NO_MEMORY;
    } else {
      result = skGetRandomBytes(buffer, n, bits, 1);
      if (result == SK_OK && stream->write(stream, buffer, n) != n) result = SK_IO_ERROR;
      wipe(buffer, n);
      skFree(buffer);
    }
  }
  stream->close(stream);
  if (result == SK_OK) result = skIORet(skIOerror);
  return result;
}

SK_API uint32_t skReadRandomSeed(const char*) { return SK_OK; }

SK_API uint32_t skAsynchEvent(uint32_t value) {
  uint32_t& index = skStatNoiseInd[0];
  uint32_t& before_last = skStatNoiseInd[1];
  uint32_t& last = skStatNoiseInd[2];
  index &= 15;
  skStatNoiseDelta[index] = 0;
  skStatNoiseVal[index] = 0;
  index = (index + 1) & 15;
  skStatNoiseInd[3] = 0;
  if (skStatNoiseInd[4] == 0) skStatNoiseInd[4] = 500;
  if (value == last && value == before_last) return SK_OK;
  uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  skSetRandomBytes(bytes, 4, 32, 0);
  before_last = last;
  last = value;
  return SK_OK;
}

}  // extern "C"

