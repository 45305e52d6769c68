/* KeldaApi: the trading-server client library's C interface.
 *
 * The library keeps the market and account tables that the trading server
 * sends, saves them in its work folder, and tells its caller about every
 * change through one event callback. The caller initialises the library,
 * connects, books the tables it wants and reads rows with the Kelapi*Get*
 * functions into records whose size it passes.
 *
 * Threading: every export may be called from any thread. The library runs a
 * worker thread (connect and booking commands) and a receive thread (server
 * messages); one library lock serialises the exports, the worker's commands
 * and the message handlers. The event callback runs while that lock is held,
 * on one of the library's threads: it must not wait for another thread that
 * calls the library. KelapiConnect releases the lock while it waits; called
 * from inside the callback it fails at once with KELAPI_E_CONNECT_FAILED.
 *
 * Ownership: records passed with an event are valid only during the call.
 * Buffers that the library hands out are released with KelapiFree.
 *
 * Errors: every export returns a 32-bit result code (KELAPI_OK on success);
 * KelapiGetErrorDesc gives its text. No C++ exception leaves an export.
 *
 * 64-bit: the event callback's two words are pointer-sized, since several
 * events pass a pointer in them. Records without pointers keep the exact
 * sizes and offsets given in their comments; callers pass sizeof.
 * Texts are 8-bit (code page 1251) and NUL-terminated.
 */
#ifndef KELDAAPI_KELDAAPI_H
#define KELDAAPI_KELDAAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t KelapiResult;

/* Result codes. */
#define KELAPI_OK 0u
#define KELAPI_E_NOT_INITIALIZED 0x800403E8u
#define KELAPI_E_ALREADY_INITIALIZED 0x800403E9u
#define KELAPI_E_NOT_CONNECTED 0x800403EAu
#define KELAPI_E_ALREADY_CONNECTED 0x800403EBu
#define KELAPI_E_START_EVENT_NOT_FIRED 0x800403ECu
#define KELAPI_E_CONNECT_FAILED 0x800403EDu
#define KELAPI_E_ALREADY_BOOKED 0x800403EEu
#define KELAPI_E_FUTURES_LIMITS 0x800403EFu
#define KELAPI_E_TRANS_NOT_AVAILABLE 0x800403F0u
#define KELAPI_E_INVALID_LENGTH 0x800403F1u
#define KELAPI_E_NOT_BOOKED 0x800403F2u
#define KELAPI_E_NOT_SUPPORTED 0x800403F3u
#define KELAPI_E_INIT_ENVIRONMENT 0x800403F4u
#define KELAPI_E_INVALID_SCALE 0x800403F5u
#define KELAPI_E_NOT_EXIST 0x800403F6u
#define KELAPI_E_STRUCT_SIZE 0x800403F7u
#define KELAPI_E_TRANS_FIELD_MISSING 0x800403F8u
#define KELAPI_E_INVALID_CLASS 0x800403F9u
#define KELAPI_E_SIGN_FAILED 0x800403FAu
#define KELAPI_E_OVERFLOW 0x800403FBu
#define KELAPI_E_POINTER 0x80004003u
#define KELAPI_E_INVALIDARG 0x80070057u

/* Initialisation flags (KelapiInitializeEx3). */
#define KELAPI_INIT_PUSH_VALUES 0x10u    /* current values come with KELAPI_EVENT_NEWDATAEX */
#define KELAPI_INIT_RECURRING_FIRMS 0x20u
#define KELAPI_INIT_READ_ONCE_TRADES 0x80u  /* a trade read by a Get export leaves its table */
#define KELAPI_INIT_READ_ONCE 0x100u         /* so does an order */
#define KELAPI_INIT_READ_ONCE_ALL 0x200u     /* so do both */

