// Traders and trader messages: the list of the server's traders with their
// on-line state, the messages to and from the user, the receipts, the
// booking command and the exports.
//
// The trader list is sorted by name (without regard to case), then by text
// one; a trader described again replaces the entry the walk meets first
// with its id. Messages are kept in arrival order, and only those the user
// sent or receives; a receipt goes out only for a message addressed to the
// user that does not ask for none.
//
// Everything runs under the library lock. Allocation failure throws.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "messages/records_services.h"

namespace kelda::kelapi {

class Library;

struct TraderRow {
  Msg803E_Trader t;  // the journal record: the first 212 bytes
  uint32_t on_line;
};
static_assert(sizeof(TraderRow) == 216);

using TraderMessageRow = Msg8083_TraderMessage;

struct TraderTables {
  std::vector<std::unique_ptr<TraderRow>> traders;
  std::vector<std::unique_ptr<TraderMessageRow>> messages;
  // The session generation in which the worker announced the tables; events
  // are raised only from then on.
  uint32_t announced_generation = 0;
  bool announced = false;
  void reset() {
    traders.clear();
    messages.clear();
    announced = false;
  }
};

// Inserts or replaces a trader by the list's walk; returns its row.
TraderRow& put_trader(TraderTables& tables, const Msg803E_Trader& trader);

// ---- messages ----
void on_trader(Library& lib, const Msg803E_Trader& trader);
void on_trader_removed(Library& lib, int32_t trader_id);
void on_trader_on_line(Library& lib, int32_t trader_id, bool on_line);
void on_trader_message(Library& lib, const TraderMessageRow& message);
void on_receipt(Library& lib, const Msg8044_Receipt& receipt);
// Journal tags 59, 42, 71, 41, 60 and 21.
void replay_trader_record(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 23 ----
void run_book_traders(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_traders(Library& lib);
KelapiResult get_trader(Library& lib, uint32_t trader_id, KelapiTraderRecord* record, uint32_t size);
KelapiResult get_trader_message(Library& lib, uint32_t message_id, void* record, uint32_t size,
                                uint32_t expected_size);
KelapiResult send_trader_message(Library& lib, uint32_t recipient, uint32_t flag1, uint32_t flag2,
                                 const char* text);

}  // namespace kelda::kelapi
