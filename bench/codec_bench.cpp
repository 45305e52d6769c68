// The message codec against memcpy of the same bytes: a security
// description (a nested record of about 100 wire bytes) and a counted array
// of 225 32-bit values, encoded and decoded, in messages per second. Each
// codec benchmark also times memcpy of its wire bytes for as many rounds and
// reports the ratio as the counter "x_memcpy".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "zn_de/codec.h"

namespace {

using kelda::de::RecordLayout;

struct Prices {
  int16_t scale;
  int32_t lot;
  int64_t step_price;
};
MessageLayout kPrices[] = {0, ZN_FIELD_INT16, ZN_FIELD_INT32, ZN_FIELD_INT64, 0};

struct Security {
  int32_t server_id;
  char class_code[13];
  char code[13];
  char short_name[21];
  char name[129];
  char isin[13];
  Prices prices;
  int64_t face_value;
  int32_t flags;
  int16_t currency;
};
MessageLayout kSecurity[] = {0,
                             ZN_FIELD_INT32,
                             ZN_FIELD_ARRAY(13), ZN_FIELD_CHAR,
                             ZN_FIELD_ARRAY(13), ZN_FIELD_CHAR,
                             ZN_FIELD_ARRAY(21), ZN_FIELD_CHAR,
                             ZN_FIELD_ARRAY(129), ZN_FIELD_CHAR,
                             ZN_FIELD_ARRAY(13), ZN_FIELD_CHAR,
                             ZN_FIELD_NESTED(kPrices),
                             ZN_FIELD_INT64,
                             ZN_FIELD_INT32,
                             ZN_FIELD_INT16,
                             0};

struct Values {
  uint16_t count;
  int32_t values[225];
};
MessageLayout kValues[] = {0, ZN_FIELD_COUNTED_ARRAY(225), ZN_FIELD_INT32, 0};

Security make_security() {
  Security s{};
  s.server_id = 1042;
  std::strcpy(s.class_code, "TQBR");
  std::strcpy(s.code, "SBER");
  std::strcpy(s.short_name, "Sberbank");
  std::strcpy(s.name, "Sberbank of Russia, ordinary share");
  std::strcpy(s.isin, "RU0009029540");
  s.prices = {2, 10, 1000};
  s.face_value = 300;
  s.flags = 0x41;
  s.currency = 643;
  return s;
}

Values make_values() {
  Values v{};
  v.count = 225;
  for (int i = 0; i < 225; ++i) v.values[i] = i * 1000003;
  return v;
}

struct Subject {
  RecordLayout layout;
  std::vector<uint8_t> native;
  std::vector<uint8_t> wire;
};

template <typename R>
Subject make_subject(MessageLayout* layout, const R& record) {
  RecordLayout compiled = RecordLayout::compile(layout).value();
  std::vector<uint8_t> native(sizeof(R));
  std::memcpy(native.data(), &record, sizeof(R));
  std::vector<uint8_t> wire(kelda::de::kWorkAreaSize);
  wire.resize(kelda::de::encode_record(compiled, native.data(), wire).value());
  return {std::move(compiled), std::move(native), std::move(wire)};
}

// Times memcpy of n bytes for the given number of rounds.
double memcpy_seconds(std::size_t n, benchmark::IterationCount rounds) {
  std::vector<uint8_t> from(n, 0x5A), to(n);
  const auto start = std::chrono::steady_clock::now();
  for (benchmark::IterationCount i = 0; i < rounds; ++i) {
    std::memcpy(to.data(), from.data(), n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Body>
void run(benchmark::State& state, std::size_t wire_bytes, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const double codec = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(wire_bytes));
  state.counters["wire_bytes"] = static_cast<double>(wire_bytes);
  state.counters["x_memcpy"] = codec / memcpy_seconds(wire_bytes, state.iterations());
}

void encode(benchmark::State& state, const Subject& s) {
  std::vector<uint8_t> out(kelda::de::kWorkAreaSize);
  run(state, s.wire.size(), [&] {
    auto n = kelda::de::encode_record(s.layout, s.native.data(), out);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  });
}

void decode(benchmark::State& state, const Subject& s) {
  std::vector<uint8_t> native(s.layout.native_size());
  run(state, s.wire.size(), [&] {
    auto n = kelda::de::decode_record(s.layout, s.wire, native);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  });
}

const Subject& security() {
  static const Subject s = make_subject(kSecurity, make_security());
  return s;
}

const Subject& values() {
  static const Subject s = make_subject(kValues, make_values());
  return s;
}

void BM_EncodeSecurity(benchmark::State& state) { encode(state, security()); }
void BM_DecodeSecurity(benchmark::State& state) { decode(state, security()); }
void BM_EncodeValues225(benchmark::State& state) { encode(state, values()); }
void BM_DecodeValues225(benchmark::State& state) { decode(state, values()); }

void BM_MemcpySecurityBytes(benchmark::State& state) {
  const std::size_t n = security().wire.size();
  std::vector<uint8_t> to(n);
  for (auto _ : state) {
    std::memcpy(to.data(), security().wire.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_MemcpyValues225Bytes(benchmark::State& state) {
  const std::size_t n = values().wire.size();
  std::vector<uint8_t> to(n);
  for (auto _ : state) {
    std::memcpy(to.data(), values().wire.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_EncodeSecurity);
BENCHMARK(BM_DecodeSecurity);
BENCHMARK(BM_MemcpySecurityBytes);
BENCHMARK(BM_EncodeValues225);
BENCHMARK(BM_DecodeValues225);
BENCHMARK(BM_MemcpyValues225Bytes);

}  // namespace

BENCHMARK_MAIN();
