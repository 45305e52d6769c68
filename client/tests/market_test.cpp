// Classes, securities and parameter descriptions from the server's messages
// to the caller's records, through the library's real handler table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "library_fixture.h"
#include "market/market.h"

namespace kelda::kelapi::test {
namespace {

class MarketTest : public LibraryTest {
 protected:
  // Connected and started with one class "CLS" (server id 5) of securities
  // AAA (id 1000) and BBB (1001) and parameters "last" and "NUMBIDS".
  void start(uint32_t flags = 0) {
    ASSERT_EQ(init(flags), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA", "BBB"}, {"last", "NUMBIDS"});
    end_class_lists();
    ASSERT_EQ(events(KELAPI_EVENT_START).size(), 1u);
  }

  KelapiClassRecord class_record(uint32_t n = 1) {
    KelapiClassRecord r{};
    EXPECT_EQ(KelapiGetClassEx3(n, &r, sizeof r), KELAPI_OK);
    return r;
  }

  std::vector<std::string> security_codes(uint32_t n = 1) {
    const KelapiClassRecord c = class_record(n);
    std::vector<KelapiSecurityRecord> records(c.security_count);
    EXPECT_EQ(KelapiGetClassSecuritiesEx3(n, records.data(), sizeof(KelapiSecurityRecord)), KELAPI_OK);
    std::vector<std::string> codes;
    for (const auto& r : records) codes.push_back(std::string(r.code) + "#" + std::to_string(r.security_number));
    return codes;
  }

  // A new version of class CLS (started with flag 0x8): securities AAA, BBB
  // and CCC, parameters "last", "NUMBIDS" and "bid".
  void add_third_security_and_parameter() {
    net->clear_sent();
    net->deliver(0x803C, class_description(5, "CLS", 2, 2));
    ASSERT_TRUE(net->wait_handled());
    const int32_t sec_request = last_request(0x8034);
    const int32_t par_request = last_request(0x8032);
    for (const char* code : {"AAA", "BBB", "CCC"}) net->deliver(0x8081, security(sec_request, 1000 + code[0], code));
    for (const char* name : {"last", "NUMBIDS", "bid"}) {
      net->deliver(0x24, parameter(static_cast<int16_t>(par_request), name));
    }
    net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(sec_request)});
    net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(par_request)});
    ASSERT_TRUE(net->wait_handled());
  }

  void reconnect() {
    ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    net->clear_sent();
  }
};

TEST_F(MarketTest, StartEventFollowsTheSessionAndACompleteMarket) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session(7, "KEY1");
  describe_market(5, "CLS", {"AAA", "BBB"}, {"last", "NUMBIDS"});
  EXPECT_TRUE(events(KELAPI_EVENT_START).empty()) << "the class lists have not ended";
  KelapiClassRecord early{};
  EXPECT_EQ(KelapiGetClassEx3(1, &early, sizeof early), KELAPI_E_START_EVENT_NOT_FIRED);
  end_class_lists();

  const auto start = events(KELAPI_EVENT_START);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].start.trade_date, 20240105u);
  EXPECT_EQ(start[0].start.session_id, 7u);
  EXPECT_STREQ(start[0].start.session_text1, "first");
  EXPECT_STREQ(start[0].start.session_text2, "second");
  EXPECT_STREQ(start[0].start.session_text, "session text");
  EXPECT_STREQ(start[0].start.trading_session, "KEY1");

  const KelapiClassRecord c = class_record();
  EXPECT_STREQ(c.code, "CLS");
  EXPECT_STREQ(c.name, "Class CLS");
  EXPECT_EQ(c.class_number, 1u);
  EXPECT_EQ(c.security_count, 2u);
  EXPECT_EQ(c.param_count, 2);
  EXPECT_EQ(c.raw_flags, 0x41u);
  EXPECT_EQ(c.flags, 0x21u);
  EXPECT_EQ(c.table_flag, 1u);

  KelapiSecurityRecordEx4 s[2];
  ASSERT_EQ(KelapiGetClassSecuritiesEx4(1, s, sizeof s[0]), KELAPI_OK);
  EXPECT_STREQ(s[0].code, "AAA");
  EXPECT_STREQ(s[0].name, "Name AAA");  // trailing blanks removed
  EXPECT_EQ(s[0].security_number, 1u);
  EXPECT_EQ(s[1].security_number, 2u);
  EXPECT_EQ(s[0].scale, 2);
  EXPECT_EQ(s[0].value4, -1);
  EXPECT_EQ(s[0].trading_unit, 10);

  KelapiClassParamRecord p[2];
  ASSERT_EQ(KelapiGetClassParamsEx(1, p), KELAPI_OK);
  EXPECT_STREQ(p[0].db_name, "last");
  EXPECT_EQ(p[0].param_number, 1);
  EXPECT_STREQ(p[1].long_name, "Long NUMBIDS");
  EXPECT_EQ(p[1].param_number, 2);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->params.get(0, 0)->zero_is_no_value, 1);
  EXPECT_EQ(lib->params.get(0, 1)->zero_is_no_value, 0) << "NUMBIDS compares without regard to case";
  EXPECT_EQ(lib->securities.find_by_server_id(1001), 1);
}

