// Transactions in the library: the kind table's messages, booking and
// reads, sending a transaction (its text formatted field by field, signed
// when signing is on, sent in chunks), the description of the last
// transaction tried, and the server's replies.
//
// Everything runs under the library lock: handlers on the receive thread,
// the booking command on the worker, the exports on the caller's thread.
// Chunks of two transactions never interleave: a process-wide mutex is held
// while one transaction's chunks go out. Allocation failure throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "keldaapi/keldaapi.h"
#include "messages/records_services.h"
#include "transactions/transaction_table.h"

namespace kelda::kelapi {

class Library;

struct TransactionState {
  TransactionTable table;
  // The worker has announced the table for the booking: kinds that arrive
  // from now on are announced as they complete.
  bool replayed = false;
  // The last transaction tried (cleared by every transaction export).
  std::unique_ptr<KelapiLastTransDescEx> last = std::make_unique<KelapiLastTransDescEx>();

  void reset() {
    table.clear();
    replayed = false;
  }
};

// ---- messages, worker command 7, files ----
void on_transaction_kind(Library& lib, const Msg8095_TransactionKind& message);
void on_transaction_field(Library& lib, TransactionField field);
void on_kind_fields_end(Library& lib, int16_t kind_id);
void on_class_kinds_end(Library& lib, int16_t class_server_id);
void on_transaction_reply(Library& lib, const Msg00F2_TransactionReply& reply);
void run_book_transactions(Library& lib);
// Reads trans.dat at initialisation (after the classes); a damaged file
// leaves the table empty and is logged.
void load_saved_transactions(Library& lib);

// The kind a caller's text goes to and its class.
struct TransactionTarget {
  int32_t class_index;
  const TransactionKind* kind;
};

// Clears the last-transaction description (every transaction export does
// first). Lock held.
void clear_last_transaction(Library& lib);
// Formats and sends a transaction text to a kind; every failure is also
// recorded in the last-transaction description. Lock held.
KelapiResult send_transaction(Library& lib, const TransactionTarget& target, std::string_view text,
                              uint32_t trans_id);

// ---- exports (lock taken inside) ----
KelapiResult book_transactions(Library& lib);
KelapiResult get_transaction(Library& lib, uint32_t number, KelapiTransactionRecord* record);
KelapiResult get_transaction_ex(Library& lib, uint32_t number, KelapiTransactionRecordEx* record, uint32_t size);
KelapiResult get_trans_fields(Library& lib, uint32_t number, KelapiTransFieldRecord* records);
KelapiResult get_trans_fields_ex(Library& lib, uint32_t number, KelapiTransFieldRecordEx* records, uint32_t size);
KelapiResult is_transaction_available(Library& lib, uint32_t number);
KelapiResult is_transaction_available_ex(Library& lib, const char* class_code, uint32_t kind_code);
KelapiResult do_transaction(Library& lib, uint32_t trans_id, uint32_t number, const char* text);
KelapiResult do_transaction_ex(Library& lib, uint32_t trans_id, const char* class_code, uint32_t kind_code,
                               const char* text, bool with_reply_record);
KelapiResult get_last_trans_desc(Library& lib, KelapiLastTransDesc* record);
KelapiResult get_last_trans_desc_ex(Library& lib, KelapiLastTransDescEx* record, uint32_t size);

}  // namespace kelda::kelapi
