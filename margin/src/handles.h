// 32-bit handles for rule sets, written into a portfolio row's binding word.
//
// A handle packs a slot index (low 20 bits) and the slot's generation (high 12
// bits, never 0, so no handle is 0). Releasing a slot bumps its generation, so
// a row that still holds an old handle resolves to nothing; a slot whose
// generation is used up is retired rather than reused, so a handle is never
// given out twice. Not thread-safe: the library's lock covers every use.
#pragma once

#include <cstdint>

#include "memory.h"

namespace kelda::margin {

struct RuleSet;

class HandleTable {
 public:
  static constexpr uint32_t kIndexBits = 20;
  static constexpr uint32_t kMaxSlots = 1u << kIndexBits;
  static constexpr uint32_t kMaxGeneration = (1u << (32 - kIndexBits)) - 1;

  HandleTable() = default;
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // A new handle for set, or 0 when every slot is in use. Throws std::bad_alloc.
  uint32_t acquire(RuleSet* set);
  void release(uint32_t handle) noexcept;
  // The set a handle names, or null for 0, a released or a malformed handle.
  RuleSet* resolve(uint32_t handle) const noexcept;
  uint32_t live_count() const noexcept { return live_; }
  // Forgets every slot and gives back their memory (no set may hold a handle).
  void reset() noexcept;

 private:
  struct Slot {
    RuleSet* set = nullptr;
    uint32_t generation = 1;
  };
  Vec<Slot> slots_;
  Vec<uint32_t> free_;  // capacity kept at slots_.size(), so release never allocates
  uint32_t live_ = 0;
};

}  // namespace kelda::margin
