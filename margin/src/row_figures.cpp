// Binding a portfolio row to its rules, and the row's figures.
#include "row_figures.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "library.h"

namespace kelda::margin {
namespace {

constexpr std::size_t kFiguresOffset = offsetof(MargoMarginalRow, freeMoney);
constexpr std::size_t kTextField = sizeof(MargoMarginalRow::firmId);

bool row_size_allowed(int32_t size) { return size == 248 || size == 264 || size == 272 || size == 280; }

// Start of a limit walk: the caller's position, or the find callback's.
template <class Find>
int32_t walk_start(const int32_t* position, Find&& find) {
  if (position) return *position;
  int32_t found = -1;
  find(&found);
  return found;
}

// Value of a quantity at a price: no quantity is worth 0, also at an
// infinite price (where the product alone would be NaN).
double value_at(double quantity, double price, double unit) { return quantity == 0 ? 0.0 : quantity * price * unit; }

}  // namespace

MargoMarginalRow copy_of_row(const MargoMarginalRow& row) {
  MargoMarginalRow copy;
  std::memset(&copy, 0, sizeof copy);
  const auto size = static_cast<std::size_t>(std::clamp<int32_t>(row.size, 0, sizeof copy));
  std::memcpy(&copy, &row, size);
  return copy;
}

Outcome Library::init_row(MargoMarginalRow* row) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!row) return failed(MARGO_ERROR_MISSING);
  if (!row_size_allowed(row->size)) return failed(MARGO_ERROR_SIZE);
  // Unbound from here on: a binding that fails (unknown firm, no memory for
  // a handle) leaves no earlier binding behind.
  row->binding = 0;
  row->lag2 = 0;
  const std::string_view firm_id = field_text(row->firmId, kTextField);
  const std::string_view client = field_text(row->clientCode, kTextField);
  FirmRules* firm = find_firm(firm_id);
  if (!firm) return failed(MARGO_ERROR_UNKNOWN_FIRM);
  RuleSet& set = rules_for_client(*firm, client);
  const uint32_t handle = set.handle_in(handles_);
  row->binding = handle;
  row->lag2 = handle != 0 && lag_of(*firm, client) == 2 ? 1 : 0;
  return handle != 0 ? succeeded() : failed(MARGO_ERROR_SIZE);
}

Outcome Library::calc_row(MargoMarginalRow* row, int32_t* money_position, int32_t* depo_position) {
  RuleSet* set = nullptr;
  if (auto refused = check_bound_row(row, &set)) return *refused;
  const int32_t size = row->size;

  // Work on a full-size copy; only the row's own bytes go back.
  MargoMarginalRow w = copy_of_row(*row);
  w.leverageFromLimit = 0;
  std::memset(reinterpret_cast<char*>(&w) + kFiguresOffset, 0, sizeof w - kFiguresOffset);
  auto write_back = [&] {
    row->leverageFromLimit = w.leverageFromLimit;
    std::memcpy(reinterpret_cast<char*>(row) + kFiguresOffset, reinterpret_cast<const char*>(&w) + kFiguresOffset,
                static_cast<std::size_t>(size) - kFiguresOffset);
  };
  if (!ensure_price_params()) {
    write_back();
    return failed(MARGO_ERROR_NO_PRICE_PARAM);
  }

  const std::string_view firm_id = field_text(w.firmId, kTextField);
  const std::string_view client = field_text(w.clientCode, kTextField);
  const MoneySums money = money_sums(*set->firm, firm_id, client, money_position);
  DepoSums start;
  start.opening_value = money.a * 0.01;
  start.current_value = money.c * 0.01;
  const DepoSums depo = depo_sums(*set, firm_id, client, w.lag2 != 0, start, depo_position);
  compute_row_figures(money, depo, *set->firm, w);
  write_back();
  return succeeded();
}

