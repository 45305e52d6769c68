/* zn_dtcp: the transport of the network stack.
 *
 * Owns the TCP connections to the trading server: creates a connection from
 * connection parameters, runs the transport negotiation (cipher provider and
 * locale requests, the provider's key exchange through the dispatcher),
 * carries length-prefixed blocks both ways on threads of its own, and reports
 * everything to the upper layer through one event callback.
 *
 * Threading: every function may be called from any thread. Each connection
 * runs a connection thread, then a send and a receive thread, and at most one
 * disconnecting thread; the event callback is called on those threads (and on
 * the caller's thread for a synchronous disconnect), never with a library lock
 * held. Threads are stopped cooperatively, never killed.
 * Ownership: a connection handle stays valid until event 4 has been raised;
 * calls that are already inside the library with it keep it alive until they
 * return. Blocks handed out by zn_tcp_recv are freed with zn_tcp_free_mem.
 * Errors: functions return 1 (or a handle) on success and 0 (or null) on
 * failure, with a NUL-terminated text in the caller's error buffer (last two
 * arguments) when one is given; failures on the transport's own threads are
 * recorded as the connection's last error (zn_tcp_get_last_error).
 *
 * 64-bit: words that may carry a pointer (user data, owner values, the
 * provider words of zn_crypto_params) are pointer-sized; records that hold a
 * pointer have their natural 64-bit layout, so callers use sizeof.
 */
#ifndef ZN_DTCP_ZN_DTCP_H
#define ZN_DTCP_ZN_DTCP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Socket results and error classes (ZN_TCP_STATUS). */
#define ZN_TCP_SUCCESS 1024
#define ZN_TCP_STOPPED 1
#define ZN_TCP_TIMEOUT 2
#define ZN_TCP_QUEUE_EMPTY 3
#define ZN_TCP_CLOSED_BY_PEER 4
#define ZN_TCP_CLOSED 0
#define ZN_TCP_NO_ERROR (-1)
#define ZN_TCP_APPLICATION_ERROR (-3)
#define ZN_TCP_SYSTEM_ERROR (-4)
#define ZN_TCP_NET_ERROR (-5)
#define ZN_TCP_CRYPTO_ERROR (-7)

/* Events raised to the upper layer. */
#define ZN_TCP_EVENT_CONNECTED 1
#define ZN_TCP_EVENT_CLOSED 3
#define ZN_TCP_EVENT_FREEING 4
#define ZN_TCP_EVENT_DATA 5
#define ZN_TCP_EVENT_STORED 6
#define ZN_TCP_EVENT_SERVER_ERROR 9
#define ZN_TCP_EVENT_SERVER_INFO 10
#define ZN_TCP_EVENT_NEGOTIATE 11

/* Result words of the data event: keep the block in the receive queue, or
 * drop it (consumed by the upper layer). */
#define ZN_KEEP_BLOCK 300
#define ZN_DROP_BLOCK 301

/* Texts of the two refusals of zn_tcp_send and zn_tcp_recv that the upper
 * layer tells apart. ZN_TCP_TEXT_SHUTDOWN: the link is closing or closed; the
 * refusal is a consequence of that, whose cause (if any) is the connection's
 * last error. ZN_TCP_TEXT_SEND_QUEUE_FULL: the send queue holds its bound
 * (the peer does not read); a send from the connection's receive thread is
 * refused at once, a send from any other thread first waits for room. */
#define ZN_TCP_TEXT_SHUTDOWN "Connection shutdown"
#define ZN_TCP_TEXT_SEND_QUEUE_FULL "Send queue is full: the server does not take the data sent"

/* Parameters of zn_tcp_set_connection_param: 8, the receive-queue threshold
 * (blocks); 9, the longest a send waits for room in a full send queue, in
 * milliseconds (0: a send finds room at once or is refused with
 * ZN_TCP_TEXT_SEND_QUEUE_FULL; the upper layer sets it before a send that is
 * part of closing the link, so that closing never waits for a peer that does
 * not read). */
#define ZN_TCP_PARAM_RECEIVE_THRESHOLD 8
#define ZN_TCP_PARAM_SEND_WAIT_MS 9

