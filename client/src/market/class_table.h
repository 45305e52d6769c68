// The class table: at most 100 classes, by index, with their lookups (linear:
// the table is small). Classes are never removed while the library runs; one
// the server no longer sends keeps its row with server id -1.
//
// Not thread-safe: used under the library lock.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/tagged_memory.h"
#include "market/records.h"

namespace kelda::kelapi {

class ClassTable {
 public:
  std::size_t size() const noexcept { return rows_.size(); }
  bool full() const noexcept { return rows_.size() >= kMaxClasses; }
  ClassRecord& at(std::size_t index) { return rows_[index]; }
  const ClassRecord& at(std::size_t index) const { return rows_[index]; }
  bool valid_index(int64_t index) const noexcept {
    return index >= 0 && static_cast<std::size_t>(index) < rows_.size();
  }
  // True when the class exists and the server has confirmed it.
  bool confirmed(int64_t index) const noexcept {
    return valid_index(index) && rows_[static_cast<std::size_t>(index)].d.server_id != -1;
  }

  // Appends a zero-filled class; returns its index. The table must not be full.
  uint32_t append();
  // Replaces the rows (a saved table read back).
  void assign(std::vector<ClassRecord>&& rows);
  void clear();

  // The first class with the code, whatever its server id (case-sensitive).
  int64_t find_by_code(std::string_view code) const noexcept;
  // The first confirmed class with the code.
  int64_t find_confirmed_by_code(std::string_view code) const noexcept;
  int64_t find_by_server_id(int32_t server_id) const noexcept;
  // The first class whose pending request of that kind has the number; a
  // number of 0 (no request) matches nothing.
  int64_t find_by_securities_request(uint32_t request) const noexcept {
    return find_by_request(&ClassRecord::securities_request, request);
  }
  int64_t find_by_params_request(uint32_t request) const noexcept {
    return find_by_request(&ClassRecord::params_request, request);
  }
  int64_t find_by_texts_request(uint32_t request) const noexcept {
    return find_by_request(&ClassRecord::texts_request, request);
  }

  // A class is complete when both its parameters and its securities are and
  // no request of it is pending.
  static bool complete(const ClassRecord& c) noexcept {
    return c.params_complete == 1 && c.securities_complete == 1 && c.securities_request == 0 &&
           c.params_request == 0 && c.texts_request == 0;
  }
  // True when some class waits for its securities or its parameters.
  bool any_request_pending() const noexcept;
  // The union of the table flags of all classes.
  uint32_t table_flags_union() const noexcept;

 private:
  int64_t find_by_request(uint32_t ClassRecord::*field, uint32_t request) const noexcept;

  std::vector<ClassRecord, TaggedAllocator<ClassRecord, AllocTag::classparam>> rows_;
};

}  // namespace kelda::kelapi
