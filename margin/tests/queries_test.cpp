// Security and firm queries, and rule texts that meet their classes late.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_terminal.h"
#include "platform/last_error.h"

namespace kelda::margin::test {
namespace {

using kelda::platform::get_last_error;
using kelda::platform::set_last_error;

class MarginQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    t.reset();
    ASSERT_TRUE(t.install(2));
  }
  FakeTerminal& t = FakeTerminal::instance();

  MargoMarginalRow bound_row(const char* firm, const char* client) {
    MargoMarginalRow row = make_row(firm, client);
    EXPECT_TRUE(MargoInitMarginalRow(&row));
    return row;
  }
};

TEST_F(MarginQueries, SecurityCodesAndTheirStableClassRecord) {
  ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}, {102, "GAZP"}}));
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER\n[ASSETSECURITIES]\nTQBR=GAZP\n"));
  const MargoMarginalRow row = bound_row("F1", "C1");
  const MargoClass* cls = nullptr;
  int32_t id = 0;
  EXPECT_TRUE(MargoIsMarginSeccode(&row, "SBER", &cls, &id));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(id, 101);
  EXPECT_STREQ(cls->classCode, "TQBR");
  EXPECT_FALSE(MargoIsMarginSeccode(&row, "GAZP", nullptr, nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
  EXPECT_TRUE(MargoIsAssetSeccode(&row, "GAZP", nullptr, &id));
  EXPECT_EQ(id, 102);
  EXPECT_FALSE(MargoIsAssetSeccode(&row, "SBER", nullptr, nullptr));
  EXPECT_FALSE(MargoIsMarginSeccode(&row, nullptr, nullptr, nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
  EXPECT_FALSE(MargoIsMarginSeccode(&row, std::string(300, 'S').c_str(), nullptr, nullptr));

  // The record stays where it is while the table grows.
  for (int i = 0; i < 200; ++i) FakeTerminal::add_class(1000 + i, "C" + std::to_string(i), {{i, "X"}});
  EXPECT_EQ(cls->classId, 10);
  EXPECT_STREQ(cls->classCode, "TQBR");
  const MargoClass* again = nullptr;
  EXPECT_TRUE(MargoIsMarginSeccode(&row, "SBER", &again, nullptr));
  EXPECT_EQ(again, cls);
}

TEST_F(MarginQueries, RulesSetBeforeTheirClassesResolveWhenTheClassArrives) {
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER\nSMAL=<ALL>\n"));
  const MargoMarginalRow row = bound_row("F1", "C1");
  EXPECT_FALSE(MargoIsMarginSeccode(&row, "SBER", nullptr, nullptr));
  ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "GAZP"}, {102, "SBER"}}));
  ASSERT_TRUE(FakeTerminal::add_class(20, "SMAL", {{201, "A"}, {202, "B"}}));
  int32_t id = 0;
  EXPECT_TRUE(MargoIsMarginSeccode(&row, "SBER", nullptr, &id));
  EXPECT_EQ(id, 102);
  EXPECT_TRUE(MargoIsMarginSeccode(&row, "B", nullptr, &id));
  EXPECT_EQ(id, 202);

  // A main class that arrives late takes its place ahead of the others in
  // the lists that name it; lists that do not name it answer as before.
  ASSERT_TRUE(MargoSetDliniFile("F2", "[GENERAL]\nMAINMARGINCLASSES=LATE,TQBR\n[LIMITALLOWEDSECURITY]\nSMAL=B\n"
                                      "TQBR=SBER\nLATE=SBER\n[CLX1_MARGIN]\nSMAL=B\nTQBR=SBER\n"));
  const MargoMarginalRow firm_row = bound_row("F2", "C1");
  const MargoMarginalRow client_row = bound_row("F2", "X1");
  EXPECT_TRUE(MargoIsMarginSeccode(&firm_row, "SBER", nullptr, &id));
  EXPECT_EQ(id, 102);
  ASSERT_TRUE(FakeTerminal::add_class(30, "OTHR", {{301, "SBER"}}));
  ASSERT_TRUE(FakeTerminal::add_class(40, "LATE", {{401, "SBER"}}));
  for (const auto* row_of : {&firm_row, &client_row}) {
    EXPECT_TRUE(MargoIsMarginSeccode(row_of, "B", nullptr, &id));
    EXPECT_EQ(id, 202);
  }
  EXPECT_TRUE(MargoIsMarginSeccode(&firm_row, "SBER", nullptr, &id));
  EXPECT_EQ(id, 401);
  EXPECT_TRUE(MargoIsMarginSeccode(&client_row, "SBER", nullptr, &id));
  EXPECT_EQ(id, 102);
}

TEST_F(MarginQueries, SecondTextOfAFirmReplacesTheFirst) {
  ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}, {102, "GAZP"}}));
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER\n[GENERAL]\nLIMITSINLOTS=0\n"));
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=GAZP\n"));
  const MargoMarginalRow row = bound_row("F1", "C1");
  EXPECT_FALSE(MargoIsMarginSeccode(&row, "SBER", nullptr, nullptr));
  EXPECT_TRUE(MargoIsMarginSeccode(&row, "GAZP", nullptr, nullptr));
  EXPECT_TRUE(MargoIsLimitsInLots("F1"));
  int32_t ids[4], count = 4;
  ASSERT_TRUE(MargoGetNeedClassSecIDs(10, ids, &count));
  EXPECT_EQ(std::vector<int32_t>(ids, ids + count), std::vector<int32_t>{102});
}

struct Listed {
  int32_t class_id;
  std::string class_code;
  std::vector<std::pair<int32_t, std::string>> securities;
  bool operator==(const Listed&) const = default;
};

