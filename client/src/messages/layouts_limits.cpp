// Layouts of money and depository limits and their change requests, firms and
// depository accounts, futures limits and holdings, and account positions.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

MessageLayout layout_empty[] = {0, kEnd};
MessageLayout layout_word32[] = {0, kI32, kEnd};
MessageLayout layout_word32_pair[] = {0, kI32, kI32, kEnd};

#define TEXT(n) array(n), kChar
#define MONEY_CODES TEXT(5), TEXT(5), TEXT(13), TEXT(13)
#define DEPO_CODES TEXT(13), TEXT(13), TEXT(13), TEXT(13)

// Money and depository limits.
MessageLayout layout_00F0[] = {0, kI32, MONEY_CODES, kI64, kI64, kI64, kI64, kI64, kI64, kI32,
    kEnd};
MessageLayout layout_800B[] = {0, kI32, kI64, kI64, kI32, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_0087[] = {0, MONEY_CODES, kEnd};
MessageLayout layout_8072[] = {0, kI32, DEPO_CODES, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64,
    kI64, kEnd};
MessageLayout layout_8073[] = {0, kI32, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_0088[] = {0, DEPO_CODES, kEnd};

// Limit change requests and replies.
MessageLayout layout_8003[] = {0, kI32, MONEY_CODES, kI64, kI64, kI64, kEnd};
MessageLayout layout_8097[] = {0, kI32, MONEY_CODES, kI64, kI32, kI16, kEnd};
MessageLayout layout_8006[] = {0, kI32, MONEY_CODES, kEnd};
MessageLayout layout_009C[] = {0, kI32, MONEY_CODES, kI16, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_8071[] = {0, kI32, DEPO_CODES, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_8007[] = {0, kI32, DEPO_CODES, kEnd};
MessageLayout layout_8075[] = {0, kI32, DEPO_CODES, kI16, kI64, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_8009[] = {0, kI32, kI32, kI32, counted(768), kByte, kEnd};

// Firms and depository accounts.
MessageLayout layout_8089[] = {0, kI32, TEXT(13), TEXT(129), kI16, TEXT(13), kI32, kEnd};
MessageLayout layout_8066[] = {0, kI32, TEXT(13), TEXT(31), kI16, TEXT(13), kI32, kEnd};
MessageLayout layout_0099[] = {0, kI32, TEXT(13), TEXT(31), kI16, TEXT(13), counted(998), kByte,
    kEnd};
MessageLayout layout_8067[] = {0, kI32, kI16, counted(998), kByte, kEnd};
MessageLayout layout_8077[] = {0, kI32, TEXT(13), TEXT(13), kI64, kI64, kI64, kI64, kI64, kI64,
    kEnd};
MessageLayout layout_806D[] = {0, kI32, TEXT(13), TEXT(13), kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_0053[] = {0, kI32, TEXT(13), TEXT(13), kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_8076[] = {0, kI32, DEPO_CODES, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64,
    kEnd};
MessageLayout layout_806C[] = {0, kI32, DEPO_CODES, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_004F[] = {0, kI32, DEPO_CODES, kI32, kI32, kI32, kI32, kEnd};

// Futures limits and holdings.
MessageLayout layout_8068[] = {0, kI32, TEXT(13), TEXT(13), kI16, kI64, kI64, kI64, kI64, kI64,
    kI64, kI64, kI32, kI32, kI64, kI64, kI64, kI64, kI32, kEnd};
MessageLayout layout_0092[] = {0, kI32, TEXT(13), TEXT(13), kI16, kI64, kI64, kI64, kI64, kI64,
    kI64, kI64, kI32, kI32, kEnd};
MessageLayout layout_8069[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), kI16, kI32, kI32, kI32, kI32,
    kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32, kI64, kEnd};
MessageLayout layout_0095[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), kI16, kI32, kI32, kI32, kI32,
    kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI16, kI16, kI32, kEnd};
MessageLayout layout_0098[] = {0, kI32, TEXT(13), kI16, kEnd};
MessageLayout layout_8087[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), kI16, kI64, kI64, kEnd};

// Account positions.
MessageLayout layout_802A[] = {0, kI32, TEXT(13), TEXT(5), TEXT(5), TEXT(31), kEnd};
MessageLayout layout_808B[] = {0, kI32, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64,
    kI64, kEnd};
MessageLayout layout_807D[] = {0, kI32, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kI64, kEnd};
MessageLayout layout_8029[] = {0, kI32, kI64, kI64, kI64, kI64, kI16, kI64, kI16, kI64, kI64, kI64,
    kI64, kI16, kEnd};
MessageLayout layout_004C[] = {0, kI32, TEXT(13), TEXT(5), TEXT(5), TEXT(31), kI64, kI64, kI64,
    kI64, kI16, kI64, kI16, kI64, kI64, kI64, kI64, kI16, kI64, kI64, kEnd};

#undef DEPO_CODES
#undef MONEY_CODES
#undef TEXT

const MessageLayoutEntry kEntries[] = {
    // Money limits.
    {0x00F0, layout_00F0, 52},
    {0x800B, layout_800B, 56},
    {0x0087, layout_0087, 37},
    {0x0060, layout_empty, 25},
    {0x005E, layout_word32, 25},
    // Depository limits.
    {0x8072, layout_8072, 61},
    {0x8073, layout_8073, 61},
    {0x0088, layout_0088, 37},
    {0x0064, layout_empty, 25},
    {0x0062, layout_word32, 25},
    // Limit change requests and replies.
    {0x8003, layout_8003, 55},
    {0x8097, layout_8097, 64},
    {0x8006, layout_8006, 55},
    {0x009C, layout_009C, 42},
    {0x8071, layout_8071, 61},
    {0x8007, layout_8007, 55},
    {0x8075, layout_8075, 61},
    {0x8008, layout_word32, 55},
    {0x8009, layout_8009, 55},
    {0x008E, layout_word32_pair, 38},
    {0x009E, layout_word32_pair, 42},
    // Firms and depository accounts.
    {0x8089, layout_8089, 62},
    {0x8066, layout_8066, 59},
    {0x0099, layout_0099, 41},
    {0x8067, layout_8067, 59},
    {0x009A, layout_word32, 41},
    {0x8077, layout_8077, 61},
    {0x806D, layout_806D, 59},
    {0x0053, layout_0053, 23},
    {0x8076, layout_8076, 61},
    {0x806C, layout_806C, 59},
    {0x004F, layout_004F, 23},
    {0x0054, layout_word32, 23},
    {0x0050, layout_word32, 23},
    {0x00D6, layout_word32, 49},
    {0x009B, layout_empty, 41},
    {0x0056, layout_empty, 23},
    {0x0052, layout_empty, 23},
    // Futures limits and holdings.
    {0x8068, layout_8068, 59},
    {0x0092, layout_0092, 40},
    {0x8069, layout_8069, 59},
    {0x0095, layout_0095, 40},
    {0x0098, layout_0098, 40},
    {0x0094, layout_empty, 40},
    {0x0097, layout_empty, 40},
    {0x0093, layout_word32, 40},
    {0x0096, layout_word32, 40},
    {0x8087, layout_8087, 62},
    // Account positions.
    {0x802A, layout_802A, 58},
    {0x808B, layout_808B, 62},
    {0x807D, layout_807D, 61},
    {0x8029, layout_8029, 58},
    {0x004C, layout_004C, 21},
    {0x0046, layout_empty, 21},
    {0x801B, layout_empty, 58},
    {0x0043, layout_word32, 21},
};

}  // namespace

std::span<const MessageLayoutEntry> limits_layouts() { return kEntries; }

}  // namespace kelda::kelapi
