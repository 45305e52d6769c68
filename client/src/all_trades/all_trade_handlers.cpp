// The handlers of the nine all-trades layouts: each is converted to the
// stored entry (later fields of the shorter layouts stay 0, a missing date
// is the current trade date) and added.
#include <algorithm>
#include <cstring>

#include "all_trades/all_trades.h"
#include "messages/handlers.h"
#include "session/handler_support.h"

namespace kelda::kelapi {
namespace {

// The fields every layout carries.
template <typename Record>
AllTradeEntry common(const Record& m) {
  AllTradeEntry e{};
  e.sequence = m.sequence;
  e.trade_number = m.trade_number;
  e.time = m.time;
  e.security = m.security;
  e.price = m.price;
  e.quantity = m.quantity;
  std::memcpy(e.code, m.code, std::min(sizeof e.code, sizeof m.code));
  e.code[sizeof e.code - 1] = '\0';
  return e;
}

// The amounts of the layouts that carry them up to amount3.
template <typename Record>
void amounts(AllTradeEntry& e, const Record& m) {
  e.value = m.value;
  e.amount2 = m.amount2;
  e.amount3 = m.amount3;
}

// The fields after the code of the longest layouts.
template <typename Record>
void tail(AllTradeEntry& e, const Record& m) {
  e.rate = m.rate;
  e.amount5 = m.amount5;
  e.amount6 = m.amount6;
  e.word = m.word;
}

int32_t today(const Library& lib) { return static_cast<int32_t>(lib.trade_date()); }

template <typename Record, typename Convert>
void handle(uint16_t id, const void* record, std::size_t end, TradeValue value, Convert convert) {
  handle_message(id, record, [&](Library& lib) {
    const Record m = record_copy<Record>(record, end);
    on_all_trade(lib, convert(lib, m), value);
  });
}

}  // namespace

void on_8025_all_trade(uint16_t id, const void* record) {
  handle<Msg8025_AllTrade>(id, record, KELAPI_RECORD_END(Msg8025_AllTrade, word), TradeValue::given,
                           [](Library&, const Msg8025_AllTrade& m) { return m; });
}

void on_8024_all_trade(uint16_t id, const void* record) {
  handle<Msg8024_AllTrade>(id, record, KELAPI_RECORD_END(Msg8024_AllTrade, word), TradeValue::given,
                           [](Library& lib, const Msg8024_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = today(lib);
                             e.flags = m.flags;
                             amounts(e, m);
                             tail(e, m);
                             return e;
                           });
}

void on_8023_all_trade(uint16_t id, const void* record) {
  handle<Msg8023_AllTrade>(id, record, KELAPI_RECORD_END(Msg8023_AllTrade, code), TradeValue::given,
                           [](Library&, const Msg8023_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = m.date;
                             e.flags = m.flags;
                             amounts(e, m);
                             return e;
                           });
}

void on_8022_all_trade(uint16_t id, const void* record) {
  handle<Msg8022_AllTrade>(id, record, KELAPI_RECORD_END(Msg8022_AllTrade, code), TradeValue::given,
                           [](Library& lib, const Msg8022_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = today(lib);
                             e.flags = m.flags;
                             amounts(e, m);
                             return e;
                           });
}

void on_8021_all_trade(uint16_t id, const void* record) {
  handle<Msg8021_AllTrade>(id, record, KELAPI_RECORD_END(Msg8021_AllTrade, code), TradeValue::computed,
                           [](Library&, const Msg8021_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = m.date;
                             e.flags = m.flags;
                             return e;
                           });
}

void on_8020_all_trade(uint16_t id, const void* record) {
  handle<Msg8020_AllTrade>(id, record, KELAPI_RECORD_END(Msg8020_AllTrade, code), TradeValue::computed,
                           [](Library& lib, const Msg8020_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = today(lib);
                             e.flags = m.flags;
                             return e;
                           });
}

void on_00E1_all_trade(uint16_t id, const void* record) {
  handle<Msg00E1_AllTrade>(id, record, KELAPI_RECORD_END(Msg00E1_AllTrade, word), TradeValue::given,
                           [](Library& lib, const Msg00E1_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = today(lib);
                             amounts(e, m);
                             tail(e, m);
                             return e;
                           });
}

void on_00E0_all_trade(uint16_t id, const void* record) {
  handle<Msg00E0_AllTrade>(id, record, KELAPI_RECORD_END(Msg00E0_AllTrade, code), TradeValue::given,
                           [](Library& lib, const Msg00E0_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = today(lib);
                             amounts(e, m);
                             return e;
                           });
}

void on_00E9_all_trade(uint16_t id, const void* record) {
  handle<Msg00E9_AllTrade>(id, record, KELAPI_RECORD_END(Msg00E9_AllTrade, code), TradeValue::computed_scaled,
                           [](Library& lib, const Msg00E9_AllTrade& m) {
                             AllTradeEntry e = common(m);
                             e.date = today(lib);
                             return e;
                           });
}

}  // namespace kelda::kelapi
