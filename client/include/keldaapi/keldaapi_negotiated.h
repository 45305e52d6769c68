/* KeldaApi: negotiated deals, negotiated trades and reports on negotiated
 * deals, as the server reports them. Included by keldaapi.h; the threading,
 * ownership and error rules there hold here too.
 *
 * KelapiBookNegDeals books all three tables; each announces new and changed
 * rows with its own event (KELAPI_EVENT_NEWNEGDEAL, KELAPI_EVENT_NEWNEGTRADE,
 * KELAPI_EVENT_NEWNEGREPORT), lparam the row number (sequence number plus
 * one). Records are zero-filled; prices are in the security's decimals and
 * amounts in money units. The shorter record of each pair is the first bytes
 * of the longer one.
 */
#ifndef KELDAAPI_KELDAAPI_NEGOTIATED_H
#define KELDAAPI_KELDAAPI_NEGOTIATED_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A negotiated deal: 288 bytes (Ex5) or 304 (Ex6). */
typedef struct KelapiNegDealRecord {
  double amount2;           /* 0 */
  double deal_number;       /* 8 */
  double price;             /* 16 */
  double price2;            /* 24 */
  double price3;            /* 32 */
  double amount4;           /* 40 */
  double amount3;           /* 48 */
  double amount1;           /* 56 */
  double price5;            /* 64 */
  double price4;            /* 72 */
  double price6;            /* 80 */
  double amount6;           /* 88 */
  double amount5;           /* 96 */
  double amount7;           /* 104 */
  double price7;            /* 112 */
  uint32_t flags;           /* 120 */
  int32_t word10;           /* 124 */
  int32_t word1;            /* 128 */
  uint32_t row_number;      /* 132 */
  uint32_t class_number;    /* 136 */
  uint32_t security_number; /* 140 */
  int32_t word2;            /* 144 */
  int32_t word3;            /* 148 */
  int32_t word4;            /* 152 */
  int32_t word5;            /* 156 */
  int32_t word6;            /* 160 */
  int32_t word7;            /* 164 */
  int16_t short3;           /* 168 */
  int16_t short1;           /* 170 */
  int16_t short2;           /* 172 */
  char text5[13];           /* 174 */
  char comment[21];         /* 187 */
  char text4[13];           /* 208 */
  char text3[13];           /* 221 */
  char text2[13];           /* 234 */
  char text6[11];           /* 247 */
  char text7[4];            /* 258 */
  char text1[13];           /* 262 */
  char text8[13];           /* 275 */
  int32_t word8;            /* 288: Ex6 only */
  int32_t word9;            /* 292 */
  int64_t value8;           /* 296 */
} KelapiNegDealRecord;

/* A negotiated trade: 320 bytes (Ex4) or 360 (Ex5). */
typedef struct KelapiNegTradeRecord {
  double value3;            /* 0 */
  int64_t value2;           /* 8 */
  double price;             /* 16 */
  double price2;            /* 24 */
  double price4;            /* 32 */
  double price3;            /* 40 */
  int64_t value1;           /* 48 */
  int64_t value4;           /* 56 */
  double trade_number;      /* 64 */
  double amount1;           /* 72 */
  double amount3;           /* 80 */
  double amount8;           /* 88 */
  double amount7;           /* 96 */
  double amount9;           /* 104 */
  double amount5;           /* 112 */
  double amount4;           /* 120 */
  double amount6;           /* 128 */
  double amount2;           /* 136 */
  double price5;            /* 144 */
  double price8;            /* 152 */
  double price6;            /* 160 */
  double price7;            /* 168 */
  uint32_t flags;           /* 176: bits 0x1, 0x2 and 0x4 */
  int32_t word8;            /* 180 */
  uint32_t row_number;      /* 184 */
  int32_t word9;            /* 188 */
  int32_t word1;            /* 192 */
  uint32_t class_number;    /* 196 */
  uint32_t security_number; /* 200 */
  int32_t word2;            /* 204 */
  int32_t word4;            /* 208 */
  int32_t word3;            /* 212 */
  int32_t zero;             /* 216 */
  int16_t short2;           /* 220 */
  int16_t short5;           /* 222 */
  int16_t short1;           /* 224 */
  int16_t short4;           /* 226 */
  int16_t short3;           /* 228 */
  char text2[13];           /* 230 */
  char comment[21];         /* 243 */
  char text4[13];           /* 264 */
  char text3[13];           /* 277 */
  char text1[13];           /* 290 */
  char text5[4];            /* 303 */
  char text6[13];           /* 307 */
  int64_t value5;           /* 320: Ex5 only */
  int64_t value6;           /* 328 */
  int64_t value7;           /* 336 */
  int16_t short6;           /* 344 */
  int16_t short7;           /* 346 */
  int32_t word6;            /* 348 */
  int32_t word7;            /* 352 */
  char reserved[4];         /* 356 */
} KelapiNegTradeRecord;

