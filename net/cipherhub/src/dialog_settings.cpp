#include "dialog_settings.h"

#include "kit/codepage.h"
#include "kit/ini.h"
#include "settings_io.h"

namespace kelda::cipherhub {

namespace {

constexpr std::string_view kProviders = "CryptoProviders";

std::u16string wide(std::string_view text) { return kelda::kit::decode(kelda::kit::CodePage::cp1251, text); }

}  // namespace

bool store_provider_settings(std::string_view ini_path, std::string_view section,
                             std::string_view module, std::string_view ini_file) {
  if (ini_path.empty() || section.empty()) return true;
  return write_ini_string(ini_path, kProviders, section, "1") &&
         write_ini_string(ini_path, section, "Module", module) &&
         write_ini_string(ini_path, section, "IniFile", ini_file);
}

bool forget_provider_settings(std::string_view ini_path, std::string_view section) {
  if (ini_path.empty() || section.empty()) return true;
  const std::u16string file = wide(ini_path);
  const bool line = kelda::kit::ini_delete_key(wide(kProviders).c_str(), wide(section).c_str(), file.c_str()) == 1;
  const bool own = kelda::kit::ini_delete_section(wide(section).c_str(), file.c_str()) == 1;
  return line && own;
}

}  // namespace kelda::cipherhub
