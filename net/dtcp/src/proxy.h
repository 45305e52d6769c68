// Proxy negotiation, run by the connection thread once the TCP connection to
// the proxy stands: after it succeeds the link reaches the trading server.
#pragma once

#include <string>

#include "connection.h"

namespace kelda::dtcp {

// kOk, or a socket result / kApplicationError with the text in `error`.
int negotiate_proxy(Connection& c, std::string& error);

// Reads the proxy settings of an INI file into `proxy`; false when the file
// holds none in use.
bool read_proxy_settings(const std::string& ini_path, zn_proxy_params& proxy);

// The protocol's name in proxy descriptions.
const char* proxy_protocol_name(uint32_t protocol);

}  // namespace kelda::dtcp
