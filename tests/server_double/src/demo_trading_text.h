// The demo desk's reading of a transaction: the values that arrived at the
// widths of the kind's fields, by key, and the fixed-width numbers in them.
// Private to the desk's sources. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "server_double/demo_trading.h"

namespace kelda::server_double {

inline std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  return s;
}

// A fixed-width number: an optional "-" and digits, zero-filled.
inline bool parse_number(const std::string& text, int64_t& out) {
  std::string s = trimmed(text);
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.erase(s.begin());
  }
  if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 18) return false;
  out = std::strtoll(s.c_str(), nullptr, 10) * (negative ? -1 : 1);
  return true;
}

// The values of a transaction text, by key.
struct DemoTrading::Values {
  std::map<std::string, std::string> text;
  std::string get(const std::string& key) const {
    auto it = text.find(key);
    return it == text.end() ? std::string() : it->second;
  }
  bool number(const std::string& key, int64_t& out) const { return parse_number(get(key), out); }
  // A number that fits 32 bits.
  bool number32(const std::string& key, int32_t& out) const {
    int64_t v = 0;
    if (!number(key, v) || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
  }
};

}  // namespace kelda::server_double
