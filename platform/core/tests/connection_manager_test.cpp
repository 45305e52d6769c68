#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/connection_manager.h"
#include "platform/host_addresses.h"
#include "platform/last_error.h"

using namespace kelda::platform;
namespace cmt = kelda::platform::connection_manager_test;

namespace {
ConnectionRequest internet_request() {
  ConnectionRequest r;
  r.params = conn_params::destination_given;
  r.priority = kConnPriorityHighBackground;
  r.destination = kConnInternetDestination;
  return r;
}
}  // namespace

TEST(ConnectionManager, OnLinuxALinkComesUpAtOnceAndLivesUntilReleased) {
  cmt::reset();
  ConnectionRequest r = internet_request();
  ConnectionHandle h = 0;
  uint32_t status = 0;
  ASSERT_EQ(establish_connection(&r, &h, 20000, &status), 0u);
  EXPECT_NE(h, 0u);
  EXPECT_EQ(status, conn_status::connected);
  ASSERT_EQ(connection_status(h, &status), 0u);
  EXPECT_EQ(status, conn_status::connected);
  ASSERT_EQ(cmt::requests().size(), 1u);
  EXPECT_EQ(cmt::requests()[0].timeout_ms, 20000u);
  EXPECT_EQ(cmt::requests()[0].request.destination, kConnInternetDestination);
  EXPECT_EQ(cmt::open_links(), 1);

  EXPECT_TRUE(cmt::set_link_status(h, conn_status::disconnected));
  ASSERT_EQ(connection_status(h, &status), 0u);
  EXPECT_EQ(status, conn_status::disconnected);

  EXPECT_EQ(release_connection(h, false), 0u);
  EXPECT_EQ(cmt::open_links(), 0);
  // A released (or never held) link is unknown.
  EXPECT_EQ(release_connection(h, false), kConnInvalidArg);
  EXPECT_EQ(connection_status(h, &status), kConnInvalidArg);
  EXPECT_EQ(connection_status(0, &status), kConnInvalidArg);
  EXPECT_EQ(get_last_error(), error::invalid_handle);
}

TEST(ConnectionManager, BadArgumentsFailuresAndTimeOutsAreReported) {
  cmt::reset();
  ConnectionRequest r = internet_request();
  ConnectionHandle h = 77;
  uint32_t status = 0;
  EXPECT_EQ(establish_connection(nullptr, &h, 10, &status), kConnInvalidArg);
  EXPECT_EQ(establish_connection(&r, nullptr, 10, &status), kConnInvalidArg);
  ConnectionRequest small = r;
  small.size = 64;
  EXPECT_EQ(establish_connection(&small, &h, 10, &status), kConnInvalidArg);
  EXPECT_EQ(connection_status(0, nullptr), kConnInvalidArg);

  cmt::set_outcome(cmt::Outcome::fails, conn_status::no_path_to_destination);
  EXPECT_EQ(establish_connection(&r, &h, 20000, &status), kConnFailed);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(status, conn_status::no_path_to_destination);

  // Nobody finishes the request: the caller's time-out ends it.
  cmt::set_outcome(cmt::Outcome::pending);
  h = 77;
  EXPECT_EQ(establish_connection(&r, &h, 1, &status), kConnTimedOut);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(status, conn_status::waiting_connection);
  EXPECT_EQ(get_last_error(), error::timeout);
  EXPECT_EQ(cmt::open_links(), 0);
  EXPECT_EQ(cmt::pending_requests(), 0);
}

TEST(ConnectionManager, APendingRequestEndsWhenTheTestFinishesIt) {
  cmt::reset();
  cmt::set_outcome(cmt::Outcome::pending);
  for (uint32_t final_status : {conn_status::connected, conn_status::connection_canceled}) {
    ConnectionHandle h = 0;
    uint32_t status = 0, result = 1;
    std::thread caller([&] {
      ConnectionRequest r = internet_request();
      result = establish_connection(&r, &h, 600000, &status);
    });
    int finished = 0;
    while (finished == 0) {
      finished = cmt::finish_pending(final_status);
      std::this_thread::yield();
    }
    caller.join();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(status, final_status);
    EXPECT_EQ(result, final_status == conn_status::connected ? 0u : kConnFailed);
    EXPECT_EQ(h != 0, final_status == conn_status::connected);
  }
  EXPECT_EQ(cmt::open_links(), 1);
  cmt::reset();
  EXPECT_EQ(cmt::open_links(), 0);
}

// The machine's own list holds its loopback address; a list stood in replaces
// it until reset.
TEST(HostAddresses, TheMachinesInterfacesOrAListStoodIn) {
  namespace hat = kelda::platform::host_addresses_test;
  hat::reset();
  EXPECT_FALSE(host_name().empty());
  const std::vector<Ipv4Address> own = host_ipv4_addresses();
  EXPECT_NE(std::find(own.begin(), own.end(), Ipv4Address{127, 0, 0, 1}), own.end());
  hat::set_addresses({{127, 0, 0, 1}});
  EXPECT_EQ(host_ipv4_addresses(), (std::vector<Ipv4Address>{{127, 0, 0, 1}}));
  hat::set_addresses({});
  EXPECT_TRUE(host_ipv4_addresses().empty());
  hat::reset();
  EXPECT_EQ(host_ipv4_addresses(), own);
}
