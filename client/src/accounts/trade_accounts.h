// Trade accounts: the trading accounts the server makes available, each
// with its code, second code, number and a description that gathers every
// item the server ever sent for it. Written to acnt.dat at uninitialise and
// never read back.
//
// Look-up by code: an empty second code on either side matches any, so an
// account first sent without a second code and later with one stays one
// record that takes the second code; two records with the same code and
// different non-empty second codes are two accounts. An exact second-code
// match is preferred.
//
// Everything runs under the library lock. Allocation failure throws.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "messages/records_trades.h"

namespace kelda::kelapi {

class Library;

// The saved and kept form of an account: 1060 bytes.
struct TradeAccount {
  char code[13];
  char pad[3];
  uint32_t number;  // 0xFFFFFFFF: not yet known
  char second_code[13];
  char description[1024];
  char pad2[3];
};
static_assert(sizeof(TradeAccount) == 1060);

inline constexpr uint32_t kAccountNumberUnknown = 0xFFFFFFFF;

class TradeAccountTable {
 public:
  std::size_t size() const noexcept { return rows_.size(); }
  const TradeAccount& at(std::size_t i) const { return rows_[i]; }
  // Adds the account or merges it into the one it names; returns the row.
  const TradeAccount& put(const Msg00C8_TradeAccount& message);
  // The account with the number, or null.
  const TradeAccount* find_number(uint32_t number) const;
  void release() {
    rows_.clear();
    rows_.shrink_to_fit();
  }

 private:
  TradeAccount* find(std::string_view code, std::string_view second_code);
  std::vector<TradeAccount> rows_;
};

// Appends every trimmed, non-empty "|"-separated item of `items` that the
// description lacks, as "|" and the item, while the description stays
// within its 1024 bytes; an item that does not fit is skipped.
void merge_description(char (&description)[1024], std::string_view items);

// ---- messages, worker command 5, saving ----
void on_trade_account(Library& lib, const Msg00C8_TradeAccount& message);
void on_trade_accounts_restart(Library& lib);
void run_book_trade_accounts(Library& lib);
// Writes acnt.dat whole; false (no file left) when it cannot.
bool save_trade_accounts(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_trade_accounts(Library& lib);
KelapiResult get_trade_account(Library& lib, uint32_t number, KelapiTrdAccountRecord* record);
KelapiResult get_trade_account_ex(Library& lib, uint32_t number, KelapiTrdAccountRecordEx* record, uint32_t size);

}  // namespace kelda::kelapi
