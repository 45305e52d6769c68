// The transport's forwarders to the crypto-provider dispatcher, and its
// signing contexts.
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "cipherhub/cipherhub.h"
#include "dispatcher_users.h"
#include "library.h"
#include "platform/export.h"
#include "texts.h"
#include "zn_dtcp/zn_dtcp.h"

using namespace kelda::dtcp;

namespace {

constexpr uint32_t kErrorSize = 1024;

// A signing context. Its provider context is freed, and its provider let go,
// when the last user leaves: the list, or a call still running with it after
// the context was deleted.
struct SignContext {
  uint32_t number = 0;
  std::string provider_name;
  cp_provider_record* provider = nullptr;
  CpapiContext* context = nullptr;
  bool acquired = false;  // counted as a user of the provider

  SignContext() = default;
  SignContext(const SignContext&) = delete;
  SignContext& operator=(const SignContext&) = delete;
  ~SignContext() {
    if (context != nullptr) {
      char text[kErrorSize] = "";
      CPDAPI_FreeCryptoContext(provider, context, 0, 0, 0, 0, text, sizeof text);
    }
    if (acquired) provider_released(provider_name);
  }
};

struct SignContexts {
  std::mutex mutex;
  std::map<const void*, std::shared_ptr<SignContext>> list;
  uint32_t counter = 0;
};

SignContexts& sign_contexts() {
  static auto* contexts = new SignContexts;
  return *contexts;
}

std::shared_ptr<SignContext> find_sign_context(const zn_tcp_sign_context* handle,
                                               std::string& error) {
  SignContexts& all = sign_contexts();
  std::lock_guard<std::mutex> lock(all.mutex);
  if (handle == nullptr) {
    error = "Wrong sign context handle info was set, sign contexts list is empty.";
    return nullptr;
  }
  auto it = all.list.find(handle);
  if (it == all.list.end()) {
    error = "Wrong sign context handle info was set.";
    return nullptr;
  }
  return it->second;
}

// The sign provider's name chosen by the crypto parameters.
bool sign_provider_name(const zn_crypto_params& p, uintptr_t owner, std::string& name,
                        std::string& error) {
  char buffer[256] = "";
  std::string library_ini;
  {
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    library_ini = lib.ini_path;
  }
  switch (p.selection_mode) {
    case 1:
      CPDAPI_GetDefaultSignCryptoProvider(buffer, sizeof buffer);
      if (buffer[0] == '\0') {
        // "Не указан криптопровайдер подписи, используемый по умолчанию"
        error = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9"
                "\xE4\xE5\xF0 \xEF\xEE\xE4\xEF\xE8\xF1\xE8, \xE8\xF1\xEF\xEE\xEB\xFC\xE7\xF3\xE5"
                "\xEC\xFB\xE9 \xEF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE";
        return false;
      }
      break;
    case 2:
    case 3: {
      std::string path(p.ini_path, strnlen(p.ini_path, sizeof p.ini_path));
      if (path.empty()) path = library_ini;
      if (path.empty()) {
        // "Не указан INI-файл с настройками криптопровайдера подписи"
        error = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED INI-\xF4\xE0\xE9\xEB \xF1 \xED\xE0\xF1\xF2\xF0"
                "\xEE\xE9\xEA\xE0\xEC\xE8 \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4"
                "\xE5\xF0\xE0 \xEF\xEE\xE4\xEF\xE8\xF1\xE8";
        return false;
      }
      if (p.selection_mode == 3) {
        // The user picks the provider, which is stored for that file; a
        // cancelled dialog leaves no name.
        if (CPDAPI_SelectSignCryptoProvider(owner, path.c_str(), buffer, sizeof buffer, 0) != 1) {
          buffer[0] = '\0';
        }
      } else if (!CPDAPI_GetCryptoProviderName(path.c_str(), buffer, sizeof buffer, 0, 0) &&
                 !CPDAPI_GetCryptoProviderName(library_ini.c_str(), buffer, sizeof buffer, 0, 0)) {
        std::strcpy(buffer, "Sekura32");
      }
      break;
    }
    default:
      // "Режим инициализации криптопровайдера подписи %ld не поддерживается"
      error = format("\xD0\xE5\xE6\xE8\xEC \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8 "
                     "\xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9\xE4\xE5\xF0\xE0 \xEF\xEE"
                     "\xE4\xEF\xE8\xF1\xE8 %ld \xED\xE5 \xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0"
                     "\xE5\xF2\xF1\xFF",
                     static_cast<long>(p.selection_mode));
      return false;
  }
  name = buffer;
  if (name.empty()) {
    // "Не указан криптопровайдер подписи"
    error = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xEA\xF0\xE8\xEF\xF2\xEE\xEF\xF0\xEE\xE2\xE0\xE9"
            "\xE4\xE5\xF0 \xEF\xEE\xE4\xEF\xE8\xF1\xE8";
    return false;
  }
  return true;
}

using SignFn = int32_t (*)(cp_provider_record*, CpapiContext*, const void*, uint32_t, void**,
                           uint32_t*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char*, uint32_t);

int32_t sign_or_check_checked(bool sign, zn_tcp_sign_context* handle, const void* data,
                              uint32_t length, void** output, uint32_t* output_length,
                              const uintptr_t words[4], char* error, uint32_t error_size) {
  std::string text;
  std::shared_ptr<SignContext> c = find_sign_context(handle, text);
  if (!c) {
    copy_out(error, error_size, text);
    return 0;
  }
  if (output == nullptr || output_length == nullptr || (data == nullptr && length > 0)) {
    copy_out(error, error_size, "Wrong input params was set.");
    return 0;
  }
  void* produced = nullptr;
  uint32_t produced_length = 0;
  int32_t r = 0;
  if (sign) {
    r = CPDAPI_SignData(c->provider, c->context, data, length, &produced, &produced_length,
                        words[0], words[1], words[2], words[3], error, error_size);
  } else {
    r = CPDAPI_CheckData(c->provider, c->context, data, length, &produced, &produced_length,
                         nullptr, words[0], words[1], words[2], error, error_size);
  }
  if (r == 0) {
    CPDAPI_FreeMemory(c->provider, produced);
    return 0;
  }
  void* grown = std::realloc(*output, produced_length ? produced_length : 1);
  if (grown == nullptr) {
    CPDAPI_FreeMemory(c->provider, produced);
    copy_out(error, error_size, "Memory allocation error.");
    return 0;
  }
  if (produced_length) std::memcpy(grown, produced, produced_length);
  *output = grown;
  *output_length = produced_length;
  CPDAPI_FreeMemory(c->provider, produced);
  return 1;
}

// Writes the provider of one kind into a settings file; a file that cannot
// be written is a failure with its text.
int32_t set_provider(bool cipher, const char* name, const char* ini_path, char* error,
                     uint32_t error_size) {
  if (name == nullptr || ini_path == nullptr) {
    copy_out(error, error_size, "Wrong input params was set.");
    return 0;
  }
  if (CPDAPI_SetCryptoProviderName(ini_path, name, cipher ? 1 : 0, 0) == 1) return 1;
  try {
    copy_out(error, error_size,
             format("Can't write crypto provider \"%s\" into INI-file \"%s\"", name, ini_path));
  } catch (...) {
    copy_out(error, error_size, "");
  }
  return 0;
}

// No exception leaves the signing calls.
int32_t sign_or_check(bool sign, zn_tcp_sign_context* handle, const void* data, uint32_t length,
                      void** output, uint32_t* output_length, const uintptr_t words[4],
                      char* error, uint32_t error_size) {
  try {
    return sign_or_check_checked(sign, handle, data, length, output, output_length, words, error,
                                 error_size);
  } catch (...) {
    copy_out(error, error_size, "Memory allocation error.");
    return 0;
  }
}

// The remembered default cipher or sign provider's name; 1 when there is one.
int32_t default_provider(bool cipher, char* name, uint32_t name_size) {
  if (name == nullptr || name_size == 0) return 0;
  if (cipher) {
    CPDAPI_GetDefaultCipherCryptoProvider(name, name_size);
  } else {
    CPDAPI_GetDefaultSignCryptoProvider(name, name_size);
  }
  return name[0] != '\0' ? 1 : 0;
}

// The cipher or sign provider a settings file chooses; 1 when there is one.
int32_t chosen_provider(bool cipher, char* name, uint32_t name_size, const char* ini_path) {
  if (name == nullptr || name_size == 0) return 0;
  name[0] = '\0';
  if (ini_path == nullptr) return 0;
  CPDAPI_GetCryptoProviderName(ini_path, name, name_size, cipher ? 1 : 0, 0);
  return name[0] != '\0' ? 1 : 0;
}

// The providers dialog of one kind; an empty error text when cancelled.
int32_t select_provider(bool cipher, uintptr_t owner, const char* ini_path, char* name,
                        uint32_t name_size, int32_t as_default, char* error, uint32_t error_size) {
  const int32_t chosen = cipher ? CPDAPI_SelectCipherCryptoProvider(owner, ini_path, name,
                                                                    name_size, as_default)
                                : CPDAPI_SelectSignCryptoProvider(owner, ini_path, name,
                                                                  name_size, as_default);
  if (chosen != 1) {
    copy_out(error, error_size, "");
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" {

KELDA_EXPORT int32_t zn_tcp_get_default_cipher_crypto_provider(char* name, uint32_t name_size,
                                                               char*, uint32_t) {
  return default_provider(true, name, name_size);
}

KELDA_EXPORT int32_t zn_tcp_get_default_sign_crypto_provider(char* name, uint32_t name_size,
                                                             char*, uint32_t) {
  return default_provider(false, name, name_size);
}

KELDA_EXPORT int32_t zn_tcp_get_cipher_crypto_provider(char* name, uint32_t name_size,
                                                       const char* ini_path, char*, uint32_t) {
  return chosen_provider(true, name, name_size, ini_path);
}

KELDA_EXPORT int32_t zn_tcp_get_sign_crypto_provider(char* name, uint32_t name_size,
                                                     const char* ini_path, char*, uint32_t) {
  return chosen_provider(false, name, name_size, ini_path);
}

KELDA_EXPORT int32_t zn_tcp_set_cipher_crypto_provider(const char* name, const char* ini_path,
                                                       char* error, uint32_t error_size) {
  return set_provider(true, name, ini_path, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_set_sign_crypto_provider(const char* name, const char* ini_path,
                                                     char* error, uint32_t error_size) {
  return set_provider(false, name, ini_path, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_get_crypto_provider_info(
    const char* name, char* ini_file, uint32_t ini_file_size, char* module_file,
    uint32_t module_file_size, int32_t* initialized, int32_t* configurable, uintptr_t value1,
    uintptr_t value2, uintptr_t value3, uintptr_t value4, char* error, uint32_t error_size) {
  if (name == nullptr) {
    copy_out(error, error_size, "Wrong input params was set.");
    return 0;
  }
  return CPDAPI_GetCryptoProviderInfo(name, ini_file, ini_file_size, module_file,
                                      module_file_size, initialized, configurable, value1, value2,
                                      value3, value4, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_is_crypto_provider_supported(const char* name, int32_t* initialized,
                                                         uintptr_t) {
  if (name == nullptr) return 0;
  return CPDAPI_IsCryptoProviderSupported(name, initialized);
}

KELDA_EXPORT int32_t zn_tcp_set_default_cipher_crypto_provider(uintptr_t owner, char* name,
                                                               uint32_t name_size, char* error,
                                                               uint32_t error_size) {
  return select_provider(true, owner, nullptr, name, name_size, 1, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_set_default_sign_crypto_provider(uintptr_t owner, char* name,
                                                             uint32_t name_size, char* error,
                                                             uint32_t error_size) {
  return select_provider(false, owner, nullptr, name, name_size, 1, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_select_cipher_crypto_provider(const char* ini_path, uintptr_t owner,
                                                          char* name, uint32_t name_size,
                                                          char* error, uint32_t error_size) {
  return select_provider(true, owner, ini_path, name, name_size, 0, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_select_sign_crypto_provider(const char* ini_path, uintptr_t owner,
                                                        char* name, uint32_t name_size,
                                                        char* error, uint32_t error_size) {
  return select_provider(false, owner, ini_path, name, name_size, 0, error, error_size);
}

KELDA_EXPORT int32_t zn_tcp_config_crypto_provider(const char* name, const char* ini_path,
                                                   uintptr_t owner, uintptr_t value1,
                                                   uintptr_t value2, uintptr_t value3,
                                                   uintptr_t value4, char* error,
                                                   uint32_t error_size) {
  if (name == nullptr) {
    copy_out(error, error_size, "Wrong input params was set.");
    return 0;
  }
  return CPDAPI_ConfigCryptoProvider(name, ini_path, owner, value1, value2, value3, value4, error,
                                     error_size);
}

KELDA_EXPORT zn_tcp_sign_context* zn_tcp_init_crypto_sign_context(
    uint16_t language, uint16_t sub_language, uint16_t dialect, const zn_crypto_params* crypto,
    uintptr_t owner, uintptr_t, uintptr_t, uintptr_t, uintptr_t, char* error,
    uint32_t error_size) {
  try {
    if (crypto == nullptr || crypto->version != 1) {
      copy_out(error, error_size, "Wrong parameters for connection initialization.");
      return nullptr;
    }
    auto c = std::make_shared<SignContext>();
    Locale locale;
    {
      Library& lib = library();
      std::lock_guard<std::shared_mutex> lock(lib.mutex);
      locale = lib.locale;
      if (owner == 0) owner = lib.owner;
    }
    std::string text;
    if (!sign_provider_name(*crypto, owner, c->provider_name, text)) {
      copy_out(error, error_size, text);
      return nullptr;
    }
    if (language == 0x09 && sub_language == 0x01 && dialect != 0) {
      locale = Locale{language, sub_language, dialect};
    }
    std::string ini(crypto->provider_ini_path,
                    strnlen(crypto->provider_ini_path, sizeof crypto->provider_ini_path));
    if (ini.empty()) ini.assign(crypto->ini_path, strnlen(crypto->ini_path, sizeof crypto->ini_path));
    const auto* w = crypto->provider_words;
    char buffer[kErrorSize] = "";
    c->provider = CPDAPI_InitCryptoProviderByName(
        c->provider_name.c_str(), locale.language, locale.sub_language, locale.dialect, owner,
        static_cast<int32_t>(w[0]), w[1], w[2], ini.c_str(), w[3], 0, 0, 0, buffer, sizeof buffer);
    if (c->provider == nullptr) {
      copy_out(error, error_size, buffer[0] ? buffer : "Memory allocation error");
      return nullptr;
    }
    provider_acquired(c->provider_name);
    c->acquired = true;
    c->context = CPDAPI_NewCryptoContext(
        c->provider, static_cast<int32_t>(w[4]), locale.language, locale.sub_language,
        locale.dialect, owner, static_cast<int32_t>(w[5]),
        reinterpret_cast<CpapiParamCallback>(w[6]), w[7], ini.c_str(),
        reinterpret_cast<const void*>(crypto->context_words[0]), crypto->context_words[1], 0, 0,
        buffer, sizeof buffer);
    if (c->context == nullptr) {
      copy_out(error, error_size, buffer[0] ? buffer : "Memory allocation error");
      return nullptr;
    }
    SignContexts& all = sign_contexts();
    std::lock_guard<std::mutex> lock(all.mutex);
    c->number = ++all.counter;
    all.list[c.get()] = c;
    return reinterpret_cast<zn_tcp_sign_context*>(c.get());
  } catch (...) {
    copy_out(error, error_size, "Memory allocation error");
    return nullptr;
  }
}

KELDA_EXPORT int32_t zn_tcp_delete_crypto_sign_context(zn_tcp_sign_context* context, uintptr_t,
                                                       uintptr_t, uintptr_t, uintptr_t,
                                                       char* error, uint32_t error_size) {
  std::shared_ptr<SignContext> c;
  {
    SignContexts& all = sign_contexts();
    std::lock_guard<std::mutex> lock(all.mutex);
    auto it = context ? all.list.find(context) : all.list.end();
    if (it == all.list.end()) {
      copy_out(error, error_size,
               context ? "Wrong sign context handle info was set."
                       : "Wrong sign context handle info was set, sign contexts list is empty.");
      return 0;
    }
    c = std::move(it->second);
    all.list.erase(it);
  }
  // The provider context goes with the last user (now, unless a call on
  // another thread still runs with it).
  c.reset();
  return 1;
}

KELDA_EXPORT int32_t zn_tcp_sign_data(zn_tcp_sign_context* context, const void* data,
                                      uint32_t length, void** output, uint32_t* output_length,
                                      uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                      uintptr_t value4, char* error, uint32_t error_size) {
  const uintptr_t words[4] = {value1, value2, value3, value4};
  return sign_or_check(true, context, data, length, output, output_length, words, error,
                       error_size);
}

KELDA_EXPORT int32_t zn_tcp_check_data(zn_tcp_sign_context* context, const void* data,
                                       uint32_t length, void** output, uint32_t* output_length,
                                       uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                       uintptr_t value4, char* error, uint32_t error_size) {
  const uintptr_t words[4] = {value1, value2, value3, value4};
  return sign_or_check(false, context, data, length, output, output_length, words, error,
                       error_size);
}

KELDA_EXPORT int32_t zn_tcp_is_data_signed(zn_tcp_sign_context* context, const void* data,
                                           uint32_t length, const CpapiSignedData* split,
                                           uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                           char* error, uint32_t error_size) {
  try {
    std::string text;
    std::shared_ptr<SignContext> c = find_sign_context(context, text);
    if (!c) {
      copy_out(error, error_size, text);
      return 0;
    }
    if (data == nullptr && length > 0) {
      copy_out(error, error_size, "Wrong input params was set.");
      return 0;
    }
    return CPDAPI_IsDataSigned(c->provider, c->context, data, length, split, value1, value2,
                               value3, error, error_size);
  } catch (...) {
    copy_out(error, error_size, "Memory allocation error");
    return 0;
  }
}

}  // extern "C"
