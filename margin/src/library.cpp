// Set-up, classes, rule texts and the shared helpers of the calculations.
#include "library.h"

#include <cmath>
#include <cstring>

#include "rule_parser.h"

namespace kelda::margin {

namespace {
bool row_size_allowed(int32_t size) { return size == 248 || size == 264 || size == 272 || size == 280; }
}  // namespace

int64_t truncate_quantity(double value) noexcept {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int64_t>(value);
}

int32_t clamp_to_int32(int64_t value) noexcept {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

Library::~Library() { drop_rules(); }

Outcome Library::set_memory_management(MargoAllocCallback alloc, MargoFreeCallback free,
                                       MargoReallocCallback realloc) {
  if (initialised_) return failed(MARGO_ERROR_STATE);
  set_memory_hooks(MargoMemoryCallbacks{alloc, free, realloc});
  return succeeded();
}

Outcome Library::set_limit_callbacks(const MargoLimitCallbacks& callbacks) {
  if (initialised_) return failed(MARGO_ERROR_STATE);
  limits_ = callbacks;
  return succeeded();
}

Outcome Library::set_param_callbacks(const MargoParamCallbacks& callbacks) {
  if (initialised_) return failed(MARGO_ERROR_STATE);
  params_ = callbacks;
  return succeeded();
}

Outcome Library::init(int32_t type, int32_t money_limit_size, int32_t depo_limit_size) {
  if (initialised_) return failed(MARGO_ERROR_STATE);
  if (!limits_.findMoneyLimit || !limits_.getMoneyLimit || !limits_.findDepoLimit || !limits_.getDepoLimit ||
      !params_.paramIndex || !params_.paramValue) {
    return failed(MARGO_ERROR_MISSING);
  }
  if (type == 1) {
    if (money_limit_size != MARGO_MONEY_LIMIT_SIZE_TYPE1 || depo_limit_size != MARGO_DEPO_LIMIT_SIZE_TYPE1) {
      return failed(MARGO_ERROR_SIZE);
    }
  } else if (type == 2) {
    if (money_limit_size != MARGO_MONEY_LIMIT_SIZE_TYPE2 || depo_limit_size != MARGO_DEPO_LIMIT_SIZE_TYPE2) {
      return failed(MARGO_ERROR_SIZE);
    }
  } else {
    return failed(MARGO_ERROR_UNKNOWN_TYPE);
  }
  initialised_ = true;
  type_ = type;
  return succeeded();
}

Outcome Library::add_class(const MargoClass* cls, const MargoSecurity* securities) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!cls || !securities) return failed(MARGO_ERROR_MISSING);
  MargoClass copy;
  std::memcpy(&copy, cls, sizeof copy);
  switch (tables_.add_class(copy, securities)) {
    case Tables::AddResult::ignored:
      return succeeded();
    case Tables::AddResult::present:
      return failed(MARGO_ERROR_CLASS_PRESENT, TRUE);
    case Tables::AddResult::bad_count:
      return failed(MARGO_ERROR_SIZE);
    case Tables::AddResult::added:
      break;
  }
  try {
    const auto firms = all_firms();
    refresh_rules(firms, tables_);
  } catch (...) {
    tables_.remove_last_class();
    throw;
  }
  return succeeded();
}

Outcome Library::set_rule_text(const char* firm_id, const char* text) {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!firm_id || !text) return failed(MARGO_ERROR_MISSING);
  const std::string_view id(firm_id, ::strnlen(firm_id, kMaxCodeLength + 1));
  if (id.size() > kMaxCodeLength) return failed(MARGO_ERROR_SIZE);
  const Code key = *Code::from(id);

  auto firm = parse_rule_text(key, text);
  FirmRules* parsed = firm.get();
  refresh_rules(std::span<FirmRules* const>(&parsed, 1), tables_);

  if (const auto it = firm_by_id_.find(key); it != firm_by_id_.end()) {
    // Same place in the array; the old sets go, and with them their handles.
    firms_[static_cast<std::size_t>(it->second)] = std::move(firm);
  } else {
    reserve_more(firms_, 1);
    firm_by_id_.emplace(key, static_cast<int32_t>(firms_.size()));
    firms_.push_back(std::move(firm));
  }
  return succeeded();
}

Outcome Library::cleanup_rules() {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  drop_rules();
  return succeeded();
}

Outcome Library::cleanup() {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  drop_rules();
  tables_.clear();
  return succeeded();
}

