// The table of transaction kinds: per class (by class index, at most 100
// classes) the kinds the server described and, per kind, its fields in the
// server's order. trans.dat keeps the table between runs.
//
// A kind number (kind id + 1) names a kind across all classes: the classes
// are walked in index order and the kinds in table order. A kind is usable
// when it is present (described since the connection was made) and all of
// its fields have arrived.
//
// Not thread-safe: used under the library lock. Memory is counted under the
// "__TRANS__" tag. Allocation failure throws std::bad_alloc.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/tagged_memory.h"
#include "market/records.h"
#include "messages/records_services.h"

namespace kelda::kelapi {

using TransactionField = Msg8096_TransactionField;

struct TransactionKind {
  Msg8095_TransactionKind d;
  bool fields_complete = false;  // the server ended the list and the count matched
  bool present = false;
  std::vector<TransactionField, TaggedAllocator<TransactionField, AllocTag::trans>> fields;

  bool usable() const noexcept {
    return present && d.field_count >= 0 && fields.size() == static_cast<std::size_t>(d.field_count);
  }
  uint32_t number() const noexcept { return static_cast<uint32_t>(static_cast<uint16_t>(d.kind_id)) + 1u; }
};

// A kind and the index of its class.
struct KindRef {
  int32_t class_index = -1;
  TransactionKind* kind = nullptr;
  explicit operator bool() const noexcept { return kind != nullptr; }
};

// Role bits of a field.
inline constexpr uint32_t kRoleSecurity = 0x1;
inline constexpr uint32_t kRoleFixed = 0x2;
inline constexpr uint32_t kRoleStopType = 0x4;
inline constexpr uint32_t kRoleClass = 0x800;
inline constexpr uint32_t kRoleAccount = 0x1000;
inline constexpr uint32_t kRoleOptional = 0x2000;

// Kind codes that stay present when the server ends a class's kind list.
inline constexpr uint32_t kStopKindCodes = 8192 | 16384;

class TransactionTable {
 public:
  using Kinds = std::vector<TransactionKind, TaggedAllocator<TransactionKind, AllocTag::trans>>;

  Kinds& kinds(std::size_t class_index) { return slots_.at(class_index); }
  const Kinds& kinds(std::size_t class_index) const { return slots_.at(class_index); }

  // The first kind of the class whose name equals `name` regardless of case.
  TransactionKind* find_name(std::size_t class_index, std::string_view name);
  // The first present kind of the class with the kind id.
  TransactionKind* find_id(std::size_t class_index, int16_t kind_id);
  // The first kind with the kind id, present or not, over all classes.
  KindRef find_id_any_class(int32_t kind_id);
  // The first present kind with number - 1 as its kind id, over all classes.
  KindRef find_number(uint32_t number);
  // The first present kind of the class with the code (class table flags
  // 0x800 make codes 4, 8 and 32768 match only their 0x20 form exactly;
  // otherwise bit 0x20 of the stored code is ignored). A sought code with
  // bit 0x20 that finds nothing is logged with the class code.
  TransactionKind* find_code(std::size_t class_index, uint32_t code, uint32_t class_table_flags,
                             std::string_view class_code = {});
  // Appends a zeroed kind to the class (room grows by 10 kinds at a time).
  TransactionKind& append(std::size_t class_index);

  void mark_all_absent();
  bool empty() const noexcept;
  // Frees every kind and field.
  void clear();

 private:
  std::array<Kinds, kMaxClasses> slots_;
};

class ClassTable;

// Writes trans.dat whole; false (no file left) when it cannot.
bool save_transactions(const TransactionTable& table, const ClassTable& classes, const std::string& path);
// Reads trans.dat into an empty table for the classes loaded. A missing or
// damaged file leaves the table empty and gives false; `problem` then says
// what was wrong ("" for a missing file).
bool load_transactions(TransactionTable& table, const ClassTable& classes, const std::string& path,
                       std::string& problem);

}  // namespace kelda::kelapi
