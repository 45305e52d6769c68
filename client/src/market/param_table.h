// Parameter slots and the parameters each class carries.
//
// A parameter name has one slot in the whole library (the same slot in every
// class); each class holds, per slot, its own description (NetParamEx) or
// nothing. Slots are never removed while the library runs.
//
// Not thread-safe: used under the library lock. Allocation failure throws.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/tagged_memory.h"
#include "market/records.h"

namespace kelda::kelapi {

struct SlotDescription {
  char db_name[17];
  char short_name[17];
  char long_name[257];
  uint16_t persistent;
  uint16_t flags;
};

class ParamTable {
 public:
  std::size_t slot_count() const noexcept { return slots_.size(); }
  const SlotDescription& slot(std::size_t index) const { return slots_[index]; }

  // The first slot whose name equals db_name without regard to case, or -1.
  int32_t slot_by_name(std::string_view db_name) const noexcept;
  // Adds a slot (empty description); returns its number.
  int32_t add_slot();
  void describe_slot(int32_t slot, const NetParamEx& p);
  bool slot_described(int32_t slot) const;

  // The class's description in a slot, or null.
  NetParamEx* get(int32_t class_index, int32_t slot);
  const NetParamEx* get(int32_t class_index, int32_t slot) const;
  // The class's description in a slot, created zero-filled when missing.
  NetParamEx& get_or_create(int32_t class_index, int32_t slot);
  // Frees every description of a class (its slots stay) and its counter.
  void drop_class(int32_t class_index);
  // How many slots the class carries.
  int32_t count(int32_t class_index) const;
  // The slot whose record carries the number within the class, or -1.
  int32_t slot_by_number(int32_t class_index, int32_t number) const;
  // The class's parameter with the number 0 to 63 (its bit in value masks),
  // or null; constant time (a per-class table, rebuilt after changes).
  const NetParamEx* by_number(int32_t class_index, int32_t number) const;

  // Parameters received since the class's last request.
  int16_t& received(int32_t class_index) { return received_[static_cast<std::size_t>(class_index)]; }

  // Calls f(slot, record) for every slot the class carries, in slot order.
  template <typename F>
  void for_each(int32_t class_index, F f) {
    auto& row = by_class_[static_cast<std::size_t>(class_index)];
    for (std::size_t s = 0; s < row.size(); ++s) {
      if (row[s]) f(static_cast<int32_t>(s), *row[s]);
    }
  }
  template <typename F>
  void for_each(int32_t class_index, F f) const {
    const auto& row = by_class_[static_cast<std::size_t>(class_index)];
    for (std::size_t s = 0; s < row.size(); ++s) {
      if (row[s]) f(static_cast<int32_t>(s), static_cast<const NetParamEx&>(*row[s]));
    }
  }

  // Frees everything; the slot count becomes 0.
  void clear();
  // Sets the slot count (a saved table read back), slots undescribed.
  void set_slot_count(std::size_t count);

 private:
  struct Deleter {
    void operator()(NetParamEx* p) const noexcept { tagged_free(p); }
  };
  using ParamPtr = std::unique_ptr<NetParamEx, Deleter>;

  std::vector<SlotDescription, TaggedAllocator<SlotDescription, AllocTag::param>> slots_;
  std::vector<bool> described_;
  std::array<std::vector<ParamPtr>, kMaxClasses> by_class_;
  std::array<int16_t, kMaxClasses> received_{};
  // Parameters by number, per class, as of `version_`.
  uint64_t version_ = 1;
  mutable std::array<uint64_t, kMaxClasses> by_number_version_{};
  mutable std::array<std::array<const NetParamEx*, 64>, kMaxClasses> by_number_{};
};

// 1 when a value of zero means "a value" is absent: every parameter except
// the counters and changes named below (compared without regard to case).
uint16_t zero_is_no_value(std::string_view db_name) noexcept;

}  // namespace kelda::kelapi
