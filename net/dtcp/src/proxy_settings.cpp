// The [proxy] section of the settings file.
//
// Files written by older versions carry "take-name-password-from-ini-file"
// in place of "get-password-mode". Its value is moved into
// "get-password-mode" the first time the section is read and the old key is
// then removed, so that a choice the user makes afterwards is not overridden
// by the old key again.
#include <arpa/inet.h>

#include <cstring>

#include "kit/codepage.h"
#include "kit/ini.h"
#include "proxy.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

constexpr const char16_t* kSection = u"proxy";
constexpr const char16_t* kUseProxy = u"use-proxy";
constexpr const char16_t* kProtocol = u"proxy-protocol";
constexpr const char16_t* kAddress = u"proxy-server-ip-address";
constexpr const char16_t* kPort = u"proxy-port";
constexpr const char16_t* kPasswordMode = u"get-password-mode";
constexpr const char16_t* kLegacyPasswordMode = u"take-name-password-from-ini-file";
constexpr const char16_t* kUserName = u"proxy-user-name";
constexpr const char16_t* kPassword = u"proxy-user-password";

std::u16string wide(std::string_view text) { return kelda::kit::decode(kelda::kit::CodePage::cp1251, text); }
std::string narrow(std::u16string_view text) { return kelda::kit::encode(kelda::kit::CodePage::cp1251, text); }

std::u16string read_string(const char16_t* key, const char16_t* default_value,
                           const std::u16string& file) {
  char16_t value[kelda::kit::kIniLineLimit + 1] = u"";
  kelda::kit::ini_read_string(kSection, key, default_value, value, std::size(value), file.c_str());
  return value;
}

// A key is present when two different defaults read back the same value.
bool has_key(const char16_t* key, const std::u16string& file) {
  return read_string(key, u"0", file) == read_string(key, u"1", file);
}

// The mode of an older key when the section still holds one, written back as
// "get-password-mode" and the old key removed.
std::optional<uint32_t> migrate_legacy_mode(const std::u16string& file) {
  if (!has_key(kLegacyPasswordMode, file)) return std::nullopt;
  const uint32_t mode = kelda::kit::ini_read_int(kSection, kLegacyPasswordMode, 0, file.c_str()) != 0;
  // The old key goes only once its value is safely stored under the new one.
  if (kelda::kit::ini_write_string(kSection, kPasswordMode, mode ? u"1" : u"0", file.c_str()) == 1) {
    kelda::kit::ini_delete_key(kSection, kLegacyPasswordMode, file.c_str());
  }
  return mode;
}

uint32_t parse_address(const std::u16string& text) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, narrow(text).c_str(), &parsed) != 1) return 0;
  return parsed.s_addr;
}

}  // namespace

bool read_proxy_settings(const std::string& ini_path, zn_proxy_params& proxy) {
  proxy = zn_proxy_params{};
  proxy.version = 1;
  if (ini_path.empty()) return false;
  const std::u16string file = wide(ini_path);
  proxy.use_proxy = kelda::kit::ini_read_int(kSection, kUseProxy, 0, file.c_str()) != 0 ? 1 : 0;
  proxy.protocol = static_cast<uint32_t>(kelda::kit::ini_read_int(kSection, kProtocol, 2, file.c_str()));
  proxy.address = parse_address(read_string(kAddress, u"", file));
  proxy.port = static_cast<uint32_t>(kelda::kit::ini_read_int(kSection, kPort, 0, file.c_str()));
  const std::optional<uint32_t> legacy = migrate_legacy_mode(file);
  proxy.get_password_mode =
      legacy ? *legacy : static_cast<uint32_t>(kelda::kit::ini_read_int(kSection, kPasswordMode, 0, file.c_str()));
  char16_t text[kMaxProxyField + 1] = u"";
  kelda::kit::ini_read_string(kSection, kUserName, u"", text, std::size(text), file.c_str());
  set_proxy_field(proxy.user_name, narrow(text));
  kelda::kit::ini_read_string(kSection, kPassword, u"", text, std::size(text), file.c_str());
  set_proxy_field(proxy.password, narrow(text));
  return proxy.use_proxy == 1;
}

bool write_proxy_settings(const std::string& ini_path, const zn_proxy_params& proxy) {
  if (ini_path.empty()) return false;
  const std::u16string file = wide(ini_path);
  const auto* a = reinterpret_cast<const uint8_t*>(&proxy.address);
  const std::string address = format("%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
  const std::pair<const char16_t*, std::u16string> values[] = {
      {kUseProxy, proxy.use_proxy == 1 ? u"1" : u"0"},
      {kProtocol, wide(format("%u", proxy.protocol))},
      {kAddress, wide(address)},
      {kPort, wide(format("%u", proxy.port))},
      {kPasswordMode, wide(format("%u", proxy.get_password_mode))},
      {kUserName, wide(std::string_view(proxy.user_name, strnlen(proxy.user_name, kMaxProxyField)))},
      {kPassword, wide(std::string_view(proxy.password, strnlen(proxy.password, kMaxProxyField)))},
  };
  bool ok = true;
  for (const auto& [key, value] : values) {
    ok = kelda::kit::ini_write_string(kSection, key, value.c_str(), file.c_str()) == 1 && ok;
  }
  // The mode just written is the user's choice: an older key must not undo it.
  return kelda::kit::ini_delete_key(kSection, kLegacyPasswordMode, file.c_str()) == 1 && ok;
}

}  // namespace kelda::dtcp
