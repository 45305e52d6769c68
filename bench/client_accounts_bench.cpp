// The limit, account and news tables of the client library, each beside a
// reference measured in the same run:
//  - 100,000 money limits and 100,000 depository limits stored, then each
//    updated once by number (against std::unordered_map);
//  - 100,000 depository accounts, futures limits and account positions
//    stored and each looked up by number (against std::unordered_map);
//  - 10,000 news items arriving one every 100 ms of a simulated clock, with
//    news.log kept whole by its coalesced rewrites (against write(2) of the
//    same records to one open file).
// Each subject reports its time as a multiple of its reference ("vs_...").
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "bench_timing.h"
#include "firms/numbered_rows.h"
#include "limits/limits.h"
#include "news/news_file.h"

namespace {

using namespace kelda::kelapi;

constexpr int32_t kLimits = 100000;
constexpr int32_t kAccounts = 100000;
constexpr int32_t kNews = 10000;

double g_limits_map = 0;
double g_lookups_map = 0;
double g_news_write = 0;

using kelda::bench::timed;

MoneyLimitEntry money(int32_t number, double balance) {
  MoneyLimitEntry e;
  std::memset(&e, 0, sizeof e);
  e.limit.number = number;
  std::strcpy(e.limit.currency, "SUR");
  e.limit.current_balance = balance;
  return e;
}

DepoLimitEntry depo(int32_t number, double quantity) {
  DepoLimitEntry e;
  std::memset(&e, 0, sizeof e);
  e.limit.number = number;
  e.limit.quantity1 = quantity;
  return e;
}

void BM_Limits_HashMap(benchmark::State& state) {
  g_limits_map = timed(state, [&] {
    std::unordered_map<int32_t, MoneyLimitEntry> m;
    std::unordered_map<int32_t, DepoLimitEntry> d;
    for (int32_t n = 0; n < kLimits; ++n) {
      m[n] = money(n, n);
      d[n] = depo(n, n);
    }
    for (int32_t n = 0; n < kLimits; ++n) {
      m[n].limit.current_balance = n + 1;
      d[n].limit.quantity1 = n + 1;
    }
    benchmark::DoNotOptimize(m.size() + d.size());
  });
  state.SetItemsProcessed(state.iterations() * kLimits * 2);
}

void BM_Limits_Table(benchmark::State& state) {
  const double t = timed(state, [&] {
    LimitTables tables;
    for (int32_t n = 0; n < kLimits; ++n) {
      tables.money.add_or_update(money(n, n), [](MoneyLimitEntry&) {});
      tables.depo.add_or_update(depo(n, n), [](DepoLimitEntry&) {});
    }
    for (int32_t n = 0; n < kLimits; ++n) {
      tables.money.add_or_update(money(n, n + 1), [&](MoneyLimitEntry& e) { e.limit.current_balance = n + 1; });
      tables.depo.add_or_update(depo(n, n + 1), [&](DepoLimitEntry& e) { e.limit.quantity1 = n + 1; });
    }
    benchmark::DoNotOptimize(tables.money.size() + tables.depo.size());
  });
  state.SetItemsProcessed(state.iterations() * kLimits * 2);
  if (g_limits_map > 0) state.counters["vs_hash_map"] = t / g_limits_map;
}

template <typename Record>
Record numbered(int32_t number) {
  Record r;
  std::memset(&r, 0, sizeof r);
  r.number = number;
  return r;
}

void BM_AccountLookups_UnorderedMap(benchmark::State& state) {
  g_lookups_map = timed(state, [&] {
    std::unordered_map<int64_t, Msg8076_SecDepoAccount> accounts;
    std::unordered_map<int64_t, Msg8068_FuturesLimit> limits;
    std::unordered_map<int64_t, Msg808B_PositionValues> positions;
    for (int32_t n = 0; n < kAccounts; ++n) {
      accounts.emplace(n, numbered<Msg8076_SecDepoAccount>(n));
      limits.emplace(n, numbered<Msg8068_FuturesLimit>(n));
      positions.emplace(n, numbered<Msg808B_PositionValues>(n));
    }
    for (int32_t n = 0; n < kAccounts; ++n) {
      benchmark::DoNotOptimize(&accounts.find(n)->second);
      benchmark::DoNotOptimize(&limits.find(n)->second);
      benchmark::DoNotOptimize(&positions.find(n)->second);
    }
  });
  state.SetItemsProcessed(state.iterations() * kAccounts * 3);
}

void BM_AccountLookups_Tables(benchmark::State& state) {
  const double t = timed(state, [&] {
    NumberedRows<Msg8076_SecDepoAccount> accounts;
    NumberedRows<Msg8068_FuturesLimit> limits;
    NumberedRows<Msg808B_PositionValues> positions;
    for (int32_t n = 0; n < kAccounts; ++n) {
      accounts.put(numbered<Msg8076_SecDepoAccount>(n));
      limits.put(numbered<Msg8068_FuturesLimit>(n));
      positions.put(numbered<Msg808B_PositionValues>(n));
    }
    for (int32_t n = 0; n < kAccounts; ++n) {
      benchmark::DoNotOptimize(accounts.find(n));
      benchmark::DoNotOptimize(limits.find(n));
      benchmark::DoNotOptimize(positions.find(n));
    }
  });
  state.SetItemsProcessed(state.iterations() * kAccounts * 3);
  if (g_lookups_map > 0) state.counters["vs_unordered_map"] = t / g_lookups_map;
}

Msg0057_NewsItem news_item(int32_t n) {
  Msg0057_NewsItem i;
  std::memset(&i, 0, sizeof i);
  i.number = n;
  i.id = n;
  std::strcpy(i.headline, "A headline of the day");
  return i;
}

void BM_NewsLog_Write(benchmark::State& state) {
  g_news_write = timed(state, [&] {
    const int fd = ::open("bench_news_ref.log", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<uint8_t> record(16 + sizeof(Msg0057_NewsItem) + 4, 0);
    for (int32_t n = 0; n < kNews; ++n) {
      const Msg0057_NewsItem i = news_item(n);
      std::memcpy(record.data() + 16, &i, sizeof i);
      benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
    }
    ::close(fd);
  });
  std::remove("bench_news_ref.log");
  state.SetItemsProcessed(state.iterations() * kNews);
}

void BM_NewsLog_Saves(benchmark::State& state) {
  constexpr int64_t kArrivalMs = 100;
  const double t = timed(state, [&] {
    NewsTable table;
    NewsFile file;
    file.set_path("bench_news.log");
    file.rewrite(table, 0);
    for (int32_t n = 0; n < kNews; ++n) {
      table.append(news_item(n));
      const int64_t now = n * kArrivalMs;
      file.changed(now);
      file.save_if_due(table, now);
    }
    file.save_now(table, kNews * kArrivalMs);
  });
  std::remove("bench_news.log");
  state.SetItemsProcessed(state.iterations() * kNews);
  if (g_news_write > 0) state.counters["vs_write"] = t / g_news_write;
}

BENCHMARK(BM_Limits_HashMap)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Limits_Table)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AccountLookups_UnorderedMap)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AccountLookups_Tables)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewsLog_Write)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewsLog_Saves)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
