// What the feeds tell the data lines: a new trade, a new or changed minute
// bar, and a change of a security's minute history (its lines may become
// ready or not). Under the library lock; see data_lines.h.
#pragma once

#include <cstdint>

#include "all_trades/all_trades.h"
#include "minutes/minutes.h"

namespace kelda::kelapi {

class Library;

// Each ready tick line of the trade's security gets the trade; its last bar
// is delivered.
void feed_tick_lines(Library& lib, const AllTradeEntry& trade);
// Each ready bar line of the security gets the minute bar (`previous_volume`:
// the bar's volume before this change); its last bar is delivered.
void feed_bar_lines(Library& lib, int32_t security, const MinuteBar& bar, int32_t previous_volume);
struct DataLine;
// Recomputes whether the line is ready (tick lines always are); a line that
// becomes ready builds its bars and, with `deliver`, hands out the changed
// ones.
void refresh_line(Library& lib, DataLine& line, bool deliver);
// Recomputes whether the security's lines are ready; a line that becomes
// ready builds its bars and, with `deliver`, hands out the changed ones.
void refresh_lines_of_security(Library& lib, int32_t security, bool deliver);

}  // namespace kelda::kelapi
