/* sekura32: the system's own public-key cryptographic library.
 *
 * A flat C interface of exported functions that return numeric result codes,
 * and exported variables (hooks and settings) that a host reads or replaces
 * after loading the library. The library starts no threads and runs on its
 * callers' threads.
 *
 * Results: every function of the result-code kind returns an unsigned 32-bit
 * code; any value below 16 is success (0 plain success, a few small flags),
 * 16 and above an error. Test `result < 16`, never `result == 0`.
 *
 * Threading: the random pool, the status word of the message layer and the
 * stream error word skIOerror are per thread. Everything else (the allocator
 * total, the settings array, the hooks, the growth and channel-finder slots)
 * is process-wide: a host sets the hooks and settings before it uses the
 * library from several threads. Streams and cipher contexts belong to one
 * caller at a time. The multiprecision arithmetic keeps no global precision:
 * every number travels with its length.
 *
 * Ownership: streams are released through their own close slot; memory from
 * skMalloc/skCalloc/skRealloc is released with skFree. Texts handed in are
 * copied where the stream or the settings keep them.
 *
 * 64-bit: the stream record holds pointers and has its natural 64-bit layout;
 * callers use sizeof. Settings slots are pointer-sized.
 */
#ifndef SEKURA32_SEKURA32_H
#define SEKURA32_SEKURA32_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SK_API __attribute__((visibility("default")))

/* Result codes of the frame, ciphers, arithmetic and streams. */
#define SK_OK 0u
#define SK_BAD_FORMAT 17u
#define SK_NO_MEMORY 257u
#define SK_IO_ERROR 259u
#define SK_BAD_HANDLE 262u
#define SK_KEY_TOO_LARGE 266u
#define SK_BAD_ARGUMENT 272u
#define SK_NO_PRIME 274u
#define SK_KEYGEN_FAILED 278u

/* Settings slots (skSettings). */
#define SK_SETTING_SECRET_RING 0
#define SK_SETTING_PUBLIC_RING 1
#define SK_SETTING_RANDOM_SEED 7
#define SK_SETTING_PROTECT_FLAGS 8 /* default protect flags, as a number */
#define SK_SETTINGS_COUNT 16

/* Every path the library builds or keeps fits this many bytes with its NUL;
 * longer paths are refused. */
#define SK_MAX_PATH 260

/* ---- memory ------------------------------------------------------------ */

/* Growth function of memory streams: (old block, new size, old size) gives
 * the new block (old content copied, the old block released) or null, in
 * which case the old block is untouched. */
typedef void* (*SkGrowFunction)(void* block, size_t new_size, size_t old_size);

SK_API void* skMalloc(size_t size);
SK_API void* skCalloc(size_t count, size_t size);
SK_API void skFree(void* block);
SK_API void* skRealloc(void* block, size_t new_size, size_t old_size);
SK_API void* skDummyRealloc(void* block, size_t new_size, size_t old_size);
SK_API size_t skGetMemTotal(void);
SK_API void* skMemAdd(void* block, size_t size);
SK_API void* skMemDec(void* block);
SK_API uint32_t skHeapCheck(void);

/* ---- streams ----------------------------------------------------------- */

#define SK_STREAM_DUMMY 0xF08C9384u
#define SK_STREAM_FILE 0xF0898094u
#define SK_STREAM_HANDLE 0xF0979390u
#define SK_STREAM_MEMORY 0xF093878Eu

typedef struct SkStream SkStream;

/* One record for every kind of stream. Each slot clears skIOerror first and
 * sets it on failure (the system error number, or 259 when there is none). */
struct SkStream {
  uint32_t kind;
  char* name;          /* owned heap text, or null */
  uint32_t time;       /* seconds since 1970 */
  uint32_t temporary;  /* file: wipe on reopen for writing and at close;
                          memory: wipe and free the buffer at close */
  uint32_t count;      /* bytes transferred since the last rewind */
  uint32_t (*read)(SkStream* stream, void* buffer, uint32_t n);
  uint32_t (*write)(SkStream* stream, const void* buffer, uint32_t n);
  int32_t (*rewind_read)(SkStream* stream);
  int32_t (*rewind_write)(SkStream* stream);
  void (*close)(SkStream* stream);
  uint32_t (*remaining)(SkStream* stream);
  union {
    struct {
      FILE* file;
    } file;
    struct {
      int handle; /* not owned */
    } handle;
    struct {
      uint8_t* buffer;
      uint32_t capacity;
      uint32_t length;
      uint32_t position;
      uint32_t spill;
      SkGrowFunction grow;
    } memory;
  } u;
};

