// Account positions: the money position of each client account, four codes
// and eleven values, created by a message with codes and updated by number
// through lighter messages of three generations; kept in arrival order and
// read by caller number (the position's number plus 1).
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

// A position as kept (and as journal tag 73 stores it): 152 bytes.
struct AccountPositionEntry {
  int32_t number;
  char code1[13];
  char code2[5];
  char code3[5];
  char code4[31];
  double p[11];
};
static_assert(sizeof(AccountPositionEntry) == 152);

using PositionTable = NumberedRows<AccountPositionEntry>;

// The older forms as entries (codes terminated).
AccountPositionEntry position_of(const Msg802A_AccountPosition& m);
AccountPositionEntry position_of(const Msg004C_AccountPositionOld& m);

// ---- messages ----
// Creates or replaces a position (codes and all values); fires the event
// unless restoring.
void on_position(Library& lib, const AccountPositionEntry& entry, bool restoring);
// Replaces the values of a held position; unknown numbers are dropped.
void on_position_values(Library& lib, int32_t number, const double (&values)[11]);
void on_positions_restart(Library& lib);
// Journal tags 11 (176-byte 0x4C form) and 73 (152-byte entry).
void replay_position(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 8 ----
void run_book_positions(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_positions(Library& lib);
// `layout` 0: the first 152-byte layout, 1: 136 bytes, 2: 152 bytes.
KelapiResult get_position(Library& lib, int number, void* record, uint32_t size, int layout);

}  // namespace kelda::kelapi
