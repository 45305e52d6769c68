// Arbitrary file bytes through the INI reader and writer. The input starts
// with a small header that picks the operation and the names:
//   byte 0: operation (write, write without value, delete key, delete section)
//   byte 1, 2: lengths of the section and key names (each cut to 31)
//   then the section name, the key name, and the value up to the first NUL;
//   everything after that NUL is the file.
// Every reader and writer must cope without crashing, and a write without a
// value must give back exactly the file with its line ends made CR LF.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

#include "kit/codepage.h"
#include "kit/ini.h"

namespace {

std::filesystem::path work_file() {
  static const std::filesystem::path file = [] {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string folder = base + "/kelda-fuzz-ini-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    static const std::string to_remove = folder;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(to_remove, ec);
    });
    return std::filesystem::path(folder) / "settings.txt";
  }();
  return file;
}

std::string read_back(const std::filesystem::path& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

std::string with_crlf(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    if (bytes[i] == '\n') out += '\r';
    out += bytes[i];
  }
  return out;
}

std::u16string widen(std::string_view bytes) {
  std::u16string s = kelda::kit::decode(kelda::kit::CodePage::cp1251, bytes);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const unsigned op = static_cast<uint8_t>(in[0]) % 4;
  std::size_t section_len = static_cast<uint8_t>(in[1]) % 32;
  std::size_t key_len = static_cast<uint8_t>(in[2]) % 32;
  std::string_view rest = in.substr(3);
  section_len = std::min(section_len, rest.size());
  const std::u16string section = widen(rest.substr(0, section_len));
  rest.remove_prefix(section_len);
  key_len = std::min(key_len, rest.size());
  const std::u16string key = widen(rest.substr(0, key_len));
  rest.remove_prefix(key_len);
  const std::size_t nul = rest.find('\0');
  const std::u16string value = widen(rest.substr(0, nul));
  const std::string_view file = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

  const std::filesystem::path path = work_file();
  const std::u16string wpath = kelda::kit::utf16_from_utf8(path.string());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }

  char16_t small[8];
  char16_t big[4096];
  (void)kelda::kit::ini_read_int(section.c_str(), key.c_str(), -1, wpath.c_str());
  (void)kelda::kit::ini_read_string(section.c_str(), key.c_str(), u"default", small, 8, wpath.c_str());
  (void)kelda::kit::ini_read_string(section.c_str(), key.c_str(), u"default", big, 4096, wpath.c_str());
  (void)kelda::kit::ini_read_section(section.c_str(), small, 8, wpath.c_str());
  (void)kelda::kit::ini_read_section(section.c_str(), big, 4096, wpath.c_str());

  switch (op) {
    case 0:
      (void)kelda::kit::ini_write_string(section.c_str(), key.c_str(), value.c_str(), wpath.c_str());
      break;
    case 1:
      if (kelda::kit::ini_write_string(section.c_str(), key.c_str(), nullptr, wpath.c_str()) == 1 &&
          read_back(path) != with_crlf(file)) {
        std::abort();  // a rewrite without a value must not change the text
      }
      break;
    case 2:
      (void)kelda::kit::ini_delete_key(section.c_str(), key.c_str(), wpath.c_str());
      break;
    default:
      (void)kelda::kit::ini_delete_section(section.c_str(), wpath.c_str());
      break;
  }
  (void)kelda::kit::ini_read_string(section.c_str(), key.c_str(), u"", big, 4096, wpath.c_str());
  return 0;
}