/* Event codes: (code, wparam, lparam) of KelapiEventCallback. */
#define KELAPI_EVENT_START 1              /* wparam: const KelapiStartInfo* */
#define KELAPI_EVENT_NEWDATA 2
#define KELAPI_EVENT_NEWSTATUS 3          /* wparam 1: lparam the reason text; 2: new session */
#define KELAPI_EVENT_NEWTRADE 4
#define KELAPI_EVENT_NEWORDER 5
#define KELAPI_EVENT_NEWALLTRADE 6
#define KELAPI_EVENT_NEWTRDACCOUNT 7
#define KELAPI_EVENT_NEWFIRM 8
#define KELAPI_EVENT_NEWTRANSACTION 9
#define KELAPI_EVENT_NEWACCOUNTPOSITION 10
#define KELAPI_EVENT_NEWFIRMDEPOACCOUNT 11
#define KELAPI_EVENT_NEWSECDEPOACCOUNT 12
#define KELAPI_EVENT_TRANSREPLY 13
#define KELAPI_EVENT_NEWMONEYLIMIT 14
#define KELAPI_EVENT_NEWDEPOLIMIT 15
#define KELAPI_EVENT_KILLMONEYLIMIT 16
#define KELAPI_EVENT_KILLDEPOLIMIT 17
#define KELAPI_EVENT_LIMITRESULT 18
#define KELAPI_EVENT_NEWNEGDEAL 19
#define KELAPI_EVENT_NEWNEGTRADE 20
#define KELAPI_EVENT_NEWNEGREPORT 21
#define KELAPI_EVENT_NEWFUTURESLIMIT 22
#define KELAPI_EVENT_KILLFUTURESLIMIT 23
#define KELAPI_EVENT_NEWFUTURESHOLDING 24
#define KELAPI_EVENT_NEWTRANSACTIONSTOP 25
#define KELAPI_EVENT_NEWCLASS 26          /* lparam: class number */
#define KELAPI_EVENT_NEWPRICE 27
#define KELAPI_EVENT_NEWNEWS 28
#define KELAPI_EVENT_DLIFILE 29
#define KELAPI_EVENT_NEWSTOPORDER 30
#define KELAPI_EVENT_NEWQUOTESPRICE 31
#define KELAPI_EVENT_NEWMINUTES 33
#define KELAPI_EVENT_TRANSREPLYEX 34
#define KELAPI_EVENT_LIMITREPLY 37
#define KELAPI_EVENT_NEWQUOTE 38
#define KELAPI_EVENT_NEWTRADER 39
#define KELAPI_EVENT_NEWTRADERMSG 40
#define KELAPI_EVENT_SERVERMESSAGE 41  /* lparam: KelapiServerMessage */
#define KELAPI_EVENT_NEWDATAEX 42
#define KELAPI_EVENT_NEWTRADERMSGEX 43
#define KELAPI_EVENT_DATABLOCK 44      /* lparam: KelapiDataBlock */

/* The caller's event callback. Its result is ignored except where an event
 * says otherwise. */
typedef int (*KelapiEventCallback)(uint32_t event, uintptr_t wparam, uintptr_t lparam);

/* Passed with KELAPI_EVENT_START; 240 bytes, zero-filled. */
typedef struct KelapiStartInfo {
  uint32_t trade_date;        /* 0: YYYYMMDD of the trading session */
  uint32_t session_id;        /* 4 */
  char session_text2[65];     /* 8: second text of the session information's head */
  char session_text[65];      /* 73: the session text that follows the head */
  char trading_session[37];   /* 138: the trading-session key */
  char session_text1[65];     /* 175: first text of the session information's head */
} KelapiStartInfo;

/* Passed with KELAPI_EVENT_TRANSREPLYEX; 272 bytes, zero-filled. */
typedef struct KelapiTransReply {
  int64_t reply_number;  /* 0 */
  uint32_t trans_id;     /* 8 */
  int16_t status;        /* 12: 1 to 12, else 0 */
  char reserved;         /* 14: zero */
  char text[257];        /* 15 */
} KelapiTransReply;

/* Class record of KelapiGetClassEx3: 184 bytes. */
typedef struct KelapiClassRecord {
  uint32_t flags;          /* 0: class flags for the caller */
  uint32_t raw_flags;      /* 4: class flags as the server sent them */
  uint32_t table_flag;     /* 8: 0 or 1 */
  uint32_t table_flags;    /* 12 */
  uint32_t class_number;   /* 16 */
  uint32_t security_count; /* 20: securities confirmed by the server */
  int16_t param_count;     /* 24 */
  char code[13];           /* 26 */
  char name[129];          /* 39 */
  char code2[13];          /* 168 */
} KelapiClassRecord;

/* Class record of KelapiGetClassEx4: 1216 bytes, the 184-byte record's fields
 * followed by the four class texts. */
typedef struct KelapiClassRecordEx4 {
  uint32_t flags;
  uint32_t raw_flags;
  uint32_t table_flag;
  uint32_t table_flags;
  uint32_t class_number;
  uint32_t security_count;
  int16_t param_count;
  char code[13];
  char name[129];
  char code2[13];
  char text1[257];         /* 181 */
  char text2[257];         /* 438 */
  char text3[257];         /* 695 */
  char text4[257];         /* 952 */
  char reserved[7];        /* 1209 */
} KelapiClassRecordEx4;

