/* zn_de: the protocol library between the trading-server client library and
 * the transport zn_dtcp.
 *
 * It opens and closes connections, runs the protocol's negotiation inside the
 * transport's negotiation event (check time-out, key exchange, layout check),
 * answers pings, waits for the permissions message, encodes and decodes
 * application messages through the message codec, hands every stored message
 * to its MessageHandler, and keeps each connection's last error and
 * statistics.
 *
 * Threading: every function may be called from any thread. The caller's event
 * callback runs on the transport's threads (and on the caller's thread for a
 * synchronous disconnect), never with a library lock held; MessageHandlers run
 * on the thread that calls zn_recvmsg. A connection handle stays valid until
 * event 4 has been raised for it; calls already inside the library with it
 * keep it alive until they return. zn_connect_ex holds no library lock while
 * the transport sets the link up (a crypto provider's dialog may be open
 * meanwhile), so calls on other connections go on; the new connection's
 * events wait until its set-up is complete. zn_fin during a zn_connect_ex
 * makes that call fail and close the link it had started.
 * Errors: 1 (or a handle) on success, 0 (or null) on failure with a
 * NUL-terminated text in the caller's error buffer (last two arguments), which
 * is left alone when null or of size 0. Failures on a live connection are
 * also kept as its last error (zn_get_last_error).
 * 64-bit: user data and owner values are pointer-sized.
 */
#ifndef ZN_DE_ZN_DE_H
#define ZN_DE_ZN_DE_H

#include <stdint.h>

#include "zn_de/message_layout.h"
#include "zn_dtcp/zn_dtcp.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zn_connection zn_connection;

/* Control messages of the protocol. */
#define ZN_MSG_PING 0xF001
#define ZN_MSG_PONG 0xF002
#define ZN_MSG_LAYOUT_CHECK 0xF003
#define SN_PERMS 0xF006
#define ZN_MSG_LOGOUT 78
#define ZN_MSG_ACCESS_REFUSED 0x4166

/* Events raised to the caller. */
#define ZN_EVENT_NEGOTIATED 2
#define ZN_EVENT_CLOSED 3
#define ZN_EVENT_FREEING 4
#define ZN_EVENT_MESSAGE 5
#define ZN_EVENT_STORED 6
#define ZN_EVENT_PERMISSIONS 8
#define ZN_EVENT_SERVER_ERROR 9
#define ZN_EVENT_SERVER_INFO 10

/* Error classes (ZN_ERROR_CLASS). */
#define ZN_ERROR_NONE (-1)
#define ZN_ERROR_APPLICATION (-3)
#define ZN_ERROR_SYSTEM (-4)
#define ZN_ERROR_TRANSPORT (-5)
#define ZN_ERROR_REFUSED_BY_CALLER (-6)
#define ZN_ERROR_CRYPTO (-7)

/* Six counters: messages sent, bytes written to the socket, message bytes
 * sent (id, body and check word), messages received, bytes read from the
 * socket, message bytes received (each block less 2). */
typedef struct zn_statistics {
  uint32_t messages_sent;
  uint32_t bytes_written;
  uint32_t message_bytes_sent;
  uint32_t messages_received;
  uint32_t bytes_read;
  uint32_t message_bytes_received;
} zn_statistics;
#ifdef __cplusplus
static_assert(sizeof(zn_statistics) == 24, "zn_statistics keeps its size");
#endif

/* The caller's event callback: user data, event, in/out result word, event
 * data, message id, the decoded record (event 5) or the server's text
 * (events 9 and 10), its size. -1 aborts (any negative value for event 2). */
typedef int32_t (*zn_event_callback)(uintptr_t user_data, int32_t event, int32_t* result,
                                     void* event_data, uint32_t message_id, const void* data,
                                     uint32_t size);

int32_t zn_is_initialized(void);
int32_t zn_init(const char* ini_path, const MessageLayoutEntry* default_registry,
                const MessageHandlerEntry* default_handlers, uint16_t language,
                uint16_t sub_language, uint16_t dialect, uintptr_t owner, uintptr_t reserved1,
                uintptr_t reserved2, uintptr_t reserved3, uintptr_t reserved4, char* error,
                uint32_t error_size);
int32_t zn_set_param(uint32_t number, uintptr_t value);
int32_t zn_get_version(void);
void zn_free_mem(void* block);
void zn_fin(void);

zn_connection* zn_connect_ex(const MessageHandlerEntry* handlers,
                             const MessageLayoutEntry* registry, const char* name,
                             uint32_t* out_number, const zn_crypto_params* crypto,
                             uint16_t language, uint16_t sub_language, uint16_t dialect,
                             uintptr_t owner, const zn_conn_setup* setup,
                             zn_event_callback callback, uintptr_t user_data,
                             uintptr_t reserved1, uintptr_t reserved2, uintptr_t reserved3,
                             uintptr_t reserved4, char* error, uint32_t error_size);
zn_connection* zn_connect(const char* name, uint32_t* out_number, const zn_crypto_params* crypto,
                          uint16_t language, uint16_t sub_language, uint16_t dialect,
                          uintptr_t owner, const zn_conn_setup* setup, zn_event_callback callback,
                          uintptr_t user_data, uintptr_t reserved1, uintptr_t reserved2,
                          uintptr_t reserved3, uintptr_t reserved4, char* error,
                          uint32_t error_size);
int32_t zn_disconnect(zn_connection* connection, int32_t mode, char* error, uint32_t error_size);
int32_t zn_sendmsg(zn_connection* connection, uint32_t message_id, const void* record,
                   char* error, uint32_t error_size);
