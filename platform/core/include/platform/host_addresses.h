// The device's own network identity, as a program reads it before it offers
// to bring up a data link: its host name and its IPv4 addresses.
//
// On Linux the addresses are those of the machine's interfaces that are up
// (getifaddrs), loopback included, in the order the system lists them; a
// machine whose only interface is loopback is a real case. Tests stand a list
// of their own in instead.
// Threading: any thread. Errors: a query that fails answers an empty name or
// an empty list and sets the last error.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace kelda::platform {

// An IPv4 address in network order: bytes[0] is its first number.
using Ipv4Address = std::array<uint8_t, 4>;

KELDA_PLATFORM_API std::string host_name();
KELDA_PLATFORM_API std::vector<Ipv4Address> host_ipv4_addresses();

// --- Test control -----------------------------------------------------------------
namespace host_addresses_test {
// host_ipv4_addresses() answers `addresses` from now on.
KELDA_PLATFORM_API void set_addresses(std::vector<Ipv4Address> addresses);
// Back to the machine's own interfaces.
KELDA_PLATFORM_API void reset();
}  // namespace host_addresses_test

}  // namespace kelda::platform