/* Security record of KelapiGetClassSecuritiesEx3: 144 bytes. */
typedef struct KelapiSecurityRecord {
  int64_t value2;          /* 0 */
  double step;             /* 8: price step in the security's decimals */
  int32_t trading_unit;    /* 16 */
  uint32_t value3;         /* 20 */
  uint32_t value1;         /* 24 */
  int16_t value4;          /* 28 */
  int16_t scale;           /* 30: decimal places of the security's prices */
  uint32_t security_number; /* 32 */
  char text4ch[5];         /* 36 */
  char name[31];           /* 41 */
  char text1[13];          /* 72 */
  char text2[13];          /* 85 */
  char short_name[17];     /* 98 */
  char code[13];           /* 115 */
  char text3[13];          /* 128 */
} KelapiSecurityRecord;

/* Security record of KelapiGetClassSecuritiesEx4: 168 bytes, the 144-byte
 * record's fields followed by the fourth security text. */
typedef struct KelapiSecurityRecordEx4 {
  int64_t value2;
  double step;
  int32_t trading_unit;
  uint32_t value3;
  uint32_t value1;
  int16_t value4;
  int16_t scale;
  uint32_t security_number;
  char text4ch[5];
  char name[31];
  char text1[13];
  char text2[13];
  char short_name[17];
  char code[13];
  char text3[13];
  char text4[21];          /* 141 */
} KelapiSecurityRecordEx4;

/* One parameter of a class (KelapiGetClassParamsEx): 426 bytes. */
typedef struct KelapiClassParamRecord {
  uint16_t flags;          /* 0: 0x1 time, 0x2 enumerated, 0x4 security's decimals, ... */
  uint16_t param_number;   /* 2 */
  uint16_t scale;          /* 4 */
  char db_name[17];        /* 6 */
  char enum_desc[129];     /* 23 */
  char long_name[257];     /* 152 */
  char short_name[17];     /* 409 */
} KelapiClassParamRecord;

/* Trading account (KelapiGetTrdAccount): 32 bytes. */
typedef struct KelapiTrdAccountRecord {
  uint32_t account_number; /* 0: the account's number plus one */
  char code2[13];          /* 4: second code */
  char zero[2];            /* 17 */
  char code[13];           /* 19: trading account code */
} KelapiTrdAccountRecord;

/* Trading account with its description (KelapiGetTrdAccountEx): 1056 bytes. */
typedef struct KelapiTrdAccountRecordEx {
  uint32_t account_number; /* 0: the account's number plus one */
  char description[1024];  /* 4: "|"-separated items */
  char code2[13];          /* 1028: second code */
  char zero[2];            /* 1041 */
  char code[13];           /* 1043: trading account code */
} KelapiTrdAccountRecordEx;

/* Two-factor authentication: the PIN rules handed to the new-PIN callback
 * (48 bytes), and the three callbacks; each returns non-zero when it filled
 * the answer. */
typedef struct KelapiPinRule {
  uint32_t mode;
  uint32_t min_length;
  uint32_t max_length;
  uint32_t letters_allowed;
  char system_pin[32];
} KelapiPinRule;
typedef int (*KelapiNewPinCallback)(const KelapiPinRule* rule, char* answer, uint32_t size);
typedef int (*KelapiTokenCallback)(char* answer, uint32_t size);
typedef int (*KelapiNextTokenCallback)(char* answer, uint32_t size);

/* One current value (KelapiGetDataEx, KELAPI_EVENT_NEWDATAEX): 32 bytes,
 * zero-filled. The value is already divided by ten to its scale. */
typedef struct KelapiValueRecord {
  double value;            /* 0 */
  char db_name[17];        /* 8: the parameter's database name */
  char reserved[7];        /* 25: zero */
} KelapiValueRecord;

/* Passed with KELAPI_EVENT_NEWDATAEX (wparam). 64-bit layout: the pointer
 * takes 8 bytes, so the record is 32 bytes (offsets below). The value array
 * and the header belong to the library and are valid during the call only. */
typedef struct KelapiDataEvent {
  const KelapiValueRecord* values; /* 0 */
  uint32_t count;                  /* 8: number of value records (at most 64) */
  uint32_t entry;                  /* 12: the entry number plus 1 */
  uint32_t time;                   /* 16: the server's time word */
  uint32_t class_number;           /* 20 */
  uint32_t security_number;        /* 24 */
} KelapiDataEvent;