TEST_F(MarketTest, ReadsCheckTheirArgumentsInOrder) {
  start();
  KelapiClassRecord c3{};
  KelapiClassRecordEx4 c4{};
  KelapiSecurityRecord s3[2];
  struct Case {
    const char* what;
    KelapiResult got;
    KelapiResult expected;
  };
  const Case cases[] = {
      {"Ex3 with the Ex4 size", KelapiGetClassEx3(1, &c3, 1216), KELAPI_E_STRUCT_SIZE},
      {"Ex4 with the Ex3 size", KelapiGetClassEx4(1, &c4, 184), KELAPI_E_STRUCT_SIZE},
      {"one byte more", KelapiGetClassEx3(1, &c3, sizeof c3 + 1), KELAPI_E_STRUCT_SIZE},
      {"class 0", KelapiGetClassEx3(0, &c3, sizeof c3), KELAPI_E_INVALIDARG},
      {"class 2", KelapiGetClassEx3(2, &c3, sizeof c3), KELAPI_E_INVALIDARG},
      {"null record", KelapiGetClassEx3(1, nullptr, sizeof c3), KELAPI_E_POINTER},
      {"securities, wrong size", KelapiGetClassSecuritiesEx3(1, s3, 168), KELAPI_E_STRUCT_SIZE},
      {"securities, null array", KelapiGetClassSecuritiesEx3(1, nullptr, sizeof s3[0]), KELAPI_E_POINTER},
      {"securities, class 9", KelapiGetClassSecuritiesEx3(9, s3, sizeof s3[0]), KELAPI_E_INVALIDARG},
      {"params, null array", KelapiGetClassParamsEx(1, nullptr), KELAPI_E_POINTER},
      {"params, class 0", KelapiGetClassParamsEx(0, nullptr), KELAPI_E_INVALIDARG},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST_F(MarketTest, ReadsNeverWriteMoreRecordsThanTheCallerSawCounted) {
  start(0x8);  // every class description refreshes the class
  ASSERT_EQ(class_record().security_count, 2u);
  ASSERT_EQ(class_record().param_count, 2);

  // A new securities version: a third security and a third parameter arrive
  // after the caller sized its arrays.
  add_third_security_and_parameter();

  KelapiSecurityRecord securities[3];
  std::memset(securities, 0x5A, sizeof securities);
  ASSERT_EQ(KelapiGetClassSecuritiesEx3(1, securities, sizeof securities[0]), KELAPI_OK);
  EXPECT_STREQ(securities[1].code, "BBB");
  EXPECT_EQ(securities[2].security_number, 0x5A5A5A5Au) << "a third record was written";
  KelapiClassParamRecord params[3];
  std::memset(params, 0x5A, sizeof params);
  ASSERT_EQ(KelapiGetClassParamsEx(1, params), KELAPI_OK);
  EXPECT_EQ(params[2].param_number, 0x5A5A) << "a third record was written";

  // Once the caller has seen the new counts it gets every record.
  EXPECT_EQ(class_record().security_count, 3u);
  EXPECT_EQ(security_codes(), (std::vector<std::string>{"AAA#1", "BBB#2", "CCC#3"}));
}

TEST_F(MarketTest, EachReaderThreadGetsWhatItsOwnClassReadCounted) {
  start(0x8);
  ASSERT_EQ(class_record().security_count, 2u);  // this thread sizes for two

  add_third_security_and_parameter();

  // Another thread of the caller reads the class now and sizes for three.
  std::thread other([&] {
    EXPECT_EQ(class_record().security_count, 3u);
    KelapiSecurityRecord three[3];
    EXPECT_EQ(KelapiGetClassSecuritiesEx3(1, three, sizeof three[0]), KELAPI_OK);
    EXPECT_STREQ(three[2].code, "CCC");
  });
  other.join();

  KelapiSecurityRecord securities[3];
  std::memset(securities, 0x5A, sizeof securities);
  ASSERT_EQ(KelapiGetClassSecuritiesEx3(1, securities, sizeof securities[0]), KELAPI_OK);
  EXPECT_EQ(securities[2].security_number, 0x5A5A5A5Au) << "written past what this thread sized for";
}

TEST_F(MarketTest, AReconnectWithUnchangedVersionsOnlyRefreshesServerIds) {
  start();
  reconnect();
  net->deliver(0x803C, class_description(5, "CLS"));
  ASSERT_TRUE(net->wait_handled());
  const auto sent = net->sent();
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].id, 0x8039);
  const int32_t request = sent[0].as<ClassRequest>().request;

  // Only the first position is listed again, under a new server id.
  Msg8038_ServerIds ids{};
  ids.request = request;
  ids.flags = 4;
  ids.first_position = 0;
  ids.count = 1;
  ids.server_ids[0] = 2000;
  net->deliver(0x8038, ids);
  end_class_lists();
  EXPECT_EQ(events(KELAPI_EVENT_START).size(), 2u);
  EXPECT_EQ(class_record().security_count, 1u);
  EXPECT_EQ(security_codes(), std::vector<std::string>{"AAA#1"});
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->securities.find_by_server_id(2000), 0);
  EXPECT_EQ(lib->securities.find_by_server_id(1000), -1);
  EXPECT_EQ(lib->securities.find_by_server_id(1001), -1);
}

