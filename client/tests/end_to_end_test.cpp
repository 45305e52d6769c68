// The shipped client library over the real network stack (zn_de, zn_dtcp,
// the dispatcher with the null-cipher test plug-in) against the loopback
// server double: from initialisation to the start event, the caller's reads,
// a broken link, connecting again, disconnecting and uninitialising.
//
// Only the library's C interface is used; the server's messages are written
// here byte by byte from their layouts.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "zn_dtcp/zn_dtcp.h"
#include "server_double/demo_market.h"
#include "server_double/demo_trading.h"
#include "server_double/market_messages.h"
#include "server_double/server_double.h"
#include "testsupport/test_dir.h"

namespace sd = kelda::server_double;

namespace {

using Bytes = std::vector<uint8_t>;

// ---- the caller's events ----

struct Event {
  uint32_t code;
  uintptr_t wparam;
  uintptr_t lparam;
  std::string text;
  KelapiStartInfo start{};
};

std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<Event> g_events;

int on_event(uint32_t code, uintptr_t wparam, uintptr_t lparam) {
  Event e{code, wparam, lparam, {}, {}};
  if (code == KELAPI_EVENT_NEWSTATUS && wparam == 1) e.text = reinterpret_cast<const char*>(lparam);
  if (code == KELAPI_EVENT_TRANSREPLY) e.text = reinterpret_cast<const char*>(lparam);
  if (code == KELAPI_EVENT_START) std::memcpy(&e.start, reinterpret_cast<const void*>(wparam), sizeof e.start);
  std::lock_guard lock(g_mutex);
  g_events.push_back(e);
  g_changed.notify_all();
  return 0;
}

std::vector<Event> wait_events(uint32_t code, std::size_t n) {
  std::unique_lock lock(g_mutex);
  std::vector<Event> found;
  g_changed.wait_for(lock, std::chrono::seconds(10), [&] {
    found.clear();
    for (const Event& e : g_events) {
      if (e.code == code) found.push_back(e);
    }
    return found.size() >= n;
  });
  return found;
}

// ---- message bodies on the wire ----

void put8(Bytes& b, uint8_t v) { b.push_back(v); }
void put16(Bytes& b, uint16_t v) { sd::put16(b, v); }
void put32(Bytes& b, uint32_t v) { sd::put32(b, v); }
void put64(Bytes& b, uint64_t v) {
  put32(b, static_cast<uint32_t>(v >> 32));
  put32(b, static_cast<uint32_t>(v));
}
// A text field: its characters and the terminating zero.
void put_text(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}
int32_t get32(const Bytes& b, std::size_t at) {
  return static_cast<int32_t>((uint32_t{b.at(at)} << 24) | (uint32_t{b.at(at + 1)} << 16) |
                              (uint32_t{b.at(at + 2)} << 8) | b.at(at + 3));
}

Bytes session_info(int32_t id) {
  Bytes b;
  put32(b, static_cast<uint32_t>(id));
  put_text(b, "Demo server");
  put_text(b, "Trading");
  put_text(b, "CODE");
  put_text(b, "Evening session");
  put32(b, 0);
  put32(b, 0);
  return b;
}

Bytes trading_session(const std::string& key, uint32_t date) {
  Bytes b;
  put_text(b, key);
  put32(b, 0);
  put32(b, date);
  return b;
}

Bytes class_description(int32_t server_id, const std::string& code) {
  Bytes b;
  put32(b, static_cast<uint32_t>(server_id));
  put_text(b, code);
  put_text(b, "Shares");
  put32(b, 0x40);     // flags
  put32(b, 0);
  put32(b, 0);
  put32(b, 0x800);    // table flags
  put_text(b, "FIRM1");
  put32(b, 1);        // securities version
  put32(b, 1);        // parameters version
  put32(b, 0);
  put16(b, 2);        // the list
  put32(b, 11);
  put32(b, 12);
  return b;
}

Bytes security(int32_t request, int32_t server_id, const std::string& code, const std::string& name) {
  Bytes b;
  put32(b, static_cast<uint32_t>(request));
  put32(b, static_cast<uint32_t>(server_id));
  put_text(b, code);
  put_text(b, name);
  put_text(b, code);
  put32(b, 7);
  put64(b, 123456789012ull);
  put_text(b, "RUB");
  put16(b, 2);        // scale
  put32(b, 0);
  put32(b, 10);       // trading unit
  put_text(b, "T3");
  put_text(b, "T4");
  return b;
}

Bytes parameter(int32_t request, const std::string& name, uint16_t flags) {
  Bytes b;
  put16(b, static_cast<uint16_t>(request));
  put8(b, 1);
  put16(b, flags);
  put16(b, 2);
  put_text(b, name);
  put_text(b, name);
  put_text(b, "Long " + name);
  put_text(b, "");
  return b;
}

// A value record (0x805F, 0x8060, 0x8061): integers and doubles in their
// counted lists, doubles as the big-endian bits of the IEEE value.
Bytes value_record(int32_t security, int32_t entry, uint32_t mask, const std::vector<int32_t>& ints,
                   const std::vector<double>& doubles) {
  Bytes b;
  put32(b, static_cast<uint32_t>(security));
  put32(b, 93000);
  put32(b, static_cast<uint32_t>(entry));
  put32(b, mask);
  put32(b, 0);
  put16(b, static_cast<uint16_t>(ints.size()));
  for (int32_t v : ints) put32(b, static_cast<uint32_t>(v));
  put16(b, static_cast<uint16_t>(doubles.size()));
  for (double d : doubles) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    put64(b, bits);
  }
  return b;
}

Bytes request_complete(int32_t request) {
  Bytes b;
  put16(b, static_cast<uint16_t>(request));
  return b;
}

