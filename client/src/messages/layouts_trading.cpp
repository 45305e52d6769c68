// Layouts of orders, trades, stop orders, trade accounts and negotiated
// deals, trades and reports. Older forms of trades and negotiated deals whose
// field order is not known are registered with no fields: they are
// recognised, decode to nothing and are dropped.
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

// Trades.
MessageLayout layout_806F[] = {0, kI32, kI64, kI64, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    kI32, kI32, kI32, kI64, kI64, kI32, TEXT(13), TEXT(13), kI32, kI32, kI32, TEXT(13), kI64, kI64,
    kI64, kI16, kI32, kI32, kI32, kI16, kI64, kI64, kI64, kI32, TEXT(5), TEXT(5), counted(68),
    kByte, counted(36), kByte, kEnd};

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

// Negotiated deals, trades and reports.
MessageLayout layout_8079[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI32, kI32, kI32, TEXT(11), TEXT(13), kI32, kI64, kI64, kI32, kI32, kI32,
    kI32, TEXT(13), kI16, kI64, kI64, kI16, kI32, kI32, kI32, kI16, kI32, kI32, kI32, kI32, kI64,
    kI32, kI32, kI32, kI32, kI64, kEnd};
MessageLayout layout_807F[] = {0, kI32, kI64, kI32, kI32, kI32, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI32, kI32, kI32, kI64, TEXT(13), kI64, kI64, kI64, kI64, kI32, kI32, kI32,
    TEXT(13), kI64, kI32, kI32, kI64, kI64, kI16, kI64, kI64, kI32, kI32, kI32, kI16, kI16, kI16,
    kI16, kI32, kI32, kI64, kI64, kI64, kI64, kI32, kI16, kI16, kI64, kI64, kI32, kI64, kI32, kI16,
    kEnd};
MessageLayout layout_807E[] = {0, kI32, kI64, kI32, kI32, kI32, TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI32, kI32, kI64, kI32, kI16, kI16, kI64, kEnd};

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
    // Trades; the older forms are recognised and dropped.
    {0x001C, layout_word32, 8},
    {0x002D, layout_empty, 14},
    {0x806F, layout_806F, 60},
    {0x806E, layout_unknown_form, 60},
    {0x806B, layout_unknown_form, 59},
    {0x806A, layout_unknown_form, 59},
    {0x8027, layout_unknown_form, 58},
    {0x8026, layout_unknown_form, 58},
    {0x00DF, layout_unknown_form, 50},
    {0x800D, layout_unknown_form, 56},
    {0x00CA, layout_unknown_form, 49},
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
    // Negotiated deals, trades and reports; the older forms are recognised
    // and dropped.
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
    {0x805D, layout_unknown_form, 59},
    {0x805C, layout_unknown_form, 59},
    {0x8011, layout_unknown_form, 56},
    {0x8010, layout_unknown_form, 56},
    {0x00F7, layout_unknown_form, 53},
    {0x00F5, layout_unknown_form, 53},
    {0x8058, layout_unknown_form, 59},
    {0x8057, layout_unknown_form, 59},
    {0x00DE, layout_unknown_form, 50},
    {0x00DD, layout_unknown_form, 50},
    {0x805E, layout_unknown_form, 59},
    {0x8012, layout_unknown_form, 56},
    {0x007D, layout_unknown_form, 34},
};

}  // namespace

std::span<const MessageLayoutEntry> trading_layouts() { return kEntries; }

}  // namespace kelda::kelapi
