// Fuzz target: the transaction-text reader and the value formatter.
//
// Input: [i16 width][i16 type][u8 price scale][text]. Every "|"-separated
// item of the text that has a key is looked up by its key and its value is
// formatted to the width and type; the value is also looked up in the text
// as a choice list. A formatted value must be exactly as wide as its field.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "transactions/transaction_text.h"

using namespace kelda::kelapi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  int16_t width;
  int16_t type;
  std::memcpy(&width, data, 2);
  std::memcpy(&type, data + 2, 2);
  const int scale = data[4] % 24 - 2;
  const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);
  std::string_view rest = text;
  while (true) {
    const std::size_t bar = rest.find('|');
    const std::string_view item = rest.substr(0, bar);
    const std::size_t equals = item.find('=');
    if (equals != std::string_view::npos) {
      std::string_view key = item.substr(0, equals);
      while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.remove_prefix(1);
      while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
      const auto value = text_value(text, key);
      if (!value) std::abort();  // a key of the text is always found
      const FormattedValue v = format_value(*value, width, type, scale);
      if (v.result == KELAPI_OK && v.sent.size() != static_cast<std::size_t>(width)) std::abort();
      (void)choice_text(text, *value);
    }
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  return 0;
}
