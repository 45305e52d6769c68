// Layouts of classes, securities, parameter descriptions, current values,
// price lists, quotes and order books.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

#define TEXT(n) array(n), kChar

MessageLayout layout_empty[] = {0, kEnd};
MessageLayout layout_word16[] = {0, kI16, kEnd};
MessageLayout layout_word32[] = {0, kI32, kEnd};
MessageLayout layout_word32_pair[] = {0, kI32, kI32, kEnd};
MessageLayout layout_mask[] = {0, kI32, kI32, kEnd};

// Classes and securities.
MessageLayout layout_803C[] = {0, kI32, TEXT(13), TEXT(129), kI32, kI32, kI32, kI32, TEXT(13), kI32,
    kI32, kI32, counted(225), kI32, kEnd};
MessageLayout layout_8081[] = {0, kI32, kI32, TEXT(13), TEXT(31), TEXT(17), kI32, kI64, TEXT(5),
    kI16, kI32, kI32, TEXT(13), TEXT(21), kEnd};
MessageLayout layout_803B[] = {0, kI32, kI32, TEXT(13), TEXT(31), TEXT(17), kI32, TEXT(5), kI16,
    kI32, kI32, kI32, kI16, TEXT(13), TEXT(13), TEXT(13), kEnd};
MessageLayout layout_8038[] = {0, kI32, kI16, kI32, counted(225), kI32, kEnd};
MessageLayout layout_00D0[] = {0, kI16, kI16, kI16, counted(450), kI16, kEnd};
MessageLayout layout_8037[] = {0, kI32, TEXT(257), TEXT(257), TEXT(257), TEXT(257), kI32, kEnd};
MessageLayout layout_8051[] = {0, kI32, kI32, kI32, kEnd};

// Parameter descriptions.
MessageLayout layout_0024[] = {0, kI16, kByte, kI16, kI16, TEXT(17), TEXT(17), TEXT(257), TEXT(129),
    kEnd};

// Current values.
MessageLayout layout_805F[] = {0, kI32, kI32, kI32, nested(layout_mask), counted(64), kI32,
    counted(64), kI64, kEnd};
MessageLayout layout_8013[] = {0, kI16, kI32, kI32, nested(layout_mask), counted(64), kI32,
    counted(64), kI64, kEnd};
MessageLayout layout_0007[] = {0, kI16, kI32, kI32, kI32, nested(layout_mask), counted(64), kI32,
    counted(64), kI64, kEnd};
MessageLayout layout_002A[] = {0, kI16, kI32, kEnd};
MessageLayout layout_8047[] = {0, kI32, kI32, kI32, kEnd};

// Price lists.
MessageLayout layout_8052[] = {0, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_0010[] = {0, kI16, kI32, kI32, kI32, kEnd};
MessageLayout layout_8053[] = {0, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_0077[] = {0, kI16, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_8055[] = {0, kI32, kI32, kI32, kEnd};
MessageLayout layout_00D9[] = {0, kI16, kI32, kI32, kEnd};
MessageLayout layout_00DA[] = {0, kI16, kI32, kEnd};
MessageLayout layout_808A[] = {0, kI16, kI16, kI16, counted(240), kI32, kEnd};
MessageLayout layout_808E[] = {0, kI32, kI16, kI16, counted(240), kI32, kEnd};

// Quotes and order books.
MessageLayout layout_804F[] = {0, kI32, kI64, kI32, kI32, TEXT(13), TEXT(13), kI32, kI32, kI32,
    TEXT(4), kI32, kI32, kI64, kI16, kI64, kI32, kI16, kI64, kI32, kI32, kEnd};
MessageLayout layout_00BF[] = {0, kI32, kI64, kI32, kI32, TEXT(13), TEXT(13), kI16, kI32, kI32,
    TEXT(4), kI32, kI32, kEnd};
MessageLayout layout_8050[] = {0, kI32, TEXT(13), kI32, kI32, kI32, TEXT(13), kI32, kI32, kI64,
    kI64, kI16, kI32, kEnd};
MessageLayout layout_00C7[] = {0, kI32, TEXT(13), kI16, kI32, kI32, TEXT(4), kI32, kI32, kEnd};

#undef TEXT

const MessageLayoutEntry kEntries[] = {
    // Classes and securities.
    {0x803C, layout_803C, 59},
    {0x8081, layout_8081, 61},
    {0x803B, layout_803B, 59},
    {0x8038, layout_8038, 59},
    {0x00D0, layout_00D0, 49},
    {0x8037, layout_8037, 59},
    {0x8034, layout_word32_pair, 59},
    {0x8039, layout_word32_pair, 59},
    {0x8045, layout_word32, 59},
    {0x8046, layout_word32, 59},
    {0x8051, layout_8051, 59},
    // Parameter descriptions.
    {0x0024, layout_0024, 12},
    {0x8032, layout_word32_pair, 59},
    // Current values.
    {0x805F, layout_805F, 59},
    {0x8060, layout_805F, 59},
    {0x8061, layout_805F, 59},
    {0x8013, layout_8013, 56},
    {0x8014, layout_8013, 56},
    {0x8015, layout_8013, 56},
    {0x0007, layout_0007, 1},
    {0x8048, layout_word32_pair, 59},
    {0x002A, layout_002A, 13},
    {0x8047, layout_8047, 59},
    // Price lists.
    {0x8052, layout_8052, 59},
    {0x0010, layout_0010, 5},
    {0x8053, layout_8053, 59},
    {0x0077, layout_0077, 30},
    {0x8055, layout_8055, 59},
    {0x00D9, layout_00D9, 49},
    {0x8056, layout_word32_pair, 59},
    {0x00DA, layout_00DA, 49},
    {0x808A, layout_808A, 62},
    {0x808E, layout_808E, 62},
    {0x8094, layout_word32, 64},
    {0x8049, layout_word32, 59},
    {0x804A, layout_word32, 59},
    // Quotes and order books.
    {0x00C0, layout_word32, 47},
    {0x00C1, layout_word32, 47},
    {0x804F, layout_804F, 59},
    {0x00BF, layout_00BF, 47},
    {0x00C2, layout_empty, 47},
    {0x804D, layout_word32, 59},
    {0x00C5, layout_word16, 48},
    {0x8050, layout_8050, 59},
    {0x00C7, layout_00C7, 48},
    {0x804E, layout_word32, 59},
    {0x00C6, layout_word16, 48},
    {0x804B, layout_word32, 59},
    {0x804C, layout_word32, 59},
};

}  // namespace

std::span<const MessageLayoutEntry> market_layouts() { return kEntries; }

}  // namespace kelda::kelapi
