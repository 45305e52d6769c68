// The table cipher against the independent script beside this test.
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "table_cipher.h"

namespace kelda::sekura32 {
namespace {

std::string hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string reference_stream(const std::vector<uint8_t>& key, uint32_t i, uint32_t j, int count) {
  std::string command = std::string("python3 ") + SEKURA32_TABLE_REFERENCE + " '" + hex(key) + "' " +
                        std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(count);
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::string out;
  char chunk[4096];
  while (std::fgets(chunk, sizeof chunk, pipe.get()) != nullptr) out += chunk;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST(TableCipher, KeyStreamMatchesTheIndependentScript) {
  std::mt19937 random(9022010);
  struct Case {
    std::vector<uint8_t> key;
    uint32_t i, j;
  };
  std::vector<Case> cases = {{{1, 2, 3, 4, 5, 6}, 7, 8}, {{}, 0, 0}, {{0xFF}, 255, 255}, {{0, 0, 0, 0, 0, 0}, 300, 1000}};
  for (int n = 0; n < 6; ++n) {
    Case c{std::vector<uint8_t>(6), uint32_t(random() % 256), uint32_t(random() % 256)};
    for (auto& byte : c.key) byte = uint8_t(random());
    cases.push_back(c);
  }
  const int count = 1300;  // several phase changes
  for (const Case& c : cases) {
    TableCipherContext context;
    EXPECT_EQ(table_cipher_setup(context, c.key.data(), c.key.size(), c.i, c.j), 1);
    std::vector<uint8_t> stream(count);
    for (auto& byte : stream) byte = table_cipher_next(context);
    ASSERT_EQ(hex(stream), reference_stream(c.key, c.i, c.j, count)) << "key " << hex(c.key);
  }
}

TEST(TableCipher, ApplyingTwiceRestoresAndPhaseOneStartsAtByte257) {
  const uint8_t key[6] = {10, 20, 30, 40, 50, 60};
  std::vector<uint8_t> data(1000);
  for (std::size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(k);
  std::vector<uint8_t> original = data;
  TableCipherContext enc, dec;
  table_cipher_setup(enc, key, 6, 3, 4);
  table_cipher_setup(dec, key, 6, 3, 4);
  EXPECT_EQ(table_cipher_apply(enc, data.data(), 0), 1);
  EXPECT_EQ(table_cipher_apply(enc, data.data(), data.size()), 1);
  EXPECT_NE(data, original);
  table_cipher_apply(dec, data.data(), 500);
  table_cipher_apply(dec, data.data() + 500, 500);
  EXPECT_EQ(data, original);

  TableCipherContext phases;
  table_cipher_setup(phases, key, 6, 0, 0);
  for (int n = 0; n < 256; ++n) table_cipher_next(phases);
  EXPECT_EQ(phases.phase, 0u);
  table_cipher_next(phases);
  EXPECT_EQ(phases.phase, 1u);
  EXPECT_EQ(phases.counter, 0u);
}

}  // namespace
}  // namespace kelda::sekura32
