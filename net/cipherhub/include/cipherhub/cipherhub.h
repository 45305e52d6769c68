/* The crypto-provider dispatcher Cipherhub: its provider record and its
 * exported CPDAPI_* interface, through which the transport reaches the
 * provider plug-ins named in the settings file.
 *
 * Providers: CPDAPI_InitializeLib loads every provider of the INI file's
 * "CryptoProviders" section (and the built-in "Sekura32" provider when its
 * module lies beside the dispatcher) and binds its CPAPI_* entry points by
 * name (cpapi.h). A provider handle is a pointer to its cp_provider_record;
 * the record keeps its address until the dispatcher is uninitialised, and a
 * handle whose valid mark is not 1 is refused. A provider that is initialised
 * or has open contexts cannot be removed.
 *
 * Threads and locks: the dispatcher starts no thread. Calls by handle go
 * straight to the provider on the caller's thread (the transport's
 * connection, send and receive threads at once). The provider table is
 * guarded by one lock, never held while a provider runs.
 *
 * Errors: every function that ends in an error buffer and its capacity
 * writes an 8-bit message there, cut to the capacity and terminated; the
 * calls by handle clear the buffer's first byte before they forward. Results
 * are as each function says; no exception leaves the library. Every buffer a
 * provider hands out is freed with CPDAPI_FreeMemory and the same handle.
 *
 * The record holds pointers and so has its 64-bit layout: four 32-bit words,
 * the texts at their sizes, the module handle, the 24 entry points and the
 * initialised flag, each pointer at its natural alignment (callers use
 * sizeof, nobody writes the record).
 */
#ifndef CIPHERHUB_CIPHERHUB_H
#define CIPHERHUB_CIPHERHUB_H

#include <stdint.h>

#include "cipherhub/cpapi.h"
#include "platform/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The bound entry points, in binding order; sign entry points are null
 * unless the usage mode includes signing, cipher entry points unless it
 * includes encryption, and any entry point the module lacks is null. */
typedef struct cp_provider_entry_points {
  CPAPI_InitializeLib_fn* initialize_lib;
  CPAPI_UninitializeLib_fn* uninitialize_lib;
  CPAPI_ConfigCryptoProvider_fn* config_crypto_provider;
  CPAPI_GetProviderId_fn* get_provider_id;
  CPAPI_GetProviderUsageMode_fn* get_provider_usage_mode;
  CPAPI_GetProviderName_fn* get_provider_name;
  CPAPI_GetProviderVersion_fn* get_provider_version;
  CPAPI_GetProviderParam_fn* get_provider_param;
  CPAPI_SetProviderParam_fn* set_provider_param;
  CPAPI_AllocMemory_fn* alloc_memory;
  CPAPI_ReallocMemory_fn* realloc_memory;
  CPAPI_FreeMemory_fn* free_memory;
  CPAPI_NewCryptoContext_fn* new_crypto_context;
  CPAPI_FreeCryptoContext_fn* free_crypto_context;
  CPAPI_SetContextParam_fn* set_context_param;
  CPAPI_GetContextParam_fn* get_context_param;
  CPAPI_SignData_fn* sign_data;
  CPAPI_IsDataSigned_fn* is_data_signed;
  CPAPI_CheckData_fn* check_data;
  CPAPI_Random_fn* random;
  CPAPI_EnCryptData_fn* encrypt_data;
  CPAPI_DeCryptData_fn* decrypt_data;
  CPAPI_HandShake_fn* hand_shake;
  CPAPI_SetKeyHandler_fn* set_key_handler;
} cp_provider_entry_points;

struct cp_provider_record {
  int32_t valid;        /* 1 for a bound record */
  int32_t provider_id;  /* CPAPI_GetProviderId */
  int32_t usage_mode;   /* CP_USAGE_* */
  int32_t version;      /* CPAPI_GetProviderVersion */
  char section_name[32];
  char provider_name[32];
  char description[128];
  char ini_file[512];    /* the provider's own settings file ("IniFile") */
  char module_file[512]; /* the module ("Module") */
  const void* module;    /* the dispatcher's handle of the loaded module */
  cp_provider_entry_points entry;
  int32_t initialized;
};

/* ---- Library ---- */

