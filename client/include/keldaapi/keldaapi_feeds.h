/* KeldaApi: the market-wide feeds of the client library: all trades of the
 * exchange, minute bars, and the data lines (price-bar series pushed to a
 * callback) with their archive.
 *
 * Included by keldaapi.h; the threading, ownership and error rules stated
 * there hold here too. Records keep the sizes and offsets in their comments.
 */
#ifndef KELDAAPI_KELDAAPI_FEEDS_H
#define KELDAAPI_KELDAAPI_FEEDS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One trade of the exchange, first form (KelapiGetAllTradeEx); 96 bytes,
 * zero-filled. Prices are converted by the security's scale, amounts are in
 * currency units. */
typedef struct KelapiAllTradeRecord {
  double amount2;           /* 0 */
  double price;             /* 8 */
  int64_t trade_number;     /* 16 */
  double value;             /* 24 */
  double amount3;           /* 32 */
  double amount5;           /* 40 */
  double amount6;           /* 48 */
  int32_t quantity;         /* 56 */
  uint32_t record_number;   /* 60: 1-based */
  int32_t time;             /* 64: HHMMSS */
  int32_t date;             /* 68: YYYYMMDD */
  uint32_t class_number;    /* 72 */
  uint32_t security_number; /* 76 */
  int32_t rate;             /* 80: converted by the scale, truncated */
  uint16_t word;            /* 84 */
  char empty[2];            /* 86: always empty */
  char code[4];             /* 88: the first three characters of the code */
} KelapiAllTradeRecord;

/* Second form (KelapiGetAllTradeEx2, 96 bytes) and third form
 * (KelapiGetAllTradeEx3, 104 bytes: the second with the trade's flags). */
typedef struct KelapiAllTradeRecord2 {
  double amount2;           /* 0 */
  double price;             /* 8 */
  int64_t trade_number;     /* 16 */
  double value;             /* 24 */
  double amount3;           /* 32 */
  double amount5;           /* 40 */
  double amount6;           /* 48 */
  double rate;              /* 56: converted by the scale */
  int32_t quantity;         /* 64 */
  uint32_t record_number;   /* 68 */
  int32_t time;             /* 72 */
  int32_t date;             /* 76 */
  uint32_t class_number;    /* 80 */
  uint32_t security_number; /* 84 */
  uint16_t word;            /* 88 */
  char empty[2];            /* 90 */
  char code[4];             /* 92 */
} KelapiAllTradeRecord2;

typedef struct KelapiAllTradeRecord3 {
  KelapiAllTradeRecord2 base; /* 0 */
  int16_t flags;              /* 96 */
} KelapiAllTradeRecord3;

/* All trades: KELAPI_EVENT_NEWALLTRADE (lparam the record number) for each
 * trade while booked. A restore flag of 1 announces the trades held first. */
KelapiResult KelapiBookAllTrades(uint32_t restore);
KelapiResult KelapiUnbookAllTrades(void);
/* Alerts arrive with the all-trades feed: books it as KelapiBookAllTrades
 * does, on a started link only; booking again is no error. */
KelapiResult KelapiBookAlerts(uint32_t restore);
KelapiResult KelapiSetDataRefreshTimeout(uint32_t period);
KelapiResult KelapiGetAllTradeEx(uint32_t number, KelapiAllTradeRecord* record, uint32_t size);
KelapiResult KelapiGetAllTradeEx2(uint32_t number, KelapiAllTradeRecord2* record, uint32_t size);
KelapiResult KelapiGetAllTradeEx3(uint32_t number, KelapiAllTradeRecord3* record, uint32_t size);

/* One minute bar (KelapiGetMinutesEx); 40 bytes. Prices converted by the
 * security's scale; time HHMM00. */
typedef struct KelapiMinuteRecord {
  double close;   /* 0 */
  double high;    /* 8 */
  double low;     /* 16 */
  double open;    /* 24 */
  int32_t volume; /* 32 */
  int32_t time;   /* 36 */
} KelapiMinuteRecord;

/* Minute bars of a security: KELAPI_EVENT_NEWMINUTES (class number, security
 * number) on changes while booked. KelapiGetMinutesEx hands out an array
 * (KelapiFree) of the bars from `from_time` (HHMMSS; 0: all) on. */
