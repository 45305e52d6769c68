// INI reader and writer over whole-file reads and whole-file rewrites.
#include "kit/ini.h"

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "kit/codepage.h"
#include "kit/files.h"
#include "kit/paths.h"
#include "platform/last_error.h"

namespace kelda::kit {
namespace {

using Lines = std::vector<std::string>;

// Splits file bytes into the lines the readers see: CR LF becomes LF, a line
// keeps its LF, and a line is cut into pieces of at most kIniLineLimit
// characters.
Lines split_lines(std::string_view bytes) {
  Lines lines;
  std::string current;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    current += c;
    if (c == '\n' || current.size() == kIniLineLimit) {
      lines.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

std::optional<Lines> read_lines(const char16_t* path) {
  std::optional<std::string> bytes = detail::read_file(path_from_wide(path));
  if (!bytes) return std::nullopt;
  return split_lines(*bytes);
}

// The lines of a file about to be rewritten: none when there is no file yet;
// nothing at all when a file is there but cannot be read, since rewriting it
// from nothing would lose every line in it.
std::optional<Lines> read_lines_to_rewrite(const char16_t* path) {
  bool missing = false;
  std::optional<std::string> bytes = detail::read_file(path_from_wide(path), &missing);
  if (!bytes) return missing ? std::optional<Lines>(Lines{}) : std::nullopt;
  return split_lines(*bytes);
}

bool write_lines(const char16_t* path, const Lines& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    for (char c : line) {
      if (c == '\n') bytes += '\r';
      bytes += c;
    }
  }
  return write_whole_file(path_from_wide(path), bytes);
}

// A line as the C string functions see it: up to its first NUL.
std::string_view text_of(const std::string& line) {
  return std::string_view(line.c_str());
}

std::string_view trim_spaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The line without its LF and without spaces at both ends (the writer's view).
std::string_view trimmed(const std::string& line) {
  std::string_view s = text_of(line);
  if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
  return trim_spaces(s);
}

std::string narrow(const char16_t* text) { return encode(CodePage::cp1251, std::u16string_view(text)); }

// Concatenation by appending (GCC 12 warns wrongly on operator+ chains at -O3).
std::string join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

std::string header_of(const char16_t* section) { return join({"[", narrow(section), "]"}); }

// Finds the value of a key the readers' way; nothing when the section or the
// key is missing.
std::optional<std::string> find_value(const Lines& lines, const std::string& section,
                                      const std::string& key) {
  const std::string header = join({"[", section, "]"});
  std::size_t i = 0;
  for (; i < lines.size(); ++i) {
    const std::string_view line = text_of(lines[i]);
    if (!line.empty() && line.front() == ';') continue;
    if (line.find(header) != std::string_view::npos) break;
  }
  for (++i; i < lines.size(); ++i) {
    const std::string_view line = text_of(lines[i]);
    if (!line.empty() && line.front() == '[') break;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (trim_spaces(line.substr(0, eq)) != key) continue;
    return std::string(trim_spaces(line.substr(eq + 1)));
  }
  return std::nullopt;
}

// Index of the first line that is, trimmed, the section header.
std::optional<std::size_t> find_header(const Lines& lines, std::string_view header, std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (trimmed(lines[i]) == header) return i;
  }
  return std::nullopt;
}

bool section_ends(const std::string& line) {
  const std::string_view t = trimmed(line);
  return !t.empty() && t.front() == '[';
}

bool has_line_break(const char16_t* text) {
  for (; *text != 0; ++text) {
    if (*text == u'\r' || *text == u'\n') return true;
  }
  return false;
}

int copy_out(std::string_view text, char16_t* dst, std::size_t capacity) {
  const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  decode(CodePage::cp1251, text.substr(0, n), std::span<char16_t>(dst, n));
  dst[n] = 0;
  return static_cast<int>(n);
}

// The standard decimal conversion, saturating instead of overflowing.
int to_int(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

int ini_read_int(const char16_t* section, const char16_t* key, int default_value,
                 const char16_t* path) noexcept {
  if (section == nullptr || key == nullptr || path == nullptr) return default_value;
  try {
    const std::optional<Lines> lines = read_lines(path);
    if (!lines) return default_value;
    const std::optional<std::string> value = find_value(*lines, narrow(section), narrow(key));
    return value ? to_int(*value) : default_value;
  } catch (...) {
    return default_value;
  }
}

int ini_read_string(const char16_t* section, const char16_t* key, const char16_t* default_value,
                    char16_t* dst, std::size_t capacity, const char16_t* path) noexcept {
  if (dst == nullptr || capacity == 0) return 0;
  int n = 0;
  try {
    std::optional<std::string> value;
    if (section != nullptr && key != nullptr && path != nullptr) {
      if (std::optional<Lines> lines = read_lines(path)) value = find_value(*lines, narrow(section), narrow(key));
    }
    if (value) {
      n = copy_out(*value, dst, capacity);
    } else {
      const std::u16string_view def(default_value == nullptr ? u"" : default_value);
      n = static_cast<int>(def.size() < capacity - 1 ? def.size() : capacity - 1);
      def.copy(dst, static_cast<std::size_t>(n));
      dst[n] = 0;
    }
  } catch (...) {
    dst[0] = 0;
    return 0;
  }
  if (n > 0 && (dst[n - 1] == u'\r' || dst[n - 1] == u'\n')) dst[--n] = 0;
  return n;
}

int ini_read_section(const char16_t* section, char16_t* dst, std::size_t capacity,
                     const char16_t* path) noexcept {
  if (dst == nullptr || capacity == 0) return 0;
  dst[0] = 0;
  if (section == nullptr || path == nullptr) return 0;
  try {
    const std::optional<Lines> lines = read_lines(path);
    if (!lines) return 0;
    const std::string header = header_of(section);
    std::size_t i = 0;
    for (; i < lines->size(); ++i) {
      const std::string_view line = text_of((*lines)[i]);
      if (!line.empty() && line.front() == ';') continue;
      if (line.find(header) != std::string_view::npos) break;
    }
    std::size_t len = 0;
    for (++i; i < lines->size(); ++i) {
      const std::string_view line = text_of((*lines)[i]);
      if (!line.empty() && line.front() == '[') break;
      const std::size_t room = capacity - 1 - len;
      const std::size_t take = line.size() < room ? line.size() : room;
      decode(CodePage::cp1251, line.substr(0, take), std::span<char16_t>(dst + len, take));
      len += take;
      if (take < line.size() || len == capacity - 1) break;
    }
    dst[len] = 0;
    return static_cast<int>(len);
  } catch (...) {
    dst[0] = 0;
    return 0;
  }
}

int ini_write_string(const char16_t* section, const char16_t* key, const char16_t* value,
                     const char16_t* path) noexcept {
  if (section == nullptr || key == nullptr || path == nullptr) return 0;
  try {
    std::optional<Lines> read = read_lines_to_rewrite(path);
    if (!read) return 0;
    Lines& lines = *read;
    if (value != nullptr) {
      if (has_line_break(section) || has_line_break(key) || has_line_break(value)) return 0;
      const std::string header = header_of(section);
      const std::string k = narrow(key);
      const std::string key_line = join({k, "=", narrow(value), "\n"});
      if (key_line.size() > kIniLineLimit || header.size() + 1 > kIniLineLimit) return 0;

      if (const std::optional<std::size_t> at = find_header(lines, header)) {
        bool replaced = false;
        for (std::size_t j = *at + 1; j < lines.size() && !section_ends(lines[j]); ++j) {
          const std::string_view t = trimmed(lines[j]);
          if (!t.empty() && t.front() == ';') continue;
          const std::size_t eq = t.find('=');
          if (eq == std::string_view::npos || t.substr(0, eq) != k) continue;
          lines[j] = key_line;
          replaced = true;
          break;
        }
        if (!replaced) {
          if (lines[*at].empty() || lines[*at].back() != '\n') lines[*at] += '\n';
          lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*at) + 1, key_line);
        }
      } else {
        if (!lines.empty() && !lines.back().empty() && lines.back() != "\n") lines.push_back("\n");
        lines.push_back(join({header, "\n"}));
        lines.push_back(key_line);
      }
    }
    return write_lines(path, lines) ? 1 : 0;
  } catch (...) {
    kelda::platform::set_last_error(kelda::platform::error::not_enough_memory);
    return 0;
  }
}

int ini_delete_key(const char16_t* section, const char16_t* key, const char16_t* path) noexcept {
  if (section == nullptr || key == nullptr || path == nullptr) return 0;
  try {
    std::optional<Lines> lines = read_lines_to_rewrite(path);
    if (!lines) return 0;
    const std::string header = header_of(section);
    const std::string k = narrow(key);
    bool changed = false;
    for (std::optional<std::size_t> at = find_header(*lines, header); at;
         at = find_header(*lines, header, *at + 1)) {
      for (std::size_t j = *at + 1; j < lines->size() && !section_ends((*lines)[j]);) {
        const std::string_view t = trimmed((*lines)[j]);
        const std::size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && eq != std::string_view::npos &&
            trim_spaces(t.substr(0, eq)) == k) {
          lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(j));
          changed = true;
        } else {
          ++j;
        }
      }
    }
    return !changed || write_lines(path, *lines) ? 1 : 0;
  } catch (...) {
    kelda::platform::set_last_error(kelda::platform::error::not_enough_memory);
    return 0;
  }
}

int ini_delete_section(const char16_t* section, const char16_t* path) noexcept {
  if (section == nullptr || path == nullptr) return 0;
  try {
    std::optional<Lines> lines = read_lines_to_rewrite(path);
    if (!lines) return 0;
    const std::string header = header_of(section);
    bool changed = false;
    std::size_t from = 0;
    while (const std::optional<std::size_t> at = find_header(*lines, header, from)) {
      std::size_t end = *at + 1;
      while (end < lines->size() && !section_ends((*lines)[end])) ++end;
      std::size_t begin = *at;
      if (end == lines->size() && begin > 0 && (*lines)[begin - 1] == "\n") --begin;
      lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(begin),
                   lines->begin() + static_cast<std::ptrdiff_t>(end));
      changed = true;
      from = begin;
    }
    return !changed || write_lines(path, *lines) ? 1 : 0;
  } catch (...) {
    kelda::platform::set_last_error(kelda::platform::error::not_enough_memory);
    return 0;
  }
}

}  // namespace kelda::kit
