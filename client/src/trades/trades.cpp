// What the trade messages do, the booking and the reads of the table.
#include "trades/trades.h"

#include <algorithm>
#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/text_util.h"
#include "market/class_gate.h"
#include "messages/handlers.h"
#include "orders/order_forms.h"
#include "platform/last_error.h"
#include "session/handler_support.h"
#include "session/library.h"
#include "trades/trade_forms.h"

namespace kelda::kelapi {
namespace {

constexpr uint8_t kJournalTrade = 63;
constexpr uint8_t kJournalTrade806B = 52;
constexpr uint8_t kJournalTrade00DF = 36;
constexpr uint16_t kMsgTradesRequest = 0x1C;
constexpr uint32_t kReadOnceFlags = 0x80 | 0x200;

void announce_trade(Library& lib, const TradeRow& t) {
  if (!class_gate_open(lib, t.security)) return;
  lib.raise_event(KELAPI_EVENT_NEWTRADE, 0, static_cast<uintptr_t>(static_cast<uint32_t>(t.sequence) + 1));
}

// The row with every text bounded and both counts within their arrays.
TradeRow bounded_row(const TradeRow& t) {
  TradeRow r = t;
  copy_order_text(r.comment, t.comment);
  copy_order_text(r.text2, t.text2);
  copy_order_text(r.text1, t.text1);
  copy_order_text(r.account, t.account);
  copy_order_text(r.text3, t.text3);
  copy_order_text(r.text4, t.text4);
  copy_order_text(r.text5, t.text5);
  copy_order_text(r.short_code1, t.short_code1);
  copy_order_text(r.short_code2, t.short_code2);
  r.text_count = std::min<uint16_t>(t.text_count, sizeof r.text);
  r.short_text_count = std::min<uint16_t>(t.short_text_count, sizeof r.short_text);
  return r;
}

void accept(Library& lib, const TradeRow& row) {
  lib.trades.rows.put(row);
  lib.trades.last_accepted = row.sequence;
}

// A journalled trade of one form in the newest form; none for a record of
// another size.
template <typename Form>
std::optional<TradeRow> journalled_trade(std::span<const uint8_t> payload) {
  if (payload.size() != sizeof(Form)) return std::nullopt;
  Form record;
  std::memcpy(&record, payload.data(), sizeof record);
  return newest_trade(record);
}

// A counted text into a zero-terminated one of at most `limit` characters.
template <std::size_t N>
void copy_counted(char (&to)[N], const uint8_t* from, uint16_t count, std::size_t limit) {
  const std::size_t n = std::min<std::size_t>({count, limit, N - 1});
  std::memcpy(to, from, n);
  to[n] = '\0';
}

}  // namespace

void on_trade(Library& lib, const TradeRow& trade) {
  if (lib.trades.last_accepted && trade.sequence <= *lib.trades.last_accepted) return;
  const int64_t s = lib.securities.find_by_server_id(trade.security);
  if (s < 0) {
    diag("CRITICAL ERROR: received trade (seqnumber = %d) with unknown sid!\n", trade.sequence);
    return;
  }
  TradeRow row = bounded_row(trade);
  row.security = static_cast<int32_t>(s);
  accept(lib, row);
  lib.journal_write(kJournalTrade, &row, sizeof row, true);
  announce_trade(lib, row);
}

void on_trades_restart(Library& lib) {
  const int32_t from = 0;
  lib.send_message(kMsgTradesRequest, &from);
}

bool replay_trade(Library& lib, uint8_t tag, std::span<const uint8_t> payload) {
  std::optional<TradeRow> row;
  switch (tag) {
    case kJournalTrade: row = journalled_trade<Msg806F_Trade>(payload); break;
    case kJournalTrade806B: row = journalled_trade<Msg806B_Trade>(payload); break;
    case kJournalTrade00DF: row = journalled_trade<Msg00DF_Trade>(payload); break;
    default: return false;
  }
  if (!row) return false;
  if (lib.trades.last_accepted && row->sequence <= *lib.trades.last_accepted) return true;
  accept(lib, bounded_row(*row));
  return true;
}

void run_book_trades(Library& lib) {
  const auto& rows = lib.trades.rows;
  for (std::size_t i = 0; i < rows.size(); ++i) announce_trade(lib, rows.at(i));
  if (!lib.connected()) return;
  const int32_t from = lib.trades.last_accepted ? *lib.trades.last_accepted + 1 : 0;
  lib.send_message(kMsgTradesRequest, &from);
}

void announce_trades_of_class(Library& lib, int32_t class_index) {
  const auto& rows = lib.trades.rows;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (class_of_security(lib, rows.at(i).security) == class_index) announce_trade(lib, rows.at(i));
  }
}

