// The per-thread random pool: 256 bytes into which outside bytes are mixed by
// exclusive-or, stirred with the MD5 block transform used as a block cipher in
// cipher-feedback mode, with three entropy estimates (levels 0..2) in bits.
//
// Every pool starts from 256 bytes of the operating system's random source
// (getrandom), and its estimates count only what was credited: those 2048
// bits when the source answered, nothing when it did not.
//
// Threading: a pool belongs to its thread (frame.h: thread_random_pool()).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelda::sekura32 {

struct IdeaCfbContext;

class RandomPool {
 public:
  static constexpr std::size_t kSize = 256;
  static constexpr int32_t kMaxEntropy = 2048;

  RandomPool() noexcept;
  ~RandomPool();
  RandomPool(const RandomPool&) = delete;
  RandomPool& operator=(const RandomPool&) = delete;

  // Mixes bytes in and credits `bits` (n * 8 when negative) to the levels
  // 0..min(level, 2).
  void add(const uint8_t* bytes, std::size_t n, int32_t bits, uint32_t level) noexcept;
  // Takes n bytes (stirring at the end of the pool and once after the last
  // byte), debits every estimate by `bits` (n * 8 when negative), stirs again.
  void take(uint8_t* out, std::size_t n, int32_t bits) noexcept;
  // Enciphers the pool in place with a copy of an IDEA-CFB context.
  void encrypt(const IdeaCfbContext& context) noexcept;

  int32_t entropy(uint32_t level) const noexcept { return entropy_[level > 2 ? 2 : level]; }
  bool seed_read() const noexcept { return seed_read_; }
  void mark_seed_read() noexcept { seed_read_ = true; }
  const uint8_t* bytes() const noexcept { return pool_; }
  uint32_t take_position() const noexcept { return take_position_; }
  // How many times the pool was stirred (for tests of the stirring rule).
  uint32_t stir_count() const noexcept { return stirs_; }

 private:
  void stir() noexcept;
  void stir_pass() noexcept;
  void take_from_pool(uint8_t* out, std::size_t n, bool stir_at_end) noexcept;

  uint8_t pool_[kSize];
  uint32_t add_position_ = 0;
  uint32_t take_position_ = kSize;
  int32_t entropy_[3] = {0, 0, 0};
  bool seed_read_ = false;
  bool used_ = false;
  uint32_t stirs_ = 0;
};

}  // namespace kelda::sekura32
