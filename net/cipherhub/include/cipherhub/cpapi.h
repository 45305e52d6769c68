/* The crypto-provider plug-in interface: one prototype per CPAPI_* entry
 * point, shared by the dispatcher (which binds the entry points by name and
 * calls them through pointers of these types) and by every provider plug-in
 * (which defines them; the compiler checks each definition against its
 * prototype here).
 *
 * Each CPAPI_<Name>_fn is the function type of one entry point; the entry
 * point itself is declared from it, exported with KELDA_EXPORT.
 *
 * Conventions: plain C, no exception crosses an entry point. Text is 8-bit
 * (code page 1251). A call that can fail takes an error buffer and its
 * capacity in bytes as its last two arguments and writes one NUL-terminated
 * message there on failure (nothing when the buffer is null or the capacity
 * 0). Values the Parts of the system leave unused ("further values") are
 * pointer-sized, passed as 0 and not read. Every buffer a provider hands out
 * is freed with that provider's CPAPI_FreeMemory. Providers start no thread;
 * calls come on their callers' threads (the key exchange on the transport's
 * connection thread, encryption on the sender's, decryption on the receive
 * thread).
 */
#ifndef CIPHERHUB_CPAPI_H
#define CIPHERHUB_CPAPI_H

#include <stdint.h>

#include "platform/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Usage modes a provider reports. */
#define CP_USAGE_SIGN 1
#define CP_USAGE_CIPHER 2
#define CP_USAGE_CIPHER_AND_SIGN 3

/* The provider interface version; a provider reporting more is refused. */
#define CP_PROTOCOL_VERSION 1

/* Provider parameter 4: a pointer to the dispatcher's locale record. */
#define CP_PARAM_LOCALE 4
/* Context parameter 1 of a channel cipher: its protect flags. */
#define CP_CONTEXT_PARAM_PROTECT_FLAGS 1

/* Results of CPAPI_EnCryptData and CPAPI_DeCryptData. */
#define CP_CRYPT_ERROR 1
#define CP_CRYPT_DONE 2

/* Result flags of CPAPI_HandShake: 8 with 2 means send the block and finish. */
#define CP_HANDSHAKE_ERROR 1
#define CP_HANDSHAKE_DONE 2
#define CP_HANDSHAKE_NEED_INPUT 4
#define CP_HANDSHAKE_SEND 8

/* Key handler types of CPAPI_SetKeyHandler. */
#define CP_KEY_HANDLER_LOOKUP 1
#define CP_KEY_HANDLER_VALIDATOR 2
#define CP_KEY_HANDLER_KEY_TEXT 3

/* The dispatcher's record of a provider (cipherhub.h). Providers only pass
 * it on to their callbacks, unchanged. */
typedef struct cp_provider_record cp_provider_record;

/* A provider's crypto context: opaque to everyone but its provider, whose
 * contexts begin with a 32-bit tag that every call checks. */
typedef struct CpapiContext CpapiContext;

/* Initialisation mode 5 of a context: asked for the context's parameter
 * record, which it stores in *params_out; non-zero on success. */
typedef int32_t (*CpapiParamCallback)(const cp_provider_record* provider, uintptr_t callback_value,
                                      uintptr_t reserved1, uintptr_t reserved2, void** params_out,
                                      uint32_t* value_out, char* error, uint32_t error_size);

/* A key handler as registered; its real type depends on the handler type
 * (CpapiPeerValidator for CP_KEY_HANDLER_VALIDATOR; the lookup and key-text
 * handlers take the key base request of the provider's library). */
typedef void (*CpapiKeyHandler)(void);

/* What a validator is shown of the peer at the end of a key exchange. */
typedef struct CpapiPeerInfo {
  uint32_t version; /* 1 */
  int32_t user_id;
} CpapiPeerInfo;

/* Approves the peer: non-zero to accept, 0 (with a message) to refuse. */
typedef int32_t (*CpapiPeerValidator)(const cp_provider_record* provider, uintptr_t caller_value,
                                      const CpapiPeerInfo* peer, uint32_t peer_size,
                                      uintptr_t validator_value1, uintptr_t validator_value2,
                                      char* error, uint32_t error_size);

/* Where the content and the signature of signed data lie (signing
 * providers). layout: 1 content here, signature in the data; 2 content in
 * the data, signature here; 3 both here; 4 the signature in the data carries
 * the content. */
#define CP_SIGNED_DATA_TAG 23032009u
typedef struct CpapiSignedData {
  uint32_t tag; /* CP_SIGNED_DATA_TAG */
  uint32_t layout;
  const void* content;
  uint32_t content_length;
  const void* signature;
  uint32_t signature_length;
} CpapiSignedData;

/* The expected signer of CPAPI_CheckData; an empty record accepts the first
 * signature that verifies and is filled with its signer. With the tag
 * CP_SENDER_INFO_EX_TAG the record is a CpapiSenderInfoEx. */
