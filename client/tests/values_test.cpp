// Current values from the server's records to the value store, the caller's
// events and KelapiGetDataEx, through the library's real handler table; the
// journal's value records across a restart; the gap re-requests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library_fixture.h"
#include "messages/records_values.h"
#include "values/values.h"

namespace kelda::kelapi::test {
namespace {

struct Param {
  const char* name;
  int16_t flags;
  int16_t scale;
};

// Class CLS (server id 5), securities AAA (id 1000) and BBB (1001), both of
// scale 2. Parameters in the order of their bits: OTHER (double, never in
// the filter), LAST (double, scale 1), QTY (integer, scale 0) and PRICE
// (integer, the security's scale).
const Param kParams[] = {{"OTHER", 0x1, 0}, {"LAST", 0x1, 1}, {"QTY", 0, 0}, {"PRICE", 0x10, 0}};
constexpr int kOther = 0, kLast = 1, kQty = 2, kPrice = 3;

class ValuesTest : public LibraryTest {
 protected:
  void start(uint32_t flags = 0, bool fresh = true) {
    ASSERT_EQ(init(flags, fresh ? 1 : 0), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    net->deliver(0x803C, class_description(5, "CLS"));
    ASSERT_TRUE(net->wait_handled());
    const int32_t sec_request = last_request(0x8034);
    const int32_t par_request = last_request(0x8032);
    net->deliver(0x8081, security(sec_request, 1000, "AAA"));
    net->deliver(0x8081, security(sec_request, 1001, "BBB"));
    for (const Param& p : kParams) {
      Msg0024_ParameterDescription d = parameter(static_cast<int16_t>(par_request), p.name, p.flags);
      d.scale = p.scale;
      net->deliver(0x24, d);
    }
    net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(sec_request)});
    net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(par_request)});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
    const int16_t wanted[] = {kLast + 1, kQty + 1, kPrice + 1};
    const uint32_t chosen[] = {1, 2};
    ASSERT_EQ(KelapiSetClassFilterEx(1, 3, wanted, 2, chosen), KELAPI_OK);
  }

  static Msg805F_Values values(int32_t security, int32_t entry, uint64_t mask, std::vector<int32_t> ints,
                               std::vector<double> doubles, int32_t time = 101500) {
    Msg805F_Values m{};
    m.security_id = security;
    m.time = time;
    m.entry = entry;
    m.mask = {static_cast<uint32_t>(mask), static_cast<uint32_t>(mask >> 32)};
    m.int_count = static_cast<uint16_t>(ints.size());
    std::copy(ints.begin(), ints.end(), m.ints);
    m.double_count = static_cast<uint16_t>(doubles.size());
    std::copy(doubles.begin(), doubles.end(), m.doubles);
    return m;
  }

  void send(uint16_t id, const Msg805F_Values& m) {
    net->deliver(id, m);
    ASSERT_TRUE(net->wait_handled());
  }

  struct Read {
    KelapiResult result;
    uint32_t class_number = 0, security_number = 0, time = 0;
    std::vector<std::pair<std::string, double>> values;
  };
  Read read(uint32_t number) {
    Read r{};
    KelapiValueRecord records[64];
    std::memset(records, 0xEE, sizeof records);
    r.result = KelapiGetDataEx(number, &r.class_number, &r.security_number, &r.time, records);
    for (const auto& v : records) {
      if (v.db_name[0] == static_cast<char>(0xEE)) break;
      r.values.emplace_back(v.db_name, v.value);
    }
    return r;
  }
};

constexpr uint64_t bit(int n) { return uint64_t{1} << n; }

TEST_F(ValuesTest, AnEntryIsStoredAnnouncedAndReadBackWithEveryValueInItsPlace) {
  start();
  // OTHER is outside the filter but its double comes first in the list: it
  // is consumed, so LAST gets the second double.
  send(0x8061, values(1001, 41, bit(kOther) | bit(kLast) | bit(kQty) | bit(kPrice), {7, 1234}, {99.0, 125.0}));
  const auto announced = events(KELAPI_EVENT_NEWDATA);
  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(announced[0].wparam, 3u) << "three stored parameters";
  EXPECT_EQ(announced[0].lparam, 42u) << "the entry number plus 1";

  const Read r = read(42);
  ASSERT_EQ(r.result, KELAPI_OK);
  EXPECT_EQ(r.class_number, 1u);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.time, 101500u);
  ASSERT_EQ(r.values.size(), 3u);
  EXPECT_EQ(r.values[0].first, "LAST");
  EXPECT_EQ(r.values[0].second, 125.0 * 0.1);
  EXPECT_EQ(r.values[1].first, "QTY");
  EXPECT_EQ(r.values[1].second, 7.0);
  EXPECT_EQ(r.values[2].first, "PRICE");
  EXPECT_EQ(r.values[2].second, 1234 * 0.1 * 0.1) << "ten to the security's scale, one place at a time";
}

