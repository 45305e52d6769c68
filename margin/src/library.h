// The margin library's state and the bodies of its exports.
//
// One Library object holds the process-wide state: callbacks, class and
// security tables, firm rule sets, the price parameter index cache and the
// rule-set handles. Each operation returns an Outcome (the export's result and
// the last-error code to report) and never lets an exception out except
// std::bad_alloc, which the export turns into MARGO_ERROR_OUT_OF_MEMORY;
// failing operations leave the tables as they were. Not thread-safe: the
// exports serialise every call with the library lock.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "handles.h"
#include "margin/kelda_margin.h"
#include "memory.h"
#include "row_figures.h"
#include "rules.h"
#include "tables.h"

namespace kelda::margin {

struct Outcome {
  BOOL result = FALSE;
  uint32_t error = MARGO_ERROR_SUCCESS;
  bool report = true;  // false: the thread's last-error value stays as it was
};

inline Outcome succeeded(BOOL result = TRUE) { return {result, MARGO_ERROR_SUCCESS, true}; }
inline Outcome failed(uint32_t error, BOOL result = FALSE) { return {result, error, true}; }

// Prices of one security, ready for the figures.
struct Prices {
  double offer = 0;
  double bid = 0;
  double previous = 0;
  double current = 0;  // last, else offer, else previous
  double unit = 1;     // trading-unit factor
};

class Library {
 public:
  Library() = default;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library();

  // Set-up and tables (library.cpp).
  Outcome set_memory_management(MargoAllocCallback alloc, MargoFreeCallback free, MargoReallocCallback realloc);
  Outcome set_limit_callbacks(const MargoLimitCallbacks& callbacks);
  Outcome set_param_callbacks(const MargoParamCallbacks& callbacks);
  Outcome init(int32_t type, int32_t money_limit_size, int32_t depo_limit_size);
  Outcome add_class(const MargoClass* cls, const MargoSecurity* securities);
  Outcome set_rule_text(const char* firm_id, const char* text);
  Outcome cleanup_rules();
  Outcome cleanup();
  // Back to the state of a freshly loaded library (tests only).
  void reset() noexcept;

  // Rows (row_figures.cpp).
  Outcome init_row(MargoMarginalRow* row);
  Outcome calc_row(MargoMarginalRow* row, int32_t* money_position, int32_t* depo_position);

  // Planned trades (activity.cpp).
  Outcome init_activity(const MargoMarginalRow* row, MargoActivity* activity);
  Outcome calc_activity(const MargoMarginalRow* row, MargoActivity* activity, double price);

  // Queries (queries.cpp).
  Outcome find_security_code(const MargoMarginalRow* row, const char* code, const MargoClass** cls,
                             int32_t* security_id, bool asset);
  Outcome get_margin_secs(const MargoMarginalRow* row, MargoMarginSecsCallback callback, intptr_t user);
  Outcome need_class_security_ids(int32_t class_id, int32_t* ids, int32_t* count);
  Outcome board_tag_applicable(const char* firm_id, const char* tag);
  Outcome limits_in_lots(const char* firm_id);

  // For tests: the number of live rule-set handles.
  uint32_t live_handles() const noexcept { return handles_.live_count(); }

 private:
  struct PriceParams {
    int32_t offer = -1;
    int32_t bid = -1;
    int32_t previous = -1;
    int32_t last = -1;
    int32_t accrued = -1;
  };

  // Checks shared by the row-taking exports: initialised, row present and
  // bound to live rules, size allowed. On success *set is the bound rule set.
  std::optional<Outcome> check_bound_row(const MargoMarginalRow* row, RuleSet** set) const;
  FirmRules* find_firm(std::string_view firm_id) const;
  Vec<FirmRules*> all_firms() const;
  void drop_rules() noexcept;

  // Asks for the price parameter indexes that are not yet known; false when
  // one stays unknown.
  bool ensure_price_params();
  // Prices of a security; nullopt when it has neither a last nor a previous price.
  std::optional<Prices> prices_of(int32_t security, const FirmRules& firm) const;
  // The bond conversion of a price, for securities of bond classes.
  double bond_price(int32_t security, double price) const;
  double param_value(int32_t security, int32_t index) const;

  // The client's money limits summed, the walk starting at *position (or
  // where the find callback says) and ending there when position is given.
  MoneySums money_sums(const FirmRules& firm, std::string_view firm_id, std::string_view client,
                       int32_t* position) const;
  // The client's securities positions valued and added to `sums`, walked as
  // money_sums walks; lag2 counts the current quantity alone.
  DepoSums depo_sums(const RuleSet& set, std::string_view firm_id, std::string_view client, bool lag2,
                     DepoSums sums, int32_t* position) const;

  // Walk the caller's money or securities limits from `start` while the
  // records belong to the firm and client, handing a copy of each to `visit`
  // (which returns false to stop early). Returns the index where the walk
  // stopped: the first record of another client, the end, or a negative start.
  template <class Record, class Visit>
  int64_t walk_limits(const Record* (*get)(int32_t), std::size_t size, int64_t start, std::string_view firm,
                      std::string_view client, Visit&& visit) const;
  template <class Visit>
  int64_t walk_money_limits(int64_t start, std::string_view firm, std::string_view client, Visit&& visit) const;
  template <class Visit>
  int64_t walk_depo_limits(int64_t start, std::string_view firm, std::string_view client, Visit&& visit) const;

  bool initialised_ = false;
  int32_t type_ = 0;
  MargoLimitCallbacks limits_{};
  MargoParamCallbacks params_{};
  PriceParams price_params_;
  HandleTable handles_;  // before the rules, which give their handles back to it
  Tables tables_;
  Vec<Owned<FirmRules>> firms_;  // in order of first arrival
  HashMap<Code, int32_t, CodeHash> firm_by_id_;
};

template <class Record, class Visit>
int64_t Library::walk_limits(const Record* (*get)(int32_t), std::size_t size, int64_t start, std::string_view firm,
                             std::string_view client, Visit&& visit) const {
  int64_t i = start;
  for (; i >= 0 && i <= INT32_MAX; ++i) {
    const Record* record = get(static_cast<int32_t>(i));
    if (!record) break;
    Record limit;
    std::memset(&limit, 0, sizeof limit);
    std::memcpy(&limit, record, size);
    if (field_text(limit.firmId, sizeof limit.firmId) != firm ||
        field_text(limit.clientCode, sizeof limit.clientCode) != client || !visit(limit)) {
      break;
    }
  }
  return i;
}

template <class Visit>
int64_t Library::walk_money_limits(int64_t start, std::string_view firm, std::string_view client,
                                   Visit&& visit) const {
  const std::size_t size = type_ == 2 ? MARGO_MONEY_LIMIT_SIZE_TYPE2 : MARGO_MONEY_LIMIT_SIZE_TYPE1;
  return walk_limits(limits_.getMoneyLimit, size, start, firm, client, std::forward<Visit>(visit));
}

template <class Visit>
int64_t Library::walk_depo_limits(int64_t start, std::string_view firm, std::string_view client,
                                  Visit&& visit) const {
  // The library reads the first 88 bytes of a securities limit.
  return walk_limits(limits_.getDepoLimit, MARGO_DEPO_LIMIT_SIZE_TYPE1, start, firm, client,
                     std::forward<Visit>(visit));
}

// Quantities from figures: truncated toward zero, NaN gives 0, clamped to
// the 32-bit range.
int64_t truncate_quantity(double value) noexcept;
int32_t clamp_to_int32(int64_t value) noexcept;
inline bool is_missing_price(double price) noexcept { return !(price >= 1e-8); }

}  // namespace kelda::margin
