#include "ping/host_lookup.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace kelda::ping {
namespace {

TEST(HostLookup, DottedAddressesAreTakenAsTheyAre) {
  // A documentation address has no reverse name; it is still a valid target.
  EXPECT_EQ(resolve_host(u"192.0.2.1"), inet_addr("192.0.2.1"));
  EXPECT_EQ(resolve_host(u"127.0.0.1"), inet_addr("127.0.0.1"));
  EXPECT_EQ(dotted_address(inet_addr("192.0.2.1")), u"192.0.2.1");
}

TEST(HostLookup, NamesAreLookedUpAndBadTextGivesNoAddress) {
  EXPECT_EQ(resolve_host(u"localhost"), inet_addr("127.0.0.1"));
  EXPECT_EQ(resolve_host(u"no-such-host.invalid"), no_address);
  EXPECT_EQ(resolve_host(u"a"), no_address);  // one character: not looked up
  EXPECT_EQ(resolve_host(u""), no_address);
  EXPECT_EQ(resolve_host(std::u16string(300, u'a')), no_address);
}

TEST(HostLookup, OwnAddressIsADottedAddress) {
  const std::u16string own = own_address_text();
  in_addr parsed{};
  EXPECT_EQ(inet_pton(AF_INET, std::string(own.begin(), own.end()).c_str(), &parsed), 1);
}

}  // namespace
}  // namespace kelda::ping
