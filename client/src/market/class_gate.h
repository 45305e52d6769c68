// The class gate of the row events: a row of orders, trades or stop orders
// is announced to the caller only once the class of its security is
// complete (its securities and parameters have arrived); the rows of a class
// completed later are announced when the class is.
//
// Runs under the library lock; never throws.
#pragma once

#include <cstdint>

#include "session/library.h"

namespace kelda::kelapi {

// The class index of a security index, or -1 when either is unknown.
inline int32_t class_of_security(const Library& lib, int64_t security) {
  if (security < 0 || static_cast<std::size_t>(security) >= lib.securities.size()) return -1;
  const int32_t c = lib.securities.at(static_cast<std::size_t>(security)).class_index;
  return lib.classes.valid_index(c) ? c : -1;
}

// Whether the rows of the security's class may be announced.
inline bool class_gate_open(const Library& lib, int64_t security) {
  const int32_t c = class_of_security(lib, security);
  if (c < 0) return false;
  const ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(c));
  return cls.params_complete == 1 && cls.securities_complete == 1;
}

// Announces every row of a table whose security belongs to the class.
template <typename Table, typename Announce>
void announce_rows_of_class(Library& lib, const Table& table, int32_t class_index, Announce announce) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (class_of_security(lib, table.at(i).security) == class_index) announce(lib, table.at(i));
  }
}

// The worker's part of booking a table of the user's own rows: announces the
// rows held, then asks the server for the rows after the last one held and
// for a fresh copy of every row still active.
template <typename Table, typename Announce>
void announce_and_request_rows(Library& lib, const Table& table, Announce announce, uint16_t request_after,
                               uint16_t request_row, uint32_t active_flag) {
  for (std::size_t i = 0; i < table.size(); ++i) announce(lib, table.at(i));
  if (!lib.connected()) return;
  const int32_t from = table.empty() ? 0 : table.back().sequence + 1;
  lib.send_message(request_after, &from);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if ((table.at(i).flags & active_flag) != 0) lib.send_message(request_row, &table.at(i).sequence);
  }
}

}  // namespace kelda::kelapi