/* One level of a price list (KelapiGetPriceEx): 32 bytes. */
typedef struct KelapiPriceRecord {
  double positive_value;    /* 0 */
  double price;             /* 8 */
  double negative_value;    /* 16 */
  int32_t positive_volume;  /* 24 */
  int32_t negative_volume;  /* 28 */
} KelapiPriceRecord;

/* One quote (KelapiGetQuoteEx): 136 bytes, zero-filled. */
typedef struct KelapiQuoteRecord {
  double price5;            /* 0 */
  double price8;            /* 8 */
  uint32_t value1[2];       /* 16: low word, high word */
  double price9;            /* 24 */
  double amount10;          /* 32 */
  double amount12;          /* 40 */
  double amount15;          /* 48 */
  double price13;           /* 56 */
  double price17;           /* 64 */
  uint32_t flags;           /* 72 */
  uint32_t word2;           /* 76 */
  uint32_t word6;           /* 80 */
  uint32_t record_number;   /* 84: the quote number plus 1 */
  uint32_t class_number;    /* 88 */
  uint32_t security_number; /* 92 */
  uint32_t word16;          /* 96 */
  uint16_t word11;          /* 100 */
  uint16_t word14;          /* 102 */
  char text4[13];           /* 104 */
  char text7[4];            /* 117 */
  char text3[13];           /* 121 */
  char reserved[2];         /* 134 */
} KelapiQuoteRecord;

/* One level of an order book (KelapiGetQuotesPriceEx): 56 bytes. */
typedef struct KelapiQuotesPriceRecord {
  double price;             /* 0 */
  double second_price;      /* 8 */
  double value;             /* 16 */
  uint32_t flags;           /* 24: 4 or 0 */
  int32_t quantity;         /* 28 */
  char text1[13];           /* 32 */
  char reserved1[7];        /* 45 */
  char text2[4];            /* 52: the first three characters of the level's second text */
} KelapiQuotesPriceRecord;

/* One order (KelapiGetOrderEx5: the first 248 bytes; KelapiGetOrderEx6:
 * all 264), zero-filled. Amounts and the value are in currency units. */
typedef struct KelapiOrderRecord {
  double amount1;           /* 0 */
  double order_number;      /* 8 */
  double price;             /* 16: in the security's decimals */
  double value;             /* 24 */
  double amount2;           /* 32 */
  double second_price;      /* 40 */
  int32_t balance;          /* 48: quantity not yet filled */
  uint32_t flags;           /* 52: 1 active, 2 cancelled, 4 sell; neither 1 nor 2: filled */
  int32_t time;             /* 56: HHMMSS */
  int32_t quantity;         /* 60 */
  uint32_t row_number;      /* 64: the number of KELAPI_EVENT_NEWORDER */
  int32_t word1;            /* 68 */
  uint32_t class_number;    /* 72 */
  uint32_t security_number; /* 76 */
  int32_t word2;            /* 80 */
  int32_t word3;            /* 84 */
  int32_t trade_date;       /* 88 */
  char account[13];         /* 92 */
  char comment[21];         /* 105 */
  char text3[13];           /* 126 */
  char text1[13];           /* 139 */
  char text2[13];           /* 152 */
  char text4[13];           /* 165 */
  char long_text[65];       /* 178 */
  char reserved[1];         /* 243 */
  int32_t word4;            /* 244: 264-byte record only */
  int64_t value8;           /* 248: 264-byte record only */
  int32_t word5;            /* 256: 264-byte record only */
  char reserved2[4];        /* 260 */
} KelapiOrderRecord;

/* One trade (KelapiGetTradeEx6: the first 344 bytes; KelapiGetTradeEx7:
 * all 392), zero-filled. Amounts, the value and fees in currency units. */
