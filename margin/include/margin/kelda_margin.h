/* KeldaMargin: margin and limit figures of a client portfolio row and of a
 * planned trade, computed from per-firm rule texts and from limits and
 * parameter values that the library asks its caller for through callbacks.
 *
 * Threading: every export takes the library's one lock for its whole run, so
 * the exports may be called from any thread; the callbacks run synchronously
 * on the calling thread, inside the export, with the lock held. An export
 * called from inside one of the library's callbacks is refused (error 1).
 *
 * Ownership: every record is caller-owned. The library copies what it keeps
 * (classes, securities, rule texts) and allocates only through the memory
 * callbacks (the process allocator for any left null). A record returned by
 * getMoneyLimit or getDepoLimit is read before the next call of the same
 * callback. The class-record pointer from MargoIsMarginSeccode and
 * MargoIsAssetSeccode stays valid until MargoCleanup.
 *
 * Errors: exports return a 32-bit boolean (1 success or true, 0 failure or
 * false) and set the thread's last-error value (see the MARGO_ERROR_* codes);
 * no export throws or ends the process. A failing export leaves the library's
 * tables as they were.
 *
 * Texts are 8-bit, NUL-terminated, code page 1251. A text[n] field holds at
 * most n bytes; the library never reads past the field, also when the caller
 * left no NUL in it. Money amounts cross multiplied by 100; a price below
 * 1e-8 (or not a number) counts as missing.
 *
 * Records without pointers keep their fixed sizes on every platform. The
 * portfolio row's binding word is a 32-bit handle (slot and generation) that
 * the library checks on every use: a row bound to rules that were since
 * replaced or dropped is refused with error 2 until bound again.
 * MargoMarginSecEntry carries a pointer and is 32 bytes on 64-bit systems
 * (28 on 32-bit ones); callers use sizeof. */
#ifndef KELDA_MARGIN_KELDA_MARGIN_H
#define KELDA_MARGIN_KELDA_MARGIN_H

#include <stddef.h>
#include <stdint.h>

#include "platform/export.h"
#include "platform/win_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Last-error codes of the library. */
#define MARGO_ERROR_SUCCESS 0
#define MARGO_ERROR_STATE 1            /* not initialised, or already initialised */
#define MARGO_ERROR_MISSING 2          /* null pointer, unbound row, missing callback */
#define MARGO_ERROR_SIZE 3             /* record size, id too long, or array too small */
#define MARGO_ERROR_CLASS_PRESENT 4    /* MargoAddClass: class code already present */
#define MARGO_ERROR_UNKNOWN_FIRM 5     /* no rule text was set for the firm */
#define MARGO_ERROR_NO_PRICE_PARAM 6   /* paramIndex has no index for a price parameter */
#define MARGO_ERROR_UNKNOWN_SECURITY 7 /* unknown security or class id */
#define MARGO_ERROR_NO_PRICE 8         /* security has neither a last nor a previous price */
#define MARGO_ERROR_UNKNOWN_TYPE 9     /* MargoInitEx: unknown interface type */
#define MARGO_ERROR_OUT_OF_MEMORY 14   /* an allocation callback returned null */

/* MargoClass.flags */
#define MARGO_CLASS_BOND 1    /* prices are percent of face value; accrued interest added */
#define MARGO_CLASS_IGNORED 6 /* either bit: the library does not take the class */

/* Accepted record sizes. */
#define MARGO_MONEY_LIMIT_SIZE_TYPE1 88
#define MARGO_MONEY_LIMIT_SIZE_TYPE2 96
#define MARGO_DEPO_LIMIT_SIZE_TYPE1 88
#define MARGO_DEPO_LIMIT_SIZE_TYPE2 96
#define MARGO_ROW_SIZE_MIN 248
#define MARGO_ROW_SIZE_MAX 280
#define MARGO_ACTIVITY_SIZE_SHORT 48
#define MARGO_ACTIVITY_SIZE_LONG 56

/* A trading class, given to MargoAddClass (32 bytes). The library keeps a copy. */
typedef struct MargoClass {
  int32_t classId;             /* caller's number, passed back to paramValue */
  int32_t securityCount;       /* entries of the MargoSecurity array given with it */
  int32_t flags;               /* MARGO_CLASS_* */
  char classCode[13];          /* text[13] */
  uint8_t secondaryValuation;  /* unlisted securities of the class are still valued */
  uint8_t reserved[6];
} MargoClass;

/* A security of a class (40 bytes). */
typedef struct MargoSecurity {
  double faceValue;     /* bond classes only */
  int32_t securityId;   /* caller's number, passed back to paramValue */
  int32_t classIndex;   /* written into the library's own copy; ignored on input */
  int32_t lotSize;      /* securities per trading unit; 0 or less counts as 1 */
  char securityCode[20];
} MargoSecurity;

