// The provider parameters, the uninitialisation guard and the error texts
// every provider plug-in shares.
#include "cipherhub/provider_globals.h"

#include <cstdarg>
#include <cstdio>

#include "cipherhub/cpapi.h"
#include "kit/hooks.h"

namespace kelda::cpapi {

using Lock = std::lock_guard<std::mutex>;

void write_error(char* error, uint32_t size, const char* format, ...) noexcept {
  if (error == nullptr || size == 0) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(error, size, format, args);
  va_end(args);
}

int32_t get_provider_param(ProviderGlobals& globals, int32_t id, uintptr_t* value, uint32_t* value_size, char* error,
                           uint32_t error_size) noexcept {
  if (id == 1 && value != nullptr) {
    Lock lock(globals.lock);
    *value = globals.owner;
    if (value_size != nullptr) *value_size = 4;
    return 1;
  }
  write_error(error, error_size, "Provider parameter with identifier '%ld' not supported", static_cast<long>(id));
  return 0;
}

int32_t set_provider_param(ProviderGlobals& globals, int32_t id, uintptr_t value, char* error,
                           uint32_t error_size) noexcept {
  switch (id) {
    case 1: {
      Lock lock(globals.lock);
      globals.owner = value;
      return 1;
    }
    case 3: {
      Lock lock(globals.lock);
      globals.font = value;
      return 1;
    }
    case CP_PARAM_LOCALE:
      return kit::param_not_supported(reinterpret_cast<const void*>(value));
    default:
      write_error(error, error_size, "It's impossible to get parameter with identifier '%u'",
                  static_cast<unsigned>(id));
      return 0;
  }
}

UninitializeScope::UninitializeScope(ProviderGlobals& globals) noexcept : globals_(globals) {
  Lock lock(globals_.lock);
  if (globals_.uninitializing) return;
  globals_.uninitializing = true;
  entered_ = true;
}

UninitializeScope::~UninitializeScope() {
  if (!entered_) return;
  Lock lock(globals_.lock);
  globals_.initialized = false;
  globals_.uninitializing = false;
}

}  // namespace kelda::cpapi
