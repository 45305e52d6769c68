// Figures of a portfolio row: the sums of the client's limits, the figures
// computed from them, and what the planned-trade figures share with them.
#pragma once

#include "margin/kelda_margin.h"

namespace kelda::margin {

struct FirmRules;

// The client's money limits of the kinds the firm counts, summed as the
// limits hold them (hundredths).
struct MoneySums {
  double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
  double a13 = 0, c13 = 0;  // own limits: kinds 1 and 3
  // The leverage of the first own limit that gives one (type-2 limits).
  double leverage = 0;
  bool leverage_from_limit = false;
};

// The client's securities positions valued at their prices.
struct DepoSums {
  // Weighted opening values of own accounts and of all accounts, weighted
  // current short and long values of all accounts.
  double p13 = 0, all = 0, shorts = 0, longs = 0;
  // Opening and current values: the money's, to which each position adds.
  double opening_value = 0, current_value = 0;
  // Weighted current values of own accounts.
  double short_value = 0, long_asset_value = 0, long_margin_value = 0, long_other_asset_value = 0;
  double collateral = 0, margin_collateral = 0, other_collateral = 0;
  double held_for_sale_value = 0;
};

// Writes the row's figures (everything from freeMoney on, the leverage and
// leverageFromLimit) from the sums; the row's lag2 flag chooses the purchase
// limits. Touches nothing but `row`.
void compute_row_figures(const MoneySums& money, const DepoSums& depo, const FirmRules& firm, MargoMarginalRow& row);

// The purchase limit of a lag-2 client for securities that are neither margin
// securities nor assets, from the row's figures and the uncovered amount u.
double lag2_purchase_limit(const MargoMarginalRow& row, double u);

// A full-size copy of the caller's row: its first `size` bytes, the rest 0.
MargoMarginalRow copy_of_row(const MargoMarginalRow& row);

}  // namespace kelda::margin