int32_t zn_recvmsg(zn_connection* connection, char* error, uint32_t error_size);
int32_t zn_set_connection_param(zn_connection* connection, uint32_t number, uintptr_t value,
                                uintptr_t reserved1, uintptr_t reserved2, char* error,
                                uint32_t error_size);
int32_t zn_get_connection_param(zn_connection* connection, uint32_t number, uint32_t* value,
                                uintptr_t reserved1, uintptr_t reserved2, char* error,
                                uint32_t error_size);
zn_statistics* zn_getstataddr(zn_connection* connection, char* error, uint32_t error_size);
int32_t zn_get_last_error(zn_connection* connection, char* error, uint32_t error_size);
int32_t zn_get_buffered_send_msg_count(zn_connection* connection, uint32_t* out_count,
                                       char* error, uint32_t error_size);
int32_t zn_get_proxy_settings_description(zn_connection* connection, char* text,
                                          uint32_t text_size, uintptr_t reserved1,
                                          uintptr_t reserved2, uintptr_t reserved3,
                                          uintptr_t reserved4, char* error, uint32_t error_size);
int32_t zn_get_connection_cipher_crypto_provider_info(
    zn_connection* connection, int32_t* out_provider_id, char* name, uint32_t name_size,
    uintptr_t word1, uintptr_t word2, uintptr_t word3, uintptr_t word4, uintptr_t word5,
    uintptr_t word6, uintptr_t word7, uintptr_t word8, uintptr_t word9, uintptr_t word10,
    char* error, uint32_t error_size);

/* The proxy settings dialog (zn_tcp_config_proxy_settings); the four
 * reserved words are passed as 0 and not read. */
int32_t zn_config_proxy_settings(uintptr_t owner, const char* ini_path, zn_proxy_params* proxy,
                                 uintptr_t reserved1, uintptr_t reserved2, uintptr_t reserved3,
                                 uintptr_t reserved4);

/* Crypto providers and signing, forwarded to the transport's functions of the
 * same names (zn_dtcp.h) with the arguments unchanged. */
typedef zn_tcp_sign_context zn_sign_context;
int32_t zn_get_default_cipher_crypto_provider(char* name, uint32_t name_size, char* error,
                                              uint32_t error_size);
int32_t zn_get_default_sign_crypto_provider(char* name, uint32_t name_size, char* error,
                                            uint32_t error_size);
int32_t zn_get_cipher_crypto_provider(char* name, uint32_t name_size, const char* ini_path,
                                      char* error, uint32_t error_size);
int32_t zn_get_sign_crypto_provider(char* name, uint32_t name_size, const char* ini_path,
                                    char* error, uint32_t error_size);
int32_t zn_set_cipher_crypto_provider(const char* name, const char* ini_path, char* error,
                                      uint32_t error_size);
int32_t zn_set_sign_crypto_provider(const char* name, const char* ini_path, char* error,
                                    uint32_t error_size);
int32_t zn_get_crypto_provider_info(const char* name, char* ini_file, uint32_t ini_file_size,
                                    char* module_file, uint32_t module_file_size,
                                    int32_t* initialized, int32_t* configurable, uintptr_t value1,
                                    uintptr_t value2, uintptr_t value3, uintptr_t value4,
                                    char* error, uint32_t error_size);
int32_t zn_is_crypto_provider_supported(const char* name, int32_t* initialized,
                                        uintptr_t reserved);
/* The user picks a provider in the dispatcher's providers dialog: as the
 * default of its kind (set_default) or for an INI file (select). */
int32_t zn_set_default_cipher_crypto_provider(uintptr_t owner, char* name, uint32_t name_size,
                                              char* error, uint32_t error_size);
int32_t zn_set_default_sign_crypto_provider(uintptr_t owner, char* name, uint32_t name_size,
                                            char* error, uint32_t error_size);
int32_t zn_select_cipher_crypto_provider(const char* ini_path, uintptr_t owner, char* name,
                                         uint32_t name_size, char* error, uint32_t error_size);
int32_t zn_select_sign_crypto_provider(const char* ini_path, uintptr_t owner, char* name,
                                       uint32_t name_size, char* error, uint32_t error_size);
/* The provider's own settings dialog. */
int32_t zn_config_crypto_provider(const char* name, const char* ini_path, uintptr_t owner,
                                  uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                  uintptr_t value4, char* error, uint32_t error_size);
zn_sign_context* zn_init_crypto_sign_context(uint16_t language, uint16_t sub_language,
                                             uint16_t dialect, const zn_crypto_params* crypto,
                                             uintptr_t owner, uintptr_t reserved1,
                                             uintptr_t reserved2, uintptr_t reserved3,
                                             uintptr_t reserved4, char* error,
                                             uint32_t error_size);
int32_t zn_delete_crypto_sign_context(zn_sign_context* context, uintptr_t reserved1,
                                      uintptr_t reserved2, uintptr_t reserved3,
                                      uintptr_t reserved4, char* error, uint32_t error_size);
int32_t zn_sign_data(zn_sign_context* context, const void* data, uint32_t length, void** output,
                     uint32_t* output_length, uintptr_t value1, uintptr_t value2,
                     uintptr_t value3, uintptr_t value4, char* error, uint32_t error_size);
int32_t zn_check_data(zn_sign_context* context, const void* data, uint32_t length,
                      void** output, uint32_t* output_length, uintptr_t value1, uintptr_t value2,
                      uintptr_t value3, uintptr_t value4, char* error, uint32_t error_size);
int32_t zn_is_data_signed(zn_sign_context* context, const void* data, uint32_t length,
                          const struct CpapiSignedData* split, uintptr_t value1, uintptr_t value2,
                          uintptr_t value3, char* error, uint32_t error_size);

#ifdef __cplusplus
}
#endif

#endif /* ZN_DE_ZN_DE_H */