class EndToEnd : public ::testing::Test {
 protected:
  // The network stack reads its crypto-provider settings from the file it
  // was first initialised with, as in the terminal, where one settings file
  // serves the whole process: every test of the suite uses the same one.
  static void SetUpTestSuite() {
    char folder[] = "/tmp/kelapi-e2e-XXXXXX";
    settings_folder = ::mkdtemp(folder);
  }
  static void TearDownTestSuite() {
    // The library leaves the network stack to end with the process: the
    // transport joins the threads of the connections it closed at exit.
    std::filesystem::remove_all(settings_folder);
  }

  void SetUp() override {
    {
      std::lock_guard lock(g_mutex);
      g_events.clear();
    }
    settings = settings_folder + "/KeldaMobile.txt";
    kelda::test::write_file_bytes(
        settings, "[connect]\r\ntrade-server-ip-address=127.0.0.1\r\nport=" + std::to_string(server.port()) +
                      "\r\nauth-name=\r\n"
                      "[CryptoProviders]\r\nNullCipher=1\r\n"
                      "[NullCipher]\r\nModule=NullCipher.DLL\r\nIniFile=\r\n"
                      "[CryptoProvidersSettings]\r\nCipherCryptoProvider=NullCipher\r\n");
    ASSERT_EQ(KelapiSetEventCallback(&on_event), KELAPI_OK);
    ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0x10), KELAPI_OK);
  }
  void TearDown() override {
    KelapiUninitialize();
    KelapiSetEventCallback(nullptr);
  }

  // KelapiConnect on another thread while the server accepts and answers.
  // `before_serve` installs the session's handlers (the demo market's).
  std::unique_ptr<sd::Session> connect(const std::function<void(sd::Session&)>& before_serve = {}) {
    auto result = std::async(std::launch::async, [] {
      char error[256] = "";
      const KelapiResult r = KelapiConnect("trader", "secret", error);
      return std::make_pair(r, std::string(error));
    });
    std::unique_ptr<sd::Session> session = server.accept();
    if (!session) {
      const auto [code, error] = result.get();
      ADD_FAILURE() << "no connection: " << code << " " << error;
      return nullptr;
    }
    sd::HandshakeScript script;
    script.permissions = 0xC000;
    if (!session->handshake(script)) return nullptr;
    const auto [code, error] = result.get();
    EXPECT_EQ(code, KELAPI_OK) << error;
    if (before_serve) before_serve(*session);
    session->serve();
    return session;
  }

  // The server's side of the start: session, trading session, one class
  // with two securities and two parameters, the end of the class lists.
  void start_market(sd::Session& s) {
    s.send_message(0x803D, session_info(7));
    s.send_message(0x22, trading_session("DAY-1", 20240105));
    ASSERT_TRUE(s.wait_for(0xA5));
    s.send_message(0x803C, class_description(5, "TQBR"));
    const auto securities = s.wait_for(0x8034);
    const auto params = s.wait_for(0x8032);
    ASSERT_TRUE(securities && params);
    const int32_t sec_request = get32(securities->body, 0);
    const int32_t par_request = get32(params->body, 0);
    EXPECT_EQ(get32(securities->body, 4), 5) << "the class's server id";
    s.send_message(0x8081, security(sec_request, 1000, "GAZP", "Gazprom"));
    s.send_message(0x8081, security(sec_request, 1001, "SBER", "Sberbank"));
    s.send_message(0x24, parameter(par_request, "LAST", 0x1));
    s.send_message(0x24, parameter(par_request, "NUMBIDS", 0));
    s.send_message(0x2, request_complete(sec_request));
    s.send_message(0x2, request_complete(par_request));
    s.send_message(0x4A, {});
  }

  void serve_values(uint32_t event) {
    std::unique_ptr<sd::Session> s = connect();
    ASSERT_TRUE(s);
    start_market(*s);
    ASSERT_EQ(wait_events(KELAPI_EVENT_START, 1).size(), 1u);
    const int16_t wanted[] = {1, 2};
    const uint32_t chosen[] = {1, 2};
    ASSERT_EQ(KelapiSetClassFilterEx(1, 2, wanted, 2, chosen), KELAPI_OK);
    ASSERT_TRUE(s->wait_for(0x8051));
    // LAST is a double, NUMBIDS an integer; both of scale 2.
    s->send_message(0x8061, value_record(1001, 7, 0x3, {12}, {1234.0}));
    s->send_message(0x8060, value_record(1000, 8, 0x1, {}, {50.0}));
    ASSERT_EQ(wait_events(event, 2).size(), 2u);
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  }

  static inline std::string settings_folder;
  sd::ServerDouble server;
  std::string settings;
};

