// A stand-in for the terminal's side of the margin library: sorted money and
// securities limits, a parameter table, and the six callbacks over them, with
// call counters. One process-wide instance (the callbacks carry no user
// word); reset() clears it and the library's state. Single-threaded use,
// except that the callbacks themselves may run on any thread one at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "margin/kelda_margin.h"

namespace kelda::margin::test {

struct MoneyLimit {
  std::string firm, client, tag, currency;
  double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;  // amounts as the library receives them (x100)
  int32_t leverage_percent = -1;
};

struct DepoLimit {
  std::string firm, client, code, account;
  int32_t opening = 0, q1 = 0, current = 0, q2 = 0, q3 = 0, q4 = 0;
  double g = 0;  // as the library receives it (x100)
};

struct SecurityInfo {
  int32_t id;
  std::string code;
  int32_t lot = 1;
  double face = 0;
};

struct Counters {
  int param_index = 0, param_value = 0, find_money = 0, get_money = 0, find_depo = 0, get_depo = 0;
  int total() const { return param_index + param_value + find_money + get_money + find_depo + get_depo; }
};

class FakeTerminal {
 public:
  static FakeTerminal& instance();

  // Resets the library (test-only reset) and this instance.
  void reset();
  // Registers the callbacks and initialises the library; true on success.
  bool install(int32_t interface_type = 2);
  void register_callbacks();

  void add_money(MoneyLimit limit);
  void add_depo(DepoLimit limit);
  void set_param(int32_t class_id, int32_t security_id, const std::string& name, double value);
  // Prices in one go (0 for a missing one).
  void set_prices(int32_t class_id, int32_t security_id, double offer, double bid, double prev, double last);

  // Builds and adds a class; returns MargoAddClass's result.
  static BOOL add_class(int32_t class_id, const std::string& code, const std::vector<SecurityInfo>& securities,
                        int32_t flags = 0, uint8_t secondary = 0);

  // Parameter names the terminal knows (index = position); tests may remove some.
  std::vector<std::string> param_names;
  std::map<std::tuple<int32_t, int32_t, int32_t>, double> params;  // (class, security, index) -> value
  std::vector<MoneyLimit> money;                                    // sorted: firm, client, currency, tag
  std::vector<DepoLimit> depo;                                      // sorted: firm, client, code, account
  Counters calls;
  // A value returned for every parameter when set (bad-callback tests).
  bool override_values = false;
  double override_value = 0;
  // Called at the start of every callback when set (reentrancy tests).
  void (*on_callback)() = nullptr;

 private:
  FakeTerminal() { reset_tables(); }
  void reset_tables();
};

// A zeroed row of the given size for a firm and client.
MargoMarginalRow make_row(const std::string& firm, const std::string& client, int32_t size = 280);

}  // namespace kelda::margin::test
