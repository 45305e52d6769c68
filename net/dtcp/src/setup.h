// Reading a connection's parameters by the set-up mode (INI file, record or
// callback) and choosing its cipher provider.
#pragma once

#include <string>

#include "connection.h"

namespace kelda::dtcp {

// Fills c.params, c.proxy, packets settings and the check time-out; false
// with the text in `error`.
bool read_connection_params(Connection& c, const zn_conn_setup& setup, std::string& error);

}  // namespace kelda::dtcp
