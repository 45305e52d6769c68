// Current values: what the server's value records and confirmations do to
// the value store, the pushed-values event, the gap re-requests, the
// parameter history reply, the journal records of the store and the
// KelapiGetDataEx export.
//
// Every function runs under the library lock: message functions on the
// receive thread, re-requests on the worker, the export on the caller's
// thread, the journal readers on the initialising thread. Bad input is
// dropped with a diagnostic.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "values/value_entry.h"
#include "values/value_store.h"

namespace kelda::kelapi {

class Library;
class JournalReaders;

// A node of a parameter history request.
struct HistoryNode {
  int32_t security = 0;
  int32_t slot = 0;
  bool pending = false;
  int32_t first = -1;
  int32_t last = -1;
  int32_t request = 0;
};

// The pushed-values event: the header and its array, reused for every record.
struct PushedValues {
  KelapiDataEvent head{};
  std::array<KelapiValueRecord, kValueBits> values{};
};

struct ValueTables {
  ValueStore store;
  std::vector<HistoryNode> history;
  PushedValues pushed;
  void reset() {
    store.reset();
    history.clear();
  }
};

// What the class of a security says about each bit of a value mask.
ClassBits class_bits(const Library& lib, int32_t class_index);

// ---- messages ----
// A value record, any layout (its flags already those of its id).
void on_value_record(Library& lib, const ValueMessage& m);
// Confirmation of an entry (0x8048, 0x2A).
void on_entry_confirmed(Library& lib, int32_t class_server_id, int32_t entry);
// The parameter history reply (the assembled server message of code 30).
void on_history_reply(Library& lib, std::span<const uint8_t> stream);

// Asks the server again for the class's unconfirmed entries below `from`.
void rerequest_entries(Library& lib, int32_t class_index, int32_t from);

// ---- journal (tags 1 and 2) ----
void add_value_journal_readers(Library& lib, JournalReaders& readers);

// ---- export (lock taken inside) ----
KelapiResult get_data_ex(Library& lib, uint32_t entry, uint32_t* class_number, uint32_t* security_number,
                         uint32_t* time, KelapiValueRecord* values);

}  // namespace kelda::kelapi
