// The terminal's own copy of the market and account data that its windows
// show: classes with their securities, parameters and subscription lists,
// the value table, trading accounts, trades, orders and stop orders.
//
// Records are owned by the tables and never move while held (each lives in a
// heap block of its own), so windows keep pointers to them until the tables
// are cleared (every window is told first). Classes and securities are found
// by number through indexes, orders and stop orders by their row number: no
// walk over a table per event.
//
// Limits and holdings are kept in their display order (the order the
// windows show and the margin library's look-ups search).
//
// Threading: user-interface thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "keldaapi/keldaapi.h"

namespace kelda::terminal {

struct SecurityRecord {
  KelapiSecurityRecord record{};
  std::vector<KelapiPriceRecord> prices;  // the current price list
  std::map<uint16_t, double> values;      // parameter number -> current value
  int32_t value_row = -1;                 // row in the value table
};

struct ClassRecord {
  KelapiClassRecord record{};
  std::map<std::string, std::unique_ptr<SecurityRecord>> securities;  // by security code
  std::unordered_map<uint32_t, SecurityRecord*> security_by_number;
  std::map<uint16_t, KelapiClassParamRecord> params;  // by parameter number
  std::unordered_map<std::string, uint16_t> param_by_name;  // upper-cased database name -> number
  // Subscription lists: the global filter's, the windows' and the margin
  // library's parameters and securities.
  std::vector<int16_t> global_params, window_params, margin_params;
  std::vector<uint32_t> global_secs, window_secs, margin_secs;

  std::string code() const;
  SecurityRecord* find_security(uint32_t number) const;
  SecurityRecord* find_security(const std::string& code) const;
  const KelapiClassParamRecord* find_param(std::string_view name) const;  // by database name, any case
  void add_param(const KelapiClassParamRecord& param);
};

// One row per security, one column per distinct parameter name (compared
// without regard to the case of A to Z); cells start at 0.
class ValueTable {
 public:
  int32_t add_row();
  int32_t add_column(std::string_view name);  // the existing column when the name is present
  int32_t find_column(std::string_view name) const;  // -1 when absent
  void set_value(int32_t row, std::string_view name, double value);
  double get_value(int32_t row, int32_t column) const;  // 0 outside the table
  int32_t rows() const { return static_cast<int32_t>(cells_.size()); }
  int32_t columns() const { return static_cast<int32_t>(names_.size()); }
  void clear();

 private:
  std::vector<std::string> names_;
  std::unordered_map<std::string, int32_t> index_;  // upper-cased name -> column
  std::vector<std::vector<double>> cells_;
};

// A securities limit with the display name of its security.
struct DepoLimitRow {
  KelapiDepoLimitRecordEx record{};
  std::string name;
};

struct Tables {
  std::map<std::string, std::unique_ptr<ClassRecord>> classes;  // by class code
  std::unordered_map<uint32_t, ClassRecord*> class_by_number;
  std::vector<std::unique_ptr<KelapiTrdAccountRecord>> accounts;
  std::unordered_map<uint32_t, KelapiTrdAccountRecord*> account_by_number;
  std::vector<std::unique_ptr<KelapiTradeRecord>> trades;
  std::vector<std::unique_ptr<KelapiOrderRecord>> orders;
  std::unordered_map<uint32_t, KelapiOrderRecord*> order_by_number;
  std::vector<std::unique_ptr<KelapiStopOrderRecord>> stop_orders;
  std::unordered_map<uint32_t, KelapiStopOrderRecord*> stop_order_by_number;
  // Sorted by firm, client, currency and tag.
  std::vector<std::unique_ptr<KelapiMoneyLimitRecordEx>> money_limits;
  // Sorted by firm, client, security code and account.
  std::vector<std::unique_ptr<DepoLimitRow>> depo_limits;
  // Ordered by firm and account, then the limit type.
  std::vector<std::unique_ptr<KelapiFuturesLimitRecordEx>> futures_limits;
  // Ordered by firm, account and security code, then the holding type.
  std::vector<std::unique_ptr<KelapiFuturesHoldingRecordEx>> futures_holdings;
  // Sorted by date, time and number.
  std::vector<std::unique_ptr<KelapiNewsRecord>> news;
  ValueTable values;

  ClassRecord* find_class(uint32_t number) const;
  ClassRecord* find_class(const std::string& code) const;
  SecurityRecord* find_security(uint32_t class_number, uint32_t security_number) const;
  void clear();
};

// Upper-cases the Latin letters A to Z only.
std::string upper_latin(std::string_view text);

}  // namespace kelda::terminal