SK_API SkStream* skDummyStream(void);
SK_API SkStream* skFileStream(const char* name);
SK_API SkStream* skTempFileStream(void);
SK_API SkStream* skHandleStream(int handle);
SK_API SkStream* skMemStream(void* buffer, uint32_t capacity, uint32_t length, SkGrowFunction grow);
SK_API SkStream* skTempMemStream(void);
SK_API SkStream* skTempStream(void);
SK_API void skLookMemStream(const SkStream* stream, uint8_t** buffer, uint32_t* capacity, uint32_t* length,
                            uint32_t* position);
SK_API void skMemStreamTail(SkStream* stream, uint32_t n);
SK_API char* skNewName(SkStream* stream, const char* name);
SK_API uint32_t skIORet(uint32_t error);
/* Copies n bytes (-1: up to the end of the source) in pieces of at most 512
 * bytes, feeding each to the digest and writing it to the destination when
 * they are given (both may be null). Defined after the digest record below. */
struct SkMd5Context;
SK_API uint32_t skCopyStream(SkStream* source, SkStream* destination, int32_t n, struct SkMd5Context* digest);

/* The last stream error of the calling thread: 0, a system error number, or
 * 259. Each thread has its own. */
extern SK_API __thread uint32_t skIOerror;

/* ---- frame: init and exit, settings, hooks ----------------------------- */

/* Progress hook: (context, short text); a non-zero answer cancels. */
typedef uint32_t (*SkTickActivityFunction)(void* context, const char* text);
typedef uint32_t (*SkAskStringFunction)(void* options, char* answer, uint32_t size, const char* title,
                                        const char* format, va_list arguments);
