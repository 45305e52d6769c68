// Opening a transport connection and the library-wide settings: the bodies
// of zn_tcp_connect, zn_tcp_init and zn_tcp_set_param.
// Threading: any thread; the library mutex is taken inside and never held
// while a provider or the caller is called. Errors: false or null with the
// text in `error`; only std::bad_alloc (and what the crypto port throws)
// escapes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "connection.h"

namespace kelda::dtcp {

// What zn_tcp_connect is given.
struct ConnectRequest {
  const char* name = nullptr;
  uint16_t language = 0;
  uint16_t sub_language = 0;
  uint16_t dialect = 0;
  const zn_crypto_params* crypto = nullptr;
  uintptr_t owner = 0;
  uint32_t length_width = 0;
  uint32_t handshake_mode = 0;
  const zn_conn_setup* setup = nullptr;
  zn_tcp_event_callback callback = nullptr;
  uintptr_t user_data = 0;
};

// Checks the request, makes and lists the connection (its number into
// `out_number` when given) and starts its connection thread.
std::shared_ptr<Connection> open_connection(const ConnectRequest& request, uint32_t* out_number,
                                            std::string& error);

// zn_tcp_init: the library's settings and the crypto port's start.
bool initialize_library(const char* ini_path, uint16_t language, uint16_t sub_language,
                        uint16_t dialect, uintptr_t owner, std::string& error);
// zn_tcp_set_param: false for an unknown parameter number.
bool set_library_param(uint32_t number, uintptr_t value);
// zn_tcp_fin: stops every connection and the crypto port.
void finish_library();
// zn_tcp_config_proxy_settings with the library's locale, and its owner
// when none is given.
int32_t config_proxy_settings_of_library(uintptr_t owner, const std::string& ini_path,
                                         zn_proxy_params* proxy);

}  // namespace kelda::dtcp