TEST_F(EndToEnd, FromInitialisationToTheStartEventAndBack) {
  std::unique_ptr<sd::Session> s = connect();
  ASSERT_TRUE(s);
  // What the library says when the connection stands.
  const auto language = s->wait_for(0x91);
  ASSERT_TRUE(language);
  EXPECT_EQ(language->body, (Bytes{0, 25, 0, 1}));
  ASSERT_TRUE(s->wait_for(0x8008));
  const auto report_end = s->wait_for(0x1A, sd::kDefaultTimeoutMs, 19);
  ASSERT_TRUE(report_end) << "the environment report: 19 pairs and the empty end";
  EXPECT_EQ(report_end->body, (Bytes{0, 0}));

  start_market(*s);
  const auto start = wait_events(KELAPI_EVENT_START, 1);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].start.trade_date, 20240105u);
  EXPECT_EQ(start[0].start.session_id, 7u);
  EXPECT_STREQ(start[0].start.trading_session, "DAY-1");
  EXPECT_STREQ(start[0].start.session_text, "Evening session");
  EXPECT_STREQ(start[0].start.session_text1, "Demo server");

  KelapiClassRecord c{};
  ASSERT_EQ(KelapiGetClassEx3(1, &c, sizeof c), KELAPI_OK);
  EXPECT_STREQ(c.code, "TQBR");
  EXPECT_STREQ(c.code2, "FIRM1");
  EXPECT_EQ(c.security_count, 2u);
  EXPECT_EQ(c.param_count, 2);
  EXPECT_EQ(c.flags, 0x1u);
  std::vector<KelapiSecurityRecordEx4> securities(c.security_count);
  ASSERT_EQ(KelapiGetClassSecuritiesEx4(1, securities.data(), sizeof securities[0]), KELAPI_OK);
  EXPECT_STREQ(securities[1].code, "SBER");
  EXPECT_STREQ(securities[1].name, "Sberbank");
  EXPECT_STREQ(securities[1].text4ch, "RUB");
  EXPECT_STREQ(securities[1].text4, "T4");
  EXPECT_EQ(securities[1].value2, 123456789012);
  EXPECT_EQ(securities[1].scale, 2);
  EXPECT_EQ(securities[1].security_number, 2u);
  std::vector<KelapiClassParamRecord> params(static_cast<std::size_t>(c.param_count));
  ASSERT_EQ(KelapiGetClassParamsEx(1, params.data()), KELAPI_OK);
  EXPECT_STREQ(params[0].db_name, "LAST");
  EXPECT_EQ(params[0].flags, 0x8);
  EXPECT_STREQ(params[1].long_name, "Long NUMBIDS");

  // The filter goes to the server from the caller's thread.
  const int16_t wanted[] = {1};
  const uint32_t chosen[] = {2};
  ASSERT_EQ(KelapiSetClassFilterEx(1, 1, wanted, 1, chosen), KELAPI_OK);
  const auto joined = s->wait_for(0x8045);
  ASSERT_TRUE(joined);
  EXPECT_EQ(get32(joined->body, 0), 1001);
  const auto mask = s->wait_for(0x8051);
  ASSERT_TRUE(mask);
  EXPECT_EQ(get32(mask->body, 0), 1);

  // A broken link: the status event with the reason; connecting again works.
  s->drop();
  const auto status = wait_events(KELAPI_EVENT_NEWSTATUS, 1);
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0].wparam, 1u);
  EXPECT_FALSE(status[0].text.empty());
  std::unique_ptr<sd::Session> again = connect();
  ASSERT_TRUE(again);
  ASSERT_TRUE(again->wait_for(0x91));

  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  EXPECT_TRUE(again->wait_for(0x4E)) << "the logout";
  again->stop_serving();
  EXPECT_TRUE(again->wait_closed());
  {
    std::lock_guard lock(g_mutex);
    EXPECT_EQ(std::count_if(g_events.begin(), g_events.end(),
                            [](const Event& e) { return e.code == KELAPI_EVENT_NEWSTATUS; }),
              1)
        << "a requested disconnect raises no event";
  }
  EXPECT_EQ(KelapiUninitialize(), KELAPI_OK);
  EXPECT_EQ(KelapiUninitialize(), KELAPI_E_NOT_INITIALIZED);
}

TEST_F(EndToEnd, TheTablesOfTheLastSessionAreReadBackAtTheNextInitialisation) {
  std::unique_ptr<sd::Session> s = connect();
  ASSERT_TRUE(s);
  start_market(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 1).size(), 1u);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  EXPECT_TRUE(s->wait_for(0x4E)) << "uninitialise logs out";

  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0x10), KELAPI_OK);
  KelapiClassRecord c{};
  ASSERT_EQ(KelapiGetClassEx3(1, &c, sizeof c), KELAPI_OK);
  EXPECT_STREQ(c.code, "TQBR");
  EXPECT_EQ(c.security_count, 2u);
}

// Values of the filtered securities: pushed with event 42 under flag 0x10
// (the suite's initialisation); without it stored, announced, read back
// with KelapiGetDataEx and replayed from the journal after a restart.
TEST_F(EndToEnd, CurrentValuesArePushedWithTheirEvent) {
  struct Pushed {
    uint32_t entry, security_number, count;
    double first;
  };
  static std::vector<Pushed> pushed;
  pushed.clear();
  ASSERT_EQ(KelapiSetEventCallback(+[](uint32_t code, uintptr_t w, uintptr_t l) -> int {
              if (code == KELAPI_EVENT_NEWDATAEX) {
                const auto* h = reinterpret_cast<const KelapiDataEvent*>(w);
                std::lock_guard lock(g_mutex);
                pushed.push_back({h->entry, h->security_number, h->count, h->count ? h->values[0].value : -1});
              }
              return on_event(code, w, l);
            }),
            KELAPI_OK);
  serve_values(KELAPI_EVENT_NEWDATAEX);
  std::lock_guard lock(g_mutex);
  ASSERT_EQ(pushed.size(), 2u);
  EXPECT_EQ(pushed[0].entry, 8u);
  EXPECT_EQ(pushed[0].security_number, 2u);
  EXPECT_EQ(pushed[0].count, 2u);
  EXPECT_EQ(pushed[0].first, 1234.0 * 0.1 * 0.1);
  EXPECT_EQ(pushed[1].count, 2u) << "the snapshot of a changed security carries every filtered parameter";
}

TEST_F(EndToEnd, CurrentValuesAreStoredAndReplayedFromTheJournal) {
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0), KELAPI_OK);
  serve_values(KELAPI_EVENT_NEWDATA);
  const auto announced = wait_events(KELAPI_EVENT_NEWDATA, 2);
  EXPECT_EQ(announced[0].lparam, 8u);
  EXPECT_EQ(announced[1].lparam, 9u);
  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0), KELAPI_OK);
  uint32_t class_number = 0, security_number = 0, time = 0;
  KelapiValueRecord values[64];
  ASSERT_EQ(KelapiGetDataEx(8, &class_number, &security_number, &time, values), KELAPI_OK);
  EXPECT_EQ(class_number, 1u);
  EXPECT_EQ(security_number, 2u);
  EXPECT_EQ(time, 93000u);
  EXPECT_STREQ(values[0].db_name, "LAST");
  EXPECT_EQ(values[0].value, 1234.0 * 0.1 * 0.1);
  EXPECT_STREQ(values[1].db_name, "NUMBIDS");
  EXPECT_EQ(values[1].value, 12 * 0.1 * 0.1);
  ASSERT_EQ(KelapiGetDataEx(9, &class_number, &security_number, &time, values), KELAPI_OK);
  EXPECT_EQ(security_number, 1u);
  EXPECT_EQ(values[1].value, 0.0) << "the snapshot of a changed security carries every filtered parameter";
}