/* Init mode 2 needs an INI file that can be read. Returns 1 (also when some
 * providers failed to load: their last message is in the buffer), 0 when
 * the path is wrong. A second call returns 1 and changes nothing. */
KELDA_EXPORT int32_t CPDAPI_InitializeLib(uint16_t language, uint16_t sub_language,
                                          uint16_t dialect, uintptr_t owner, int32_t ini_mode,
                                          uintptr_t value1, uintptr_t value2, const char* ini_path,
                                          uintptr_t value3, uintptr_t value4, uintptr_t value5,
                                          uintptr_t value6, char* error, uint32_t error_size);
/* Uninitialises every initialised provider (passing the four values),
 * unloads it and drops every record. */
KELDA_EXPORT int32_t CPDAPI_UninitializeLib(uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                            uintptr_t value4);

/* The dispatcher's own heap. */
KELDA_EXPORT void* CPD_AllocMemory(uint32_t size);
KELDA_EXPORT void* CPD_ReallocMemory(void* block, uint32_t size);
KELDA_EXPORT void CPD_FreeMemory(void* block);

/* ---- By provider name (compared ignoring case) ---- */

/* 1 when registered, *initialized 1 when initialised; else 0 and 0. */
KELDA_EXPORT int32_t CPDAPI_IsCryptoProviderSupported(const char* name, int32_t* initialized);
/* The provider's settings dialog for ini_path (or its own file). */
KELDA_EXPORT int32_t CPDAPI_ConfigCryptoProvider(const char* name, const char* ini_path,
                                                 uintptr_t owner_window, uintptr_t value1,
                                                 uintptr_t value2, uintptr_t value3,
                                                 uintptr_t value4, char* error,
                                                 uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_GetCryptoProviderInfo(const char* name, char* ini_file,
                                                  uint32_t ini_file_size, char* module_file,
                                                  uint32_t module_file_size, int32_t* initialized,
                                                  int32_t* configurable, uintptr_t value1,
                                                  uintptr_t value2, uintptr_t value3,
                                                  uintptr_t value4, char* error,
                                                  uint32_t error_size);
/* Initialises the provider once (CPAPI_InitializeLib with these values; a
 * null owner means the dispatcher's, a null or empty path the provider's own
 * file) and returns its handle, or null. */
KELDA_EXPORT cp_provider_record* CPDAPI_InitCryptoProviderByName(
    const char* name, uint16_t language, uint16_t sub_language, uint16_t dialect, uintptr_t owner,
    int32_t init_mode, uintptr_t value1, uintptr_t value2, const char* ini_path, uintptr_t value3,
    uintptr_t value4, uintptr_t value5, uintptr_t value6, char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_DeInitCryptoProviderByName(const char* name, uintptr_t value1,
                                                       uintptr_t value2, uintptr_t value3,
                                                       uintptr_t value4, char* error,
                                                       uint32_t error_size);
/* The provider's id, or -1. */
KELDA_EXPORT int32_t CPDAPI_GetProviderId(const char* name, uintptr_t value1, uintptr_t value2,
                                          uintptr_t value3, uintptr_t value4, char* error,
                                          uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_GetProviderUsageMode(const char* name, uintptr_t value1,
                                                 uintptr_t value2, uintptr_t value3,
                                                 uintptr_t value4, char* error,
                                                 uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_GetProviderVersion(const char* name, uintptr_t value1,
                                               uintptr_t value2, uintptr_t value3,
                                               uintptr_t value4, char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_SetProviderParam(const char* name, int32_t param_id, uintptr_t value,
                                             uintptr_t value2, uintptr_t value3, char* error,
                                             uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_GetProviderParam(const char* name, int32_t param_id,
                                             uintptr_t* value, uint32_t* value_size, char* error,
                                             uint32_t error_size);

/* ---- By provider id (the first provider with that id) ---- */

KELDA_EXPORT cp_provider_record* CPDAPI_InitCryptoProviderById(
    int32_t provider_id, uint16_t language, uint16_t sub_language, uint16_t dialect,
    uintptr_t owner, int32_t init_mode, uintptr_t value1, uintptr_t value2, const char* ini_path,
    uintptr_t value3, uintptr_t value4, uintptr_t value5, uintptr_t value6, char* error,
    uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_DeInitCryptoProviderById(int32_t provider_id, uintptr_t value1,
                                                     uintptr_t value2, uintptr_t value3,
                                                     uintptr_t value4, char* error,
                                                     uint32_t error_size);
KELDA_EXPORT cp_provider_record* CPDAPI_GetCryptoProviderHandle(int32_t provider_id,
                                                                uintptr_t value1, uintptr_t value2,
                                                                uintptr_t value3, uintptr_t value4,
                                                                uintptr_t value5, char* error,
                                                                uint32_t error_size);
/* The provider's own name text, or null. */
KELDA_EXPORT const char* CPDAPI_GetProviderName(int32_t provider_id, uintptr_t value1,
                                                uintptr_t value2, uintptr_t value3,
                                                uintptr_t value4, char* error,
                                                uint32_t error_size);

/* ---- By provider handle: the provider's entry point, arguments unchanged ---- */

/* An empty or null ini_path becomes the provider's own settings file. */
KELDA_EXPORT CpapiContext* CPDAPI_NewCryptoContext(
    cp_provider_record* provider, int32_t type_or_usage, uint16_t language, uint16_t sub_language,
    uint16_t dialect, uintptr_t owner, int32_t init_mode, CpapiParamCallback callback,
    uintptr_t callback_value, const char* ini_path, const void* params, uintptr_t value1,
    uintptr_t value2, uintptr_t value3, char* error, uint32_t error_size);
/* A null context gives 1 without a call. */
KELDA_EXPORT int32_t CPDAPI_FreeCryptoContext(cp_provider_record* provider, CpapiContext* context,
                                              uintptr_t value1, uintptr_t value2,
                                              uintptr_t value3, uintptr_t value4, char* error,
                                              uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_SignData(cp_provider_record* provider, CpapiContext* context,
                                     const void* data, uint32_t data_length, void** buffer,
                                     uint32_t* length, uintptr_t value1, uintptr_t value2,
                                     uintptr_t value3, uintptr_t value4, char* error,
                                     uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_IsDataSigned(cp_provider_record* provider, CpapiContext* context,
                                         const void* data, uint32_t data_length,
                                         const CpapiSignedData* split, uintptr_t value1,
                                         uintptr_t value2, uintptr_t value3, char* error,
                                         uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_CheckData(cp_provider_record* provider, CpapiContext* context,
                                      const void* data, uint32_t data_length, void** content,
                                      uint32_t* content_length, CpapiSenderInfo* sender,
                                      uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                      char* error, uint32_t error_size);
/* 0 when the provider has no random source. */
KELDA_EXPORT int32_t CPDAPI_Random(cp_provider_record* provider, void* buffer, uint32_t length,
                                   char* error, uint32_t error_size);
/* CP_CRYPT_DONE, or CP_CRYPT_ERROR (also for a bad handle). */
KELDA_EXPORT int32_t CPDAPI_EnCryptData(cp_provider_record* provider, CpapiContext* context,
                                        const void* input, uint32_t length, void** out,
                                        uint32_t* out_length, uintptr_t value1, uintptr_t value2,
                                        uintptr_t value3, uintptr_t value4, char* error,
                                        uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_DeCryptData(cp_provider_record* provider, CpapiContext* context,
                                        const void* input, uint32_t length, void** out,
                                        uint32_t* out_length, uintptr_t value1, uintptr_t value2,
                                        uintptr_t value3, uintptr_t value4, char* error,
                                        uint32_t error_size);
/* CP_HANDSHAKE_* flags; CP_HANDSHAKE_ERROR for a bad handle. */
KELDA_EXPORT int32_t CPDAPI_HandShake(cp_provider_record* provider, CpapiContext* context,
                                      uintptr_t caller_value, const void* input,
                                      uint32_t input_length, void** out, uint32_t* out_length,
                                      uintptr_t value1, uintptr_t value2,
                                      uintptr_t validator_value1, uintptr_t validator_value2,
                                      char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_SetKeyHandler(cp_provider_record* provider, int32_t type,
                                          CpapiKeyHandler handler, uintptr_t user_value,
                                          uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                          char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_SetContextParam(cp_provider_record* provider, CpapiContext* context,
                                            int32_t param_id, uintptr_t value, uintptr_t value2,
                                            uintptr_t value3, char* error, uint32_t error_size);
/* -1 for a bad handle. */
KELDA_EXPORT int32_t CPDAPI_GetContextParam(cp_provider_record* provider, CpapiContext* context,
                                            int32_t param_id, uintptr_t* value, uintptr_t value2,
                                            uintptr_t value3, char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_SetProviderParamByHandle(cp_provider_record* provider,
                                                     int32_t param_id, uintptr_t value,
                                                     uintptr_t value2, uintptr_t value3,
                                                     char* error, uint32_t error_size);
KELDA_EXPORT int32_t CPDAPI_GetProviderParamByHandle(cp_provider_record* provider,
                                                     int32_t param_id, uintptr_t* value,
                                                     uint32_t* value_size, char* error,
                                                     uint32_t error_size);
KELDA_EXPORT void* CPDAPI_AllocMemory(cp_provider_record* provider, uint32_t size);
KELDA_EXPORT void* CPDAPI_ReallocMemory(cp_provider_record* provider, void* block, uint32_t size);
/* Nothing is freed for a bad handle or a null block. */
KELDA_EXPORT void CPDAPI_FreeMemory(cp_provider_record* provider, void* block);

/* ---- Settings: which provider signs and which encrypts ---- */

/* Reads "CipherCryptoProvider" (cipher non-zero) or "SignCryptoProvider" of
 * section "CryptoProvidersSettings" from ini_path, or with is_default the
 * "Default..." key from the dispatcher's own file, and copies the name of
 * the registered provider of that section (cut, terminated). Returns 1 when
 * a name was found, else 0 with an empty text. */
KELDA_EXPORT int32_t CPDAPI_GetCryptoProviderName(const char* ini_path, char* name,
                                                  uint32_t name_size, int32_t cipher,
                                                  int32_t is_default);
/* Writes the section name under the same key (the default keys into the
 * dispatcher's own file). 1 when written, 0 for a missing file name. */
KELDA_EXPORT int32_t CPDAPI_SetCryptoProviderName(const char* ini_path, const char* section_name,
                                                  int32_t cipher, int32_t is_default);
/* Copy the remembered default provider's name (cut, terminated) and return
 * the dispatcher's own text, which keeps its address (its content changes
 * when the default does). */
KELDA_EXPORT const char* CPDAPI_GetDefaultCipherCryptoProvider(char* name, uint32_t name_size);
KELDA_EXPORT const char* CPDAPI_GetDefaultSignCryptoProvider(char* name, uint32_t name_size);

/* ---- Dialogs: choosing, adding, removing and configuring providers ----
 * The dialogs may be asked for on any thread: they run on the
 * user-interface thread while the caller waits, and count as cancelled when
 * there is none. */

/* The providers dialog listing the providers of usage_filter (1 sign, 2
 * cipher, 3 all) with the name in the buffer chosen; on a choice the chosen
 * provider's name is copied back (cut, terminated) and the result is 1; 0
 * when closed without a choice. */
KELDA_EXPORT int32_t CPDAPI_ConfigCryptoProviders(uintptr_t owner_window, char* name,
                                                  uint32_t name_size, int32_t usage_filter);
/* The providers dialog of cipher (sign) providers. On a choice: with
 * store_as_default the provider becomes the default and its section is
 * written as "DefaultCipherCryptoProvider" ("DefaultSignCryptoProvider")
 * into the dispatcher's own file; with a non-empty ini_path its section is
 * written there as "CipherCryptoProvider" ("SignCryptoProvider"); the name
 * is copied back and the result is 1. 0 when cancelled. */
KELDA_EXPORT int32_t CPDAPI_SelectCipherCryptoProvider(uintptr_t owner_window,
                                                       const char* ini_path, char* name,
                                                       uint32_t name_size,
                                                       int32_t store_as_default);
KELDA_EXPORT int32_t CPDAPI_SelectSignCryptoProvider(uintptr_t owner_window, const char* ini_path,
                                                     char* name, uint32_t name_size,
                                                     int32_t store_as_default);

#ifdef __cplusplus
}
#endif

#endif /* CIPHERHUB_CIPHERHUB_H */
