// The order and trade tables of the client library, each beside a plain
// hash map keyed by sequence number measured in the same run:
//  - 100,000 orders stored, then each updated once and looked up;
//  - 1,000,000 trades stored in arrival order, then each looked up.
// Each subject reports its time as a multiple of its reference ("vs_...").
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <unordered_map>

#include "bench_timing.h"
#include "core/sequenced_rows.h"
#include "messages/records_orders.h"
#include "messages/records_trades.h"

namespace {

using namespace kelda::kelapi;

constexpr int32_t kOrders = 100000;
constexpr int32_t kTrades = 1000000;

double g_orders_map = 0;
double g_trades_map = 0;

using kelda::bench::timed;

template <typename Row>
Row row_with(int32_t sequence) {
  Row r;
  std::memset(&r, 0, sizeof r);
  r.sequence = sequence;
  r.quantity = sequence % 100 + 1;
  return r;
}

// Stores every row, updates each once (orders change state) and reads each.
template <typename Table, typename Row>
void run_table(Table& table, int32_t n, bool update, auto put, auto find) {
  for (int32_t s = 0; s < n; ++s) put(table, row_with<Row>(s));
  if (update) {
    for (int32_t s = 0; s < n; ++s) {
      Row r = row_with<Row>(s);
      r.quantity = 0;
      put(table, r);
    }
  }
  for (int32_t s = 0; s < n; ++s) benchmark::DoNotOptimize(find(table, s));
}

void BM_Orders_HashMap(benchmark::State& state) {
  g_orders_map = timed(state, [&] {
    std::unordered_map<int32_t, Msg807B_Order> map;
    run_table<decltype(map), Msg807B_Order>(
        map, kOrders, true, [](auto& m, const Msg807B_Order& r) { m[r.sequence] = r; },
        [](auto& m, int32_t s) { return &m.find(s)->second; });
  });
  state.SetItemsProcessed(state.iterations() * kOrders);
}

void BM_Orders_Table(benchmark::State& state) {
  const double t = timed(state, [&] {
    SequencedRows<Msg807B_Order> table;
    run_table<decltype(table), Msg807B_Order>(
        table, kOrders, true, [](auto& tb, const Msg807B_Order& r) { tb.put(r); },
        [](auto& tb, int32_t s) { return tb.find(s); });
  });
  state.SetItemsProcessed(state.iterations() * kOrders);
  if (g_orders_map > 0) state.counters["vs_hash_map"] = t / g_orders_map;
}

void BM_Trades_HashMap(benchmark::State& state) {
  g_trades_map = timed(state, [&] {
    std::unordered_map<int32_t, Msg806F_Trade> map;
    run_table<decltype(map), Msg806F_Trade>(
        map, kTrades, false, [](auto& m, const Msg806F_Trade& r) { m[r.sequence] = r; },
        [](auto& m, int32_t s) { return &m.find(s)->second; });
  });
  state.SetItemsProcessed(state.iterations() * kTrades);
}

void BM_Trades_Table(benchmark::State& state) {
  const double t = timed(state, [&] {
    SequencedRows<Msg806F_Trade> table;
    run_table<decltype(table), Msg806F_Trade>(
        table, kTrades, false, [](auto& tb, const Msg806F_Trade& r) { tb.put(r); },
        [](auto& tb, int32_t s) { return tb.find(s); });
  });
  state.SetItemsProcessed(state.iterations() * kTrades);
  if (g_trades_map > 0) state.counters["vs_hash_map"] = t / g_trades_map;
}

BENCHMARK(BM_Orders_HashMap)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Orders_Table)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Trades_HashMap)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Trades_Table)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