/* Connection-setup modes. */
#define ZN_SETUP_INI 2
#define ZN_SETUP_RECORD 4
#define ZN_SETUP_CALLBACK 5

/* Context parameter 1 of the cipher provider and the value set after the
 * layout check. */
#define ZN_CP_CONTEXT_PARAM_PROTECT_FLAGS 1
#define ZN_CP_PROTECT_FLAGS_CHANNEL 0x804

typedef struct zn_tcp_connection zn_tcp_connection;

/* Proxy parameters; no pointer, so the layout is fixed (152 bytes). */
typedef struct zn_proxy_params {
  uint32_t version;           /* 1 */
  uint32_t use_proxy;         /* 0 or 1 */
  uint32_t address;           /* IPv4, network byte order */
  uint32_t port;
  uint32_t protocol;          /* 1-4 */
  uint32_t get_password_mode; /* 0 ask at connect, 1 stored name and password */
  char user_name[64];
  char password[64];
} zn_proxy_params;

#ifdef __cplusplus
static_assert(sizeof(zn_proxy_params) == 152, "zn_proxy_params keeps its size");
#endif

/* Connection parameters. */
typedef struct zn_conn_params {
  uint32_t version;       /* 1 */
  uint32_t check_timeout; /* seconds */
  uint32_t address;       /* IPv4, network byte order */
  uint32_t port;
  zn_proxy_params* proxy; /* or null */
} zn_conn_params;

/* Mode 5: fills *params; non-zero on success. */
typedef int32_t (*zn_conn_params_callback)(uintptr_t user_data, zn_conn_params** params);

typedef struct zn_conn_setup {
  uint32_t reserved;
  uint32_t mode; /* ZN_SETUP_* */
  char ini_path[512];
  zn_conn_params_callback callback;
  uintptr_t user_data;
  zn_conn_params* params;
} zn_conn_setup;

/* Crypto parameters. provider_words go to the dispatcher's provider
 * initialisation (words 0-3: initialisation mode and its three values) and
 * context creation (word 4 usage, 5 initialisation mode, 6 parameter
 * callback, 7 its value); context_words[0] is the context's parameter record,
 * context_words[1] a further value. */
typedef struct zn_crypto_params {
  uint32_t version;        /* 1 */
  uint32_t open_context;   /* 1: initialise the provider and open a context */
  uint32_t selection_mode; /* 1 default, 2 from an INI file, 3 ask the user */
  char ini_path[512];      /* provider choice; empty: the library's INI file */
  uintptr_t provider_words[8];
  char provider_ini_path[512]; /* empty: ini_path */
  uintptr_t context_words[2];
} zn_crypto_params;

/* The event callback. result points to the in/out result word; a negative
 * return aborts what the raising thread is doing. */
typedef int32_t (*zn_tcp_event_callback)(uintptr_t user_data, int32_t event, int32_t* result,
                                         void* event_data, const void* block, uint32_t size);

int32_t zn_tcp_init(const char* ini_path, uint16_t language, uint16_t sub_language,
                                uint16_t dialect, uintptr_t owner, uintptr_t reserved1,
                                uintptr_t reserved2, uintptr_t reserved3, uintptr_t reserved4,
                                char* error, uint32_t error_size);
int32_t zn_tcp_set_param(uint32_t number, uintptr_t value);
int32_t zn_tcp_get_version(void);
zn_tcp_connection* zn_tcp_connect(
    const char* name, uint32_t* out_number, uint16_t language, uint16_t sub_language,
    uint16_t dialect, const zn_crypto_params* crypto, uintptr_t owner, uint32_t length_width,
    uint32_t handshake_mode, const zn_conn_setup* setup, zn_tcp_event_callback callback,
    uintptr_t user_data, uintptr_t reserved1, uintptr_t reserved2, uintptr_t reserved3,
    uintptr_t reserved4, char* error, uint32_t error_size);
int32_t zn_tcp_handshake(zn_tcp_connection* connection, uintptr_t word1,
                                     uintptr_t word2, uintptr_t word3, uintptr_t word4,
                                     char* error, uint32_t error_size);
