// Margin library hot paths, each beside a floor measured in the same run:
//   - MargoCalcMarginalRow over 1,000 rows of 50 securities limits each, with
//     rules listing 2,000 securities in 50 classes; floor: one hash lookup of
//     the security code per limit (counter "x_floor").
//   - MargoSetDliniFile on 1 MiB of rule text; floor: a memchr line split of
//     the same bytes.
//   - MargoAddClass for 1,000 classes one by one, under three firms whose
//     rules list 200 main classes; floor: the same with no main class list
//     (the class order is rebuilt after every class either way).
//   - MargoAddClass for 200 classes that no list names, after 1 MiB of rule
//     text with thousands of client sections; floor: the same adds without
//     the rule text.
//   - MargoGetNeedClassSecIDs for each class under 1 MiB of rule text; floor:
//     a memchr line split of the text once per call.
// The terminal side is a flat, allocation-free stand-in so that the figures
// measure the library rather than its callbacks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "margin/kelda_margin.h"
#include "testing.h"

namespace {

constexpr int kClasses = 50;
constexpr int kPerClass = 40;
constexpr int kRows = 1000;
constexpr int kLimitsPerRow = 50;

std::string security_code(int cls, int i) {
  char code[16];
  std::snprintf(code, sizeof code, "S%02d%02d", cls, i);
  return code;
}

std::string client_code(int row) {
  char code[16];
  std::snprintf(code, sizeof code, "C%04d", row);
  return code;
}

// The terminal's tables: limits sorted by (firm, client, code), flat prices.
struct Terminal {
  std::vector<MargoMoneyLimit> money;
  std::vector<MargoDepoLimit> depo;
  std::vector<double> prices;  // (security id - 1) * 4 + parameter index
};
Terminal g_terminal;

template <class Record>
int32_t lower_bound_of(const std::vector<Record>& records, const char* firm, const char* client) {
  const auto it = std::lower_bound(records.begin(), records.end(), std::make_pair(firm, client),
                                   [](const Record& r, const auto& key) {
                                     const int c = std::strcmp(r.firmId, key.first);
                                     return c < 0 || (c == 0 && std::strcmp(r.clientCode, key.second) < 0);
                                   });
  return static_cast<int32_t>(it - records.begin());
}

int32_t find_money(const char* firm, const char* client, const char*, const char*, int32_t* position) {
  *position = lower_bound_of(g_terminal.money, firm, client);
  return -1;
}
const MargoMoneyLimit* get_money(int32_t i) {
  return i >= 0 && static_cast<std::size_t>(i) < g_terminal.money.size() ? &g_terminal.money[i] : nullptr;
}
int32_t find_depo(const char* firm, const char* client, const char*, const char*, int32_t* position) {
  *position = lower_bound_of(g_terminal.depo, firm, client);
  return -1;
}
const MargoDepoLimit* get_depo(int32_t i) {
  return i >= 0 && static_cast<std::size_t>(i) < g_terminal.depo.size() ? &g_terminal.depo[i] : nullptr;
}
int32_t param_index(const char* name) {
  static const char* names[] = {"OFFER", "BID", "PREVPRICE", "LAST"};
  for (int32_t i = 0; i < 4; ++i) {
    if (std::strcmp(name, names[i]) == 0) return i;
  }
  return -1;
}
double param_value(int32_t, int32_t security_id, int32_t index) {
  return g_terminal.prices[static_cast<std::size_t>(security_id - 1) * 4 + static_cast<std::size_t>(index)];
}

std::string firm_rules() {
  std::string text = "[GENERAL]\nCREDITLAG=1\n[LIMITALLOWEDSECURITY]\n";
  std::string assets = "[ASSETSECURITIES]\n";
  std::string weights = "[SECURITYWEIGHT]\n";
  for (int c = 0; c < kClasses; ++c) {
    char cls[8];
    std::snprintf(cls, sizeof cls, "K%02d", c);
    text += cls + std::string("=");
    assets += cls + std::string("=");
    for (int i = 0; i < kPerClass; ++i) {
      text += security_code(c, i) + (i + 1 < kPerClass ? "," : "\n");
      if (i % 2 == 0) assets += security_code(c, i) + (i + 2 < kPerClass ? "," : "\n");
      if (i % 5 == 0) weights += security_code(c, i) + "=0.75,1.25\n";
    }
  }
  return text + assets + weights + "[CLIENTLAG]\nC00*=2\n[BOARDTAG]\nEQTV=1\n";
}

// 1 MiB of rule text: the firm's lists, then client sections and lags.
std::string big_rules() {
  std::string text = firm_rules();
  for (int n = 0; text.size() < (1u << 20); ++n) {
    const int c = n % kClasses;
    char head[64];
    std::snprintf(head, sizeof head, "[CLX%06d_MARGIN]\nK%02d=", n, c);
    text += head;
    for (int i = 0; i < 8; ++i) text += security_code(c, (n + i) % kPerClass) + (i < 7 ? "," : "\n");
    std::snprintf(head, sizeof head, "[CLIENTLAG]\nX%06d=2\n", n);
    text += head;
  }
  return text;
}

void set_up_library() {
  kelda::margin::testing::reset_library();
  MargoSetLimitCallbacks(find_money, get_money, find_depo, get_depo);
  MargoSetParamCallbacks(param_index, param_value);
  MargoInitEx(2, 96, 96);
  g_terminal = Terminal{};
  int32_t id = 1;
  for (int c = 0; c < kClasses; ++c) {
    MargoClass cls{};
    cls.classId = c + 1;
    cls.securityCount = kPerClass;
    std::snprintf(cls.classCode, sizeof cls.classCode, "K%02d", c);
    cls.secondaryValuation = 1;
    std::vector<MargoSecurity> securities(kPerClass);
    for (int i = 0; i < kPerClass; ++i, ++id) {
      securities[i] = MargoSecurity{};
      securities[i].securityId = id;
      securities[i].lotSize = 10;
      std::snprintf(securities[i].securityCode, sizeof securities[i].securityCode, "%s", security_code(c, i).c_str());
      const double p = 100 + id * 0.25;
      g_terminal.prices.insert(g_terminal.prices.end(), {p + 0.5, p, p - 1, p + 0.25});
    }
    MargoAddClass(&cls, securities.data());
  }
}

struct Portfolio {
  std::vector<MargoMarginalRow> rows;
  std::unordered_map<std::string, int32_t> codes;  // for the floor
};

Portfolio& portfolio() {
  static Portfolio p = [] {
    Portfolio made;
    set_up_library();
    MargoSetDliniFile("F1", firm_rules().c_str());
    for (int r = 0; r < kRows; ++r) {
      MargoMoneyLimit m{};
      std::snprintf(m.firmId, sizeof m.firmId, "F1");
      std::snprintf(m.clientCode, sizeof m.clientCode, "%s", client_code(r).c_str());
      std::snprintf(m.boardTag, sizeof m.boardTag, "EQTV");
      m.amountA = m.amountC = 1e8;
      m.amountB = 2e8;
      m.leveragePercent = -1;
      g_terminal.money.push_back(m);
      std::vector<std::string> held;
      for (int k = 0; k < kLimitsPerRow; ++k) held.push_back(security_code((r + k) % kClasses, (r * 7 + k) % kPerClass));
      std::sort(held.begin(), held.end());
      for (int k = 0; k < kLimitsPerRow; ++k) {
        MargoDepoLimit d{};
        std::snprintf(d.firmId, sizeof d.firmId, "F1");
        std::snprintf(d.clientCode, sizeof d.clientCode, "%s", m.clientCode);
        std::snprintf(d.securityCode, sizeof d.securityCode, "%s", held[k].c_str());
        d.openingQuantity = k - 20;
        d.currentQuantity = k - 10;
        d.quantity3 = k % 3;
        d.amountG = 1000;
        g_terminal.depo.push_back(d);
      }
      MargoMarginalRow row{};
      row.size = 280;
      std::snprintf(row.firmId, sizeof row.firmId, "F1");
      std::snprintf(row.clientCode, sizeof row.clientCode, "%s", m.clientCode);
      MargoInitMarginalRow(&row);
      made.rows.push_back(row);
    }
    for (int c = 0; c < kClasses; ++c) {
      for (int i = 0; i < kPerClass; ++i) made.codes.emplace(security_code(c, i), c * kPerClass + i);
    }
    return made;
  }();
  return p;
}

using Clock = std::chrono::steady_clock;

void BM_CalcMarginalRows(benchmark::State& state) {
  Portfolio& p = portfolio();
  int64_t passes = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    for (auto& row : p.rows) {
      if (!MargoCalcMarginalRow(&row)) state.SkipWithError("calculation failed");
    }
    benchmark::DoNotOptimize(p.rows.data());
    ++passes;
  }
  const double calc = std::chrono::duration<double>(Clock::now() - start).count();