void collect(const MargoMarginSecEntry* entries, int32_t count, intptr_t user) {
  auto* out = reinterpret_cast<std::vector<Listed>*>(user);
  for (int32_t i = 0; i < count; ++i) {
    Listed l{entries[i].classId, entries[i].classCode, {}};
    for (int32_t j = 0; j < entries[i].securityCount; ++j) {
      l.securities.emplace_back(entries[i].securities[j].securityId, entries[i].securities[j].securityCode);
    }
    out->push_back(l);
  }
}

TEST_F(MarginQueries, MarginSecurityListOfTheRow) {
  ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}, {102, "GAZP"}}));
  ASSERT_TRUE(FakeTerminal::add_class(20, "LONG", {{201, "ABCDEFGHIJKLMNOPQRS"}}));
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=SBER,NONE\nNOPE=X\nLONG=<ALL>\n"
                                      "[CLC2_MARGIN]\nTQBR=GAZP\n"));
  std::vector<Listed> firm_list, client_list;
  const MargoMarginalRow c1 = bound_row("F1", "C1");
  const MargoMarginalRow c2 = bound_row("F1", "C2");
  ASSERT_TRUE(MargoGetMarginSecs(&c1, collect, reinterpret_cast<intptr_t>(&firm_list)));
  ASSERT_TRUE(MargoGetMarginSecs(&c2, collect, reinterpret_cast<intptr_t>(&client_list)));
  const std::vector<Listed> expected_firm = {
      {10, "TQBR", {{101, "SBER"}, {-1, "NONE"}}},
      {-1, "NOPE", {{-1, "X"}}},
      {20, "LONG", {{201, "ABCDEFGHIJKLMNO"}}},  // a table code cut to the 16-byte field
  };
  EXPECT_EQ(firm_list, expected_firm);
  EXPECT_EQ(client_list, (std::vector<Listed>{{10, "TQBR", {{102, "GAZP"}}}}));
  EXPECT_FALSE(MargoGetMarginSecs(&c1, nullptr, 0));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
}

TEST_F(MarginQueries, NeededSecurityIdsOfAClass) {
  ASSERT_TRUE(FakeTerminal::add_class(10, "TQBR", {{101, "SBER"}, {102, "GAZP"}, {103, "LKOH"}}));
  ASSERT_TRUE(FakeTerminal::add_class(20, "SMAL", {{201, "SBER"}}));
  ASSERT_TRUE(MargoSetDliniFile("F1", "[LIMITALLOWEDSECURITY]\nTQBR=LKOH\nSMAL=SBER\n[ASSETSECURITIES]\nTQBR=SBER\n"
                                      "[CLX_MARGIN]\nTQBR=GAZP,LKOH\n[RESTSHORTSECURITIES]\nTQBR=<ALL>\n"));
  ASSERT_TRUE(MargoSetDliniFile("F2", "[CLT_MARGIN_TEMPLATE]\nCLIENTS=A,B,C\nTQBR_ASSET=SBER,LKOH\n"));
  int32_t ids[8];
  int32_t count = 8;
  set_last_error(4242);
  ASSERT_TRUE(MargoGetNeedClassSecIDs(10, ids, &count));
  EXPECT_EQ(get_last_error(), 4242u);  // untouched on success
  EXPECT_EQ(std::vector<int32_t>(ids, ids + count), (std::vector<int32_t>{103, 101, 102}));
  count = 3;
  EXPECT_TRUE(MargoGetNeedClassSecIDs(10, ids, &count));
  count = 2;
  EXPECT_FALSE(MargoGetNeedClassSecIDs(10, ids, &count));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SIZE);
  count = 0;
  EXPECT_FALSE(MargoGetNeedClassSecIDs(20, ids, &count));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SIZE);
  EXPECT_FALSE(MargoGetNeedClassSecIDs(99, ids, &count));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_SECURITY);
  EXPECT_FALSE(MargoGetNeedClassSecIDs(10, nullptr, &count));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
}

TEST_F(MarginQueries, BoardTagsAndLotsOfAFirm) {
  ASSERT_TRUE(MargoSetDliniFile("F1", "[BOARDTAG]\nEQTV=\n[ADDLIMITBOARDS]\nEQTV=ADDL\n[GENERAL]\nLIMITSINLOTS=0\n"));
  ASSERT_TRUE(MargoSetDliniFile("F2", ""));
  const struct {
    const char* firm;
    const char* tag;
    BOOL result;
    uint32_t error;
  } tags[] = {
      {"F1", "EQTV", TRUE, 4242}, {"F1", "eqtv", TRUE, 4242}, {"F1", "ADDL", FALSE, 4242},
      {"F1", "NONE", FALSE, 4242}, {"F2", "ANY", TRUE, 4242}, {"F3", "EQTV", FALSE, MARGO_ERROR_UNKNOWN_FIRM},
      {"F1", nullptr, FALSE, MARGO_ERROR_MISSING},
  };
  for (const auto& c : tags) {
    SCOPED_TRACE(::testing::Message() << c.firm << " " << (c.tag ? c.tag : "null"));
    set_last_error(4242);
    EXPECT_EQ(MargoIsBoardTagApplicable(c.firm, c.tag), c.result);
    EXPECT_EQ(get_last_error(), c.error);
  }
  EXPECT_FALSE(MargoIsLimitsInLots("F1"));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
  EXPECT_TRUE(MargoIsLimitsInLots("F2"));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_SUCCESS);
  EXPECT_TRUE(MargoIsLimitsInLots("F3"));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_UNKNOWN_FIRM);
  EXPECT_TRUE(MargoIsLimitsInLots(nullptr));
  EXPECT_EQ(get_last_error(), MARGO_ERROR_MISSING);
}

}  // namespace
}  // namespace kelda::margin::test
