// One running copy per work folder: a later copy knocks and is refused, a
// copy in another folder runs, and the name is free again once the first
// copy has ended.
#include <gtest/gtest.h>

#include "terminal/single_instance.h"
#include "testsupport/test_dir.h"

namespace kelda::terminal {
namespace {

TEST(TerminalSingleInstance, ASecondCopyInTheSameFolderKnocksAndEnds) {
  const std::string folder = test::test_dir().string();
  SingleInstance::Outcome outcome{};
  std::unique_ptr<SingleInstance> first = SingleInstance::start(folder, outcome);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(outcome, SingleInstance::Outcome::first);
  EXPECT_FALSE(first->take_knocks());

  int pauses = 0;
  const auto count_pauses = [&](uint32_t) { ++pauses; };
  EXPECT_EQ(SingleInstance::start(folder, outcome, count_pauses), nullptr);
  EXPECT_EQ(outcome, SingleInstance::Outcome::other_running);
  EXPECT_EQ(pauses, 0);
  EXPECT_TRUE(first->take_knocks());
  EXPECT_FALSE(first->take_knocks());

  std::unique_ptr<SingleInstance> elsewhere = SingleInstance::start(folder + "/other", outcome);
  EXPECT_EQ(outcome, SingleInstance::Outcome::first);
  first.reset();
  EXPECT_NE(SingleInstance::start(folder, outcome, count_pauses), nullptr);
  EXPECT_EQ(outcome, SingleInstance::Outcome::first);
}

}  // namespace
}  // namespace kelda::terminal