typedef uint32_t (*SkMessageFunction)(uint32_t flags, const char* title, const char* format, va_list arguments);
typedef intptr_t (*SkWindowProcedure)(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
typedef uint32_t (*SkKeyReadRetryFunction)(uint32_t flags, uint32_t error, const char* file, uint32_t attempt);
typedef uint32_t (*SkKeyIsFunction)(void* search, const char* name, const uint8_t* key_id, int32_t user_id,
                                    uint32_t time, int32_t secret, uint32_t bits, SkStream* packet,
                                    uint32_t length);
/* Channel finder: (out session handle, 8-byte key id, user name or null,
 * password or null): the call form of LogUser, the finder at load. */
typedef uint32_t (*SkFindChanFunction)(void** session, const uint8_t* key_id, const char* name, const char* password);

/* Settings array: slot 0 secret ring path, slot 1 public ring path, slot 7
 * random seed path; the other slots belong to the key rings and messages. */
extern SK_API char** skSettings;
extern SK_API FILE* skStdOut;
extern SK_API FILE* skStdErr;
extern SK_API uint32_t skTrace;
extern SK_API uint32_t skCommonTrace;
extern SK_API void* skInstance;
extern SK_API void* skIcon;
/* Hooks whose default behaviour belongs to the prompts and key rings; a null
 * progress hook never cancels. */
extern SK_API SkTickActivityFunction skTickActivity;
extern SK_API SkAskStringFunction skvAskString;
extern SK_API SkMessageFunction skvMessage;
extern SK_API SkWindowProcedure skEditorFilter;
extern SK_API SkKeyReadRetryFunction skKeyReadRetry;
extern SK_API SkKeyIsFunction skVarKeyIs;
extern SK_API const char* skAskWhenNeed;
extern SK_API const char* skCfgHeading;
extern SK_API uint32_t skGMT;
extern SK_API uint32_t skStatNoiseVal[16];
extern SK_API uint32_t skStatNoiseDelta[16];
extern SK_API uint32_t skStatNoiseInd[5];

SK_API uint32_t skInit(void* instance);
SK_API uint32_t skExit(void);
SK_API uint32_t ExiSekura(void);
SK_API SkGrowFunction SetRealloc(SkGrowFunction function);
SK_API SkFindChanFunction skSetFindChan(SkFindChanFunction function);

/* ---- trace ------------------------------------------------------------- */

SK_API int skPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
SK_API int skvPrint(const char* format, va_list arguments) __attribute__((format(printf, 1, 0)));
SK_API int skFPrint(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
SK_API int skvFPrint(FILE* stream, const char* format, va_list arguments) __attribute__((format(printf, 2, 0)));
SK_API int skFlush(void);
SK_API int skFFlush(FILE* stream);
SK_API int skDump(const char* title, const char* frame, const void* data, int number, int length);

/* ---- text and arguments ------------------------------------------------ */

SK_API int skMemICmp(const void* a, const void* b, size_t n);
SK_API int skStrNICmp(const char* a, const char* b, size_t n);
/* Splits `text` in place at runs of blanks and tabs. With a vector of
 * `capacity` entries, stores the argument pointers and a null entry; with a
 * count pointer, the number of arguments. A vector too small for every
 * argument and its null entry is refused (272) before the text is touched. */
SK_API uint32_t skMakeArgV(int* count, char** vector, size_t capacity, char* text);
SK_API char* skArgument(char** vector, const char* prefix, uint32_t flags);
/* Searches a blank-separated text for an argument; copies its value into
 * `value` (capacity `size`, NUL-ended; null only tests). Returns 1 when found,
 * 0 when not, -1 when the value does not fit (nothing written or cut). */
SK_API int ArgStr(char* value, size_t size, char* text, const char* prefix, uint32_t flags);
SK_API char* skANSI(char* text);
SK_API char* skOEM(char* text);
SK_API void skDateTime(uint32_t time, int* year, int* month, int* day, int* hour, int* minute, int* second);

/* Configuration text: handler(offset of the entry's first line, name or null,
 * value, context); a non-zero answer stops the parse and is returned. */
typedef int (*SkCfgHandler)(uint32_t offset, const char* name, const char* value, void* context);
SK_API int skParseCfg(SkStream* stream, char* line, uint32_t line_size, char* name, uint32_t name_size, char* value,
                      uint32_t value_size, SkCfgHandler handler, void* context, char assign, char comment,
                      char group_open, char group_close, char kept_group, char continuation_lead,
                      char continuation_tail, char escape, char joiner, char section_open, char section_close);

/* ---- digests ----------------------------------------------------------- */

typedef struct SkMd5Context {
  uint32_t state[4];
  uint32_t count[2]; /* bit count, low word first */
  uint8_t buffer[64];
} SkMd5Context;

SK_API void MD5Init(SkMd5Context* context);
SK_API void MD5Update(SkMd5Context* context, const void* data, uint32_t length);
SK_API void MD5Final(uint8_t digest[16], SkMd5Context* context);

/* ---- random pool ------------------------------------------------------- */

SK_API uint32_t skSetRandomBytes(const void* bytes, uint32_t n, int32_t bits, uint32_t level);
SK_API uint32_t skGetRandomBytes(void* out, uint32_t n, int32_t bits, uint32_t level);
SK_API uint32_t skCheckRandomBytes(uint32_t bytes, uint32_t level);
/* The context is the library's IDEA-CFB context (an opaque record here). */
SK_API uint32_t skEncryptRandom(const void* idea_cfb_context);
SK_API uint32_t skWriteRandomSeed(const char* path, uint32_t n, int32_t bits);
SK_API uint32_t skReadRandomSeed(const char* path);
SK_API uint32_t skAsynchEvent(uint32_t value);

/* ---- users and keys ---------------------------------------------------- */

#define SK_WRONG_PASSWORD 21u
#define SK_NOT_FOUND 32u
#define SK_BAD_PROTECTION 264u
#define SK_BAD_KEY_VERSION 265u
#define SK_CANCELLED 274u
#define SK_ANOTHER_KEY 18u
#define SK_NO_SECRET_PART 262u
#define SK_NO_BASE 267u
#define SK_DECLINED 275u
#define SK_NOT_MY_BASE 276u
#define SK_STOP_SEARCH 144u

/* Key sizes that skGenKey makes: even bit counts in this range. */
#define SK_MIN_KEY_BITS 128u
#define SK_MAX_KEY_BITS 1280u

/* Every number of a user record holds SK_USER_WORDS(bits) 32-bit words,
 * least significant first, from skMalloc; null when absent (the secret parts
 * of a public key). */
#define SK_USER_WORDS(bits) (((bits) + 32u) / 32u)

/* A user: a named RSA key. Texts and numbers are owned by the record and
 * released by skBurnUser. */
typedef struct UserRecord {
  char* name;
  uint8_t keyId[8]; /* the low 64 bits of the modulus */
  uint32_t* n;
  uint32_t* e;
  uint32_t* d;
  uint32_t* p1;
  uint32_t* p2;
  uint32_t* u; /* p1^-1 mod p2 */
  uint32_t* d1;
  uint32_t* d2;
  uint32_t bits; /* bit length of the modulus */
  uint32_t time;
  int32_t userId; /* -1 when none */
  char* extra;    /* the key base the key came from */
} UserRecord;

SK_API void skIniUser(UserRecord* user);
/* Overwrites every number with zeros, frees numbers and texts, zeroes the
 * record. */
SK_API void skBurnUser(UserRecord* user);
/* Writes a version-4 key packet: a secret key (type 5) when a password is
 * given, protected with it when it is not empty; a public key (type 6) for a
 * null password. *written (when given) receives the packet's size, keyId
 * (when given) the 8-byte key id. 262 when a secret packet is asked of a
 * record without its secret part. */
SK_API uint32_t skPackUser(const UserRecord* user, const char* password, SkStream* out, uint32_t* written,
                           uint8_t* key_id);
/* The key fingerprint: MD5 over the magnitude bytes of n and then of e of a
 * key packet read from the stream (header first). skFngPrint does the same
 * over a packet in memory; a digest room below 16 bytes gives 263. */
SK_API uint32_t skFingerPrint(uint8_t digest[16], SkStream* packet);
SK_API uint32_t skFngPrint(uint8_t* digest, uint32_t digest_size, const void* packet, uint32_t length);
/* The time stamp (seconds since 1970) that the library puts on the keys,
 * streams and messages it makes: always 0, they carry no creation time. */
SK_API uint32_t skTimeNow(void);
/* Makes an RSA key pair of *size bits (null: 128; even sizes from
 * SK_MIN_KEY_BITS to SK_MAX_KEY_BITS, else 272) and writes its secret
 * packet, unprotected, to secret_out and its public packet to public_out.
 * The progress hook sees ":" before each attempt (when progress is not
 * null), "." and "+"/"-" from the prime search; a non-zero answer gives 274.
 * 278 when generation fails. */
SK_API uint32_t skGenKey(uint8_t* key_id, uint32_t* time, uint32_t* size, SkStream* secret_out,
                         SkStream* public_out, const char* name, void* progress);

/* ---- prompts ----------------------------------------------------------- */

/* Options of the text, password and yes/no prompts (all fields optional). */
typedef struct SkPromptOptions {
  void* reserved[2];
  const char* detail;         /* shown in the read-only field of a question */
  const char* cancelCaption;  /* replaces "&Cancel" or "&Don't know" */
  const char* abortCaption;   /* replaces "&Abort" */
  uint32_t flags;             /* in and out, SK_PROMPT_* */
} SkPromptOptions;

#define SK_PROMPT_NO_CANCEL 2u
#define SK_PROMPT_NO_ABORT 4u
#define SK_PROMPT_PASSWORD 16u
#define SK_PROMPT_CHANGED 32u

/* Prompts go to their hooks (skvAskString, skvMessage); the defaults, and
 * skAskPwd and the yes/no question, show the library's dialogs through the
 * ui layer: on the user-interface thread, a worker waiting meanwhile. Without
 * a user-interface thread the dialog service answers "cancelled" (275).
 * Results: 0 for OK/Yes/No, 274 Abort, 275 Cancel or "Don't know", 272 when
 * the dialog cannot be shown. Texts are code page 866. */
SK_API uint32_t skAskString(void* options, char* answer, uint32_t size, const char* title, const char* format, ...);
SK_API uint32_t skAskPwd(void* options, char* answer, uint32_t size, const char* title, const char* prompt);
SK_API uint32_t skAskBool(void* options, int32_t* value, const char* title, const char* format, ...);
SK_API uint32_t skvAskBool(void* options, int32_t* value, const char* title, const char* format,
                           va_list arguments);
SK_API uint32_t skMessage(uint32_t flags, const char* title, const char* format, ...);
/* Shows a text line by line (split at carriage returns) through skvMessage;
 * -1 when there is no text. */
SK_API int32_t skHelp(uint32_t flags, const char* format, ...);
SK_API int32_t skvHelp(uint32_t flags, const char* format, va_list arguments);
/* The key-read retry hooks: asks whether to read again (0 yes, skIORet(error)
 * no, the dialog's error otherwise); the other never retries. */
SK_API uint32_t skKeyReadRetryAsk(uint32_t flags, uint32_t error, const char* file, uint32_t attempt);
SK_API uint32_t skKeyReadRetryFail(uint32_t flags, uint32_t error, const char* file, uint32_t attempt);
/* Carried for hosts of the older interface: answers 0 without asking (the
 * random pool is seeded from the operating system). */
SK_API uint32_t skAskRandom(void* options, uint32_t bits);
/* Lays out a prompt dialog's buttons: OK, Yes and No, then Cancel unless
 * flag 2 hides it and Abort unless flag 4 does (with the captions when given,
 * code page 866), in one row centred in the dialog. 272 for a null dialog or
 * buttons of different parents. User-interface thread only. */
SK_API uint32_t skArrangeBtns(uint32_t flags, const char* cancel_caption, const char* abort_caption, void* dialog);

/* The activity window: made modeless on the user-interface thread (null
 * without one); the default progress hook appends each mark to its line (the
 * newest 255 characters) and answers 275 after Cancel, 274 after Abort, 0
 * otherwise and for any handle that is not a live activity window. */
SK_API void* skStartActivity(void* context, const char* title, const char* format, ...);
SK_API uint32_t skTickActivityDefault(void* window, const char* mark);
SK_API SkTickActivityFunction skSetTickActivity(SkTickActivityFunction hook);
SK_API void skStopActivity(void* window);

/* ---- key rings --------------------------------------------------------- */

/* The state of one key lookup, handed to the lookup handlers and the
 * key-lookup callback. The callback and the ring positions belong to the
 * search, so searches on different threads never meet. */
typedef struct SkKeySearch {
  uint32_t tag; /* SK_KEY_SEARCH_TAG */
  UserRecord* target;
  const char* base;
  uint32_t passwordMode; /* 0 password given, 1 ask, 2 public part only */
  uint8_t passwordDigest[16];
  uint32_t result; /* starts at 32 */
  uint32_t candidates;
  uint32_t flags;
  uint32_t promptFlags;
  SkKeyIsFunction keyIs;         /* skVarKeyIs when the search began */
  int64_t firstCandidateAt;      /* ring position of the first candidate, or -1 */
  int64_t firstMatchAt;          /* of the first fully matching candidate, or -1 */
  void* context;                 /* for a callback of the caller's own */
} SkKeySearch;

#define SK_KEY_SEARCH_TAG 0x9C8B8596u

/* Lookup: (search, base name, texts, text count, key id or null, -1) gives
 * 276 for a base of another kind, 144 when the callback stopped, 0 when the
 * base was read to its end, or an error. Store: (base, name, key id, user id,
 * time, secret, bits, key packet, length). Delete: (base, name, user id, key
 * id or null, secret); 144 when something was deleted. */
typedef uint32_t (*SkKeyBaseLookup)(SkKeySearch* search, const char* base, const char* const* texts,
                                    uint32_t text_count, const uint8_t* key_id, int32_t user_id);
typedef uint32_t (*SkKeyBaseStore)(const char* base, const char* name, const uint8_t* key_id, int32_t user_id,
                                   uint32_t time, int32_t secret, uint32_t bits, const uint8_t* packet,
                                   uint32_t length);
typedef uint32_t (*SkKeyBaseDelete)(const char* base, const char* name, int32_t user_id, const uint8_t* key_id,
                                    int32_t secret);

/* Appends each non-null handler to its list unless it is there already or
 * the list holds 5. Process-wide: install before searching from threads. */
SK_API uint32_t skInstallKeyBase(SkKeyBaseLookup lookup, SkKeyBaseStore store, SkKeyBaseDelete remove);
/* Finds a key: bases "a|b|..." (null: the secret ring when a password is
 * given, else the public ring); every text must be part of the name; the key
 * id when given. password null: public part only; skAskWhenNeed: ask when the
 * secret part is protected; any other text opens the secret part. The newest
 * matching key wins. 32 not found, 21 wrong password, 264 no handler, 266
 * damaged ring. The record is wiped first and stays wiped on failure. */
SK_API uint32_t skGetUser(const char* bases, const char* const* texts, uint32_t text_count, const uint8_t* key_id,
                          UserRecord* user, uint32_t flags, const char* password, uint32_t prompt_flags);
SK_API uint32_t skPutUser(const char* base, const char* name, const uint8_t* key_id, int32_t user_id, uint32_t time,
                          int32_t secret, uint32_t bits, const uint8_t* packet, uint32_t length);
SK_API uint32_t skDelUser(const char* bases, const char* name, int32_t user_id, const uint8_t* key_id,
                          int32_t secret);
/* The default key-lookup callback (see SkKeyIsFunction; the first argument
 * is the SkKeySearch). */
SK_API uint32_t skKeyIs(void* search, const char* name, const uint8_t* key_id, int32_t user_id, uint32_t time,
                        int32_t secret, uint32_t bits, SkStream* packet, uint32_t length);
/* Stores the key-lookup callback skVarKeyIs (null included: lookups then
 * use skKeyIs) and returns the previous one. */
SK_API SkKeyIsFunction StoreKeyIsCallback(SkKeyIsFunction callback);

/* ---- sessions and channels -------------------------------------------- */

/* A session binds a key-base user to a handle; two linked sessions form a
 * channel whose key exchange state lives in their counters. Handles are
 * checked against the registry of live sessions: a closed, foreign or null
 * handle (where one is required) gives 262 and is never read. Sessions carry
 * no lock: one pair is used by one thread per direction (the exchange by one
 * thread). Results: below 16 success, with flag 2 while the pair's exchange
 * is incomplete; 257, 258 (busy or wrong exchange state), 262, 272. */
#define SK_SESSION_TAG 0x8B8D808Au
#define SK_SESSION_BUSY 258u
#define SK_EXCHANGE_INCOMPLETE 2u
#define SK_CHANNEL_IDEA 9022009u
#define SK_CHANNEL_TABLE 9022010u

typedef struct SkSession SkSession;

SK_API uint32_t Login(SkSession** out, SkSession* partner);
SK_API uint32_t LogMan(SkSession** out, const char* name, SkSession* partner, const char* password);
SK_API uint32_t LogUser(void** out, const uint8_t* key_id, const char* name, const char* password);
SK_API uint32_t LogOut(SkSession* session);
SK_API uint32_t ChanPassword(SkSession* session, const char* password, uint32_t with_channel);
/* Each out pointer may be null: name, partner, sent, received, user id, the
 * channel context, the embedded user record. 2 while this session's exchange
 * counters are negative. */
SK_API uint32_t skChanInfo(SkSession* session, const char** name, SkSession** partner, int32_t* sent,
                           int32_t* received, int32_t* user_id, void** channel, UserRecord** user);
/* The exchange message due from the recipient's partner to the recipient:
 * 65, 66 or 67; 0 when none is due; -1 for a bad handle. */
SK_API int32_t HaveSystemMessage(SkSession* recipient);
/* The session's key id as 16 upper-case hexadecimal digits (no NUL). */
SK_API uint32_t skGetKeyId(SkSession* session, char* text);

/* ---- protected messages and the channel key exchange ------------------ */

/* Protect flags: the same word is what a writer asks for, what a reader
 * expects (in) and what it found (out). */
#define SK_PROTECT_SIGN 0x1u        /* signature with the sender's secret key */
#define SK_PROTECT_DIGEST 0x2u      /* keyless MD5 digest */
#define SK_PROTECT_ENCIPHER 0x4u    /* encipher the data */
#define SK_PROTECT_FRESH_KEY 0x8u   /* a fresh session key for the recipient's
                                       public key (implies encipher) */
#define SK_PROTECT_ARMOUR 0x20u     /* base64 armour */
#define SK_PROTECT_NUMBERED 0x40u   /* numbered by the recipient's sequence */
#define SK_PROTECT_TEXT 0x100u      /* text data, lines ended by CR LF */
#define SK_PROTECT_CHANNEL 0x800u   /* channel mode: the pair's running cipher,
                                       no packets around the data */

/* Message results beyond the frame's. */
#define SK_NO_SIGNATURE 19u     /* a signature was expected, none verified */
#define SK_BAD_SIGNATURE 20u    /* a signature does not verify */
#define SK_ECHO_MISMATCH 22u    /* an exchange echo does not match */
#define SK_NO_DIGEST 23u        /* a digest was expected, none verified */
#define SK_BAD_DIGEST 24u       /* a keyless digest does not match */
#define SK_NUMBER_SKIPPED 25u   /* a numbered message came too early */
#define SK_NUMBER_SEEN 26u      /* a numbered message came late */
#define SK_FLAGS_NOT_ALLOWED 263u

/* Called once per signature or digest packet checked: the session that
 * signed (or null), the packet's result, the data bytes hashed so far, the
 * packet's start and end in the collected packets. A 0 answer keeps a
 * signature of a signer nobody named from counting. */
typedef uint32_t (*SkSignatureCallback)(SkSession* signer, uint32_t result, uint32_t hashed, uint32_t start,
                                        uint32_t end);

/* Message protection between the sessions of a pair (one sender, one
 * recipient; either may be a null entry where no key of it is needed).
 * Every change to the pair (keys, counters, sequence numbers, channel state)
 * is made only when the whole message was written or accepted: a refused
 * message leaves the pair as it was, so a correct resend succeeds. Results
 * carry flag 2 while the pair's exchange is incomplete.
 *
 * Protect/Unprotect wrap the caller's buffer (*out, *capacity) in a memory
 * stream grown by the growth function (SetRealloc; skDummyRealloc at load,
 * which never grows) and return buffer, capacity and length through the out
 * pointers. Both counts of Protect must be 1 (else 258).
 *
 * Text data (0x100) travels as lines each ended by CR LF: the writer
 * converts the data before it signs and writes it (literal mode "t"), the
 * reader of a "t" literal checks the bytes as sent and hands on their lines
 * ended by CR LF. Data the conversion could not carry whole (a NUL byte, or
 * bytes behind a byte 26) is refused with 17 on either side. */
SK_API uint32_t Protect(SkSession** senders, uint32_t sender_count, SkSession** recipients,
                        uint32_t recipient_count, uint32_t flags, const void* data, uint32_t length, uint8_t** out,
                        uint32_t* capacity, uint32_t* out_length);
SK_API uint32_t ProtectStream(SkSession** senders, SkSession** recipients, uint32_t flags, SkStream* input,
                              SkStream* output, uint32_t* written, SkStream* detached_signature);
/* *flags: the expected flags in, the found flags out. *time (when given)
 * receives the literal packet's time. An exchange message writes no data.
 * A null sender entry is filled with the session of the first signer found
 * by the channel finder (the caller closes it). */
SK_API uint32_t Unprotect(SkSession** senders, SkSession** recipients, uint32_t* flags, const void* data,
                          uint32_t length, uint8_t** out, uint32_t* capacity, uint32_t* out_length, uint32_t* time,
                          const void* signature, uint32_t signature_length, SkSignatureCallback callback);
SK_API uint32_t UnprotectStream(SkSession** senders, SkSession** recipients, uint32_t* flags, SkStream* input,
                                SkStream* output, uint32_t* written, SkStream* detached_signature,
                                SkSignatureCallback callback);
/* Checks detached signature and digest packets against data. Flags 1 and 2
 * ask for a verified signature (else 19) or digest (else 23); 0x100 hashes
 * the data as text lines ended by CR LF; 0x80 reads the signature stream as armour; the
 * enciphering and numbering bits give 263. */
SK_API uint32_t CheckSignStream(SkSession** signers, uint32_t flags, SkStream* data, SkStream* signature,
                                SkSignatureCallback callback);

/* The channel key exchange of a linked pair: messages 65 (the opener's key,
 * signed), 66 and 67 (enciphered for the recipient's public key, signed,
 * each echoing the peer's last key). Ask HaveSystemMessage which is due,
 * write it with SystemMessage (own session as sender, the peer's as
 * recipient) and hand every received block to Unprotect (the peer's session
 * as sender, the own as recipient): it recognises the exchange messages by
 * the pair's state. 263 when no exchange message is due, 258 when the pair
 * is not in a state to send one. After the exchange both sides share the
 * opener's last key and one started channel per direction. */
SK_API uint32_t SystemMessageStream(SkSession* sender, SkSession* recipient, SkStream* output, uint32_t* written);
SK_API uint32_t SystemMessage(SkSession* sender, SkSession* recipient, uint8_t** out, uint32_t* capacity,
                              uint32_t* out_length);

#ifdef __cplusplus
}
#endif

#endif /* SEKURA32_SEKURA32_H */
