/* KeldaApi: money and depository limits and the requests that change them.
 * Included by keldaapi.h; see there for threading, ownership and errors.
 *
 * Limits are numbered by the caller number that KELAPI_EVENT_NEWMONEYLIMIT
 * and KELAPI_EVENT_NEWDEPOLIMIT carry in lparam (the server's number plus 1).
 * KELAPI_EVENT_KILLMONEYLIMIT and KELAPI_EVENT_KILLDEPOLIMIT pass a record
 * (wparam) holding only the number and the codes, valid during the call.
 * KELAPI_EVENT_LIMITREPLY passes the request id (wparam) and a
 * KelapiLimitReply (lparam), valid during the call; KELAPI_EVENT_LIMITRESULT
 * passes the server's two result words.
 *
 * Amounts are money values (the server's hundredths scaled back). Codes are
 * 8-bit texts, NUL-terminated. None of these records holds a pointer: their
 * sizes and offsets are fixed.
 */
#ifndef KELDAAPI_KELDAAPI_LIMITS_H
#define KELDAAPI_KELDAAPI_LIMITS_H

#ifdef __cplusplus
extern "C" {
#endif

/* KelapiGetMoneyLimit and KELAPI_EVENT_KILLMONEYLIMIT: 88 bytes. */
typedef struct KelapiMoneyLimitRecord {
  double current_balance;   /* 0 */
  double current_limit;     /* 8 */
  double locked;            /* 16 */
  double amount6;           /* 24 */
  double opening_balance;   /* 32 */
  double opening_limit;     /* 40 */
  int32_t number;           /* 48 */
  char client[13];          /* 52 */
  char currency[5];         /* 65 */
  char firm[13];            /* 70 */
  char tag[5];              /* 83 */
} KelapiMoneyLimitRecord;

/* KelapiGetMoneyLimitEx: 96 bytes; leverage -1.0 when the limit has none. */
typedef struct KelapiMoneyLimitRecordEx {
  double current_balance;   /* 0 */
  double current_limit;     /* 8 */
  double leverage;          /* 16 */
  double locked;            /* 24 */
  double amount6;           /* 32 */
  double opening_balance;   /* 40 */
  double opening_limit;     /* 48 */
  int32_t number;           /* 56 */
  char client[13];          /* 60 */
  char currency[5];         /* 73 */
  char firm[13];            /* 78 */
  char tag[5];              /* 91 */
} KelapiMoneyLimitRecordEx;

/* KelapiGetDepoLimit and KELAPI_EVENT_KILLDEPOLIMIT: 112 bytes. */
typedef struct KelapiDepoLimitRecord {
  double quantity3;         /* 0 */
  double quantity4;         /* 8 */
  double quantity5;         /* 16 */
  double quantity6;         /* 24 */
  double amount1;           /* 32 */
  double quantity1;         /* 40 */
  double quantity2;         /* 48 */
  int32_t number;           /* 56 */
  char client[13];          /* 60 */
  char firm[13];            /* 73 */
  char account[13];         /* 86 */
  char security[13];        /* 99 */
} KelapiDepoLimitRecord;

/* KelapiGetDepoLimitEx (120 bytes) and KelapiGetDepoLimitEx2 (128 bytes,
 * with value9; pass 120 to the first). */
typedef struct KelapiDepoLimitRecordEx {
  double quantity3;         /* 0 */
  double quantity4;         /* 8 */
  double quantity5;         /* 16 */
  double amount2;           /* 24 */
  double quantity6;         /* 32 */
  double amount1;           /* 40 */
  double quantity1;         /* 48 */
  double quantity2;         /* 56 */
  int32_t number;           /* 64 */
  char client[13];          /* 68 */
  char firm[13];            /* 81 */
  char account[13];         /* 94 */
  char security[13];        /* 107 */
  double value9;            /* 120: KelapiGetDepoLimitEx2 only */
} KelapiDepoLimitRecordEx;

/* Passed with KELAPI_EVENT_LIMITREPLY: 776 bytes. */
typedef struct KelapiLimitReply {
  int32_t failed;           /* 0: 1 when the server refused */
  int32_t request_id;       /* 4 */
  char text[768];           /* 8 */
} KelapiLimitReply;

KelapiResult KelapiBookLimits(void);
KelapiResult KelapiGetMoneyLimit(int number, KelapiMoneyLimitRecord* record);
KelapiResult KelapiGetMoneyLimitEx(int number, KelapiMoneyLimitRecordEx* record, unsigned size);
KelapiResult KelapiGetDepoLimit(int number, KelapiDepoLimitRecord* record);
KelapiResult KelapiGetDepoLimitEx(int number, KelapiDepoLimitRecordEx* record, unsigned size);
KelapiResult KelapiGetDepoLimitEx2(int number, KelapiDepoLimitRecordEx* record, unsigned size);

/* Limit change requests: each is sent at once; the answer comes as an
 * event carrying the request id. Not connected: KELAPI_E_NOT_CONNECTED. */
KelapiResult KelapiSetMoneyLimitR(int request_id, const char* currency, const char* tag, const char* client,
                                  const char* firm, double value1, double value2);
KelapiResult KelapiSetMoneyLimitLeverageR(int request_id, const char* currency, const char* tag,
                                          const char* client, const char* firm, double limit, double leverage);
KelapiResult KelapiSetMoneyLimitLeverageExR(int request_id, const char* currency, const char* tag,
                                            const char* client, const char* firm, double limit, double leverage,
                                            int leverage_mode);
KelapiResult KelapiKillMoneyLimitR(int request_id, int number);
KelapiResult KelapiKillMoneyLimitExR(int request_id, const char* currency, const char* tag, const char* client,
                                     const char* firm);
KelapiResult KelapiSetDepoLimitR(int request_id, const char* account, const char* security, const char* client,
                                 const char* firm, double value1, double value2);
KelapiResult KelapiSetDepoLimitExR(int request_id, const char* account, const char* security, const char* client,
                                   const char* firm, double value1, double value2, double value3);
KelapiResult KelapiKillDepoLimitR(int request_id, int number);
KelapiResult KelapiKillDepoLimitExR(int request_id, const char* account, const char* security, const char* client,
                                    const char* firm);
KelapiResult KelapiSetMoneyLimitCorrection(int request_id, const char* currency, const char* tag, const char* client,
                                           const char* firm, double value1, double value2, double value3,
                                           double value4, int flags);
KelapiResult KelapiSetDepoLimitCorrection(int request_id, const char* account, const char* security,
                                          const char* client, const char* firm, double value1, double value2,
                                          double value3, double value4, int flags);
KelapiResult KelapiSetDepoLimitCorrectionEx(int request_id, const char* account, const char* security,
                                            const char* client, const char* firm, double value1, double value2,
                                            double value3, double value4, int flags, double value5);
/* The same requests with request id 0. */
KelapiResult KelapiSetMoneyLimit(const char* currency, const char* tag, const char* client, const char* firm,
                                 double value1, double value2);
KelapiResult KelapiSetMoneyLimitLeverage(const char* currency, const char* tag, const char* client,
                                         const char* firm, double limit, double leverage);
KelapiResult KelapiKillMoneyLimit(int number);
KelapiResult KelapiKillMoneyLimitEx(const char* currency, const char* tag, const char* client, const char* firm);
KelapiResult KelapiSetDepoLimit(const char* account, const char* security, const char* client, const char* firm,
                                double value1, double value2);
KelapiResult KelapiKillDepoLimit(int number);
KelapiResult KelapiKillDepoLimitEx(const char* account, const char* security, const char* client,
                                   const char* firm);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiMoneyLimitRecord) == 88 && offsetof(KelapiMoneyLimitRecord, tag) == 83);
static_assert(sizeof(KelapiMoneyLimitRecordEx) == 96 && offsetof(KelapiMoneyLimitRecordEx, tag) == 91);
static_assert(sizeof(KelapiDepoLimitRecord) == 112 && offsetof(KelapiDepoLimitRecord, security) == 99);
static_assert(sizeof(KelapiDepoLimitRecordEx) == 128 && offsetof(KelapiDepoLimitRecordEx, security) == 107);
static_assert(offsetof(KelapiDepoLimitRecordEx, value9) == 120);
static_assert(sizeof(KelapiLimitReply) == 776);
#endif

#endif /* KELDAAPI_KELDAAPI_LIMITS_H */
