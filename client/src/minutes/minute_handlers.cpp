// The handlers of the minute-bar messages (history bounds, history bars,
// ticks and minute updates in their current and older layouts).
#include "messages/handlers.h"
#include "messages/records_feeds.h"
#include "minutes/minutes.h"
#include "session/handler_support.h"

namespace kelda::kelapi {
namespace {

int32_t today(const Library& lib) { return static_cast<int32_t>(lib.trade_date()); }

template <typename Record>
void history_bar(uint16_t id, const void* record, bool dated) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Record>(record);
    const int32_t ohlcv[5] = {m.open, m.high, m.low, m.close, m.volume};
    int32_t date = today(lib);
    if constexpr (requires { m.date; }) date = dated ? m.date : date;
    on_minute_history_bar(lib, m.security_id, date, ohlcv, m.time);
  });
}

template <typename Record>
void tick(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Record>(record);
    int32_t date = today(lib);
    if constexpr (requires { m.date; }) date = m.date;
    on_minute_tick(lib, m.security_id, date, m.time, m.price, m.quantity);
  });
}

template <typename Record>
void update(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    const auto m = record_copy<Record>(record);
    const int32_t ohlcv[5] = {m.open, m.high, m.low, m.close, m.volume};
    int32_t date = today(lib);
    if constexpr (requires { m.date; }) date = m.date;
    on_minute_update(lib, m.security_id, date, m.time, ohlcv);
  });
}

template <typename Record, typename F>
void bound(uint16_t id, const void* record, F f) {
  handle_message(id, record, [&](Library& lib) { f(lib, static_cast<int32_t>(record_copy<Record>(record).value)); });
}

}  // namespace

void on_802E_history_begins(uint16_t id, const void* record) {
  bound<Msg802E_HistoryBegins>(id, record, on_minutes_history_begins);
}
void on_00E6_history_begins_old(uint16_t id, const void* record) {
  bound<Msg00E6_HistoryBeginsOld>(id, record, on_minutes_history_begins);
}
void on_8030_history_ends(uint16_t id, const void* record) {
  bound<Msg8030_HistoryEnds>(id, record, on_minutes_history_ends);
}
void on_00E8_history_ends_old(uint16_t id, const void* record) {
  bound<Msg00E8_HistoryEndsOld>(id, record, on_minutes_history_ends);
}
void on_8063_minute_bar(uint16_t id, const void* record) { history_bar<Msg8063_MinuteBar>(id, record, true); }
void on_802B_minute_bar(uint16_t id, const void* record) { history_bar<Msg802B_MinuteBar>(id, record, false); }
void on_00E3_minute_bar_old(uint16_t id, const void* record) { history_bar<Msg00E3_MinuteBarOld>(id, record, false); }
void on_8064_tick(uint16_t id, const void* record) { tick<Msg8064_Tick>(id, record); }
void on_802C_tick(uint16_t id, const void* record) { tick<Msg802C_Tick>(id, record); }
void on_00E4_tick_old(uint16_t id, const void* record) { tick<Msg00E4_TickOld>(id, record); }
void on_8093_minute_update(uint16_t id, const void* record) { update<Msg8093_MinuteUpdate>(id, record); }
void on_8092_minute_update(uint16_t id, const void* record) { update<Msg8092_MinuteUpdate>(id, record); }

}  // namespace kelda::kelapi
