// The table of money limits and the table of depository limits: entries in
// arrival order, found by the server's limit number through an ordered
// index, never removed while the table lives. A limit the server deletes
// stays with its live flag cleared, so positions and index values stay
// valid; it lives again when the server sends its number again.
//
// Entry is a struct with `int32_t live` and a message record `limit` whose
// first member is `int32_t number`. Not thread-safe: used under the library
// lock. Allocation failure throws std::bad_alloc and leaves the table as it
// was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace kelda::kelapi {

template <typename Entry>
class LimitTable {
 public:
  static constexpr std::size_t kFirstCapacity = 1024;

  std::size_t size() const noexcept { return rows_.size(); }
  const Entry& at(std::size_t i) const { return *rows_[i]; }

  // The entry with the server's number; with `live_only` a deleted one is
  // not found.
  const Entry* find(int64_t number, bool live_only) const {
    if (number < INT32_MIN || number > INT32_MAX) return nullptr;
    const auto it = index_.find(static_cast<int32_t>(number));
    if (it == index_.end() || it->second >= rows_.size()) return nullptr;
    const Entry& e = *rows_[it->second];
    return live_only && e.live != 1 ? nullptr : &e;
  }

  // Adds a new limit, or makes the one with its number live and lets
  // `update(stored)` overwrite its values (its codes stay as first stored).
  template <typename Update>
  const Entry& add_or_update(const Entry& fresh, Update update) {
    const auto it = index_.find(fresh.limit.number);
    if (it != index_.end() && it->second < rows_.size()) {
      Entry& e = *rows_[it->second];
      e.live = 1;
      update(e);
      return e;
    }
    auto entry = std::make_unique<Entry>(fresh);
    entry->live = 1;
    if (rows_.size() == rows_.capacity()) {
      rows_.reserve(rows_.capacity() == 0 ? kFirstCapacity : rows_.capacity() * 2);
    }
    index_[fresh.limit.number] = rows_.size();
    rows_.push_back(std::move(entry));
    return *rows_.back();
  }

  // The first live entry in array order that `matches`, marked deleted; null
  // when none. A deleted entry is never matched again: a delete names the
  // limit that is live under those codes.
  template <typename Match>
  const Entry* kill_first(Match matches) {
    for (auto& e : rows_) {
      if (e->live == 1 && matches(*e)) {
        e->live = 0;
        return e.get();
      }
    }
    return nullptr;
  }

  void clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    index_.clear();
  }

 private:
  std::vector<std::unique_ptr<Entry>> rows_;
  std::map<int32_t, std::size_t> index_;
};

}  // namespace kelda::kelapi
