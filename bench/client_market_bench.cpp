// Client library hot paths, each beside a reference measured in the same run:
//  - security lookup by server id over 30,000 securities, against a plain
//    hash map of the same ids;
//  - the server-id refresh (message 0x8038) of 30,000 securities, against one
//    linear pass that stores the same ids;
//  - a journal record appended per call, against write(2) of the same bytes.
// Each subject reports its time as a multiple of its reference ("vs_...").
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <unordered_map>
#include <vector>

#include "bench_timing.h"
#include "fake_net.h"
#include "files/journal.h"
#include "library_access.h"
#include "market/market.h"
#include "market/security_table.h"
#include "session/library.h"

namespace {

using namespace kelda::kelapi;

constexpr int kSecurities = 30000;
constexpr std::size_t kIdsPerMessage = 225;

double g_hash_map = 0;
double g_linear_pass = 0;
double g_write = 0;

std::vector<int32_t> server_ids() {
  std::vector<int32_t> ids(kSecurities);
  std::iota(ids.begin(), ids.end(), 1);
  std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
  for (int32_t& id : ids) id = id * 7919 + 13;
  return ids;
}

using kelda::bench::timed;

// ---- lookup by server id ----

void BM_ServerIdLookup_HashMap(benchmark::State& state) {
  const auto ids = server_ids();
  std::unordered_map<int32_t, uint32_t> map;
  for (std::size_t i = 0; i < ids.size(); ++i) map.emplace(ids[i], static_cast<uint32_t>(i));
  g_hash_map = timed(state, [&] {
    for (int32_t id : ids) benchmark::DoNotOptimize(map.find(id)->second);
  });
  state.SetItemsProcessed(state.iterations() * kSecurities);
}

void BM_ServerIdLookup_SecurityTable(benchmark::State& state) {
  const auto ids = server_ids();
  SecurityTable table;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    SecurityRecord r;
    std::memset(&r, 0, sizeof r);
    r.h.server_id = ids[i];
    std::snprintf(r.h.code, sizeof r.h.code, "S%u", static_cast<unsigned>(i % 1000000));
    r.class_index = static_cast<int32_t>(i % 100);
    r.position = static_cast<int32_t>(i / 100);
    table.append(r);
  }
  const double t = timed(state, [&] {
    for (int32_t id : ids) benchmark::DoNotOptimize(table.find_by_server_id(id));
  });
  state.SetItemsProcessed(state.iterations() * kSecurities);
  if (g_hash_map > 0) state.counters["vs_hash_map"] = t / g_hash_map;
}

// ---- the server-id refresh of a class ----

void BM_Refresh_LinearPass(benchmark::State& state) {
  const auto ids = server_ids();
  std::vector<int32_t> stored(kSecurities, -1);
  g_linear_pass = timed(state, [&] {
    std::fill(stored.begin(), stored.end(), -1);
    for (std::size_t first = 0; first < ids.size(); first += kIdsPerMessage) {
      const std::size_t n = std::min(kIdsPerMessage, ids.size() - first);
      for (std::size_t k = 0; k < n; ++k) stored[first + k] = ids[first + k];
    }
    benchmark::DoNotOptimize(stored.data());
  });
  state.SetItemsProcessed(state.iterations() * kSecurities);
}

void BM_Refresh_Library(benchmark::State& state) {
  const auto ids = server_ids();
  LibraryOptions options;
  options.net = std::make_shared<test::FakeNet>();
  Library lib(options);
  set_current_library(&lib);
  LibraryLock lock(lib);
  LibraryTestAccess::pretend_connected(lib, 1);
  // One class of 30,000 securities, listed by position.
  ClassDescription d;
  std::memset(&d, 0, sizeof d);
  d.server_id = 1;
  std::strcpy(d.code, "BIG");
  on_class_description(lib, d);
  const uint32_t request = lib.classes.at(0).securities_request;
  for (int i = 0; i < kSecurities; ++i) {
    SecurityHead h;
    std::memset(&h, 0, sizeof h);
    h.request = static_cast<int32_t>(request);
    h.server_id = ids[static_cast<std::size_t>(i)];
    std::snprintf(h.code, sizeof h.code, "S%d", i % 1000000);
    on_security_description(lib, h);
  }
  on_request_complete(lib, request);
  const double t = timed(state, [&] {
    // The refresh request (every server id back to -1), then the lists.
    lib.classes.at(0).d.server_id = -1;
    on_class_description(lib, d);
    const uint32_t r = lib.classes.at(0).securities_request;
    for (std::size_t first = 0; first < ids.size(); first += kIdsPerMessage) {
      const std::size_t n = std::min(kIdsPerMessage, ids.size() - first);
      const bool last = first + n == ids.size();
      on_server_ids(lib, r, last ? 4 : 0, static_cast<int32_t>(first), std::span(ids.data() + first, n));
    }
  });
  state.SetItemsProcessed(state.iterations() * kSecurities);
  if (g_linear_pass > 0) state.counters["vs_linear_pass"] = t / g_linear_pass;
  LibraryTestAccess::pretend_disconnected(lib);
  set_current_library(nullptr);
}

// ---- journal records ----

constexpr std::size_t kPayload = 120;

void BM_Journal_Write2(benchmark::State& state) {
  char path[] = "/tmp/kelapi-bench-XXXXXX";
  const int fd = ::mkstemp(path);
  std::vector<uint8_t> record(3 + kPayload, 0x5A);
  g_write = timed(state, [&] { benchmark::DoNotOptimize(::write(fd, record.data(), record.size())); });
  ::close(fd);
  ::unlink(path);
}

void BM_Journal_RecordFile(benchmark::State& state) {
  char path[] = "/tmp/kelapi-bench-XXXXXX";
  const int fd = ::mkstemp(path);
  ::close(fd);
  RecordFile journal;
  journal.create(path, journal_frame(20240101));
  std::vector<uint8_t> payload(kPayload, 0x5A);
  const double t = timed(state, [&] { benchmark::DoNotOptimize(journal.write(36, payload, true)); });
  journal.close();
  ::unlink(path);
  if (g_write > 0) state.counters["vs_write"] = t / g_write;
}

BENCHMARK(BM_ServerIdLookup_HashMap)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ServerIdLookup_SecurityTable)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Refresh_LinearPass)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Refresh_Library)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Journal_Write2)->UseManualTime()->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Journal_RecordFile)->UseManualTime()->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
