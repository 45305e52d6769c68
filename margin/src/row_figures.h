// Figures of a portfolio row shared with the planned-trade figures.
#pragma once

#include "margin/kelda_margin.h"

namespace kelda::margin {

// The purchase limit of a lag-2 client for securities that are neither margin
// securities nor assets, from the row's figures and the uncovered amount u.
double lag2_purchase_limit(const MargoMarginalRow& row, double u);

// A full-size copy of the caller's row: its first `size` bytes, the rest 0.
MargoMarginalRow copy_of_row(const MargoMarginalRow& row);

}  // namespace kelda::margin
