// Crypto contexts: the record behind a caller's handle (a linked pair of
// library sessions and the protect flags), the registry of live contexts by
// which every call checks a handle, creation by initialisation mode, and
// release.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "cipherhub/cpapi.h"
#include "kit/kit_state.h"
#include "sekura32_pr/sekura32_pr.h"

namespace kelda::sekura32_pr {

struct Context {
  uint32_t tag = SEKURA32_PR_CONTEXT_TAG;
  int32_t usage = 0;     // 3: the peer is learnt from the exchange; 4: named by the caller
  std::string ini_path;  // 8-bit, at most 511 characters
  int32_t provider_id = 0;
  std::string provider_name;
  SkSession* own = nullptr;      // the user's session
  SkSession* partner = nullptr;  // the peer's, linked with it
  // Written by the sending thread after the first message, read by the
  // receiving one.
  std::atomic<uint32_t> protect_flags{SEKURA32_PR_FLAGS_MESSAGE};
  kit::LocaleTriple locale{};
  uintptr_t owner = 0;
};

// The live context behind a handle, or null (nothing is read through a handle
// that is not live).
Context* context_of(CpapiContext* handle);

struct CreateRequest {
  const cp_provider_record* provider;
  int32_t usage;
  uintptr_t owner;
  int32_t init_mode;
  CpapiParamCallback callback;
  uintptr_t callback_value;
  const char* ini_path;
  const void* params;
};
// The new context, or null with the text written.
CpapiContext* create_context(const CreateRequest& request, char* error, uint32_t error_size);
// 1, or 0 for a handle that is not a live context.
int32_t free_context(CpapiContext* handle);

}  // namespace kelda::sekura32_pr
