/* Sekura32_Pr: the channel-encryption provider plug-in over the system's own
 * cryptographic library sekura32. Loaded by the dispatcher Cipherhub, which
 * binds its CPAPI_* entry points (cipherhub/cpapi.h); this header adds the
 * records and callback types that callers of the plug-in hand it.
 *
 * Provider: name "Sekura32", id 1, interface version 1, usage 2
 * (encryption). A context (usage 3: the peer is learnt from the exchange,
 * this side opens it; usage 4: the caller names the peer, this side answers)
 * is a linked pair of sekura32 sessions, the user's and the peer's. It is
 * made from the settings file (initialisation mode 2, section "connect":
 * user-name, user-password, auth-name), the user dialog (mode 3), a
 * Sekura32ConnectParams record (mode 4) or a callback that returns one
 * (mode 5). CPAPI_HandShake runs one step of the channel key exchange per
 * block; CPAPI_EnCryptData and CPAPI_DeCryptData then protect and unprotect
 * each block with the context's protect flags (context parameter 1).
 *
 * Threading: the exchange runs on one thread; afterwards one encryption and
 * one decryption may run at once on a context (they touch disjoint halves of
 * the pair). Key handlers are registered before contexts are used.
 *
 * Errors: no exception leaves an entry point; a failure writes one text into
 * the caller's error buffer (cut to its size and terminated; nothing for a
 * null buffer or size 0). Every buffer handed out belongs to the plug-in's
 * memory functions (the library's counted allocator) and is released with
 * CPAPI_FreeMemory.
 */
#ifndef SEKURA32_PR_SEKURA32_PR_H
#define SEKURA32_PR_SEKURA32_PR_H

#include <stdint.h>

#include "cipherhub/cpapi.h"
#include "sekura32/sekura32.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SEKURA32_PR_PROVIDER_ID 1
#define SEKURA32_PR_CONTEXT_TAG 1u
/* The protect flags a context starts with (keyless digest, encipher,
 * numbered: message mode) and those of the data after the exchange
 * (channel mode, encipher). */
#define SEKURA32_PR_FLAGS_MESSAGE 70u
#define SEKURA32_PR_FLAGS_CHANNEL 2052u

/* Initialisation mode 4 (and the answer of the mode-5 callback): 8-bit texts
 * in code page 1251, each read within its field (a field without a NUL is
 * taken whole). No pointer inside: 388 bytes. */
#define SEKURA32_PR_CONNECT_PARAMS_V1 1u
typedef struct Sekura32ConnectParams {
  uint32_t version; /* SEKURA32_PR_CONNECT_PARAMS_V1 */
  char user_name[128];
  char password[128];
  char target_server[128];
} Sekura32ConnectParams;

/* Key handler of type CP_KEY_HANDLER_LOOKUP: asked with the library's
 * key-base request (the lookup handler's arguments) for every key base whose
 * name ends in ".dwq"; 0 found, 144 stop, anything else asks the next. */
typedef SkKeyBaseLookup Sekura32KeyLookupHandler;

/* Key handler of type CP_KEY_HANDLER_KEY_TEXT: asked with the same request,
 * answers 0 with a key packet in *key_text (a block of skMalloc, released by
 * the plug-in with skFree) of *key_length bytes, and the user id, time,
 * secret flag and bit count the library files the key under; 144 stops the
 * lookup, anything else asks the next handler. */
typedef uint32_t (*Sekura32KeyTextHandler)(SkKeySearch* search, const char* base, const char* const* texts,
                                           uint32_t text_count, const uint8_t* key_id, int32_t user_id,
                                           int32_t* key_user_id, uint32_t* key_time, int32_t* key_secret,
                                           uint32_t* key_bits, char** key_text, uint32_t* key_length);

#ifdef __cplusplus
}
#endif

#endif /* SEKURA32_PR_SEKURA32_PR_H */
