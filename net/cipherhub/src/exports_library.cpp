// CPDAPI_* exports: the library, and the calls by provider name and id.
#include <cstdlib>
#include <optional>

#include "binding.h"
#include "cipherhub/cipherhub.h"
#include "dispatcher.h"

namespace kelda::cipherhub {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

template <typename R, typename F>
R guarded(R failure, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

ProviderEntry* by_name(Dispatcher& d, const char* name) {
  return name != nullptr ? d.table.find(name, FindMode::name) : nullptr;
}

ProviderInit make_init(uint16_t language, uint16_t sub_language, uint16_t dialect, uintptr_t owner,
                       int32_t init_mode, uintptr_t value1, uintptr_t value2, const char* ini_path,
                       uintptr_t value3, uintptr_t value4, uintptr_t value5, uintptr_t value6) {
  ProviderInit init;
  init.language = language;
  init.sub_language = sub_language;
  init.dialect = dialect;
  init.owner = owner;
  init.init_mode = init_mode;
  init.values[0] = value1;
  init.values[1] = value2;
  init.values[2] = value3;
  init.values[3] = value4;
  init.values[4] = value5;
  init.values[5] = value6;
  init.ini_path = ini_path;
  return init;
}

// Initialises the provider that find(dispatcher) yields; without one, the
// message refuse(text) writes and null.
template <typename Find, typename Refuse>
cp_provider_record* init_found(Find&& find, Refuse&& refuse, const ProviderInit& init, char* error,
                               uint32_t error_size) noexcept {
  return guarded<cp_provider_record*>(nullptr, [&]() -> cp_provider_record* {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    ErrorText text(error, error_size);
    ProviderEntry* entry = find(d);
    if (entry == nullptr) {
      refuse(text);
      return nullptr;
    }
    return init_provider(d, entry, init, text);
  });
}

// When to clear the caller's error buffer: before the lookup, or only when
// the call reaches the provider.
enum class Clear { always, when_forwarded };

// The entry point in slot of the provider that find(dispatcher) yields,
// called with args and the error buffer under the table lock; `missing` for
// no such provider or entry point.
template <typename Find, typename Fn, typename R, typename... Args>
R forward_found(Find&& find, Fn* cp_provider_entry_points::*slot, R missing, Clear clear, char* error,
                uint32_t error_size, Args... args) noexcept {
  return guarded(missing, [&]() -> R {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    ErrorText text(error, error_size);
    if (clear == Clear::always) text.clear();
    const ProviderEntry* entry = find(d);
    Fn* fn = entry != nullptr ? entry->record.entry.*slot : nullptr;
    if (fn == nullptr) return missing;
    text.clear();
    return fn(args..., error, error_size);
  });
}

// De-initialises an initialised provider; its module stays bound.
int32_t deinit(ProviderEntry* entry, const uintptr_t values[4]) {
  cp_provider_record& record = entry->record;
  if (!record.initialized || record.entry.uninitialize_lib == nullptr) return 0;
  record.entry.uninitialize_lib(values[0], values[1], values[2], values[3]);
  record.initialized = 0;
  return 1;
}

// De-initialises the provider that find(dispatcher) yields; without one, the
// message refuse(text) writes and 0.
template <typename Find, typename Refuse>
int32_t deinit_found(Find&& find, Refuse&& refuse, uintptr_t value1, uintptr_t value2,
                     uintptr_t value3, uintptr_t value4, char* error, uint32_t error_size) noexcept {
  return guarded(0, [&] {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    ProviderEntry* entry = find(d);
    if (entry == nullptr) {
      ErrorText text(error, error_size);
      refuse(text);
      return 0;
    }
    const uintptr_t values[4] = {value1, value2, value3, value4};
    return deinit(entry, values);
  });
}

}  // namespace
}  // namespace kelda::cipherhub

using namespace kelda::cipherhub;
using EP = cp_provider_entry_points;

