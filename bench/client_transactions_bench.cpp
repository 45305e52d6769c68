// Transaction texts of the client library beside snprintf, measured in the
// same run: 10,000 new orders of nine fields, each read out of the caller's
// "KEY=value|..." text, formatted to its fixed width and type and sent in
// chunks without signing (to the tests' network double, emptied after each
// round), against
// formatting the same fixed-width texts with one snprintf each.
// The subject reports its time as a multiple of the reference ("vs_snprintf").
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "offline_library.h"
#include "session/library.h"
#include "transactions/transactions.h"

namespace {

using namespace kelda::kelapi;

constexpr int kTexts = 10000;

double g_snprintf = 0;

using kelda::bench::timed;

struct DeskField {
  const char* key;
  int16_t type;
  int16_t width;
};
// Text, price (the security's scale 2), integer and choice fields.
constexpr DeskField kFields[] = {{"CLASSCODE", 0, 12}, {"SECCODE", 0, 12}, {"ACCOUNT", 0, 12},
                                 {"PRICE", 3, 10},     {"QUANTITY", 1, 8},  {"OPERATION", 4, 1},
                                 {"CLIENT_CODE", 0, 12}, {"TYPE", 0, 1},   {"COMMENT", 0, 20}};

// The caller's text of order n.
std::string order_text(int n) {
  char text[256];
  std::snprintf(text, sizeof text,
                "CLASSCODE=TQBR|SECCODE=SBER|ACCOUNT=L01-00000F00|PRICE=%d.%02d|QUANTITY=%d|OPERATION=%c|"
                "CLIENT_CODE=C%05d|TYPE=L|COMMENT=order %d",
                270 + n % 10, n % 100, n % 500 + 1, n % 2 == 0 ? 'B' : 'S', n % 1000, n);
  return text;
}

// A connected library with class TQBR, security SBER (scale 2) and a
// new-order kind of the fields above.
class Desk {
 public:
  Desk() {
    const int32_t c = offline_.add_class(1, "TQBR");
    offline_.add_security(c, 100, "SBER", 2);
    LibraryLock lock(offline_.lib());
    TransactionKind& k = offline_.lib().transactions.table.append(static_cast<std::size_t>(c));
    k.d.kind_id = 1;
    k.d.kind_code = 4;
    k.d.field_count = static_cast<int16_t>(std::size(kFields));
    std::strcpy(k.d.name, "New order");
    for (const DeskField& field : kFields) {
      TransactionField f;
      std::memset(&f, 0, sizeof f);
      std::strcpy(f.key, field.key);
      f.type = field.type;
      f.width = field.width;
      if (field.type == 4) std::strcpy(f.values, "B=Buy|S=Sell");
      k.fields.push_back(f);
    }
    k.present = true;
    k.fields_complete = true;
    target_ = TransactionTarget{c, &k};
  }
  KelapiResult send(std::string_view text, uint32_t id) {
    LibraryLock lock(offline_.lib());
    return send_transaction(offline_.lib(), target_, text, id);
  }
  void forget_sent() { offline_.net().clear_sent(); }

 private:
  test::OfflineLibrary offline_;
  TransactionTarget target_{};
};

void BM_Texts_Snprintf(benchmark::State& state) {
  std::vector<std::vector<char>> out(kTexts);
  g_snprintf = timed(state, [&] {
    for (int n = 0; n < kTexts; ++n) {
      char text[160];
      const int length = std::snprintf(text, sizeof text, "%-12s%-12s%-12s%010d%08d%c%-12s%c%-20.20s", "TQBR",
                                       "SBER", "L01-00000F00", (270 + n % 10) * 100 + n % 100, n % 500 + 1,
                                       n % 2 == 0 ? 'B' : 'S', "C00000", 'L', "order");
      out[static_cast<std::size_t>(n)].assign(text, text + length + 1);
    }
    benchmark::DoNotOptimize(out.data());
  });
}

void BM_Texts_Library(benchmark::State& state) {
  Desk desk;
  std::vector<std::string> texts;
  for (int n = 0; n < kTexts; ++n) texts.push_back(order_text(n));
  const double t = timed(state, [&] {
    for (int n = 0; n < kTexts; ++n) {
      if (desk.send(texts[static_cast<std::size_t>(n)], static_cast<uint32_t>(n)) != KELAPI_OK) {
        state.SkipWithError("a transaction was refused");
        return;
      }
    }
    desk.forget_sent();
  });
  if (g_snprintf > 0) state.counters["vs_snprintf"] = t / g_snprintf;
}

}  // namespace

BENCHMARK(BM_Texts_Snprintf)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texts_Library)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