#define CP_SENDER_INFO_EX_TAG 0x18102005u
typedef struct CpapiSenderInfo {
  uint32_t tag;
  char issuer[1024];
  char subject[1024];
  char serial_number[1024];
} CpapiSenderInfo;
typedef struct CpapiSenderInfoEx {
  CpapiSenderInfo sender;
  const CpapiSignedData* signed_data;
} CpapiSenderInfoEx;

/* ---- Library ---- */

/* 1 on success, 0 with a message. Language ids are 16-bit. */
typedef int32_t CPAPI_InitializeLib_fn(uint16_t language, uint16_t sub_language, uint16_t dialect,
                                       uintptr_t owner, int32_t init_mode, uintptr_t value1,
                                       uintptr_t value2, const char* ini_path, uintptr_t value3,
                                       uintptr_t value4, uintptr_t value5, uintptr_t value6,
                                       char* error, uint32_t error_size);
typedef int32_t CPAPI_UninitializeLib_fn(uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                         uintptr_t value4);
/* The provider's own settings dialog: 1 saved, 0 cancelled or failed. */
typedef int32_t CPAPI_ConfigCryptoProvider_fn(uintptr_t owner_window, const char* ini_path);

/* Called at binding with every argument zero or null. */
typedef int32_t CPAPI_GetProviderId_fn(uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                       uintptr_t value4, char* error, uint32_t error_size);
typedef int32_t CPAPI_GetProviderUsageMode_fn(uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                              uintptr_t value4, char* error, uint32_t error_size);
/* The provider's name: NUL-terminated, owned by the provider. */
typedef const char* CPAPI_GetProviderName_fn(uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                             uintptr_t value4, char* error, uint32_t error_size);
typedef int32_t CPAPI_GetProviderVersion_fn(uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                            uintptr_t value4, char* error, uint32_t error_size);

/* Provider parameters: 1 owner window, 2 settings file, 3 dialog font,
 * 4 locale (CP_PARAM_LOCALE). 1 ok, 0 with a message. */
typedef int32_t CPAPI_GetProviderParam_fn(int32_t param_id, uintptr_t* value, uint32_t* value_size,
                                          char* error, uint32_t error_size);
typedef int32_t CPAPI_SetProviderParam_fn(int32_t param_id, uintptr_t value, uintptr_t value2,
                                          uintptr_t value3, char* error, uint32_t error_size);

/* ---- Memory: every buffer the provider hands out ---- */

typedef void* CPAPI_AllocMemory_fn(uint32_t size);
typedef void* CPAPI_ReallocMemory_fn(void* block, uint32_t size);
typedef int32_t CPAPI_FreeMemory_fn(void* block);

/* ---- Contexts ---- */

/* The context, or null with a message. provider is the dispatcher's record. */
typedef CpapiContext* CPAPI_NewCryptoContext_fn(
    const cp_provider_record* provider, int32_t type_or_usage, uint16_t language,
    uint16_t sub_language, uint16_t dialect, uintptr_t owner, int32_t init_mode,
    CpapiParamCallback callback, uintptr_t callback_value, const char* ini_path,
    const void* params, uintptr_t value1, uintptr_t value2, uintptr_t value3, char* error,
    uint32_t error_size);
/* 1 ok (also for a null context), 0 for a bad context. */
typedef int32_t CPAPI_FreeCryptoContext_fn(CpapiContext* context, uintptr_t value1,
                                           uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                           char* error, uint32_t error_size);
typedef int32_t CPAPI_SetContextParam_fn(CpapiContext* context, int32_t param_id, uintptr_t value,
                                         uintptr_t value2, uintptr_t value3, char* error,
                                         uint32_t error_size);
typedef int32_t CPAPI_GetContextParam_fn(CpapiContext* context, int32_t param_id, uintptr_t* value,
                                         uintptr_t value2, uintptr_t value3, char* error,
                                         uint32_t error_size);

/* ---- Signing (usage 1 and 3) ---- */

/* Output: the data followed by its signature, in *buffer (provider memory,
 * reallocated when *length, its capacity on entry, is too small); *length
 * is the output's length on return. 1 ok, 0 with a message. */
typedef int32_t CPAPI_SignData_fn(CpapiContext* context, const void* data, uint32_t data_length,
                                  void** buffer, uint32_t* length, uintptr_t value1,
                                  uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                  char* error, uint32_t error_size);
/* 1 when the data holds signed data, else 0. */
typedef int32_t CPAPI_IsDataSigned_fn(CpapiContext* context, const void* data,
                                      uint32_t data_length, const CpapiSignedData* split,
                                      uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                      char* error, uint32_t error_size);
/* 1 when a signature of the sender verifies, with the content in *content
 * (as *buffer of CPAPI_SignData). */