// ---- the demo market: price lists, order books and quotes ----

std::size_t count_events(uint32_t code) {
  std::lock_guard lock(g_mutex);
  return static_cast<std::size_t>(
      std::count_if(g_events.begin(), g_events.end(), [&](const Event& e) { return e.code == code; }));
}

std::vector<std::pair<double, int32_t>> caller_price_list(uint32_t security) {
  uint16_t count = 0;
  KelapiPriceRecord* records = nullptr;
  EXPECT_EQ(KelapiGetPriceEx(1, security, &count, &records), KELAPI_OK);
  std::vector<std::pair<double, int32_t>> out;
  for (uint16_t i = 0; i < count; ++i) {
    out.emplace_back(records[i].price, records[i].positive_volume - records[i].negative_volume);
  }
  KelapiFree(records);
  return out;
}

std::vector<std::pair<double, int32_t>> caller_book(uint32_t security) {
  uint16_t count = 0;
  KelapiQuotesPriceRecord* records = nullptr;
  EXPECT_EQ(KelapiGetQuotesPriceEx(1, security, &count, &records), KELAPI_OK);
  std::vector<std::pair<double, int32_t>> out;
  for (uint16_t i = 0; i < count; ++i) {
    out.emplace_back(records[i].price, records[i].flags == 4 ? -records[i].quantity : records[i].quantity);
  }
  KelapiFree(records);
  return out;
}

// What the caller should see of a demo security of scale 2: order books
// mark bids with negative volumes, price lists carry them on the positive side.
std::vector<std::pair<double, int32_t>> expected_levels(const sd::DemoMarket& demo, int32_t server_id,
                                                        int bid_sign = -1) {
  std::vector<std::pair<double, int32_t>> out;
  for (const auto& l : demo.levels(server_id)) out.emplace_back(l.price * 0.1 * 0.1, bid_sign < 0 ? l.volume : -l.volume);
  return out;
}

TEST_F(EndToEnd, TheDemoMarketsPriceListsBooksAndQuotesReachTheCallerExactly) {
  sd::DemoMarket demo(7);
  std::unique_ptr<sd::Session> s = connect([&](sd::Session& session) { demo.attach(session); });
  ASSERT_TRUE(s);
  demo.open(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 1).size(), 1u);
  // SBER (server id 1001) is security 2 of class 1.
  ASSERT_EQ(KelapiBookPriceEx(1, 2), KELAPI_OK);
  ASSERT_EQ(KelapiBookQuotesPriceEx(1, 2), KELAPI_OK);
  ASSERT_EQ(KelapiBookQuotes(), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWPRICE, 1).size(), 1u) << "the whole list, packed";
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWQUOTESPRICE, 1).size(), 1u);
  EXPECT_EQ(caller_price_list(2), expected_levels(demo, 1001, 1));
  EXPECT_EQ(caller_book(2), expected_levels(demo, 1001));

  const std::size_t per_step = demo.levels(1001).size();  // each level, and the levels that left
  for (int step = 1; step <= 3; ++step) {
    demo.step(*s);
    ASSERT_EQ(wait_events(KELAPI_EVENT_NEWQUOTESPRICE, 1 + static_cast<std::size_t>(step)).size(),
              1u + static_cast<std::size_t>(step));
    EXPECT_EQ(caller_price_list(2), expected_levels(demo, 1001, 1)) << "step " << step;
    EXPECT_EQ(caller_book(2), expected_levels(demo, 1001)) << "step " << step;
  }
  EXPECT_GE(count_events(KELAPI_EVENT_NEWPRICE), 1 + 3 * per_step) << "announced level by level";
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWQUOTE, 3).size(), 3u);
  KelapiQuoteRecord q;
  ASSERT_EQ(KelapiGetQuoteEx(3, &q, sizeof q), KELAPI_OK);
  EXPECT_STREQ(q.text3, "Q2");

  // Unbooked lists stop; a broken link ends the book, and booking it again
  // after the reconnect announces it once.
  ASSERT_EQ(KelapiUnbookPriceEx(1, 2), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x804A));
  const std::size_t prices_before = count_events(KELAPI_EVENT_NEWPRICE);
  demo.step(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWQUOTESPRICE, 5).size(), 5u);
  EXPECT_EQ(count_events(KELAPI_EVENT_NEWPRICE), prices_before);
  uint16_t count = 0;
  KelapiPriceRecord* records = nullptr;
  EXPECT_EQ(KelapiGetPriceEx(1, 2, &count, &records), KELAPI_E_NOT_BOOKED);

  s->drop();
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWSTATUS, 1).size(), 1u);
  sd::DemoMarket again(7);
  std::unique_ptr<sd::Session> s2 = connect([&](sd::Session& session) { again.attach(session); });
  ASSERT_TRUE(s2);
  again.open(*s2);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 2).size(), 2u);
  ASSERT_EQ(KelapiBookQuotesPriceEx(1, 2), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWQUOTESPRICE, 6).size(), 6u);
  EXPECT_EQ(caller_book(2), expected_levels(again, 1001));
  again.step(*s2);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWQUOTESPRICE, 7).size(), 7u);
  EXPECT_EQ(count_events(KELAPI_EVENT_NEWQUOTESPRICE), 7u) << "nothing announced twice";
  EXPECT_EQ(caller_book(2), expected_levels(again, 1001));
}