int32_t zn_tcp_set_crypto_provider_context_params(
    zn_tcp_connection* connection, uintptr_t reserved1, uintptr_t reserved2, uintptr_t reserved3,
    uintptr_t reserved4, uintptr_t reserved5, char* error, uint32_t error_size);
int32_t zn_tcp_send(zn_tcp_connection* connection, const void* bytes,
                                uint32_t length, char* error, uint32_t error_size);
int32_t zn_tcp_recv(zn_tcp_connection* connection, void** out_block,
                                uint32_t* out_length, char* error, uint32_t error_size);
void zn_tcp_free_mem(void* block);
int32_t zn_tcp_disconnect(zn_tcp_connection* connection, int32_t synchronous,
                                      char* error, uint32_t error_size);
void zn_tcp_fin(void);
int32_t zn_tcp_get_last_error(zn_tcp_connection* connection, int32_t* out_code,
                                          char* error, uint32_t error_size);
int32_t zn_tcp_set_statistics_params(zn_tcp_connection* connection,
                                                 uint32_t* written_bytes, uint32_t* read_bytes,
                                                 char* error, uint32_t error_size);
int32_t zn_tcp_set_connection_param(zn_tcp_connection* connection, uint32_t number,
                                                uintptr_t value, uintptr_t reserved1,
                                                uintptr_t reserved2, char* error,
                                                uint32_t error_size);
int32_t zn_tcp_get_buffered_send_msg_count(zn_tcp_connection* connection,
                                                       uint32_t* out_count, char* error,
                                                       uint32_t error_size);
int32_t zn_tcp_get_proxy_settings_description(
    zn_tcp_connection* connection, char* text, uint32_t text_size, uintptr_t reserved1,
    uintptr_t reserved2, uintptr_t reserved3, uintptr_t reserved4, char* error,
    uint32_t error_size);
int32_t zn_tcp_config_proxy_settings(uintptr_t owner, const char* ini_path,
                                                 zn_proxy_params* proxy);
int32_t zn_tcp_get_connection_cipher_crypto_provider_info(
    zn_tcp_connection* connection, int32_t* out_provider_id, char* name, uint32_t name_size,
    uintptr_t word1, uintptr_t word2, uintptr_t word3, uintptr_t word4, uintptr_t word5,
    uintptr_t word6, uintptr_t word7, uintptr_t word8, uintptr_t word9, uintptr_t word10,
    char* error, uint32_t error_size);

/* ---- Crypto providers, through the dispatcher ---- */

typedef struct zn_tcp_sign_context zn_tcp_sign_context;

/* The dispatcher's default provider names; 1 when a name came back. */
int32_t zn_tcp_get_default_cipher_crypto_provider(char* name, uint32_t name_size, char* error,
                                                  uint32_t error_size);
int32_t zn_tcp_get_default_sign_crypto_provider(char* name, uint32_t name_size, char* error,
                                                uint32_t error_size);
/* The provider named in an INI file's settings; 1 when not empty. */
int32_t zn_tcp_get_cipher_crypto_provider(char* name, uint32_t name_size, const char* ini_path,
                                          char* error, uint32_t error_size);
int32_t zn_tcp_get_sign_crypto_provider(char* name, uint32_t name_size, const char* ini_path,
                                        char* error, uint32_t error_size);
/* Writes the provider (its section name) into an INI file's settings. */
int32_t zn_tcp_set_cipher_crypto_provider(const char* name, const char* ini_path, char* error,
                                          uint32_t error_size);
int32_t zn_tcp_set_sign_crypto_provider(const char* name, const char* ini_path, char* error,
                                        uint32_t error_size);
int32_t zn_tcp_get_crypto_provider_info(const char* name, char* ini_file, uint32_t ini_file_size,
                                        char* module_file, uint32_t module_file_size,
                                        int32_t* initialized, int32_t* configurable,
                                        uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                        uintptr_t value4, char* error, uint32_t error_size);
int32_t zn_tcp_is_crypto_provider_supported(const char* name, int32_t* initialized,
                                            uintptr_t reserved);

