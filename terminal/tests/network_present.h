// The network address the terminal's test programs see: a documentation
// address (192.0.2.10), so that no connect asks for a GPRS link, whatever the
// machine's own interfaces are. Tests of the GPRS step stand lists of their
// own in and put this one back with stand_in_network().
#pragma once

#include "platform/host_addresses.h"

namespace kelda::terminal::test_network {

inline void stand_in_network() { platform::host_addresses_test::set_addresses({{192, 0, 2, 10}}); }

}  // namespace kelda::terminal::test_network
