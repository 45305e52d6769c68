// All trades, bar building and data-line delivery, each beside a reference
// measured in the same run:
//  - 1,000,000 all-trades records ingested and journalled to alltrades.dat,
//    against write(2) of the same bytes in 64 KiB pieces;
//  - 1-minute and 1-hour bars built from 10,000,000 ticks, against one plain
//    pass that sums the same ticks into an array by bar index;
//  - 100,000 bars delivered to a data line's callback, against a loop that
//    hands the same records to the same callback.
// Each subject reports its time as a multiple of its reference ("vs_...").
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "all_trades/all_trades.h"
#include "bars/bar_building.h"
#include "core/numbers.h"
#include "data_lines/delivery.h"
#include "fake_net.h"
#include "library_access.h"
#include "market/market.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

constexpr int kSecurities = 100;
constexpr int kTrades = 1000000;
constexpr int kTicks = 10000000;
constexpr int kDelivered = 100000;

double g_write = 0;
double g_sum_by_index = 0;
double g_plain_calls = 0;

using kelda::bench::timed;

int32_t server_id(int i) { return i * 7 + 100; }

// A library in a folder of its own, connected, in a trading session (so
// alltrades.dat is open), with one class of 100 securities (scale 2).
class Market {
 public:
  Market() : folder_(make_folder()) {
    LibraryOptions options;
    options.net = std::make_shared<test::FakeNet>();
    lib = std::make_unique<Library>(options);
    set_current_library(lib.get());
    lib->initialise(1, folder_.c_str(), nullptr, 0, true);
    LibraryLock lock(*lib);
    LibraryTestAccess::pretend_connected(*lib, 1);
    lib->on_trading_session("BENCH", 20240105);
    ClassDescription d;
    std::memset(&d, 0, sizeof d);
    d.server_id = 1;
    std::strcpy(d.code, "BIG");
    on_class_description(*lib, d);
    ClassRecord& cls = lib->classes.at(0);
    for (int i = 0; i < kSecurities; ++i) {
      SecurityHead h;
      std::memset(&h, 0, sizeof h);
      h.request = static_cast<int32_t>(cls.securities_request);
      h.server_id = server_id(i);
      h.scale = 2;
      h.trading_unit = 1;
      std::snprintf(h.code, sizeof h.code, "S%d", i);
      on_security_description(*lib, h);
    }
  }
  ~Market() {
    {
      LibraryLock lock(*lib);
      LibraryTestAccess::pretend_disconnected(*lib);
    }
    lib->uninitialise();
    set_current_library(nullptr);
    lib.reset();
    std::filesystem::remove_all(folder_);
  }
  std::unique_ptr<Library> lib;

 private:
  static std::string make_folder() {
    char path[] = "/tmp/kelapi-bars-XXXXXX";
    return ::mkdtemp(path);
  }
  std::string folder_;
};

AllTradeEntry trade(int n) {
  AllTradeEntry e{};
  e.sequence = n;
  e.trade_number = 1000000000LL + n;
  e.date = 20240105;
  e.time = 100000 + n % 50000;
  e.security = server_id(n % kSecurities);
  e.price = 10000 + n % 97;
  e.quantity = 1 + n % 9;
  e.value = 100.0 * e.price;
  return e;
}

// ---- all trades ----

void BM_AllTrades_Write(benchmark::State& state) {
  char path[] = "/tmp/kelapi-bench-XXXXXX";
  const int fd = ::mkstemp(path);
  std::vector<uint8_t> buffer;
  g_write = timed(state, [&] {
    ::ftruncate(fd, 0);
    ::lseek(fd, 0, SEEK_SET);
    for (int n = 0; n < kTrades; ++n) {
      const AllTradeEntry e = trade(n);
      const uint8_t head[3] = {53, sizeof e, 0};
      buffer.insert(buffer.end(), head, head + 3);
      const auto* bytes = reinterpret_cast<const uint8_t*>(&e);
      buffer.insert(buffer.end(), bytes, bytes + sizeof e);
      if (buffer.size() >= 64 * 1024) {
        benchmark::DoNotOptimize(::write(fd, buffer.data(), buffer.size()));
        buffer.clear();
      }
    }
    benchmark::DoNotOptimize(::write(fd, buffer.data(), buffer.size()));
    buffer.clear();
  });
  state.SetItemsProcessed(state.iterations() * kTrades);
  ::close(fd);
  ::unlink(path);
}

void BM_AllTrades_IngestAndJournal(benchmark::State& state) {
  Market market;
  Library& lib = *market.lib;
  const double t = timed(state, [&] {
    LibraryLock lock(lib);
    lib.all_trades.rows.release();
    lib.all_trades.last_accepted.reset();
    lib.on_trading_session(state.iterations() % 2 == 0 ? "A" : "B", 20240105);  // alltrades.dat anew
    for (int n = 0; n < kTrades; ++n) on_all_trade(lib, trade(n), TradeValue::given);
    lib.all_trades_flush();
  });
  state.SetItemsProcessed(state.iterations() * kTrades);
  if (g_write > 0) state.counters["vs_write"] = t / g_write;
}

