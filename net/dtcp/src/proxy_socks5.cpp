// SOCKS5 through a proxy (RFC 1928), without authentication or with name and
// password (RFC 1929). The connect reply is read by its address type, so that
// a proxy answering with a domain name or an IPv6 bound address leaves no
// byte of its reply in the stream.
#include <cstring>

#include "proxy.h"
#include "proxy_io.h"
#include "texts.h"

namespace kelda::dtcp {

namespace {

constexpr uint8_t kVersion = 5;
constexpr uint8_t kMethodNone = 0x00;
constexpr uint8_t kMethodLogin = 0x02;
constexpr uint8_t kNoMethod = 0xFF;
constexpr uint8_t kLoginVersion = 1;
constexpr uint8_t kCommandConnect = 1;
constexpr uint8_t kAddressIpv4 = 1;
constexpr uint8_t kAddressDomain = 3;
constexpr uint8_t kAddressIpv6 = 4;

// A failed read of an answer: a stop passes through, anything else is the
// "no answer" text.
int read_failed(int r, const ProxyIo& io, std::string& error) {
  if (r == kStopped) return r;
  error = "Can't get answer from SOCKS proxy server " + io.endpoint();
  return kSocketError;
}

int refused(const char* text, const ProxyIo& io, std::string& error) {
  error = format(text, io.endpoint().c_str());
  return kApplicationError;
}

int login(ProxyIo& io, std::string& error) {
  Connection& c = io.connection();
  if (c.proxy.get_password_mode == 0 && !ask_proxy_credentials(c.proxy, c.owner, c.locale)) {
    error.clear();  // cancelled by the user: no proxy text
    return kApplicationError;
  }
  c.proxy.user_name[sizeof c.proxy.user_name - 1] = '\0';
  c.proxy.password[sizeof c.proxy.password - 1] = '\0';
  const std::string_view name(c.proxy.user_name);
  const std::string_view password(c.proxy.password);
  // Each field travels with a one-byte length (the record's fields are shorter).
  if (name.size() > kMaxSocksField || password.size() > kMaxSocksField) {
    error = "User name or password exceed maximum available length for SOCKS protocol";
    return kApplicationError;
  }
  std::vector<uint8_t> request{kLoginVersion, static_cast<uint8_t>(name.size())};
  request.insert(request.end(), name.begin(), name.end());
  request.push_back(static_cast<uint8_t>(password.size()));
  request.insert(request.end(), password.begin(), password.end());
  int r = io.write(request);
  if (r == kStopped) return r;
  if (r != kOk) {
    error = "Error during negotiations with SOCKS server " + io.endpoint() + " occur";
    return kSocketError;
  }
  uint8_t answer[2] = {};
  r = io.read(answer);
  if (r != kOk) return read_failed(r, io, error);
  if (answer[0] != kLoginVersion || answer[1] != 0) {
    return refused("Error during negotiations with SOCKS server %s occur", io, error);
  }
  return kOk;
}

// The connect reply: head, bound address by its type, port.
int read_reply(ProxyIo& io, std::string& error) {
  uint8_t head[4] = {};
  int r = io.read(head);
  if (r != kOk) return read_failed(r, io, error);
  if (head[0] != kVersion) {
    return refused("Error during negotiations with SOCKS server %s occur", io, error);
  }
  if (head[1] != 0) {
    const int code = head[1] <= 8 ? head[1] : 255;
    error = format("Error %d occur during negotiations with SOCKS server %s", code,
                   io.endpoint().c_str());
    return kApplicationError;
  }
  std::size_t address_size = 0;
  switch (head[3]) {
    case kAddressIpv4: address_size = 4; break;
    case kAddressIpv6: address_size = 16; break;
    case kAddressDomain: {
      uint8_t length = 0;
      r = io.read(std::span<uint8_t>(&length, 1));
      if (r != kOk) return read_failed(r, io, error);
      address_size = length;
      break;
    }
    default:
      return refused("Error during negotiations with SOCKS server %s occur", io, error);
  }
  uint8_t rest[255 + 2];
  r = io.read(std::span<uint8_t>(rest, address_size + 2));
  if (r != kOk) return read_failed(r, io, error);
  return kOk;
}

}  // namespace

int negotiate_socks5(ProxyIo& io, std::string& error) {
  Connection& c = io.connection();
  const bool with_login = c.proxy.protocol == kProxySocks5Login;
  const uint8_t method = with_login ? kMethodLogin : kMethodNone;
  const uint8_t greeting[3] = {kVersion, 1, method};
  int r = io.write(greeting);
  if (r == kStopped) return r;
  if (r != kOk) {
    error = "Can't start negotiations with SOCKS proxy server " + io.endpoint();
    return kSocketError;
  }
  uint8_t choice[2] = {};
  r = io.read(choice);
  if (r != kOk) return read_failed(r, io, error);
  if (choice[0] != kVersion) {
    return refused("Error during connection to SOCKS server %s occur", io, error);
  }
  if (choice[1] == kNoMethod) {
    return refused(with_login ? "Identification with name and password not supported by SOCKS "
                                "server %s"
                              : "Mode without identification not supported by SOCKS server %s",
                   io, error);
  }
  // A method that was not offered cannot be spoken.
  if (choice[1] != method) {
    return refused("Error during connection to SOCKS server %s occur", io, error);
  }
  if (with_login) {
    r = login(io, error);
    if (r != kOk) return r;
  }

  const auto* a = reinterpret_cast<const uint8_t*>(&c.params.address);
  const uint8_t request[10] = {kVersion, kCommandConnect, 0,    kAddressIpv4,
                               a[0],     a[1],            a[2], a[3],
                               static_cast<uint8_t>(c.params.port >> 8),
                               static_cast<uint8_t>(c.params.port)};
  r = io.write(request);
  if (r == kStopped) return r;
  if (r != kOk) {
    error = "Error during negotiations with SOCKS server " + io.endpoint() + " occur";
    return kSocketError;
  }
  return read_reply(io, error);
}

}  // namespace kelda::dtcp
