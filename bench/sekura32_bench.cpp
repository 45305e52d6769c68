// The cryptographic library's primitives beside references in the same run:
// MD5 against OpenSSL's EVP MD5, IDEA-CFB against libgcrypt, the table cipher
// against OpenSSL's RC4 (the legacy provider), modular exponentiation at 512,
// 1024 and 1280 bits against BN_mod_exp (and the library's binary method
// beside it), armouring 1 MiB against EVP_EncodeBlock, key generation at 512
// and 1024 bits against OpenSSL's RSA key generation. Each benchmark of ours
// also times its reference for as many rounds and reports "vs_reference": our
// throughput over the reference's (1.0 means equal; above 1 means faster).
// The table cipher and the exponentiation alternate with their references
// call by call and report their own time alone (manual time).
#include <benchmark/benchmark.h>
#include <gcrypt.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rsa.h>

#include <chrono>
#include <functional>
#include <random>
#include <vector>

#include "armour.h"
#include "idea.h"
#include "md5.h"
#include "mp.h"
#include "table_cipher.h"

namespace {

using namespace kelda::sekura32;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kBlock = 64 * 1024;

std::vector<uint8_t> random_bytes(std::size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = uint8_t(random());
  return out;
}

// Runs `reference` as many times as the benchmark ran ours and records the
// throughput ratio.
void compare(benchmark::State& state, Clock::duration ours, const std::function<void()>& reference) {
  auto start = Clock::now();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) reference();
  auto theirs = Clock::now() - start;
  state.counters["vs_reference"] = double(theirs.count()) / double(std::max<Clock::rep>(1, ours.count()));
}

void BM_Md5(benchmark::State& state) {
  auto data = random_bytes(kBlock, 1);
  uint8_t digest[16];
  auto start = Clock::now();
  for (auto _ : state) {
    md5_buffer(data.data(), data.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  auto ours = Clock::now() - start;
  compare(state, ours, [&] {
    unsigned size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, EVP_md5(), nullptr);
    benchmark::DoNotOptimize(digest);
  });
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
}
BENCHMARK(BM_Md5);

void BM_IdeaCfb(benchmark::State& state) {
  static bool ready = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)ready;
  auto data = random_bytes(kBlock, 2);
  auto key = random_bytes(16, 3);
  IdeaCfbContext context;
  idea_cfb_key(context, key.data());
  auto start = Clock::now();
  for (auto _ : state) {
    idea_cfb_encrypt(context, data.data(), data.data(), data.size());
    benchmark::DoNotOptimize(data.data());
  }
  auto ours = Clock::now() - start;
  gcry_cipher_hd_t handle;
  gcry_cipher_open(&handle, GCRY_CIPHER_IDEA, GCRY_CIPHER_MODE_CFB, 0);
  gcry_cipher_setkey(handle, key.data(), 16);
  compare(state, ours, [&] {
    gcry_cipher_encrypt(handle, data.data(), data.size(), nullptr, 0);
    benchmark::DoNotOptimize(data.data());
  });
  gcry_cipher_close(handle);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
}
BENCHMARK(BM_IdeaCfb);

void BM_TableCipher(benchmark::State& state) {
  auto data = random_bytes(kBlock, 4);
  const uint8_t key[6] = {1, 2, 3, 4, 5, 6};
  TableCipherContext context;
  table_cipher_setup(context, key, 6, 7, 8);
  OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  OSSL_PROVIDER* base = OSSL_PROVIDER_load(nullptr, "default");
  EVP_CIPHER* rc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
  EVP_CIPHER_CTX* ctx = rc4 != nullptr ? EVP_CIPHER_CTX_new() : nullptr;
  const uint8_t rc4_key[16] = {1, 2, 3, 4, 5, 6};
  if (ctx != nullptr) EVP_EncryptInit_ex(ctx, rc4, nullptr, rc4_key, nullptr);
  // Ours and RC4 alternate block by block, so that both see the same load on
  // a shared machine.
  Clock::duration ours{}, theirs{};
  for (auto _ : state) {
    auto start = Clock::now();
    table_cipher_apply(context, data.data(), data.size());
    benchmark::DoNotOptimize(data.data());
    auto middle = Clock::now();
    if (ctx != nullptr) {
      int out = 0;
      EVP_EncryptUpdate(ctx, data.data(), &out, data.data(), int(data.size()));
      benchmark::DoNotOptimize(data.data());
    }
    ours += middle - start;
    theirs += Clock::now() - middle;
    state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
  }
  // 0 when RC4 is not available in this OpenSSL.
  state.counters["vs_reference"] =
      ctx != nullptr ? double(theirs.count()) / double(std::max<Clock::rep>(1, ours.count())) : 0;
  if (ctx != nullptr) EVP_CIPHER_CTX_free(ctx);
  if (rc4 != nullptr) EVP_CIPHER_free(rc4);
  if (legacy != nullptr) OSSL_PROVIDER_unload(legacy);
  if (base != nullptr) OSSL_PROVIDER_unload(base);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBlock));
}
BENCHMARK(BM_TableCipher)->UseManualTime();