TEST_F(MarketTest, ANewSecuritiesVersionReloadsAndReusesRecordsByCode) {
  start();
  reconnect();
  net->deliver(0x803C, class_description(5, "CLS", 2, 1));
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(net->sent().size(), 1u);
  const int32_t request = last_request(0x8034);
  ASSERT_NE(request, 0);
  net->deliver(0x8081, security(request, 3000, "BBB"));
  net->deliver(0x8081, security(request, 3001, "CCC"));
  // A list by position names nobody after a full reload: positions were reset.
  Msg8038_ServerIds late{};
  late.request = request;
  late.first_position = 5;
  late.count = 1;
  late.server_ids[0] = 4444;
  net->deliver(0x8038, late);
  net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(request)});
  end_class_lists();
  EXPECT_EQ(security_codes(), (std::vector<std::string>{"BBB#2", "CCC#3"}));
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->securities.find_by_server_id(4444), -1);
  EXPECT_EQ(lib->securities.at(1).position, 0);
  EXPECT_EQ(lib->securities.at(0).position, -1);
}

TEST_F(MarketTest, TheFilterSendsOnlyChanges) {
  start();
  net->clear_sent();
  const int16_t params[] = {2};
  const uint32_t securities[] = {1, 2};
  ASSERT_EQ(KelapiSetClassFilterEx(1, 1, params, 2, securities), KELAPI_OK);
  auto sent = net->sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].id, 0x8045);
  EXPECT_EQ(sent[0].as<Msg8045_FilterAdd>().value, 1000);
  EXPECT_EQ(sent[1].as<Msg8045_FilterAdd>().value, 1001);
  ASSERT_EQ(sent[2].id, 0x8051);
  EXPECT_EQ(sent[2].as<Msg8051_ParameterMask>().mask_low, 0x2u);  // NUMBIDS arrived second
  EXPECT_EQ(sent[2].as<Msg8051_ParameterMask>().class_server_id, 5);

  net->clear_sent();
  ASSERT_EQ(KelapiSetClassFilterEx(1, 0, nullptr, 0, nullptr), KELAPI_OK);
  sent = net->sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].id, 0x8046);
  EXPECT_EQ(sent[1].id, 0x8046);
  EXPECT_EQ(sent[2].as<Msg8051_ParameterMask>().mask_low, 0u);

  net->clear_sent();
  ASSERT_EQ(KelapiSetClassFilterEx(1, 0, nullptr, 0, nullptr), KELAPI_OK);
  EXPECT_TRUE(net->sent().empty()) << "nothing changed, nothing is sent";

  const int16_t no_slot[] = {3};
  const int16_t zero[] = {0};
  const uint32_t unknown[] = {3};
  EXPECT_EQ(KelapiSetClassFilterEx(1, 1, no_slot, 0, nullptr), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiSetClassFilterEx(1, 1, zero, 0, nullptr), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiSetClassFilterEx(1, 0, nullptr, 1, unknown), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiSetClassFilterEx(1, 0, nullptr, 1, nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiSetClassFilterEx(1, 1, nullptr, 0, nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiSetClassFilterEx(2, 0, nullptr, 0, nullptr), KELAPI_E_INVALIDARG);
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  EXPECT_EQ(KelapiSetClassFilterEx(1, 0, nullptr, 0, nullptr), KELAPI_E_NOT_CONNECTED);
}

TEST_F(MarketTest, BadServerInputIsDroppedWithADiagnostic) {
  start();
  // Class texts nobody asked for touch no class.
  Msg8037_ClassTexts texts{};
  std::strcpy(texts.text1, "unrequested");
  net->deliver(0x8037, texts);
  // An overlong parameter name drops the description, not the process.
  Msg0024_ParameterDescription overlong = parameter(0, "x");
  std::memset(overlong.db_name, 'N', sizeof overlong.db_name);
  {
    LibraryLock lock(*lib);
    lib->classes.at(0).params_request = 999;
  }
  net->deliver(0x24, static_cast<Msg0024_ParameterDescription>([&] {
                 auto p = overlong;
                 p.request = 999;
                 return p;
               }()));
  // Descriptions for requests that are not pending are dropped.
  net->deliver(0x8081, security(0, 7777, "ZZZ"));
  net->deliver(0x8081, security(12345, 7778, "ZZY"));
  ASSERT_TRUE(net->wait_handled());

  KelapiClassRecordEx4 c{};
  ASSERT_EQ(KelapiGetClassEx4(1, &c, sizeof c), KELAPI_OK);
  EXPECT_STREQ(c.text1, "");
  EXPECT_EQ(c.param_count, 2);
  EXPECT_EQ(c.security_count, 2u);
  const auto diags = diagnostics();
  ASSERT_FALSE(diags.empty());
  EXPECT_EQ(diags.back(),
            "ERROR: Class [CLS], parameter [NNNNNNNNNNNNNNNN]: field [NET_PARAM_EX::db_name] exceeds 16 "
            "symbols. Contact technical support.");
}

TEST_F(MarketTest, TheClassTableHoldsAHundredClasses) {
  start();
  for (int i = 0; i < 100; ++i) {
    net->deliver(0x803C, class_description(100 + i, ("C" + std::to_string(i)).c_str()));
  }
  ASSERT_TRUE(net->wait_handled());
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->classes.size(), 100u);
  EXPECT_EQ(lib->classes.find_by_code("C98"), 99);
  EXPECT_EQ(lib->classes.find_by_code("C99"), -1);
  const auto diags = diagnostics();
  ASSERT_FALSE(diags.empty());
  EXPECT_NE(diags.back().find("class [C99] dropped"), std::string::npos) << diags.back();
}

