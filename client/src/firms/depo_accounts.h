// Depository accounts: the firms' accounts (the 0x8077 form) and the
// accounts per security (the 0x8076 form), each in a table in arrival order
// found by the account's number. A record whose number is held replaces the
// stored one whole; older forms are converted to the current one first.
//
// Everything runs under the library lock. Allocation failure throws and
// leaves the table as it was.
#pragma once

#include <cstdint>
#include <span>

#include "firms/numbered_rows.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_limits.h"

namespace kelda::kelapi {

class Library;

struct DepoAccountTables {
  NumberedRows<Msg8077_FirmDepoAccount> firm;
  NumberedRows<Msg8076_SecDepoAccount> security;
};

// Older forms as current records (codes terminated).
Msg8077_FirmDepoAccount firm_depo_account_of(const Msg806D_FirmDepoAccountOld& old);
Msg8077_FirmDepoAccount firm_depo_account_of(const Msg0053_FirmDepoAccountOld& old);
Msg8076_SecDepoAccount sec_depo_account_of(const Msg806C_SecDepoAccountOld& old);
Msg8076_SecDepoAccount sec_depo_account_of(const Msg004F_SecDepoAccountOld& old);

// ---- messages ----
void on_firm_depo_account(Library& lib, const Msg8077_FirmDepoAccount& account);
void on_sec_depo_account(Library& lib, const Msg8076_SecDepoAccount& account);
// Journal tags 13, 57, 65 (firm accounts) and 14, 58, 64 (security
// accounts); a record of another size is skipped. No event.
void replay_depo_account(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 9 ----
void run_book_depo_accounts(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_depo_accounts(Library& lib);
KelapiResult get_firm_depo_account(Library& lib, int number, KelapiFirmDepoAccountRecordEx* record, uint32_t size,
                                   bool ex);
KelapiResult get_sec_depo_account(Library& lib, int number, KelapiSecDepoAccountRecordEx* record, uint32_t size,
                                  bool ex);

}  // namespace kelda::kelapi
