// The table cipher against the independent script beside this test.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
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

struct Case {
  std::vector<uint8_t> key;
  uint32_t i, j;
};

// The script's key streams for every case, one line each.
std::vector<std::string> reference_streams(const std::vector<Case>& cases, int count) {
  std::string command = std::string("python3 ") + SEKURA32_TABLE_REFERENCE;
  for (const Case& c : cases)
    command += " " + (c.key.empty() ? std::string("-") : hex(c.key)) + " " + std::to_string(c.i) + " " +
               std::to_string(c.j) + " " + std::to_string(count);
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> lines;
  if (!pipe) return lines;
  std::string line;
  for (int c; (c = std::fgetc(pipe.get())) != EOF;) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += char(c);
    }
  }
  return lines;
}

TEST(TableCipher, KeyStreamMatchesTheIndependentScript) {
  std::mt19937 random(9022010);
  std::vector<Case> cases = {{{1, 2, 3, 4, 5, 6}, 7, 8}, {{}, 0, 0}, {{0xFF}, 255, 255}, {{0, 0, 0, 0, 0, 0}, 300, 1000}};
  for (int n = 0; n < 6; ++n) {
    Case c{std::vector<uint8_t>(6), uint32_t(random() % 256), uint32_t(random() % 256)};
    for (auto& byte : c.key) byte = uint8_t(random());
    cases.push_back(c);
  }
  const int count = 1300;  // several phase changes
  std::vector<std::string> expected = reference_streams(cases, count);
  ASSERT_EQ(expected.size(), cases.size());
  for (std::size_t n = 0; n < cases.size(); ++n) {
    const Case& c = cases[n];
    TableCipherContext context;
    EXPECT_EQ(table_cipher_setup(context, c.key.data(), c.key.size(), c.i, c.j), 1);
    std::vector<uint8_t> stream(count);
    for (auto& byte : stream) byte = table_cipher_next(context);
    ASSERT_EQ(hex(stream), expected[n]) << "key " << hex(c.key);
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

// Applying in pieces of any size gives the bytes and the state that the key
// stream made byte by byte gives: across phase changes, from start indexes
// above 255, and from counts and phases that only a carried context has.
TEST(TableCipher, ApplyInPiecesEqualsTheByteByByteStream) {
  std::mt19937 random(257);
  struct Start {
    uint32_t i, j, counter, phase;
  };
  const Start starts[] = {{7, 8, 0, 0},      {300, 1000, 0, 0}, {1, 2, 255, 0},         {1, 2, 256, 1},
                          {9, 9, 256, 0},    {4, 5, 300, 1},    {4, 5, 0xFFFFFFFFu, 0}, {200, 100, 17, 2}};
  const std::size_t pieces[] = {0, 1, 7, 8, 9, 255, 256, 257, 258, 1000, 4096};
  for (const Start& start : starts) {
    SCOPED_TRACE(std::to_string(start.counter) + " " + std::to_string(start.phase));
    TableCipherContext whole, bytes;
    const uint8_t key[6] = {uint8_t(random()), 2, 3, 4, 5, 6};
    table_cipher_setup(whole, key, 6, start.i, start.j);
    whole.counter = start.counter;
    whole.phase = start.phase;
    bytes = whole;
    std::vector<uint8_t> data(20000);
    for (auto& b : data) b = uint8_t(random());
    std::vector<uint8_t> expected = data, actual = data;
    for (auto& b : expected) b ^= table_cipher_next(bytes);
    std::size_t at = 0;
    for (std::size_t n = 0; at < actual.size(); ++n) {
      const std::size_t piece = std::min(pieces[(n + random()) % std::size(pieces)], actual.size() - at);
      EXPECT_EQ(table_cipher_apply(whole, actual.data() + at, piece), 1);
      at += piece;
    }
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(whole.i, bytes.i);
    EXPECT_EQ(whole.j, bytes.j);
    EXPECT_EQ(whole.counter, bytes.counter);
    EXPECT_EQ(whole.phase, bytes.phase);
    EXPECT_EQ(std::memcmp(whole.a, bytes.a, 256), 0);
    EXPECT_EQ(std::memcmp(whole.b, bytes.b, 256), 0);
  }
  // An empty piece leaves even unmasked start indexes as they are.
  TableCipherContext untouched;
  table_cipher_setup(untouched, nullptr, 0, 300, 1000);
  uint8_t byte = 0;
  table_cipher_apply(untouched, &byte, 0);
  EXPECT_EQ(untouched.i, 300u);
  EXPECT_EQ(untouched.j, 1000u);
}

}  // namespace
}  // namespace kelda::sekura32