typedef struct KelapiTradeRecord {
  double amount1;           /* 0 */
  double amount3;           /* 8 */
  double price5;            /* 16 */
  double order_number;      /* 24 */
  double price;             /* 32: in the security's decimals */
  double price2;            /* 40 */
  double price3;            /* 48 */
  double amount4;           /* 56 */
  double amount5;           /* 64 */
  double price4;            /* 72 */
  double trade_number;      /* 80 */
  double total_fee;         /* 88: the three fees together */
  double price6;            /* 96 */
  double value;             /* 104 */
  double amount2;           /* 112 */
  int32_t sell;             /* 120: 1 sell, 0 buy */
  int32_t flag0;            /* 124: flag bit 0 as 0 or 1 */
  int32_t quantity;         /* 128 */
  uint32_t row_number;      /* 132: the number of KELAPI_EVENT_NEWTRADE */
  int32_t time;             /* 136: HHMMSS */
  int16_t short2;           /* 140: -1 when the server's form lacks it */
  int16_t short1;           /* 142 */
  uint32_t class_number;    /* 144 */
  uint32_t security_number; /* 148 */
  double fee1;              /* 152 */
  double fee2;              /* 160 */
  double fee3;              /* 168 */
  char account[13];         /* 176 */
  char comment[21];         /* 189 */
  char text5[13];           /* 210 */
  char text4[13];           /* 223 */
  char text1[13];           /* 236 */
  char text3[13];           /* 249 */
  char text2[13];           /* 262 */
  char text[65];            /* 275 */
  int32_t word1;            /* 340: 392-byte record only */
  char short_code1[5];      /* 344: 392-byte record only */
  char short_code2[5];      /* 349: 392-byte record only */
  char short_text[33];      /* 354: 392-byte record only */
  char reserved[5];         /* 387 */
} KelapiTradeRecord;

/* One stop order (KelapiGetStopOrderEx3: the first 200 bytes;
 * KelapiGetStopOrderEx4: all 224), zero-filled. */
typedef struct KelapiStopOrderRecord {
  double stop_price;                   /* 0: in the condition security's decimals */
  double placed_order;                 /* 8: the order the stop order placed */
  double price;                        /* 16 */
  double stop_order_number;            /* 24 */
  int64_t value8;                      /* 32 */
  double linked_order;                 /* 40 */
  double linked_price;                 /* 48 */
  double offset;                       /* 56: percent (option 8) or price */
  double spread;                       /* 64: percent (option 16) or price */
  uint32_t flags;                      /* 72: 1 active, 2 cancelled, 4 sell */
  int32_t quantity;                    /* 76 */
  uint32_t row_number;                 /* 80: the number of KELAPI_EVENT_NEWSTOPORDER */
  int32_t time;                        /* 84 */
  uint32_t class_number;               /* 88 */
  uint32_t security_number;            /* 92 */
  int32_t balance;                     /* 96 */
  int32_t short1;                      /* 100 */
  int32_t expiry_date;                 /* 104: 0 good till cancelled */
  int32_t filled;                      /* 108 */
  uint32_t options;                    /* 112 */
  int32_t word2;                       /* 116 */
  int32_t kind;                        /* 120: 1, 2, 3, 6, 7 or 8 */
  int32_t word1;                       /* 124 */
  int32_t word3;                       /* 128 */
  uint32_t condition_class_number;     /* 132 */
  uint32_t condition_security_number;  /* 136 */
  char account[13];                    /* 140 */
  char comment[21];                    /* 153 */
  char text3[13];                      /* 174 */
  char text2[13];                      /* 187 */
  double second_stop_price;            /* 200: 224-byte record only */
  int32_t word4;                       /* 208: 224-byte record only */
  int32_t word5;                       /* 212: 224-byte record only */
  int32_t word6;                       /* 216: 224-byte record only */
  char reserved[4];                    /* 220 */
} KelapiStopOrderRecord;

/* A trader (KelapiGetTraderEx, KELAPI_EVENT_NEWTRADER wparam): 216 bytes.
 * The event's lparam points to two words: change (0 added or changed,
 * 1 removed) and the trader id. */
typedef struct KelapiTraderRecord {
  uint32_t on_line;         /* 0 */
  uint32_t trader_id;       /* 4 */
  char code[13];            /* 8 */
  char text1[65];           /* 21 */
  char name[129];           /* 86 */
  char reserved[1];         /* 215 */
} KelapiTraderRecord;

/* A trader message (KelapiGetTraderMsgEx, KELAPI_EVENT_NEWTRADERMSG wparam):
 * 488 bytes; lparam of the event is the message id. */
typedef struct KelapiTraderMsgRecord {
  uint32_t sent_by_user;    /* 0: 1 when this user sent it */
  uint32_t received_date;   /* 4: YYYYMMDD */
  uint32_t received_time;   /* 8: HHMMSS */
  uint32_t flags;           /* 12 */
  uint32_t message_id;      /* 16 */
  uint32_t sent_date;       /* 20 */
  uint32_t sent_time;       /* 24 */
  uint32_t sender;          /* 28 */
  uint32_t recipient;       /* 32 */
  char text3[65];           /* 36 */
  char text[257];           /* 101 */
  char text2[129];          /* 358 */
  char reserved[1];         /* 487 */
} KelapiTraderMsgRecord;

