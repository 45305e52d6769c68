// Negotiated deals, negotiated trades and reports on negotiated deals: three
// tables of the rows the server reports, each kept in arrival order and
// found by sequence number through an index, booked together, journalled,
// and read by the caller by row number (sequence number plus one).
//
// Everything runs under the library lock. Allocation failure throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "core/tagged_memory.h"
#include "keldaapi/keldaapi.h"
#include "messages/records_trades.h"

namespace kelda::kelapi {

class Library;

using NegDealRow = Msg8079_NegDeal;
using NegTradeRow = Msg807F_NegTrade;
using NegReportRow = Msg807E_NegReport;

// Rows in arrival order; a row with a known sequence number is replaced in
// place.
template <typename Row>
class ArrivalRows {
 public:
  std::size_t size() const noexcept { return rows_.size(); }
  const Row& at(std::size_t i) const { return rows_[i]; }
  // True once the table has held a row (until it is released).
  bool ever_held() const noexcept { return ever_held_; }
  const Row& put(const Row& row) {
    const auto [it, added] = index_.try_emplace(row.sequence, rows_.size());
    if (!added) return rows_[it->second] = row;
    try {
      if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() + 100);
      rows_.push_back(row);
    } catch (...) {
      index_.erase(it);
      throw;
    }
    ever_held_ = true;
    return rows_.back();
  }
  const Row* find(int32_t sequence) const {
    const auto it = index_.find(sequence);
    return it == index_.end() ? nullptr : &rows_[it->second];
  }
  // Drops the rows, keeping the room.
  void clear_rows() {
    rows_.clear();
    index_.clear();
  }
  void release() {
    clear_rows();
    rows_.shrink_to_fit();
    ever_held_ = false;
  }

 private:
  std::vector<Row, TaggedAllocator<Row, AllocTag::negdeals>> rows_;
  std::unordered_map<int32_t, std::size_t> index_;
  bool ever_held_ = false;
};

struct NegotiatedTables {
  ArrivalRows<NegDealRow> deals;
  ArrivalRows<NegTradeRow> trades;
  ArrivalRows<NegReportRow> reports;
  void clear_rows() {
    deals.clear_rows();
    trades.clear_rows();
    reports.clear_rows();
  }
  void release() {
    deals.release();
    trades.release();
    reports.release();
  }
};

// ---- messages, worker command 11, journal ----
void on_neg_deal(Library& lib, const Msg8079_NegDeal& m);
void on_neg_trade(Library& lib, const Msg807F_NegTrade& m);
void on_neg_report(Library& lib, const Msg807E_NegReport& m);
void run_book_negotiated(Library& lib);
// Journal records of the three tables, the older forms brought to the newest
// one. False for a deal or negotiated-trade record of a size its tag does not
// have, which ends the replay; a report record of another size is skipped.
// The records of the forms 0x8011, 0x00F7, 0x00DE and 0x007D (tags 44, 37, 38
// and 23), whose fields are not known, are skipped.
bool replay_negotiated(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- exports (lock taken inside) ----
KelapiResult book_negotiated(Library& lib);
KelapiResult get_neg_deal(Library& lib, uint32_t number, KelapiNegDealRecord* record, uint32_t size,
                          uint32_t expected_size);
KelapiResult get_neg_trade(Library& lib, uint32_t number, KelapiNegTradeRecord* record, uint32_t size,
                           uint32_t expected_size);
KelapiResult get_neg_report(Library& lib, uint32_t number, KelapiNegReportRecord* record, uint32_t size,
                            uint32_t expected_size);

}  // namespace kelda::kelapi
