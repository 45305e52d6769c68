// The port to the real protocol library (zn_de): the library's calls into the
// network stack, with the records of the connection set up as the stack
// expects them. One per process; see net_port.h for the rules.
#pragma once

#include <memory>

#include "session/net_port.h"

namespace kelda::kelapi {

std::shared_ptr<NetPort> make_zn_net_port();

}  // namespace kelda::kelapi
