// Trades: the client's own executions as the server reports them, kept by
// sequence number; the worker's booking command and the exports that read
// them.
//
// Trades never change: a trade whose sequence number is not above the last
// one accepted is a repetition and is ignored. The last accepted number is
// kept apart from the rows, so that a row handed out in read-once mode (and
// removed) is not delivered again when the server repeats it.
//
// Everything runs under the library lock (messages on the receive thread,
// the booking on the worker, exports on the caller's thread).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/sequenced_rows.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_trades.h"

namespace kelda::kelapi {

class Library;

// A trade row: the 0x806F record with the security's index in place of its
// server id.
using TradeRow = Msg806F_Trade;

struct TradeTable {
  SequencedRows<TradeRow> rows;
  // The sequence number of the newest trade accepted (none yet: empty).
  std::optional<int32_t> last_accepted;
  void reset() {
    rows.release();
    last_accepted.reset();
  }
};

// ---- messages ----
// A trade, the security given by its server id.
void on_trade(Library& lib, const TradeRow& trade);
void on_trades_restart(Library& lib);
// Journal tags 63 (a 384-byte row), 52 (the 0x806B form) and 36 (the 0x00DF
// form), the older ones brought to the newest form; false for a record of
// another size, which ends the replay.
bool replay_trade(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 3 ----
void run_book_trades(Library& lib);
void announce_trades_of_class(Library& lib, int32_t class_index);

// ---- exports (lock taken inside) ----
KelapiResult book_trades(Library& lib);
KelapiResult get_trade(Library& lib, uint32_t number, KelapiTradeRecord* record, uint32_t size,
                       uint32_t expected_size);

}  // namespace kelda::kelapi