KelapiResult book_trades(Library& lib) { return book_table(lib, Booked::trades, kCommandBookTrades); }

KelapiResult get_trade(Library& lib, uint32_t number, KelapiTradeRecord* record, uint32_t size,
                       uint32_t expected_size) {
  LibraryLock lock(lib);
  if (const KelapiResult checked = check_row_read(lib, record, size, expected_size); checked != KELAPI_OK) {
    return checked;
  }
  const int64_t sequence = row_sequence(number);
  if (sequence < 0) return KELAPI_E_INVALIDARG;
  const TradeRow* t = lib.trades.rows.find(static_cast<int32_t>(sequence));
  if (t == nullptr) return KELAPI_E_INVALIDARG;

  KelapiTradeRecord r;
  std::memset(&r, 0, sizeof r);
  int scale = 0;
  const int32_t c = class_of_security(lib, t->security);
  if (c >= 0) {
    scale = lib.securities.at(static_cast<std::size_t>(t->security)).h.scale;
    r.class_number = static_cast<uint32_t>(c) + 1;
    r.security_number = static_cast<uint32_t>(t->security) + 1;
  }
  r.amount1 = scale_down(t->amount1, 2);
  r.amount3 = scale_down(t->amount3, 2);
  r.price5 = scaled_to_double(t->price5, scale);
  r.order_number = t->order_number;
  r.price = scaled_to_double(t->price, scale);
  r.price2 = scaled_to_double(t->price2, scale);
  r.price3 = scaled_to_double(t->price3, scale);
  r.amount4 = t->amount4 * 0.01;
  r.amount5 = t->amount5 * 0.01;
  r.price4 = scaled_to_double(t->price4, scale);
  r.trade_number = t->number;
  r.total_fee = (t->fee3 + t->fee2 + t->fee1) * 0.01;
  r.price6 = scaled_to_double(t->price6, scale);
  r.value = scale_down(t->value, 2);
  r.amount2 = scale_down(t->amount2, 2);
  r.sell = (t->flags & 0x4) != 0 ? 1 : 0;
  r.flag0 = (t->flags & 0x1) != 0 ? 1 : 0;
  r.quantity = t->quantity;
  r.row_number = static_cast<uint32_t>(t->sequence) + 1;
  r.time = t->time;
  r.short2 = t->short2;
  r.short1 = t->short1;
  r.fee1 = t->fee1 * 0.01;
  r.fee2 = t->fee2 * 0.01;
  r.fee3 = t->fee3 * 0.01;
  copy_bounded(r.account, t->account, 12);
  copy_bounded(r.comment, t->comment, 20);
  copy_bounded(r.text5, t->text5, 12);
  copy_bounded(r.text4, t->text4, 12);
  copy_bounded(r.text1, t->text1, 12);
  copy_bounded(r.text3, t->text3, 12);
  copy_bounded(r.text2, t->text2, 12);
  copy_counted(r.text, t->text, t->text_count, 64);
  r.word1 = t->word1;
  copy_bounded(r.short_code1, t->short_code1, 4);
  copy_bounded(r.short_code2, t->short_code2, 4);
  copy_counted(r.short_text, t->short_text, t->short_text_count, 32);
  if (size < sizeof r) r.word1 = 0;  // the shorter record ends before word 1
  std::memcpy(record, &r, size);

  if ((lib.init_flags() & kReadOnceFlags) != 0) lib.trades.rows.remove(t->sequence);
  return KELAPI_OK;
}

// ---- handlers ----

void on_002D_trades_restart(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) { on_trades_restart(lib); });
}

void on_806F_trade(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_trade(lib, record_copy<Msg806F_Trade>(record, KELAPI_RECORD_END(Msg806F_Trade, short_text)));
  });
}

}  // namespace kelda::kelapi
