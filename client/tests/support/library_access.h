// Test and fuzz access to the library's session state: puts a library into
// the connected state without a network stack. Lock held by the caller.
#pragma once

#include <cstdint>

#include "session/library.h"

namespace kelda::kelapi {

struct LibraryTestAccess {
  static void pretend_connected(Library& lib, uintptr_t connection) {
    lib.connected_ = true;
    lib.connection_ = connection;
  }
  static void set_init_flags(Library& lib, uint32_t flags) { lib.init_flags_ = flags; }
  static void pretend_disconnected(Library& lib) {
    lib.connected_ = false;
    lib.connection_ = 0;
  }
};

}  // namespace kelda::kelapi
