// The Margo* interface: set-up order, argument and record checks, memory
// callbacks, row handles, and robustness against bad callbacks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>

#include "fake_terminal.h"
#include "platform/last_error.h"
#include "testing.h"

namespace kelda::margin::test {
namespace {

using kelda::platform::get_last_error;

class MarginInterface : public ::testing::Test {
 protected:
  void SetUp() override { FakeTerminal::instance().reset(); }
  void TearDown() override { FakeTerminal::instance().reset(); }
  FakeTerminal& t = FakeTerminal::instance();

  // One firm with rules, classes, and a client holding money and GAZP.
  void standard_portfolio() {
    ASSERT_TRUE(t.install(2));
    ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER", 10}, {102, "GAZP"}}));
    ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER,GAZP\n"));
    t.set_prices(10, 101, 250.5, 250.25, 248.5, 250);
    t.set_prices(10, 102, 150.5, 150.25, 149.75, 150);
    t.add_money({"F1", "C1", "EQTV", "SUR", 100000, 0, 100000, 0, 0, 0, -1});
    t.add_depo({"F1", "C1", "GAZP", "", 2, 0, 4, 0, 0, 0, 0});
  }
};

// Memory callbacks that count blocks.
struct Blocks {
  static inline std::set<void*> live;
  static inline int allocs = 0;
  static inline int frees = 0;
  static inline int fail_after = -1;  // allocations left before one fails; -1 never
  static void clear() {
    live.clear();
    allocs = frees = 0;
    fail_after = -1;
  }
  static void* alloc(int32_t size) {
    if (fail_after == 0) return nullptr;
    if (fail_after > 0) --fail_after;
    ++allocs;
    void* p = std::malloc(static_cast<std::size_t>(size));
    live.insert(p);
    return p;
  }
  static void release(void* p) {
    ++frees;
    live.erase(p);
    std::free(p);
  }
  static void* grow(void* p, int32_t size) {
    live.erase(p);
    void* q = std::realloc(p, static_cast<std::size_t>(size));
    live.insert(q);
    return q;
  }
};

TEST_F(MarginInterface, InitExChecksInOrder) {
  const struct {
    bool callbacks;
    int32_t type, money, depo;
    uint32_t error;
  } cases[] = {
      {false, 2, 96, 96, MARGO_ERROR_MISSING}, {true, 1, 88, 96, MARGO_ERROR_SIZE},
      {true, 2, 88, 88, MARGO_ERROR_SIZE},     {true, 3, 88, 88, MARGO_ERROR_UNKNOWN_TYPE},
      {true, 0, 96, 96, MARGO_ERROR_UNKNOWN_TYPE}, {true, 1, 88, 88, MARGO_ERROR_SUCCESS},
      {true, 2, 96, 96, MARGO_ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.type << " " << c.money << " " << c.depo);
    t.reset();
    if (c.callbacks) t.register_callbacks();
    EXPECT_EQ(MargoInitEx(c.type, c.money, c.depo), c.error == 0 ? TRUE : FALSE);
    EXPECT_EQ(get_last_error(), c.error);
  }
  // Once initialised, for good: also after MargoCleanup.
  EXPECT_FALSE(MargoInit(88, 88));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_TRUE(MargoCleanup());
  EXPECT_FALSE(MargoInitEx(2, 96, 96));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
}

TEST_F(MarginInterface, EverythingButSetupNeedsInitialisation) {
  MargoMarginalRow row = make_row("F1", "C1");
  MargoActivity a{};
  a.size = 48;
  int32_t ids[1], count = 1;
  EXPECT_FALSE(MargoAddClass(nullptr, nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoSetDliniFile("F1", ""));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoInitMarginalRow(&row));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoCalcMarginalActv(&row, &a, 1));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoGetNeedClassSecIDs(1, ids, &count));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_TRUE(MargoIsLimitsInLots("F1"));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoCleanup());
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
}

