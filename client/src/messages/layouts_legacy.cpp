// Layouts of the registered messages that the library neither sends nor
// handles: the older message set and the protocol's control messages. They
// take part in the layout check only, so each stays exactly as the server
// knows it.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

#define TEXT(n) array(n), kChar

// Nested records: a pair of 32-bit words and two such pairs.
MessageLayout layout_pair[] = {0, kI32, kI32, kEnd};
MessageLayout layout_two_pairs[] = {0, nested(layout_pair), nested(layout_pair), kEnd};

MessageLayout layout_0003[] = {0, kI16, kByte, kI16, kI16, TEXT(17), TEXT(17), TEXT(257), kEnd};
MessageLayout layout_0004[] = {0, kI16, kEnd};
MessageLayout layout_0006[] = {0, kI16, kEnd};
MessageLayout layout_0005[] = {0, kI16, TEXT(13), TEXT(31), TEXT(11), kI32, kI64, TEXT(5), kI32,
    kI16, kI16, kI32, kEnd};
MessageLayout layout_0008[] = {0, kI32, kI32, kEnd};
MessageLayout layout_0009[] = {0, kI16, kEnd};
MessageLayout layout_000A[] = {0, kI16, kEnd};
MessageLayout layout_000B[] = {0, kI32, kI32, kEnd};
MessageLayout layout_000C[] = {0, kI32, kI32, kEnd};
MessageLayout layout_000D[] = {0, kI32, kEnd};
MessageLayout layout_000E[] = {0, kI16, kEnd};
MessageLayout layout_000F[] = {0, kI16, kEnd};
MessageLayout layout_0011[] = {0, kI16, kI32, kEnd};
MessageLayout layout_0012[] = {0, kI16, TEXT(300), kI32, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_0013[] = {0, kI16, kI32, TEXT(300), kI32, kEnd};
MessageLayout layout_0014[] = {0, kI16, kI32, kI32, counted(256), kByte, kEnd};
MessageLayout layout_0015[] = {0, kI16, kI32, TEXT(300), kI32, kEnd};
MessageLayout layout_0016[] = {0, kI16, TEXT(300), kI32, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_0017[] = {0, kI16, kI32, TEXT(300), kI32, kEnd};
MessageLayout layout_0018[] = {0, kI16, kI32, TEXT(128), kEnd};
MessageLayout layout_0019[] = {0, kI16, kEnd};
MessageLayout layout_001B[] = {0, kI32, kI64, kI64, kI32, kI16, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), kI16, kI32, kI32, kI64, kI64, kI32, kEnd};
MessageLayout layout_001D[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32, kI32, kEnd};
MessageLayout layout_0023[] = {0, kI16, TEXT(13), TEXT(129), kI32, kI16, kI16, kI32, TEXT(13),
    TEXT(257), TEXT(257), TEXT(257), TEXT(257), kEnd};
MessageLayout layout_0025[] = {0, kI16, kI16, kEnd};
MessageLayout layout_0026[] = {0, kI16, kI16, TEXT(13), TEXT(31), TEXT(17), kI32, kI64, TEXT(5),
    kI16, kI32, kEnd};
MessageLayout layout_0027[] = {0, kI16, kI16, kEnd};
MessageLayout layout_0029[] = {0, kI16, kI32, kI32, kEnd};
MessageLayout layout_002B[] = {0, kI32, kI64, kI64, kI32, kI16, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), kI16, kI32, kI32, kI64, kI64, kI32, TEXT(129), kEnd};
MessageLayout layout_002C[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32, kI32, TEXT(129), kEnd};
MessageLayout layout_002F[] = {0, kI16, TEXT(129), TEXT(65), kEnd};
MessageLayout layout_0033[] = {0, nested(layout_pair), kI16, kI16, kI16, TEXT(257), kEnd};
MessageLayout layout_0034[] = {0, nested(layout_two_pairs), kI16, kI16, kI16, TEXT(129), TEXT(65),
    kI16, TEXT(257), kEnd};
