// The all-trades table: adding trades, the feed requests, the booking, the
// saved file and the reads.
#include "all_trades/all_trades.h"

#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "data_lines/line_feeds.h"
#include "files/binary_file.h"
#include "market/class_gate.h"
#include "messages/records_session.h"
#include "platform/last_error.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgRequest = 0x75;
constexpr uint16_t kMsgCancel = 0x76;
constexpr uint16_t kMsgRefreshPeriod = 0x801F;
constexpr uint8_t kFileEntry = 53;   // '5': a stored entry of 104 bytes
constexpr uint8_t kFileOldEntry = 22;  // the 0xE1 layout, security as index
constexpr uint32_t kReadOnceFlags = 0x4 | 0x200;
// Records read from alltrades.dat per batch in read-once mode.
constexpr std::size_t kFileBatch = 2048;

bool read_once(const Library& lib) { return (lib.init_flags() & kReadOnceFlags) != 0; }

void announce(Library& lib, const AllTradeEntry& e) {
  if (!class_gate_open(lib, e.security)) return;
  lib.raise_event(KELAPI_EVENT_NEWALLTRADE, 0, static_cast<uintptr_t>(static_cast<uint32_t>(e.sequence) + 1));
}

void announce_all(Library& lib) {
  const auto& rows = lib.all_trades.rows;
  for (std::size_t i = 0; i < rows.size(); ++i) announce(lib, rows.at(i));
}

void accept(Library& lib, const AllTradeEntry& e) {
  lib.all_trades.rows.put(e);
  lib.all_trades.last_accepted = e.sequence;
}

// Reads the next batch of alltrades.dat into the table.
void read_file_batch(Library& lib) {
  AllTradesTable& t = lib.all_trades;
  lib.all_trades_flush();
  const auto batch = read_all_trades_batch(work_file(lib.work_dir(), "alltrades.dat"), t.file_offset, kFileBatch,
                                           [&lib](uint8_t tag, std::span<const uint8_t> p) {
                                             replay_all_trade(lib, tag, p);
                                           });
  if (batch.replay.header_ok) t.file_offset = batch.replay.good_end;
  t.file_reading = batch.more;
}

const SecurityRecord* security_at(const Library& lib, int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= lib.securities.size()) return nullptr;
  return &lib.securities.at(static_cast<std::size_t>(index));
}

}  // namespace

void AllTradesTable::reset() {
  rows.release();
  last_accepted.reset();
  requested = false;
  booked = false;
  tick_lines = false;
  file_offset = 0;
  file_reading = false;
}

void on_all_trade(Library& lib, AllTradeEntry entry, TradeValue value) {
  AllTradesTable& t = lib.all_trades;
  const int64_t s = lib.securities.find_by_server_id(entry.security);
  if (s < 0) {
    diag("CRITICAL ERROR: received all trade (seqnumber = %d) with unknown sid!\n", entry.sequence);
    return;
  }
  if (t.last_accepted && entry.sequence <= *t.last_accepted) return;
  entry.security = static_cast<int32_t>(s);
  entry.code[sizeof entry.code - 1] = '\0';
  const SecurityHead& h = lib.securities.at(static_cast<std::size_t>(s)).h;
  const double unit = static_cast<double>(h.trading_unit) * entry.quantity;
  if (value == TradeValue::computed) {
    entry.value = scale_down(unit * entry.price * 100.0, h.scale);
  } else if (value == TradeValue::computed_scaled) {
    entry.value = unit * scaled_to_double(entry.price, h.scale) * 100.0;
  }
  accept(lib, entry);
  feed_tick_lines(lib, entry);
  lib.all_trades_write(kFileEntry, &entry, sizeof entry);
  if (t.booked) announce(lib, entry);
}

