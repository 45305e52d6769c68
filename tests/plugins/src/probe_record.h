// Recording the calls a test plug-in receives (probe.h), and writing its
// error texts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "testplugins/probe.h"

namespace testplugins {

template <typename T>
uintptr_t word(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<uintptr_t>(value);
  } else {
    return static_cast<uintptr_t>(value);
  }
}

// Records one call; text is copied when not null, error is the call's error
// buffer (to see whether the caller cleared it).
void record_call(const char* entry, std::initializer_list<uintptr_t> args, const char* text,
                 const char* error);

void write_error(char* error, uint32_t size, const char* text);

}  // namespace testplugins