/* A money limit, returned by getMoneyLimit: 88 bytes for interface type 1
 * (leveragePercent absent), 96 for type 2. Amounts are multiplied by 100. */
typedef struct MargoMoneyLimit {
  uint32_t reserved;
  char currency[5];
  char boardTag[5];
  char firmId[13];
  char clientCode[13];
  double amountA;  /* opening amount */
  double amountB;  /* leverage numerator */
  double amountC;  /* current amount */
  double amountD;
  double amountE;
  double amountF;  /* funds held, subtracted from the current amount */
  int32_t leveragePercent; /* type 2 only; negative: none */
} MargoMoneyLimit;

/* A securities (depo) limit, returned by getDepoLimit; the library reads the
 * first 88 bytes. Quantities are in securities, or in trading units when the
 * firm's rules count limits in lots. */
typedef struct MargoDepoLimit {
  uint32_t reserved;
  char securityCode[13];
  char tradeAccount[13];
  char firmId[13];
  char clientCode[13];
  int32_t openingQuantity;
  int32_t quantity1;        /* subtracted from the working quantity */
  int32_t currentQuantity;
  int32_t quantity2;        /* added to the working quantity */
  int32_t quantity3;        /* held for sale */
  int32_t quantity4;        /* planned-trade figures only */
  double amountG;
  double amountH;           /* not read */
} MargoDepoLimit;

/* A client portfolio row: 248, 264, 272 or 280 bytes, the size in its first
 * word. Fields past the size are never read or written. Money figures are in
 * money units; marginLevel is a percentage, leverage a ratio. */
typedef struct MargoMarginalRow {
  int32_t size;
  uint32_t binding;          /* written by MargoInitMarginalRow; 0 while unbound */
  char firmId[13];
  char clientCode[13];
  uint8_t callerData[3];     /* not touched by the library */
  uint8_t lag2;              /* written by MargoInitMarginalRow: client's credit lag is 2 */
  uint8_t leverageFromLimit; /* written by a calculation: leverage taken from a money limit */
  uint8_t reserved39;
  double freeMoney;               /* 40 */
  double openingOwnValue;         /* 48 */
  double leverage;                /* 56 */
  double leverageNumerator;       /* 64 */
  double shortValue;              /* 72: weighted, own accounts, negative */
  double longAssetValue;          /* 80: weighted, own accounts */
  double longMarginValue;         /* 88: part of 80 from margin securities */
  double longOtherAssetValue;     /* 96: part of 80 from other asset securities */
  double portfolioValue;          /* 104 */
  double marginLevel;             /* 112 */
  double buyingPower;             /* 120 */
  double availableLimit;          /* 128 */
  double collateral;              /* 136 */
  double marginCollateral;        /* 144 */
  double otherCollateral;         /* 152 */
  double heldForSaleValue;        /* 160 */
  double fundsHeld;               /* 168 */
  double purchaseLimit;           /* 176 */
  double availableLimitCopy;      /* 184 */
  double nonMarginPurchaseLimit;  /* 192 */
  double collateralPurchaseLimit; /* 200: lag-2 clients */
  double heldValue;               /* 208: lag-2 clients */
  double openingValue;            /* 216 */
  double currentValue;            /* 224 */
  double reserved232;
  double reserved240;
  double ownCurrentAmount;        /* 248: size 264 and above */
  double amountESum;              /* 256: size 264 and above */
  double riskRatio;               /* 264: size 272 and above */
  double freeAfterPortfolio;      /* 272: size 280 */
} MargoMarginalRow;

/* A planned trade: 48 or 56 bytes, the size in its first word. */
typedef struct MargoActivity {
  int32_t size;
  int32_t classId;
  int32_t securityId;
  int32_t securityIndex;     /* written by MargoInitMarginalActv */
  int32_t classIndex;        /* written by MargoInitMarginalActv */
  uint8_t isMargin;          /* written by MargoInitMarginalActv */
  uint8_t isAsset;           /* written by MargoInitMarginalActv */
  uint8_t isShortRestricted; /* written by MargoInitMarginalActv */
  uint8_t reserved[5];
  int32_t workingQuantity;
  int32_t buyQuantity;
  int32_t sellQuantity;
  double currentValue;       /* working position at the current price */
  double previousValue;      /* size 56 only: at the previous price */
} MargoActivity;

/* One security of a margin list, as MargoGetMarginSecs reports it (20 bytes). */
typedef struct MargoMarginSecCode {
  int32_t securityId;   /* -1 when the code is not in the security table */
  char securityCode[16];
} MargoMarginSecCode;

