// Futures limits and holdings: the limits of each futures trading account
// and the holdings of each client in each futures contract, kept in arrival
// order in two tables found by number, announced by events, recorded in the
// journal and read by caller number (the entry's number plus 1). Futures
// limits go when the server deletes them (later entries move up); holdings
// are never removed.
//
// A table exists from its first entry until the library is uninitialised;
// reads before that give KELAPI_E_INVALIDARG.
//
// Everything runs under the library lock. Allocation failure throws and
// leaves the tables as they were.
#pragma once

#include <cstdint>
#include <span>

#include "firms/numbered_rows.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_limits.h"

namespace kelda::kelapi {

class Library;

struct FuturesTables {
  NumberedRows<Msg8068_FuturesLimit> limits;
  NumberedRows<Msg8069_FuturesHolding> holdings;
  bool limits_exist = false;
  bool holdings_exist = false;
  // A new session: the entries go, the tables stay.
  void clear_rows() {
    limits.clear_rows();
    holdings.clear_rows();
  }
  void release() {
    limits.release();
    holdings.release();
    limits_exist = holdings_exist = false;
  }
};

// The older forms as current records (codes terminated).
Msg8068_FuturesLimit futures_limit_of(const Msg0092_FuturesLimitOld& old);
Msg8069_FuturesHolding futures_holding_of(const Msg0095_FuturesHoldingOld& old);

// ---- messages ----
void on_futures_limit(Library& lib, const Msg8068_FuturesLimit& limit);
void on_futures_holding(Library& lib, const Msg8069_FuturesHolding& holding);
void on_futures_limit_deleted(Library& lib, const Msg0098_FuturesLimitDeleted& message, bool restoring);
// Journal tags 29 (136-byte limit, the 0x92 part taken), 28 (112-byte
// holding of the 0x95 form) and 30 (a deletion); 55 and 56 are not applied.
void replay_futures(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 12 ----
void run_book_futures(Library& lib);

// ---- record builders ----
void fill_futures_limit(const Msg8068_FuturesLimit& l, KelapiFuturesLimitRecord& r);
void fill_futures_limit_ex(const Msg8068_FuturesLimit& l, KelapiFuturesLimitRecordEx& r);
// `scale`: the decimal scale of the holding's security.
void fill_futures_holding(const Msg8069_FuturesHolding& h, int scale, KelapiFuturesHoldingRecord& r);
void fill_futures_holding_ex(const Msg8069_FuturesHolding& h, int scale, KelapiFuturesHoldingRecordEx& r);

// ---- exports (lock taken inside) ----
KelapiResult book_futures(Library& lib);
KelapiResult get_futures_limit(Library& lib, int number, void* record, uint32_t size, bool ex);
KelapiResult get_futures_holding(Library& lib, int number, void* record, uint32_t size, bool ex);
KelapiResult correct_open_position(Library& lib, const char* security, const char* account, const char* firm,
                                   double value);

}  // namespace kelda::kelapi
