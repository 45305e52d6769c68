// The class and security tables: library copies of the caller's MargoClass and
// MargoSecurity records, with the lookups the rules and calculations need.
//
// Each class record is a block of its own, so a pointer to one stays valid
// while classes are added (callers get such pointers from the security-code
// queries); they go only with clear(). Securities of one class are contiguous, in the order
// the caller gave them. Not thread-safe: the library's lock covers every use.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "margin/kelda_margin.h"
#include "memory.h"
#include "text.h"

namespace kelda::margin {

struct ClassEntry {
  MargoClass record;            // first: its address is handed to callers
  int32_t first_security = -1;  // index in the security table; -1 without securities
  int32_t security_count = 0;
};

class Tables {
 public:
  enum class AddResult { added, ignored, present, bad_count };

  // Appends a class and its securities (count from cls.securityCount). A
  // class with an ignore flag is not taken; a class whose code is present
  // only updates its secondary-valuation byte; either way its count is not
  // read. A new class with a negative count is refused. Strong guarantee: on
  // std::bad_alloc nothing changed.
  AddResult add_class(const MargoClass& cls, const MargoSecurity* securities);
  // Takes back the class that the last successful add_class appended.
  void remove_last_class() noexcept;
  void clear() noexcept;

  int32_t class_count() const noexcept { return static_cast<int32_t>(classes_.size()); }
  int32_t security_count() const noexcept { return static_cast<int32_t>(securities_.size()); }
  const ClassEntry& class_entry(int32_t index) const { return *classes_[static_cast<std::size_t>(index)]; }
  const MargoSecurity& security(int32_t index) const { return securities_[static_cast<std::size_t>(index)]; }
  std::string_view class_code(int32_t index) const;
  std::string_view security_code(int32_t index) const;

  // Index of the class with that code (exact), or -1.
  int32_t class_by_code(std::string_view code) const noexcept;
  // Index of the first class with that id, or -1.
  int32_t class_by_id(int32_t class_id) const noexcept;
  // Index of the first security whose class has class_id and whose id is
  // security_id, or -1.
  int32_t security_by_ids(int32_t class_id, int32_t security_id) const noexcept;
  // Indexes of the securities with that code (exact), in table order.
  std::span<const int32_t> securities_with_code(std::string_view code) const noexcept;
  // The first security of the class with that code, or -1.
  int32_t security_in_class(int32_t class_index, std::string_view code) const noexcept;

  bool has_bond_class() const noexcept { return bond_classes_ > 0; }

 private:
  static int64_t id_key(int32_t class_id, int32_t security_id) noexcept {
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(class_id)) << 32) |
                                static_cast<uint32_t>(security_id));
  }

  Vec<Owned<ClassEntry>> classes_;
  Vec<MargoSecurity> securities_;
  HashMap<Code, int32_t, CodeHash> class_by_code_;
  HashMap<int32_t, int32_t> class_by_id_;
  HashMap<Code, Vec<int32_t>, CodeHash> securities_by_code_;
  HashMap<int64_t, int32_t> security_by_ids_;
  int32_t bond_classes_ = 0;
};

}  // namespace kelda::margin