TEST_F(MarginInterface, SetupIsRefusedOnceInitialisedAndOldCallbacksStay) {
  standard_portfolio();
  auto never = [](int32_t) -> const MargoMoneyLimit* {
    ADD_FAILURE() << "replaced callback called";
    return nullptr;
  };
  EXPECT_FALSE(MargoSetLimitCallbacks(nullptr, never, nullptr, nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoSetParamCallbacks(nullptr, nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  EXPECT_FALSE(MargoSetMemoryManagement(Blocks::alloc, Blocks::release, Blocks::grow));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_STATE);
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_DOUBLE_EQ(row.currentValue, 1000 + 4 * 150.25);
}

TEST_F(MarginInterface, AllocationGoesThroughTheMemoryCallbacks) {
  for (const bool all_three : {true, false}) {
    SCOPED_TRACE(all_three ? "alloc, free and realloc" : "alloc only");
    t.reset();
    Blocks::clear();
    ASSERT_TRUE(all_three ? MargoSetMemoryManagement(Blocks::alloc, Blocks::release, Blocks::grow)
                          : MargoSetMemoryManagement(Blocks::alloc, nullptr, nullptr));
    standard_portfolio();
    MargoMarginalRow row = make_row("F1", "C1");
    ASSERT_TRUE(MargoInitMarginalRow(&row));
    ASSERT_TRUE(MargoCalcMarginalRow(&row));
    EXPECT_GT(Blocks::allocs, 0);
    if (all_three) {
      EXPECT_GT(Blocks::frees, 0);
      testing::reset_library();  // drops every table through the callbacks
      EXPECT_TRUE(Blocks::live.empty()) << Blocks::live.size() << " blocks left";
    } else {
      EXPECT_EQ(Blocks::frees, 0);  // the process allocator frees
    }
  }
}

TEST_F(MarginInterface, FailedAllocationLeavesTheTablesAsTheyWere) {
  ASSERT_TRUE(MargoSetMemoryManagement(Blocks::alloc, Blocks::release, Blocks::grow));
  Blocks::clear();
  standard_portfolio();
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  const char* replacement = "[LIMITALLOWEDSECURITY]\nTQBR=<ALL>\nNEWC=NEW1\n[CLC1_MARGIN]\nTQBR=SBER\n"
                            "[CLIENTLAG]\nC1=2\n[BOARDTAG]\nEQTV=1\n";
  int failures = 0;
  for (int budget = 0;; ++budget) {
    Blocks::fail_after = budget;
    const BOOL done = MargoSetDliniFile("F1", replacement);
    Blocks::fail_after = -1;
    if (done) break;
    ++failures;
    ASSERT_EQ(get_last_error(), MARGO_ERROR_OUT_OF_MEMORY);
    // The old rules still hold and the row stays bound to them.
    ASSERT_TRUE(MargoIsMarginSeccode(&row, "GAZP", nullptr, nullptr)) << "budget " << budget;
    ASSERT_TRUE(MargoCalcMarginalRow(&row));
  }
  EXPECT_GT(failures, 5);
  EXPECT_FALSE(MargoCalcMarginalRow(&row));  // replaced: bind again
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);

  // A class whose resolution runs out of memory is not added at all.
  for (int budget = 0;; ++budget) {
    Blocks::fail_after = budget;
    const BOOL done = FakeTerminal::add_class(30, "NEWC", {{301, "NEW1"}, {302, "NEW2"}});
    Blocks::fail_after = -1;
    int32_t ids[4], count = 4;
    if (done) {
      ASSERT_TRUE(MargoGetNeedClassSecIDs(30, ids, &count));
      EXPECT_EQ(count, 1);
      break;
    }
    ASSERT_EQ(get_last_error(), MARGO_ERROR_OUT_OF_MEMORY);
    ASSERT_FALSE(MargoGetNeedClassSecIDs(30, ids, &count));
    ASSERT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_SECURITY);
  }
  testing::reset_library();
  EXPECT_TRUE(Blocks::live.empty());
}

TEST_F(MarginInterface, BindingThatFailsLeavesTheRowUnbound) {
  ASSERT_TRUE(MargoSetMemoryManagement(Blocks::alloc, Blocks::release, Blocks::grow));
  Blocks::clear();
  standard_portfolio();
  ASSERT_TRUE(MargoSetDliniFile("F1", "[CLX1_MARGIN]\nTQBR=SBER\n[CLIENTLAG]\nX1=2\n"));
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));  // the firm's own rules
  // Rebound for another client: the handle of X1's rules needs memory.
  std::memcpy(row.clientCode, "X1", 3);
  row.lag2 = 1;
  Blocks::fail_after = 0;
  EXPECT_FALSE(MargoInitMarginalRow(&row));
  Blocks::fail_after = -1;
  EXPECT_EQ(get_last_error(), MARGO_ERROR_OUT_OF_MEMORY);
  EXPECT_EQ(row.binding, 0u);
  EXPECT_EQ(row.lag2, 0);
  EXPECT_FALSE(MargoCalcMarginalRow(&row));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  EXPECT_EQ(row.lag2, 1);
  testing::reset_library();
  EXPECT_TRUE(Blocks::live.empty());
}

