// Replays margin scenarios read from stdin against the library and prints
// what it computes, for the Python model to compare. Each "scenario" line
// starts over with a fresh library. Input lines (fields separated by blanks,
// "-" for an empty text, rule text in hex):
//   scenario | init <type> | class <id> <flags> <code> <secondary> <count>
//   sec <face> <id> <lot> <code> | rules <firm> <hex> | param <class> <sec> <name> <value>
//   money <firm> <client> <tag> <currency> <A> <B> <C> <D> <E> <F> <percent>
//   depo <firm> <client> <code> <account> <opening> <q1> <current> <q2> <q3> <q4> <G>
//   row <firm> <client> <size> | actv <class> <sec> <size> <price>
// Output: "row <ok> <error> <lag2> <leverage byte> <30 figures>" per row and
// "actv <init ok> <init error> <ok> <error> <margin> <asset> <short> <working>
// <buy> <sell> <current> <previous>" per activity.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_terminal.h"
#include "platform/last_error.h"

using namespace kelda::margin::test;

namespace {

std::string text(const std::string& token) { return token == "-" ? std::string() : token; }

std::string unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

void print_double(double v) { std::printf(" %.17g", v); }

}  // namespace

int main() {
  auto& t = FakeTerminal::instance();
  std::string line;
  MargoClass pending{};
  std::vector<MargoSecurity> securities;
  MargoMarginalRow row{};
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string op;
    in >> op;
    if (op == "scenario") {
      t.reset();
      std::printf("scenario\n");
    } else if (op == "init") {
      int type = 0;
      in >> type;
      if (!t.install(type)) std::printf("init failed\n");
    } else if (op == "class") {
      std::string code;
      int secondary = 0;
      pending = MargoClass{};
      in >> pending.classId >> pending.flags >> code >> secondary >> pending.securityCount;
      std::snprintf(pending.classCode, sizeof pending.classCode, "%s", code.c_str());
      pending.secondaryValuation = static_cast<uint8_t>(secondary);
      securities.clear();
      if (pending.securityCount == 0) {
        const MargoSecurity none{};
        MargoAddClass(&pending, &none);
      }
    } else if (op == "sec") {
      MargoSecurity s{};
      std::string code;
      in >> s.faceValue >> s.securityId >> s.lotSize >> code;
      std::snprintf(s.securityCode, sizeof s.securityCode, "%s", code.c_str());
      securities.push_back(s);
      if (static_cast<int32_t>(securities.size()) == pending.securityCount) MargoAddClass(&pending, securities.data());
    } else if (op == "rules") {
      std::string firm, hex;
      in >> firm >> hex;
      MargoSetDliniFile(firm.c_str(), unhex(text(hex)).c_str());
    } else if (op == "param") {
      int32_t cls = 0, sec = 0;
      std::string name;
      double value = 0;
      in >> cls >> sec >> name >> value;
      t.set_param(cls, sec, name, value);
    } else if (op == "money") {
      MoneyLimit m;
      in >> m.firm >> m.client >> m.tag >> m.currency >> m.a >> m.b >> m.c >> m.d >> m.e >> m.f >> m.leverage_percent;
      m.tag = text(m.tag);
      t.add_money(m);
    } else if (op == "depo") {
      DepoLimit d;
      in >> d.firm >> d.client >> d.code >> d.account >> d.opening >> d.q1 >> d.current >> d.q2 >> d.q3 >> d.q4 >> d.g;
      d.account = text(d.account);
      t.add_depo(d);
    } else if (op == "row") {
      std::string firm, client;
      int32_t size = 0;
      in >> firm >> client >> size;
      row = make_row(firm, client, size);
      BOOL ok = MargoInitMarginalRow(&row);
      if (ok) ok = MargoCalcMarginalRow(&row);
      std::printf("row %d %u %d %d", ok, kelda::platform::get_last_error(), row.lag2, row.leverageFromLimit);
      for (const double* f = &row.freeMoney; f <= &row.freeAfterPortfolio; ++f) print_double(*f);
      std::printf("\n");
    } else if (op == "actv") {
      MargoActivity a{};
      double price = 0;
      in >> a.classId >> a.securityId >> a.size >> price;
      const BOOL init_ok = MargoInitMarginalActv(&row, &a);
      const uint32_t init_error = kelda::platform::get_last_error();
      BOOL ok = FALSE;
      uint32_t error = 0;
      if (init_ok) {
        ok = MargoCalcMarginalActv(&row, &a, price);
        error = kelda::platform::get_last_error();
      }
      std::printf("actv %d %u %d %u %d %d %d %d %d %d", init_ok, init_error, ok, error, a.isMargin, a.isAsset,
                  a.isShortRestricted, a.workingQuantity, a.buyQuantity, a.sellQuantity);
      print_double(a.currentValue);
      print_double(a.previousValue);
      std::printf("\n");
    }
  }
  return 0;
}
