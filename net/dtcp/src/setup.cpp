#include "setup.h"

#include <arpa/inet.h>

#include <cstring>

#include "library.h"
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

// Mode 2: section "connect" of the set-up record's INI file.
bool read_ini_connection_params(Connection& c, const zn_conn_setup& setup, std::string& error) {
  (void)c;
  (void)setup;
  error = format("\xD1\xEF\xEE\xF1\xEE\xE1 \xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF "
                 "\xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xFF %ld \xED\xE5 \xEF\xEE\xE4\xE4"
                 "\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2\xF1\xFF",
                 static_cast<long>(setup.mode));
  return false;
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