MessageLayout layout_0035[] = {0, nested(layout_two_pairs), kI16, kI16, kI16, kEnd};
MessageLayout layout_0036[] = {0, kI16, kEnd};
MessageLayout layout_0037[] = {0, TEXT(13), nested(layout_pair), counted(64), kI32, counted(64),
    kI64, kEnd};
MessageLayout layout_0038[] = {0, kI32, TEXT(13), TEXT(5), TEXT(5), TEXT(31), kI64, kI64, kI64,
    kI64, kI16, kI64, kI16, kI64, kI64, kI64, kI64, kI16, kEnd};
MessageLayout layout_0039[] = {0, kI16, TEXT(129), kI16, TEXT(2), TEXT(4), kEnd};
MessageLayout layout_003C[] = {0, kI16, kI16, kI16, counted(998), kByte, kEnd};
MessageLayout layout_003D[] = {0, kI16, TEXT(257), kEnd};
MessageLayout layout_003E[] = {0, kI32, TEXT(13), TEXT(13), kEnd};
MessageLayout layout_003F[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, TEXT(11), kEnd};
MessageLayout layout_004B[] = {0, kI32, kEnd};
MessageLayout layout_004D[] = {0, TEXT(2), nested(layout_pair), counted(64), kI32, counted(64),
    kI64, kEnd};
MessageLayout layout_0051[] = {0, kI32, kEnd};
MessageLayout layout_0055[] = {0, kI32, kEnd};
MessageLayout layout_005B[] = {0, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI64, kEnd};
MessageLayout layout_005C[] = {0, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kEnd};
MessageLayout layout_005D[] = {0, kI32, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI64, kI64,
    kI64, kI64, kEnd};
MessageLayout layout_005F[] = {0, kI32, kEnd};
MessageLayout layout_0061[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kI32,
    kI32, kI32, kEnd};
MessageLayout layout_0063[] = {0, kI32, kEnd};
MessageLayout layout_0065[] = {0, kI16, kI16, kI16, counted(998), kByte, counted(500), kByte, kEnd};
MessageLayout layout_0066[] = {0, kI32, TEXT(13), kI16, kI32, counted(500), kByte, kEnd};
MessageLayout layout_0067[] = {0, kI32, kEnd};
MessageLayout layout_0068[] = {0, kI32, kEnd};
MessageLayout layout_0069[] = {0, kEnd};
MessageLayout layout_006A[] = {0, kI32, kI32, kI32, kEnd};
MessageLayout layout_006B[] = {0, kI32, kI32, kI32, kEnd};
MessageLayout layout_006C[] = {0, kI32, kI32, kI32, kEnd};
MessageLayout layout_006D[] = {0, kI32, kI64, kI64, kI32, kI16, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), kI16, kI32, kI32, kI64, kI64, kI32, TEXT(4), kEnd};
MessageLayout layout_006E[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, TEXT(11), TEXT(4), kEnd};
MessageLayout layout_0072[] = {0, kI16, TEXT(13), TEXT(13), kI64, kI16, TEXT(13), kI64, kEnd};
MessageLayout layout_0073[] = {0, kI16, kI32, kEnd};
MessageLayout layout_0074[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, kI64, kI64, kI32, TEXT(2),
    TEXT(4), kEnd};
MessageLayout layout_0079[] = {0, kI16, kI32, kI16, kI16, counted(998), kByte, counted(500), kByte,
    kEnd};
MessageLayout layout_007A[] = {0, kI16, kI16, TEXT(257), kEnd};
MessageLayout layout_007B[] = {0, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI64, kI64, kEnd};
MessageLayout layout_007C[] = {0, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kI64, kEnd};
MessageLayout layout_0081[] = {0, kI32, kI64, kI32, kI32, kI32, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, kI64, TEXT(4), kI64, kI64, kEnd};
MessageLayout layout_0086[] = {0, kI16, TEXT(129), kI16, kI16, kI32, kEnd};
MessageLayout layout_0089[] = {0, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kEnd};
MessageLayout layout_008A[] = {0, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kEnd};
MessageLayout layout_008B[] = {0, kI32, kI32, TEXT(13), kI16, kI32, kI32, counted(500), kByte,
    kEnd};
