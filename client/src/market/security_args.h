// The checks that the subscription exports share: which security a class
// number and a security number name.
//
// Runs under the library lock; never throws.
#pragma once

#include <cstdint>

#include "session/library.h"

namespace kelda::kelapi {

// The security index, or -1 when the class number is out of range, the
// class is not confirmed by the server, the security number is out of range
// or the security belongs to another class.
inline int64_t security_of(const Library& lib, uint32_t class_number, uint32_t security_number) {
  const int64_t c = static_cast<int64_t>(class_number) - 1;
  if (!lib.classes.confirmed(c)) return -1;
  const int64_t s = static_cast<int64_t>(security_number) - 1;
  if (s < 0 || static_cast<std::size_t>(s) >= lib.securities.size()) return -1;
  return lib.securities.at(static_cast<std::size_t>(s)).class_index == c ? s : -1;
}

// The checks of the booking exports in their order: initialised, connected,
// started, the numbers. KELAPI_OK with the security index in `security`.
inline KelapiResult check_subscription(const Library& lib, uint32_t class_number, uint32_t security_number,
                                       int64_t& security) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  security = security_of(lib, class_number, security_number);
  return security < 0 ? KELAPI_E_INVALIDARG : KELAPI_OK;
}

}  // namespace kelda::kelapi