void Library::reset() noexcept {
  // Every block goes back through the hooks it came from before they change.
  firms_ = Vec<Owned<FirmRules>>();
  firm_by_id_ = HashMap<Code, int32_t, CodeHash>();
  tables_ = Tables();
  handles_.reset();
  initialised_ = false;
  type_ = 0;
  limits_ = {};
  params_ = {};
  price_params_ = {};
  set_memory_hooks({});
}

void Library::drop_rules() noexcept {
  firm_by_id_.clear();
  firms_.clear();
}

FirmRules* Library::find_firm(std::string_view firm_id) const {
  const auto key = Code::from(firm_id);
  if (!key) return nullptr;
  const auto it = firm_by_id_.find(*key);
  return it == firm_by_id_.end() ? nullptr : firms_[static_cast<std::size_t>(it->second)].get();
}

Vec<FirmRules*> Library::all_firms() const {
  Vec<FirmRules*> firms;
  firms.reserve(firms_.size());
  for (const auto& firm : firms_) firms.push_back(firm.get());
  return firms;
}

std::optional<Outcome> Library::check_bound_row(const MargoMarginalRow* row, RuleSet** set) const {
  if (!initialised_) return failed(MARGO_ERROR_STATE);
  if (!row) return failed(MARGO_ERROR_MISSING);
  // A record too short to hold its binding word is not read further.
  if (row->size < static_cast<int32_t>(offsetof(MargoMarginalRow, firmId))) return failed(MARGO_ERROR_SIZE);
  RuleSet* bound = handles_.resolve(row->binding);
  if (!bound) return failed(MARGO_ERROR_MISSING);
  if (!row_size_allowed(row->size)) return failed(MARGO_ERROR_SIZE);
  *set = bound;
  return std::nullopt;
}

bool Library::ensure_price_params() {
  auto ask = [this](int32_t& index, const char* name) {
    if (index < 0) {
      const int32_t answer = params_.paramIndex(name);
      index = answer < 0 ? -1 : answer;
    }
    return index >= 0;
  };
  bool known = ask(price_params_.offer, "OFFER");
  known = ask(price_params_.bid, "BID") && known;
  known = ask(price_params_.previous, "PREVPRICE") && known;
  known = ask(price_params_.last, "LAST") && known;
  if (tables_.has_bond_class()) {
    known = ask(price_params_.accrued, "ACCRUEDINT") && known;
  } else {
    price_params_.accrued = -1;
  }
  return known;
}

double Library::param_value(int32_t security, int32_t index) const {
  const MargoSecurity& sec = tables_.security(security);
  return params_.paramValue(tables_.class_entry(sec.classIndex).record.classId, sec.securityId, index);
}

double Library::bond_price(int32_t security, double price) const {
  const MargoSecurity& sec = tables_.security(security);
  if (!(tables_.class_entry(sec.classIndex).record.flags & MARGO_CLASS_BOND) || price_params_.accrued < 0) {
    return price;
  }
  return param_value(security, price_params_.accrued) + sec.faceValue * price * 0.01;
}

std::optional<Prices> Library::prices_of(int32_t security, const FirmRules& firm) const {
  double offer = param_value(security, price_params_.offer);
  double bid = param_value(security, price_params_.bid);
  double previous = param_value(security, price_params_.previous);
  const double last = param_value(security, price_params_.last);
  if (is_missing_price(previous) && is_missing_price(last)) return std::nullopt;

  Prices p;
  // The current price: last, else offer, else previous, chosen before the
  // missing prices are filled in.
  p.current = !is_missing_price(last) ? last : (!is_missing_price(offer) ? offer : previous);
  if (is_missing_price(offer)) offer = !is_missing_price(last) ? last : previous;
  if (is_missing_price(bid)) bid = !is_missing_price(last) ? last : previous;
  if (is_missing_price(previous)) previous = last;

  const MargoSecurity& sec = tables_.security(security);
  p.unit = firm.limits_in_lots && sec.lotSize > 0 ? static_cast<double>(sec.lotSize) : 1.0;
  if ((tables_.class_entry(sec.classIndex).record.flags & MARGO_CLASS_BOND) && price_params_.accrued >= 0) {
    const double accrued = param_value(security, price_params_.accrued);
    auto convert = [&](double price) { return accrued + sec.faceValue * price * 0.01; };
    offer = convert(offer);
    bid = convert(bid);
    previous = convert(previous);
    p.current = convert(p.current);
  }
  p.offer = offer;
  p.bid = bid;
  p.previous = previous;
  return p;
}

}  // namespace kelda::margin