void replay_all_trade(Library& lib, uint8_t tag, std::span<const uint8_t> payload) {
  AllTradeEntry e{};
  if (tag == kFileEntry && payload.size() == sizeof e) {
    std::memcpy(&e, payload.data(), sizeof e);
  } else if (tag == kFileOldEntry && payload.size() == sizeof(Msg00E1_AllTrade)) {
    Msg00E1_AllTrade old;
    std::memcpy(&old, payload.data(), sizeof old);
    e.sequence = old.sequence;
    e.trade_number = old.trade_number;
    e.date = static_cast<int32_t>(lib.trade_date());
    e.time = old.time;
    e.security = old.security;
    e.price = old.price;
    e.quantity = old.quantity;
    e.value = old.value;
    e.amount2 = old.amount2;
    e.amount3 = old.amount3;
    std::memcpy(e.code, old.code, sizeof e.code);
    e.rate = old.rate;
    e.amount5 = old.amount5;
    e.amount6 = old.amount6;
    e.word = old.word;
  } else {
    return;  // a record of another size is skipped
  }
  // A row of a security the market tables do not hold, or one already
  // accepted, is not kept.
  if (security_at(lib, e.security) == nullptr) return;
  if (lib.all_trades.last_accepted && e.sequence <= *lib.all_trades.last_accepted) return;
  e.code[sizeof e.code - 1] = '\0';
  accept(lib, e);
}

void all_trades_file_replayed(Library& lib, uint64_t good_end) { lib.all_trades.file_offset = good_end; }

void request_all_trades(Library& lib) {
  AllTradesTable& t = lib.all_trades;
  if (t.file_reading || t.requested || !lib.connected()) return;
  t.requested = true;
  const int32_t from = t.next_sequence();
  lib.send_message(kMsgRequest, &from);
}

void cancel_all_trades(Library& lib) {
  lib.all_trades.requested = false;
  const int32_t none = 0;
  if (lib.connected()) lib.send_message(kMsgCancel, &none);
}

void all_trades_link_lost(Library& lib) { lib.all_trades.requested = false; }

void run_book_all_trades(Library& lib, bool restore) {
  AllTradesTable& t = lib.all_trades;
  if (restore) {
    if (read_once(lib)) {
      t.file_reading = true;
      read_file_batch(lib);
    }
    announce_all(lib);
  } else {
    t.file_reading = false;
  }
  if (lib.connected() && !t.requested) request_all_trades(lib);
  t.booked = true;
}

void run_unbook_all_trades(Library& lib) {
  AllTradesTable& t = lib.all_trades;
  if (!t.tick_lines) cancel_all_trades(lib);
  t.file_reading = false;
  t.booked = false;
}

void run_data_refresh(Library& lib, uint32_t period) {
  const Msg801F_RefreshPeriod m{0, static_cast<int32_t>(period)};
  lib.send_message(kMsgRefreshPeriod, &m);
}

void announce_all_trades_of_class(Library& lib, int32_t class_index) {
  if (!lib.all_trades.booked) return;
  announce_rows_of_class(lib, lib.all_trades.rows, class_index, announce);
}

namespace {

KelapiResult check_session(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

}  // namespace

KelapiResult book_all_trades(Library& lib, uint32_t restore) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_session(lib); r != KELAPI_OK) return r;
  if (lib.all_trades.booked) return KELAPI_E_ALREADY_BOOKED;
  if (!lib.post_command(kCommandBookAllTrades, restore)) return platform::get_last_error();
  lib.all_trades.booked = true;
  return KELAPI_OK;
}

KelapiResult book_alerts(Library& lib, uint32_t restore) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  // The same command as booking all trades; a second booking is no error.
  if (!lib.post_command(kCommandBookAllTrades, restore)) return platform::get_last_error();
  lib.all_trades.booked = true;
  return KELAPI_OK;
}

KelapiResult unbook_all_trades(Library& lib) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_session(lib); r != KELAPI_OK) return r;
  if (!lib.all_trades.booked) return KELAPI_OK;
  if (!lib.post_command(kCommandUnbookAllTrades, 0)) return platform::get_last_error();
  lib.all_trades.booked = false;
  return KELAPI_OK;
}

