// Where the content and the signature of signed data lie, and whether the
// signature is a PKCS#7 signed message (in either format).
#pragma once

#include <cstddef>
#include <cstdint>

#include "cipherhub/cpapi.h"
#include "pkcs7tk/pkcs7tk.h"

namespace kelda::sigprov {

struct SplitData {
  const uint8_t* content = nullptr;
  std::size_t content_length = 0;
  const uint8_t* signature = nullptr;
  std::size_t signature_length = 0;
  bool content_in_message = false;  // layout 4
};

enum class SplitResult { ok, not_signed, bad_descriptor };

// Splits the input by the descriptor's layout, or (no descriptor) as a
// NUL-terminated text followed directly by its signature.
SplitResult split_signed_data(const void* data, uint32_t length, const CpapiSignedData* descriptor, SplitData& out);

// The signature's message context when it is PKCS#7 signed data, tried in
// the configured input format and then in the other one (the configured
// format is restored). Null when it is not.
pkcs7tk::PKCS7CTX* recognise_signed_data(const SplitData& split);

}  // namespace kelda::sigprov
