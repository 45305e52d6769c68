#include "core/bar_blocks.h"

namespace kelda::kelapi {

int BarBlockList::find(uint32_t key1, uint32_t key2, uint32_t key3) const noexcept {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const BarBlockEntry& e = entries_[i];
    if (e.key1 == key1 && e.key2 == key2 && e.key3 == key3) return static_cast<int>(i);
  }
  return -1;
}

int BarBlockList::add(uint32_t key1, uint32_t key2, uint32_t key3, uint32_t word) {
  entries_.push_back(BarBlockEntry{key1, key2, key3, word, {}});
  return static_cast<int>(entries_.size() - 1);
}

void BarBlockList::remove(int index, bool free_blocks) noexcept {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
  auto it = entries_.begin() + index;
  if (free_blocks) {
    for (void* block : it->blocks) tagged_free(block);
  }
  entries_.erase(it);
}

void BarBlockList::clear() noexcept {
  for (BarBlockEntry& e : entries_) {
    for (void* block : e.blocks) tagged_free(block);
  }
  entries_.clear();
  entries_.shrink_to_fit();
}

}  // namespace kelda::kelapi
