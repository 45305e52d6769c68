#include "proxy.h"

#include "texts.h"

namespace kelda::dtcp {

int negotiate_proxy(Connection& c, std::string& error) {
  // The HTTP CONNECT and SOCKS5 negotiations plug in here.
  error = format("Proxy protocol %u is not supported", c.proxy.protocol);
  return kApplicationError;
}

bool read_proxy_settings(const std::string&, zn_proxy_params& proxy) {
  // The [proxy] section is read here once the proxy negotiation exists.
  proxy = zn_proxy_params{};
  return false;
}

const char* proxy_protocol_name(uint32_t protocol) {
  switch (protocol) {
    case 1: return "CONNECT through HTTP port";
    case 3: return "SOCKS5 with name and password identification";
    case 4: return "CONNECT through HTTP port with name and password identification";
    default: return "UNKNOWN";
  }
}

}  // namespace kelda::dtcp
