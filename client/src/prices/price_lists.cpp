#include "prices/price_lists.h"

#include <algorithm>
#include <cstdlib>

#include "core/numbers.h"

namespace kelda::kelapi {

PriceLevel one_side_level(int32_t price, int32_t volume, int32_t value, int scale) {
  PriceLevel l{};
  l.price = scaled_to_double(price, scale);
  if (volume < 0) {
    l.negative_volume = volume == INT32_MIN ? INT32_MAX : -volume;
    l.negative_value = value / 100.0;
  } else {
    l.positive_volume = volume;
    l.positive_value = value / 100.0;
  }
  return l;
}

PriceLevel two_side_level(int32_t price, int32_t negative_volume, int32_t negative_value, int32_t positive_volume,
                          int32_t positive_value, int scale) {
  PriceLevel l{};
  l.price = scaled_to_double(price, scale);
  l.negative_volume = negative_volume;
  l.negative_value = negative_value / 100.0;
  l.positive_volume = positive_volume;
  l.positive_value = positive_value / 100.0;
  return l;
}

void merge_level(PriceList& list, const PriceLevel& level, bool keep_others) {
  auto& v = list.levels;
  const bool both = level.negative_volume != 0 && level.positive_volume != 0;
  const bool none = level.negative_volume == 0 && level.positive_volume == 0;
  if (both && !keep_others && (v.size() >= 2 || (v.size() == 1 && v[0].price != level.price))) v.clear();
  auto at = std::lower_bound(v.begin(), v.end(), level.price,
                             [](const PriceLevel& l, double price) { return l.price < price; });
  if (at != v.end() && at->price == level.price) {
    if (none) {
      v.erase(at);
    } else {
      *at = level;
    }
    return;
  }
  if (none || v.size() >= kMaxPriceLevels) return;
  v.insert(at, level);
}

bool merge_packed(PriceList* list, int format, std::span<const int32_t> words, int scale) {
  static constexpr std::size_t kWords[] = {0, 2, 3, 3, 5};
  if (format < 1 || format > 4) return false;
  const std::size_t width = kWords[format];
  std::size_t at = 0;
  for (; at < words.size(); at += width) {
    if (words.size() - at < width) return false;
    const int32_t* w = words.data() + at;
    PriceLevel l{};
    switch (format) {
      case 1: l = one_side_level(w[0], w[1], 0, scale); break;
      case 2: l = one_side_level(w[0], w[1], w[2], scale); break;
      case 3: l = two_side_level(w[0], w[1], 0, w[2], 0, scale); break;
      default: l = two_side_level(w[0], w[1], w[2], w[3], w[4], scale); break;
    }
    if (list == nullptr) continue;
    // The first two-sided level of a packed list may empty the old list;
    // the following ones join it, so every level sent is kept.
    merge_level(*list, l, list->packed_open);
    list->packed_open = true;
  }
  return true;
}

}  // namespace kelda::kelapi