TEST_F(MarginInterface, AddClassDuplicatesAndIgnoredClasses) {
  ASSERT_TRUE(t.install(2));
  MargoSecurity sec{};
  EXPECT_FALSE(MargoAddClass(nullptr, &sec));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
  MargoClass negative{};
  negative.securityCount = -1;
  EXPECT_FALSE(MargoAddClass(&negative, &sec));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SIZE);

  // Flags 2 or 4: accepted, stored nowhere (the count is not read).
  for (const int32_t flags : {2, 4, 6 | MARGO_CLASS_BOND}) {
    EXPECT_TRUE(FakeTerminal::add_class(40 + flags, "IGN", {{1, "X"}}, flags));
    EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
    MargoClass ignored{};
    ignored.securityCount = -1;
    ignored.flags = flags;
    EXPECT_TRUE(MargoAddClass(&ignored, &sec));
    EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
  }
  int32_t ids[2], count = 2;
  EXPECT_FALSE(MargoGetNeedClassSecIDs(42, ids, &count));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_SECURITY);

  // The same code twice: only the secondary-valuation byte follows the second call.
  ASSERT_TRUE(MargoSetDliniFile("F1", ""));
  t.set_prices(10, 101, 2, 2, 2, 2);
  t.add_depo({"F1", "C1", "SBER", "", 0, 0, 3, 0, 0, 0, 0});
  EXPECT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}}));
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_DOUBLE_EQ(row.currentValue, 0);  // not valued: in no list, no secondary valuation
  EXPECT_TRUE(FakeTerminal::add_class(11, "TQBR", {{111, "SBER"}, {112, "OTHER"}}, 0, 1));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_CLASS_PRESENT);
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_DOUBLE_EQ(row.currentValue, 6);
  EXPECT_FALSE(MargoGetNeedClassSecIDs(11, ids, &count));  // the second class id was not taken
  MargoClass again{};
  again.securityCount = -1;
  std::memcpy(again.classCode, "TQBR", 5);
  EXPECT_TRUE(MargoAddClass(&again, &sec));  // present: only its byte is read
  EXPECT_EQ(get_last_error(), MARGO_ERROR_CLASS_PRESENT);
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_DOUBLE_EQ(row.currentValue, 0);
}

TEST_F(MarginInterface, SetDliniFileChecksItsArguments) {
  ASSERT_TRUE(t.install(2));
  EXPECT_FALSE(MargoSetDliniFile(nullptr, ""));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
  EXPECT_FALSE(MargoSetDliniFile("F1", nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
  EXPECT_FALSE(MargoSetDliniFile("ABCDEFGHIJKLM", "[GENERAL]\nLIMITSINLOTS=0\n"));  // 13 characters
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SIZE);
  EXPECT_TRUE(MargoIsLimitsInLots("ABCDEFGHIJKL"));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_FIRM);
  EXPECT_TRUE(MargoSetDliniFile("ABCDEFGHIJKL", "[GENERAL]\nLIMITSINLOTS=0\n"));
  EXPECT_FALSE(MargoIsLimitsInLots("ABCDEFGHIJKL"));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
}

