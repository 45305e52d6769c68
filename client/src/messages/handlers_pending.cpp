// Placeholder handlers: each drops its message until the code of its table
// defines it. When a table is built, its handlers move out of this file into
// the table's code.
#include "handlers.h"

namespace kelda::kelapi {

// All trades.
void on_00E0_all_trade(uint16_t, const void*) {}
void on_00E1_all_trade(uint16_t, const void*) {}
void on_00E9_all_trade(uint16_t, const void*) {}
void on_8020_all_trade(uint16_t, const void*) {}
void on_8021_all_trade(uint16_t, const void*) {}
void on_8022_all_trade(uint16_t, const void*) {}
void on_8023_all_trade(uint16_t, const void*) {}
void on_8024_all_trade(uint16_t, const void*) {}
void on_8025_all_trade(uint16_t, const void*) {}

// Minute bars.
void on_00E3_minute_bar_old(uint16_t, const void*) {}
void on_00E4_tick_old(uint16_t, const void*) {}
void on_00E6_history_begins_old(uint16_t, const void*) {}
void on_00E8_history_ends_old(uint16_t, const void*) {}
void on_802B_minute_bar(uint16_t, const void*) {}
void on_802C_tick(uint16_t, const void*) {}
void on_802E_history_begins(uint16_t, const void*) {}
void on_8030_history_ends(uint16_t, const void*) {}
void on_8063_minute_bar(uint16_t, const void*) {}
void on_8064_tick(uint16_t, const void*) {}
void on_8092_minute_update(uint16_t, const void*) {}
void on_8093_minute_update(uint16_t, const void*) {}

}  // namespace kelda::kelapi
