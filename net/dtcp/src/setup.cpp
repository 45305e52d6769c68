#include "setup.h"

#include <arpa/inet.h>

#include <cstring>

#include "kit/codepage.h"
#include "kit/ini.h"
#include "library.h"
#include "proxy.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

bool take_record(Connection& c, const zn_conn_params* p, std::string& error) {
  if (p == nullptr || p->version != 1) {
    error = "\xCD\xE5\xE2\xE5\xF0\xED\xEE \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC\xE5"
            "\xF2\xF0\xFB \xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF";
    return false;
  }
  c.params = *p;
  c.params.proxy = nullptr;
  if (p->proxy != nullptr) {
    // Copied field by field into the connection's own record.
    c.proxy.version = p->proxy->version;
    c.proxy.use_proxy = p->proxy->use_proxy;
    c.proxy.address = p->proxy->address;
    c.proxy.port = p->proxy->port;
    c.proxy.protocol = p->proxy->protocol;
    c.proxy.get_password_mode = p->proxy->get_password_mode;
    std::memcpy(c.proxy.user_name, p->proxy->user_name, sizeof c.proxy.user_name);
    std::memcpy(c.proxy.password, p->proxy->password, sizeof c.proxy.password);
    c.proxy.user_name[sizeof c.proxy.user_name - 1] = '\0';
    c.proxy.password[sizeof c.proxy.password - 1] = '\0';
    c.has_proxy = true;
  }
  return true;
}

std::u16string wide(const std::string& text) { return kelda::kit::decode(kelda::kit::CodePage::cp1251, text); }

std::string narrow(const char16_t* text) {
  return kelda::kit::encode(kelda::kit::CodePage::cp1251, std::u16string_view(text));
}

// Mode 2: section "connect" of the set-up record's INI file.
bool read_ini_connection_params(Connection& c, const zn_conn_setup& setup, std::string& error) {
  const std::size_t length = strnlen(setup.ini_path, sizeof setup.ini_path);
  if (length == 0) {
    // "Не указан INI-файл с настройками"
    error = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED INI-\xF4\xE0\xE9\xEB \xF1 \xED\xE0\xF1\xF2\xF0"
            "\xEE\xE9\xEA\xE0\xEC\xE8";
    return false;
  }
  if (length >= sizeof setup.ini_path) {
    // "Имя указанного INI-файла с настройками превышает допустимый размер"
    error = "\xC8\xEC\xFF \xF3\xEA\xE0\xE7\xE0\xED\xED\xEE\xE3\xEE INI-\xF4\xE0\xE9\xEB\xE0 "
            "\xF1 \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0\xEC\xE8 \xEF\xF0\xE5\xE2\xFB\xF8\xE0"
            "\xE5\xF2 \xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB\xE9 \xF0\xE0\xE7\xEC\xE5\xF0";
    return false;
  }
  const std::string path(setup.ini_path, length);
  const std::u16string file = wide(path);
  char16_t address[128] = u"";
  kelda::kit::ini_read_string(u"connect", u"trade-server-ip-address", u"", address, 128, file.c_str());
  if (address[0] == u'\0') {
    error = format("INI-file \"%s\". Can't read trade server IP address", path.c_str());
    return false;
  }
  const std::string dotted_address = narrow(address);
  in_addr parsed{};
  if (::inet_pton(AF_INET, dotted_address.c_str(), &parsed) != 1) {
    error = format("INI-file \"%s\". Not valid trade server IP address set: \"%s\"", path.c_str(),
                   dotted_address.c_str());
    return false;
  }
  c.packets_tmo.store(kelda::kit::ini_read_int(u"connect", u"packets-tmo", 0, file.c_str()));
  c.packets_size.store(kelda::kit::ini_read_int(u"connect", u"packets-size", 8192, file.c_str()));
  const int check = kelda::kit::ini_read_int(u"connect", u"check-tmo", 150, file.c_str());
  const int port = kelda::kit::ini_read_int(u"connect", u"port", 0, file.c_str());
  if (port == 0) {
    error = format("INI-file \"%s\". Can't read trade server port", path.c_str());
    return false;
  }
  c.params = zn_conn_params{1, static_cast<uint16_t>(check), parsed.s_addr,
                            static_cast<uint32_t>(port), nullptr};
  c.has_proxy = read_proxy_settings(path, c.proxy);
  return true;
}

}  // namespace

bool read_connection_params(Connection& c, const zn_conn_setup& setup, std::string& error) {
  bool ok = false;
  switch (setup.mode) {
    case ZN_SETUP_INI:
      ok = read_ini_connection_params(c, setup, error);
      break;
    case ZN_SETUP_RECORD:
      ok = take_record(c, setup.params, error);
      break;
    case ZN_SETUP_CALLBACK: {
      if (setup.callback == nullptr) {
        error = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED \xE0\xE4\xF0\xE5\xF1 \xF4\xF3\xED\xEA\xF6\xE8"
                "\xE8 \xEE\xE1\xF0\xE0\xF2\xED\xEE\xE3\xEE \xE2\xFB\xE7\xEE\xE2\xE0 \xE4\xEB\xFF "
                "\xEF\xEE\xEB\xF3\xF7\xE5\xED\xE8\xFF \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2 "
                "\xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF";
        return false;
      }
      zn_conn_params* p = nullptr;
      if (setup.callback(setup.user_data, &p) == 0) {
        error = "\xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB "
                "\xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF";
        return false;
      }
      ok = take_record(c, p, error);
      break;
    }
    default:
      // "Способ установления соединения %ld не поддерживается"
      error = format("\xD1\xEF\xEE\xF1\xEE\xE1 \xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF "
                     "\xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF %ld \xED\xE5 \xEF\xEE\xE4\xE4"
                     "\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2\xF1\xFF",
                     static_cast<long>(setup.mode));
      return false;
  }
  if (!ok) return false;
  c.link.set_check_timeout_ms(c.params.check_timeout * second_ms());
  return true;
}

}  // namespace kelda::dtcp
