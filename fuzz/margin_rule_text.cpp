// Fuzz target: arbitrary bytes as a firm's rule text. The text is parsed
// against a fixed class table, then rows of a few clients are bound and
// calculated and every query runs on them, so that whatever the parser
// builds is also walked by the figures.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fake_terminal.h"
#include "margin/kelda_margin.h"

using namespace kelda::margin::test;

namespace {

void set_up() {
  auto& t = FakeTerminal::instance();
  t.reset();
  t.install(2);
  FakeTerminal::add_class(1, "TQBR", {{11, "SBER", 10}, {12, "GAZP"}, {13, "LKOH", 0}});
  FakeTerminal::add_class(2, "TQOB", {{21, "OFZ1", 1, 1000}}, MARGO_CLASS_BOND, 1);
  FakeTerminal::add_class(3, "SMAL", {{31, "SBER"}, {32, "X"}});
  t.set_prices(1, 11, 250.5, 250.25, 248.5, 250);
  t.set_prices(1, 12, 150.5, 0, 149.75, 0);
  t.set_prices(2, 21, 99.5, 99.25, 98.75, 99);
  t.set_param(2, 21, "ACCRUEDINT", 12.5);
  t.set_prices(3, 31, 1, 1, 1, 1);
  for (const char* client : {"C1", "CL1", "A"}) {
    t.add_money({"F", client, "EQTV", "SUR", 100000, 200000, 80000, 1000, 500, 2000, 150});
    t.add_money({"F", client, "ADDL", "SUR", 40000, 0, 40000, 0, 0, 0, -1});
    t.add_depo({"F", client, "GAZP", "", 10, 1, -20, 2, 3, 4, 500});
    t.add_depo({"F", client, "OFZ1", "ACC", 5, 0, 5, 0, 8, 0, 0});
    t.add_depo({"F", client, "SBER", "", 3, 1, 4, 2, 0, -1, 50000});
    t.add_depo({"F", client, "X", "", -3, 0, -7, 0, 1, 0, 0});
  }
}

void count_entries(const MargoMarginSecEntry* entries, int32_t count, intptr_t user) {
  auto* total = reinterpret_cast<int64_t*>(user);
  for (int32_t i = 0; i < count; ++i) *total += entries[i].securityCount;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const bool ready = (set_up(), true);
  (void)ready;
  const std::string text(reinterpret_cast<const char*>(data), size);  // cut at the first NUL
  if (!MargoSetDliniFile("F", text.c_str())) return 0;

  for (const char* client : {"C1", "CL1", "A"}) {
    MargoMarginalRow row = make_row("F", client);
    if (!MargoInitMarginalRow(&row)) continue;
    MargoCalcMarginalRow(&row);
    for (const int32_t security : {11, 12, 13, 21, 31, 32}) {
      MargoActivity a{};
      a.size = 56;
      a.classId = security / 10;
      a.securityId = security;
      if (MargoInitMarginalActv(&row, &a)) {
        MargoCalcMarginalActv(&row, &a, 0);
        MargoCalcMarginalActv(&row, &a, 101.25);
      }
    }
    MargoIsMarginSeccode(&row, "SBER", nullptr, nullptr);
    MargoIsAssetSeccode(&row, "GAZP", nullptr, nullptr);
    int64_t total = 0;
    MargoGetMarginSecs(&row, count_entries, reinterpret_cast<intptr_t>(&total));
  }
  int32_t ids[8];
  for (const int32_t cls : {1, 2, 3}) {
    int32_t count = 8;
    MargoGetNeedClassSecIDs(cls, ids, &count);
  }
  MargoIsBoardTagApplicable("F", "EQTV");
  MargoIsLimitsInLots("F");
  MargoCleanupDlifiles();
  return 0;
}