typedef int32_t CPAPI_CheckData_fn(CpapiContext* context, const void* data, uint32_t data_length,
                                   void** content, uint32_t* content_length,
                                   CpapiSenderInfo* sender, uintptr_t value1, uintptr_t value2,
                                   uintptr_t value3, char* error, uint32_t error_size);

/* ---- Ciphers (usage 2 and 3) ---- */

/* Fills the buffer with random bytes: 1 ok, 0 with a message. Optional. */
typedef int32_t CPAPI_Random_fn(void* buffer, uint32_t length, char* error, uint32_t error_size);
/* Output in *out (provider memory or null on entry, grown by the provider),
 * *out_length its capacity on entry and the output's length on return.
 * CP_CRYPT_DONE, or CP_CRYPT_ERROR with a message. */
typedef int32_t CPAPI_EnCryptData_fn(CpapiContext* context, const void* input, uint32_t length,
                                     void** out, uint32_t* out_length, uintptr_t value1,
                                     uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                     char* error, uint32_t error_size);
typedef int32_t CPAPI_DeCryptData_fn(CpapiContext* context, const void* input, uint32_t length,
                                     void** out, uint32_t* out_length, uintptr_t value1,
                                     uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                     char* error, uint32_t error_size);
/* One step of the channel key exchange. input may be null (no block from
 * the peer yet). *out is one provider buffer the caller keeps for the whole
 * exchange (null at first) and frees at its end; *out_length is its capacity
 * on entry and, with CP_HANDSHAKE_SEND, the length of the block to send.
 * Result: CP_HANDSHAKE_* flags. The validator values go to the peer
 * validator. */
typedef int32_t CPAPI_HandShake_fn(const cp_provider_record* provider, CpapiContext* context,
                                   uintptr_t caller_value, const void* input,
                                   uint32_t input_length, void** out, uint32_t* out_length,
                                   uintptr_t value1, uintptr_t value2, uintptr_t validator_value1,
                                   uintptr_t validator_value2, char* error, uint32_t error_size);
/* Registers a key handler of a type (CP_KEY_HANDLER_*): 1, or 0 with a
 * message. */
typedef int32_t CPAPI_SetKeyHandler_fn(int32_t type, CpapiKeyHandler handler, uintptr_t user_value,
                                       uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                       char* error, uint32_t error_size);

/* The entry points a provider module exports. */
KELDA_EXPORT CPAPI_InitializeLib_fn CPAPI_InitializeLib;
KELDA_EXPORT CPAPI_UninitializeLib_fn CPAPI_UninitializeLib;
KELDA_EXPORT CPAPI_ConfigCryptoProvider_fn CPAPI_ConfigCryptoProvider;
KELDA_EXPORT CPAPI_GetProviderId_fn CPAPI_GetProviderId;
KELDA_EXPORT CPAPI_GetProviderUsageMode_fn CPAPI_GetProviderUsageMode;
KELDA_EXPORT CPAPI_GetProviderName_fn CPAPI_GetProviderName;
KELDA_EXPORT CPAPI_GetProviderVersion_fn CPAPI_GetProviderVersion;
KELDA_EXPORT CPAPI_GetProviderParam_fn CPAPI_GetProviderParam;
KELDA_EXPORT CPAPI_SetProviderParam_fn CPAPI_SetProviderParam;
KELDA_EXPORT CPAPI_AllocMemory_fn CPAPI_AllocMemory;
KELDA_EXPORT CPAPI_ReallocMemory_fn CPAPI_ReallocMemory;
KELDA_EXPORT CPAPI_FreeMemory_fn CPAPI_FreeMemory;
KELDA_EXPORT CPAPI_NewCryptoContext_fn CPAPI_NewCryptoContext;
KELDA_EXPORT CPAPI_FreeCryptoContext_fn CPAPI_FreeCryptoContext;
KELDA_EXPORT CPAPI_SetContextParam_fn CPAPI_SetContextParam;
KELDA_EXPORT CPAPI_GetContextParam_fn CPAPI_GetContextParam;
KELDA_EXPORT CPAPI_SignData_fn CPAPI_SignData;
KELDA_EXPORT CPAPI_IsDataSigned_fn CPAPI_IsDataSigned;
KELDA_EXPORT CPAPI_CheckData_fn CPAPI_CheckData;
KELDA_EXPORT CPAPI_Random_fn CPAPI_Random;
KELDA_EXPORT CPAPI_EnCryptData_fn CPAPI_EnCryptData;
KELDA_EXPORT CPAPI_DeCryptData_fn CPAPI_DeCryptData;
KELDA_EXPORT CPAPI_HandShake_fn CPAPI_HandShake;
KELDA_EXPORT CPAPI_SetKeyHandler_fn CPAPI_SetKeyHandler;

#ifdef __cplusplus
}
#endif

#endif /* CIPHERHUB_CPAPI_H */