TEST_F(MarketTest, ClassesShareParameterSlotsByName) {
  start();
  describe_market(6, "SEC", {"XXX"}, {"bid", "LAST"}, 5000);
  KelapiClassRecord c = class_record(2);
  ASSERT_EQ(c.param_count, 2);
  KelapiClassParamRecord p[2];
  ASSERT_EQ(KelapiGetClassParamsEx(2, p), KELAPI_OK);
  // Slots in slot order: "last" (slot 1, from the first class), "bid" (slot 3).
  EXPECT_EQ(p[0].param_number, 1);
  EXPECT_STREQ(p[0].db_name, "LAST");
  EXPECT_EQ(p[1].param_number, 3);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->params.slot_count(), 3u);
  EXPECT_EQ(lib->params.slot_by_number(1, 0), 2) << "bid arrived first in the second class";
  EXPECT_EQ(lib->params.slot_by_number(1, 1), 0);
}

TEST_F(MarketTest, CodesAreCutAndTrimmed) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  net->deliver(0x803C, class_description(5, "CLS"));
  ASSERT_TRUE(net->wait_handled());
  auto s = security(last_request(0x8034), 1, "");
  std::memcpy(s.code, "ABCDEFGHIJKLM", 13);  // 13 characters, no terminator
  net->deliver(0x8081, s);
  auto t = security(last_request(0x8034), 2, "TWELVE CHARS");
  std::memcpy(t.code, "EXACTLY12CHR", 13);
  net->deliver(0x8081, t);
  auto u = security(last_request(0x8034), 3, "PAD   ");
  net->deliver(0x8081, u);
  ASSERT_TRUE(net->wait_handled());
  LibraryLock lock(*lib);
  ASSERT_EQ(lib->securities.size(), 3u);
  EXPECT_STREQ(lib->securities.at(0).h.code, "ABCDEFGHIJKL");
  EXPECT_STREQ(lib->securities.at(1).h.code, "EXACTLY12CHR");
  EXPECT_STREQ(lib->securities.at(2).h.code, "PAD");
  EXPECT_EQ(lib->securities.find_by_code("PAD", 0, false), 2);
  EXPECT_EQ(find_security(*lib, "CLS", "PAD"), 2);
  EXPECT_EQ(find_security(*lib, "CLS", "pad"), -1);
}

}  // namespace
}  // namespace kelda::kelapi::test