MoneySums Library::money_sums(const FirmRules& firm, std::string_view firm_id, std::string_view client,
                              int32_t* position) const {
  MoneySums m;
  const CText firm_text(firm_id), client_text(client);
  const int32_t start = walk_start(position, [&](int32_t* p) {
    limits_.findMoneyLimit(firm_text.c_str(), client_text.c_str(), "", "", p);
  });
  const int64_t stop = walk_money_limits(start, firm_id, client, [&](const MargoMoneyLimit& limit) {
    const int32_t kind = board_tag_kind(firm, field_text(limit.boardTag, sizeof limit.boardTag));
    if (kind == 0) return true;
    m.a += limit.amountA;
    m.b += limit.amountB;
    m.c += limit.amountC;
    m.d += limit.amountD;
    m.e += limit.amountE;
    m.f += limit.amountF;
    if (kind == 1 || kind == 3) {
      m.a13 += limit.amountA;
      m.c13 += limit.amountC;
    }
    if (!m.leverage_from_limit && kind == 1 && type_ == 2 && limit.leveragePercent >= 0) {
      m.leverage = limit.leveragePercent * 0.01;
      m.leverage_from_limit = true;
    }
    return true;
  });
  if (position) *position = clamp_to_int32(stop);
  return m;
}

DepoSums Library::depo_sums(const RuleSet& set, std::string_view firm_id, std::string_view client, bool lag2,
                            DepoSums s, int32_t* position) const {
  const FirmRules& firm = *set.firm;
  const CText firm_text(firm_id), client_text(client);
  const int32_t start = walk_start(position, [&](int32_t* p) {
    limits_.findDepoLimit(firm_text.c_str(), client_text.c_str(), "", "", p);
  });
  const int64_t stop = walk_depo_limits(start, firm_id, client, [&](const MargoDepoLimit& d) {
    const std::string_view code = field_text(d.securityCode, sizeof d.securityCode);
    bool asset = false;
    bool margin = false;
    int32_t security = asset_security_by_code(set, code);
    if (security >= 0) {
      asset = true;
      margin = is_margin_security(set, security, tables_.security(security).classIndex);
    } else {
      security = margin_security_by_code(set, code);
      if (security >= 0) {
        margin = true;
      } else {
        security = secondary_security(firm, tables_, code);
        if (security < 0) return true;
      }
    }
    const auto prices = prices_of(security, firm);
    if (!prices) return true;
    const int32_t kind = trade_account_kind(firm, field_text(d.tradeAccount, sizeof d.tradeAccount));
    const bool own = kind == 1 || kind == 3;
    const Weight weight = weight_of(firm, code);
    const double unit = prices->unit;
    const double wq = lag2 ? static_cast<double>(d.currentQuantity)
                           : static_cast<double>(int64_t{d.currentQuantity} + d.quantity2 - d.quantity1);

    const double oq = d.openingQuantity;
    if (oq < 0) {
      const double ov = oq * prices->previous * unit;
      const double t = ov * weight.short_factor;
      if (own) s.p13 += t;
      s.all += t;
      s.opening_value += ov;
    } else if (oq > 0) {
      const double ov = oq * prices->previous * unit;
      const double t = ov * weight.long_factor;
      if (asset) {
        if (own) s.p13 += t;
        s.all += t;
      }
      s.opening_value += ov;
    }
    if (wq < 0) {
      const double cv = wq * prices->offer * unit;
      const double t = cv * weight.short_factor;
      if (own) s.short_value += t;
      s.shorts += t;
      s.current_value += cv;
    } else if (wq > 0) {
      const double cv = wq * prices->bid * unit;
      const double t = cv * weight.long_factor;
      if (asset) {
        if (own) {
          (margin ? s.long_margin_value : s.long_other_asset_value) += t;
          s.long_asset_value += t;
        }
        s.longs += t;
      }
      s.current_value += cv;
    }
    if (asset) {
      const double g = d.amountG * 0.01 + value_at(std::min(wq, 0.0), prices->offer, unit);
      if (g > 0) {
        (margin ? s.margin_collateral : s.other_collateral) += g;
        s.collateral += g;
      }
    }
    s.held_for_sale_value += value_at(std::max(d.quantity3 - std::max(wq, 0.0), 0.0), prices->offer, unit);
    return true;
  });
  if (position) *position = clamp_to_int32(stop);
  return s;
}

