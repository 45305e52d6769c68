// Argument vectors split in place and argument look-up by prefix.
#include <cstring>

#include <gtest/gtest.h>

#include "sekura32/sekura32.h"

namespace {

TEST(ArgV, SplitsAtBlankRunsAndRefusesAVectorTooSmall) {
  char text[] = "  one\t two   three ";
  int count = -1;
  EXPECT_EQ(skMakeArgV(&count, nullptr, 0, text), SK_OK);
  EXPECT_EQ(count, 3);
  EXPECT_STREQ(text, "  one\t two   three ");  // counting leaves the text alone
  char* small[3];
  EXPECT_EQ(skMakeArgV(&count, small, 3, text), SK_BAD_ARGUMENT);
  EXPECT_STREQ(text, "  one\t two   three ");
  char* vector[4];
  EXPECT_EQ(skMakeArgV(&count, vector, 4, text), SK_OK);
  EXPECT_STREQ(vector[0], "one");
  EXPECT_STREQ(vector[1], "two");
  EXPECT_STREQ(vector[2], "three");
  EXPECT_EQ(vector[3], nullptr);
}

TEST(Argument, OptionWithSeparateValueAndTheFlags) {
  auto vector_of = [](char* text, char** vector) { skMakeArgV(nullptr, vector, 4, text); };
  char text0[] = "word -k value";
  char* v[4];
  vector_of(text0, v);
  EXPECT_STREQ(skArgument(v, "-K", 0), "value");  // case-blind, value taken from the next argument
  EXPECT_STREQ(v[1], "-k");                        // flag 0 removes nothing

  char text2[] = "word -k value";
  vector_of(text2, v);
  const char* exact = skArgument(v, "-k", 2);
  ASSERT_NE(exact, nullptr);
  EXPECT_STREQ(exact, "");  // flag 2 never takes the following argument

  char text1[] = "word -k value";
  vector_of(text1, v);
  EXPECT_STREQ(skArgument(v, "-k", 1), "value");
  EXPECT_STREQ(v[0], "word");
  EXPECT_EQ(v[1], nullptr);

  char text3[] = "word -kvalue";
  vector_of(text3, v);
  EXPECT_STREQ(skArgument(v, "-k", 0), "value");
  EXPECT_EQ(skArgument(v, "-kv", 2), nullptr);  // flag 2: equal length only
  EXPECT_STREQ(skArgument(v, nullptr, 0), "word");
  char* empty[1] = {nullptr};
  EXPECT_EQ(skArgument(empty, "-k", 0), nullptr);
}

TEST(ArgStr, FindsCutsAndRefusesAValueThatDoesNotFit) {
  char text[] = "word -k value tail";
  char value[16];
  EXPECT_EQ(ArgStr(value, sizeof value, text, "-k", 0), 1);
  EXPECT_STREQ(value, "value");
  EXPECT_STREQ(text, "word -k value tail");
  char tiny[3];
  EXPECT_EQ(ArgStr(tiny, sizeof tiny, text, "-k", 1), -1);
  EXPECT_STREQ(text, "word -k value tail");  // a refusal cuts nothing
  EXPECT_EQ(ArgStr(nullptr, 0, text, "-K", 1), 1);
  EXPECT_STREQ(text, "word tail");
  EXPECT_EQ(ArgStr(value, sizeof value, text, "-k", 0), 0);
  char empty[] = "";
  EXPECT_EQ(ArgStr(value, sizeof value, empty, nullptr, 0), 0);
  char joined[] = "a -xyz";
  EXPECT_EQ(ArgStr(value, sizeof value, joined, "-x", 0), 1);
  EXPECT_STREQ(value, "yz");
}

TEST(CaseBlind, ComparesUpperCasedBytes) {
  EXPECT_EQ(skMemICmp("abc", "ABC", 3), 0);
  EXPECT_EQ(skMemICmp("abd", "ABC", 3), 1);
  EXPECT_EQ(skStrNICmp("ab", "AB\0z", 4), 0);  // stops at the NUL
  EXPECT_EQ(skStrNICmp("abc", "abd", 2), 0);
  EXPECT_EQ(skStrNICmp("abc", "abd", 3), -1);
}

}  // namespace
