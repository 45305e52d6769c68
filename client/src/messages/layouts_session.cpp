// Layouts of the session messages and of the messages that the library
// accepts and drops.
#include "layout_tables.h"

namespace kelda::kelapi {
namespace {

using namespace layout_codes;

#define TEXT(n) array(n), kChar

MessageLayout layout_empty[] = {0, kEnd};
MessageLayout layout_word16[] = {0, kI16, kEnd};
MessageLayout layout_word32[] = {0, kI32, kEnd};
MessageLayout layout_word32_pair[] = {0, kI32, kI32, kEnd};

MessageLayout layout_session_head_old[] = {0, kI16, TEXT(65), TEXT(65), TEXT(13), kEnd};
MessageLayout layout_session_head[] = {0, kI32, TEXT(65), TEXT(65), TEXT(13), kEnd};
MessageLayout layout_0021[] = {0, nested(layout_session_head_old), TEXT(65), kI32, kI32, kEnd};
MessageLayout layout_803D[] = {0, nested(layout_session_head), TEXT(65), kI32, kI32, kEnd};
MessageLayout layout_0022[] = {0, TEXT(37), kI32, kI32, kEnd};
MessageLayout layout_0091[] = {0, kI16, kI16, kEnd};

// Accepted and dropped.
MessageLayout layout_0020[] = {0, kI32, TEXT(301), kEnd};
MessageLayout layout_0028[] = {0, kI32, kI32, kI16, kEnd};
MessageLayout layout_8001[] = {0, kI32, counted(950), kByte, TEXT(4), kEnd};
MessageLayout layout_808D[] = {0, kI32, TEXT(901), kI32, kEnd};
MessageLayout layout_0090[] = {0, kI16, kI16, kI16, TEXT(65), kEnd};
MessageLayout layout_00A8[] = {0, kI32, kI32, kI32, kI32, kI32, kEnd};
MessageLayout layout_00AC[] = {0, kI16, kI32, kI32, kI32, TEXT(13), TEXT(33), TEXT(129), kI32,
    kEnd};
MessageLayout layout_00AE[] = {0, kI16, kI32, kEnd};
MessageLayout layout_00B0[] = {0, kI32, kI16, counted(650), kByte, kEnd};
MessageLayout layout_00B6[] = {0, kI16, kI32, kI32, TEXT(33), TEXT(33), TEXT(33), TEXT(129), kI32,
    kI32, kI32, kEnd};
MessageLayout layout_00BC[] = {0, TEXT(13), counted(100), kByte, kI16, counted(550), kByte, kI16,
    kEnd};
MessageLayout layout_00F9[] = {0, kI32, TEXT(13), kI64, kI64, kI32, kI32, kI32, kI32, kI16, kEnd};

#undef TEXT

const MessageLayoutEntry kEntries[] = {
    {0x0001, layout_word16, 1},
    {0x0002, layout_word16, 1},
    {0x0020, layout_0020, 10},
    {0x0021, layout_0021, 11},
    {0x0022, layout_0022, 11},
    {0x0028, layout_0028, 12},
    {0x004A, layout_empty, 21},
    {0x004E, layout_empty, 22},
    {0x0085, layout_word32, 35},
    {0x0090, layout_0090, 39},
    {0x0091, layout_0091, 39},
    {0x00A5, layout_word32_pair, 44},
    {0x00A8, layout_00A8, 45},
    {0x00AC, layout_00AC, 46},
    {0x00AE, layout_00AE, 46},
    {0x00B0, layout_00B0, 46},
    {0x00B2, layout_00B0, 46},
    {0x00B4, layout_00B0, 46},
    {0x00B6, layout_00B6, 46},
    {0x00BC, layout_00BC, 47},
    {0x00F9, layout_00F9, 53},
    {0x8001, layout_8001, 54},
    {0x801F, layout_word32_pair, 58},
    {0x803D, layout_803D, 59},
    {0x808D, layout_808D, 62},
};

}  // namespace

std::span<const MessageLayoutEntry> session_layouts() { return kEntries; }

}  // namespace kelda::kelapi
