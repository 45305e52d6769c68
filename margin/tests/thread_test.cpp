// The library lock: exports called from several threads at once see a
// consistent library (rules replaced under a running calculation never show).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fake_terminal.h"
#include "platform/last_error.h"

namespace kelda::margin::test {
namespace {

TEST(MarginThreads, ExportsAreSerialisedByTheLibraryLock) {
  auto& t = FakeTerminal::instance();
  t.reset();
  ASSERT_TRUE(t.install(2));
  ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}, {102, "GAZP"}}));
  t.set_prices(10, 101, 2, 2, 2, 2);
  t.set_prices(10, 102, 4, 4, 4, 4);
  t.add_depo({"F1", "C1", "GAZP", "", 0, 0, 1, 0, 0, 0, 0});
  t.add_depo({"F1", "C1", "SBER", "", 0, 0, 1, 0, 0, 0, 0});
  const std::string rules[] = {"[LIMITALLOWEDSECURITY]\nTQBR=SBER\n", "[LIMITALLOWEDSECURITY]\nTQBR=GAZP\n"};
  ASSERT_TRUE(MargoSetDliniFile("F1", rules[0].c_str()));

  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < 300; ++i) MargoSetDliniFile("F1", rules[i % 2].c_str());
    stop = true;
  });
  for (int n = 0; n < 3; ++n) {
    threads.emplace_back([&] {
      while (!stop) {
        MargoMarginalRow row = make_row("F1", "C1");
        if (!MargoInitMarginalRow(&row)) {
          ++bad;
          continue;
        }
        // Either rule text values exactly one of the two positions; a stale
        // binding is refused, never read.
        if (MargoCalcMarginalRow(&row)) {
          if (row.currentValue != 2 && row.currentValue != 4) ++bad;
        } else if (kelda::platform::get_last_error() != MARGO_ERROR_MISSING) {
          ++bad;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace kelda::margin::test
