// Code-page conversion of a 1 MiB buffer by the kit's tables beside glibc's
// iconv on the same input in the same run: 1251 to 866 (byte mapping) and
// 1251 to UTF-16. Each kit benchmark reports its time per buffer relative to
// iconv's as the counter "vs_iconv" (below 1 is faster); the iconv run it is
// compared with is registered just before it.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/codepage.h"

namespace {

constexpr std::size_t kSize = 1 << 20;

// Text iconv can map both ways: ASCII, the Cyrillic letters and Yo.
const std::string& input() {
  static const std::string text = [] {
    std::string s(kSize, ' ');
    uint32_t x = 12345;
    for (char& c : s) {
      x = x * 1103515245u + 12345u;
      const unsigned r = (x >> 16) % 100;
      if (r < 40) c = static_cast<char>(0x20 + (x >> 8) % 0x5F);
      else if (r < 98) c = static_cast<char>(0xC0 + (x >> 8) % 0x40);
      else c = r == 98 ? '\xA8' : '\xB8';
    }
    return s;
  }();
  return text;
}

// Seconds per buffer of the latest iconv runs.
double g_iconv_866 = 0;
double g_iconv_utf16 = 0;

// Runs `body` once per iteration on the manual clock; returns the mean time.
template <typename Body>
double timed(benchmark::State& state, Body body) {
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed);
    total += elapsed;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
  return state.iterations() == 0 ? 0 : total / static_cast<double>(state.iterations());
}

void run_iconv(benchmark::State& state, const char* to, std::size_t out_size, double& seconds) {
  iconv_t cd = iconv_open(to, "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open failed");
    return;
  }
  std::vector<char> out(out_size);
  bool failed = false;
  seconds = timed(state, [&] {
    char* src = const_cast<char*>(input().data());
    std::size_t src_left = kSize;
    char* dst = out.data();
    std::size_t dst_left = out.size();
    failed |= iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1);
    benchmark::DoNotOptimize(out.data());
  });
  iconv_close(cd);
  if (failed) state.SkipWithError("iconv failed");
}

void BM_Iconv_1251_to_866(benchmark::State& state) { run_iconv(state, "CP866", kSize, g_iconv_866); }

void BM_Kit_1251_to_866(benchmark::State& state) {
  std::vector<char> out(kSize);
  const double t = timed(state, [&] {
    kelda::kit::mem_cp1251_to_cp866(input().data(), out.data(), kSize);
    benchmark::DoNotOptimize(out.data());
  });
  if (g_iconv_866 > 0) state.counters["vs_iconv"] = t / g_iconv_866;
}

void BM_Iconv_1251_to_utf16(benchmark::State& state) {
  run_iconv(state, "UTF-16LE", kSize * 2, g_iconv_utf16);
}

void BM_Kit_1251_to_utf16(benchmark::State& state) {
  std::vector<char16_t> out(kSize);
  const double t = timed(state, [&] {
    kelda::kit::decode(kelda::kit::CodePage::cp1251, input(), out);
    benchmark::DoNotOptimize(out.data());
  });
  if (g_iconv_utf16 > 0) state.counters["vs_iconv"] = t / g_iconv_utf16;
}

}  // namespace

BENCHMARK(BM_Iconv_1251_to_866)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Kit_1251_to_866)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Iconv_1251_to_utf16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Kit_1251_to_utf16)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