/* The same with the whole text (KelapiGetTraderMsgEx2,
 * KELAPI_EVENT_NEWTRADERMSGEX with init flag 0x400): 1136 bytes. */
typedef struct KelapiTraderMsgRecordEx {
  uint32_t sent_by_user;
  uint32_t received_date;
  uint32_t received_time;
  uint32_t flags;
  uint32_t message_id;
  uint32_t sent_date;
  uint32_t sent_time;
  uint32_t sender;
  uint32_t recipient;
  char text3[65];           /* 36 */
  char text[901];           /* 101 */
  char text2[129];          /* 1002 */
  char reserved[5];         /* 1131 */
} KelapiTraderMsgRecordEx;

/* Passed with KELAPI_EVENT_SERVERMESSAGE (lparam; wparam is 0): 16 bytes on 64-bit. */
typedef struct KelapiServerMessage {
  uint32_t code;            /* 0 */
  uint32_t length;          /* 4 */
  const uint8_t* data;      /* 8 */
} KelapiServerMessage;

/* Passed with KELAPI_EVENT_DATABLOCK (lparam; wparam is 0): 72 bytes on 64-bit. */
typedef struct KelapiDataBlock {
  uint32_t first_word;      /* 0: the request word (0x8090 blocks) or the block id */
  uint32_t second_word;     /* 4: the block id (0x8090 blocks) or 0 */
  uint32_t zero;            /* 8 */
  uint32_t name_length;     /* 12 */
  char name[39];            /* 16: not NUL-terminated when 39 bytes long */
  char reserved[1];         /* 55 */
  uint32_t data_length;     /* 56 */
  const uint8_t* data;      /* 64 */
} KelapiDataBlock;

/* Lifecycle. */
KelapiResult KelapiInitialize(int fresh_start);
KelapiResult KelapiInitializeEx(int fresh_start, const char* work_dir);
KelapiResult KelapiInitializeEx2(int fresh_start, const char* work_dir,
                                 const char* ini_path);
KelapiResult KelapiInitializeEx3(int fresh_start, const char* work_dir,
                                 const char* ini_path, uint32_t flags);
KelapiResult KelapiUninitialize(void);
/* Writes the build stamp "date time"; the buffer holds at least 64 bytes. */
KelapiResult KelapiGetVersion(char* buffer);
/* Writes the code's text; the buffer holds at least 64 bytes. */
KelapiResult KelapiGetErrorDesc(char* buffer, KelapiResult code);
KelapiResult KelapiSetEventCallback(KelapiEventCallback callback);
KelapiResult KelapiSetTwoFactorAuthCallback(KelapiNewPinCallback new_pin,
                                            KelapiTokenCallback token,
                                            KelapiNextTokenCallback next_token);
KelapiResult KelapiSetTransSignMode(uint32_t mode, const char* parameter);
KelapiResult KelapiSetLanguage(int language, int sub_language);
KelapiResult KelapiSetApplicationMode(const uint32_t* mode);
KelapiResult KelapiFree(void* buffer);
size_t KelapiGetAllocMemSize(void);

/* Connection. The error buffer holds at least 256 bytes. */
KelapiResult KelapiConnect(const char* user, const char* password, char* error);
KelapiResult KelapiDisconnect(void);

/* Classes, securities and parameters. */
KelapiResult KelapiBookClasses(void);
KelapiResult KelapiGetClassEx3(uint32_t class_number, KelapiClassRecord* record,
                               uint32_t size);
KelapiResult KelapiGetClassEx4(uint32_t class_number,
                               KelapiClassRecordEx4* record, uint32_t size);
/* Fill one record per security of the class that the server confirmed, at
 * most as many as the class record last read for this class counted. */
KelapiResult KelapiGetClassSecuritiesEx3(uint32_t class_number,
                                         KelapiSecurityRecord* records,
                                         uint32_t size);
KelapiResult KelapiGetClassSecuritiesEx4(uint32_t class_number,
                                         KelapiSecurityRecordEx4* records,
                                         uint32_t size);
/* Fills one record per parameter of the class, at most as many as the class
 * record last read for this class counted. */
KelapiResult KelapiGetClassParamsEx(uint32_t class_number,
                                    KelapiClassParamRecord* records);
KelapiResult KelapiSetClassFilterEx(uint32_t class_number, uint32_t param_count,
                                    const int16_t* params,
                                    uint32_t security_count,
                                    const uint32_t* securities);

