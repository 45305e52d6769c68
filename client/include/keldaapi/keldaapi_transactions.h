/* KeldaApi: transaction kinds and fields, sending transactions and reading
 * the description of the last one. Included by keldaapi.h; the threading,
 * ownership and error rules there hold here too.
 *
 * The server describes, per class, which kinds of transaction a caller may
 * send and each kind's fields. A kind number (kind id + 1) names a kind
 * across all classes. A transaction is given as a text of KEY=value pairs
 * joined by "|" (or made by a typed builder); the library formats each
 * field to its fixed width and type and sends the result. Its reply comes
 * as KELAPI_EVENT_TRANSREPLY or KELAPI_EVENT_TRANSREPLYEX.
 *
 * Texts are 8-bit (code page 1251) and NUL-terminated; records are written
 * zero-filled and their sizes and offsets are fixed (see the comments).
 */
#ifndef KELDAAPI_KELDAAPI_TRANSACTIONS_H
#define KELDAAPI_KELDAAPI_TRANSACTIONS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Kind codes of transaction kinds (bit 0x20 is a modifier). */
#define KELAPI_TRANS_KILL_ORDER 1u
#define KELAPI_TRANS_KILL_ADDRESS_ORDER 2u
#define KELAPI_TRANS_NEW_ORDER 4u
#define KELAPI_TRANS_NEW_ADDRESS_ORDER 8u
#define KELAPI_TRANS_NEW_REPORT 128u
#define KELAPI_TRANS_KILL_REPORT 256u
#define KELAPI_TRANS_NEW_STOP_ORDER 8192u
#define KELAPI_TRANS_KILL_STOP_ORDER 16384u

/* A transaction kind (KelapiGetTransaction): 140 bytes. */
typedef struct KelapiTransactionRecord {
  uint32_t kind_code;     /* 0 */
  uint16_t class_number;  /* 4: class index + 1 */
  uint16_t field_count;   /* 6 */
  uint16_t kind_number;   /* 8: kind id + 1 */
  uint8_t zero;           /* 10 */
  char name[129];         /* 11 */
} KelapiTransactionRecord;

/* A transaction kind (KelapiGetTransactionEx): 156 bytes. */
typedef struct KelapiTransactionRecordEx {
  uint32_t kind_code;     /* 0 */
  uint16_t class_number;  /* 4 */
  uint16_t field_count;   /* 6 */
  uint32_t extra1;        /* 8 */
  uint32_t extra2;        /* 12 */
  uint16_t kind_number;   /* 16 */
  char name[129];         /* 18 */
  char reserved[9];       /* 147 */
} KelapiTransactionRecordEx;

/* One field of a kind (KelapiGetTransFields): 468 bytes. */
typedef struct KelapiTransFieldRecord {
  uint32_t roles;         /* 0 */
  uint16_t class_number;  /* 4 */
  uint16_t extra3;        /* 6 */
  uint16_t type;          /* 8: 0 text, 1/5 integer, 2 two decimals, 3 price, 4 choice, 6 six decimals */
  uint16_t width;         /* 10: characters the value takes in the sent transaction */
  uint16_t kind_number;   /* 12 */
  char default_value[33]; /* 14 */
  char values[257];       /* 47: "value=text|value=text..." of a choice */
  char description[129];  /* 304 */
  char key[33];           /* 433 */
  char reserved[2];       /* 466 */
} KelapiTransFieldRecord;

/* One field of a kind (KelapiGetTransFieldsEx): 476 bytes. */
typedef struct KelapiTransFieldRecordEx {
  KelapiTransFieldRecord field; /* 0 */
  int32_t field_code;           /* 468 */
  int32_t extra4;               /* 472 */
} KelapiTransFieldRecordEx;

/* The description of the last transaction tried (KelapiGetLastTransDesc):
 * 15288 bytes. */
typedef struct KelapiLastTransDesc {
  uint32_t result;          /* 0: result code of the send */
  uint32_t kind_number;     /* 4 */
  uint32_t kind_code;       /* 8 */
  uint16_t trans_id;        /* 12 */
  char class_code[13];      /* 14 */
  char class_name[129];     /* 27 */
  char result_text[5001];   /* 156 */
  char text[5001];          /* 5157: the caller's text, unchanged */
  char sent_text[5001];     /* 10158: the text as sent (formatted, signed when signing is on) */
  char kind_name[129];      /* 15159 */
} KelapiLastTransDesc;

/* The same with a 32-bit transaction id (KelapiGetLastTransDescEx): 15292
 * bytes. */
typedef struct KelapiLastTransDescEx {
  uint32_t trans_id;        /* 0 */
  uint32_t result;          /* 4 */
  uint32_t kind_number;     /* 8 */
  uint32_t kind_code;       /* 12 */
  char class_code[13];      /* 16 */
  char class_name[129];     /* 29 */
  char result_text[5003];   /* 158 */
  char text[5001];          /* 5161 */
  char sent_text[5001];     /* 10162 */
  char kind_name[129];      /* 15163 */
} KelapiLastTransDescEx;

/* Transaction kinds (KELAPI_EVENT_NEWTRANSACTION, lparam the kind number;
 * KELAPI_EVENT_NEWTRANSACTIONSTOP, lparam the class number, when a class's
 * kinds have all arrived). */
