// Layouts of orders, trades, stop orders, trade accounts and negotiated
// deals, trades and reports. Older forms of negotiated deals, trades and
// reports whose field order is not known are registered with no fields: they
// are recognised, decode to nothing and are dropped.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

#define TEXT(n) array(n), kChar

MessageLayout layout_empty[] = {0, kEnd};
MessageLayout layout_word32[] = {0, kI32, kEnd};
// No fields: an older form whose field order is not known.
MessageLayout layout_unknown_form[] = {0, kEnd};

// Orders. Common head: sequence, number, time, flags, comment, texts 2 and 1,
// account.
#define ORDER_HEAD kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13)
MessageLayout layout_807B[] = {0, ORDER_HEAD, kI32, kI32, kI32, kI32, kI64, kI64, kI32, kI32,
    TEXT(13), kI32, TEXT(13), kI32, kI32, kI32, TEXT(65), kI32, kI64, kI32, kEnd};
MessageLayout layout_807A[] = {0, ORDER_HEAD, kI32, kI32, kI32, kI32, kI64, kI32, TEXT(13), kI32,
    kI32, kI32, TEXT(65), kI32, kI64, kI32, kEnd};
MessageLayout layout_805B[] = {0, ORDER_HEAD, kI32, kI32, kI32, kI32, kI64, kI64, kI32, kI32,
    TEXT(13), kI32, TEXT(13), kI32, kI32, kI32, TEXT(65), kEnd};
MessageLayout layout_805A[] = {0, ORDER_HEAD, kI32, kI32, kI32, kI32, kI64, kI32, TEXT(13), kI32,
    kI32, kI32, TEXT(65), kEnd};
MessageLayout layout_800F[] = {0, ORDER_HEAD, kI16, kI32, kI32, kI32, kI64, kI64, kI32, kI32,
    TEXT(13), kI32, TEXT(13), kI16, kI32, kEnd};
MessageLayout layout_800E[] = {0, ORDER_HEAD, kI16, kI32, kI32, kI32, kI64, kI32, TEXT(13), kI16,
    kI32, kEnd};
MessageLayout layout_00F6[] = {0, ORDER_HEAD, kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32,
    kI32, kI32, TEXT(13), kI32, TEXT(13), kI16, kEnd};
MessageLayout layout_00F4[] = {0, ORDER_HEAD, kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32,
    kI32, kI32, TEXT(13), kI16, kEnd};
#undef ORDER_HEAD

// Trades. Common head: sequence, number, order number, time; then, in the
// forms that carry it, the side word; then comment, texts 2 and 1, account.
// TRADE_TEXTS3 is the rest of the head up to text code 5 in the forms with
// text code 3 of 3 characters and no amounts.
#define TRADE_HEAD kI32, kI64, kI64, kI32
#define TRADE_NAMES TEXT(21), TEXT(13), TEXT(13), TEXT(13)
#define TRADE_PRICES_AMOUNTS kI32, kI32, kI32, kI64, kI64, kI32, TEXT(13), TEXT(13), kI32, kI32, kI32, TEXT(13)
#define TRADE_SHORT_PRICES kI16, kI32, kI32, kI32, kI16
#define TRADE_NO_AMOUNTS kI32, kI32, kI64, TEXT(4), TEXT(13), kI32, kI32, kI32, TEXT(13)
#define TRADE_FEES kI64, kI64, kI64
#define TRADE_COUNTED_TAIL kI32, TEXT(5), TEXT(5), counted(68), kByte, counted(36), kByte
MessageLayout layout_806F[] = {0, TRADE_HEAD, TRADE_NAMES, TRADE_PRICES_AMOUNTS, kI64, kI64, kI64,
    TRADE_SHORT_PRICES, TRADE_FEES, TRADE_COUNTED_TAIL, kEnd};
MessageLayout layout_806E[] = {0, TRADE_HEAD, TRADE_NAMES, kI32, TRADE_NO_AMOUNTS, TRADE_FEES,
    TRADE_COUNTED_TAIL, kEnd};
