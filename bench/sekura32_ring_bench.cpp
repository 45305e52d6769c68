// Finding one key in a binary ring of 10,000 public keys by name, beside the
// least a lookup that re-reads the ring would cost: reading the whole file
// and searching it for the name.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "kit/files.h"
#include "sekura32/sekura32.h"

namespace {

using Clock = std::chrono::steady_clock;

// A public key packet with a random odd 1024-bit modulus and e = 17 (a
// lookup reads only the public part), then its trust, user-id and trust
// packets.
std::string key_group(std::mt19937& random, const std::string& name) {
  std::string body = std::string("\x04\0\0\0\0\0\0\x01", 8) + std::string("\x04\x00", 2);
  for (int k = 0; k < 128; ++k) body += char(random());
  body[10] = char(body[10] | 0x80);
  body.back() = char(body.back() | 1);
  body += std::string("\x00\x05\x11", 3);
  std::string group = std::string("\x99", 1) + char(body.size() >> 8) + char(body.size() & 255) + body;
  group += std::string("\xB0\x01\x00", 3);
  group += char(0xB4) + std::string(1, char(name.size())) + name;
  group += std::string("\xB0\x01\x00", 3);
  return group;
}

struct Ring {
  Ring() {
    char pattern[] = "/tmp/sekura32_bench_XXXXXX";
    folder = mkdtemp(pattern);
    path = folder + "/pubring.bkr";
    std::mt19937 random(7);
    std::string bytes;
    for (int k = 0; k < 10000; ++k) bytes += key_group(random, "User number " + std::to_string(k));
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~Ring() { std::filesystem::remove_all(folder); }
  std::string folder, path;
};

void BM_RingLookup(benchmark::State& state) {
  static Ring ring;
  const char* texts[] = {"User number 7345"};
  UserRecord user;
  skIniUser(&user);
  auto start = Clock::now();
  for (auto _ : state) {
    if (skGetUser(ring.path.c_str(), texts, 1, nullptr, &user, 0, nullptr, 0) != 0) state.SkipWithError("not found");
  }
  auto ours = Clock::now() - start;
  skBurnUser(&user);
  auto reference_start = Clock::now();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
    char* buffer = nullptr;
    std::size_t size = 0;
    kelda::kit::read_whole_file(ring.path.c_str(), &buffer, &size);
    benchmark::DoNotOptimize(std::string_view(buffer, size).find(texts[0]));
    kelda::kit::free_file_buffer(&buffer, &size);
  }
  auto theirs = Clock::now() - reference_start;
  state.counters["vs_reference"] = double(theirs.count()) / double(std::max<Clock::rep>(1, ours.count()));
}
BENCHMARK(BM_RingLookup)->Unit(benchmark::kMicrosecond);

}  // namespace
