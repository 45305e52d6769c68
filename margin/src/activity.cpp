// Planned-trade figures: what a client may buy and sell of a security.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "library.h"
#include "row_figures.h"

namespace kelda::margin {
namespace {

constexpr std::size_t kTextField = sizeof(MargoMarginalRow::firmId);

bool activity_size_allowed(int32_t size) {
  return size == MARGO_ACTIVITY_SIZE_SHORT || size == MARGO_ACTIVITY_SIZE_LONG;
}

// Sums over the client's securities limits in one security, own accounts only.
struct PositionTotals {
  int64_t opening = 0, q1 = 0, current = 0, q2 = 0, q3 = 0, q4 = 0;
  double g = 0;
};

int32_t to_quantity(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX)); }

}  // namespace

Outcome Library::init_activity(const MargoMarginalRow* row, MargoActivity* activity) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!row || !activity) return failed(MARGO_ERROR_MISSING);
  RuleSet* set = nullptr;
  if (auto refused = check_bound_row(row, &set)) return *refused;
  if (!activity_size_allowed(activity->size)) return failed(MARGO_ERROR_SIZE);

  const int32_t security = tables_.security_by_ids(activity->classId, activity->securityId);
  if (security < 0) return failed(MARGO_ERROR_UNKNOWN_SECURITY);
  const int32_t class_index = tables_.security(security).classIndex;
  const bool margin = is_margin_security(*set, security, class_index);
  activity->securityIndex = security;
  activity->classIndex = class_index;
  activity->isMargin = margin ? 1 : 0;
  activity->isAsset = is_asset_security(*set, security, class_index) ? 1 : 0;
  activity->isShortRestricted = margin && is_short_restricted(*set, security, class_index) ? 1 : 0;
  return succeeded();
}