MessageLayout layout_008C[] = {0, kI32, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI64, kI64,
    kI64, kEnd};
MessageLayout layout_008D[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kI32,
    kI32, kEnd};
MessageLayout layout_008F[] = {0, kI16, kEnd};
MessageLayout layout_009D[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI16, kI32, kI32,
    kI32, kI32, kEnd};
MessageLayout layout_00A0[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32, kI32, kEnd};
MessageLayout layout_009F[] = {0, kI32, kI64, kI64, kI32, kI16, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), kI16, kI32, kI32, kI64, kI64, kI32, TEXT(4), TEXT(13), kEnd};
MessageLayout layout_00A1[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), kI16, kI32,
    kI32, kI32, kI64, kI32, kEnd};
MessageLayout layout_00A6[] = {0, kI32, kI32, TEXT(13), TEXT(5), TEXT(5), TEXT(13), kEnd};
MessageLayout layout_00A7[] = {0, kI32, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kEnd};
MessageLayout layout_00AF[] = {0, TEXT(13), TEXT(33), kI16, counted(650), kByte, kEnd};
MessageLayout layout_00B1[] = {0, TEXT(13), TEXT(33), kI16, counted(650), kByte, kEnd};
MessageLayout layout_00B3[] = {0, TEXT(13), TEXT(33), kI16, counted(650), kByte, kEnd};
MessageLayout layout_00A9[] = {0, TEXT(13), TEXT(33), TEXT(129), kI32, kEnd};
MessageLayout layout_00AA[] = {0, kI16, TEXT(13), TEXT(33), kEnd};
MessageLayout layout_00AB[] = {0, kI16, kEnd};
MessageLayout layout_00AD[] = {0, kI16, kI32, kEnd};
MessageLayout layout_00B5[] = {0, TEXT(13), TEXT(33), TEXT(33), TEXT(33), TEXT(129), kI32, kI32,
    kI32, kEnd};
MessageLayout layout_00B7[] = {0, kI32, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI64, kI64,
    kI64, kI64, kI64, kEnd};
MessageLayout layout_00B8[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kI32,
    kI32, kI32, kI32, kI64, kEnd};
MessageLayout layout_00B9[] = {0, kI32, kI64, kI64, kI32, kI16, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), kI16, kI32, kI32, kI64, kI64, kI32, TEXT(4), TEXT(13), kI32, kI32, kI32, kEnd};
MessageLayout layout_00BD[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, TEXT(11), TEXT(4), kI32, kI64, kI64, kI32, kI32, kI32,
    kEnd};
MessageLayout layout_00BE[] = {0, kI32, kI64, kI32, kI32, kI32, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, kI64, TEXT(4), kI64, kI64, kI64, kI64, kI32, kI32, kI32,
    kEnd};
MessageLayout layout_00C3[] = {0, kI16, kEnd};
MessageLayout layout_00C4[] = {0, kI16, kEnd};
MessageLayout layout_00C9[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32, kI32, kI32, TEXT(13), kEnd};
MessageLayout layout_00CB[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, TEXT(11), TEXT(4), kI32, kI64, kI64, kI32, kI32, kI32,
    kI32, TEXT(13), kEnd};
MessageLayout layout_00CC[] = {0, kI32, kI64, kI32, kI32, kI32, TEXT(21), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, kI64, TEXT(4), kI64, kI64, kI64, kI64, kI32, kI32, kI32,
    TEXT(13), kEnd};
MessageLayout layout_00CD[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), kI16, kI16,
    kI32, kI32, kI32, kI64, kI32, kI32, TEXT(13), kI16, kI64, kI32, kI16, kI32, kI64, kEnd};
MessageLayout layout_00CE[] = {0, kI16, kI32, kI16, TEXT(257), kEnd};
MessageLayout layout_00CF[] = {0, kI16, TEXT(13), TEXT(129), kI32, kI16, kI16, kI32, TEXT(13), kI32,
    kI32, kI32, kEnd};
