// Layouts of all trades, the price-bar archive, minute bars, multi-part
// server messages and named data blocks, news and rule files.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

#define TEXT(n) array(n), kChar

MessageLayout layout_empty[] = {0, kEnd};
MessageLayout layout_word16[] = {0, kI16, kEnd};
MessageLayout layout_word32[] = {0, kI32, kEnd};

// All trades.
MessageLayout layout_8025[] = {0, kI32, kI64, kI32, kI32, kI16, kI32, kI32, kI32, kI64, kI64, kI32,
    TEXT(13), kI32, kI64, kI64, kI16, kEnd};
MessageLayout layout_8024[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, kI32, kI64, kI64, kI32,
    TEXT(13), kI32, kI64, kI64, kI16, kEnd};
MessageLayout layout_8023[] = {0, kI32, kI64, kI32, kI32, kI16, kI32, kI32, kI32, kI64, kI64, kI32,
    TEXT(4), kEnd};
MessageLayout layout_8022[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, kI32, kI64, kI64, kI32,
    TEXT(4), kEnd};
MessageLayout layout_8021[] = {0, kI32, kI64, kI32, kI32, kI16, kI32, kI32, kI32, TEXT(4), kEnd};
MessageLayout layout_8020[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, kI32, TEXT(4), kEnd};
MessageLayout layout_00E1[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, kI64, kI64, kI32, TEXT(13),
    kI32, kI64, kI64, kI16, kEnd};
MessageLayout layout_00E0[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, kI64, kI64, kI32, TEXT(4),
    kEnd};
MessageLayout layout_00E9[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, TEXT(4), kEnd};

// Price-bar archive and minute bars.
MessageLayout layout_8031[] = {0, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_802D[] = {0, kI32, kI32, kEnd};
MessageLayout layout_8063[] = {0, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_802B[] = {0, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_00E3[] = {0, kI16, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_8064[] = {0, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_802C[] = {0, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_00E4[] = {0, kI16, kI32, kI32, kI32, kEnd};

// Multi-part server messages and named data blocks.
MessageLayout layout_00EE[] = {0, kI32, kI16, counted(650), kByte, kEnd};
MessageLayout layout_8090[] = {0, kI32, kI32, kI16, counted(650), kByte, counted(39), kByte, kEnd};
MessageLayout layout_8091[] = {0, kI32, kI16, counted(650), kByte, kEnd};
MessageLayout layout_8084[] = {0, kI32, kI16, counted(650), kByte, counted(39), kByte, kEnd};
MessageLayout layout_8085[] = {0, kI32, kI32, counted(39), kByte, kEnd};

// News.
MessageLayout layout_0057[] = {0, kI32, kI32, TEXT(13), TEXT(65), kI32, kI32, kI32, kI32, TEXT(129),
    kEnd};
MessageLayout layout_0058[] = {0, kI32, kI32, counted(500), kByte, kEnd};
MessageLayout layout_news_key[] = {0, kI32, TEXT(13), kI32, kI32, kEnd};
MessageLayout layout_0078[] = {0, kI32, kI32, TEXT(13), kI32, kI32, kEnd};

// Rule files.
MessageLayout layout_00BB[] = {0, kI32, kI16, TEXT(13), counted(64), kByte, counted(650), kByte,
    kEnd};
MessageLayout layout_00BA[] = {0, kI32, TEXT(13), kEnd};

#undef TEXT

const MessageLayoutEntry kEntries[] = {
    // All trades.
    {0x8025, layout_8025, 58},
    {0x8024, layout_8024, 58},
    {0x8023, layout_8023, 58},
    {0x8022, layout_8022, 58},
    {0x8021, layout_8021, 58},
    {0x8020, layout_8020, 58},
    {0x00E1, layout_00E1, 50},
    {0x00E0, layout_00E0, 50},
    {0x00E9, layout_00E9, 50},
    {0x0075, layout_word32, 30},
    {0x0076, layout_empty, 30},
    // Price-bar archive and minute bars.
    {0x8031, layout_8031, 59},
    {0x802D, layout_802D, 59},
    {0x802F, layout_word32, 59},
    {0x802E, layout_word32, 59},
    {0x00E6, layout_word16, 50},
    {0x8030, layout_word32, 59},
    {0x00E8, layout_word16, 50},
    {0x8063, layout_8063, 59},
    {0x802B, layout_802B, 58},
    {0x00E3, layout_00E3, 50},
    {0x8064, layout_8064, 59},
    {0x802C, layout_802C, 58},
    {0x00E4, layout_00E4, 50},
    {0x8093, layout_8063, 64},
    {0x8092, layout_802B, 64},
    // Multi-part server messages and named data blocks.
    {0x00EE, layout_00EE, 50},
    {0x8090, layout_8090, 64},
    {0x8091, layout_8091, 64},
    {0x8084, layout_8084, 61},
    {0x8085, layout_8085, 61},
    // News.
    {0x0057, layout_0057, 23},
    {0x0058, layout_0058, 23},
    {0x005A, layout_news_key, 23},
    {0x0059, layout_news_key, 23},
    {0x0078, layout_0078, 30},
    // Rule files.
    {0x00BB, layout_00BB, 47},
    {0x00BA, layout_00BA, 47},
};

}  // namespace

std::span<const MessageLayoutEntry> feeds_layouts() { return kEntries; }

}  // namespace kelda::kelapi