void compute_row_figures(const MoneySums& m, const DepoSums& s, const FirmRules& firm, MargoMarginalRow& w) {
  w.leverageFromLimit = m.leverage_from_limit ? 1 : 0;
  w.openingValue = s.opening_value;
  w.currentValue = s.current_value;
  w.ownCurrentAmount = m.c13 * 0.01;
  w.amountESum = m.e * 0.01;
  w.shortValue = s.short_value;
  w.longAssetValue = s.long_asset_value;
  w.longMarginValue = s.long_margin_value;
  w.longOtherAssetValue = s.long_other_asset_value;
  w.collateral = s.collateral;
  w.marginCollateral = s.margin_collateral;
  w.otherCollateral = s.other_collateral;
  w.heldForSaleValue = s.held_for_sale_value;

  w.openingOwnValue = m.a13 * 0.01 + s.all;
  const double x = m.a * 0.01 + s.p13;
  if (m.leverage_from_limit) {
    w.leverage = m.leverage;
  } else {
    w.leverage = x < 1e-8 ? 0.0 : m.b * 0.01 / x;
  }
  w.leverageNumerator = m.b * 0.01;
  const double w13 = m.c13 * 0.01;
  const double held = m.f * 0.01;
  w.freeMoney = w13 - held;
  w.portfolioValue = w.shortValue + w.longAssetValue + w.freeMoney;
  double r = m.c * 0.01 - held + s.longs + s.shorts;
  const double u = r - w.portfolioValue;
  if (w.portfolioValue >= 0 && r < 0) r = 0;
  w.buyingPower = w.leverage * r;
  const double v = w.shortValue + w.freeMoney - w.collateral;
  w.availableLimit = w.buyingPower + w.shortValue - w.heldForSaleValue + std::min(v, 0.0);
  w.availableLimitCopy = w.availableLimit;
  const double level_base = w.longAssetValue + std::max(w13, 0.0);
  const double level_top = w.shortValue + w.longAssetValue + w13;
  if (level_base > 0) {
    w.marginLevel = level_top / level_base * 100;
  } else {
    w.marginLevel = level_top < 0 ? -99 : 100;
  }
  w.fundsHeld = held;
  if (w.lag2) {
    w.purchaseLimit = w.availableLimit + std::max(v, 0.0);
    w.heldValue = w.heldForSaleValue - w.shortValue + w.marginCollateral + w.longMarginValue;
    const double y = w.buyingPower - w.heldValue;
    w.collateralPurchaseLimit = w.portfolioValue + std::min(y, 0.0) - w.longOtherAssetValue - w.otherCollateral;
    w.nonMarginPurchaseLimit = lag2_purchase_limit(w, u);
  } else {
    const double e1 = m.e * 0.01;
    w.purchaseLimit = (m.c + m.d) * 0.01 - e1;
    w.nonMarginPurchaseLimit = m.c * 0.01 - e1 + (firm.volume ? w.shortValue : 0.0);
  }
  w.riskRatio = w.marginLevel <= 0 ? -1.0 : 100 / w.marginLevel - 1;
  w.freeAfterPortfolio = u;
}

double lag2_purchase_limit(const MargoMarginalRow& row, double u) {
  const double l = std::max(row.leverage, 0.0);
  const double pv = row.portfolioValue;
  const double n = row.shortValue - row.heldForSaleValue;
  const double f = row.freeMoney + row.shortValue - row.collateral;
  if (pv <= 0) return 0;

  double c1 = 0, c2 = 0, s = 0;
  if (l <= 0) {
    c1 = c2 = (f >= 0 && n >= 0) ? f : 0;
  } else {
    if (f >= 0) {
      if (u <= 0) c1 = (f < pv + u || n < 0) ? 0 : std::min(f, pv);
      c2 = std::min(f, n / l + pv + u);
      if (c2 < 0) c2 = 0;
    }
    if (pv > f) {
      s = ((pv + u) * l + f + n) / (l + 1);
      if (s > f) {
        s = std::max(std::min(s, pv + u), 0.0);
      } else {
        s = 0;
      }
    }
  }
  const double y1 = std::max(std::max(std::max(c1, c2), s), 0.0);

  const double h = pv - row.longOtherAssetValue - row.otherCollateral;
  double y2 = 0;
  if (l <= 0) {
    y2 = h - row.heldValue;
  } else {
    double z = pv + u;
    const double b = z - row.heldValue / l;
    const double t = (z * l + h - row.heldValue) / (l + 1);
    if (!(t > b)) {
      z = 0;
    } else if (t < z) {
      z = t;
    }
    const double free_part = h - row.heldValue >= pv + u ? h - row.heldValue : 0.0;
    y2 = std::max(std::max(free_part, std::min(h, b)), z);
  }
  return std::min(y1, y2);
}

}  // namespace kelda::margin