// A link dropped in the middle of a burst of values: after the reconnect
// the server sends the day's entries again, and the caller reads each entry
// once, with its own value.
TEST_F(EndToEnd, ValuesOfABurstCutByABrokenLinkAreNeitherLostNorDoubled) {
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0), KELAPI_OK);
  std::size_t before = 0;
  auto serve = [&](sd::DemoMarket& demo, int entries, bool drop) {
    std::unique_ptr<sd::Session> s = connect([&](sd::Session& session) { demo.attach(session); });
    ASSERT_TRUE(s);
    demo.open(*s);
    ASSERT_EQ(wait_events(KELAPI_EVENT_START, drop ? 1 : 2).size(), drop ? 1u : 2u);
    const int16_t wanted[] = {4};  // VOLTODAY
    const uint32_t chosen[] = {1};
    ASSERT_EQ(KelapiSetClassFilterEx(1, 1, wanted, 1, chosen), KELAPI_OK);
    ASSERT_TRUE(s->wait_for(0x8051));
    for (int n = 0; n < entries; ++n) {
      s->send_message(0x8061, sd::market::values(1000, 100000, n, 0x8, {n * 10}, {}));
    }
    if (drop) {
      s->drop();
      ASSERT_EQ(wait_events(KELAPI_EVENT_NEWSTATUS, 1).size(), 1u);
      before = count_events(KELAPI_EVENT_NEWDATA);
    } else {
      ASSERT_EQ(wait_events(KELAPI_EVENT_NEWDATA, before + 50).size(), before + 50);
    }
  };
  sd::DemoMarket first(3);
  serve(first, 25, true);
  sd::DemoMarket second(3);
  serve(second, 50, false);
  uint32_t c, s, t;
  KelapiValueRecord v[64];
  for (uint32_t n = 1; n <= 50; ++n) {
    std::memset(v, 0, sizeof v);
    ASSERT_EQ(KelapiGetDataEx(n, &c, &s, &t, v), KELAPI_OK) << n;
    EXPECT_STREQ(v[0].db_name, "VOLTODAY");
    EXPECT_EQ(v[0].value, (n - 1) * 10.0) << n;
    EXPECT_EQ(v[1].db_name[0], '\0') << "one value per entry";
  }
  EXPECT_EQ(KelapiGetDataEx(51, &c, &s, &t, v), KELAPI_E_INVALIDARG);
}

// The caller's orders, trades and stop orders as the library holds them.
KelapiOrderRecord caller_order(uint32_t row) {
  KelapiOrderRecord r{};
  EXPECT_EQ(KelapiGetOrderEx6(row, &r, sizeof r), KELAPI_OK) << row;
  return r;
}

// The newest row the library announced for an order number.
KelapiOrderRecord order_by_number(int64_t number) {
  KelapiOrderRecord found{};
  for (const Event& e : wait_events(KELAPI_EVENT_NEWORDER, 0)) {
    const KelapiOrderRecord r = caller_order(static_cast<uint32_t>(e.lparam));
    if (static_cast<int64_t>(r.order_number) == number) found = r;
  }
  return found;
}