TEST_F(MarginInterface, UnboundAndStaleRowsAreRefusedWithoutCallbacks) {
  standard_portfolio();
  MargoMarginalRow row = make_row("F1", "C1");
  auto refused = [&](const char* what) {
    SCOPED_TRACE(what);
    const int before = t.calls.total();
    EXPECT_FALSE(MargoCalcMarginalRow(&row));
    EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
    MargoActivity a{};
    a.size = 56;
    EXPECT_FALSE(MargoInitMarginalActv(&row, &a));
    EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
    EXPECT_FALSE(MargoIsMarginSeccode(&row, "GAZP", nullptr, nullptr));
    EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
    EXPECT_EQ(t.calls.total(), before);
  };
  auto bind = [&] {
    ASSERT_TRUE(MargoInitMarginalRow(&row));
    ASSERT_NE(row.binding, 0u);
    ASSERT_TRUE(MargoCalcMarginalRow(&row));
  };
  refused("never bound");
  row.binding = 0xDEADBEEF;
  refused("garbage binding word");
  bind();
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=GAZP\n"));
  refused("rules replaced");
  bind();
  ASSERT_TRUE(MargoSetDliniFile("F2", ""));  // another firm's rules do not touch the row
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  ASSERT_TRUE(MargoCleanupDlifiles());
  refused("rules dropped");
  EXPECT_FALSE(MargoInitMarginalRow(&row));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_FIRM);
  EXPECT_EQ(row.binding, 0u);
  ASSERT_TRUE(MargoSetDliniFile("F1", ""));
  bind();
  ASSERT_TRUE(MargoCleanup());
  refused("tables and rules dropped");
  EXPECT_EQ(testing::live_handles(), 0u);
}

TEST_F(MarginInterface, RecordSizesAreChecked) {
  standard_portfolio();
  const struct {
    int32_t row_size;
    int32_t activity_size;
    uint32_t error;
  } cases[] = {
      {256, 56, MARGO_ERROR_SIZE}, {4, 56, MARGO_ERROR_SIZE},   {0, 56, MARGO_ERROR_SIZE},
      {280, 52, MARGO_ERROR_SIZE}, {280, 0, MARGO_ERROR_SIZE},  {248, 48, MARGO_ERROR_SUCCESS},
      {264, 56, MARGO_ERROR_SUCCESS}, {272, 48, MARGO_ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.row_size << "/" << c.activity_size);
    MargoMarginalRow row = make_row("F1", "C1", 280);
    ASSERT_TRUE(MargoInitMarginalRow(&row));
    row.size = c.row_size;
    MargoActivity a{};
    a.size = c.activity_size;
    a.classId = 10;
    a.securityId = 102;
    const bool row_ok = c.row_size == 248 || c.row_size == 264 || c.row_size == 272 || c.row_size == 280;
    EXPECT_EQ(MargoCalcMarginalRow(&row), row_ok ? TRUE : FALSE);
    EXPECT_EQ(get_last_error(), row_ok ? MARGO_ERROR_SUCCESS : MARGO_ERROR_SIZE);
    EXPECT_EQ(MargoInitMarginalActv(&row, &a), c.error == 0 ? TRUE : FALSE);
    EXPECT_EQ(get_last_error(), c.error);
    if (!row_ok) {
      EXPECT_FALSE(MargoInitMarginalRow(&row));
      EXPECT_EQ(get_last_error(), MARGO_ERROR_SIZE);
    }
  }
}

TEST_F(MarginInterface, RowIsNeverWrittenPastItsSize) {
  standard_portfolio();
  t.add_money({"F1", "C1", "EQTV", "USD", 100, 200, 300, 400, 500, 600, 150});
  for (const int32_t size : {248, 264, 272, 280}) {
    SCOPED_TRACE(size);
    unsigned char buffer[sizeof(MargoMarginalRow) + 16];
    std::memset(buffer, 0xCD, sizeof buffer);
    const MargoMarginalRow proto = make_row("F1", "C1", size);
    std::memcpy(buffer, &proto, 34);  // size, binding, firm and client
    auto* row = reinterpret_cast<MargoMarginalRow*>(buffer);
    ASSERT_TRUE(MargoInitMarginalRow(row));
    ASSERT_TRUE(MargoCalcMarginalRow(row));
    EXPECT_EQ(row->leverageFromLimit, 1);
    EXPECT_EQ(row->callerData[0], 0xCD);
    EXPECT_EQ(row->reserved39, 0xCD);
    EXPECT_DOUBLE_EQ(row->freeMoney, 1003 - 6);
    EXPECT_DOUBLE_EQ(row->reserved232, 0);
    for (std::size_t i = static_cast<std::size_t>(size); i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xCD) << i;
  }
}