KelapiResult set_data_refresh_timeout(Library& lib, uint32_t period) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_session(lib); r != KELAPI_OK) return r;
  if (!lib.post_command(kCommandDataRefresh, period)) return platform::get_last_error();
  return KELAPI_OK;
}

namespace {

// Fills the fields that the three record forms share (the second form's
// order; the first form is copied from it).
void fill_common(const Library& lib, const AllTradeEntry& e, KelapiAllTradeRecord2& r) {
  int scale = 0;
  const int32_t c = class_of_security(lib, e.security);
  if (c >= 0) {
    scale = lib.securities.at(static_cast<std::size_t>(e.security)).h.scale;
    r.class_number = static_cast<uint32_t>(c) + 1;
    r.security_number = static_cast<uint32_t>(e.security) + 1;
  }
  r.amount2 = e.amount2 / 100.0;
  r.price = scaled_to_double(e.price, scale);
  r.trade_number = e.trade_number;
  r.value = e.value / 100.0;
  r.amount3 = e.amount3 / 100.0;
  r.amount5 = e.amount5 / 100.0;
  r.amount6 = e.amount6 / 100.0;
  r.rate = scaled_to_double(e.rate, scale);
  r.quantity = e.quantity;
  r.record_number = static_cast<uint32_t>(e.sequence) + 1;
  r.time = e.time;
  r.date = e.date;
  r.word = e.word;
  std::memcpy(r.code, e.code, 3);
  r.code[3] = '\0';
}

void fill_first_form(const KelapiAllTradeRecord2& from, KelapiAllTradeRecord& r) {
  r.amount2 = from.amount2;
  r.price = from.price;
  r.trade_number = from.trade_number;
  r.value = from.value;
  r.amount3 = from.amount3;
  r.amount5 = from.amount5;
  r.amount6 = from.amount6;
  r.quantity = from.quantity;
  r.record_number = from.record_number;
  r.time = from.time;
  r.date = from.date;
  r.class_number = from.class_number;
  r.security_number = from.security_number;
  r.rate = static_cast<int32_t>(from.rate);
  r.word = from.word;
  std::memcpy(r.code, from.code, sizeof r.code);
}

// Read-once mode: the row handed out goes; an emptied table takes the next
// batch of the saved file, or asks the server for what follows.
void consume(Library& lib, int32_t sequence) {
  AllTradesTable& t = lib.all_trades;
  t.rows.remove(sequence);
  if (!t.rows.empty()) return;
  if (t.file_reading) read_file_batch(lib);
  announce_all(lib);
  if (lib.connected() && !t.file_reading) request_all_trades(lib);
}

}  // namespace

KelapiResult get_all_trade(Library& lib, uint32_t number, void* record, uint32_t size, int form) {
  LibraryLock lock(lib);
  const uint32_t expected = form == 3 ? sizeof(KelapiAllTradeRecord3) : sizeof(KelapiAllTradeRecord);
  if (const KelapiResult r = check_session(lib); r != KELAPI_OK) return r;
  if (size != expected) return KELAPI_E_STRUCT_SIZE;
  if (record == nullptr) return KELAPI_E_POINTER;
  const int64_t sequence = row_sequence(number);
  if (sequence < 0) return KELAPI_E_INVALIDARG;
  const AllTradeEntry* e = lib.all_trades.rows.find(static_cast<int32_t>(sequence));
  if (e == nullptr) return KELAPI_E_INVALIDARG;

  KelapiAllTradeRecord3 full;
  std::memset(&full, 0, sizeof full);
  fill_common(lib, *e, full.base);
  full.flags = e->flags;
  if (form == 1) {
    KelapiAllTradeRecord first;
    std::memset(&first, 0, sizeof first);
    fill_first_form(full.base, first);
    std::memcpy(record, &first, sizeof first);
  } else {
    std::memcpy(record, &full, size);
  }
  if (read_once(lib)) consume(lib, e->sequence);
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