// Transactions of every kind against the demo desk: the replies, the rows
// they make and the kinds kept in trans.dat across a restart.
TEST_F(EndToEnd, TransactionsOfEveryKindTradeRestCancelAndTrigger) {
  sd::DemoMarket demo(7);
  sd::DemoTrading desk(demo);
  std::unique_ptr<sd::Session> s = connect([&](sd::Session& session) {
    demo.attach(session);
    desk.attach(session);
  });
  ASSERT_TRUE(s);
  demo.open(*s);
  desk.describe(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 1).size(), 1u);
  ASSERT_EQ(KelapiBookOrders(), KELAPI_OK);
  ASSERT_EQ(KelapiBookTrades(), KELAPI_OK);
  ASSERT_EQ(KelapiBookStopOrders(), KELAPI_OK);
  ASSERT_EQ(KelapiBookTransactions(), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWTRANSACTION, 8).size(), 8u) << "four kinds in each of two classes";
  KelapiTransactionRecord kind{};
  ASSERT_EQ(KelapiGetTransaction(12, &kind), KELAPI_OK);
  EXPECT_STREQ(kind.name, "New order");
  EXPECT_EQ(kind.field_count, 8);

  // A buy that crosses the book trades at the best offer (GAZP: 160.00, the
  // best offer one step above).
  ASSERT_EQ(KelapiDoTransactionNewOrder(1, "TQBR", "GAZP", "ACC1", "160.05", "3", "C1", 271), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_TRANSREPLY, 1).size(), 1u);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWTRADE, 1).size(), 1u);
  // A sell above the book rests; its text goes through the general export.
  ASSERT_EQ(KelapiDoTransactionEx(1, "TQBR", 4,
                                  "CLASSCODE=TQBR|SECCODE=SBER|ACCOUNT=ACC1|OPERATION=S|TYPE=L|PRICE=300|QUANTITY=2"),
            KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_TRANSREPLY, 2).size(), 2u);
  const auto desk_orders = desk.orders();
  ASSERT_EQ(desk_orders.size(), 2u);
  const auto replies = wait_events(KELAPI_EVENT_TRANSREPLY, 2);
  EXPECT_EQ(replies[0].wparam, (uintptr_t{1} << 16) | sd::kReplyAccepted);
  EXPECT_EQ(replies[0].text, "Order " + std::to_string(desk_orders[0].number) + " registered");

  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWORDER, 2).size(), 2u);
  const KelapiOrderRecord filled = order_by_number(desk_orders[0].number);
  EXPECT_EQ(filled.flags, 0u) << "filled";
  EXPECT_EQ(filled.balance, 0);
  EXPECT_EQ(filled.quantity, 3);
  EXPECT_DOUBLE_EQ(filled.price, 160.05) << "the order keeps its limit";
  EXPECT_STREQ(filled.account, "ACC1");
  const KelapiOrderRecord resting = order_by_number(desk_orders[1].number);
  EXPECT_EQ(resting.flags, 0x1u | 0x4u) << "an active sell";
  EXPECT_DOUBLE_EQ(resting.price, 300.0);
  EXPECT_EQ(resting.balance, 2);
  KelapiTradeRecord trade{};
  ASSERT_EQ(KelapiGetTradeEx7(static_cast<uint32_t>(wait_events(KELAPI_EVENT_NEWTRADE, 1)[0].lparam), &trade,
                              sizeof trade),
            KELAPI_OK);
  EXPECT_EQ(static_cast<int64_t>(trade.order_number), desk_orders[0].number);
  EXPECT_DOUBLE_EQ(trade.price, 160.01);
  EXPECT_EQ(trade.quantity, 3);

  // Cancelling the resting order; cancelling one that does not exist comes
  // back refused with the desk's text.
  const std::string resting_number = std::to_string(desk_orders[1].number);
  ASSERT_EQ(KelapiDoTransactionKillOrder(2, "TQBR", resting_number.c_str()), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWORDER, 3).size(), 3u);
  EXPECT_EQ(order_by_number(desk_orders[1].number).flags, 0x2u | 0x4u) << "cancelled";
  ASSERT_EQ(KelapiDoTransactionKillOrder(2, "TQBR", "999"), KELAPI_OK) << "sent; the refusal is the server's";
  const auto refused = wait_events(KELAPI_EVENT_TRANSREPLY, 4);
  ASSERT_EQ(refused.size(), 4u);
  EXPECT_EQ(refused[3].wparam & 0xFFFF, static_cast<uintptr_t>(sd::kReplyRefused));
  EXPECT_EQ(refused[3].text, "Order 999 not found");

  // A buy stop order below the price triggers at the next move and places
  // its order; another one is cancelled before it triggers.
  ASSERT_EQ(KelapiDoTransactionNewStopOrder(2, "TQBR", "LKOH", "ACC1", "6000.0", "6600.0", "1", "C1", 271), KELAPI_OK);
  ASSERT_EQ(KelapiDoTransactionNewStopOrder(2, "TQBR", "LKOH", "ACC1", "9000.0", "9000.0", "1", "C1", 271), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWSTOPORDER, 2).size(), 2u) << [&] {
    std::string all;
    for (const auto& r : desk.replies()) all += r.text + "; ";
    return all;
  }();
  const std::string second_stop = std::to_string(desk.stop_orders().at(1).number);
  ASSERT_EQ(KelapiDoTransactionKillStopOrder(2, "TQBR", second_stop.c_str()), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWSTOPORDER, 3).size(), 3u);
  demo.step(*s);
  desk.step(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWSTOPORDER, 4).size(), 4u);
  const auto stops = desk.stop_orders();
  EXPECT_NE(stops[0].placed_order, 0) << "the first triggered";
  EXPECT_EQ(stops[1].flags & 0x3u, 0x2u) << "the second was cancelled";
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWORDER, 4).size(), 4u);
  EXPECT_EQ(static_cast<int64_t>(order_by_number(stops[0].placed_order).order_number), stops[0].placed_order);
  const auto rows = wait_events(KELAPI_EVENT_NEWSTOPORDER, 4);
  KelapiStopOrderRecord stop{};
  ASSERT_EQ(KelapiGetStopOrderEx4(static_cast<uint32_t>(rows[3].lparam), &stop, sizeof stop), KELAPI_OK);
  EXPECT_EQ(static_cast<int64_t>(stop.stop_order_number), stops[0].number);
  EXPECT_EQ(static_cast<int64_t>(stop.placed_order), stops[0].placed_order);
  EXPECT_EQ(stop.flags & 0x3u, 0u);
  for (const auto& r : desk.replies()) EXPECT_TRUE(r.status == sd::kReplyAccepted || r.text == "Order 999 not found");

  // After a restart the kinds come from trans.dat: described again, none of
  // them asks for its fields.
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0x10), KELAPI_OK);
  sd::DemoMarket again(7);
  sd::DemoTrading desk2(again);
  std::unique_ptr<sd::Session> s2 = connect([&](sd::Session& session) {
    again.attach(session);
    desk2.attach(session);
  });
  ASSERT_TRUE(s2);
  again.open(*s2);
  desk2.describe(*s2);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 2).size(), 2u);
  ASSERT_EQ(KelapiBookTransactions(), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWTRANSACTION, 16).size(), 16u);
  for (const auto& m : s2->recorded()) EXPECT_NE(m.id, 0x3A) << "fields asked for again";
}

