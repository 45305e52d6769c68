#include "handles.h"

namespace kelda::margin {

uint32_t HandleTable::acquire(RuleSet* set) {
  uint32_t index = 0;
  if (!free_.empty()) {
    index = free_.back();
    free_.pop_back();
  } else {
    if (slots_.size() >= kMaxSlots) return 0;
    reserve_more(free_, slots_.size() + 1 - free_.size());
    slots_.emplace_back();
    index = static_cast<uint32_t>(slots_.size() - 1);
  }
  Slot& slot = slots_[index];
  slot.set = set;
  ++live_;
  return (slot.generation << kIndexBits) | index;
}

void HandleTable::release(uint32_t handle) noexcept {
  const uint32_t index = handle & (kMaxSlots - 1);
  const uint32_t generation = handle >> kIndexBits;
  if (index >= slots_.size()) return;
  Slot& slot = slots_[index];
  if (slot.set == nullptr || slot.generation != generation) return;
  slot.set = nullptr;
  --live_;
  if (slot.generation < kMaxGeneration) {
    ++slot.generation;
    free_.push_back(index);  // within reserved capacity
  }
}

void HandleTable::reset() noexcept {
  slots_ = Vec<Slot>();
  free_ = Vec<uint32_t>();
  live_ = 0;
}

RuleSet* HandleTable::resolve(uint32_t handle) const noexcept {
  const uint32_t index = handle & (kMaxSlots - 1);
  const uint32_t generation = handle >> kIndexBits;
  if (generation == 0 || index >= slots_.size()) return nullptr;
  const Slot& slot = slots_[index];
  return slot.generation == generation ? slot.set : nullptr;
}

}  // namespace kelda::margin