MessageLayout layout_00D3[] = {0, kI16, kI16, kEnd};
MessageLayout layout_00D4[] = {0, kI16, TEXT(257), TEXT(257), TEXT(257), TEXT(257), kI32, kEnd};
MessageLayout layout_00D1[] = {0, kI16, kI16, kEnd};
MessageLayout layout_00D5[] = {0, kI32, kI64, kI32, kI16, kI32, kI32, TEXT(2), TEXT(4), kEnd};
MessageLayout layout_00D7[] = {0, kI16, kI16, TEXT(13), TEXT(31), TEXT(17), kI32, kI64, TEXT(5),
    kI16, kI32, kI32, kEnd};
MessageLayout layout_00D8[] = {0, kI16, kEnd};
MessageLayout layout_00DC[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    TEXT(13), TEXT(13), kI16, kI32, kI32, TEXT(11), TEXT(13), kI32, kI64, kI64, kI32, kI32, kI32,
    kI32, TEXT(13), kI16, kI64, kI64, kI16, kI32, kI32, kI32, kI16, kEnd};
MessageLayout layout_00E2[] = {0, kI32, kI64, kI32, kI32, TEXT(21), TEXT(13), TEXT(13), TEXT(13),
    kI16, kI32, kI32, kI32, kI32, kI64, kI64, kI64, kI32, kI32, kI32, TEXT(13), kI32, TEXT(13),
    kEnd};
MessageLayout layout_00E5[] = {0, kI16, kI32, kEnd};
MessageLayout layout_00E7[] = {0, kI16, kEnd};
MessageLayout layout_00EA[] = {0, kI32, kI16, kI16, counted(998), kByte, kEnd};
MessageLayout layout_00EB[] = {0, kI32, kI32, kI16, kI16, counted(998), kByte, counted(500), kByte,
    kEnd};
MessageLayout layout_00EC[] = {0, kI32, kI32, kI16, TEXT(257), kEnd};
MessageLayout layout_00EF[] = {0, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI32, kEnd};
MessageLayout layout_00F1[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kI32,
    kI32, kI32, kI32, kI64, kI64, kEnd};
MessageLayout layout_00F8[] = {0, kI16, kI32, kEnd};
MessageLayout layout_8002[] = {0, TEXT(13), TEXT(13), kI32, kI32, kEnd};
MessageLayout layout_8004[] = {0, kI32, TEXT(5), TEXT(5), TEXT(13), TEXT(13), kI64, kI32, kEnd};
MessageLayout layout_8005[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI32, kI32, kI64,
    kEnd};
MessageLayout layout_800A[] = {0, kI16, kI32, kI32, kI32, kEnd};
MessageLayout layout_800C[] = {0, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kI64, kI64, kEnd};
MessageLayout layout_8016[] = {0, counted(256), kI32, kEnd};
MessageLayout layout_8017[] = {0, counted(256), kI32, kEnd};
MessageLayout layout_8018[] = {0, kI16, kI16, TEXT(13), TEXT(31), TEXT(17), kI32, TEXT(5), kI16,
    kI32, kI32, kI32, kI16, TEXT(13), kEnd};
