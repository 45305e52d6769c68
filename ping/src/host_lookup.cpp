#include "ping/host_lookup.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

namespace kelda::ping {
namespace {

constexpr std::size_t max_host_bytes = 260;

std::string to_utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

struct AddrInfoFree {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
struct IfAddrsFree {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

}  // namespace

std::uint32_t resolve_host(std::u16string_view host) {
  if (host.size() < 2) return no_address;
  const std::string name = to_utf8(host);
  if (name.size() > max_host_bytes || name.find('\0') != std::string::npos) return no_address;
  in_addr dotted{};
  if (inet_aton(name.c_str(), &dotted) != 0) return dotted.s_addr;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_RAW;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return no_address;
  const std::unique_ptr<addrinfo, AddrInfoFree> list(found);
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in))
      return reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
  }
  return no_address;
}

std::u16string dotted_address(std::uint32_t address) {
  sockaddr_in socket_address{};
  socket_address.sin_family = AF_INET;
  socket_address.sin_addr.s_addr = address;
  char text[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&socket_address), sizeof socket_address, text,
                  sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return {};
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string own_address_text() {
  ifaddrs* found = nullptr;
  if (getifaddrs(&found) != 0) return u"127.0.0.1";
  const std::unique_ptr<ifaddrs, IfAddrsFree> list(found);
  for (const ifaddrs* entry = found; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const std::u16string text =
        dotted_address(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
    if (!text.empty()) return text;
  }
  return u"127.0.0.1";
}

}  // namespace kelda::ping