/* One class entry of a margin list (pointer-carrying: use sizeof). */
typedef struct MargoMarginSecEntry {
  int32_t classId;       /* -1 when the class is not in the class table */
  int32_t securityCount;
  MargoMarginSecCode* securities;
  char classCode[16];
} MargoMarginSecEntry;

typedef void* (*MargoAllocCallback)(int32_t size);
typedef void (*MargoFreeCallback)(void* block);
typedef void* (*MargoReallocCallback)(void* block, int32_t size);

/* The library passes boardTag and currency (or tradeAccount) empty and reads
 * only *position: the lower bound of (firmId, clientCode) in the caller's
 * sorted limits. The result (exact match index or -1) is ignored. */
typedef int32_t (*MargoFindMoneyLimitCallback)(const char* firmId, const char* clientCode,
                                               const char* boardTag, const char* currency,
                                               int32_t* position);
typedef const MargoMoneyLimit* (*MargoGetMoneyLimitCallback)(int32_t index);
typedef int32_t (*MargoFindDepoLimitCallback)(const char* firmId, const char* clientCode,
                                              const char* securityCode, const char* tradeAccount,
                                              int32_t* position);
typedef const MargoDepoLimit* (*MargoGetDepoLimitCallback)(int32_t index);
typedef int32_t (*MargoParamIndexCallback)(const char* name);
typedef double (*MargoParamValueCallback)(int32_t classId, int32_t securityId, int32_t paramIndex);
typedef void (*MargoMarginSecsCallback)(const MargoMarginSecEntry* entries, int32_t count,
                                        intptr_t user);

/* The three callback sets as the library keeps them. */
typedef struct MargoMemoryCallbacks {
  MargoAllocCallback alloc;
  MargoFreeCallback free;
  MargoReallocCallback realloc;
} MargoMemoryCallbacks;

typedef struct MargoLimitCallbacks {
  MargoFindMoneyLimitCallback findMoneyLimit;
  MargoGetMoneyLimitCallback getMoneyLimit;
  MargoFindDepoLimitCallback findDepoLimit;
  MargoGetDepoLimitCallback getDepoLimit;
} MargoLimitCallbacks;

typedef struct MargoParamCallbacks {
  MargoParamIndexCallback paramIndex;
  MargoParamValueCallback paramValue;
} MargoParamCallbacks;

/* Set-up, before MargoInitEx (afterwards refused with 1). */
KELDA_EXPORT BOOL MargoSetMemoryManagement(MargoAllocCallback alloc, MargoFreeCallback free,
                                           MargoReallocCallback realloc);
KELDA_EXPORT BOOL MargoSetLimitCallbacks(MargoFindMoneyLimitCallback findMoneyLimit,
                                         MargoGetMoneyLimitCallback getMoneyLimit,
                                         MargoFindDepoLimitCallback findDepoLimit,
                                         MargoGetDepoLimitCallback getDepoLimit);
KELDA_EXPORT BOOL MargoSetParamCallbacks(MargoParamIndexCallback paramIndex,
                                         MargoParamValueCallback paramValue);
/* Type 1 takes limit records of 88 and 88 bytes, type 2 of 96 and 96. */
KELDA_EXPORT BOOL MargoInitEx(int32_t interfaceType, int32_t moneyLimitSize, int32_t depoLimitSize);
KELDA_EXPORT BOOL MargoInit(int32_t moneyLimitSize, int32_t depoLimitSize);

/* Classes, securities and rule texts. */
KELDA_EXPORT BOOL MargoAddClass(const MargoClass* cls, const MargoSecurity* securities);
/* firmId: at most 12 characters (longer: error 3). */
KELDA_EXPORT BOOL MargoSetDliniFile(const char* firmId, const char* ruleText);
KELDA_EXPORT BOOL MargoCleanupDlifiles(void);
KELDA_EXPORT BOOL MargoCleanup(void);

/* Portfolio rows. moneyPosition and depoPosition (either may be null) give the
 * start index of that limit walk in place of the find callback and receive
 * the index at which the walk stopped. */
KELDA_EXPORT BOOL MargoInitMarginalRow(MargoMarginalRow* row);
KELDA_EXPORT BOOL MargoCalcMarginalRow(MargoMarginalRow* row);
KELDA_EXPORT BOOL MargoCalcMarginalRowEx(MargoMarginalRow* row, int32_t* moneyPosition,
                                         int32_t* depoPosition);

/* Planned trades. price above 0 is the order's price; 0 or less asks for
 * the market prices. Quantities written are in [0, INT32_MAX]. */