/* A report on negotiated deals: 120 bytes (Ex2) or 128 (Ex3). */
typedef struct KelapiNegReportRecord {
  double report_number;     /* 0 */
  double amount;            /* 8 */
  uint32_t flags;           /* 16: bits 0x1, 0x2, 0x40 and 0x80 */
  int32_t word3;            /* 20 */
  int32_t word1;            /* 24 */
  int32_t word2;            /* 28 */
  uint32_t row_number;      /* 32 */
  uint32_t class_number;    /* 36 */
  uint32_t security_number; /* 40 */
  int32_t word4;            /* 44 */
  char text3[13];           /* 48 */
  char text5[13];           /* 61 */
  char text4[13];           /* 74 */
  char text2[13];           /* 87 */
  char text1[13];           /* 100 */
  char reserved[3];         /* 113 */
  uint16_t short2;          /* 116 */
  char reserved2[2];        /* 118 */
  int64_t value8;           /* 120: Ex3 only */
} KelapiNegReportRecord;

KelapiResult KelapiBookNegDeals(void);
KelapiResult KelapiGetNegDealEx5(uint32_t number, KelapiNegDealRecord* record, uint32_t size);
KelapiResult KelapiGetNegDealEx6(uint32_t number, KelapiNegDealRecord* record, uint32_t size);
KelapiResult KelapiGetNegTradeEx4(uint32_t number, KelapiNegTradeRecord* record, uint32_t size);
KelapiResult KelapiGetNegTradeEx5(uint32_t number, KelapiNegTradeRecord* record, uint32_t size);
KelapiResult KelapiGetNegReportEx2(uint32_t number, KelapiNegReportRecord* record, uint32_t size);
KelapiResult KelapiGetNegReportEx3(uint32_t number, KelapiNegReportRecord* record, uint32_t size);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiNegDealRecord) == 304 && offsetof(KelapiNegDealRecord, text5) == 174);
static_assert(offsetof(KelapiNegDealRecord, text7) == 258 && offsetof(KelapiNegDealRecord, text8) == 275);
static_assert(offsetof(KelapiNegDealRecord, word8) == 288 && offsetof(KelapiNegDealRecord, value8) == 296);
static_assert(sizeof(KelapiNegTradeRecord) == 360 && offsetof(KelapiNegTradeRecord, flags) == 176);
static_assert(offsetof(KelapiNegTradeRecord, short2) == 220 && offsetof(KelapiNegTradeRecord, text2) == 230);
static_assert(offsetof(KelapiNegTradeRecord, text5) == 303 && offsetof(KelapiNegTradeRecord, value5) == 320);
static_assert(offsetof(KelapiNegTradeRecord, word7) == 352);
static_assert(sizeof(KelapiNegReportRecord) == 128 && offsetof(KelapiNegReportRecord, text1) == 100);
static_assert(offsetof(KelapiNegReportRecord, short2) == 116 && offsetof(KelapiNegReportRecord, value8) == 120);
#endif

#endif /* KELDAAPI_KELDAAPI_NEGOTIATED_H */