// The stop orders of the terminal's order window, as its text names them,
// in each kind the desk knows: the reversed condition on another security,
// one with a linked order (either withdraws the other), a take-profit.
TEST_F(EndToEnd, StopOrderKindsOfTheOrderWindowRestTriggerAndWithdraw) {
  sd::DemoMarket demo(7);
  sd::DemoTrading desk(demo);
  std::unique_ptr<sd::Session> s = connect([&](sd::Session& session) {
    demo.attach(session);
    desk.attach(session);
  });
  ASSERT_TRUE(s);
  demo.open(*s);
  desk.describe(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 1).size(), 1u);
  ASSERT_EQ(KelapiBookOrders(), KELAPI_OK);
  ASSERT_EQ(KelapiBookStopOrders(), KELAPI_OK);
  ASSERT_EQ(KelapiBookTransactions(), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWTRANSACTION, 8).size(), 8u);

  struct Stop {
    const char *kind, *side, *stop, *price, *co_board, *co_code, *linked, *offset, *spread;
  };
  const auto send = [](const Stop& o) {
    const std::string text = std::string("STOPORDERTYPE=") + o.kind + "|EXPIREDDATE=-1|ACCOUNT=ACC1|BUYSELL=" + o.side +
                             "|CONDITION=4|STOPPRICE=" + o.stop + "|TRANSFLAGS=37|SECBOARD=TQBR|SECCODE=GAZP|CO_SECCODE=" +
                             o.co_code + "|CO_SECBOARD=" + o.co_board + "|PRICE=" + o.price +
                             "|QUANTITY=2|BROKERREF=C1|STOP_CO_PRICE=" + o.linked + "|OFFSET=" + o.offset +
                             "|SPREAD=" + o.spread + "|ORDERNUM=0";
    return KelapiDoTransactionEx(2, "TQBR", 8192, text.c_str());
  };
  // GAZP trades near 160.00 and SBER near 270.00.
  const Stop stops[] = {
      {"2", "B", "999", "999", "TQBR", "SBER", "", "", ""},   // 0: SBER <= 999: triggers
      {"2", "B", "1", "999", "TQBR", "SBER", "", "", ""},     // 1: SBER <= 1: rests
      {"3", "B", "999", "999", "", "", "1", "", ""},          // 2: rests; its linked order is cancelled
      {"3", "B", "1", "999", "", "", "1", "", ""},            // 3: triggers and withdraws its linked order
      {"6", "S", "1", "", "", "", "", "0", "1"},              // 4: armed, no offset: sells at once
      {"6", "S", "1", "", "", "", "", "999", "1"},            // 5: armed, waits for a fall of 999.00
      {"2", "B", "1", "999", "TQBR", "NONE", "", "", ""},     // refused: no such condition security
  };
  for (const Stop& o : stops) ASSERT_EQ(send(o), KELAPI_OK) << o.kind << " " << o.stop;
  ASSERT_EQ(wait_events(KELAPI_EVENT_TRANSREPLY, 7).size(), 7u);
  ASSERT_EQ(desk.replies().back().text, "Unknown condition security TQBR NONE");
  ASSERT_EQ(desk.stop_orders().size(), 6u);
  const int64_t linked_of_2 = desk.stop_orders()[2].linked_order;
  ASSERT_NE(linked_of_2, 0);
  ASSERT_EQ(KelapiDoTransactionKillOrder(2, "TQBR", std::to_string(linked_of_2).c_str()), KELAPI_OK);
  ASSERT_EQ(wait_events(KELAPI_EVENT_TRANSREPLY, 8).size(), 8u);
  for (const sd::DemoStopOrder& o : desk.stop_orders()) EXPECT_EQ(o.flags & 0x1u, 0x1u) << o.number << " active";

  demo.step(*s);
  desk.step(*s);
  const std::vector<sd::DemoStopOrder> after = desk.stop_orders();
  const auto order = [&](int64_t number) {
    const auto all = desk.orders();
    const auto it = std::find_if(all.begin(), all.end(), [&](const sd::DemoOrder& o) { return o.number == number; });
    return it != all.end() ? *it : sd::DemoOrder{};
  };
  const auto traded = [&](int64_t number) {
    const auto all = desk.trades();
    return std::any_of(all.begin(), all.end(), [&](const sd::DemoTrade& t) { return t.order_number == number; });
  };
  EXPECT_NE(after[0].placed_order, 0);
  EXPECT_EQ(after[0].condition_security, 1001);
  EXPECT_TRUE(traded(after[0].placed_order));
  EXPECT_EQ(after[1].flags & 0x3u, 0x1u) << "still active";
  EXPECT_EQ(after[2].flags & 0x3u, 0x2u) << "withdrawn with its linked order";
  EXPECT_EQ(after[2].placed_order, 0);
  EXPECT_NE(after[3].placed_order, 0);
  EXPECT_EQ(order(after[3].linked_order).flags & 0x3u, 0x2u) << "the linked order was withdrawn";
  EXPECT_NE(after[4].placed_order, 0);
  EXPECT_EQ(order(after[4].placed_order).flags & 0x4u, 0x4u) << "a sell";
  EXPECT_TRUE(traded(after[4].placed_order)) << "a spread below the price reaches the bids";
  EXPECT_EQ(after[5].flags & 0x3u, 0x1u);
  EXPECT_TRUE(after[5].armed);

  // The library's rows carry what the desk kept: six new, four changed.
  const auto rows = wait_events(KELAPI_EVENT_NEWSTOPORDER, 10);
  ASSERT_EQ(rows.size(), 10u);
  KelapiStopOrderRecord linked{};
  for (const Event& e : rows) {
    KelapiStopOrderRecord r{};
    ASSERT_EQ(KelapiGetStopOrderEx4(static_cast<uint32_t>(e.lparam), &r, sizeof r), KELAPI_OK);
    if (static_cast<int64_t>(r.stop_order_number) == after[3].number) linked = r;
  }
  EXPECT_EQ(linked.kind, 3);
  EXPECT_EQ(static_cast<int64_t>(linked.linked_order), after[3].linked_order);
  EXPECT_DOUBLE_EQ(linked.linked_price, 1.0);
  EXPECT_EQ(static_cast<int64_t>(linked.placed_order), after[3].placed_order);
  EXPECT_EQ(std::string(linked.comment), "C1");
  EXPECT_EQ(linked.options & 0x20u, 0x20u) << "no expiry date";
}

// ---- the demo market: all trades, minute bars and data lines ----

struct LineBar {
  int32_t line;
  KelapiDataLineBar bar;
};
std::vector<LineBar> g_line_bars;  // guarded by g_mutex

int on_line_bar(int32_t line, const KelapiDataLineBar* bar, uintptr_t, const void*) {
  std::lock_guard lock(g_mutex);
  g_line_bars.push_back({line, *bar});
  g_changed.notify_all();
  return 0;
}

