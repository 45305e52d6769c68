// Stop orders: the server's stop-order messages kept as rows by sequence
// number, the worker's booking command and the exports that read them.
//
// Everything runs under the library lock (messages on the receive thread,
// the booking on the worker, exports on the caller's thread). A stop order
// whose security or condition security is unknown is dropped; the newest
// message of a stop order wins. Rows are not removed in read-once mode.
#pragma once

#include <cstdint>
#include <span>

#include "core/sequenced_rows.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_orders.h"

namespace kelda::kelapi {

class Library;

// A stop-order row: the 0x808F record with both securities as local indexes.
using StopOrderRow = Msg808F_StopOrder;
using StopOrderTable = SequencedRows<StopOrderRow>;

// ---- messages ----
// A stop order in the newest form, both securities given by server id.
void on_stop_order(Library& lib, const StopOrderRow& stop_order);
void on_stop_orders_restart(Library& lib);
// Journal tags 74 (208-byte row), 51 (0x8059 form) and 34 (0xF3 form); false
// for a record of a size its tag does not have, which ends the replay.
bool replay_stop_order(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 20 ----
void run_book_stop_orders(Library& lib);
void announce_stop_orders_of_class(Library& lib, int32_t class_index);

// ---- exports (lock taken inside) ----
KelapiResult book_stop_orders(Library& lib);
KelapiResult get_stop_order(Library& lib, uint32_t number, KelapiStopOrderRecord* record, uint32_t size,
                            uint32_t expected_size);

}  // namespace kelda::kelapi
