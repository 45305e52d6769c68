// INI access through the kit (settings_io.h): 8-bit texts in, wide texts to
// the kit, 8-bit texts back.
#include "settings_io.h"

#include <vector>

#include "kit/codepage.h"
#include "kit/ini.h"
#include "kit/messages.h"

namespace kelda::cipherhub {
namespace {

std::u16string wide(std::string_view text) {
  const std::string terminated(text);
  std::vector<char16_t> buffer(terminated.size() + 1);
  kelda::kit::ansi_to_wide(terminated.c_str(), buffer.data(), buffer.size());
  return std::u16string(buffer.data());
}

std::string narrow(const char16_t* text, std::size_t length) {
  // Every UTF-16 unit from the kit's 1251 reader is one byte of 1251.
  std::vector<char> buffer(length + 1);
  kelda::kit::wide_to_ansi(text, buffer.data(), buffer.size());
  return std::string(buffer.data());
}

}  // namespace

std::string read_ini_section(std::string_view ini_path, std::string_view section,
                             std::size_t capacity) {
  std::vector<char16_t> buffer(capacity);
  const int length = kelda::kit::ini_read_section(wide(section).c_str(), buffer.data(), buffer.size(),
                                           wide(ini_path).c_str());
  return narrow(buffer.data(), static_cast<std::size_t>(length));
}

std::string read_ini_string(std::string_view ini_path, std::string_view section,
                            std::string_view key, std::size_t capacity) {
  std::vector<char16_t> buffer(capacity);
  const int length = kelda::kit::ini_read_string(wide(section).c_str(), wide(key).c_str(), u"", buffer.data(),
                                          buffer.size(), wide(ini_path).c_str());
  return narrow(buffer.data(), static_cast<std::size_t>(length));
}

bool write_ini_string(std::string_view ini_path, std::string_view section, std::string_view key,
                      std::string_view value) {
  return kelda::kit::ini_write_string(wide(section).c_str(), wide(key).c_str(), wide(value).c_str(),
                        wide(ini_path).c_str()) == 1;
}

const void* locale_record() {
  static const kelda::kit::LocaleInfo info = [] {
    kelda::kit::LocaleInfo i{};
    kelda::kit::get_locale_info(&i);
    return i;
  }();
  return &info;
}

}  // namespace kelda::cipherhub