/* Current values. `entry` is the number that KELAPI_EVENT_NEWDATA carries
 * in lparam (and KelapiDataEvent in `entry`): the entry number plus 1.
 * `values` holds 64 records; one is written per stored parameter. */
KelapiResult KelapiGetDataEx(uint32_t entry, uint32_t* class_number, uint32_t* security_number,
                             uint32_t* time, KelapiValueRecord* values);

/* Price lists: changes arrive as KELAPI_EVENT_NEWPRICE (class number,
 * security number). KelapiGetPriceEx hands out a copy (KelapiFree). */
KelapiResult KelapiBookPriceEx(uint32_t class_number, uint32_t security_number);
KelapiResult KelapiUnbookPriceEx(uint32_t class_number, uint32_t security_number);
KelapiResult KelapiGetPriceEx(uint32_t class_number, uint32_t security_number, uint16_t* count,
                              KelapiPriceRecord** records);

/* Quotes (KELAPI_EVENT_NEWQUOTE, lparam the record number) and order books
 * (KELAPI_EVENT_NEWQUOTESPRICE, class number and security number). */
KelapiResult KelapiBookQuotes(void);
KelapiResult KelapiGetQuoteEx(uint32_t record_number, KelapiQuoteRecord* record, uint32_t size);
KelapiResult KelapiBookQuotesPriceEx(uint32_t class_number, uint32_t security_number);
KelapiResult KelapiUnbookQuotesPriceEx(uint32_t class_number, uint32_t security_number);
KelapiResult KelapiGetQuotesPriceEx(uint32_t class_number, uint32_t security_number, uint16_t* count,
                                    KelapiQuotesPriceRecord** records);

/* Orders (KELAPI_EVENT_NEWORDER, lparam the row number). */
KelapiResult KelapiBookOrders(void);
KelapiResult KelapiGetOrderEx5(uint32_t number, KelapiOrderRecord* record, uint32_t size);
KelapiResult KelapiGetOrderEx6(uint32_t number, KelapiOrderRecord* record, uint32_t size);

/* Trades (KELAPI_EVENT_NEWTRADE, lparam the row number). */
KelapiResult KelapiBookTrades(void);
KelapiResult KelapiGetTradeEx6(uint32_t number, KelapiTradeRecord* record, uint32_t size);
KelapiResult KelapiGetTradeEx7(uint32_t number, KelapiTradeRecord* record, uint32_t size);

/* Stop orders (KELAPI_EVENT_NEWSTOPORDER, lparam the row number). */
KelapiResult KelapiBookStopOrders(void);
KelapiResult KelapiGetStopOrderEx3(uint32_t number, KelapiStopOrderRecord* record, uint32_t size);
KelapiResult KelapiGetStopOrderEx4(uint32_t number, KelapiStopOrderRecord* record, uint32_t size);

/* Trading accounts (KELAPI_EVENT_NEWTRDACCOUNT, lparam the account number
 * plus one). */
KelapiResult KelapiBookTrdAccounts(void);
KelapiResult KelapiGetTrdAccount(uint32_t number, KelapiTrdAccountRecord* record);
KelapiResult KelapiGetTrdAccountEx(uint32_t number, KelapiTrdAccountRecordEx* record, uint32_t size);