KELDA_EXPORT BOOL MargoInitMarginalActv(const MargoMarginalRow* row, MargoActivity* activity);
KELDA_EXPORT BOOL MargoCalcMarginalActv(const MargoMarginalRow* row, MargoActivity* activity,
                                        double price);

/* Queries. */
KELDA_EXPORT BOOL MargoIsMarginSeccode(const MargoMarginalRow* row, const char* securityCode,
                                       const MargoClass** cls, int32_t* securityId);
KELDA_EXPORT BOOL MargoIsAssetSeccode(const MargoMarginalRow* row, const char* securityCode,
                                      const MargoClass** cls, int32_t* securityId);
KELDA_EXPORT BOOL MargoGetMarginSecs(const MargoMarginalRow* row, MargoMarginSecsCallback callback,
                                     intptr_t user);
/* *count holds the capacity of ids on entry and receives the number written. */
KELDA_EXPORT BOOL MargoGetNeedClassSecIDs(int32_t classId, int32_t* ids, int32_t* count);
KELDA_EXPORT BOOL MargoIsBoardTagApplicable(const char* firmId, const char* boardTag);
/* Returns the firm's flag; returns 1 on failure too (see the last error). */
KELDA_EXPORT BOOL MargoIsLimitsInLots(const char* firmId);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(MargoClass) == 32 && offsetof(MargoClass, classCode) == 12 &&
              offsetof(MargoClass, secondaryValuation) == 25);
static_assert(sizeof(MargoSecurity) == 40 && offsetof(MargoSecurity, securityId) == 8 &&
              offsetof(MargoSecurity, classIndex) == 12 && offsetof(MargoSecurity, lotSize) == 16 &&
              offsetof(MargoSecurity, securityCode) == 20);
static_assert(sizeof(MargoMoneyLimit) == 96 && offsetof(MargoMoneyLimit, currency) == 4 &&
              offsetof(MargoMoneyLimit, boardTag) == 9 && offsetof(MargoMoneyLimit, firmId) == 14 &&
              offsetof(MargoMoneyLimit, clientCode) == 27 && offsetof(MargoMoneyLimit, amountA) == 40 &&
              offsetof(MargoMoneyLimit, amountF) == 80 &&
              offsetof(MargoMoneyLimit, leveragePercent) == 88);
static_assert(sizeof(MargoDepoLimit) == 96 && offsetof(MargoDepoLimit, securityCode) == 4 &&
              offsetof(MargoDepoLimit, tradeAccount) == 17 && offsetof(MargoDepoLimit, firmId) == 30 &&
              offsetof(MargoDepoLimit, clientCode) == 43 &&
              offsetof(MargoDepoLimit, openingQuantity) == 56 &&
              offsetof(MargoDepoLimit, quantity4) == 76 && offsetof(MargoDepoLimit, amountG) == 80 &&
              offsetof(MargoDepoLimit, amountH) == 88);
static_assert(sizeof(MargoMarginalRow) == 280 && offsetof(MargoMarginalRow, binding) == 4 &&
              sizeof(((MargoMarginalRow*)0)->binding) == 4 &&
              offsetof(MargoMarginalRow, firmId) == 8 && offsetof(MargoMarginalRow, clientCode) == 21 &&
              offsetof(MargoMarginalRow, lag2) == 37 &&
              offsetof(MargoMarginalRow, leverageFromLimit) == 38 &&
              offsetof(MargoMarginalRow, freeMoney) == 40 &&
              offsetof(MargoMarginalRow, currentValue) == 224 &&
              offsetof(MargoMarginalRow, ownCurrentAmount) == 248 &&
              offsetof(MargoMarginalRow, riskRatio) == 264 &&
              offsetof(MargoMarginalRow, freeAfterPortfolio) == 272);
static_assert(sizeof(MargoActivity) == 56 && offsetof(MargoActivity, securityIndex) == 12 &&
              offsetof(MargoActivity, isMargin) == 20 &&
              offsetof(MargoActivity, isShortRestricted) == 22 &&
              offsetof(MargoActivity, workingQuantity) == 28 &&
              offsetof(MargoActivity, sellQuantity) == 36 &&
              offsetof(MargoActivity, currentValue) == 40 &&
              offsetof(MargoActivity, previousValue) == 48);
static_assert(sizeof(MargoMarginSecCode) == 20);
static_assert(offsetof(MargoMarginSecEntry, securities) == 8 &&
              offsetof(MargoMarginSecEntry, classCode) == 8 + sizeof(void*));
#endif

#endif /* KELDA_MARGIN_KELDA_MARGIN_H */
