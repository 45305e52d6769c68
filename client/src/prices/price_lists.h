// Price lists: for each security the caller subscribed to, its price
// levels with volumes and values on two sides, kept in ascending order of
// price with no two levels at the same price, and merged level by level as
// the server sends them.
//
// Not thread-safe: used under the library lock. Allocation failure throws
// std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace kelda::kelapi {

// One level as kept: 40 bytes.
struct PriceLevel {
  double price;
  double negative_value;
  int32_t negative_volume;
  uint32_t reserved1;
  double positive_value;
  int32_t positive_volume;
  uint32_t reserved2;
};
static_assert(sizeof(PriceLevel) == 40);

// A list is given out with a 16-bit count.
inline constexpr std::size_t kMaxPriceLevels = 65535;

struct PriceList {
  std::vector<PriceLevel> levels;
  // A packed list is being merged: its two-sided levels are merged as they
  // come, without emptying the list again.
  bool packed_open = false;
};

// Merges one level: a two-sided level arriving alone replaces a list that
// holds other prices (unless `keep_others`); equal prices are replaced, or
// removed by a level whose volumes are both 0.
void merge_level(PriceList& list, const PriceLevel& level, bool keep_others);

// The words of a packed list in one of the formats 1 to 4, merged entry by
// entry. False when the format is unknown or an entry does not fit in the
// words (the entries before it stay merged).
bool merge_packed(PriceList* list, int format, std::span<const int32_t> words, int scale);

// A level from the server's integers: the price divided by ten to the
// scale, values by 100, a negative volume naming the negative side.
PriceLevel one_side_level(int32_t price, int32_t volume, int32_t value, int scale);
PriceLevel two_side_level(int32_t price, int32_t negative_volume, int32_t negative_value, int32_t positive_volume,
                          int32_t positive_value, int scale);

struct PriceLists {
  std::unordered_map<int32_t, PriceList> by_security;
  void reset() { by_security.clear(); }
};

}  // namespace kelda::kelapi
