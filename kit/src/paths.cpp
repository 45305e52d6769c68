// Path helpers.
#include "kit/paths.h"

#include <cstring>
#include <string>
#include <string_view>

#include "kit/codepage.h"

namespace kelda::kit {
namespace {

template <typename Char>
bool is_separator(Char c) {
  return c == Char('/') || c == Char('\\');
}

// Paths that are never joined to a base: "X:" and a separator, two leading
// backslashes, or a leading '/'.
template <typename Char>
bool is_rooted(const Char* p) {
  if (p[0] == Char('/')) return true;
  if (p[0] == Char('\\') && p[1] == Char('\\')) return true;
  return p[0] != 0 && p[1] == Char(':') && is_separator(p[2]);
}

void copy_cut(std::string_view text, char* dst, std::size_t size) {
  if (dst == nullptr || size == 0) return;
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(dst, text.data(), n);
  dst[n] = 0;
}

template <typename Char>
const Char* after_last(const Char* path, bool colon_too) {
  const Char* result = path;
  for (const Char* p = path; *p != 0; ++p) {
    if (is_separator(*p) || (colon_too && *p == Char(':'))) result = p + 1;
  }
  return result;
}

}  // namespace

std::filesystem::path path_from_ansi(const char* path) {
  if (path == nullptr) return {};
  return std::filesystem::path(utf8_from_cp1251(path));
}

std::filesystem::path path_from_wide(const char16_t* path) {
  if (path == nullptr) return {};
  return std::filesystem::path(utf8_from_utf16(path));
}

const char* make_full_path(char* path, const char* base, std::size_t size) noexcept {
  static const char kRefused[] = "";
  if (path == nullptr || base == nullptr || *path == 0 || *base == 0) return kRefused;
  if (is_rooted(path)) return path;
  const char* rest = path;
  if (path[0] == '.') {
    if (path[1] != 0 && !is_separator(path[1])) return kRefused;
    rest = path + 1;
  }
  const std::size_t base_len = std::strlen(base);
  const std::size_t rest_len = std::strlen(rest);
  const bool separator = !is_separator(rest[0]);
  const std::size_t total = base_len + (separator ? 1 : 0) + rest_len;
  if (total > kMaxPath - 1 || total + 1 > size) return kRefused;
  char joined[kMaxPath];
  std::memcpy(joined, base, base_len);
  std::size_t at = base_len;
  if (separator) joined[at++] = '/';
  std::memcpy(joined + at, rest, rest_len + 1);
  std::memcpy(path, joined, total + 1);
  return path;
}

void split_path(char* path, char* directory, std::size_t directory_size, char* name,
                std::size_t name_size) noexcept {
  if (path == nullptr) {
    copy_cut("", directory, directory_size);
    copy_cut("", name, name_size);
    return;
  }
  char* last = nullptr;
  for (char* p = path; *p != 0; ++p) {
    if (is_separator(*p)) last = p;
  }
  if (last == nullptr) {
    copy_cut("", directory, directory_size);
    copy_cut(path, name, name_size);
    return;
  }
  *last = 0;
  copy_cut(path, directory, directory_size);
  copy_cut(last + 1, name, name_size);
}

int wpath_make_full(char16_t* path, const char16_t* base) noexcept {
  if (path == nullptr || base == nullptr || *base == 0) return 0;
  if (is_rooted(path)) return 1;
  const char16_t* rest = path;
  if (rest[0] == u'.' && is_separator(rest[1])) rest += 2;
  else if (is_separator(rest[0])) rest += 1;
  const std::u16string_view b(base);
  const std::u16string_view r(rest);
  const bool separator = !is_separator(b.back());
  const std::size_t total = b.size() + (separator ? 1 : 0) + r.size();
  if (total > kMaxPath - 1) return 0;
  char16_t joined[kMaxPath];
  b.copy(joined, b.size());
  std::size_t at = b.size();
  if (separator) joined[at++] = u'/';
  r.copy(joined + at, r.size());
  joined[total] = 0;
  std::memcpy(path, joined, (total + 1) * sizeof(char16_t));
  return 1;
}

const char16_t* wpath_file_name(const char16_t* path) noexcept {
  return path == nullptr ? nullptr : after_last(path, true);
}

void wpath_remove_file_name(char16_t* path) noexcept {
  if (path == nullptr) return;
  char16_t* cut = path;
  for (char16_t* p = path; *p != 0; ++p) {
    if (is_separator(*p)) cut = p;
  }
  *cut = 0;
}

const char16_t* wpath_extension(const char16_t* path) noexcept {
  if (path == nullptr) return nullptr;
  const char16_t* name = after_last(path, true);
  const char16_t* dot = nullptr;
  const char16_t* p = name;
  for (; *p != 0; ++p) {
    if (*p == u'.') dot = p;
  }
  return dot != nullptr ? dot + 1 : p;
}

}  // namespace kelda::kit
