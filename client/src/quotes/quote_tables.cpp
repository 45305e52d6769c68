#include "quotes/quote_tables.h"

#include "core/bsearch_rows.h"

namespace kelda::kelapi {
namespace {

int compare_number(const int32_t& number, const std::unique_ptr<QuoteRecord>& row) {
  return number < row->number ? -1 : (number > row->number ? 1 : 0);
}

}  // namespace

void QuoteTable::put(const QuoteRecord& q) {
  std::size_t position = 0;
  const int64_t found = bsearch_rows(q.number, rows_.data(), rows_.size(), compare_number, &position);
  if (found >= 0) {
    *rows_[static_cast<std::size_t>(found)] = q;
    return;
  }
  if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() + kQuoteGrowth);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(position), std::make_unique<QuoteRecord>(q));
}

const QuoteRecord* QuoteTable::find(int32_t number) const {
  const int64_t found = bsearch_rows(number, rows_.data(), rows_.size(), compare_number);
  return found < 0 ? nullptr : rows_[static_cast<std::size_t>(found)].get();
}

void QuoteTable::clear() {
  rows_.clear();
  rows_.shrink_to_fit();
}

}  // namespace kelda::kelapi
