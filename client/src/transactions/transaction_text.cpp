// Transaction texts: value look-up, formatting and choice texts.
#include "transactions/transaction_text.h"

namespace kelda::kelapi {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view without_blanks(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

FormattedValue refused(KelapiResult code) {
  FormattedValue f;
  f.result = code;
  return f;
}

FormattedValue format_text(std::string_view value, std::size_t width) {
  if (value.size() > width) return refused(KELAPI_E_INVALID_LENGTH);
  FormattedValue f;
  f.sent.assign(value);
  f.sent.append(width - value.size(), ' ');
  f.shown.assign(value);
  return f;
}

FormattedValue format_number(std::string_view value, std::size_t width, std::size_t scale) {
  const bool negative = !value.empty() && value.front() == '-';
  if (negative) value.remove_prefix(1);
  std::string_view integer;
  std::string_view fraction;
  char separator = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (is_digit(c)) continue;
    if ((c == '.' || c == ',') && separator == 0) {
      separator = c;
      integer = value.substr(0, i);
      fraction = value.substr(i + 1);
      continue;
    }
    return refused(KELAPI_E_INVALIDARG);
  }
  if (separator == 0) integer = value;
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (fraction.size() > scale) return refused(KELAPI_E_INVALID_SCALE);
  if (integer.size() + scale > width) return refused(KELAPI_E_INVALID_LENGTH);
  const std::size_t fill = width - scale - integer.size();
  if (negative && fill < 1) return refused(KELAPI_E_INVALID_LENGTH);
  FormattedValue f;
  f.sent.reserve(width);
  if (negative) f.sent.push_back('-');
  f.sent.append(fill - (negative ? 1 : 0), '0');
  f.sent.append(integer);
  f.sent.append(fraction);
  f.sent.append(scale - fraction.size(), '0');
  if (negative) f.shown.push_back('-');
  f.shown.append(integer);
  if (!fraction.empty()) {
    f.shown.push_back(separator);
    f.shown.append(fraction);
  }
  return f;
}

}  // namespace

std::optional<std::string_view> text_value(std::string_view text, std::string_view key) {
  while (true) {
    const std::size_t bar = text.find('|');
    const std::string_view item = text.substr(0, bar);
    const std::size_t equals = item.find('=');
    if (equals != std::string_view::npos && without_blanks(item.substr(0, equals)) == key) {
      return without_blanks(item.substr(equals + 1));
    }
    if (bar == std::string_view::npos) return std::nullopt;
    text.remove_prefix(bar + 1);
  }
}

std::optional<int> numeric_scale(int16_t type, int price_scale) {
  switch (type) {
    case kFieldInteger:
    case kFieldInteger2:
      return 0;
    case kFieldTwoDecimals:
      return 2;
    case kFieldSixDecimals:
      return 6;
    case kFieldPrice:
      return price_scale;
    default:
      return std::nullopt;
  }
}

FormattedValue format_value(std::string_view value, int width, int16_t type, int price_scale) {
  if (width < 0 || static_cast<std::size_t>(width) > kMaxValueChars) return refused(KELAPI_E_INVALID_LENGTH);
  const auto w = static_cast<std::size_t>(width);
  if (type == kFieldText || type == kFieldChoice) return format_text(value, w);
  const std::optional<int> scale = numeric_scale(type, price_scale);
  // A security's scale outside what a number can carry is as unusable as an
  // unknown type.
  if (!scale || *scale < 0 || *scale > 18) return refused(KELAPI_E_INVALIDARG);
  return format_number(value, w, static_cast<std::size_t>(*scale));
}

std::string_view choice_text(std::string_view list, std::string_view value) {
  std::size_t at = 0;
  while (at <= list.size()) {
    const std::string_view rest = list.substr(at);
    if (rest.size() > value.size() && rest.substr(0, value.size()) == value && rest[value.size()] == '=') {
      const std::string_view text = rest.substr(value.size() + 1);
      return text.substr(0, text.find('|'));
    }
    const std::size_t bar = list.find('|', at);
    if (bar == std::string_view::npos) return {};
    at = bar + 1;
  }
  return {};
}

}  // namespace kelda::kelapi
