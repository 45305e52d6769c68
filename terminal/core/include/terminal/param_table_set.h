// ParamTableSet: the rows (securities) and columns (parameters) that a
// current-parameters window shows, with their captions and widths. The
// window copies it whole from its creator, and the list dialog
// (instrument_pickers.h) edits a private copy that the window takes back.
//
// Fixed layout without pointers: rows of 100 bytes, columns of 40 bytes,
// at most 20 of each. Counts are kept within 0 to 20 by every writer; a
// reader clamps them anyway (rows() and columns()).
//
// Threading: user-interface thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kelda::terminal {

inline constexpr int kTableSetMax = 20;

struct TableSetRow {
  int32_t class_id = -1;     // -1 until bound
  int32_t security_id = -1;  // -1 until bound
  char class_code[13] = {};
  char security_code[13] = {};
  char caption[66] = {};
};
static_assert(sizeof(TableSetRow) == 100);

struct TableSetColumn {
  int32_t width = 0;
  char db_name[17] = {};
  char short_name[19] = {};
};
static_assert(sizeof(TableSetColumn) == 40);

struct ParamTableSet {
  int32_t row_count = 0;
  int32_t column_count = 0;
  int32_t caption_width = 0;
  TableSetRow row[kTableSetMax];
  TableSetColumn column[kTableSetMax];
  char caption[256] = {};

  int rows() const { return std::clamp<int32_t>(row_count, 0, kTableSetMax); }
  int columns() const { return std::clamp<int32_t>(column_count, 0, kTableSetMax); }
};

}  // namespace kelda::terminal