KelapiResult KelapiBookTransactions(void);
KelapiResult KelapiGetTransaction(uint32_t kind_number, KelapiTransactionRecord* record);
KelapiResult KelapiGetTransactionEx(uint32_t kind_number, KelapiTransactionRecordEx* record, uint32_t size);
/* Fill one record per field; the array holds field_count records. */
KelapiResult KelapiGetTransFields(uint32_t kind_number, KelapiTransFieldRecord* records);
KelapiResult KelapiGetTransFieldsEx(uint32_t kind_number, KelapiTransFieldRecordEx* records, uint32_t size);
KelapiResult KelapiIsTransactionAvailable(uint32_t kind_number);
KelapiResult KelapiIsTransactionAvailableEx(const char* class_code, uint32_t kind_code);

/* Sending. Each call first clears the last-transaction description and
 * returns the result of the send (KELAPI_OK) or of the first failed check. */
KelapiResult KelapiDoTransaction(uint32_t trans_id, uint32_t kind_number, const char* text);
KelapiResult KelapiDoTransactionEx(uint32_t trans_id, const char* class_code, uint32_t kind_code,
                                   const char* text);
/* As KelapiDoTransactionEx; KELAPI_E_NOT_SUPPORTED unless the library was
 * initialised with flag 0x2 (replies as KELAPI_EVENT_TRANSREPLYEX). */
KelapiResult KelapiDoTransactionExR(uint32_t trans_id, const char* class_code, uint32_t kind_code,
                                    const char* text);
/* Typed builders: the text is made from the arguments by the fields' roles
 * and sent like a caller's text. Options of the new orders: 0x1 buy (else
 * sell), 0x2 limit (else market), 0x4 "S" (else "O"); one of 0x8, 0x10,
 * 0x20 chooses the condition letter and one of 0x40, 0x80, 0x100 the time
 * letter where the kind has those fields. No argument may hold "|" or "=". */
KelapiResult KelapiDoTransactionNewOrder(uint32_t trans_id, const char* class_code, const char* security_code,
                                         const char* account, const char* price, const char* quantity,
                                         const char* client_code, uint32_t options);
KelapiResult KelapiDoTransactionNewOrderEx(uint32_t trans_id, const char* class_code, const char* security_code,
                                           const char* account, const char* price, const char* quantity,
                                           const char* client_code, uint32_t options);
KelapiResult KelapiDoTransactionKillOrder(uint32_t trans_id, const char* class_code, const char* order_number);
KelapiResult KelapiDoTransactionKillOrderEx(uint32_t trans_id, const char* class_code, const char* order_number);
KelapiResult KelapiDoTransactionNewStopOrder(uint32_t trans_id, const char* class_code, const char* security_code,
                                             const char* account, const char* stop_price, const char* price,
                                             const char* quantity, const char* client_code, uint32_t options);
KelapiResult KelapiDoTransactionKillStopOrder(uint32_t trans_id, const char* class_code,
                                              const char* stop_order_number);
KelapiResult KelapiDoTransactionNewAdressOrder(uint32_t trans_id, const char* class_code,
                                               const char* security_code, const char* account, const char* price,
                                               const char* quantity, const char* client_code, uint32_t options,
                                               const char* extra1, const char* extra2, const char* extra3);
KelapiResult KelapiDoTransactionKillAdressOrder(uint32_t trans_id, const char* class_code,
                                                const char* order_number);
KelapiResult KelapiDoTransactionKillReport(uint32_t trans_id, const char* class_code, const char* security_code,
                                           const char* report_number);
/* side: non-zero sells. */
KelapiResult KelapiDoTransactionNewReport(uint32_t trans_id, const char* class_code, const char* value,
                                          uint32_t side);
/* Futures limits (`futures_limit`: the caller number of KelapiGetFuturesLimit).
 * The kind is the one whose kind id the limit names for setting or deleting
 * (KELAPI_E_FUTURES_LIMITS when no class has it); deleting takes the
 * account and the limit type from the limit. */
KelapiResult KelapiDoTransactionSetFuturesLimit(uint32_t trans_id, uint32_t futures_limit, const char* account,
                                                const char* value1, const char* value2, const char* value3);
KelapiResult KelapiDoTransactionDelFuturesLimit(uint32_t trans_id, uint32_t futures_limit);

KelapiResult KelapiGetLastTransDesc(KelapiLastTransDesc* record);
KelapiResult KelapiGetLastTransDescEx(KelapiLastTransDescEx* record, uint32_t size);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiTransactionRecord) == 140 && offsetof(KelapiTransactionRecord, name) == 11);
static_assert(sizeof(KelapiTransactionRecordEx) == 156 && offsetof(KelapiTransactionRecordEx, name) == 18);
static_assert(offsetof(KelapiTransactionRecordEx, kind_number) == 16);
static_assert(sizeof(KelapiTransFieldRecord) == 468 && offsetof(KelapiTransFieldRecord, key) == 433);
static_assert(offsetof(KelapiTransFieldRecord, values) == 47 && offsetof(KelapiTransFieldRecord, description) == 304);
static_assert(sizeof(KelapiTransFieldRecordEx) == 476 && offsetof(KelapiTransFieldRecordEx, extra4) == 472);
static_assert(sizeof(KelapiLastTransDesc) == 15288 && offsetof(KelapiLastTransDesc, result_text) == 156);
static_assert(offsetof(KelapiLastTransDesc, sent_text) == 10158 && offsetof(KelapiLastTransDesc, kind_name) == 15159);
static_assert(sizeof(KelapiLastTransDescEx) == 15292 && offsetof(KelapiLastTransDescEx, result_text) == 158);
static_assert(offsetof(KelapiLastTransDescEx, sent_text) == 10162 && offsetof(KelapiLastTransDescEx, kind_name) == 15163);
#endif

#endif /* KELDAAPI_KELDAAPI_TRANSACTIONS_H */
