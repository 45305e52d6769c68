// Placeholder handlers: each drops its message until the code of its table
// defines it. When a table is built, its handlers move out of this file into
// the table's code.
#include "handlers.h"

namespace kelda::kelapi {

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
