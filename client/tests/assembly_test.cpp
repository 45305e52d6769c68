// Joining multi-part server messages and named data blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "multipart/assembly.h"

namespace kelda::kelapi {
namespace {

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string text(std::span<const uint8_t> b) { return {b.begin(), b.end()}; }

TEST(MessageAssembler, JoinsPartsAndDropsWhatAnAbortOrAStrangerInterrupts) {
  MessageAssembler a;
  auto one = a.take(40, kPartFirst | kPartLast, bytes("whole"));
  ASSERT_TRUE(one);
  EXPECT_EQ(one->code, 40u);
  EXPECT_EQ(text(one->data), "whole");

  struct Part {
    uint32_t code;
    uint16_t flags;
    const char* data;
    const char* complete;  // what completes with this part, or null
  };
  const Part parts[] = {
      {40, kPartFirst, "ab", nullptr},  {40, 0, "cd", nullptr},     {40, kPartLast, "ef", "abcdef"},
      {40, kPartFirst, "xx", nullptr},  {41, kPartLast, "yy", nullptr},  // another code: cleared
      {40, kPartLast, "zz", nullptr},                                    // nothing open any more
      {40, kPartFirst, "p1", nullptr},  {40, kPartFirst, "p2", nullptr}, // a new first part restarts
      {40, kPartLast, "!", "p2!"},
      {40, kPartFirst, "q", nullptr},   {40, kPartAbort, "r", nullptr},  {40, kPartLast, "s", nullptr},
      {0, kPartFirst | kPartLast, "zero", nullptr},                      // code 0 is never dispatched
  };
  for (const Part& p : parts) {
    auto done = a.take(p.code, p.flags, bytes(p.data));
    ASSERT_EQ(done.has_value(), p.complete != nullptr) << p.data;
    if (done) {
      EXPECT_EQ(text(done->data), p.complete);
    }
  }
}

TEST(MessageAssembler, AnAssemblyBeyondTheCapIsAborted) {
  MessageAssembler a;
  const std::vector<uint8_t> part(650, 7);
  ASSERT_FALSE(a.take(40, kPartFirst, part));
  std::size_t sent = part.size();
  for (; sent + part.size() <= kMaxAssembly; sent += part.size()) ASSERT_FALSE(a.take(40, 0, part));
  EXPECT_EQ(a.size(), sent);
  EXPECT_FALSE(a.take(40, 0, part)) << "past the cap";
  EXPECT_FALSE(a.open());
  EXPECT_FALSE(a.take(40, kPartLast, part)) << "nothing left to finish";
}

TEST(NamedBlocks, BlocksAssembleSideBySideEachWithItsOwnData) {
  NamedBlocks b;
  EXPECT_FALSE(b.first(1, 9, 0, bytes("x"), bytes("n")));  // not a first part: ignored
  EXPECT_FALSE(b.first(1, 9, kPartFirst, bytes("a1"), bytes("one")));
  EXPECT_FALSE(b.first(2, 8, kPartFirst, bytes("b1"), bytes("two")));
  EXPECT_FALSE(b.further(2, 0, bytes("b2")));
  EXPECT_FALSE(b.further(3, kPartLast, bytes("??")));  // no such block
  auto a = b.further(1, kPartLast, bytes("a2"));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->first_word, 9u);
  EXPECT_EQ(a->second_word, 1u);
  EXPECT_EQ(a->name, "one");
  EXPECT_EQ(text(a->data), "a1a2");
  auto c = b.further(2, kPartLast, bytes("b3"));
  ASSERT_TRUE(c);
  EXPECT_EQ(text(c->data), "b1b2b3");
  EXPECT_EQ(c->first_word, 8u);
  b.further(3, 0, {});  // frees the block handed out last
  EXPECT_EQ(b.open(), 0u);

  // A zero request word or an abort frees the slot at once.
  EXPECT_FALSE(b.first(4, 0, kPartFirst | kPartLast, bytes("d"), bytes("z")));
  EXPECT_EQ(b.open(), 0u);
}

TEST(NamedBlocks, NamedPartsMatchByIdAndNameAndAnAbortFreesTheSlot) {
  NamedBlocks b;
  EXPECT_FALSE(b.first(7, 1, kPartFirst, bytes("keep"), {}));  // a 0x8090 block without a name
  EXPECT_FALSE(b.named(5, kPartFirst, bytes("n1"), bytes("rules")));
  EXPECT_FALSE(b.named(5, 0, bytes("??"), bytes("other")));  // another name: ignored
  auto done = b.named(5, kPartLast, bytes("n2"), bytes("rules"));
  ASSERT_TRUE(done);
  EXPECT_EQ(done->first_word, 5u);
  EXPECT_EQ(done->second_word, 0u);
  EXPECT_EQ(text(done->data), "n1n2");
  EXPECT_FALSE(b.named(6, kPartFirst, bytes("m"), bytes("x")));
  EXPECT_FALSE(b.named(6, kPartAbort, bytes("m"), bytes("x")));
  EXPECT_FALSE(b.named(6, kPartLast, bytes("m"), bytes("x"))) << "the abort freed it";
  auto kept = b.further(7, kPartLast, bytes("!"));
  ASSERT_TRUE(kept) << "the unnamed block kept its slot";
  EXPECT_EQ(text(kept->data), "keep!");
}

TEST(NamedBlocks, SlotsGrowByDoublingUpToTheirCap) {
  NamedBlocks b;
  for (uint32_t id = 1; id <= 11; ++id) b.first(id, 1, kPartFirst, bytes("d"), {});
  EXPECT_EQ(b.slots(), 20u);
  for (uint32_t id = 12; id <= kMaxBlockSlots + 5; ++id) b.first(id, 1, kPartFirst, bytes("d"), {});
  EXPECT_EQ(b.slots(), kMaxBlockSlots);
  EXPECT_EQ(b.open(), kMaxBlockSlots);
}

}  // namespace
}  // namespace kelda::kelapi
