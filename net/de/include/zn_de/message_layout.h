/* Message layouts: how the client library describes its message records to
 * the application-protocol library, and its table of message handlers.
 *
 * A layout is an array of pointer-sized words (MessageLayout). Word 0 is the
 * record's alignment: 0 in the client library's tables, written by the
 * protocol library when a connection is set up (so layouts live in writable
 * memory and are shared by every connection). Words 1 onward are field codes,
 * one per native member in member order, ended by a word 0:
 *
 *   ZN_FIELD_BYTE (1), ZN_FIELD_CHAR (7), ZN_FIELD_INT16 (2), ZN_FIELD_INT32 (4),
 *   ZN_FIELD_INT64 (8);
 *   ZN_FIELD_ARRAY(n), n in 1..999: a fixed array of n elements of the next code;
 *   ZN_FIELD_COUNTED_ARRAY(c), c in 0..999: a 16-bit count, then room for c
 *   elements of the next code;
 *   ZN_FIELD_NESTED(layout): a nested record described by another layout.
 *
 * A nested layout is the address of the other layout's first word, which is
 * why a code word is pointer-sized. The codes of a layout, their order and the
 * layout check value that the server compares are the same as with 32-bit
 * words: the check never mixes in an address.
 *
 * The registry entry and the handler entry hold pointers and so have their
 * natural 64-bit sizes (24 and 16 bytes); callers use sizeof. Plain C types,
 * no threading or ownership of their own: the tables belong to the client
 * library and must outlive every connection that uses them.
 */
#ifndef ZN_DE_MESSAGE_LAYOUT_H
#define ZN_DE_MESSAGE_LAYOUT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef intptr_t MessageLayout;

#define ZN_FIELD_END 0
#define ZN_FIELD_BYTE 1
#define ZN_FIELD_INT16 2
#define ZN_FIELD_INT32 4
#define ZN_FIELD_CHAR 7
#define ZN_FIELD_INT64 8
#define ZN_FIELD_ARRAY(n) ((MessageLayout)(-(intptr_t)(n)))
#define ZN_FIELD_COUNTED_ARRAY(capacity) ((MessageLayout)(-1000 - (intptr_t)(capacity)))
#define ZN_FIELD_NESTED(layout) ((MessageLayout)(intptr_t)(layout))

/* The last two bytes of every message: 0x61 0x29 on the wire. */
#define ZN_CHECK_WORD 0x2961
#define ZN_CHECK_WORD_BYTE0 0x61
#define ZN_CHECK_WORD_BYTE1 0x29

/* One registered message: its id (only ids up to 0xFFFF travel), its layout
 * and the lowest protocol version (0..149, low 16 bits read as signed) that
 * contains it. A table ends with an entry whose id is 0. */
typedef struct MessageLayoutEntry {
  uint32_t id;
  MessageLayout* layout;
  int32_t version;
} MessageLayoutEntry;

/* Called with the message id and the decoded native record, which the
 * protocol library frees when the handler returns. */
typedef void (*MessageHandler)(uint16_t id, const void* record);

/* One handled message; a table ends with an entry whose id is 0. */
typedef struct MessageHandlerEntry {
  uint32_t id;
  MessageHandler handler;
} MessageHandlerEntry;

#ifdef __cplusplus
}
#endif

#endif /* ZN_DE_MESSAGE_LAYOUT_H */
