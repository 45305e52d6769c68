// The per-user profile: an INI-like UTF-8 file per program under the user's
// configuration folder, read on every call and written whole.
#include "platform/user_profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace kelda::platform {
namespace {

constexpr std::uintmax_t kMaxProfileBytes = 1 << 20;

std::string to_utf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// Bytes that are not UTF-8 become U+FFFD.
std::u16string from_utf8(std::string_view bytes) {
  std::u16string out;
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    size_t len = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len != 0 && i + len <= bytes.size();
    for (size_t k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))) ok = false;
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool has_line_end(std::u16string_view s) { return s.find_first_of(u"\r\n") != std::u16string_view::npos; }
// Names are taken without the blanks around them, as the file's lines are.
std::string name_of(std::u16string_view s) { return std::string(trim(to_utf8(s))); }
bool usable_name(std::u16string_view s) {
  return !name_of(s).empty() && !has_line_end(s) && s.find_first_of(u"[]=") == std::u16string_view::npos;
}

// The profile as lines (without their line ends).
struct Lines {
  std::vector<std::string> lines;

  static Lines parse(std::string_view text) {
    Lines out;
    while (!text.empty()) {
      size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      // Every CR before the line end goes, so a line reads the same once
      // written back with a plain LF.
      while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out.lines.emplace_back(line);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return out;
  }
  std::string text() const {
    std::string out;
    for (const auto& l : lines) out.append(l).push_back('\n');
    return out;
  }
  static bool is_header(std::string_view line) {
    line = trim(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
  }
  // The index of the section's header, or npos.
  size_t section(std::string_view name) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (is_header(lines[i])) {
        std::string_view h = trim(lines[i]);
        if (same_name(trim(h.substr(1, h.size() - 2)), name)) return i;
      }
    return std::string::npos;
  }
  // One past the section's last line.
  size_t section_end(size_t header) const {
    size_t i = header + 1;
    while (i < lines.size() && !is_header(lines[i])) ++i;
    return i;
  }
  // The index of the key's line in the section, or npos.
  size_t key(size_t header, std::string_view name) const {
    for (size_t i = header + 1, end = section_end(header); i < end; ++i) {
      size_t eq = lines[i].find('=');
      if (eq != std::string::npos && same_name(trim(std::string_view(lines[i]).substr(0, eq)), name)) return i;
    }
    return std::string::npos;
  }
};

std::mutex g_write_mutex;

// The file's bytes; nullopt when it exists but cannot be read (or is too big
// to be a profile), "" when it does not exist.
std::optional<std::string> read_file(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return ec ? std::nullopt : std::optional<std::string>("");
  auto size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxProfileBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool write_whole(const std::filesystem::path& file, const std::string& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  std::string tmp = file.string() + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == bytes.size() && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(tmp.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

bool usable_element(std::u16string_view s) {
  return !s.empty() && s != u"." && s != u".." && s.find_first_of(u"/\r\n") == std::u16string_view::npos &&
         s.find(u'\0') == std::u16string_view::npos;
}

bool refuse(uint32_t code) {
  set_last_error(code);
  return false;
}

}  // namespace

std::filesystem::path user_config_folder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    passwd pw{};
    passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr)
      return std::filesystem::path(found->pw_dir) / ".config";
    return std::filesystem::path("/tmp") / ".config";
  }
  return std::filesystem::path(home) / ".config";
}

UserProfile::UserProfile(std::u16string_view application_key, std::u16string_view program) {
  if (!usable_element(application_key) || !usable_element(program)) return;
  file_ = user_config_folder() / to_utf8(application_key) / (to_utf8(program) + ".ini");
}

std::u16string UserProfile::read_string(std::u16string_view section, std::u16string_view key,
                                        std::u16string_view default_value) const {
  if (file_.empty()) return std::u16string(default_value);
  auto bytes = read_file(file_);
  if (!bytes) return std::u16string(default_value);
  Lines l = Lines::parse(*bytes);
  size_t h = l.section(name_of(section));
  if (h == std::string::npos) return std::u16string(default_value);
  size_t k = l.key(h, name_of(key));
  if (k == std::string::npos) return std::u16string(default_value);
  return from_utf8(std::string_view(l.lines[k]).substr(l.lines[k].find('=') + 1));
}

int UserProfile::read_int(std::u16string_view section, std::u16string_view key, int default_value) const {
  std::u16string v = read_string(section, key, u"\n");  // a value never holds a line end
  size_t i = 0;
  while (i < v.size() && v[i] == u' ') ++i;
  bool negative = i < v.size() && v[i] == u'-';
  if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) ++i;
  if (i >= v.size() || v[i] < u'0' || v[i] > u'9') return default_value;
  long long n = 0;
  for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9'; ++i) n = std::min<long long>(n * 10 + (v[i] - u'0'), 1LL << 32);
  n = negative ? -n : n;
  return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

bool UserProfile::write_string(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  if (file_.empty() || !usable_name(section) || !usable_name(key) || has_line_end(value))
    return refuse(error::invalid_parameter);
  std::lock_guard lock(g_write_mutex);
  auto bytes = read_file(file_);
  if (!bytes) return refuse(error::read_fault);  // never replace a profile we cannot read
  Lines l = Lines::parse(*bytes);
  const std::string s = name_of(section), k = name_of(key);
  std::string line = k + "=" + to_utf8(value);
  size_t h = l.section(s);
  if (h == std::string::npos) {
    if (!l.lines.empty() && !trim(l.lines.back()).empty()) l.lines.emplace_back();
    l.lines.push_back("[" + s + "]");
    l.lines.push_back(line);
  } else if (size_t at = l.key(h, k); at != std::string::npos) {
    l.lines[at] = line;
  } else {
    size_t end = l.section_end(h);
    while (end > h + 1 && trim(l.lines[end - 1]).empty()) --end;  // before the blank lines
    l.lines.insert(l.lines.begin() + static_cast<std::ptrdiff_t>(end), line);
  }
  if (!write_whole(file_, l.text())) return refuse(error::write_fault);
  return true;
}

bool UserProfile::write_int(std::u16string_view section, std::u16string_view key, int value) {
  std::string digits = std::to_string(value);
  return write_string(section, key, std::u16string(digits.begin(), digits.end()));
}

bool UserProfile::delete_key(std::u16string_view section, std::u16string_view key) {
  if (file_.empty() || !usable_name(section) || !usable_name(key)) return refuse(error::invalid_parameter);
  std::lock_guard lock(g_write_mutex);
  auto bytes = read_file(file_);
  if (!bytes) return refuse(error::read_fault);
  Lines l = Lines::parse(*bytes);
  size_t h = l.section(name_of(section));
  size_t k = h == std::string::npos ? h : l.key(h, name_of(key));
  if (k == std::string::npos) return true;
  l.lines.erase(l.lines.begin() + static_cast<std::ptrdiff_t>(k));
  if (!write_whole(file_, l.text())) return refuse(error::write_fault);
  return true;
}

}  // namespace kelda::platform