extern "C" {

int32_t CPDAPI_InitializeLib(uint16_t language, uint16_t sub_language, uint16_t dialect,
                             uintptr_t owner, int32_t ini_mode, uintptr_t value1, uintptr_t value2,
                             const char* ini_path, uintptr_t value3, uintptr_t value4,
                             uintptr_t value5, uintptr_t value6, char* error, uint32_t error_size) {
  return guarded(0, [&] {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    ErrorText text(error, error_size);
    return initialize(d,
                      make_init(language, sub_language, dialect, owner, ini_mode, value1, value2,
                                ini_path, value3, value4, value5, value6),
                      text);
  });
}

int32_t CPDAPI_UninitializeLib(uintptr_t value1, uintptr_t value2, uintptr_t value3, uintptr_t value4) {
  return guarded(0, [&] {
    const uintptr_t values[4] = {value1, value2, value3, value4};
    return uninitialize(dispatcher(), values) ? 1 : 0;
  });
}

void* CPD_AllocMemory(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }

void* CPD_ReallocMemory(void* block, uint32_t size) { return std::realloc(block, size == 0 ? 1 : size); }

void CPD_FreeMemory(void* block) { std::free(block); }

int32_t CPDAPI_IsCryptoProviderSupported(const char* name, int32_t* initialized) {
  return guarded(0, [&] {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    const ProviderEntry* entry = by_name(d, name);
    if (initialized != nullptr) *initialized = entry != nullptr && entry->record.initialized ? 1 : 0;
    return entry != nullptr ? 1 : 0;
  });
}

int32_t CPDAPI_ConfigCryptoProvider(const char* name, const char* ini_path, uintptr_t owner_window,
                                    uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
                                    uint32_t error_size) {
  return guarded(0, [&] {
    Dispatcher& d = dispatcher();
    ErrorText text(error, error_size);
    ProviderEntry* entry = nullptr;
    CPAPI_ConfigCryptoProvider_fn* config = nullptr;
    std::string path;
    std::optional<CallByHandle> call;
    {
      Lock lock(d.lock);
      entry = by_name(d, name);
      if (entry == nullptr) {
        text.format("Crypto provider \"%s\" not installed", name ? name : "");
        return 0;
      }
      config = entry->record.entry.config_crypto_provider;
      if (config == nullptr) {
        text.format("Crypto provider \"%s\" can not be configured", name);
        return 0;
      }
      path = ini_path != nullptr && ini_path[0] != '\0' ? ini_path : entry->record.ini_file;
      ++entry->active_calls;  // the dialog runs without the lock; no removal meanwhile
      call.emplace();         // nor uninitialisation
    }
    const int32_t result = config(owner_window, path.c_str());
    --entry->active_calls;
    return result;
  });
}

int32_t CPDAPI_GetCryptoProviderInfo(const char* name, char* ini_file, uint32_t ini_file_size,
                                     char* module_file, uint32_t module_file_size,
                                     int32_t* initialized, int32_t* configurable, uintptr_t,
                                     uintptr_t, uintptr_t, uintptr_t, char* error,
                                     uint32_t error_size) {
  return guarded(0, [&] {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    const ProviderEntry* entry = by_name(d, name);
    if (entry == nullptr) {
      ErrorText(error, error_size).format("Crypto provider \"%s\" not installed", name ? name : "");
      if (initialized != nullptr) *initialized = 0;
      return 0;
    }
    const cp_provider_record& record = entry->record;
    if (ini_file != nullptr) copy_field(ini_file, ini_file_size, record.ini_file);
    if (module_file != nullptr) copy_field(module_file, module_file_size, record.module_file);
    if (initialized != nullptr) *initialized = record.initialized ? 1 : 0;
    if (configurable != nullptr && record.entry.config_crypto_provider != nullptr) *configurable = 1;
    return 1;
  });
}

cp_provider_record* CPDAPI_InitCryptoProviderByName(const char* name, uint16_t language,
                                                    uint16_t sub_language, uint16_t dialect,
                                                    uintptr_t owner, int32_t init_mode,
                                                    uintptr_t value1, uintptr_t value2,
                                                    const char* ini_path, uintptr_t value3,
                                                    uintptr_t value4, uintptr_t value5,
                                                    uintptr_t value6, char* error,
                                                    uint32_t error_size) {
  return init_found([&](Dispatcher& d) { return by_name(d, name); },
                    [&](ErrorText& text) {
                      text.format("Can't initialize crypto provider \"%s\" because it not installed",
                                  name ? name : "");
                    },
                    make_init(language, sub_language, dialect, owner, init_mode, value1, value2,
                              ini_path, value3, value4, value5, value6),
                    error, error_size);
}

cp_provider_record* CPDAPI_InitCryptoProviderById(int32_t provider_id, uint16_t language,
                                                  uint16_t sub_language, uint16_t dialect,
                                                  uintptr_t owner, int32_t init_mode,
                                                  uintptr_t value1, uintptr_t value2,
                                                  const char* ini_path, uintptr_t value3,
                                                  uintptr_t value4, uintptr_t value5,
                                                  uintptr_t value6, char* error,
                                                  uint32_t error_size) {
  return init_found([&](Dispatcher& d) { return d.table.find_by_id(provider_id); },
                    [&](ErrorText& text) {
                      text.format("Can't initialize crypto provider with identifier \"%ld\" because "
                                  "it not installed",
                                  static_cast<long>(provider_id));
                    },
                    make_init(language, sub_language, dialect, owner, init_mode, value1, value2,
                              ini_path, value3, value4, value5, value6),
                    error, error_size);
}

int32_t CPDAPI_DeInitCryptoProviderByName(const char* name, uintptr_t value1, uintptr_t value2,
                                          uintptr_t value3, uintptr_t value4, char* error,
                                          uint32_t error_size) {
  return deinit_found([&](Dispatcher& d) { return by_name(d, name); },
                      [&](ErrorText& text) {
                        text.format("Can't initialize crypto provider \"%s\" because it not installed",
                                    name ? name : "");
                      },
                      value1, value2, value3, value4, error, error_size);
}

int32_t CPDAPI_DeInitCryptoProviderById(int32_t provider_id, uintptr_t value1, uintptr_t value2,
                                        uintptr_t value3, uintptr_t value4, char* error,
                                        uint32_t error_size) {
  return deinit_found([&](Dispatcher& d) { return d.table.find_by_id(provider_id); },
                      [&](ErrorText& text) {
                        text.format("Can't uninitialize crypto provider with identifier \"%ld\" "
                                    "because it not installed",
                                    static_cast<long>(provider_id));
                      },
                      value1, value2, value3, value4, error, error_size);
}

int32_t CPDAPI_GetProviderId(const char* name, uintptr_t value1, uintptr_t value2, uintptr_t value3,
                             uintptr_t value4, char* error, uint32_t error_size) {
  return guarded(-1, [&] {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    ErrorText text(error, error_size);
    text.clear();
    if (name == nullptr) return -1;
    const ProviderEntry* entry = by_name(d, name);
    if (entry == nullptr) {
      text.format("Crypto provider \"%s\" not initialized", name);
      return -1;
    }
    CPAPI_GetProviderId_fn* fn = entry->record.entry.get_provider_id;
    if (fn == nullptr) {
      text.format("Crypto provider \"%s\" not support function [CPAPI_GetProviderId]", name);
      return -1;
    }
    return fn(value1, value2, value3, value4, error, error_size);
  });
}

int32_t CPDAPI_GetProviderUsageMode(const char* name, uintptr_t value1, uintptr_t value2,
                                    uintptr_t value3, uintptr_t value4, char* error,
                                    uint32_t error_size) {
  return forward_found([&](Dispatcher& d) { return by_name(d, name); }, &EP::get_provider_usage_mode,
                       -1, Clear::always, error, error_size, value1, value2, value3, value4);
}

int32_t CPDAPI_GetProviderVersion(const char* name, uintptr_t value1, uintptr_t value2,
                                  uintptr_t value3, uintptr_t value4, char* error,
                                  uint32_t error_size) {
  return forward_found([&](Dispatcher& d) { return by_name(d, name); }, &EP::get_provider_version, -1,
                       Clear::always, error, error_size, value1, value2, value3, value4);
}

int32_t CPDAPI_SetProviderParam(const char* name, int32_t param_id, uintptr_t value, uintptr_t value2,
                                uintptr_t value3, char* error, uint32_t error_size) {
  return forward_found([&](Dispatcher& d) { return by_name(d, name); }, &EP::set_provider_param, 0,
                       Clear::when_forwarded, error, error_size, param_id, value, value2, value3);
}

int32_t CPDAPI_GetProviderParam(const char* name, int32_t param_id, uintptr_t* value,
                                uint32_t* value_size, char* error, uint32_t error_size) {
  return forward_found([&](Dispatcher& d) { return by_name(d, name); }, &EP::get_provider_param, 0,
                       Clear::when_forwarded, error, error_size, param_id, value, value_size);
}

cp_provider_record* CPDAPI_GetCryptoProviderHandle(int32_t provider_id, uintptr_t, uintptr_t,
                                                   uintptr_t, uintptr_t, uintptr_t, char* error,
                                                   uint32_t error_size) {
  return guarded<cp_provider_record*>(nullptr, [&]() -> cp_provider_record* {
    Dispatcher& d = dispatcher();
    Lock lock(d.lock);
    ErrorText text(error, error_size);
    text.clear();
    ProviderEntry* entry = d.table.find_by_id(provider_id);
    if (entry == nullptr) {
      text.format("Provider with identifier %ld not supported.", static_cast<long>(provider_id));
      return nullptr;
    }
    return &entry->record;
  });
}

const char* CPDAPI_GetProviderName(int32_t provider_id, uintptr_t value1, uintptr_t value2,
                                   uintptr_t value3, uintptr_t value4, char* error,
                                   uint32_t error_size) {
  return forward_found([&](Dispatcher& d) { return d.table.find_by_id(provider_id); },
                       &EP::get_provider_name, static_cast<const char*>(nullptr), Clear::always, error,
                       error_size, value1, value2, value3, value4);
}

}  // extern "C"
