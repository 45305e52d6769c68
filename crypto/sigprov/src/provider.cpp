// The provider's state, error texts, text conversion, paths and INI access.
#include "provider.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "kit/codepage.h"
#include "kit/ini.h"
#include "kit/paths.h"
#include "platform/module.h"

namespace kelda::sigprov {

ProviderState& provider() {
  static auto* state = [] {
    auto* s = new ProviderState;
    std::string folder = platform::program_folder().string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    s->module_dir = kit::cp1251_from_utf8(folder);
    return s;
  }();
  return *state;
}

void write_text(char* error, uint32_t size, const std::string& text) {
  write_error(error, size, "%s", text.c_str());
}

std::u16string wide(const std::string& text) { return kit::decode(kit::CodePage::cp1251, text); }
std::string narrow(const std::u16string& text) { return kit::encode(kit::CodePage::cp1251, text); }
std::string os_path(const std::string& path) { return kit::utf8_from_cp1251(path); }
std::string from_utf8(const std::string& text) { return kit::cp1251_from_utf8(text); }

bool blank(const char* text) {
  if (text == nullptr) return true;
  for (; *text != '\0'; ++text) {
    if (*text != ' ' && *text != '\t') return false;
  }
  return true;
}
bool blank(const std::string& text) { return blank(text.c_str()); }

bool is_token_path(const std::string& path) {
  for (const char* prefix : {"ibutton:", "etoken:", "rutoken:"}) {
    const std::size_t n = std::strlen(prefix);
    if (path.size() > n && strncasecmp(path.c_str(), prefix, n) == 0 && (path[n] == '\\' || path[n] == '/')) {
      return true;
    }
  }
  return false;
}

std::string absolute_path(const std::string& path) {
  if (path.empty() || is_token_path(path)) return path;
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.front() == '/') return p;
  std::vector<char> buffer(p.begin(), p.end());
  buffer.resize(p.size() + provider().module_dir.size() + 8, '\0');
  if (kit::make_full_path(buffer.data(), provider().module_dir.c_str(), buffer.size())[0] == '\0') {
    return provider().module_dir + "/" + p;
  }
  return buffer.data();
}

std::string carrier_path(const std::string& path) {
  if (path.empty() || is_token_path(path)) return path;
  std::string p = absolute_path(path);
  if (p.back() != '/') p += '/';
  return p;
}

std::string ini_string(const std::string& ini, const char* section, const char* key, const std::string& fallback,
                       std::size_t limit) {
  std::vector<char16_t> value(limit + 1, u'\0');
  const std::u16string path = wide(ini), s = wide(section), k = wide(key), d = wide(fallback);
  const int n = kit::ini_read_string(s.c_str(), k.c_str(), d.c_str(), value.data(), value.size(), path.c_str());
  return narrow(std::u16string(value.data(), static_cast<std::size_t>(n > 0 ? n : 0)));
}

int ini_int(const std::string& ini, const char* section, const char* key, int fallback) {
  const std::u16string path = wide(ini), s = wide(section), k = wide(key);
  return kit::ini_read_int(s.c_str(), k.c_str(), fallback, path.c_str());
}

bool ini_write(const std::string& ini, const char* section, const char* key, const std::string& value) {
  const std::u16string path = wide(ini), s = wide(section), k = wide(key), v = wide(value);
  return kit::ini_write_string(s.c_str(), k.c_str(), v.c_str(), path.c_str()) == 1;
}

bool replace_text(char** slot, const std::string& text) {
  if (slot == nullptr) return true;
  char* grown = static_cast<char*>(std::realloc(*slot, text.size() + 1));
  if (grown == nullptr) return false;
  std::memcpy(grown, text.c_str(), text.size() + 1);
  *slot = grown;
  return true;
}

bool put_utf8(char** slot, const std::string& utf8) { return replace_text(slot, from_utf8(utf8)); }

void release_text(char*& text) {
  std::free(text);
  text = nullptr;
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(os_path(path), ec);
}

bool directory_exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(os_path(path), ec);
}

}  // namespace kelda::sigprov
