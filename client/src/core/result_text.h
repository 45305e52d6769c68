// Texts of the client library's result codes.
//
// Pure functions, any thread, no state. Only result_text allocates (and may
// throw std::bad_alloc); write_result_text never throws.
#pragma once

#include <cstddef>
#include <string>

#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

// The text of a result code: "Ok.", the library's own text for its codes,
// else "Error with code %d." with the code as a signed decimal.
std::string result_text(KelapiResult code);
// The same text written into `buffer` of `size` bytes (cut to fit, always
// terminated when size > 0), without allocating: for the C boundary.
void write_result_text(KelapiResult code, char* buffer, std::size_t size) noexcept;

}  // namespace kelda::kelapi