Outcome Library::calc_activity(const MargoMarginalRow* row, MargoActivity* activity, double price) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!row || !activity) return failed(MARGO_ERROR_MISSING);
  RuleSet* set = nullptr;
  if (auto refused = check_bound_row(row, &set)) return *refused;
  if (!activity_size_allowed(activity->size)) return failed(MARGO_ERROR_SIZE);

  const int32_t security = activity->securityIndex;
  if (security < 0 || security >= tables_.security_count()) return failed(MARGO_ERROR_UNKNOWN_SECURITY);
  if (!ensure_price_params()) return failed(MARGO_ERROR_NO_PRICE_PARAM);
  const FirmRules& firm = *set->firm;
  const auto prices = prices_of(security, firm);
  if (!prices) return failed(MARGO_ERROR_NO_PRICE);
  const bool given = price > 0;
  const double given_price = given ? bond_price(security, price) : 0.0;

  const MargoMarginalRow r = copy_of_row(*row);
  const int32_t size = r.size;

  // The client's position in the security.
  PositionTotals t;
  {
    const std::string_view firm_id = field_text(r.firmId, kTextField);
    const std::string_view client = field_text(r.clientCode, kTextField);
    const std::string_view code = tables_.security_code(security);
    int32_t start = -1;
    limits_.findDepoLimit(CText(firm_id).c_str(), CText(client).c_str(), CText(code).c_str(), "", &start);
    walk_depo_limits(start, firm_id, client, [&](const MargoDepoLimit& d) {
      if (field_text(d.securityCode, sizeof d.securityCode) != code) return false;
      if (trade_account_kind(firm, field_text(d.tradeAccount, sizeof d.tradeAccount)) != 1) return true;
      t.opening += d.openingQuantity;
      t.q1 += d.quantity1;
      t.current += d.currentQuantity;
      t.q2 += d.quantity2;
      t.q3 += d.quantity3;
      t.q4 += d.quantity4;
      t.g += d.amountG;
      return true;
    });
  }

  const bool margin = activity->isMargin != 0;
  const bool asset = activity->isAsset != 0;
  const bool restricted = activity->isShortRestricted != 0;
  const double unit = prices->unit;
  const double offer = prices->offer;
  const double bid = prices->bid;
  const double p = given ? given_price : offer;
  const int64_t cq = t.current;
  int64_t working = 0;
  int64_t buy = 0;
  int64_t sell = 0;

  if (r.lag2) {
    working = cq;
    const int64_t m = std::min<int64_t>(cq, 0);
    const int64_t debt = std::min<int64_t>(t.q4 + m, 0);
    double b = 0;
    if (margin && asset) {
      double v = r.purchaseLimit / unit - static_cast<double>(m) * offer;
      if (!(v > 0)) v = 0;
      b = (v - static_cast<double>(debt) * offer) / p;
    } else if (asset) {
      b = debt < 0 ? static_cast<double>(-debt) : r.collateralPurchaseLimit / (unit * p);
    } else if (!margin && restricts_non_margin_buy(*set) && size >= 264) {
      b = cq < 0 ? static_cast<double>(-debt)
                 : std::max(std::min(r.nonMarginPurchaseLimit, r.ownCurrentAmount - r.amountESum) / (unit * p), 0.0);
    } else if (cq < 0) {
      // The limit as it would be with the debt covered.
      MargoMarginalRow covered = r;
      std::memset(&covered.ownCurrentAmount, 0, sizeof covered - offsetof(MargoMarginalRow, ownCurrentAmount));
      const double s = static_cast<double>(debt) * offer * unit;
      covered.freeMoney += s;
      covered.heldValue += s;
      covered.shortValue -= s;
      b = std::max(lag2_purchase_limit(covered, 0.0) / (unit * p), 0.0) - static_cast<double>(debt);
    } else {
      b = std::max(r.nonMarginPurchaseLimit / (unit * p), 0.0);
    }
    buy = truncate_quantity(b);
    if (firm.check_max_credit && !r.leverageFromLimit && r.leverageNumerator > 0 && size >= 264) {
      buy = std::min(buy, truncate_quantity((r.ownCurrentAmount - r.amountESum + r.leverageNumerator) / (unit * p)));
    }
    buy = std::max(buy, -debt);

    const double sell_price = given ? given_price : bid;
    const int64_t base = std::max<int64_t>(cq - t.q3, 0);
    if (margin && !restricted) {
      const double n = std::max(sell_price, bid) * unit;
      const double held = static_cast<double>(std::max<int64_t>(cq, 0));
      double z = 0;
      if (asset || cq <= 0) {
        const double k = std::min(std::fabs(std::min(r.shortValue + r.freeMoney, 0.0)) / n, held);
        z = r.availableLimitCopy / n + k;
      } else {
        const double pv = held * bid * unit + r.freeMoney;
        double a = r.longAssetValue + pv + r.shortValue + (size == 280 ? r.freeAfterPortfolio : 0.0);
        if (a < 0 && !(r.longAssetValue + pv + r.shortValue < 0)) a = 0;
        const double free = r.leverage * a + r.shortValue - r.heldForSaleValue +
                            std::min(pv + r.shortValue - r.collateral, 0.0);
        const double k = std::min(std::fabs(std::min(pv + r.shortValue, 0.0)) / n, held);
        z = free / n + k;
      }
      if (!(z > 0)) z = 0;
      sell = truncate_quantity(z + static_cast<double>(base));
    } else {
      sell = base;
    }
    if (firm.check_max_credit && t.q1 > 0) sell = std::min(sell, t.q1 + cq - t.q3);
    sell = std::max(sell, base);
  } else {
    working = cq + t.q2 - t.q1;
    buy = truncate_quantity((margin ? r.purchaseLimit : r.nonMarginPurchaseLimit) / (unit * p));
    sell = std::max<int64_t>(cq + t.q2 - t.q3, 0);
  }

  const int32_t working_out = clamp_to_int32(working);
  activity->workingQuantity = working_out;
  activity->buyQuantity = to_quantity(buy);
  activity->sellQuantity = to_quantity(sell);
  activity->currentValue = working_out != 0 ? working_out * prices->current * unit : 0.0;
  if (activity->size == MARGO_ACTIVITY_SIZE_LONG) {
    activity->previousValue = working_out != 0 ? working_out * prices->previous * unit : 0.0;
  }
  return succeeded();
}

}  // namespace kelda::margin