MessageLayout layout_8019[] = {0, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_801C[] = {0, kEnd};
MessageLayout layout_801D[] = {0, kEnd};
MessageLayout layout_801E[] = {0, kEnd};
MessageLayout layout_8028[] = {0, kI16, TEXT(13), TEXT(129), kI32, kI16, kI16, kI32, TEXT(13), kI32,
    kI32, kI32, counted(225), kI32, kEnd};
MessageLayout layout_8033[] = {0, kI32, kI32, TEXT(13), TEXT(31), TEXT(17), kI32, kI64, TEXT(5),
    kI16, kI32, kI32, TEXT(13), kEnd};
MessageLayout layout_8062[] = {0, kI32, kI32, kEnd};
MessageLayout layout_8035[] = {0, kI32, kEnd};
MessageLayout layout_8036[] = {0, kI32, kI16, kI16, TEXT(65), kEnd};
MessageLayout layout_803A[] = {0, kI32, kI32, kEnd};
MessageLayout layout_8042[] = {0, nested(layout_pair), kI32, kI32, kI16, TEXT(257), kEnd};
MessageLayout layout_8054[] = {0, TEXT(4), nested(layout_pair), counted(64), kI32, counted(64),
    kI64, kEnd};
MessageLayout layout_8070[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI64, kI64, kI64,
    kEnd};
MessageLayout layout_8074[] = {0, kI32, TEXT(13), TEXT(13), TEXT(13), TEXT(13), kI64, kI64, kI64,
    kI64, kI64, kEnd};
MessageLayout layout_8086[] = {0, kI32, kI32, kEnd};
MessageLayout layout_8088[] = {0, kI32, kI32, counted(900), kByte, kEnd};
MessageLayout layout_F001[] = {0, kEnd};
MessageLayout layout_F002[] = {0, kEnd};
MessageLayout layout_F003[] = {0, kI16, kI16, kI32, kI16, kI16, kI32, kEnd};
MessageLayout layout_F006[] = {0, kI32, kEnd};
MessageLayout layout_F004[] = {0, kEnd};

#undef TEXT

const MessageLayoutEntry kEntries[] = {
    {0x0003, layout_0003, 1},
    {0x0004, layout_0004, 1},
    {0x0006, layout_0006, 1},
    {0x0005, layout_0005, 1},
    {0x0008, layout_0008, 2},
    {0x0009, layout_0009, 2},
    {0x000A, layout_000A, 2},
    {0x000B, layout_000B, 3},
    {0x000C, layout_000C, 4},
    {0x000D, layout_000D, 4},
    {0x000E, layout_000E, 5},
    {0x000F, layout_000F, 5},
    {0x0011, layout_0011, 6},
    {0x0012, layout_0012, 6},
    {0x0013, layout_0013, 6},
    {0x0014, layout_0014, 6},
    {0x0015, layout_0015, 6},
    {0x0016, layout_0016, 6},
    {0x0017, layout_0017, 6},
    {0x0018, layout_0018, 6},
    {0x0019, layout_0019, 6},
    {0x001B, layout_001B, 8},
    {0x001D, layout_001D, 9},
    {0x0023, layout_0023, 12},
    {0x0025, layout_0025, 12},
    {0x0026, layout_0026, 12},
    {0x0027, layout_0027, 12},
    {0x0029, layout_0029, 13},
    {0x002B, layout_002B, 14},
    {0x002C, layout_002C, 14},
    {0x002F, layout_002F, 16},
    {0x0033, layout_0033, 16},
    {0x0034, layout_0034, 16},
    {0x0035, layout_0035, 16},
    {0x0036, layout_0036, 16},
    {0x0037, layout_0037, 17},
    {0x0038, layout_0038, 18},
    {0x0039, layout_0039, 19},
    {0x003C, layout_003C, 19},
    {0x003D, layout_003D, 19},
    {0x003E, layout_003E, 19},
    {0x003F, layout_003F, 19},
    {0x004B, layout_004B, 21},
    {0x004D, layout_004D, 22},
    {0x0051, layout_0051, 23},
    {0x0055, layout_0055, 23},
    {0x005B, layout_005B, 25},
    {0x005C, layout_005C, 25},
    {0x005D, layout_005D, 25},
    {0x005F, layout_005F, 25},
    {0x0061, layout_0061, 25},
    {0x0063, layout_0063, 25},
    {0x0065, layout_0065, 25},
    {0x0066, layout_0066, 25},
    {0x0067, layout_0067, 25},
    {0x0068, layout_0068, 25},
    {0x0069, layout_0069, 25},
    {0x006A, layout_006A, 25},
    {0x006B, layout_006B, 25},
    {0x006C, layout_006C, 26},
    {0x006D, layout_006D, 27},
    {0x006E, layout_006E, 27},
    {0x0072, layout_0072, 29},
    {0x0073, layout_0073, 29},
    {0x0074, layout_0074, 30},
    {0x0079, layout_0079, 33},
    {0x007A, layout_007A, 33},
    {0x007B, layout_007B, 33},
    {0x007C, layout_007C, 33},
    {0x0081, layout_0081, 34},
    {0x0086, layout_0086, 36},
    {0x0089, layout_0089, 37},
    {0x008A, layout_008A, 37},
    {0x008B, layout_008B, 37},
    {0x008C, layout_008C, 38},
    {0x008D, layout_008D, 38},
    {0x008F, layout_008F, 39},
    {0x009D, layout_009D, 42},
    {0x00A0, layout_00A0, 43},
    {0x009F, layout_009F, 43},
    {0x00A1, layout_00A1, 43},
    {0x00A6, layout_00A6, 45},
    {0x00A7, layout_00A7, 45},
    {0x00AF, layout_00AF, 46},
    {0x00B1, layout_00B1, 46},
    {0x00B3, layout_00B3, 46},
    {0x00A9, layout_00A9, 46},
    {0x00AA, layout_00AA, 46},
    {0x00AB, layout_00AB, 46},
    {0x00AD, layout_00AD, 46},
    {0x00B5, layout_00B5, 46},
    {0x00B7, layout_00B7, 47},
    {0x00B8, layout_00B8, 47},
    {0x00B9, layout_00B9, 47},
    {0x00BD, layout_00BD, 47},
    {0x00BE, layout_00BE, 47},
    {0x00C3, layout_00C3, 48},
    {0x00C4, layout_00C4, 48},
    {0x00C9, layout_00C9, 49},
    {0x00CB, layout_00CB, 49},
    {0x00CC, layout_00CC, 49},
    {0x00CD, layout_00CD, 49},
    {0x00CE, layout_00CE, 49},
    {0x00CF, layout_00CF, 49},
    {0x00D3, layout_00D3, 49},
    {0x00D4, layout_00D4, 49},
    {0x00D1, layout_00D1, 49},
    {0x00D5, layout_00D5, 49},
    {0x00D7, layout_00D7, 49},
    {0x00D8, layout_00D8, 49},
    {0x00DC, layout_00DC, 50},
    {0x00E2, layout_00E2, 50},
    {0x00E5, layout_00E5, 50},
    {0x00E7, layout_00E7, 50},
    {0x00EA, layout_00EA, 50},
    {0x00EB, layout_00EB, 50},
    {0x00EC, layout_00EC, 50},
    {0x00EF, layout_00EF, 52},
    {0x00F1, layout_00F1, 52},
    {0x00F8, layout_00F8, 53},
    {0x8002, layout_8002, 54},
    {0x8004, layout_8004, 55},
    {0x8005, layout_8005, 55},
    {0x800A, layout_800A, 55},
    {0x800C, layout_800C, 56},
    {0x8016, layout_8016, 57},
    {0x8017, layout_8017, 57},
    {0x8018, layout_8018, 57},
    {0x8019, layout_8019, 58},
    {0x801C, layout_801C, 58},
    {0x801D, layout_801D, 58},
    {0x801E, layout_801E, 58},
    {0x8028, layout_8028, 58},
    {0x8033, layout_8033, 59},
    {0x8062, layout_8062, 59},
    {0x8035, layout_8035, 59},
    {0x8036, layout_8036, 59},
    {0x803A, layout_803A, 59},
    {0x8042, layout_8042, 59},
    {0x8054, layout_8054, 59},
    {0x8070, layout_8070, 61},
    {0x8074, layout_8074, 61},
    {0x8086, layout_8086, 62},
    {0x8088, layout_8088, 62},
    {0xF001, layout_F001, 1},
    {0xF002, layout_F002, 1},
    {0xF003, layout_F003, 1},
    {0xF006, layout_F006, 1},
    {0xF004, layout_F004, 1},
};

}  // namespace

std::span<const MessageLayoutEntry> legacy_layouts() { return kEntries; }

}  // namespace kelda::kelapi