KelapiResult KelapiBookMinutesEx(uint32_t class_number, uint32_t security_number);
KelapiResult KelapiUnbookMinutesEx(uint32_t class_number, uint32_t security_number);
KelapiResult KelapiGetMinutesEx(uint32_t class_number, uint32_t security_number, int32_t from_time,
                                uint32_t* count, KelapiMinuteRecord** records);

/* One bar handed to a data line's callback; 48 bytes, valid during the call
 * only. */
typedef struct KelapiDataLineBar {
  double open;   /* 0 */
  double high;   /* 8 */
  double low;    /* 16 */
  double close;  /* 24 */
  double volume; /* 32 */
  uint32_t date; /* 40: YYYYMMDD */
  uint32_t time; /* 44: HHMMSS */
} KelapiDataLineBar;

/* Called with the line id, the bar, the registration's context word and the
 * registration itself (an opaque pointer), under the library lock: it must
 * not wait for another thread that calls the library. Its result is unused. */
typedef int (*KelapiDataLineCallback)(int32_t line_id, const KelapiDataLineBar* bar, uintptr_t context,
                                      const void* registration);

/* Periods: n > 0 minutes, 0 every trade, -1 day, -2 week, -3 month. */
#define KELAPI_PERIOD_TICK 0
#define KELAPI_PERIOD_DAY (-1)
#define KELAPI_PERIOD_WEEK (-2)
#define KELAPI_PERIOD_MONTH (-3)

/* Data line options (KelapiDataLineSetOption): the window of bars delivered;
 * -1 = no bound. Dates YYYYMMDD, times HHMMSS (applied within every day). */
#define KELAPI_DATALINE_FROM_DATE 1
#define KELAPI_DATALINE_FROM_TIME 2
#define KELAPI_DATALINE_TO_DATE 3
#define KELAPI_DATALINE_TO_TIME 4

KelapiResult KelapiRegisterDataLine(uint32_t class_number, uint32_t security_number, int32_t period,
                                    KelapiDataLineCallback callback, uintptr_t context, int32_t* line_id);
KelapiResult KelapiRegisterDataLineEx(uint32_t class_number, uint32_t security_number, int32_t period,
                                      KelapiDataLineCallback callback, uintptr_t context, int32_t* line_id,
                                      uint32_t archive_request);
/* A line of the changes of one current parameter (by its name) of the
 * security: each value is a bar's open, high, low and close with volume 1;
 * periods as above (0: one bar per value). The class must have arrived whole
 * and carry the parameter. */
KelapiResult KelapiRegisterDataLineParam(uint32_t class_number, uint32_t security_number, int32_t period,
                                         const char* param_name, KelapiDataLineCallback callback, uintptr_t context,
                                         int32_t* line_id);
KelapiResult KelapiDataLineSetOption(int32_t line_id, uint32_t option, int32_t value);
KelapiResult KelapiDataLineStart(int32_t line_id);
KelapiResult KelapiUnregisterDataLine(int32_t line_id);
KelapiResult KelapiSetDataLineArchiveSize(int32_t count);

/* The price-bar archive's files (one per series in "archive" under the work
 * folder): one price series' file, one parameter series' file, or every
 * file. */
KelapiResult KelapiClearDataLineArchive(uint32_t class_number, uint32_t security_number, int32_t period);
KelapiResult KelapiClearDataLineArchiveParam(uint32_t class_number, uint32_t security_number, int32_t period,
                                             const char* param_name);
KelapiResult KelapiClearArchive(void);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiMinuteRecord) == 40 && offsetof(KelapiMinuteRecord, time) == 36);
static_assert(sizeof(KelapiDataLineBar) == 48 && offsetof(KelapiDataLineBar, time) == 44);

static_assert(sizeof(KelapiAllTradeRecord) == 96 && offsetof(KelapiAllTradeRecord, code) == 88);
static_assert(offsetof(KelapiAllTradeRecord, word) == 84);
static_assert(sizeof(KelapiAllTradeRecord2) == 96 && offsetof(KelapiAllTradeRecord2, code) == 92);
static_assert(sizeof(KelapiAllTradeRecord3) == 104 && offsetof(KelapiAllTradeRecord3, flags) == 96);
#endif

#endif /* KELDAAPI_KELDAAPI_FEEDS_H */
