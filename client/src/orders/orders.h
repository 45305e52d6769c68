// Orders: the server's order messages kept as rows by sequence number, the
// worker's booking command and the exports that read them.
//
// Everything runs under the library lock: messages on the receive thread,
// the booking on the worker, exports on the caller's thread. An order for an
// unknown security is dropped; the newest message of an order wins whatever
// its state.
#pragma once

#include <cstdint>
#include <span>

#include "core/sequenced_rows.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_orders.h"

namespace kelda::kelapi {

class Library;

// An order row: the 0x807B record with the security's index in place of
// its server id.
using OrderRow = Msg807B_Order;
using OrderTable = SequencedRows<OrderRow>;

// ---- messages ----
// An order in the newest form, the security given by its server id.
void on_order(Library& lib, const OrderRow& order);
// The server asks for the orders from the start.
void on_orders_restart(Library& lib);

// Journal tags 67 (264-byte row), 50 (0x805B form), 43 (0x800F form) and
// 35 (0xF6 form); false for a body of a size its tag does not have, which
// ends the replay.
bool replay_order(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 4 ----
void run_book_orders(Library& lib);
// A class completed after the start: its orders are announced.
void announce_orders_of_class(Library& lib, int32_t class_index);

// ---- exports (lock taken inside) ----
KelapiResult book_orders(Library& lib);
KelapiResult get_order(Library& lib, uint32_t number, KelapiOrderRecord* record, uint32_t size,
                       uint32_t expected_size);

}  // namespace kelda::kelapi