  // Floor: one hash lookup of the security code per limit.
  int64_t found = 0;
  const auto floor_start = Clock::now();
  for (int64_t n = 0; n < passes; ++n) {
    for (const MargoDepoLimit& d : g_terminal.depo) {
      const auto it = p.codes.find(std::string(d.securityCode, ::strnlen(d.securityCode, sizeof d.securityCode)));
      found += it == p.codes.end() ? 0 : it->second;
    }
    benchmark::DoNotOptimize(found);
  }
  const double floor = std::chrono::duration<double>(Clock::now() - floor_start).count();
  state.counters["x_floor"] = floor > 0 ? calc / floor : 0;
  state.counters["limits/s"] =
      benchmark::Counter(static_cast<double>(passes) * kRows * kLimitsPerRow, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CalcMarginalRows)->Unit(benchmark::kMillisecond);

// Seconds taken by splitting text into lines with memchr `times` times.
double line_split_seconds(const std::string& text, int64_t times) {
  int64_t lines = 0;
  const auto start = Clock::now();
  for (int64_t n = 0; n < times; ++n) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      p = static_cast<const char*>(nl) + 1;
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_ParseRuleText(benchmark::State& state) {
  portfolio();  // classes in the tables, so the lists resolve
  const std::string text = big_rules();
  int64_t passes = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    if (!MargoSetDliniFile("BIG", text.c_str())) state.SkipWithError("parse failed");
    ++passes;
  }
  const double parse = std::chrono::duration<double>(Clock::now() - start).count();

  // Floor: split the same bytes into lines with memchr.
  const double floor = line_split_seconds(text, passes);
  state.counters["x_floor"] = floor > 0 ? parse / floor : 0;
  state.SetBytesProcessed(passes * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseRuleText)->Unit(benchmark::kMillisecond);

// Adds kAddedClasses classes one by one under three firms' rules, in a fresh
// library; the main class list names every fifth class when `main` is set.
constexpr int kAddedClasses = 1000;
constexpr int kMainClasses = 200;

void add_classes_one_by_one(bool main) {
  set_up_library();  // its own classes first, then the added ones
  std::string text = "[GENERAL]\n";
  if (main) {
    text += "MAINMARGINCLASSES=";
    for (int i = 0; i < kMainClasses; ++i) text += "A" + std::to_string(i * 5) + (i + 1 < kMainClasses ? "," : "\n");
  }
  for (const char* firm : {"M1", "M2", "M3"}) MargoSetDliniFile(firm, text.c_str());
  MargoSecurity security{};
  security.securityId = 1;
  security.lotSize = 1;
  std::snprintf(security.securityCode, sizeof security.securityCode, "X");
  for (int i = 0; i < kAddedClasses; ++i) {
    MargoClass cls{};
    cls.classId = 1000 + i;
    cls.securityCount = 1;
    std::snprintf(cls.classCode, sizeof cls.classCode, "A%d", i);
    MargoAddClass(&cls, &security);
  }
}

// Registered after the row and parse benchmarks: it replaces the library
// state they use.
void BM_AddClasses(benchmark::State& state) {
  int64_t passes = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    add_classes_one_by_one(true);
    ++passes;
  }
  const double with_main = std::chrono::duration<double>(Clock::now() - start).count();

  // Floor: the same classes under rules without a main class list.
  const auto floor_start = Clock::now();
  for (int64_t n = 0; n < passes; ++n) add_classes_one_by_one(false);
  const double floor = std::chrono::duration<double>(Clock::now() - floor_start).count();
  state.counters["x_floor"] = floor > 0 ? with_main / floor : 0;
}
BENCHMARK(BM_AddClasses)->Unit(benchmark::kMillisecond);

// Seconds taken by adding 200 classes one by one, with or without the 1 MiB
// rule text set first.
double add_classes_after_rules(const std::string* rules) {
  set_up_library();
  if (rules) MargoSetDliniFile("BIG", rules->c_str());
  MargoSecurity security{};
  security.securityId = 1;
  security.lotSize = 1;
  std::snprintf(security.securityCode, sizeof security.securityCode, "X");
  const auto start = Clock::now();
  for (int i = 0; i < 200; ++i) {
    MargoClass cls{};
    cls.classId = 2000 + i;
    cls.securityCount = 1;
    std::snprintf(cls.classCode, sizeof cls.classCode, "N%d", i);
    MargoAddClass(&cls, &security);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_AddClassesUnderLargeRules(benchmark::State& state) {
  const std::string rules = big_rules();
  double with_rules = 0;
  int64_t passes = 0;
  for (auto _ : state) {
    with_rules += add_classes_after_rules(&rules);
    ++passes;
  }
  double floor = 0;
  for (int64_t n = 0; n < passes; ++n) floor += add_classes_after_rules(nullptr);
  state.counters["x_floor"] = floor > 0 ? with_rules / floor : 0;
}
BENCHMARK(BM_AddClassesUnderLargeRules)->Unit(benchmark::kMillisecond);

void BM_NeedClassSecIDs(benchmark::State& state) {
  const std::string rules = big_rules();
  set_up_library();
  MargoSetDliniFile("BIG", rules.c_str());
  std::vector<int32_t> ids(kPerClass);
  int64_t calls = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    for (int c = 0; c < kClasses; ++c) {
      int32_t count = kPerClass;
      if (!MargoGetNeedClassSecIDs(c + 1, ids.data(), &count)) state.SkipWithError("query failed");
      ++calls;
    }
  }
  const double query = std::chrono::duration<double>(Clock::now() - start).count();

  const double floor = line_split_seconds(rules, calls);
  state.counters["x_floor"] = floor > 0 ? query / floor : 0;
}
BENCHMARK(BM_NeedClassSecIDs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
