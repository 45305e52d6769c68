// The protocol library's crypto-provider and signing exports: each forwards
// to the transport's function of the same name with its arguments unchanged.
#include "platform/export.h"
#include "zn_de/zn_de.h"

extern "C" {

KELDA_EXPORT int32_t zn_get_default_cipher_crypto_provider(char* name, uint32_t name_size,
                                                           char* error, uint32_t error_size) {
  return zn_tcp_get_default_cipher_crypto_provider(name, name_size, error, error_size);
}

KELDA_EXPORT int32_t zn_get_default_sign_crypto_provider(char* name, uint32_t name_size,
                                                         char* error, uint32_t error_size) {
  return zn_tcp_get_default_sign_crypto_provider(name, name_size, error, error_size);
}

KELDA_EXPORT int32_t zn_get_cipher_crypto_provider(char* name, uint32_t name_size,
                                                   const char* ini_path, char* error,
                                                   uint32_t error_size) {
  return zn_tcp_get_cipher_crypto_provider(name, name_size, ini_path, error, error_size);
}

KELDA_EXPORT int32_t zn_get_sign_crypto_provider(char* name, uint32_t name_size,
                                                 const char* ini_path, char* error,
                                                 uint32_t error_size) {
  return zn_tcp_get_sign_crypto_provider(name, name_size, ini_path, error, error_size);
}

KELDA_EXPORT int32_t zn_set_cipher_crypto_provider(const char* name, const char* ini_path,
                                                   char* error, uint32_t error_size) {
  return zn_tcp_set_cipher_crypto_provider(name, ini_path, error, error_size);
}

KELDA_EXPORT int32_t zn_set_sign_crypto_provider(const char* name, const char* ini_path,
                                                 char* error, uint32_t error_size) {
  return zn_tcp_set_sign_crypto_provider(name, ini_path, error, error_size);
}

KELDA_EXPORT int32_t zn_get_crypto_provider_info(const char* name, char* ini_file,
                                                 uint32_t ini_file_size, char* module_file,
                                                 uint32_t module_file_size, int32_t* initialized,
                                                 int32_t* configurable, uintptr_t value1,
                                                 uintptr_t value2, uintptr_t value3,
                                                 uintptr_t value4, char* error,
                                                 uint32_t error_size) {
  return zn_tcp_get_crypto_provider_info(name, ini_file, ini_file_size, module_file,
                                         module_file_size, initialized, configurable, value1,
                                         value2, value3, value4, error, error_size);
}

KELDA_EXPORT int32_t zn_is_crypto_provider_supported(const char* name, int32_t* initialized,
                                                     uintptr_t reserved) {
  return zn_tcp_is_crypto_provider_supported(name, initialized, reserved);
}

KELDA_EXPORT int32_t zn_set_default_cipher_crypto_provider(uintptr_t owner, char* name,
                                                           uint32_t name_size, char* error,
                                                           uint32_t error_size) {
  return zn_tcp_set_default_cipher_crypto_provider(owner, name, name_size, error, error_size);
}

KELDA_EXPORT int32_t zn_set_default_sign_crypto_provider(uintptr_t owner, char* name,
                                                         uint32_t name_size, char* error,
                                                         uint32_t error_size) {
  return zn_tcp_set_default_sign_crypto_provider(owner, name, name_size, error, error_size);
}

KELDA_EXPORT int32_t zn_select_cipher_crypto_provider(const char* ini_path, uintptr_t owner,
                                                      char* name, uint32_t name_size,
                                                      char* error, uint32_t error_size) {
  return zn_tcp_select_cipher_crypto_provider(ini_path, owner, name, name_size, error,
                                              error_size);
}

KELDA_EXPORT int32_t zn_select_sign_crypto_provider(const char* ini_path, uintptr_t owner,
                                                    char* name, uint32_t name_size, char* error,
                                                    uint32_t error_size) {
  return zn_tcp_select_sign_crypto_provider(ini_path, owner, name, name_size, error, error_size);
}

KELDA_EXPORT int32_t zn_config_crypto_provider(const char* name, const char* ini_path,
                                               uintptr_t owner, uintptr_t value1,
                                               uintptr_t value2, uintptr_t value3,
                                               uintptr_t value4, char* error,
                                               uint32_t error_size) {
  return zn_tcp_config_crypto_provider(name, ini_path, owner, value1, value2, value3, value4,
                                       error, error_size);
}

KELDA_EXPORT zn_sign_context* zn_init_crypto_sign_context(
    uint16_t language, uint16_t sub_language, uint16_t dialect, const zn_crypto_params* crypto,
    uintptr_t owner, uintptr_t reserved1, uintptr_t reserved2, uintptr_t reserved3,
    uintptr_t reserved4, char* error, uint32_t error_size) {
  return zn_tcp_init_crypto_sign_context(language, sub_language, dialect, crypto, owner,
                                         reserved1, reserved2, reserved3, reserved4, error,
                                         error_size);
}

KELDA_EXPORT int32_t zn_delete_crypto_sign_context(zn_sign_context* context, uintptr_t reserved1,
                                                   uintptr_t reserved2, uintptr_t reserved3,
                                                   uintptr_t reserved4, char* error,
                                                   uint32_t error_size) {
  return zn_tcp_delete_crypto_sign_context(context, reserved1, reserved2, reserved3, reserved4,
                                           error, error_size);
}

KELDA_EXPORT int32_t zn_sign_data(zn_sign_context* context, const void* data, uint32_t length,
                                  void** output, uint32_t* output_length, uintptr_t value1,
                                  uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                  char* error, uint32_t error_size) {
  return zn_tcp_sign_data(context, data, length, output, output_length, value1, value2, value3,
                          value4, error, error_size);
}

KELDA_EXPORT int32_t zn_check_data(zn_sign_context* context, const void* data, uint32_t length,
                                   void** output, uint32_t* output_length, uintptr_t value1,
                                   uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                   char* error, uint32_t error_size) {
  return zn_tcp_check_data(context, data, length, output, output_length, value1, value2, value3,
                           value4, error, error_size);
}

KELDA_EXPORT int32_t zn_is_data_signed(zn_sign_context* context, const void* data,
                                       uint32_t length, const CpapiSignedData* split,
                                       uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                       char* error, uint32_t error_size) {
  return zn_tcp_is_data_signed(context, data, length, split, value1, value2, value3, error,
                               error_size);
}

}  // extern "C"
