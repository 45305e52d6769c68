// All trades: every trade of the exchange as the server streams it, kept in
// arrival order by sequence number, appended to alltrades.dat, announced to
// the caller while booked and handed to the tick data lines.
//
// The newest accepted sequence number is kept apart from the rows: a row
// handed out and removed in read-once mode is never accepted again, and a
// renewed request (after a reconnect, or after the saved file is read)
// continues right after it. The "requested" mark is cleared when the link
// breaks. The booking belongs to the session: it ends with the others when
// the session state is cleared (a new connection, KelapiDisconnect, a new
// trading session), and the feed is asked for again only when the caller
// books it again or a tick data line starts.
//
// Everything runs under the library lock (messages on the receive thread,
// booking on the worker, exports on the caller's thread). Allocation
// failure throws std::bad_alloc; exports turn it into a result code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/sequenced_rows.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_feeds.h"

namespace kelda::kelapi {

class Library;

// A stored trade: the 0x8025 record with the security's table index in
// place of its server id. 104 bytes, also the alltrades.dat record.
using AllTradeEntry = Msg8025_AllTrade;

inline constexpr uint32_t kCommandBookAllTrades = 2;
inline constexpr uint32_t kCommandUnbookAllTrades = 15;
inline constexpr uint32_t kCommandDataRefresh = 25;

struct AllTradesTable {
  SequencedRows<AllTradeEntry> rows;
  // The newest sequence number accepted (from the server or the file).
  std::optional<int32_t> last_accepted;
  bool requested = false;   // 0x75 sent on this link
  bool booked = false;      // KelapiBookAllTrades
  bool tick_lines = false;  // a tick data line needs the feed
  // Read-once mode reads alltrades.dat in batches: where the next batch
  // begins, and whether the file still has records to give.
  uint64_t file_offset = 0;
  bool file_reading = false;

  int32_t next_sequence() const { return last_accepted ? *last_accepted + 1 : 0; }
  void reset();
};

// ---- messages (receive thread) ----
// A trade in the stored form, its security still the server id; `computed`
// asks for the value to be computed from price and quantity (layouts that
// carry none), `scaled_value` for the oldest layout's rule.
enum class TradeValue : uint8_t { given, computed, computed_scaled };
void on_all_trade(Library& lib, AllTradeEntry entry, TradeValue value);

// alltrades.dat record (tag 22 or 53) read back at initialise or in batches.
void replay_all_trade(Library& lib, uint8_t tag, std::span<const uint8_t> payload);
// Where the initialise's replay stopped: read-once batches begin there.
void all_trades_file_replayed(Library& lib, uint64_t good_end);

// ---- feed requests ----
void request_all_trades(Library& lib);
void cancel_all_trades(Library& lib);
// The link broke: the request is no longer outstanding.
void all_trades_link_lost(Library& lib);

// ---- worker commands ----
void run_book_all_trades(Library& lib, bool restore);
void run_unbook_all_trades(Library& lib);
void run_data_refresh(Library& lib, uint32_t period);
void announce_all_trades_of_class(Library& lib, int32_t class_index);

// ---- exports (lock taken inside) ----
KelapiResult book_all_trades(Library& lib, uint32_t restore);
KelapiResult unbook_all_trades(Library& lib);
// Alerts come with the all-trades feed: books it like book_all_trades, but
// only on a started link, and booking again is no error.
KelapiResult book_alerts(Library& lib, uint32_t restore);
KelapiResult set_data_refresh_timeout(Library& lib, uint32_t period);
// `form` 1, 2 or 3: the record forms of KelapiGetAllTradeEx, Ex2 and Ex3.
KelapiResult get_all_trade(Library& lib, uint32_t number, void* record, uint32_t size, int form);

}  // namespace kelda::kelapi