// The bars a line has received so far, the last version of each bar by its
// date and time.
std::map<std::pair<uint32_t, uint32_t>, KelapiDataLineBar> line_bars(int32_t line) {
  std::lock_guard lock(g_mutex);
  std::map<std::pair<uint32_t, uint32_t>, KelapiDataLineBar> out;
  for (const LineBar& b : g_line_bars) {
    if (b.line == line) out[{b.bar.date, b.bar.time}] = b.bar;
  }
  return out;
}

bool wait_line_bars(int32_t line, std::size_t n) {
  std::unique_lock lock(g_mutex);
  return g_changed.wait_for(lock, std::chrono::seconds(10), [&] {
    return static_cast<std::size_t>(std::count_if(g_line_bars.begin(), g_line_bars.end(),
                                                  [&](const LineBar& b) { return b.line == line; })) >= n;
  });
}

TEST_F(EndToEnd, AllTradesAndDataLinesFollowTheDemoMarket) {
  {
    std::lock_guard lock(g_mutex);
    g_line_bars.clear();
  }
  sd::DemoMarket demo(11);
  std::unique_ptr<sd::Session> s = connect([&](sd::Session& session) { demo.attach(session); });
  ASSERT_TRUE(s);
  demo.open(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_START, 1).size(), 1u);
  ASSERT_EQ(KelapiBookAllTrades(0), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x75));
  // SBER (server id 1001, scale 2) is security 2 of class 1.
  int32_t ticks = 0;
  int32_t minutes = 0;
  ASSERT_EQ(KelapiRegisterDataLine(1, 2, KELAPI_PERIOD_TICK, on_line_bar, 0, &ticks), KELAPI_OK);
  ASSERT_EQ(KelapiRegisterDataLine(1, 2, 1, on_line_bar, 0, &minutes), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(ticks), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(minutes), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x802D));
  ASSERT_TRUE(s->wait_for(0x8031));

  constexpr int kSteps = 130;  // 10:00:01 to 10:02:10
  const std::size_t securities = 5;
  for (int step = 0; step < kSteps; ++step) demo.step(*s);
  ASSERT_EQ(wait_events(KELAPI_EVENT_NEWALLTRADE, kSteps * securities).size(), kSteps * securities);
  ASSERT_TRUE(wait_line_bars(ticks, kSteps));
  const auto expected = demo.feeds().minutes(1001);
  ASSERT_EQ(expected.size(), 3u);
  const auto want = [](const sd::DemoMinute& m) {
    return std::vector<double>{m.open * 0.01, m.high * 0.01, m.low * 0.01, m.close * 0.01,
                               static_cast<double>(m.volume)};
  };
  // The line holds the previous day's history from the archive, then the
  // bars built from today's ticks.
  const auto archived = demo.feeds().history(1001, 1);
  for (int tries = 0; tries < 1000 && line_bars(minutes).size() < archived.size() + 3; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  auto bars = line_bars(minutes);
  ASSERT_EQ(bars.size(), archived.size() + 3);
  auto bar = bars.begin();
  for (const auto& h : archived) {
    EXPECT_EQ(bar->second.date, 20240104u);
    EXPECT_EQ(bar->second.time, static_cast<uint32_t>(h.time));
    EXPECT_NEAR(bar->second.high, h.high * 0.01, 1e-9);
    EXPECT_NEAR(bar->second.volume, h.volume, 1e-9);
    ++bar;
  }
  EXPECT_TRUE(std::filesystem::exists(kelda::test::test_dir() / "archive" / "TQBR_SBER_1.dat"));
  for (const auto& m : expected) {
    const KelapiDataLineBar& b = bars.at({20240105u, static_cast<uint32_t>(m.time)});
    const std::vector<double> got{b.open, b.high, b.low, b.close, b.volume};
    const std::vector<double> w = want(m);
    for (std::size_t i = 0; i < w.size(); ++i) EXPECT_NEAR(got[i], w[i], 1e-9) << m.time << " field " << i;
    EXPECT_EQ(b.date, 20240105u);
  }

  // The trades arrive in order; each reads back as the demo made it.
  const auto news = wait_events(KELAPI_EVENT_NEWALLTRADE, kSteps * securities);
  for (std::size_t i = 0; i < news.size(); ++i) ASSERT_EQ(news[i].lparam, i + 1);
  KelapiAllTradeRecord3 last;
  ASSERT_EQ(KelapiGetAllTradeEx3(kSteps * securities, &last, sizeof last), KELAPI_OK);
  EXPECT_EQ(last.base.time, 100210);
  EXPECT_EQ(last.base.date, 20240105);
  EXPECT_EQ(last.base.class_number, 2u) << "the last trade of a step is the last futures contract";
  const auto tick_bars = line_bars(ticks);
  ASSERT_FALSE(tick_bars.empty());
  EXPECT_NEAR(tick_bars.rbegin()->second.close, expected.back().close * 0.01, 1e-9);

  // Unregistered lines stop their feeds; alltrades.dat outlives a restart.
  ASSERT_EQ(KelapiUnregisterDataLine(minutes), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x802F));
  ASSERT_EQ(KelapiUnregisterDataLine(ticks), KELAPI_OK);
  ASSERT_EQ(KelapiUnbookAllTrades(), KELAPI_OK);
  ASSERT_TRUE(s->wait_for(0x76));
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(KelapiInitializeEx3(0, kelda::test::test_dir().c_str(), settings.c_str(), 0x10), KELAPI_OK);
  KelapiAllTradeRecord3 again;
  ASSERT_EQ(KelapiGetAllTradeEx3(kSteps * securities, &again, sizeof again), KELAPI_OK);
  EXPECT_EQ(again.base.trade_number, last.base.trade_number);
  EXPECT_EQ(again.base.price, last.base.price);
}

}  // namespace
