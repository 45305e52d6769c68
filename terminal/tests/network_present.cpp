// Linked into every terminal test program: the program starts with the
// stood-in network of network_present.h.
#include "network_present.h"

namespace {

[[maybe_unused]] const bool kNetworkStoodIn = [] {
  kelda::terminal::test_network::stand_in_network();
  return true;
}();

}  // namespace
