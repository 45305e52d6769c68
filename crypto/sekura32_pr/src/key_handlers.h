// Key handlers: registration, the key-base handler the provider installs in
// the library for ".dwq" bases, and their release.
#pragma once

#include <cstdint>

#include "cipherhub/cpapi.h"
#include "sekura32/sekura32.h"

namespace kelda::sekura32_pr {

// 1 registered, 0 with the text written.
int32_t set_key_handler(int32_t type, CpapiKeyHandler handler, char* error, uint32_t error_size);
// Forgets the lookup and key-text handlers (the validator stays).
void release_key_handlers();
// The library's lookup handler of ".dwq" key bases: 276 for any other base.
uint32_t provider_key_lookup(SkKeySearch* search, const char* base, const char* const* texts, uint32_t text_count,
                             const uint8_t* key_id, int32_t user_id);
// The validator registered last, or null.
CpapiPeerValidator peer_validator();

}  // namespace kelda::sekura32_pr
