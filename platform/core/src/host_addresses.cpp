// The host name and the interfaces' IPv4 addresses, or a list a test stood in.
#include "platform/host_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/last_error.h"

namespace kelda::platform {
namespace {

struct StoodIn {
  std::mutex mutex;
  std::optional<std::vector<Ipv4Address>> addresses;
};

StoodIn& stood_in() {
  static StoodIn s;
  return s;
}

}  // namespace

std::string host_name() {
  char name[256] = "";
  if (::gethostname(name, sizeof name - 1) != 0) {
    set_last_error(socket_error_from_errno(errno));
    return {};
  }
  return name;
}

std::vector<Ipv4Address> host_ipv4_addresses() {
  {
    StoodIn& s = stood_in();
    std::lock_guard lock(s.mutex);
    if (s.addresses) return *s.addresses;
  }
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) {
    set_last_error(socket_error_from_errno(errno));
    return {};
  }
  std::vector<Ipv4Address> addresses;
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_UP) == 0) continue;
    sockaddr_in in{};
    std::memcpy(&in, i->ifa_addr, sizeof in);
    Ipv4Address a{};
    std::memcpy(a.data(), &in.sin_addr.s_addr, a.size());
    addresses.push_back(a);
  }
  ::freeifaddrs(list);
  return addresses;
}

namespace host_addresses_test {

void set_addresses(std::vector<Ipv4Address> addresses) {
  StoodIn& s = stood_in();
  std::lock_guard lock(s.mutex);
  s.addresses = std::move(addresses);
}

void reset() {
  StoodIn& s = stood_in();
  std::lock_guard lock(s.mutex);
  s.addresses.reset();
}

}  // namespace host_addresses_test
}  // namespace kelda::platform