void BM_ModularExponent(benchmark::State& state) {
  std::size_t words = std::size_t(state.range(0)) / 32;
  std::mt19937 random(5);
  std::vector<mp::Word> m(words), x(words), e(words), result(words);
  for (auto* v : {&m, &x, &e})
    for (auto& w : *v) w = random();
  m.back() |= 0x80000000u;
  m[0] |= 1;
  x.back() &= 0x7FFFFFFFu;
  mp::PreparedModulus prepared;
  mp::prepare(prepared, m);
  auto to_bn = [](const std::vector<mp::Word>& v) {
    std::vector<uint8_t> bytes(v.size() * 4);
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[bytes.size() - 1 - k] = uint8_t(v[k / 4] >> (8 * (k % 4)));
    return BN_bin2bn(bytes.data(), int(bytes.size()), nullptr);
  };
  BIGNUM *bm = to_bn(m), *bx = to_bn(x), *be = to_bn(e), *br = BN_new();
  BN_CTX* ctx = BN_CTX_new();
  // Ours and the reference alternate call by call, so that both see the
  // same load on a shared machine.
  Clock::duration ours{}, theirs{};
  for (auto _ : state) {
    auto start = Clock::now();
    mp::modular_exponent(result, x, e, prepared);
    benchmark::DoNotOptimize(result.data());
    auto middle = Clock::now();
    BN_mod_exp(br, bx, be, bm, ctx);
    benchmark::DoNotOptimize(br);
    ours += middle - start;
    theirs += Clock::now() - middle;
    state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
  }
  state.counters["vs_reference"] = double(theirs.count()) / double(std::max<Clock::rep>(1, ours.count()));
  // The binary method with a long division after every product, as the
  // library computed before the windowed path.
  auto start = Clock::now();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
    mp::modular_exponent_binary(result, x, e, prepared);
    benchmark::DoNotOptimize(result.data());
  }
  state.counters["binary_vs_reference"] =
      double(theirs.count()) / double(std::max<Clock::rep>(1, (Clock::now() - start).count()));
  BN_CTX_free(ctx);
  for (BIGNUM* b : {bm, bx, be, br}) BN_free(b);
}
BENCHMARK(BM_ModularExponent)->Arg(512)->Arg(1024)->Arg(1280)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

void BM_Armour(benchmark::State& state) {
  constexpr std::size_t kMiB = 1024 * 1024;
  auto data = random_bytes(kMiB, 5);
  SkStream* out = skTempMemStream();
  auto start = Clock::now();
  for (auto _ : state) {
    SkStream* in = skMemStream(data.data(), uint32_t(kMiB), uint32_t(kMiB), &skDummyRealloc);
    out->rewind_write(out);
    uint32_t written = 0;
    armour_write(in, out, nullptr, &written, kArmourMessage);
    in->close(in);
    benchmark::DoNotOptimize(written);
  }
  auto ours = Clock::now() - start;
  out->close(out);
  std::vector<unsigned char> encoded(kMiB / 3 * 4 + 8);
  compare(state, ours, [&] {
    int n = EVP_EncodeBlock(encoded.data(), data.data(), int(kMiB));
    benchmark::DoNotOptimize(n);
  });
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMiB));
}
BENCHMARK(BM_Armour)->Unit(benchmark::kMillisecond);

void BM_KeyGeneration(benchmark::State& state) {
  uint32_t bits = uint32_t(state.range(0));
  auto start = Clock::now();
  for (auto _ : state) {
    SkStream* secret = skTempMemStream();
    SkStream* pub = skTempMemStream();
    uint32_t size = bits;
    benchmark::DoNotOptimize(skGenKey(nullptr, nullptr, &size, secret, pub, "bench", nullptr));
    secret->close(secret);
    pub->close(pub);
  }
  auto ours = Clock::now() - start;
  compare(state, ours, [&] {
    EVP_PKEY* key = EVP_RSA_gen(bits);
    EVP_PKEY_free(key);
  });
}
BENCHMARK(BM_KeyGeneration)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