TEST_F(MarginInterface, MissingPriceParameterFailsWithClearedFiguresAndIsAskedAgain) {
  standard_portfolio();
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  t.param_names = {"OFFER", "BID", "PREVPRICE"};  // no LAST
  row.freeMoney = 123;
  row.riskRatio = 456;
  EXPECT_FALSE(MargoCalcMarginalRow(&row));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_NO_PRICE_PARAM);
  EXPECT_EQ(row.freeMoney, 0);
  EXPECT_EQ(row.riskRatio, 0);
  const int asked = t.calls.param_index;
  EXPECT_FALSE(MargoCalcMarginalRow(&row));
  EXPECT_EQ(t.calls.param_index, asked + 1);  // only LAST is asked again

  t.param_names = {"OFFER", "BID", "PREVPRICE", "LAST"};
  t.set_prices(10, 102, 150.5, 150.25, 149.75, 150);  // values under the new indexes
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  const int known = t.calls.param_index;
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_EQ(t.calls.param_index, known);  // all known: never asked again
  EXPECT_DOUBLE_EQ(row.currentValue, 1000 + 4 * 150.25);

  // A bond class makes ACCRUEDINT needed.
  ASSERT_TRUE(FakeTerminal::add_class(20, "TQOB", {{201, "OFZ1", 1, 1000}}, MARGO_CLASS_BOND));
  EXPECT_FALSE(MargoCalcMarginalRow(&row));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_NO_PRICE_PARAM);
}

TEST_F(MarginInterface, WalkStartsAtGivenPositionsAndReportsWhereItStopped) {
  standard_portfolio();
  for (int i = 0; i < 7; ++i) t.add_money({"F1", "A" + std::to_string(i), "EQTV", "SUR", 1, 1, 1, 1, 1, 1, -1});
  t.add_money({"F1", "C2", "EQTV", "SUR", 1, 1, 1, 1, 1, 1, -1});
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  int32_t money = 7;
  int32_t depo = -1;  // nothing to walk
  const Counters before = t.calls;
  ASSERT_TRUE(MargoCalcMarginalRowEx(&row, &money, &depo));
  EXPECT_EQ(t.calls.find_money, before.find_money);
  EXPECT_EQ(t.calls.find_depo, before.find_depo);
  EXPECT_EQ(t.calls.get_depo, before.get_depo);
  EXPECT_EQ(money, 8);
  EXPECT_EQ(depo, -1);
  EXPECT_DOUBLE_EQ(row.currentValue, 1000);
}

TEST_F(MarginInterface, ClientWithoutLimitsHasNeutralFigures) {
  standard_portfolio();
  MargoMarginalRow row = make_row("F1", "NOBODY");
  std::memset(&row.freeMoney, 0x7F, sizeof row - offsetof(MargoMarginalRow, freeMoney));
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  const double* figures = &row.freeMoney;
  for (int i = 0; i < 30; ++i) {
    const double expected = &figures[i] == &row.marginLevel ? 100.0 : 0.0;
    EXPECT_EQ(figures[i], expected) << "figure at " << 40 + 8 * i;
  }
}

TEST_F(MarginInterface, UnitFactorComesFromTheLotSizeWhenLimitsAreInLots) {
  const struct {
    const char* rules;
    int32_t lot;
    double value;
  } cases[] = {
      {"", 10, 150}, {"", 0, 15}, {"", -5, 15}, {"[GENERAL]\nLIMITSINLOTS=0\n", 10, 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rules << " lot " << c.lot);
    t.reset();
    ASSERT_TRUE(t.install(2));
    ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER", c.lot}}));
    ASSERT_TRUE(MargoSetDliniFile("F1", (std::string(c.rules) + "[LIMITALLOWEDSECURITY]\nTQBR=SBER\n").c_str()));
    t.set_prices(10, 101, 5, 5, 5, 5);
    t.add_depo({"F1", "C1", "SBER", "", 0, 0, 3, 0, 0, 0, 0});
    MargoMarginalRow row = make_row("F1", "C1");
    ASSERT_TRUE(MargoInitMarginalRow(&row));
    ASSERT_TRUE(MargoCalcMarginalRow(&row));
    EXPECT_DOUBLE_EQ(row.currentValue, c.value);
  }
}

