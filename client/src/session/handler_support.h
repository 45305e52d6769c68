// What every message handler of the library shares: it finds the library,
// copies the decoded record (which may sit at any address), and lets nothing
// thrown leave the handler. Used on the receive thread, library lock held.
#pragma once

#include <cstdint>
#include <cstring>
#include <exception>
#include <type_traits>

#include "core/diag.h"
#include "session/library.h"

namespace kelda::kelapi {

template <typename Record>
Record record_copy(const void* record) {
  static_assert(std::is_trivially_copyable_v<Record>);
  Record r;
  std::memcpy(&r, record, sizeof r);
  return r;
}

// Runs f(library) for a received record; no library or no record: nothing.
template <typename F>
void handle_message(uint16_t id, const void* record, F f) {
  Library* lib = current_library();
  if (lib == nullptr || record == nullptr) return;
  try {
    f(*lib);
  } catch (const std::exception& e) {
    diag("KeldaApi: message 0x%X not handled: %s\n", id, e.what());
  }
}

}  // namespace kelda::kelapi