// ---- bar building ----

struct Ticks {
  std::vector<int32_t> date, time;
  std::vector<double> price, volume;
  std::vector<uint32_t> second;  // seconds since the first day's midnight
  Ticks() {
    const uint64_t first = packed_to_file_time(20240101, 0);
    for (int i = 0; i < kTicks; ++i) {
      const uint32_t s = static_cast<uint32_t>(i / 4);  // four ticks a second, about 29 days
      int32_t d = 0;
      const int32_t t = file_time_to_packed(first + uint64_t{s} * kFileTimePerSecond, &d);
      date.push_back(d);
      time.push_back(t);
      price.push_back(100.0 + (i * 37 % 101) * 0.01);
      volume.push_back(1 + i % 7);
      second.push_back(s);
    }
  }
};

const Ticks& ticks() {
  static const Ticks t;
  return t;
}

void BM_Bars_SumByIndex(benchmark::State& state) {
  const Ticks& t = ticks();
  const uint32_t length = static_cast<uint32_t>(state.range(0)) * 60;
  std::vector<double> sums(t.second.back() / length + 1);
  g_sum_by_index = timed(state, [&] {
    std::fill(sums.begin(), sums.end(), 0.0);
    for (int i = 0; i < kTicks; ++i) sums[t.second[i] / length] += t.price[i] + t.volume[i];
    benchmark::DoNotOptimize(sums.data());
  });
  state.SetItemsProcessed(state.iterations() * kTicks);
}

void BM_Bars_Build(benchmark::State& state) {
  const Ticks& t = ticks();
  const AddArgs args{LineKind::tick, static_cast<int32_t>(state.range(0)), 0, -1, -1};
  BarSeries bars;
  const double elapsed = timed(state, [&] {
    bars.clear();
    for (int i = 0; i < kTicks; ++i) {
      const double p = t.price[i];
      add_bar(bars, BarInput{p, p, p, p, t.volume[i], t.date[i], t.time[i]}, args);
    }
    benchmark::DoNotOptimize(bars.data());
  });
  state.SetItemsProcessed(state.iterations() * kTicks);
  state.counters["bars"] = static_cast<double>(bars.size());
  if (g_sum_by_index > 0) state.counters["vs_sum_by_index"] = elapsed / g_sum_by_index;
}

// ---- delivery ----

int g_calls = 0;
int count_bar(int32_t, const KelapiDataLineBar* bar, uintptr_t, const void*) {
  g_calls += bar->date != 0 ? 1 : 0;
  return 0;
}

void BM_DataLine_PlainCalls(benchmark::State& state) {
  std::vector<KelapiDataLineBar> records(kDelivered);
  for (int i = 0; i < kDelivered; ++i) records[i] = KelapiDataLineBar{1, 2, 0.5, 1.5, 10, 20240105, 100000};
  g_plain_calls = timed(state, [&] {
    for (const auto& r : records) {
      KelapiDataLineBar copy = r;
      count_bar(1, &copy, 0, &records);
    }
    benchmark::DoNotOptimize(g_calls);
  });
  state.SetItemsProcessed(state.iterations() * kDelivered);
}

void BM_DataLine_Deliver(benchmark::State& state) {
  Market market;
  Library& lib = *market.lib;
  auto line = std::make_unique<DataLine>();
  DataLine& l = *line;
  const uint64_t first = packed_to_file_time(20240105, 0);
  for (int i = 0; i < kDelivered; ++i) {
    PriceBar b;
    b.open = b.high = b.low = b.close = 1;
    b.volume = 10;
    b.time = first + uint64_t{static_cast<uint32_t>(i)} * kFileTimePerMillisecond * 100;
    l.bars.push_back(b);
  }
  DataLineSubscriber s;
  s.callback = count_bar;
  s.id = 1;
  s.started = true;
  l.subscribers.push_back(s);
  LibraryLock lock(lib);
  lib.data_lines.lines.push_back(std::move(line));
  const double t = timed(state, [&] { deliver(lib, l, BarsToDeliver::all); });
  state.SetItemsProcessed(state.iterations() * kDelivered);
  if (g_plain_calls > 0) state.counters["vs_plain_calls"] = t / g_plain_calls;
}

}  // namespace

BENCHMARK(BM_AllTrades_Write)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllTrades_IngestAndJournal)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bars_SumByIndex)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bars_Build)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bars_SumByIndex)->Arg(60)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bars_Build)->Arg(60)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataLine_PlainCalls)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataLine_Deliver)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
