// Client library feed paths, each beside a reference measured in the same run:
//  - 1,000,000 value updates over 30,000 securities into the value store and
//    the journal, against a plain hash-map update plus write(2) of the same
//    bytes;
//  - a price list of 100 levels updated 1,000,000 times, against a merge into
//    a plain sorted vector;
//  - KelapiGetDataEx of one entry, against a plain array read of its values.
// Each subject reports its time as a multiple of its reference ("vs_...").
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench_timing.h"
#include "fake_net.h"
#include "library_access.h"
#include "market/market.h"
#include "prices/prices.h"
#include "session/library.h"
#include "values/values.h"

namespace {

using namespace kelda::kelapi;

constexpr int kSecurities = 30000;
constexpr int kUpdates = 1000000;
constexpr int kLevels = 100;

double g_hash_write = 0;
double g_sorted_vector = 0;
double g_array_read = 0;

using kelda::bench::timed;

int32_t server_id(int i) { return i * 7 + 100; }

// A library, initialised in a folder of its own, connected, with one class
// of 30,000 securities (scale 2) and four filtered parameters: a double and
// three integers.
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
      std::snprintf(h.code, sizeof h.code, "S%d", i);
      on_security_description(*lib, h);
    }
    const char* names[] = {"LAST", "BID", "OFFER", "VOLUME"};
    for (int p = 0; p < 4; ++p) {
      ParamDescription pd;
      std::memset(&pd, 0, sizeof pd);
      pd.request = static_cast<int16_t>(cls.params_request);
      pd.flags = p == 0 ? kParamDouble : kParamSecurityScale;
      std::strcpy(pd.db_name, names[p]);
      on_param_description(*lib, pd);
      lib->params.get(0, p)->in_filter = 1;
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
    char path[] = "/tmp/kelapi-feeds-XXXXXX";
    return ::mkdtemp(path);
  }
  std::string folder_;
};

ValueMessage update(int n, const int32_t (&ints)[3], const double& last) {
  ValueMessage m;
  m.security_id = server_id(n % kSecurities);
  m.time = 100000;
  m.entry = n;
  m.flags = 0;
  m.mask = 0xF;
  m.ints = std::span(ints);
  m.doubles = std::span(&last, 1);
  return m;
}

// ---- value updates ----

void BM_Values_HashMapAndWrite(benchmark::State& state) {
  char path[] = "/tmp/kelapi-bench-XXXXXX";
  const int fd = ::mkstemp(path);
  struct Row {
    uint8_t bytes[1 + 32 + 8 + 12];
  };
  std::unordered_map<int32_t, Row> rows;
  g_hash_write = timed(state, [&] {
    for (int n = 0; n < kUpdates; ++n) {
      Row& r = rows[server_id(n % kSecurities)];
      std::memset(r.bytes, n & 0xFF, sizeof r.bytes);
      benchmark::DoNotOptimize(::write(fd, r.bytes, sizeof r.bytes));
    }
  });
  state.SetItemsProcessed(state.iterations() * kUpdates);
  ::close(fd);
  ::unlink(path);
}

void BM_Values_StoreAndJournal(benchmark::State& state) {
  Market market;
  Library& lib = *market.lib;
  const int32_t ints[3] = {10049, 10051, 7};
  const double last = 100.5;
  const double t = timed(state, [&] {
    LibraryLock lock(lib);
    for (int n = 0; n < kUpdates; ++n) on_value_record(lib, update(n, ints, last));
  });
  state.SetItemsProcessed(state.iterations() * kUpdates);
  if (g_hash_write > 0) state.counters["vs_hash_map_write"] = t / g_hash_write;
}

// ---- price-list updates ----

struct Level {
  int32_t price;
  int32_t volume;
};

void BM_PriceList_SortedVector(benchmark::State& state) {
  std::vector<Level> levels;
  for (int i = 0; i < kLevels; ++i) levels.push_back({10000 + i, i + 1});
  g_sorted_vector = timed(state, [&] {
    for (int n = 0; n < kUpdates; ++n) {
      const Level l{10000 + (n * 37) % kLevels, n % 50 + 1};
      auto at = std::lower_bound(levels.begin(), levels.end(), l.price,
                                 [](const Level& a, int32_t p) { return a.price < p; });
      if (at != levels.end() && at->price == l.price) {
        *at = l;
      } else {
        levels.insert(at, l);
      }
    }
    benchmark::DoNotOptimize(levels.data());
  });
  state.SetItemsProcessed(state.iterations() * kUpdates);
}

void BM_PriceList_Library(benchmark::State& state) {
  Market market;
  Library& lib = *market.lib;
  {
    LibraryLock lock(lib);
    run_price_list(lib, 0, true);
    for (int i = 0; i < kLevels; ++i) on_price_level(lib, server_id(0), 10000 + i, i + 1, 100);
  }
  const double t = timed(state, [&] {
    LibraryLock lock(lib);
    for (int n = 0; n < kUpdates; ++n) on_price_level(lib, server_id(0), 10000 + (n * 37) % kLevels, n % 50 + 1, 100);
  });
  state.SetItemsProcessed(state.iterations() * kUpdates);
  if (g_sorted_vector > 0) state.counters["vs_sorted_vector"] = t / g_sorted_vector;
}

// ---- reading one entry ----

constexpr int kReads = 100000;

void BM_ReadEntry_Array(benchmark::State& state) {
  struct Stored {
    uint32_t class_number, security_number, time;
    std::array<KelapiValueRecord, 4> values;
  };
  std::vector<Stored> entries(1000);
  for (auto& e : entries) {
    e.values[0].value = 100.5;
    std::strcpy(e.values[0].db_name, "LAST");
  }
  KelapiValueRecord out[64];
  uint32_t c = 0, s = 0, t = 0;
  g_array_read = timed(state, [&] {
    for (int n = 0; n < kReads; ++n) {
      const Stored& e = entries[static_cast<std::size_t>(n) % entries.size()];
      c = e.class_number;
      s = e.security_number;
      t = e.time;
      std::memcpy(out, e.values.data(), sizeof e.values);
      benchmark::DoNotOptimize(out);
    }
  });
  benchmark::DoNotOptimize(c + s + t);
  state.SetItemsProcessed(state.iterations() * kReads);
}

void BM_ReadEntry_GetDataEx(benchmark::State& state) {
  Market market;
  Library& lib = *market.lib;
  const int32_t ints[3] = {10049, 10051, 7};
  const double last = 100.5;
  {
    LibraryLock lock(lib);
    for (int n = 0; n < 1000; ++n) on_value_record(lib, update(n, ints, last));
  }
  KelapiValueRecord out[64];
  uint32_t c = 0, s = 0, t = 0;
  const double elapsed = timed(state, [&] {
    for (int n = 0; n < kReads; ++n) {
      benchmark::DoNotOptimize(get_data_ex(lib, static_cast<uint32_t>(n % 1000) + 1, &c, &s, &t, out));
    }
  });
  state.SetItemsProcessed(state.iterations() * kReads);
  if (g_array_read > 0) state.counters["vs_array_read"] = elapsed / g_array_read;
}

BENCHMARK(BM_Values_HashMapAndWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Values_StoreAndJournal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PriceList_SortedVector)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PriceList_Library)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEntry_Array)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadEntry_GetDataEx)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
