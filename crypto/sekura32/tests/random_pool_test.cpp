// The random pool: seeding from the system, credits and debits, stirring,
// keyboard noise, the seed file.
#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "frame.h"
#include "idea.h"
#include "random_pool.h"
#include "testsupport/test_dir.h"

namespace kelda::sekura32 {
namespace {

TEST(RandomPool, EveryPoolStartsFromTheSystemsRandomBytesWithThatCredit) {
  RandomPool a, b;
  EXPECT_NE(0, std::memcmp(a.bytes(), b.bytes(), RandomPool::kSize));
  for (uint32_t level = 0; level < 3; ++level) EXPECT_EQ(a.entropy(level), RandomPool::kMaxEntropy);
  uint8_t x[32], y[32];
  a.take(x, sizeof x, -1);
  b.take(y, sizeof y, -1);
  EXPECT_NE(0, std::memcmp(x, y, sizeof x));
}

TEST(RandomPool, CreditsDebitsAndTheirLimits) {
  RandomPool pool;
  std::vector<uint8_t> out(300);
  pool.take(out.data(), out.size(), 5000);  // more than any estimate holds
  for (uint32_t level = 0; level < 3; ++level) EXPECT_EQ(pool.entropy(level), 0);

  const uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  pool.add(ten, sizeof ten, -1, 1);
  EXPECT_EQ(pool.entropy(0), 80);
  EXPECT_EQ(pool.entropy(1), 80);
  EXPECT_EQ(pool.entropy(2), 0);
  pool.add(ten, sizeof ten, 5000, 7);  // the level is capped at 2, the estimate at 2048
  EXPECT_EQ(pool.entropy(2), 2048);
  pool.take(out.data(), 2, -1);
  EXPECT_EQ(pool.entropy(0), 2032);
}

TEST(RandomPool, ADrawLongerThanThePoolStirsOnTheWay) {
  RandomPool pool;
  uint32_t before = pool.stir_count();
  std::vector<uint8_t> out(300, 0);
  pool.take(out.data(), out.size(), -1);
  // At the end of the pool (twice: the fresh pool starts at its end), after
  // the last byte, and after the debit.
  EXPECT_GE(pool.stir_count() - before, 4u);
  // The two pool-sized stretches of the draw are not copies of each other.
  EXPECT_NE(0, std::memcmp(out.data(), out.data() + 256, 44));
}

TEST(RandomPoolExports, CheckSeedReadEncryptAndTheirArguments) {
  RandomPool* pool = thread_random_pool();
  ASSERT_NE(pool, nullptr);
  std::vector<uint8_t> before(pool->bytes(), pool->bytes() + RandomPool::kSize);
  EXPECT_EQ(skCheckRandomBytes(24, 3), SK_OK);
  EXPECT_EQ(skReadRandomSeed(nullptr), SK_OK);
  EXPECT_EQ(std::vector<uint8_t>(pool->bytes(), pool->bytes() + RandomPool::kSize), before);

  IdeaCfbContext context;
  const uint8_t key[16] = {3};
  idea_cfb_key(context, key);
  IdeaCfbContext copy = context;
  EXPECT_EQ(skEncryptRandom(&context), SK_OK);
  EXPECT_EQ(0, std::memcmp(&copy, &context, sizeof context));  // the caller's context is kept
  EXPECT_NE(std::vector<uint8_t>(pool->bytes(), pool->bytes() + RandomPool::kSize), before);

  EXPECT_EQ(skEncryptRandom(nullptr), SK_BAD_ARGUMENT);
  EXPECT_EQ(skGetRandomBytes(nullptr, 4, -1, 0), SK_BAD_ARGUMENT);
  EXPECT_EQ(skSetRandomBytes(nullptr, 4, -1, 0), SK_BAD_ARGUMENT);
}

TEST(RandomPoolExports, KeyboardNoiseMixesInOnlyNewValues) {
  std::memset(skStatNoiseInd, 0, sizeof skStatNoiseInd);
  uint8_t drain[8];
  ASSERT_EQ(skGetRandomBytes(drain, sizeof drain, 4096, 0), SK_OK);
  RandomPool* pool = thread_random_pool();
  ASSERT_EQ(pool->entropy(0), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(skAsynchEvent(0x41), SK_OK);
  EXPECT_EQ(pool->entropy(0), 64);  // the third event found the last two values equal
  EXPECT_EQ(pool->entropy(1), 0);
  EXPECT_EQ(skStatNoiseInd[0], 3u);
  EXPECT_EQ(skStatNoiseInd[4], 500u);
}

TEST(RandomPoolExports, SeedFileHoldsTheAskedBytes) {
  std::string path = (test::test_dir() / "seed.bin").string();
  EXPECT_EQ(skWriteRandomSeed(path.c_str(), 24, -1), SK_OK);
  EXPECT_EQ(std::filesystem::file_size(path), 24u);
  std::string bad = (test::test_dir() / "missing" / "seed.bin").string();
  EXPECT_EQ(skWriteRandomSeed(bad.c_str(), 24, -1), SK_IO_ERROR);
}

}  // namespace
}  // namespace kelda::sekura32
