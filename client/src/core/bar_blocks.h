// The list of price-bar blocks kept for the data lines and the bar archive.
//
// Each entry is found by three keys and holds an array of blocks from
// tagged_alloc (tag __MINUTES__), which the list owns unless an entry is
// removed without freeing them. Not thread-safe: used under the library lock.
#pragma once

#include <cstdint>
#include <vector>

#include "core/tagged_memory.h"

namespace kelda::kelapi {

struct BarBlockEntry {
  uint32_t key1 = 0;
  uint32_t key2 = 0;
  uint32_t key3 = 0;
  uint32_t word = 0;
  std::vector<void*, TaggedAllocator<void*, AllocTag::minutes>> blocks;
};

class BarBlockList {
 public:
  BarBlockList() = default;
  BarBlockList(const BarBlockList&) = delete;
  BarBlockList& operator=(const BarBlockList&) = delete;
  ~BarBlockList() { clear(); }

  // Index of the first entry with all three keys, else -1.
  int find(uint32_t key1, uint32_t key2, uint32_t key3) const noexcept;
  // Appends an entry without blocks; returns its index.
  int add(uint32_t key1, uint32_t key2, uint32_t key3, uint32_t word);
  BarBlockEntry& at(int index) { return entries_.at(static_cast<std::size_t>(index)); }
  // Removes an entry, closing the gap; with free_blocks its blocks are freed,
  // otherwise they belong to whoever took them before.
  void remove(int index, bool free_blocks) noexcept;
  // Removes every entry with its blocks.
  void clear() noexcept;
  std::size_t size() const noexcept { return entries_.size(); }

 private:
  std::vector<BarBlockEntry, TaggedAllocator<BarBlockEntry, AllocTag::minutes>> entries_;
};

}  // namespace kelda::kelapi
