// Price lists: subscriptions through the worker, the level messages merged
// into the caller's copy, and the packed lists.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "library_fixture.h"
#include "messages/records_values.h"
#include "prices/price_lists.h"

namespace kelda::kelapi::test {
namespace {

class PricesTest : public LibraryTest {
 protected:
  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2; the
  // price list of BBB booked.
  void start() {
    ASSERT_EQ(init(), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    end_class_lists();
    ASSERT_EQ(KelapiBookPriceEx(1, 2), KELAPI_OK);
    ASSERT_TRUE(wait_sent(0x8049, 1));
  }

  bool wait_sent(uint16_t id, std::size_t n) {
    for (int i = 0; i < 3000 && net->sent(id).size() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return net->sent(id).size() >= n;
  }

  std::vector<KelapiPriceRecord> list(uint32_t security = 2, KelapiResult expected = KELAPI_OK) {
    uint16_t count = 0xFFFF;
    KelapiPriceRecord* records = nullptr;
    EXPECT_EQ(KelapiGetPriceEx(1, security, &count, &records), expected);
    if (expected != KELAPI_OK) return {};
    std::vector<KelapiPriceRecord> out(records, records + count);
    KelapiFree(records);
    return out;
  }

  std::vector<double> prices() {
    std::vector<double> out;
    for (const auto& r : list()) out.push_back(r.price);
    return out;
  }

  void packed(int16_t format, int16_t flags, std::vector<int32_t> words, int32_t security = 1001) {
    Msg808E_PackedLevels m{};
    m.security_id = security;
    m.format = format;
    m.flags = flags;
    m.count = static_cast<uint16_t>(words.size());
    std::copy(words.begin(), words.end(), m.words);
    net->deliver(0x808E, m);
  }

  std::size_t announced() { return events(KELAPI_EVENT_NEWPRICE).size(); }
};

TEST_F(PricesTest, SingleLevelsMergeIntoAnOrderedListOfTheCallersOwn) {
  start();
  net->deliver(0x8052, Msg8052_PriceLevel{1001, 10050, -5, 1234});
  net->deliver(0x8052, Msg8052_PriceLevel{1001, 10060, 3, 600});
  net->deliver(0x8055, Msg8055_PriceVolume{1001, 10040, 2});
  net->deliver(0x8052, Msg8052_PriceLevel{1000, 10050, 1, 1});  // AAA is not booked
  ASSERT_TRUE(net->wait_handled());
  const auto levels = list();
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[1].price, 100.5);
  EXPECT_EQ(levels[1].negative_volume, 5);
  EXPECT_EQ(levels[1].negative_value, 12.34);
  EXPECT_EQ(levels[1].positive_volume, 0);
  EXPECT_EQ(levels[1].positive_value, 0.0);
  EXPECT_EQ(levels[2].positive_value, 6.0);
  EXPECT_EQ(prices(), (std::vector<double>{100.4, 100.5, 100.60000000000001}));
  const auto e = events(KELAPI_EVENT_NEWPRICE);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].wparam, 1u);
  EXPECT_EQ(e[0].lparam, 2u);

  net->deliver(0x8056, Msg8056_PriceRemoved{1001, 99999});  // not in the list
  net->deliver(0x8056, Msg8056_PriceRemoved{1001, 10040});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), 5u) << "a removal of a missing price is announced all the same";
  EXPECT_EQ(prices().size(), 2u);

  // A two-sided level replaces a list of two.
  net->deliver(0x8053, Msg8053_PriceLevelBoth{1001, 20000, 1, 2, 3, 4});
  ASSERT_TRUE(net->wait_handled());
  const auto both = list();
  ASSERT_EQ(both.size(), 1u);
  EXPECT_EQ(both[0].negative_volume, 1);
  EXPECT_EQ(both[0].positive_value, 0.04);

  net->deliver(0x8094, Word32{1001});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(list().empty());
}

TEST_F(PricesTest, EveryLevelOfAPackedListReachesTheCaller) {
  start();
  net->deliver(0x8052, Msg8052_PriceLevel{1001, 5000, 1, 0});
  net->deliver(0x8052, Msg8052_PriceLevel{1001, 5100, 1, 0});
  ASSERT_TRUE(net->wait_handled());
  const std::size_t before = announced();
  // Format 4 in two parts: three two-sided levels, announced once at the end.
  packed(4, 0, {10000, 1, 100, 2, 200, 10100, 3, 300, 4, 400});
  packed(4, 4, {10200, 5, 500, 6, 600});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), before + 1);
  EXPECT_EQ(prices(), (std::vector<double>{100.0, 101.0, 102.0})) << "the old list went, every new level stayed";
  EXPECT_EQ(list()[2].positive_volume, 6);

  // Format 1 with an odd count: the pairs merge, no event.
  packed(1, 4, {10300, -7, 10400});
  // An unknown format: nothing, no event.
  packed(9, 4, {10500, 1});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), before + 1);
  const auto levels = list();
  ASSERT_EQ(levels.size(), 4u);
  EXPECT_EQ(levels[3].negative_volume, 7);
  // Format 3 for a security without a list: announced, not kept.
  packed(3, 4, {10000, 1, 1}, 1000);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), before + 2);
  list(1, KELAPI_E_NOT_BOOKED);
}

TEST_F(PricesTest, BookingChecksItsArgumentsAndUnbookingStopsTheList) {
  start();
  EXPECT_EQ(KelapiBookPriceEx(0, 1), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiBookPriceEx(1, 3), KELAPI_E_INVALIDARG);
  uint16_t count;
  EXPECT_EQ(KelapiGetPriceEx(1, 2, &count, nullptr), KELAPI_E_INVALIDARG);
  list(1, KELAPI_E_NOT_BOOKED);
  ASSERT_EQ(KelapiBookPriceEx(1, 2), KELAPI_OK);  // booked already: ignored
  ASSERT_EQ(KelapiUnbookPriceEx(1, 2), KELAPI_OK);
  ASSERT_TRUE(wait_sent(0x804A, 1));
  EXPECT_EQ(net->sent(0x8049).size(), 1u);
  EXPECT_EQ(net->sent(0x804A).at(0).as<Word32>().value, 1001);
  net->deliver(0x8052, Msg8052_PriceLevel{1001, 10050, 1, 1});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(announced(), 0u);
  list(2, KELAPI_E_NOT_BOOKED);
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  EXPECT_EQ(KelapiBookPriceEx(1, 2), KELAPI_E_NOT_CONNECTED);
}

}  // namespace
}  // namespace kelda::kelapi::test