MessageLayout layout_806B[] = {0, TRADE_HEAD, kI16, TRADE_NAMES, TRADE_PRICES_AMOUNTS, kI64, kI64, kI64,
    TRADE_SHORT_PRICES, TRADE_FEES, TEXT(65), kEnd};
MessageLayout layout_806A[] = {0, TRADE_HEAD, TRADE_NAMES, kI32, TRADE_NO_AMOUNTS, TRADE_FEES, TEXT(65),
    kEnd};
MessageLayout layout_8027[] = {0, TRADE_HEAD, kI16, TRADE_NAMES, TRADE_PRICES_AMOUNTS, kI64, kI64, kI64,
    TRADE_SHORT_PRICES, TRADE_FEES, kEnd};
MessageLayout layout_8026[] = {0, TRADE_HEAD, TRADE_NAMES, kI32, TRADE_NO_AMOUNTS, TRADE_FEES, kEnd};
MessageLayout layout_00DF[] = {0, TRADE_HEAD, kI16, TRADE_NAMES, kI16, kI32, kI32, kI64, kI64, kI32,
    TEXT(13), TEXT(13), kI32, kI32, kI32, TEXT(13), array(4), kI64, TRADE_SHORT_PRICES, kEnd};
MessageLayout layout_800D[] = {0, TRADE_HEAD, TRADE_NAMES, kI16, TRADE_NO_AMOUNTS, kI64, kEnd};
MessageLayout layout_00CA[] = {0, TRADE_HEAD, kI16, TRADE_NAMES, kI16, kI32, kI32, kI64, kI64, kI32,
    TEXT(4), TEXT(13), kI32, kI32, kI32, TEXT(13), kI64, TRADE_SHORT_PRICES, kEnd};
#undef TRADE_HEAD
#undef TRADE_NAMES
#undef TRADE_PRICES_AMOUNTS
#undef TRADE_SHORT_PRICES
#undef TRADE_NO_AMOUNTS
#undef TRADE_FEES
#undef TRADE_COUNTED_TAIL

// Stop orders. Common head: sequence, number, time, flags, comment, text 2,
// account.
#define STOP_HEAD kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13)
MessageLayout layout_808F[] = {0, STOP_HEAD, kI32, kI16, kI32, kI32, kI32, kI64, kI32, kI32,
    TEXT(13), kI32, kI64, kI32, kI16, kI32, kI64, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kI32,
    kI32, kI32, kEnd};
