#include "core/text_util.h"

namespace kelda::kelapi {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Calls f(item) for each item of the list; stops when f returns true.
template <typename F>
bool for_each_item(std::string_view list, char separator, F f) {
  while (true) {
    const std::size_t end = list.find(separator);
    if (f(trimmed(list.substr(0, end)))) return true;
    if (end == std::string_view::npos) return false;
    list.remove_prefix(end + 1);
  }
}

}  // namespace

char* copy_bounded(char* dst, const char* src, std::size_t n) noexcept {
  const std::size_t len = src == nullptr ? 0 : strnlen(src, n);
  if (len > 0) std::memmove(dst, src, len);
  std::memset(dst + len, 0, n - len + 1);
  return dst;
}

void trim_right_field(char* text, std::size_t capacity) noexcept {
  if (text == nullptr || capacity == 0) return;
  std::size_t len = strnlen(text, capacity);
  if (len == capacity) text[--len] = '\0';
  while (len > 0 && text[len - 1] == ' ') text[--len] = '\0';
}

void trim_left(char* text) noexcept {
  if (text == nullptr) return;
  std::size_t skip = 0;
  while (text[skip] == ' ') ++skip;
  if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

bool equal_nocase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

int in_list(const char* word, char separator, const char* list) noexcept {
  if (list == nullptr || *list == '\0' || word == nullptr) return 0;
  const std::string_view w(word);
  return for_each_item(list, separator, [&](std::string_view item) { return equal_nocase(item, w); })
             ? 1
             : 0;
}

void merge_list(const char* source, char* dest, std::size_t capacity, char separator) noexcept {
  if (source == nullptr || dest == nullptr) return;
  for_each_item(source, separator, [&](std::string_view item) {
    if (item.empty()) return false;
    char word[1024];
    if (item.size() >= sizeof word) return false;
    std::memcpy(word, item.data(), item.size());
    word[item.size()] = '\0';
    const std::size_t len = std::strlen(dest);
    if (in_list(word, separator, dest) || len + item.size() + 1 > capacity) return false;
    // Room for the separator, the item and the terminator within capacity.
    if (len + 1 + item.size() + 1 > capacity) return false;
    dest[len] = separator;
    std::memcpy(dest + len + 1, item.data(), item.size());
    dest[len + 1 + item.size()] = '\0';
    return false;
  });
}

}  // namespace kelda::kelapi