TEST_F(ValuesTest, ASnapshotOfAChangedSecurityCarriesEveryFilteredParameterOnce) {
  start();
  send(0x8060, values(1000, 5, bit(kLast), {}, {10.0}));
  send(0x8060, values(1000, 6, bit(kLast), {}, {11.0}));
  send(0x8061, values(1000, 7, bit(kOther), {}, {3.0}));
  const auto announced = events(KELAPI_EVENT_NEWDATA);
  ASSERT_EQ(announced.size(), 3u);
  EXPECT_EQ(announced[0].wparam, 3u) << "QTY and PRICE added with zero values";
  EXPECT_EQ(announced[1].wparam, 1u) << "the first snapshot cleared the changed flag";
  EXPECT_EQ(announced[2].wparam, 0u) << "only a parameter outside the filter: announced all the same";
  const Read r = read(6);
  ASSERT_EQ(r.values.size(), 3u);
  EXPECT_EQ(r.values[1], std::make_pair(std::string("QTY"), 0.0));
  EXPECT_EQ(read(8).values.size(), 0u);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->classes.at(0).highest_snapshot, 6);
}

TEST_F(ValuesTest, GetDataExTakesTheEventsNumbersAndRefusesOthers) {
  start();
  send(0x8061, values(1000, 1048575, bit(kQty), {1}, {}));
  send(0x8061, values(1000, 1048576, bit(kQty), {2}, {}));
  send(0x8061, values(1000, 3, bit(kQty), {3}, {}));
  {
    LibraryLock lock(*lib);
    EXPECT_EQ(lib->values.store.chunks(), 3u) << "chunks 0, 1023 and 1024";
    EXPECT_EQ(lib->values.store.highest(), 1048576);
  }
  EXPECT_EQ(read(1048576).values.at(0).second, 1.0);
  EXPECT_EQ(read(1048577).values.at(0).second, 2.0) << "the highest entry number plus 1";
  EXPECT_EQ(read(4).values.at(0).second, 3.0);
  for (uint32_t n : {0u, 1u, 5u, 1048578u, 0xFFFFFFFFu}) {
    EXPECT_EQ(read(n).result, KELAPI_E_INVALIDARG) << n;
  }
  uint32_t w;
  KelapiValueRecord v[64];
  EXPECT_EQ(KelapiGetDataEx(4, nullptr, &w, &w, v), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiGetDataEx(4, &w, &w, &w, nullptr), KELAPI_E_POINTER);
}

TEST_F(ValuesTest, TheStoreFindsASecuritysLastEntryAndWalksInNumberOrder) {
  start();
  for (int32_t n : {3000, 5, 2048, 7}) send(0x8061, values(n == 2048 ? 1001 : 1000, n, bit(kQty), {n}, {}));
  LibraryLock lock(*lib);
  const ValueStore& store = lib->values.store;
  EXPECT_EQ(store.last_of_security(0, 2999), 7);
  EXPECT_EQ(store.last_of_security(0, 3000), 3000);
  EXPECT_EQ(store.last_of_security(1, 100000), 2048);
  EXPECT_EQ(store.last_of_security(1, 2047), -1);
  std::vector<int64_t> order;
  store.for_each([&](int64_t n, std::span<const uint8_t>) {
    order.push_back(n);
    return n < 2048;
  });
  EXPECT_EQ(order, (std::vector<int64_t>{5, 7, 2048})) << "in number order, until the callback says stop";
}

TEST_F(ValuesTest, BadEntriesAndUnknownSecuritiesAreDroppedWithoutHarm) {
  start();
  send(0x8061, values(1000, -5, bit(kQty), {1}, {}));
  {
    LibraryLock lock(*lib);
    EXPECT_FALSE(lib->values.store.failed()) << "a negative number is refused, the store stays usable";
    EXPECT_EQ(lib->values.store.chunks(), 0u);
  }
  send(0x8061, values(1000, 51200000, bit(kQty), {1}, {}));
  send(0x8061, values(4242, 9, bit(kQty), {1}, {}));
  // Counts beyond the lists and values missing from them.
  Msg805F_Values odd = values(1000, 10, bit(kLast) | bit(kQty) | bit(kPrice), {5}, {});
  odd.int_count = 65535;
  send(0x8061, odd);
  const auto announced = events(KELAPI_EVENT_NEWDATA);
  ASSERT_EQ(announced.size(), 1u);
  EXPECT_EQ(announced[0].lparam, 11u);
  bool unknown_logged = false;
  for (const auto& d : diagnostics()) unknown_logged |= d.find("SID=4242") != std::string::npos;
  EXPECT_TRUE(unknown_logged);
  LibraryLock lock(*lib);
  EXPECT_TRUE(lib->values.store.failed());
}