/* Traders and trader messages. */
KelapiResult KelapiBookTraders(void);
KelapiResult KelapiGetTraderEx(uint32_t trader_id, KelapiTraderRecord* record, uint32_t size);
KelapiResult KelapiGetTraderMsgEx(uint32_t message_id, KelapiTraderMsgRecord* record, uint32_t size);
KelapiResult KelapiGetTraderMsgEx2(uint32_t message_id, KelapiTraderMsgRecordEx* record, uint32_t size);
KelapiResult KelapiSendTraderMsgEx(uint32_t recipient, uint32_t flag1, uint32_t flag2, const char* text);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(KelapiStartInfo) == 240);
static_assert(offsetof(KelapiStartInfo, session_text) == 73);
static_assert(offsetof(KelapiStartInfo, trading_session) == 138);
static_assert(offsetof(KelapiStartInfo, session_text1) == 175);
static_assert(sizeof(KelapiTransReply) == 272 && offsetof(KelapiTransReply, text) == 15);
static_assert(sizeof(KelapiClassRecord) == 184 && offsetof(KelapiClassRecord, code) == 26);
static_assert(offsetof(KelapiClassRecord, name) == 39 && offsetof(KelapiClassRecord, code2) == 168);
static_assert(sizeof(KelapiClassRecordEx4) == 1216 && offsetof(KelapiClassRecordEx4, text1) == 181);
static_assert(offsetof(KelapiClassRecordEx4, text4) == 952);
static_assert(sizeof(KelapiSecurityRecord) == 144 && offsetof(KelapiSecurityRecord, security_number) == 32);
static_assert(offsetof(KelapiSecurityRecord, text4ch) == 36 && offsetof(KelapiSecurityRecord, name) == 41);
static_assert(offsetof(KelapiSecurityRecord, short_name) == 98 && offsetof(KelapiSecurityRecord, code) == 115);
static_assert(offsetof(KelapiSecurityRecord, text3) == 128);
static_assert(sizeof(KelapiSecurityRecordEx4) == 168 && offsetof(KelapiSecurityRecordEx4, text4) == 141);
static_assert(sizeof(KelapiClassParamRecord) == 426 && offsetof(KelapiClassParamRecord, enum_desc) == 23);
static_assert(offsetof(KelapiClassParamRecord, long_name) == 152);
static_assert(offsetof(KelapiClassParamRecord, short_name) == 409);
static_assert(sizeof(KelapiTrdAccountRecord) == 32 && offsetof(KelapiTrdAccountRecord, code) == 19);
static_assert(sizeof(KelapiTrdAccountRecordEx) == 1056 && offsetof(KelapiTrdAccountRecordEx, code) == 1043);
static_assert(sizeof(KelapiPinRule) == 48);
static_assert(sizeof(KelapiValueRecord) == 32 && offsetof(KelapiValueRecord, db_name) == 8);
static_assert(sizeof(KelapiDataEvent) == (sizeof(void*) == 8 ? 32 : 24));
static_assert(offsetof(KelapiDataEvent, count) == sizeof(void*));
static_assert(sizeof(KelapiPriceRecord) == 32 && offsetof(KelapiPriceRecord, negative_volume) == 28);
static_assert(sizeof(KelapiQuoteRecord) == 136 && offsetof(KelapiQuoteRecord, record_number) == 84);
static_assert(offsetof(KelapiQuoteRecord, word11) == 100 && offsetof(KelapiQuoteRecord, text4) == 104);
static_assert(offsetof(KelapiQuoteRecord, text7) == 117 && offsetof(KelapiQuoteRecord, text3) == 121);
static_assert(sizeof(KelapiQuotesPriceRecord) == 56 && offsetof(KelapiQuotesPriceRecord, text1) == 32);
static_assert(offsetof(KelapiQuotesPriceRecord, text2) == 52);
static_assert(sizeof(KelapiOrderRecord) == 264 && offsetof(KelapiOrderRecord, account) == 92);
static_assert(offsetof(KelapiOrderRecord, long_text) == 178 && offsetof(KelapiOrderRecord, word4) == 244);
static_assert(offsetof(KelapiOrderRecord, value8) == 248 && offsetof(KelapiOrderRecord, word5) == 256);
static_assert(sizeof(KelapiTradeRecord) == 392 && offsetof(KelapiTradeRecord, fee1) == 152);
static_assert(offsetof(KelapiTradeRecord, account) == 176 && offsetof(KelapiTradeRecord, text) == 275);
static_assert(offsetof(KelapiTradeRecord, word1) == 340 && offsetof(KelapiTradeRecord, short_text) == 354);
static_assert(sizeof(KelapiStopOrderRecord) == 224 && offsetof(KelapiStopOrderRecord, account) == 140);
static_assert(offsetof(KelapiStopOrderRecord, text2) == 187 && offsetof(KelapiStopOrderRecord, second_stop_price) == 200);
static_assert(sizeof(KelapiTraderRecord) == 216 && offsetof(KelapiTraderRecord, name) == 86);
static_assert(sizeof(KelapiTraderMsgRecord) == 488 && offsetof(KelapiTraderMsgRecord, text2) == 358);
static_assert(sizeof(KelapiTraderMsgRecordEx) == 1136 && offsetof(KelapiTraderMsgRecordEx, text2) == 1002);
static_assert(offsetof(KelapiDataBlock, name) == 16 && offsetof(KelapiDataBlock, data_length) == 56);
#endif

/* The further tables, each in a header of its own. */
#include "keldaapi/keldaapi_transactions.h"
#include "keldaapi/keldaapi_limits.h"
#include "keldaapi/keldaapi_accounts.h"
#include "keldaapi/keldaapi_news.h"
#include "keldaapi/keldaapi_negotiated.h"
#include "keldaapi/keldaapi_feeds.h"

#endif /* KELDAAPI_KELDAAPI_H */
