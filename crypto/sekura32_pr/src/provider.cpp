// The provider's state and the texts of library results.
#include "provider.h"

#include <dlfcn.h>

namespace kelda::sekura32_pr {

ProviderState& provider() {
  static auto* state = new ProviderState;
  return *state;
}

bool library_failed(uint32_t result, char* error, uint32_t size) {
  if (result < 16) return false;
  switch (result) {
    case SK_WRONG_PASSWORD: write_error(error, size, "Wrong password"); break;
    case SK_NOT_FOUND: write_error(error, size, "User or server key not found"); break;
    case SK_IO_ERROR: write_error(error, size, "IO error when try to access key base file"); break;
    case SK_BAD_PROTECTION: write_error(error, size, "Invalid key base name was set"); break;
    case SK_KEY_TOO_LARGE: write_error(error, size, "Invalid key in key base"); break;
    case SK_NO_BASE:
    case SK_BAD_ARGUMENT: write_error(error, size, "Key base not found"); break;
    default: write_error(error, size, "Protection violation %x", result); break;
  }
  return true;
}

bool is_code_address(const void* address) {
  Dl_info info{};
  return address != nullptr && dladdr(address, &info) != 0 && info.dli_fbase != nullptr;
}

}  // namespace kelda::sekura32_pr