TEST_F(ValuesTest, PushedValuesGoWithTheirEventAndAreNotStored) {
  start(KELAPI_INIT_PUSH_VALUES);
  struct Seen {
    uint32_t count, entry, time, class_number, security_number;
    std::vector<std::pair<std::string, double>> values;
  };
  static std::vector<Seen> seen;
  seen.clear();
  // The header and its array are valid during the call only: copied here.
  auto copy = +[](uint32_t code, uintptr_t w, uintptr_t) -> int {
    if (code != KELAPI_EVENT_NEWDATAEX) return 0;
    const auto* h = reinterpret_cast<const KelapiDataEvent*>(w);
    Seen s{h->count, h->entry, h->time, h->class_number, h->security_number, {}};
    for (uint32_t i = 0; i < h->count; ++i) s.values.emplace_back(h->values[i].db_name, h->values[i].value);
    seen.push_back(s);
    return 0;
  };
  ASSERT_EQ(KelapiSetEventCallback(copy), KELAPI_OK);
  send(0x8060, values(1001, 8, bit(kOther) | bit(kQty), {4}, {1.0}));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].entry, 9u);
  EXPECT_EQ(seen[0].class_number, 1u);
  EXPECT_EQ(seen[0].security_number, 2u);
  ASSERT_EQ(seen[0].count, 3u) << "a snapshot of a changed security: every filtered parameter";
  EXPECT_EQ(seen[0].values[0], std::make_pair(std::string("LAST"), 0.0));
  EXPECT_EQ(seen[0].values[1], std::make_pair(std::string("QTY"), 4.0));
  EXPECT_EQ(read(9).result, KELAPI_E_INVALIDARG) << "nothing is stored";
}

TEST_F(ValuesTest, TheJournalGivesEntriesAndConfirmationsBackAfterARestart) {
  start();
  send(0x8061, values(1000, 20, bit(kQty) | bit(kLast), {6}, {2.0}));
  send(0x8061, values(1001, 21, bit(kPrice), {150}, {}));
  net->deliver(0x8048, Msg8048_EntryConfirmed{5, 20});
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  ASSERT_EQ(init(0, 0), KELAPI_OK);
  const Read r = read(22);
  ASSERT_EQ(r.result, KELAPI_OK);
  EXPECT_EQ(r.security_number, 2u);
  EXPECT_EQ(r.values.at(0).second, 150 * 0.1 * 0.1);
  EXPECT_EQ(read(21).values.size(), 2u);
  {
    LibraryLock lock(*lib);
    EXPECT_EQ(lib->values.store.replayed, 2u);
    EXPECT_EQ(lib->values.store.head(20)->flags & kEntryUnconfirmed, 0u) << "confirmed in the journal";
    EXPECT_NE(lib->values.store.head(21)->flags & kEntryUnconfirmed, 0u);
    EXPECT_EQ(lib->values.store.start[0], 20) << "the first entry written unconfirmed";
    EXPECT_EQ(lib->values.store.mark[0], 21);
  }
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(KELAPI_INIT_PUSH_VALUES, 0), KELAPI_OK);
  EXPECT_EQ(read(22).result, KELAPI_E_INVALIDARG) << "pushed values: the records are read, not applied";
}

TEST_F(ValuesTest, ReRequestsAskForEveryUnconfirmedRangeOnce) {
  start();
  // Entries 3 to 9; 3 and 6 confirmed; 8 a snapshot.
  for (int32_t n = 3; n <= 9; ++n) send(n == 8 ? 0x8060 : 0x8061, values(1000, n, bit(kQty), {n}, {}));
  for (int32_t n : {3, 6}) net->deliver(0x8048, Msg8048_EntryConfirmed{5, n});
  ASSERT_TRUE(net->wait_handled());
  net->clear_sent();
  {
    LibraryLock lock(*lib);
    rerequest_entries(*lib, 0, 10);
  }
  std::vector<std::array<int32_t, 3>> ranges;
  for (const auto& m : net->sent(0x8047)) {
    const auto r = m.as<Msg8047_EntriesRequest>();
    ranges.push_back({r.class_server_id, r.first, r.end});
  }
  EXPECT_EQ(ranges, (std::vector<std::array<int32_t, 3>>{{5, 7, 10}, {5, 4, 6}}));
  LibraryLock lock(*lib);
  for (int32_t n = 3; n <= 9; ++n) EXPECT_EQ(lib->values.store.head(n)->flags & kEntryUnconfirmed, 0u) << n;
}

}  // namespace
}  // namespace kelda::kelapi::test
