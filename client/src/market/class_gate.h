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

}  // namespace kelda::kelapi