TEST_F(MarginInterface, LeverageComesFromAMoneyLimitOnlyInInterfaceType2) {
  for (const int32_t type : {1, 2}) {
    SCOPED_TRACE(type);
    t.reset();
    ASSERT_TRUE(t.install(type));
    ASSERT_TRUE(MargoSetDliniFile("F1", ""));
    t.add_money({"F1", "C1", "EQTV", "SUR", 100000, 50000, 100000, 0, 0, 0, 250});
    MargoMarginalRow row = make_row("F1", "C1");
    ASSERT_TRUE(MargoInitMarginalRow(&row));
    ASSERT_TRUE(MargoCalcMarginalRow(&row));
    EXPECT_EQ(row.leverageFromLimit, type == 2 ? 1 : 0);
    EXPECT_DOUBLE_EQ(row.leverage, type == 2 ? 2.5 : 0.5);  // else 500 / 1000
  }
}

TEST_F(MarginInterface, BadCallbackResultsNeverCrashAndQuantitiesStayInRange) {
  const double values[] = {std::nan(""), INFINITY, -INFINITY, -1.0, 1e308, 1e-300, 1e50};
  for (const double value : values) {
    SCOPED_TRACE(value);
    t.reset();
    ASSERT_TRUE(t.install(2));
    ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER", 0}}));
    ASSERT_TRUE(FakeTerminal::add_class(20, "TQOB", {{201, "OFZ1", 1, 0}}, MARGO_CLASS_BOND, 1));
    ASSERT_TRUE(MargoSetDliniFile("F1", "[GENERAL]\nCHECKMAXCREDIT=1\n[LIMITALLOWEDSECURITY]\nTQBR=SBER\n"
                                        "[CLIENTLAG]\nL2=2\n"));
    t.override_values = true;
    t.override_value = value;
    for (const char* client : {"C1", "L2"}) {
      t.add_money({"F1", client, "EQTV", "SUR", value, value, value, value, value, value, INT32_MIN});
      t.add_depo({"F1", client, "OFZ1", "", INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX, value});
      t.add_depo({"F1", client, "SBER", "", INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN, value});
      MargoMarginalRow row = make_row("F1", client);
      ASSERT_TRUE(MargoInitMarginalRow(&row));
      EXPECT_TRUE(MargoCalcMarginalRow(&row));
      for (const int32_t security : {101, 201}) {
        MargoActivity a{};
        a.size = 56;
        a.classId = security / 10;
        a.securityId = security;
        ASSERT_TRUE(MargoInitMarginalActv(&row, &a));
        for (const double price : {0.0, value}) {
          if (MargoCalcMarginalActv(&row, &a, price)) {
            EXPECT_GE(a.buyQuantity, 0);
            EXPECT_GE(a.sellQuantity, 0);
          } else {
            EXPECT_EQ(get_last_error(), MARGO_ERROR_NO_PRICE);  // NaN and negatives are missing prices
          }
        }
      }
    }
  }
}

TEST_F(MarginInterface, EmptyPositionAtAnInfinitePriceAddsNothing) {
  standard_portfolio();
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  const MargoMarginalRow before = row;
  // A limit in SBER with no quantity at all, at infinite prices.
  t.set_prices(10, 101, INFINITY, INFINITY, INFINITY, INFINITY);
  t.add_depo({"F1", "C1", "SBER", "", 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_EQ(std::memcmp(&row, &before, sizeof row), 0);
  EXPECT_FALSE(std::isnan(row.availableLimit));
  // Its collateral amount still counts.
  t.depo.clear();
  t.add_depo({"F1", "C1", "SBER", "", 0, 0, 0, 0, 0, 0, 800});
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  EXPECT_DOUBLE_EQ(row.collateral, 8);
  EXPECT_DOUBLE_EQ(row.marginCollateral, 8);
}

TEST_F(MarginInterface, CallbacksCannotReenterTheLibrary) {
  standard_portfolio();
  MargoMarginalRow row = make_row("F1", "C1");
  ASSERT_TRUE(MargoInitMarginalRow(&row));
  static int refusals;
  refusals = 0;
  t.on_callback = [] {
    if (!MargoCleanup() && kelda::platform::get_last_error() == MARGO_ERROR_STATE) ++refusals;
  };
  ASSERT_TRUE(MargoCalcMarginalRow(&row));
  t.on_callback = nullptr;
  EXPECT_GT(refusals, 0);
  EXPECT_DOUBLE_EQ(row.currentValue, 1000 + 4 * 150.25);
  EXPECT_TRUE(MargoCalcMarginalRow(&row));  // still bound: the cleanup never ran
}

}  // namespace
}  // namespace kelda::margin::test
