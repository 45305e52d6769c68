// The wrapper every C export runs its body in: it finds the process's
// library and lets no C++ exception cross the C boundary (a failed
// allocation becomes E_OUTOFMEMORY). Any thread; the body takes the lock.
#pragma once

#include <exception>
#include <new>

#include "core/diag.h"
#include "keldaapi/keldaapi.h"
#include "session/library.h"

namespace kelda::kelapi {

inline constexpr KelapiResult kOutOfMemory = 0x8007000Eu;

template <typename F>
KelapiResult guarded(F f) noexcept {
  Library* lib = current_library();
  if (lib == nullptr) return KELAPI_E_NOT_INITIALIZED;
  try {
    return f(*lib);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (const std::exception& e) {
    diag("KeldaApi: %s\n", e.what());
    return kOutOfMemory;
  }
}

}  // namespace kelda::kelapi
