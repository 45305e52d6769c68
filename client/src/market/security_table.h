// The security table: every security of every class, by index, with its
// lookups. Securities are never removed while the library runs; one the
// server no longer lists keeps its row with server id -1.
//
// Lookups: by code through a hash of 20011 buckets (the library's own hash
// of the code), by server id and by (class, position) through hash indexes,
// and the securities of a class through a per-class list in table order, so
// that nothing on the receive path walks the whole table.
//
// Not thread-safe: used under the library lock. Allocation failure throws.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "core/tagged_memory.h"
#include "market/multi_index.h"
#include "market/records.h"

namespace kelda::kelapi {

inline constexpr uint32_t kCodeHashBuckets = 20011;

// The bucket of a security code.
uint32_t code_hash(std::string_view code) noexcept;

class SecurityTable {
 public:
  SecurityTable();

  std::size_t size() const noexcept { return rows_.size(); }
  const SecurityRecord& at(std::size_t index) const { return rows_[index]; }
  // Changes to the server id, class index or position go through the setters
  // below so that the indexes follow.
  SecurityRecord& mutable_at(std::size_t index) { return rows_[index]; }

  // Appends a row (its code, class and position taken from the record) and
  // indexes it; returns its index.
  uint32_t append(const SecurityRecord& record);
  void set_server_id(uint32_t index, int32_t server_id);
  void set_position(uint32_t index, int32_t position);
  // Replaces the head of a row (keeps class, position, filter flags).
  void replace_head(uint32_t index, const SecurityHead& head);

  // The first row in table order with the server id; -1 when none (also for
  // server id -1, which marks rows the server has not confirmed).
  int64_t find_by_server_id(int32_t server_id) const noexcept;
  // The general code lookup: walks the code's bucket in insertion order and
  // returns the first row whose code equals `code` (case-sensitive), in the
  // class when class_index >= 0, skipping rows with server id -1 when
  // `confirmed_only`. `class_confirmed` tells whether a class is confirmed;
  // when given, rows of unconfirmed classes are skipped.
  template <typename ClassConfirmed>
  int64_t find_by_code(std::string_view code, int32_t class_index, bool confirmed_only,
                       ClassConfirmed class_confirmed) const;
  int64_t find_by_code(std::string_view code, int32_t class_index, bool confirmed_only) const {
    return find_by_code(code, class_index, confirmed_only, [](int32_t) { return true; });
  }

  // The rows of a class in table order.
  std::span<const uint32_t> class_rows(int32_t class_index) const;
  // Calls f(index) for each row of the class at the position.
  template <typename F>
  void for_position(int32_t class_index, int32_t position, F f) const {
    if (class_index < 0 || static_cast<std::size_t>(class_index) >= kMaxClasses || position < 0) return;
    const auto& dense = by_position_[static_cast<std::size_t>(class_index)];
    if (static_cast<std::size_t>(position) < dense.size() && dense[static_cast<std::size_t>(position)] != kNoRow) {
      f(dense[static_cast<std::size_t>(position)]);
    }
    other_positions_.for_each(position_key(class_index, position), f);
  }

  // Forgets every row; bucket arrays are kept.
  void clear();
  void reserve(std::size_t n);

 private:
  static int64_t position_key(int32_t class_index, int32_t position) {
    return (static_cast<int64_t>(class_index) << 32) | static_cast<uint32_t>(position);
  }
  void index_row(uint32_t index);
  void index_position(int32_t class_index, int32_t position, uint32_t row);
  void unindex_position(int32_t class_index, int32_t position, uint32_t row);

  static constexpr uint32_t kNoRow = UINT32_MAX;
  std::vector<SecurityRecord, TaggedAllocator<SecurityRecord, AllocTag::sec>> rows_;
  std::vector<std::vector<uint32_t>> buckets_;
  MultiIndex by_server_id_;
  // Positions within a class run from 0 in order of arrival: each class keeps
  // a dense array of them; positions far beyond the class's size and rows
  // that share a position go to the side index.
  std::array<std::vector<uint32_t>, kMaxClasses> by_position_;
  MultiIndex other_positions_;
  std::array<std::vector<uint32_t>, kMaxClasses> by_class_;
};

template <typename ClassConfirmed>
int64_t SecurityTable::find_by_code(std::string_view code, int32_t class_index, bool confirmed_only,
                                    ClassConfirmed class_confirmed) const {
  for (uint32_t index : buckets_[code_hash(code)]) {
    if (index >= rows_.size()) return -1;
    const SecurityRecord& r = rows_[index];
    if (class_index >= 0 && r.class_index != class_index) continue;
    if (confirmed_only && r.h.server_id == -1) continue;
    if (!class_confirmed(r.class_index)) continue;
    if (std::string_view(r.h.code, strnlen(r.h.code, sizeof r.h.code)) == code) return index;
  }
  return -1;
}

}  // namespace kelda::kelapi
