// The order window's pieces without a window: the margin client code, the
// stop-order kind and text, number stepping and the keypad's layout.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "terminal/text_log.h"
#include "terminal_dialogs/order_entry.h"

namespace kelda::terminal {

std::string margin_client_code(std::string_view text, uint32_t class_flags) {
  std::string code(text.substr(0, text.find(' ')));
  const std::size_t slash = code.find('/');
  if (slash == std::string::npos) return code;
  if ((class_flags & 0x8) != 0) {
    const std::size_t second = code.find('/', slash + 1);
    if (second != std::string::npos) code.resize(second);
    if (code.size() == slash + 1) code.resize(slash);  // nothing after the "/"
  } else {
    code.resize(slash);
  }
  return code;
}

int stop_order_kind(bool linked, bool take_profit, bool buy, int condition_state) {
  if (linked) return 3;
  if (take_profit) return 6;
  const bool follows = buy ? condition_state == 0 : condition_state == 1;
  return follows ? 1 : 2;
}

std::string stop_order_text(const StopOrderFields& f) {
  const bool reversed = f.kind == 2;
  const bool linked = f.kind == 3;
  const bool take_profit = f.kind == 6;
  std::string t;
  t.reserve(256);
  auto field = [&t](const char* key, std::string_view value) {
    if (!t.empty()) t += '|';
    t += key;
    t += '=';
    t += value;
  };
  field("STOPORDERTYPE", std::to_string(f.kind));
  field("EXPIREDDATE", std::to_string(f.expiry));
  field("ACCOUNT", f.account);
  field("BUYSELL", f.buy ? "B" : "S");
  field("CONDITION", "4");
  field("STOPPRICE", f.stop_price);
  field("TRANSFLAGS", f.expiry == -1 ? "37" : "5");
  field("SECBOARD", f.class_code);
  field("SECCODE", f.security_code);
  field("CO_SECCODE", reversed ? f.security_code : "");
  field("CO_SECBOARD", reversed ? f.class_code : "");
  field("PRICE", f.price);
  field("QUANTITY", f.quantity);
  field("BROKERREF", f.client_code);
  field("STOP_CO_PRICE", linked ? f.linked_price : "");
  field("OFFSET", take_profit ? f.offset : "");
  field("SPREAD", take_profit ? f.spread : "");
  field("ORDERNUM", "0");
  return t;
}

std::string step_number(std::string_view text, int delta, int decimals) {
  decimals = std::clamp(decimals, 0, 10);
  std::string ascii;
  for (const char c : text) ascii += c == ',' ? '.' : c;
  char* end = nullptr;
  double value = std::strtod(ascii.c_str(), &end);
  if (end == ascii.c_str() || !std::isfinite(value)) value = 0;
  value -= delta * std::pow(0.1, decimals);
  // Rounding to the field's places first keeps 0.01 - 0.01 at "0.00".
  const double scale = std::pow(10.0, decimals);
  value = std::round(value * scale) / scale;
  if (value < 0) value = 0;
  char out[64];
  std::snprintf(out, sizeof out, "%.*f", decimals, value);
  if (std::strcmp(out, "-0") == 0 || std::strncmp(out, "-0.", 3) == 0) std::memmove(out, out + 1, std::strlen(out));
  return out;
}

std::vector<KeypadKey> layout_keypad(int right, int anchor, double h, double v) {
  struct Def {
    const char* label;
    int32_t code;
    bool wide;
  };
  static const Def rows[3][5] = {
      {{"1", '1', false}, {"2", '2', false}, {"3", '3', false}, {"4", '4', false}, {"5", '5', false}},
      {{"6", '6', false}, {"7", '7', false}, {"8", '8', false}, {"9", '9', false}, {"0", '0', false}},
      {{".", '.', false}, {"Bks", 8, true}, {"Del", -1, true}, {nullptr, 0, false}, {nullptr, 0, false}},
  };
  const int lift[3] = {63, 42, 21};
  const int height = static_cast<int>(19 * v);
  const int base = anchor - static_cast<int>(44 * v);
  std::vector<KeypadKey> keys;
  for (int r = 0; r < 3; ++r) {
    int x = right - static_cast<int>(72 * h);
    const int top = base - static_cast<int>(lift[r] * v);
    for (const Def& d : rows[r]) {
      if (d.label == nullptr) break;
      KeypadKey k;
      const int width = static_cast<int>((d.wide ? 28 : 14) * h);
      k.rect = RECT{x, top, x + width, top + height};
      k.code = d.code;
      copy_text(k.label, d.label);
      keys.push_back(k);
      x += width;
    }
  }
  return keys;
}

}  // namespace kelda::terminal
