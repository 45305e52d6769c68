// What every message handler of the library shares: it finds the library,
// copies the decoded record (which may sit at any address), and lets nothing
// thrown leave the handler. Used on the receive thread, library lock held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <type_traits>

#include "core/diag.h"
#include "session/library.h"

namespace kelda::kelapi {

// A decoded record holds its members and no padding after the last one:
// `size` is where its last member ends (sizeof when nothing pads the end).
template <typename Record>
Record record_copy(const void* record, std::size_t size = sizeof(Record)) {
  static_assert(std::is_trivially_copyable_v<Record>);
  Record r;
  std::memset(&r, 0, sizeof r);
  std::memcpy(&r, record, size < sizeof r ? size : sizeof r);
  return r;
}

// Where the last member of a record ends.
#define KELAPI_RECORD_END(Record, last) (offsetof(Record, last) + sizeof(static_cast<Record*>(nullptr)->last))

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
