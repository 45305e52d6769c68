// Reader and writer of the terminal's profile files.
#include "terminal/profile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "kit/files.h"
#include "kit/paths.h"
#include "terminal/save_failures.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

constexpr std::size_t kReadLineLimit = 1999;

// Lines of the file, each with its line feed when it had one; nothing when
// the file cannot be opened. `read_failed`, when given, tells a read that
// failed before the end (a path that names a folder opens, then fails).
std::optional<std::vector<std::string>> read_lines(const std::string& path, bool* read_failed = nullptr) {
  std::ifstream in(kit::path_from_ansi(path.c_str()), std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  char c;
  while (in.get(c)) {
    line += c;
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  if (read_failed != nullptr) *read_failed = in.bad();
  return lines;
}

bool write_lines(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& l : lines) bytes += l;
  return write_user_file(path, bytes);
}

std::string_view trim_right(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}
std::string_view trim_left(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}
std::string_view trim(std::string_view s) { return trim_left(trim_right(s)); }

std::string header_of(std::string_view section) { return "[" + std::string(section) + "]"; }

// The index of the section's header line by the reader's rule (the first
// line, not a comment, that holds the header text anywhere), or the count.
std::size_t reader_header_at(const std::vector<std::string>& lines, std::string_view section) {
  const std::string header = header_of(section);
  std::size_t i = 0;
  for (; i < lines.size(); ++i) {
    const std::string_view line = std::string_view(lines[i]).substr(0, kReadLineLimit);
    if (line.starts_with(';')) continue;
    if (line.find(header) != std::string_view::npos) break;
  }
  return i;
}

std::optional<std::string> find_value(std::string_view section, std::string_view key, const std::string& path) {
  std::optional<std::vector<std::string>> lines = read_lines(path);
  if (!lines) return std::nullopt;
  std::size_t i = reader_header_at(*lines, section);
  for (++i; i < lines->size(); ++i) {
    const std::string_view line = std::string_view((*lines)[i]).substr(0, kReadLineLimit);
    if (line.starts_with('[')) break;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (trim(line.substr(0, eq)) != key) continue;
    return std::string(trim(line.substr(eq + 1)));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> profile_find(std::string_view section, std::string_view key, const std::string& path) {
  return find_value(section, key, path);
}

ProfileSection profile_section_state(std::string_view section, const std::string& path) {
  bool read_failed = false;
  const std::optional<std::vector<std::string>> lines = read_lines(path, &read_failed);
  if (!lines || read_failed) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(kit::path_from_ansi(path.c_str()), ec);
    return exists ? ProfileSection::unreadable_file : ProfileSection::no_file;
  }
  return reader_header_at(*lines, section) < lines->size() ? ProfileSection::present : ProfileSection::missing;
}

int profile_get_int(std::string_view section, std::string_view key, int fallback, const std::string& path) {
  const std::optional<std::string> value = find_value(section, key, path);
  return value ? std::atoi(value->c_str()) : fallback;
}

std::string profile_get_string(std::string_view section, std::string_view key, std::string_view fallback,
                               const std::string& path, std::size_t limit) {
  const std::optional<std::string> value = find_value(section, key, path);
  std::string result = value ? *value : std::string(fallback);
  if (result.size() > limit) result.resize(limit);
  return result;
}

bool profile_set_string(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
  std::vector<std::string> lines = read_lines(path).value_or(std::vector<std::string>{});
  const std::string header = header_of(section);
  const std::string entry = std::string(key) + "=" + std::string(value) + "\n";
  std::size_t at = 0;
  while (at < lines.size() && trim(lines[at]) != header) ++at;
  if (at == lines.size()) {
    const bool separate = !lines.empty() && lines.back() != "\n";
    lines.push_back((separate ? "\n" : "") + header + "\n");
    lines.push_back(entry);
    return write_lines(path, lines);
  }
  for (std::size_t i = at + 1; i < lines.size(); ++i) {
    const std::string_view line = trim(lines[i]);
    if (line.starts_with('[')) break;
    if (line.starts_with(';')) continue;
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && line.substr(0, eq) == key) {
      lines[i] = entry;
      return write_lines(path, lines);
    }
  }
  if (!lines[at].ends_with('\n')) lines[at] += '\n';
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at) + 1, entry);
  return write_lines(path, lines);
}

bool profile_set_int(std::string_view section, std::string_view key, int value, const std::string& path) {
  return profile_set_string(section, key, std::to_string(value), path);
}

void profile_delete_section(std::string_view section, const std::string& path) {
  std::optional<std::vector<std::string>> lines = read_lines(path);
  if (!lines) {
    log_line("ERROR: Can not delete profile section. Can not open file %s.", path.c_str());
    return;
  }
  const std::string header = header_of(section);
  std::vector<std::string> kept;
  bool skipping = false;
  for (std::string& line : *lines) {
    if (line.starts_with('[')) skipping = trim(line) == header;
    if (!skipping) kept.push_back(std::move(line));
  }
  write_lines(path, kept);
}

void profile_delete_sections(const std::vector<std::string>& headers, const std::string& path) {
  std::optional<std::vector<std::string>> lines = read_lines(path);
  if (!lines) {
    log_line("ERROR: Can not delete profile section list. Can not open file %s.", path.c_str());
    return;
  }
  std::vector<std::string> kept;
  bool skipping = false;
  for (std::string& line : *lines) {
    // A header of the list form ends with "]\n" (a header ended by "\r\n"
    // does not count as one here).
    const bool is_header = line.starts_with('[') && line.size() >= 2 && line[line.size() - 2] == ']';
    if (is_header) {
      skipping = false;
      for (const std::string& h : headers) {
        if (trim(line) == trim(h)) skipping = true;
      }
    }
    if (!skipping) kept.push_back(std::move(line));
  }
  write_lines(path, kept);
}

}  // namespace kelda::terminal
