// Texts of the client library's result codes.
//
// Pure functions, any thread, no state, never throw.
#pragma once

#include <cstddef>
#include <string>

#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

// The text of a result code: "Ok.", the library's own text for its codes,
// else "Error with code %d." with the code as a signed decimal.
std::string result_text(KelapiResult code);

}  // namespace kelda::kelapi
