// Opening a transport connection (zn_tcp_connect) and the library-wide
// settings of zn_tcp_init and zn_tcp_set_param.
#include "open.h"

#include "crypto_port.h"
#include "library.h"
#include "proxy_dialogs.h"
#include "setup.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

constexpr const char* kWrongParameters = "Wrong parameters for connection initialization.";

bool locale_accepted(uint16_t language, uint16_t sub_language, uint16_t dialect) {
  // The only locale the system supports is English (0x09, 0x01, 0x01).
  return language != 0 && sub_language != 0 && dialect != 0 && language == 0x09 &&
         sub_language == 0x01;
}

std::string cut(const char* text) {
  return text ? std::string(text).substr(0, 1023) : std::string();
}

// The request's own arguments, checked before anything is made.
bool request_accepted(const ConnectRequest& request, std::string& error) {
  if (request.crypto == nullptr || request.crypto->version != 1 || request.setup == nullptr ||
      (request.length_width != 0 && request.length_width != 2 && request.length_width != 4)) {
    error = kWrongParameters;
    return false;
  }
  return true;
}

// The connection's settings from the library and the request.
void configure(Connection& c, const ConnectRequest& request) {
  Library& lib = library();
  {
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    c.locale = lib.locale;
    if (locale_accepted(request.language, request.sub_language, request.dialect)) {
      c.locale = Locale{request.language, request.sub_language, request.dialect};
    }
    c.owner = request.owner ? request.owner : lib.owner;
    c.settings_ini = lib.ini_path;
  }
}

// The cipher provider's name and, when asked, its opened context.
bool prepare_crypto(Connection& c, const zn_crypto_params& crypto, std::string& error) {
  std::string library_ini = c.settings_ini;
  if (!crypto_port().cipher_provider_name(crypto, library_ini, c.owner, c.crypto.provider_name,
                                          error)) {
    if (error.empty()) {
      error = format("Wrong settings in INI-file \"%s\": can't get cipher crypto provider name.",
                     library_ini.c_str());
    }
    return false;
  }
  return crypto.open_context != 1 || crypto_port().open(c.crypto, crypto, c.locale, c.owner, error);
}

}  // namespace

bool initialize_library(const char* ini_path, uint16_t language, uint16_t sub_language,
                        uint16_t dialect, uintptr_t owner, std::string& error) {
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  lib.ini_path = cut(ini_path);
  if (locale_accepted(language, sub_language, dialect)) {
    lib.locale = Locale{language, sub_language, dialect};
  }
  lib.owner = owner;
  if (!crypto_port().initialize(lib.ini_path, lib.locale, owner, error)) return false;
  lib.initialized = true;
  return true;
}

bool set_library_param(uint32_t number, uintptr_t value) {
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  switch (number) {
    case 1: lib.owner = value; return true;
    case 2: lib.ini_path = cut(reinterpret_cast<const char*>(value)); return true;
    case 3:
    case 4: return true;
    case 5: lib.further_text = cut(reinterpret_cast<const char*>(value)); return true;
    default: return false;
  }
}

void finish_library() {
  Library& lib = library();
  stop_all_connections();
  crypto_port().finish();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  lib.initialized = false;
}

int32_t config_proxy_settings_of_library(uintptr_t owner, const std::string& ini_path,
                                         zn_proxy_params* proxy) {
  Locale locale;
  {
    std::shared_lock<std::shared_mutex> lock(library().mutex);
    locale = library().locale;
    if (owner == 0) owner = library().owner;
  }
  return config_proxy_settings(owner, ini_path, proxy, locale);
}

std::shared_ptr<Connection> open_connection(const ConnectRequest& request, uint32_t* out_number,
                                            std::string& error) {
  if (!request_accepted(request, error)) return nullptr;
  stop_connections_at_exit();
  auto c = std::make_shared<Connection>();
  configure(*c, request);
  if (request.callback == nullptr) {
    error = "TCP tcp_connection callback function was not set";
    return nullptr;
  }
  c->callback = request.callback;
  c->user_data = request.user_data;
  c->name = cut(request.name).substr(0, 127);
  c->width = request.length_width == 0 ? 2 : request.length_width;
  c->handshake_mode = request.handshake_mode;
  c->crypto_params = *request.crypto;
  if (!read_connection_params(*c, *request.setup, error) ||
      !prepare_crypto(*c, *request.crypto, error)) {
    return nullptr;
  }
  {
    Library& lib = library();
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    c->number = ++lib.counter;
  }
  if (out_number) *out_number = c->number;
  link_connection(c);
  try {
    c->start_connection_thread();
  } catch (const std::exception&) {
    unlink_connection(c.get());
    c->release_resources();  // the provider context opened above
    error = "Can't start connection thread.";
    return nullptr;
  }
  return c;
}

}  // namespace kelda::dtcp
