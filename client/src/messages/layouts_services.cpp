// Layouts of transaction kinds and fields, transactions and replies,
// two-factor authentication, the client environment report, and traders and
// trader messages.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

#define TEXT(n) array(n), kChar

MessageLayout layout_empty[] = {0, kEnd};
MessageLayout layout_word16[] = {0, kI16, kEnd};
MessageLayout layout_word32[] = {0, kI32, kEnd};
MessageLayout layout_date_time[] = {0, kI32, kI32, kEnd};
MessageLayout layout_message_times[] = {0, nested(layout_date_time), nested(layout_date_time),
    kEnd};

// Transaction kinds and fields.
MessageLayout layout_8095[] = {0, kI16, TEXT(129), kI16, kI16, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_00D2[] = {0, kI16, TEXT(129), kI16, kI16, kI32, kI32, kEnd};
MessageLayout layout_8096[] = {0, kI16, kI16, TEXT(33), TEXT(129), TEXT(33), kI32, kI16, kI16, kI16,
    TEXT(257), kI32, kI32, kEnd};
MessageLayout layout_003B[] = {0, kI16, kI16, TEXT(33), TEXT(129), TEXT(33), kI32, kI16, kI16, kI16,
    TEXT(257), kEnd};
MessageLayout layout_003A[] = {0, kI16, kI16, kEnd};

// Transactions and replies.
MessageLayout layout_00FA[] = {0, kI32, kI32, kI16, kI16, kI16, kI16, kI16, counted(998), kByte,
    kEnd};
MessageLayout layout_00F2[] = {0, kI32, kI32, kI16, TEXT(257), kI64, kEnd};

// Two-factor authentication.
MessageLayout layout_00FE[] = {0, kI16, kI16, kI16, kI32, counted(32), kByte, kEnd};
MessageLayout layout_00FC[] = {0, counted(128), kByte, kEnd};
MessageLayout layout_00FF[] = {0, counted(32), kByte, kEnd};

// Client environment report.
MessageLayout layout_001A[] = {0, TEXT(33), TEXT(257), kEnd};

// Traders and trader messages.
MessageLayout layout_803E[] = {0, kI32, TEXT(129), TEXT(65), TEXT(13), kEnd};
MessageLayout layout_00ED[] = {0, kI16, TEXT(129), TEXT(65), TEXT(13), kEnd};
MessageLayout layout_8083[] = {0, nested(layout_message_times), kI32, kI32, kI32, TEXT(129),
    TEXT(65), kI16, TEXT(901), kEnd};
MessageLayout layout_8043[] = {0, nested(layout_message_times), kI32, kI32, kI32, TEXT(129),
    TEXT(65), kI16, TEXT(257), kEnd};
MessageLayout layout_006F[] = {0, nested(layout_message_times), kI32, kI16, kI16, TEXT(129),
    TEXT(65), kI16, TEXT(257), kEnd};
MessageLayout layout_8044[] = {0, nested(layout_message_times), kI32, kI32, kI16, kEnd};
MessageLayout layout_0070[] = {0, nested(layout_message_times), kI32, kI16, kI16, kEnd};
MessageLayout layout_8082[] = {0, nested(layout_date_time), kI32, kI32, kI16, TEXT(901), kEnd};

#undef TEXT

const MessageLayoutEntry kEntries[] = {
    // Transaction kinds and fields.
    {0x8095, layout_8095, 64},
    {0x00D2, layout_00D2, 49},
    {0x8096, layout_8096, 64},
    {0x003B, layout_003B, 19},
    {0x0049, layout_word16, 21},
    {0x0044, layout_word16, 21},
    {0x0048, layout_word16, 21},
    {0x00DB, layout_word16, 49},
    {0x003A, layout_003A, 19},
    // Transactions and replies.
    {0x00FA, layout_00FA, 53},
    {0x00F2, layout_00F2, 52},
    // Two-factor authentication.
    {0x00FB, layout_empty, 53},
    {0x00FD, layout_empty, 53},
    {0x00FE, layout_00FE, 53},
    {0x00FC, layout_00FC, 53},
    {0x00FF, layout_00FF, 53},
    // Client environment report.
    {0x001A, layout_001A, 6},
    // Traders and trader messages.
    {0x803E, layout_803E, 59},
    {0x00ED, layout_00ED, 50},
    {0x0030, layout_word16, 16},
    {0x803F, layout_word32, 59},
    {0x0031, layout_word16, 16},
    {0x8040, layout_word32, 59},
    {0x0032, layout_word16, 16},
    {0x8041, layout_word32, 59},
    {0x8083, layout_8083, 61},
    {0x8043, layout_8043, 59},
    {0x006F, layout_006F, 27},
    {0x8044, layout_8044, 59},
    {0x0070, layout_0070, 27},
    {0x8082, layout_8082, 61},
    {0x0071, layout_word32, 27},
};

}  // namespace

std::span<const MessageLayoutEntry> services_layouts() { return kEntries; }

}  // namespace kelda::kelapi
