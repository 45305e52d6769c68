/* KeldaApi: firms, depository accounts, futures limits and holdings, and
 * account positions. Included by keldaapi.h; see there for threading,
 * ownership and errors.
 *
 * Rows are read by the caller number that their event carries in lparam
 * (the server's number plus 1): KELAPI_EVENT_NEWFIRM, _NEWFIRMDEPOACCOUNT,
 * _NEWSECDEPOACCOUNT, _NEWFUTURESLIMIT, _KILLFUTURESLIMIT (before the limit
 * goes), _NEWFUTURESHOLDING, _NEWACCOUNTPOSITION. Codes are 8-bit texts, NUL-terminated.
 *
 * KelapiFirmRecordEx2 and KelapiFirmRecordEx3 hold a pointer to the
 * library's own firm text (read-only; valid until the firms table next
 * changes, that is while the caller holds no other call into the library
 * that may deliver firm messages): their sizes are those of this platform's
 * pointer (80 and 176 bytes on 64-bit). Every other record has the fixed
 * size and offsets given beside its fields.
 */
#ifndef KELDAAPI_KELDAAPI_ACCOUNTS_H
#define KELDAAPI_KELDAAPI_ACCOUNTS_H

#ifdef __cplusplus
extern "C" {
#endif

/* KelapiGetFirm: 1064 bytes. */
typedef struct KelapiFirmRecord {
  int32_t number;           /* 0 */
  int16_t status;           /* 4 */
  char text[998];           /* 6: the firm's items, each after a "|" */
  char second_code[13];     /* 1004 */
  char firm_id[13];         /* 1017 */
  char name[31];            /* 1030 */
} KelapiFirmRecord;

/* KelapiGetFirmEx: 2120 bytes. */
typedef struct KelapiFirmRecordEx {
  int32_t number;           /* 0 */
  int32_t word;             /* 4 */
  int16_t status;           /* 8 */
  char text[2048];          /* 10 */
  char second_code[13];     /* 2058 */
  char firm_id[13];         /* 2071 */
  char name[31];            /* 2084 */
  char reserved[5];         /* 2115 */
} KelapiFirmRecordEx;

/* KelapiGetFirmEx2: 80 bytes on 64-bit; text is null for a firm without. */
typedef struct KelapiFirmRecordEx2 {
  int32_t number;           /* 0 */
  int32_t word;             /* 4 */
  const char* text;         /* 8 */
  int16_t status;           /* 16 */
  char second_code[13];     /* 18 */
  char firm_id[13];         /* 31 */
  char name[31];            /* 44 */
} KelapiFirmRecordEx2;

/* KelapiGetFirmEx3: 176 bytes on 64-bit. */
typedef struct KelapiFirmRecordEx3 {
  int32_t number;           /* 0 */
  int32_t word;             /* 4 */
  const char* text;         /* 8 */
  int16_t status;           /* 16 */
  char second_code[13];     /* 18 */
  char firm_id[13];         /* 31 */
  char name[129];           /* 44 */
} KelapiFirmRecordEx3;

/* KelapiGetFirmDepoAccount (64 bytes) and KelapiGetFirmDepoAccountEx (80
 * bytes, with d5 and d6). */
typedef struct KelapiFirmDepoAccountRecordEx {
  double d2;                /* 0 */
  double d1;                /* 8 */
  double d3;                /* 16 */
  double d4;                /* 24 */
  int32_t number;           /* 32 */
  char code1[15];           /* 36: at most 12 characters */
  char code2[13];           /* 51 */
  double d5;                /* 64: Ex only */
  double d6;                /* 72: Ex only */
} KelapiFirmDepoAccountRecordEx;

/* KelapiGetSecDepoAccount (88 bytes) and KelapiGetSecDepoAccountEx (120
 * bytes, with d5 to d8). */
typedef struct KelapiSecDepoAccountRecordEx {
  double d2;                /* 0 */
  double d1;                /* 8 */
  double d3;                /* 16 */
  double d4;                /* 24 */
  int32_t number;           /* 32 */
  char code4[13];           /* 36 */
  char code1[13];           /* 49 */
  char code2[13];           /* 62 */
  char code3[13];           /* 75 */
  double d5;                /* 88: Ex only */
  double d6;                /* 96 */
  double d7;                /* 104 */
  double d8;                /* 112 */
} KelapiSecDepoAccountRecordEx;

/* KelapiGetFuturesLimit: 88 bytes; amounts are money values. */
typedef struct KelapiFuturesLimitRecord {
  double l6;                /* 0 */
  double l2;                /* 8: open limit */
  double l4;                /* 16: planned net positions */
  double l3;                /* 24: current net positions */
  double l1;                /* 32: previous open limit */
  double l0;                /* 40 */
  double l5;                /* 48: variation margin */
  int32_t number;           /* 56 */
  int16_t type;             /* 60 */
  char firm[13];            /* 62 */
  char account[13];         /* 75 */
} KelapiFuturesLimitRecord;

/* KelapiGetFuturesLimitEx: 136 bytes. */
typedef struct KelapiFuturesLimitRecordEx {
  double l6;                /* 0 */
  double l2;                /* 8 */
  double l4;                /* 16 */
  double l3;                /* 24 */
  double l1;                /* 32 */
  double l0;                /* 40 */
  double l5;                /* 48 */
  double l7;                /* 56 */
  double l8;                /* 64 */
  double l9;                /* 72 */
  double l10;               /* 80 */
  int32_t number;           /* 88 */
  int32_t w3;               /* 92: the server's word divided by 100 */
  int32_t w1;               /* 96 */
  int32_t w2;               /* 100 */
  int16_t type;             /* 104 */
  char firm[13];            /* 106 */
  char account[13];         /* 119 */
} KelapiFuturesLimitRecordEx;

/* KelapiGetFuturesHolding: 128 bytes. h8 is scaled by the security's
 * decimal scale (2 for an unknown security). */
typedef struct KelapiFuturesHoldingRecord {
  double h8;                /* 0 */
  double e1;                /* 8 */
  double e0;                /* 16 */
  int32_t reserved[4];      /* 24 */
  double e2;                /* 40: variation margin */
  int32_t h6;               /* 48 */
  int32_t h7;               /* 52 */
  int32_t number;           /* 56 */
  int32_t h0;               /* 60 */
  int32_t h2;               /* 64: opening net position */
  int32_t h1;               /* 68 */
  int32_t h3;               /* 72 */
  int32_t h5;               /* 76: current net position */
  int32_t h4;               /* 80 */
  int16_t kind;             /* 84 */
  char firm[16];            /* 86: at most 12 characters */
  char security[13];        /* 102 */
  char account[13];         /* 115 */
} KelapiFuturesHoldingRecord;

/* KelapiGetFuturesHoldingEx: 120 bytes. */
typedef struct KelapiFuturesHoldingRecordEx {
  double h8;                /* 0 */
  double e1;                /* 8 */
  double e0;                /* 16 */
  double e2;                /* 24 */
  double e3;                /* 32 */
  int32_t h6;               /* 40 */
  int32_t h7;               /* 44 */
  int32_t number;           /* 48 */
  int32_t h0;               /* 52 */
  int32_t h2;               /* 56 */
  int32_t h1;               /* 60 */
  int32_t h3;               /* 64 */
  int32_t h5;               /* 68 */
  int32_t h4;               /* 72 */
  int16_t kind;             /* 76 */
  char firm[13];            /* 78 */
  char security[13];        /* 91 */
  char account[13];         /* 104 */
} KelapiFuturesHoldingRecordEx;

/* KelapiGetAccountPosition: 152 bytes. */
typedef struct KelapiAccountPositionRecord {
  double p1;                /* 0 */
  double p3;                /* 8 */
  double p4;                /* 16 */
  double reserved1[2];      /* 24 */
  double p0;                /* 40 */
  double p2;                /* 48 */
  double reserved2[4];      /* 56 */
  int32_t number;           /* 88 */
  char reserved3[6];        /* 92 */
  char code2[5];            /* 98 */
  char code4[31];           /* 103 */
  char code1[13];           /* 134 */
  char code3[5];            /* 147 */
} KelapiAccountPositionRecord;

/* KelapiGetAccountPositionEx: 136 bytes; values P1, P3, P4, P0, P2, P5-P8. */
typedef struct KelapiAccountPositionRecordEx {
  double values[9];         /* 0 */
  int32_t number;           /* 72 */
  char code2[5];            /* 76 */
  char code4[31];           /* 81 */
  char code1[13];           /* 112 */
  char code3[5];            /* 125 */
} KelapiAccountPositionRecordEx;

/* KelapiGetAccountPositionEx2: 152 bytes; values as above, then P9, P10. */
typedef struct KelapiAccountPositionRecordEx2 {
  double values[11];        /* 0 */
  int32_t number;           /* 88 */
  char code2[5];            /* 92 */
  char code4[31];           /* 97 */
  char code1[13];           /* 128 */
  char code3[5];            /* 141 */
} KelapiAccountPositionRecordEx2;

KelapiResult KelapiBookFirms(void);
KelapiResult KelapiGetFirm(int number, KelapiFirmRecord* record);
KelapiResult KelapiGetFirmEx(int number, KelapiFirmRecordEx* record, unsigned size);
KelapiResult KelapiGetFirmEx2(int number, KelapiFirmRecordEx2* record, unsigned size);
KelapiResult KelapiGetFirmEx3(int number, KelapiFirmRecordEx3* record, unsigned size);

KelapiResult KelapiBookDepoAccounts(void);
/* Writes the first 64 bytes. */
KelapiResult KelapiGetFirmDepoAccount(int number, KelapiFirmDepoAccountRecordEx* record);
KelapiResult KelapiGetFirmDepoAccountEx(int number, KelapiFirmDepoAccountRecordEx* record, unsigned size);
/* Writes the first 88 bytes. */
KelapiResult KelapiGetSecDepoAccount(int number, KelapiSecDepoAccountRecordEx* record);
KelapiResult KelapiGetSecDepoAccountEx(int number, KelapiSecDepoAccountRecordEx* record, unsigned size);

KelapiResult KelapiBookFutures(void);
KelapiResult KelapiGetFuturesLimit(int number, KelapiFuturesLimitRecord* record);
KelapiResult KelapiGetFuturesLimitEx(int number, KelapiFuturesLimitRecordEx* record, unsigned size);
KelapiResult KelapiGetFuturesHolding(int number, KelapiFuturesHoldingRecord* record);
KelapiResult KelapiGetFuturesHoldingEx(int number, KelapiFuturesHoldingRecordEx* record, unsigned size);
/* Asks the server to correct a client's open position in a contract. Codes
 * of at most 12 characters; KELAPI_E_NOT_CONNECTED when it is not sent. */
KelapiResult KelapiFuturesClientHoldingOpenPosCorrection(const char* security, const char* account,
                                                         const char* firm, double value);

KelapiResult KelapiBookAccountPositions(void);
KelapiResult KelapiGetAccountPosition(int number, KelapiAccountPositionRecord* record);
KelapiResult KelapiGetAccountPositionEx(int number, KelapiAccountPositionRecordEx* record, unsigned size);
KelapiResult KelapiGetAccountPositionEx2(int number, KelapiAccountPositionRecordEx2* record, unsigned size);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiFirmRecord) == 1064 && offsetof(KelapiFirmRecord, name) == 1030);
static_assert(sizeof(KelapiFirmRecordEx) == 2120 && offsetof(KelapiFirmRecordEx, name) == 2084);
static_assert(sizeof(void*) != 8 || sizeof(KelapiFirmRecordEx2) == 80);
static_assert(sizeof(void*) != 8 || (sizeof(KelapiFirmRecordEx3) == 176 && offsetof(KelapiFirmRecordEx3, name) == 44));
static_assert(sizeof(KelapiFirmDepoAccountRecordEx) == 80 && offsetof(KelapiFirmDepoAccountRecordEx, d5) == 64);
static_assert(offsetof(KelapiFirmDepoAccountRecordEx, code2) == 51);
static_assert(sizeof(KelapiSecDepoAccountRecordEx) == 120 && offsetof(KelapiSecDepoAccountRecordEx, d5) == 88);
static_assert(offsetof(KelapiSecDepoAccountRecordEx, code3) == 75);
static_assert(sizeof(KelapiFuturesLimitRecord) == 88 && offsetof(KelapiFuturesLimitRecord, account) == 75);
static_assert(sizeof(KelapiFuturesLimitRecordEx) == 136 && offsetof(KelapiFuturesLimitRecordEx, account) == 119);
static_assert(sizeof(KelapiFuturesHoldingRecord) == 128 && offsetof(KelapiFuturesHoldingRecord, account) == 115);
static_assert(offsetof(KelapiFuturesHoldingRecord, e2) == 40 && offsetof(KelapiFuturesHoldingRecord, kind) == 84);
static_assert(sizeof(KelapiFuturesHoldingRecordEx) == 120 && offsetof(KelapiFuturesHoldingRecordEx, account) == 104);
static_assert(sizeof(KelapiAccountPositionRecord) == 152 && offsetof(KelapiAccountPositionRecord, code3) == 147);
static_assert(offsetof(KelapiAccountPositionRecord, p0) == 40 && offsetof(KelapiAccountPositionRecord, number) == 88);
static_assert(sizeof(KelapiAccountPositionRecordEx) == 136 && offsetof(KelapiAccountPositionRecordEx, code3) == 125);
static_assert(sizeof(KelapiAccountPositionRecordEx2) == 152 && offsetof(KelapiAccountPositionRecordEx2, code3) == 141);
#endif

#endif /* KELDAAPI_KELDAAPI_ACCOUNTS_H */