MessageLayout layout_8059[] = {0, STOP_HEAD, kI32, kI16, kI32, kI32, kI32, kI64, kI32, kI32,
    TEXT(13), kI32, kI64, kI32, kI16, kI32, kI64, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_00F3[] = {0, STOP_HEAD, kI16, kI16, kI32, kI32, kI32, kI64, kI32, kI32,
    TEXT(13), kI16, kI64, kI32, kI16, kI32, kI64, kI32, kI32, kI32, kI32, kI16, kI32, kEnd};
#undef STOP_HEAD

// Trade accounts.
MessageLayout layout_00C8[] = {0, kI32, TEXT(13), TEXT(13), counted(998), kByte, kEnd};

// Negotiated deals, trades and reports. The older forms 0x805D, 0x8058 and
// 0x805E are the newest ones up to a member: price 7, word 5 and short word 2.
#define NEG_DEAL_UP_TO_PRICE7 kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13), TEXT(13), \
    TEXT(13), kI32, kI32, kI32, TEXT(11), TEXT(13), kI32, kI64, kI64, kI32, kI32, kI32, kI32, TEXT(13), kI16, \
    kI64, kI64, kI16, kI32, kI32, kI32, kI16, kI32, kI32, kI32, kI32, kI64, kI32, kI32
#define NEG_TRADE_UP_TO_WORD5 kI32, kI64, kI32, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13), \
    TEXT(13), kI32, kI32, kI32, kI64, TEXT(13), kI64, kI64, kI64, kI64, kI32, kI32, kI32, TEXT(13), kI64, kI32, \
    kI32, kI64, kI64, kI16, kI64, kI64, kI32, kI32, kI32, kI16, kI16, kI16, kI16, kI32, kI32, kI64, kI64, kI64, \
    kI64, kI32
#define NEG_REPORT_UP_TO_SHORT2 kI32, kI64, kI32, kI32, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), \
    TEXT(13), kI32, kI32, kI64, kI32, kI16, kI16
MessageLayout layout_8079[] = {0, NEG_DEAL_UP_TO_PRICE7, kI32, kI32, kI64, kEnd};
MessageLayout layout_805D[] = {0, NEG_DEAL_UP_TO_PRICE7, kEnd};
MessageLayout layout_807F[] = {0, NEG_TRADE_UP_TO_WORD5, kI16, kI16, kI64, kI64, kI32, kI64, kI32, kI16,
    kEnd};
MessageLayout layout_8058[] = {0, NEG_TRADE_UP_TO_WORD5, kEnd};
MessageLayout layout_807E[] = {0, NEG_REPORT_UP_TO_SHORT2, kI64, kEnd};
MessageLayout layout_805E[] = {0, NEG_REPORT_UP_TO_SHORT2, kEnd};
#undef NEG_DEAL_UP_TO_PRICE7
#undef NEG_TRADE_UP_TO_WORD5
#undef NEG_REPORT_UP_TO_SHORT2

#undef TEXT

const MessageLayoutEntry kEntries[] = {
    // Orders.
    {0x001E, layout_word32, 9},
    {0x001F, layout_word32, 9},
    {0x002E, layout_empty, 14},
    {0x807B, layout_807B, 61},
    {0x807A, layout_807A, 61},
    {0x805B, layout_805B, 59},
    {0x805A, layout_805A, 59},
    {0x800F, layout_800F, 56},
    {0x800E, layout_800E, 56},
    {0x00F6, layout_00F6, 53},
    {0x00F4, layout_00F4, 53},
    // Trades.
    {0x001C, layout_word32, 8},
    {0x002D, layout_empty, 14},
    {0x806F, layout_806F, 60},
    {0x806E, layout_806E, 60},
    {0x806B, layout_806B, 59},
    {0x806A, layout_806A, 59},
    {0x8027, layout_8027, 58},
    {0x8026, layout_8026, 58},
    {0x00DF, layout_00DF, 50},
    {0x800D, layout_800D, 56},
    {0x00CA, layout_00CA, 49},
    // Stop orders.
    {0x00A2, layout_word32, 43},
    {0x00A3, layout_word32, 43},
    {0x00A4, layout_empty, 43},
    {0x808F, layout_808F, 64},
    {0x8059, layout_8059, 59},
    {0x00F3, layout_00F3, 53},
    // Trade accounts.
    {0x0042, layout_word32, 19},
    {0x0045, layout_empty, 21},
    {0x00C8, layout_00C8, 48},
    // Negotiated deals, trades and reports; the older forms whose fields are
    // not known are recognised and dropped.
    {0x0040, layout_word32, 19},
    {0x0041, layout_word32, 19},
    {0x0047, layout_empty, 21},
    {0x0082, layout_word32, 34},
    {0x0083, layout_word32, 34},
    {0x0084, layout_empty, 34},
    {0x007E, layout_word32, 34},
    {0x007F, layout_word32, 34},
    {0x0080, layout_empty, 34},
    {0x8079, layout_8079, 61},
    {0x807F, layout_807F, 61},
    {0x807E, layout_807E, 61},
    {0x8078, layout_unknown_form, 61},
    {0x805D, layout_805D, 59},
    {0x805C, layout_unknown_form, 59},
    {0x8011, layout_unknown_form, 56},
    {0x8010, layout_unknown_form, 56},
    {0x00F7, layout_unknown_form, 53},
    {0x00F5, layout_unknown_form, 53},
    {0x8058, layout_8058, 59},
    {0x8057, layout_unknown_form, 59},
    {0x00DE, layout_unknown_form, 50},
    {0x00DD, layout_unknown_form, 50},
    {0x805E, layout_805E, 59},
    {0x8012, layout_unknown_form, 56},
    {0x007D, layout_unknown_form, 34},
};

}  // namespace

std::span<const MessageLayoutEntry> trading_layouts() { return kEntries; }

}  // namespace kelda::kelapi
