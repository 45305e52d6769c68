// The user's number separators: read from the numeric locale of the
// environment, or set by the program.
#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <mutex>
#include <optional>
#include <string_view>

#include "platform/no_destroy.h"

namespace kelda::platform {
namespace {

constexpr size_t kMaxSeparator = 4;

// The locale's text (UTF-8 in every locale we meet; bytes above 0x7F that do
// not form UTF-8 are taken as Latin-1) as UTF-16, cut to the limit.
std::u16string separator_text(std::string_view bytes) {
  std::u16string out;
  size_t i = 0;
  while (i < bytes.size() && out.size() < kMaxSeparator) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    char32_t cp = b;
    size_t len = 1;
    if (b >= 0xC0 && b < 0xE0) len = 2, cp = b & 0x1F;
    else if (b >= 0xE0 && b < 0xF0) len = 3, cp = b & 0x0F;
    else if (b >= 0xF0 && b < 0xF8) len = 4, cp = b & 0x07;
    bool ok = len == 1 || i + len <= bytes.size();
    for (size_t k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) len = 1, cp = b;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      if (out.size() < kMaxSeparator) out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

// Never destroyed: library threads still running at process exit format numbers.
std::mutex g_mutex;
NoDestroy<std::optional<NumberSeparators>> g_set_storage;
NoDestroy<std::optional<NumberSeparators>> g_settings_storage;
std::optional<NumberSeparators>& g_set = g_set_storage.get();
std::optional<NumberSeparators>& g_settings = g_settings_storage.get();

NumberSeparators cut(NumberSeparators s) {
  if (s.decimal.size() > kMaxSeparator) s.decimal.resize(kMaxSeparator);
  if (s.thousands.size() > kMaxSeparator) s.thousands.resize(kMaxSeparator);
  return s;
}

}  // namespace

NumberSeparators number_separators_from_settings() {
  NumberSeparators out;
  locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return out;  // unknown locale: the C defaults
  const char* radix = nl_langinfo_l(RADIXCHAR, loc);
  const char* thousands = nl_langinfo_l(THOUSEP, loc);
  if (radix != nullptr && *radix != '\0') out.decimal = separator_text(radix);
  if (thousands != nullptr) out.thousands = separator_text(thousands);
  freelocale(loc);
  return out;
}

NumberSeparators user_number_separators() {
  std::lock_guard lock(g_mutex);
  if (g_set) return *g_set;
  if (!g_settings) g_settings = number_separators_from_settings();
  return *g_settings;
}

void set_user_number_separators(const NumberSeparators& separators) {
  std::lock_guard lock(g_mutex);
  g_set = cut(separators);
}

void reset_user_number_separators() {
  std::lock_guard lock(g_mutex);
  g_set.reset();
}

}  // namespace kelda::platform
