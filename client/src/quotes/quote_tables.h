// The quote table (every quote the server publishes, by quote number) and
// the order books of the securities the caller subscribed to.
//
// Quotes are kept as 128-byte records in ascending order of quote number
// (binary search; a record with a known number replaces the old one). An
// order book is built level by level into a pending array and swapped in
// whole when the server says it is complete, so a reader never sees half a
// book.
//
// Not thread-safe: used under the library lock. Allocation failure throws
// std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "messages/records_values.h"

namespace kelda::kelapi {

// A quote as it is kept and journalled: the 0x804F record with the
// security's index in place of its server id.
using QuoteRecord = Msg804F_Quote;
// An order-book level: the 0x8050 record with the security's index.
using BookLevel = Msg8050_OrderBookLevel;

inline constexpr std::size_t kQuoteGrowth = 100;
// A book is given out with a 16-bit count.
inline constexpr std::size_t kMaxBookLevels = 65535;

class QuoteTable {
 public:
  std::size_t size() const noexcept { return rows_.size(); }
  const QuoteRecord& at(std::size_t i) const { return *rows_[i]; }
  // Adds or replaces the quote with the record's number.
  void put(const QuoteRecord& q);
  // The quote with the number, or null.
  const QuoteRecord* find(int32_t number) const;
  void clear();

 private:
  std::vector<std::unique_ptr<QuoteRecord>> rows_;
};

struct OrderBook {
  std::vector<BookLevel> current;
  std::vector<BookLevel> pending;
};

struct QuoteTables {
  QuoteTable quotes;
  std::unordered_map<int32_t, OrderBook> books;  // by security index
  void reset() {
    quotes.clear();
    books.clear();
  }
};

}  // namespace kelda::kelapi
