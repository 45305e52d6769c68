// Money limits and depository limits: the server's limits of each client,
// kept in two tables (limit_table.h), announced to the caller by events and
// read by caller number (the server's number plus 1). One booking books both.
//
// A stored limit keeps the message record it came with; its codes are
// stored terminated (at most 4 or 12 characters) and stay as first stored
// when later messages update its values.
//
// Everything runs under the library lock: messages on the receive thread,
// the booking on the worker, exports on the caller's thread. Exports take
// the lock themselves. Allocation failure while adding drops the message.
#pragma once

#include <cstdint>

#include "keldaapi/keldaapi.h"
#include "limits/limit_table.h"
#include "messages/records_limits.h"

namespace kelda::kelapi {

class Library;

struct MoneyLimitEntry {
  int32_t live;  // 1 live, 0 deleted by the server
  Msg00F0_MoneyLimit limit;
};

struct DepoLimitEntry {
  int32_t live;
  Msg8072_DepoLimit limit;
};

struct LimitTables {
  LimitTable<MoneyLimitEntry> money;
  LimitTable<DepoLimitEntry> depo;
  void clear() {
    money.clear();
    depo.clear();
  }
};

// ---- messages ----
void on_money_limit(Library& lib, const Msg00F0_MoneyLimit& message);
void on_money_limit_amounts(Library& lib, const Msg800B_MoneyLimitAmounts& message);
void on_money_limit_deleted(Library& lib, const Msg0087_MoneyLimitDeleted& message);
void on_depo_limit(Library& lib, const Msg8072_DepoLimit& message);
void on_depo_limit_values(Library& lib, const Msg8073_DepoLimitValues& message);
void on_depo_limit_deleted(Library& lib, const Msg0088_DepoLimitDeleted& message);

// ---- worker command 10 ----
void run_book_limits(Library& lib);

// ---- record builders (also used by the tests) ----
void fill_money_limit(const MoneyLimitEntry& e, KelapiMoneyLimitRecord& r);
void fill_money_limit_ex(const MoneyLimitEntry& e, KelapiMoneyLimitRecordEx& r);
void fill_depo_limit(const DepoLimitEntry& e, KelapiDepoLimitRecord& r);
// The 120-byte layout, and value9 after it when `with_value9`.
void fill_depo_limit_ex(const DepoLimitEntry& e, KelapiDepoLimitRecordEx& r, bool with_value9);

// ---- exports (lock taken inside) ----
KelapiResult book_limits(Library& lib);
KelapiResult get_money_limit(Library& lib, int number, KelapiMoneyLimitRecord* record);
KelapiResult get_money_limit_ex(Library& lib, int number, KelapiMoneyLimitRecordEx* record, uint32_t size);
KelapiResult get_depo_limit(Library& lib, int number, KelapiDepoLimitRecord* record);
// size 120 (`with_value9` false) or 128 (true).
KelapiResult get_depo_limit_ex(Library& lib, int number, KelapiDepoLimitRecordEx* record, uint32_t size,
                               bool with_value9);

}  // namespace kelda::kelapi
