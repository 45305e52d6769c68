// Rule texts against the answers of their queries. Each case parses one text
// against a fixed class table and runs a list of checks written as
//   lag <client> <n>            tag <tag> <kind>          account <acc> <kind>
//   weight <code> <long> <short>                          set <client> <FIRM|code>
//   margin|asset <client> <code> <class|->                (security found by code)
//   ismargin|short <client> <class> <code> <yes|no>       (by security index)
//   rstrn <client> <yes|no>     flags <lots> <checkmax> <volume> <creditlag>
//   clients <n>
// where <client> "-" asks the firm set itself.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "rule_parser.h"
#include "rules.h"
#include "tables.h"

namespace kelda::margin {
namespace {

struct RuleCase {
  const char* name;
  std::string text;
  std::vector<std::string> checks;
};

// Copies a code into a fixed field, cut to fit and terminated (snprintf would
// do the same, but an optimised build warns of the cut as an error).
template <std::size_t N>
void put_code(char (&field)[N], const char* code) {
  const std::size_t n = strnlen(code, N - 1);
  std::memcpy(field, code, n);
  field[n] = '\0';
}

MargoClass make_class(int32_t id, const char* code, int32_t count, int32_t flags) {
  MargoClass c{};
  c.classId = id;
  c.securityCount = count;
  c.flags = flags;
  put_code(c.classCode, code);
  return c;
}

MargoSecurity make_security(int32_t id, const char* code) {
  MargoSecurity s{};
  s.securityId = id;
  s.lotSize = 1;
  put_code(s.securityCode, code);
  return s;
}

void fill_tables(Tables& t) {
  const MargoSecurity tqbr[] = {make_security(11, "SBER"), make_security(12, "GAZP"), make_security(13, "LKOH")};
  const MargoSecurity tqob[] = {make_security(21, "OFZ1")};
  const MargoSecurity smal[] = {make_security(31, "SBER"), make_security(32, "MINI")};
  t.add_class(make_class(1, "TQBR", 3, 0), tqbr);
  t.add_class(make_class(2, "TQOB", 1, MARGO_CLASS_BOND), tqob);
  t.add_class(make_class(3, "SMAL", 2, 0), smal);
}

const RuleSet& set_of(FirmRules& firm, const std::string& client) {
  return client == "-" ? firm : rules_for_client(firm, client);
}

std::string yes(bool value) { return value ? "yes" : "no"; }

void run_check(FirmRules& firm, const Tables& t, const std::string& check) {
  SCOPED_TRACE(check);
  std::istringstream in(check);
  std::vector<std::string> a;
  for (std::string word; in >> word;) a.push_back(word == "''" ? std::string() : word);
  const std::string& op = a[0];
  if (op == "lag") {
    EXPECT_EQ(lag_of(firm, a[1]), std::stoi(a[2]));
  } else if (op == "tag") {
    EXPECT_EQ(board_tag_kind(firm, a[1]), std::stoi(a[2]));
  } else if (op == "account") {
    EXPECT_EQ(trade_account_kind(firm, a[1]), std::stoi(a[2]));
  } else if (op == "weight") {
    const Weight w = weight_of(firm, a[1]);
    EXPECT_EQ(w.long_factor, std::stod(a[2]));
    EXPECT_EQ(w.short_factor, std::stod(a[3]));
  } else if (op == "set") {
    const RuleSet& set = set_of(firm, a[1]);
    EXPECT_EQ(set.is_client ? std::string(static_cast<const ClientRules&>(set).code.view()) : "FIRM", a[2]);
  } else if (op == "margin" || op == "asset") {
    const RuleSet& set = set_of(firm, a[1]);
    const int32_t sec = op == "margin" ? margin_security_by_code(set, a[2]) : asset_security_by_code(set, a[2]);
    EXPECT_EQ(sec < 0 ? std::string("-") : std::string(t.class_code(t.security(sec).classIndex)), a[3]);
  } else if (op == "ismargin" || op == "short") {
    const RuleSet& set = set_of(firm, a[1]);
    const int32_t cls = t.class_by_code(a[2]);
    const int32_t sec = t.security_in_class(cls, a[3]);
    ASSERT_GE(sec, 0);
    EXPECT_EQ(yes(op == "short" ? is_short_restricted(set, sec, cls) : is_margin_security(set, sec, cls)), a[4]);
  } else if (op == "rstrn") {
    EXPECT_EQ(yes(restricts_non_margin_buy(set_of(firm, a[1]))), a[2]);
  } else if (op == "flags") {
    EXPECT_EQ(firm.limits_in_lots, a[1] == "1");
    EXPECT_EQ(firm.check_max_credit, a[2] == "1");
    EXPECT_EQ(firm.volume, a[3] == "1");
    EXPECT_EQ(firm.credit_lag, std::stoi(a[4]));
  } else if (op == "clients") {
    EXPECT_EQ(firm.clients.size(), std::stoul(a[1]));
  } else {
    FAIL() << "unknown check";
  }
}

const RuleCase kCases[] = {
    {"EmptyTextGivesDefaults", "",
     {"flags 1 0 0 1", "tag ANY 1", "account ANY 1", "margin - SBER -", "asset - SBER -", "weight SBER 1 1",
      "set X FIRM", "rstrn - no", "clients 0"}},
    {"ClientLagExactBeforePrefix",
     "[CLIENTLAG]\nC12*=2\nC1234=1\nC99=3\nC1234=2\nX1234567890123=2\n[GENERAL]\nCREDITLAG=5\n",
     {"lag C1234 1", "lag C129 2", "lag c129 2", "lag D1 5", "lag C99 5", "lag X1234567890123 5"}},
    {"ClientLagLongestPrefixWins", "[CLIENTLAG]\nC1*=2\nC12*=1\nA*= 2 \n",
     {"lag C125 1", "lag C13 2", "lag C1 2", "lag A 2", "lag B 1"}},
    {"ClientLagCyrillicIsUpperCased", "[CLIENTLAG]\n\xEA\xEB\xE8\xE5\xED\xF2=2\n",
     {"lag \xCA\xCB\xC8\xC5\xCD\xD2 2", "lag \xEA\xEB\xE8\xE5\xED\xF2 1"}},
    {"TemplateMakesClientsExceptPrefixes", "[CLT_MARGIN_TEMPLATE]\nCLIENTS=A1, B2*,C3\nRSTRNMBUY=1\nTQBR=GAZP\n",
     {"clients 2", "set A1 A1", "set c3 C3", "set B2X FIRM", "margin A1 GAZP TQBR", "margin Z9 GAZP -",
      "rstrn A1 yes", "rstrn - no"}},
    {"ClientSectionWinsOverTemplate",
     "[CLA1_MARGIN]\nTQBR=LKOH\n[CLT_MARGIN_TEMPLATE]\nCLIENTS=A1,B1\nTQBR=GAZP\n[CLA1_MARGIN]\nTQBR=SBER\n",
     {"clients 2", "margin A1 LKOH TQBR", "margin A1 GAZP -", "margin A1 SBER -", "margin B1 GAZP TQBR"}},
    {"ClientSectionAssetAndAllSecurities", "[CLX1_MARGIN]\nTQBR_ASSET=SBER, GAZP\nTQBR=<ALL>\n",
     {"asset X1 SBER TQBR", "asset X1 LKOH -", "margin X1 LKOH TQBR", "ismargin X1 TQBR GAZP yes",
      "margin Y1 SBER -", "asset Y1 SBER -"}},
    {"AssetsFallBackToFirmThenToMargin",
     "[LIMITALLOWEDSECURITY]\nTQBR=SBER,LKOH\n[CLA_MARGIN]\nTQBR=GAZP\n[CLB_MARGIN]\nTQBR_ASSET=LKOH\n",
     {"asset A GAZP TQBR", "asset A SBER -", "asset - SBER TQBR", "asset B LKOH TQBR", "asset B SBER -",
      "margin B SBER TQBR"}},
    {"SecurityWeightBounds",
     "[SECURITYWEIGHT]\nSBER=1.5,0.5\nGAZP=0.5,1.2\nLKOH=0.3\nMINI=NAN,INF\nOFZ1=0.25,2\nOFZ1=0.75,3\n",
     {"weight SBER 1 1", "weight GAZP 0.5 1.2", "weight LKOH 1 1", "weight MINI 1 1", "weight OFZ1 0.25 2"}},
    {"GeneralFlagsFirstLineCountsAndFullStopIsCut",
     "[GENERAL]\nLIMITSINLOTS=0.\nCHECKMAXCREDIT= 7\nLIMITSINLOTS=1\nCREDITLAG=2\n",
     {"flags 0 1 0 2", "lag ANY 2"}},
    {"OnlyFirstNamedSectionIsRead", "  [GENERAL] .\r\nLIMITSINLOTS=0\n[GENERAL]\nCHECKMAXCREDIT=1\n",
     {"flags 0 0 0 1"}},
    {"SectionEndsAtNextBracketLine", "[GENERAL]\n[OTHER]\nLIMITSINLOTS=0\n", {"flags 1 0 0 1"}},
    {"TextIsUpperCased", "[general]\nlimitsinlots=0\n[limitallowedsecurity]\ntqbr=sber\n",
     {"flags 0 0 0 1", "margin - SBER TQBR"}},
    {"VolumeLineOtherThanTheFirst", "[X]\nVOLUME=1\n", {"flags 1 0 1 1"}},
    {"VolumeOnFirstLineOnly", "VOLUME=1\n", {"flags 1 0 0 1"}},
    {"BoardTagsAndTradeAccounts",
     "[BOARDTAG]\nEQTV=1\nTQBR =x\nLONGTAG=1\n[ADDLIMITBOARDS]\nEQTV=ADDL, PSEQ\n[ADDREPOBOARDS]\nREPT=EQTV,RPMA\n"
     "[ADDLIMITTRDACC]\nEQTV=L01\n[ADDREPOTRDACC]\nEQTV=R01,L01\n",
     {"tag EQTV 1", "tag eqtv 1", "tag TQBR 1", "tag LONG 1", "tag ADDL 2", "tag PSEQ 2", "tag REPT 1",
      "tag RPMA 3", "tag NONE 0", "tag '' 0", "account L01 2", "account R01 3", "account r01 3", "account XX 1"}},
    {"MainClassesOrderCodeLookups", "[GENERAL]\nMAINMARGINCLASSES=SMAL,TQBR\n[LIMITALLOWEDSECURITY]\nTQBR=SBER\nSMAL=SBER\n",
     {"margin - SBER SMAL", "ismargin - TQBR SBER yes", "ismargin - SMAL MINI no"}},
    {"MainClassesMatchWholePiecesAsTheyStand",
     "[GENERAL]\nMAINMARGINCLASSES=TQB, TQBR,SMAL,TQBR\n[LIMITALLOWEDSECURITY]\nTQBR=SBER\nSMAL=SBER\n",
     {"margin - SBER SMAL"}},
    {"UnlistedClassesKeepTableOrder", "[LIMITALLOWEDSECURITY]\nSMAL=SBER\nTQBR=SBER\n", {"margin - SBER TQBR"}},
    {"RstrnmbuyOwnThenFirm", "[GENERAL]\nRSTRNMBUY=1\n[CLA_MARGIN]\nRSTRNMBUY=0\n[CLB_MARGIN]\nTQBR=SBER\n",
     {"rstrn A no", "rstrn B yes", "rstrn Z yes"}},
    {"ShortRestrictionsAndTheirIgnoreFlag",
     "[RESTSHORTSECURITIES]\nTQBR=GAZP\n[CLA_MARGIN]\nIGNORERESTSHORTSECURITY=1\n[CLB_MARGIN]\nTQBR_RESTSHORT=LKOH\n",
     {"short - TQBR GAZP yes", "short A TQBR GAZP no", "short B TQBR GAZP no", "short B TQBR LKOH yes",
      "short C TQBR GAZP yes"}},
    {"PrefixClientSections", "[CLAB*_MARGIN]\nTQBR=GAZP\n[CLABC_MARGIN]\nTQBR=LKOH\n[CL1234567890123_MARGIN]\n",
     {"clients 2", "set ABC ABC", "set ABD AB*", "set abd AB*", "set A FIRM", "margin ABD GAZP TQBR"}},
    {"ListPiecesTrimmedDedupedAndBounded",
     "[LIMITALLOWEDSECURITY]\nNOPE=SBER\nTQBR= ABCDEFGHIJKLM, SBER ,sber,,\nTOOLONGCLASSCODE=GAZP\n",
     {"margin - SBER TQBR", "margin - GAZP -"}},
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class RuleTexts : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleTexts, AnswerTheirQueries) {
  Tables tables;
  fill_tables(tables);
  auto firm = parse_rule_text(*Code::from("F1"), GetParam().text);
  FirmRules* parsed = firm.get();
  refresh_rules(std::span<FirmRules* const>(&parsed, 1), tables);
  for (const auto& check : GetParam().checks) run_check(*firm, tables, check);
}

INSTANTIATE_TEST_SUITE_P(Margin, RuleTexts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Generated rule texts and classes: parsing the text before the classes
// arrive one by one answers every query as parsing it after them.
TEST(RuleTextsAndLateClasses, AnswerAsIfTheClassesCameFirst) {
  std::mt19937 rng(7);
  const char* codes[] = {"A", "B", "C", "D", "E"};
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE(round);
    const int class_count = 1 + pick(5);
    std::vector<MargoClass> classes;
    std::vector<std::vector<MargoSecurity>> securities(static_cast<std::size_t>(class_count));
    for (int c = 0; c < class_count; ++c) {
      for (int i = 1 + pick(4); i > 0; --i) securities[c].push_back(make_security(c * 10 + i, codes[pick(5)]));
      classes.push_back(make_class(c + 1, ("K" + std::to_string(c)).c_str(), static_cast<int32_t>(securities[c].size()), 0));
      classes.back().secondaryValuation = static_cast<uint8_t>(pick(2));
    }
    auto lines = [&](const std::string& suffix) {
      std::string text;
      for (int n = pick(4); n > 0; --n) {
        text += "K" + std::to_string(pick(class_count + 1)) + suffix + "=";
        if (pick(5) == 0) {
          text += "<ALL>";
        } else {
          for (int k = pick(3); k >= 0; --k) text += std::string(codes[pick(5)]) + ",";
        }
        text += "\n";
      }
      return text;
    };
    std::string text = "[GENERAL]\nMAINMARGINCLASSES=";
    for (int c = 0; c < class_count; ++c) {
      if (pick(2)) text += "K" + std::to_string(pick(class_count)) + ",";
    }
    text += "\n[LIMITALLOWEDSECURITY]\n" + lines("") + "[ASSETSECURITIES]\n" + lines("") +
            "[RESTSHORTSECURITIES]\n" + lines("") + "[CLX_MARGIN]\n" + lines("") + lines("_ASSET") +
            lines("_RESTSHORT") + "[CLT_MARGIN_TEMPLATE]\nCLIENTS=Y,Z\n" + lines("") + lines("_ASSET");

    Tables first, late;
    for (int c = 0; c < class_count; ++c) first.add_class(classes[c], securities[c].data());
    auto before = parse_rule_text(*Code::from("F1"), text);
    auto after = parse_rule_text(*Code::from("F1"), text);
    FirmRules* b = before.get();
    FirmRules* a = after.get();
    refresh_rules(std::span<FirmRules* const>(&a, 1), first);
    refresh_rules(std::span<FirmRules* const>(&b, 1), late);
    for (int c = 0; c < class_count; ++c) {
      late.add_class(classes[c], securities[c].data());
      refresh_rules(std::span<FirmRules* const>(&b, 1), late);
    }
    for (const char* client : {"X", "Y", "Q"}) {
      SCOPED_TRACE(client);
      const RuleSet& x = rules_for_client(*after, client);
      const RuleSet& y = rules_for_client(*before, client);
      for (const char* code : codes) {
        EXPECT_EQ(margin_security_by_code(x, code), margin_security_by_code(y, code)) << code;
        EXPECT_EQ(asset_security_by_code(x, code), asset_security_by_code(y, code)) << code;
        EXPECT_EQ(secondary_security(*after, first, code), secondary_security(*before, late, code)) << code;
      }
      for (int i = 0; i < first.security_count(); ++i) {
        const int32_t c = first.security(i).classIndex;
        EXPECT_EQ(is_margin_security(x, i, c), is_margin_security(y, i, c)) << i;
        EXPECT_EQ(is_asset_security(x, i, c), is_asset_security(y, i, c)) << i;
        EXPECT_EQ(is_short_restricted(x, i, c), is_short_restricted(y, i, c)) << i;
      }
    }
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace kelda::margin
