// Host names to IPv4 addresses, and the machine's own address.
//
// resolve_host: a dotted address is used as it is (no reverse look-up is
// needed); any other text of at least 2 characters is looked up with
// getaddrinfo (thread-safe). The answer is the first IPv4 address in network
// byte order, or no_address.
// own_address_text: the first IPv4 address of an interface that is up and not
// the loopback (getifaddrs), else "127.0.0.1".
//
// Both may block (name service, interfaces): call them off the
// user-interface thread. Any thread. No exceptions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelda::ping {

inline constexpr std::uint32_t no_address = 0xFFFFFFFFu;

std::uint32_t resolve_host(std::u16string_view host);
std::u16string own_address_text();
// The dotted form of an address in network byte order.
std::u16string dotted_address(std::uint32_t address);

}  // namespace kelda::ping
