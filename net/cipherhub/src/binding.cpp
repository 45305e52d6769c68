// Binding provider modules (binding.h).
#include "binding.h"

#include <cstdio>
#include <cstring>

#include "platform/last_error.h"

namespace kelda::cipherhub {
namespace {

template <typename Fn>
void bind(const platform::Module& module, Fn*& slot, const char* name) {
  slot = module.function<Fn*>(name);
}

std::string format(const char* format, std::string_view path, long value, long other = 0) {
  char text[1200];
  std::snprintf(text, sizeof text, format, std::string(path).c_str(), value, other);
  return text;
}

}  // namespace

void copy_field(char* field, std::size_t size, std::string_view text) {
  if (size == 0) return;
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

bool bind_provider_module(ProviderEntry& entry, const BindRequest& request, std::string& error) {
  error.clear();
  cp_provider_record& record = entry.record;
  if (request.module_path.empty()) return false;

  copy_field(record.module_file, sizeof record.module_file, request.module_path);
  entry.module = platform::Module::load(request.module_path, request.anchor);
  if (!entry.module) {
    error = format("Can't load crypto provider module \"%s\". Error %ld", request.module_path,
                   static_cast<long>(platform::get_last_error()));
    return false;
  }
  record.module = &entry.module;

  cp_provider_entry_points& e = record.entry;
  const platform::Module& m = entry.module;
  bind(m, e.initialize_lib, "CPAPI_InitializeLib");
  bind(m, e.uninitialize_lib, "CPAPI_UninitializeLib");
  bind(m, e.config_crypto_provider, "CPAPI_ConfigCryptoProvider");
  bind(m, e.get_provider_id, "CPAPI_GetProviderId");
  bind(m, e.get_provider_usage_mode, "CPAPI_GetProviderUsageMode");
  bind(m, e.get_provider_name, "CPAPI_GetProviderName");
  bind(m, e.get_provider_version, "CPAPI_GetProviderVersion");
  bind(m, e.get_provider_param, "CPAPI_GetProviderParam");
  bind(m, e.set_provider_param, "CPAPI_SetProviderParam");
  bind(m, e.alloc_memory, "CPAPI_AllocMemory");
  bind(m, e.realloc_memory, "CPAPI_ReallocMemory");
  bind(m, e.free_memory, "CPAPI_FreeMemory");
  bind(m, e.new_crypto_context, "CPAPI_NewCryptoContext");
  bind(m, e.free_crypto_context, "CPAPI_FreeCryptoContext");
  bind(m, e.set_context_param, "CPAPI_SetContextParam");
  bind(m, e.get_context_param, "CPAPI_GetContextParam");

  auto fail = [&entry](std::string text, std::string& out) {
    out = std::move(text);
    unbind_provider(entry);
    return false;
  };
  if (e.get_provider_version == nullptr) return fail({}, error);
  record.version = e.get_provider_version(0, 0, 0, 0, nullptr, 0);
  if (static_cast<uint32_t>(record.version) > CP_PROTOCOL_VERSION) {
    return fail(format("Module \"%s\": protocol version %ld not supported, current protocol version %ld",
                       request.module_path, record.version, CP_PROTOCOL_VERSION),
                error);
  }
  if (e.get_provider_id == nullptr) return fail({}, error);
  record.provider_id = e.get_provider_id(0, 0, 0, 0, nullptr, 0);
  if (e.get_provider_name == nullptr) return fail({}, error);
  const char* name = e.get_provider_name(0, 0, 0, 0, nullptr, 0);
  copy_field(record.provider_name, sizeof record.provider_name,
             name ? std::string_view(name, strnlen(name, sizeof record.provider_name)) : "");
  if (e.get_provider_usage_mode == nullptr) return fail({}, error);
  record.usage_mode = e.get_provider_usage_mode(0, 0, 0, 0, nullptr, 0);

  const bool signs = record.usage_mode == CP_USAGE_SIGN || record.usage_mode == CP_USAGE_CIPHER_AND_SIGN;
  const bool ciphers = record.usage_mode == CP_USAGE_CIPHER || record.usage_mode == CP_USAGE_CIPHER_AND_SIGN;
  if (!signs && !ciphers) {
    return fail(format("Module \"%s\": wrong crypto providers usage mode %ld", request.module_path,
                       record.usage_mode),
                error);
  }
  if (signs) {
    bind(m, e.sign_data, "CPAPI_SignData");
    bind(m, e.is_data_signed, "CPAPI_IsDataSigned");
    bind(m, e.check_data, "CPAPI_CheckData");
  }
  if (ciphers) {
    bind(m, e.random, "CPAPI_Random");
    bind(m, e.encrypt_data, "CPAPI_EnCryptData");
    bind(m, e.decrypt_data, "CPAPI_DeCryptData");
    bind(m, e.hand_shake, "CPAPI_HandShake");
    bind(m, e.set_key_handler, "CPAPI_SetKeyHandler");
  }

  if (!request.section.empty()) copy_field(record.section_name, sizeof record.section_name, request.section);
  if (!request.ini_file.empty()) copy_field(record.ini_file, sizeof record.ini_file, request.ini_file);
  record.initialized = 0;
  if (e.set_provider_param == nullptr) return fail({}, error);
  set_record_valid(record, true);
  e.set_provider_param(CP_PARAM_LOCALE, reinterpret_cast<uintptr_t>(request.locale), 0, 0, nullptr, 0);
  return true;
}

void unbind_provider(ProviderEntry& entry) {
  set_record_valid(entry.record, false);
  entry.record.entry = cp_provider_entry_points{};
  entry.record.initialized = 0;
  entry.record.module = nullptr;
  entry.module.unload();
}

}  // namespace kelda::cipherhub