/* The user picks a provider in the dispatcher's providers dialog (cipher or
 * sign providers only, the name in the buffer chosen at opening). Owner 0
 * means the dispatcher's owner window. The dialog may be asked for on any
 * thread: it runs on the user-interface thread while the caller waits, and
 * counts as cancelled when there is none. On a choice the provider's name is
 * copied into the buffer (cut, terminated) and the result is 1; 0 when
 * cancelled, with an empty text in the error buffer.
 * set_default: the choice becomes the dispatcher's default provider of its
 * kind, stored as "DefaultCipherCryptoProvider" ("DefaultSignCryptoProvider")
 * in the library's INI file. */
int32_t zn_tcp_set_default_cipher_crypto_provider(uintptr_t owner, char* name, uint32_t name_size,
                                                  char* error, uint32_t error_size);
int32_t zn_tcp_set_default_sign_crypto_provider(uintptr_t owner, char* name, uint32_t name_size,
                                                char* error, uint32_t error_size);
/* select: the choice is stored as "CipherCryptoProvider"
 * ("SignCryptoProvider") in the given INI file (nothing is written for a null
 * or empty path). */
int32_t zn_tcp_select_cipher_crypto_provider(const char* ini_path, uintptr_t owner, char* name,
                                             uint32_t name_size, char* error,
                                             uint32_t error_size);
int32_t zn_tcp_select_sign_crypto_provider(const char* ini_path, uintptr_t owner, char* name,
                                           uint32_t name_size, char* error, uint32_t error_size);
/* The provider's own settings dialog for ini_path (null or empty: the
 * provider's own settings file); the provider's result (1 saved), or 0 with
 * a text for a provider that is not installed or cannot be configured. */
int32_t zn_tcp_config_crypto_provider(const char* name, const char* ini_path, uintptr_t owner,
                                      uintptr_t value1, uintptr_t value2, uintptr_t value3,
                                      uintptr_t value4, char* error, uint32_t error_size);

/* Signing contexts: a sign provider chosen by the crypto parameters (sign
 * variant), initialised, with a context of its own. Output blocks of
 * zn_tcp_sign_data and zn_tcp_check_data belong to this library (null or a
 * block it handed out, grown to fit) and are freed with zn_tcp_free_mem. */
zn_tcp_sign_context* zn_tcp_init_crypto_sign_context(
    uint16_t language, uint16_t sub_language, uint16_t dialect, const zn_crypto_params* crypto,
    uintptr_t owner, uintptr_t reserved1, uintptr_t reserved2, uintptr_t reserved3,
    uintptr_t reserved4, char* error, uint32_t error_size);
int32_t zn_tcp_delete_crypto_sign_context(zn_tcp_sign_context* context, uintptr_t reserved1,
                                          uintptr_t reserved2, uintptr_t reserved3,
                                          uintptr_t reserved4, char* error, uint32_t error_size);
int32_t zn_tcp_sign_data(zn_tcp_sign_context* context, const void* data, uint32_t length,
                         void** output, uint32_t* output_length, uintptr_t value1,
                         uintptr_t value2, uintptr_t value3, uintptr_t value4, char* error,
                         uint32_t error_size);
int32_t zn_tcp_check_data(zn_tcp_sign_context* context, const void* data, uint32_t length,
                          void** output, uint32_t* output_length, uintptr_t value1,
                          uintptr_t value2, uintptr_t value3, uintptr_t value4, char* error,
                          uint32_t error_size);
/* 1 when the data holds signed data (the sign provider's answer, through
 * the dispatcher), else 0. split is the provider's CpapiSignedData record
 * (cipherhub/cpapi.h) or null. */
struct CpapiSignedData;
int32_t zn_tcp_is_data_signed(zn_tcp_sign_context* context, const void* data, uint32_t length,
                              const struct CpapiSignedData* split, uintptr_t value1,
                              uintptr_t value2, uintptr_t value3, char* error,
                              uint32_t error_size);

#ifdef __cplusplus
}
#endif

#endif /* ZN_DTCP_ZN_DTCP_H */
