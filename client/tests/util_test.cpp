// Bounded texts, scaled numbers, packed times, lists, the row search, the
// bar-block list, tagged memory and result texts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/bar_blocks.h"
#include "core/bsearch_rows.h"
#include "core/numbers.h"
#include "core/result_text.h"
#include "core/tagged_memory.h"
#include "core/text_util.h"
#include "files/binary_file.h"
#include "market/multi_index.h"
#include "testsupport/test_dir.h"

namespace kelda::kelapi {
namespace {

TEST(CopyBounded, CopiesAtMostNAndAlwaysTerminates) {
  struct Case {
    std::string source;
    std::size_t n;
    std::string expected;
  };
  const Case cases[] = {
      {std::string(100, 'x'), 79, std::string(79, 'x')},
      {"short", 79, "short"},
      {"", 5, ""},
      {"exactly12chr", 12, "exactly12chr"},
      {"exactly13chrs", 12, "exactly13chr"},
  };
  for (const Case& c : cases) {
    std::vector<char> dst(c.n + 8, '#');
    copy_bounded(dst.data(), c.source.c_str(), c.n);
    EXPECT_EQ(std::string(dst.data()), c.expected) << c.source;
    for (std::size_t i = c.expected.size(); i <= c.n; ++i) EXPECT_EQ(dst[i], '\0') << c.source << " at " << i;
    EXPECT_EQ(dst[c.n + 1], '#') << "wrote past n + 1 bytes";
  }
}

TEST(ScaledNumbers, RepeatedTenthsGiveTheServersBits) {
  EXPECT_EQ(scaled_to_double(1, 2), 0.010000000000000002);
  EXPECT_EQ(scaled_to_double(15, 2), 0.15000000000000002);
  EXPECT_EQ(scaled_to_double(123, 0), 123.0);
  EXPECT_EQ(scale_down(5.0, -3), 5.0);
  EXPECT_EQ(scale_up(2, 1.5), 150.0);
  EXPECT_EQ(scale_up(0, 1.5), 1.5);
}

TEST(PackedTimes, ConvertBothWays) {
  EXPECT_EQ(time_to_seconds(123456), 45296);
  EXPECT_EQ(seconds_to_time(45296), 123456);
  const uint64_t ft = packed_to_file_time(20240229, 235959);
  ASSERT_NE(ft, 0u);
  int32_t date = -1;
  EXPECT_EQ(file_time_to_packed(ft, &date), 235959);
  EXPECT_EQ(date, 20240229);
  for (const auto& [d, t] : std::vector<std::pair<int32_t, int32_t>>{{20230229, 0}, {20240101, 246000}, {-1, 0}}) {
    EXPECT_EQ(packed_to_file_time(d, t), 0u) << d << " " << t;
  }
  EXPECT_EQ(file_time_to_packed(~0ull, &date), 0);
  EXPECT_EQ(date, 0);
}

TEST(Lists, MatchItemsAndMergeWithinCapacity) {
  EXPECT_EQ(in_list("abc", '|', " x | ABC |y"), 1);
  EXPECT_EQ(in_list("ab", '|', "abc|x"), 0);
  EXPECT_EQ(in_list("a", '|', ""), 0);
  EXPECT_EQ(in_list("a", '|', nullptr), 0);

  char dest[16] = "";
  merge_list(" one | two |one||", dest, sizeof dest, '|');
  EXPECT_STREQ(dest, "|one|two");
  // "|one|two|three" plus its terminator needs 15 bytes: it fits in 15, not in 14.
  char fits[16] = "|one|two";
  merge_list("three", fits, 15, '|');
  EXPECT_STREQ(fits, "|one|two|three");
  char full[16] = "|one|two";
  merge_list("three", full, 14, '|');
  EXPECT_STREQ(full, "|one|two");
}

TEST(BsearchRows, FindsRowsAndInsertionPositions) {
  const std::vector<int> rows = {10, 20, 30, 40, 50};
  const auto cmp = [](int key, int row) { return key < row ? -1 : key > row ? 1 : 0; };
  struct Case {
    std::size_t count;
    int key;
    int64_t found;
    std::size_t position;
  };
  const Case cases[] = {
      {0, 10, -1, 0}, {5, 30, 2, 2}, {5, 10, 0, 0}, {5, 50, 4, 4},
      {5, 60, -1, 5}, {5, 5, -1, 0}, {5, 35, -1, 3}, {4, 45, -1, 4}, {1, 15, -1, 1},
  };
  for (const Case& c : cases) {
    std::size_t position = 999;
    EXPECT_EQ(bsearch_rows(c.key, rows.data(), c.count, cmp, &position), c.found) << c.count << "/" << c.key;
    EXPECT_EQ(position, c.position) << c.count << "/" << c.key;
  }
}

TEST(MultiIndex, AgreesWithAPlainMultimapUnderInsertsAndErasures) {
  MultiIndex index;
  std::map<int64_t, std::set<uint32_t>> reference;
  std::mt19937 random(11);
  // Few keys and many rows: collisions, shared keys and wrapped probe chains.
  for (int step = 0; step < 20000; ++step) {
    const int64_t key = static_cast<int64_t>(random() % 300) - 150;
    const uint32_t row = random() % 500;
    if (random() % 3 == 0) {
      index.erase(key, row);
      reference[key].erase(row);
    } else {
      index.insert(key, row);
      reference[key].insert(row);
    }
    if (step % 97 == 0) {
      for (const auto& [k, rows] : reference) {
        ASSERT_EQ(index.first(k), rows.empty() ? -1 : int64_t{*rows.begin()}) << "key " << k;
        std::vector<uint32_t> seen;
        index.for_each(k, [&](uint32_t r) { seen.push_back(r); });
        ASSERT_EQ(seen, std::vector<uint32_t>(rows.begin(), rows.end())) << "key " << k;
      }
    }
  }
  index.clear();
  EXPECT_EQ(index.first(0), -1);
}

TEST(TaggedMemory, CountsBlocksAndKeepsThemAligned) {
  const std::size_t before = allocated_total();
  void* a = tagged_alloc(AllocTag::extuser, 5);
  void* b = tagged_alloc(AllocTag::minutes, 100);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 16, 0u);
  EXPECT_EQ(tagged_block_tag(b), AllocTag::minutes);
  EXPECT_GE(allocated_bytes(AllocTag::extuser), 5u);
  b = tagged_realloc(b, 1000);
  EXPECT_EQ(tagged_block_tag(b), AllocTag::minutes);
  EXPECT_STREQ(alloc_tag_name(AllocTag::minutes), "__MINUTES__");
  tagged_free(a);
  tagged_free(b);
  EXPECT_EQ(allocated_total(), before);
}

TEST(BarBlocks, ClearingFreesTheBlocksOfEveryEntry) {
  const std::size_t before = allocated_total();
  {
    BarBlockList list;
    for (uint32_t k = 0; k < 4; ++k) {
      const int i = list.add(k, k + 1, k + 2, 0);
      list.at(i).blocks.push_back(tagged_alloc(AllocTag::minutes, 64));
    }
    EXPECT_EQ(list.find(2, 3, 4), 2);
    EXPECT_EQ(list.find(2, 3, 5), -1);
    list.remove(0, true);
    EXPECT_EQ(list.find(1, 2, 3), 0);
    list.clear();
    EXPECT_EQ(list.size(), 0u);
  }
  EXPECT_EQ(allocated_total(), before);
}

TEST(ResultText, OwnCodesHaveTextsOthersTheirNumber) {
  const std::pair<KelapiResult, std::string> cases[] = {
      {KELAPI_OK, "Ok."},
      {KELAPI_E_NOT_INITIALIZED, "KeldaApi library not initialized."},
      {KELAPI_E_STRUCT_SIZE, "The size of structure is incorrect."},
      {KELAPI_E_OVERFLOW, "Value overflow."},
      {KELAPI_E_OVERFLOW + 1, "Error with code -2147220484."},
      {KELAPI_E_POINTER, "Error with code -2147467261."},
      {5, "Error with code 5."},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(result_text(code), text) << code;
}

TEST(CountedText, LongFieldsAreCutAndSkippedWhole) {
  const std::string value(300, 'v');
  {
    auto f = ReplacingFile::create("counted.bin");
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->write_counted_text(value.c_str()));
    ASSERT_TRUE(f->write_counted_text(nullptr));
    ASSERT_TRUE(f->write_u32(0xABCD));
    ASSERT_TRUE(f->commit());
  }
  auto in = InputFile::open("counted.bin");
  ASSERT_TRUE(in);
  char buffer[256];
  ASSERT_TRUE(in->read_counted_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), std::string(255, 'v'));
  ASSERT_TRUE(in->read_counted_text(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(in->read_u32(), 0xABCDu);
  EXPECT_FALSE(in->read_counted_text(buffer, sizeof buffer));
}

}  // namespace
}  // namespace kelda::kelapi
