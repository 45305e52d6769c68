// Minute bars and data lines through the library's real handler table:
// tick lines fed by all trades, bar lines built from the minute history and
// live ticks, shared lines, windows, and what a reconnect delivers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "library_fixture.h"
#include "bars/archive.h"
#include "messages/records_feeds.h"
#include "messages/records_values.h"
#include "session/net_port.h"

namespace kelda::kelapi::test {
namespace {

struct Delivered {
  int32_t id;
  KelapiDataLineBar bar;
};

std::vector<Delivered>* g_delivered = nullptr;

int record_bar(int32_t id, const KelapiDataLineBar* bar, uintptr_t context, const void* registration) {
  EXPECT_EQ(context, 77u);
  EXPECT_NE(registration, nullptr);
  g_delivered->push_back({id, *bar});
  return 0;
}

class DataLinesTest : public LibraryTest {
 protected:
  DataLinesTest() { g_delivered = &delivered; }
  ~DataLinesTest() override { g_delivered = nullptr; }

  // Class CLS (server id 5) with AAA (1000) and BBB (1001), scale 2.
  void start() {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    session(true);
  }
  void session(bool first) {
    const std::size_t started = events(KELAPI_EVENT_START).size();
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    if (first) {
      describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
    } else {
      net->clear_sent();
      net->deliver(0x803C, class_description(5, "CLS"));
      ASSERT_TRUE(net->wait_handled());
      Msg8038_ServerIds ids{};
      ids.request = last_request(0x8039);
      ids.flags = 4;
      ids.count = 2;
      ids.server_ids[0] = 1000;
      ids.server_ids[1] = 1001;
      net->deliver(0x8038, ids);
    }
    end_class_lists();
    ASSERT_TRUE(wait_events(KELAPI_EVENT_START, started + 1));
  }
  void reconnect() {
    EXPECT_EQ(net->raise(kNetEventClosed), 0);
    session(false);
  }

  // Reads for the line id from the delivered bars: "close@HHMMSS".
  std::vector<std::string> bars_of(int32_t id) const {
    std::vector<std::string> out;
    for (const auto& d : delivered) {
      if (d.id != id) continue;
      char text[160];
      std::snprintf(text, sizeof text, "%g/%g/%g/%g v%g @%u", d.bar.open, d.bar.high, d.bar.low, d.bar.close,
                    d.bar.volume, d.bar.time);
      out.emplace_back(text);
    }
    return out;
  }

  void trade(int32_t sequence, int32_t time, int32_t price, int32_t quantity = 1) {
    Msg8025_AllTrade t{};
    t.sequence = sequence;
    t.date = 20240105;
    t.time = time;
    t.security = 1001;
    t.price = price;
    t.quantity = quantity;
    net->deliver(0x8025, t);
  }
  void minute(uint16_t id, int32_t time, int32_t price, int32_t volume) {
    Msg8063_MinuteBar m{1001, 20240105, time, price, price + 100, price - 100, price, volume};
    net->deliver(id, m);
  }
  void history(std::initializer_list<std::pair<int32_t, int32_t>> bars) {
    net->deliver(0x802E, Word32{1001});
    for (const auto& [time, price] : bars) minute(0x8063, time, price, 10);
    net->deliver(0x8030, Word32{1001});
    ASSERT_TRUE(net->wait_handled());
  }

  // A line without the archive (bar lines are then built from minute bars).
  int32_t register_line(int32_t period, uint32_t security_number = 2) {
    int32_t id = 0;
    EXPECT_EQ(KelapiRegisterDataLineEx(1, security_number, period, record_bar, 77, &id, 0), KELAPI_OK);
    return id;
  }

  // A history reply of the archive (server message 31) in one part.
  void archive_reply(int32_t period, std::vector<std::pair<uint32_t, double>> bars, uint32_t count = 0,
                     uint32_t parameter = 0xFFFFFFFF) {
    std::vector<uint8_t> data;
    auto put = [&](const void* p, std::size_t n) {
      data.insert(data.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    const uint32_t head[4] = {1001, parameter, static_cast<uint32_t>(period),
                              count != 0 ? count : static_cast<uint32_t>(bars.size())};
    put(head, sizeof head);
    for (const auto& [time, price] : bars) {
      const double v[5] = {7, price, price + 100, price - 100, price};  // volume, then prices
      const uint32_t when[2] = {20240104, time};
      put(v, sizeof v);
      put(when, sizeof when);
    }
    Msg00EE_ServerMessagePart m{};
    m.code = 31;
    m.flags = 1 | 4;
    m.data_count = static_cast<uint16_t>(data.size());
    std::memcpy(m.data, data.data(), data.size());
    net->deliver(0xEE, m);
    ASSERT_TRUE(net->wait_handled());
  }

  // A value of "last" (an integer of scale 2) of BBB.
  void value(int32_t entry, int32_t time, int32_t last, uint16_t id = 0x8061) {
    Msg805F_Values m{};
    m.security_id = 1001;
    m.time = time;
    m.entry = entry;
    m.mask = {1, 0};
    m.int_count = 1;
    m.ints[0] = last;
    net->deliver(id, m);
    ASSERT_TRUE(net->wait_handled());
  }
  void values_of_bbb() {
    const int16_t params[] = {1};
    const uint32_t securities[] = {2};
    ASSERT_EQ(KelapiSetClassFilterEx(1, 1, params, 1, securities), KELAPI_OK);
  }

  std::vector<Delivered> delivered;
};

TEST_F(DataLinesTest, RegistrationsAreCheckedAndTickSeriesShareOneLine) {
  start();
  int32_t id = 0;
  EXPECT_EQ(KelapiRegisterDataLine(1, 2, -4, record_bar, 77, &id), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiRegisterDataLine(1, 2, 0, record_bar, 77, nullptr), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiRegisterDataLine(1, 2, 0, nullptr, 77, &id), KELAPI_E_POINTER);
  EXPECT_EQ(KelapiRegisterDataLine(1, 3, 0, record_bar, 77, &id), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiRegisterDataLine(2, 1, 0, record_bar, 77, &id), KELAPI_E_INVALIDARG);

  const int32_t first = register_line(0);
  EXPECT_EQ(first, 1);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(net->sent(0x75).size(), 1u) << "a tick line asks for the feed";
  const int32_t second = register_line(0);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(KelapiDataLineSetOption(first, 5, 0), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiDataLineSetOption(99, 1, 0), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiDataLineStart(99), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiSetDataLineArchiveSize(0), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiSetDataLineArchiveSize(10), KELAPI_OK);

  ASSERT_EQ(KelapiDataLineStart(first), KELAPI_OK);
  trade(0, 100000, 1000);
  trade(1, 100000, 1100);  // the same second: 1 ms later
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(bars_of(first), (std::vector<std::string>{"10/10/10/10 v1 @100000", "11/11/11/11 v1 @100000"}));
  EXPECT_TRUE(bars_of(second).empty()) << "not started";

  // The second subscriber gets the history when it starts; the first gets
  // nothing twice.
  ASSERT_EQ(KelapiDataLineStart(second), KELAPI_OK);
  EXPECT_EQ(bars_of(second).size(), 2u);
  EXPECT_EQ(bars_of(first).size(), 2u);
  trade(2, 100001, 1200);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(bars_of(first).size(), 3u);
  EXPECT_EQ(bars_of(second).size(), 3u);

  // One id goes: the line stays; the last goes: the feed is cancelled.
  ASSERT_EQ(KelapiUnregisterDataLine(first), KELAPI_OK);
  trade(3, 100002, 1300);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(bars_of(second).size(), 4u);
  EXPECT_TRUE(net->sent(0x76).empty());
  ASSERT_EQ(KelapiUnregisterDataLine(second), KELAPI_OK);
  ASSERT_EQ(KelapiUnregisterDataLine(second), KELAPI_OK) << "an unknown id changes nothing";
  EXPECT_EQ(net->sent(0x76).size(), 1u);
}

TEST_F(DataLinesTest, WindowsApplyWithinEveryDay) {
  start();
  const int32_t id = register_line(0);
  ASSERT_EQ(KelapiDataLineSetOption(id, KELAPI_DATALINE_FROM_TIME, 100000), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineSetOption(id, KELAPI_DATALINE_TO_TIME, 120000), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(id), KELAPI_OK);
  int32_t s = 0;
  for (int32_t t : {95959, 100000, 115959, 120000, 120001}) trade(s++, t, 1000);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(bars_of(id).size(), 3u);
  EXPECT_EQ(delivered.front().bar.time, 100000u);
  EXPECT_EQ(delivered.back().bar.time, 120000u);
}

TEST_F(DataLinesTest, BarLinesAreBuiltFromTheMinuteHistoryAndLiveTicks) {
  start();
  const int32_t five = register_line(5);
  ASSERT_EQ(KelapiDataLineStart(five), KELAPI_OK);
  const int32_t fifteen = register_line(15);
  ASSERT_EQ(KelapiDataLineStart(fifteen), KELAPI_OK);
  ASSERT_EQ(net->sent(0x802D).size(), 1u) << "the security's minutes are asked for once";
  EXPECT_EQ(net->sent(0x802D).at(0).as<Msg802D_MinutesRequest>().security_id, 1001);

  net->deliver(0x802C, Msg802C_Tick{1001, 100030, 5000, 1});  // while the history is pending: ignored
  history({{100000, 1000}, {100400, 1100}, {100500, 1200}});
  EXPECT_EQ(bars_of(five), (std::vector<std::string>{"10/12/9/11 v20 @100000", "12/13/11/12 v10 @100500"}));
  EXPECT_EQ(bars_of(fifteen), (std::vector<std::string>{"10/13/9/12 v30 @100000"}));

  // A live tick in the last minute updates both lines' last bars.
  net->deliver(0x802C, Msg802C_Tick{1001, 100510, 1400, 2});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(bars_of(five).back(), "12/14/11/14 v12 @100500");
  EXPECT_EQ(bars_of(fifteen).back(), "10/14/9/14 v32 @100000");

  // One of two lines of the security goes: the minutes stay booked.
  ASSERT_EQ(KelapiUnregisterDataLine(fifteen), KELAPI_OK);
  EXPECT_TRUE(net->sent(0x802F).empty());
  net->deliver(0x802C, Msg802C_Tick{1001, 101000, 1500, 1});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(bars_of(five).back(), "15/15/15/15 v1 @101000");
  ASSERT_EQ(KelapiUnregisterDataLine(five), KELAPI_OK);
  EXPECT_EQ(net->sent(0x802F).size(), 1u);
}

TEST_F(DataLinesTest, AReconnectResumesTickAndBarLinesWithoutRepeatingABar) {
  start();
  const int32_t ticks = register_line(0);
  const int32_t bars = register_line(5);
  ASSERT_EQ(KelapiDataLineStart(ticks), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(bars), KELAPI_OK);
  trade(0, 100000, 1000);
  history({{100000, 1000}});
  ASSERT_EQ(bars_of(ticks).size(), 1u);
  ASSERT_EQ(bars_of(bars).size(), 1u);

  net->clear_sent();
  reconnect();
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(net->sent(0x75).size(), 1u) << "the tick line's feed resumes";
  EXPECT_EQ(net->sent(0x75).at(0).as<Word32>().value, 1);
  ASSERT_EQ(net->sent(0x802D).size(), 1u) << "the bar line's minutes are asked for again";
  EXPECT_EQ(net->sent(0x802D).at(0).as<Msg802D_MinutesRequest>().last_time, 100000);

  trade(0, 100000, 1000);  // repeated: ignored
  trade(1, 100100, 1100);
  history({{100000, 1000}, {100600, 1300}});  // the same first bar, one new
  EXPECT_EQ(bars_of(ticks).size(), 2u);
  EXPECT_EQ(bars_of(bars), (std::vector<std::string>{"10/11/9/10 v10 @100000", "13/14/12/13 v10 @100500"}));
}

TEST_F(DataLinesTest, MinuteBarsAreBookedMergedAndReadFromATime) {
  start();
  ASSERT_EQ(KelapiBookMinutesEx(1, 2), KELAPI_OK);
  ASSERT_EQ(KelapiBookMinutesEx(1, 2), KELAPI_OK);
  EXPECT_EQ(net->sent(0x802D).size(), 1u) << "booking twice asks once";
  EXPECT_EQ(KelapiBookMinutesEx(1, 3), KELAPI_E_INVALIDARG);
  history({{100000, 1000}, {100400, 1000}});
  net->deliver(0x802C, Msg802C_Tick{1001, 100515, 10000, 2});
  net->deliver(0x802C, Msg802C_Tick{1001, 100540, 9800, 1});
  net->deliver(0x802C, Msg802C_Tick{1001, 100300, 1, 1});  // older than the last bar
  net->deliver(0x8092, Msg802B_MinuteBar{1001, 100600, 9000, 9100, 8900, 9050, 7});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_FALSE(events(KELAPI_EVENT_NEWMINUTES).empty());
  EXPECT_EQ(events(KELAPI_EVENT_NEWMINUTES).back().wparam, 1u);
  EXPECT_EQ(events(KELAPI_EVENT_NEWMINUTES).back().lparam, 2u);

  uint32_t count = 0;
  KelapiMinuteRecord* records = nullptr;
  EXPECT_EQ(KelapiGetMinutesEx(1, 2, 0, nullptr, &records), KELAPI_E_POINTER);
  ASSERT_EQ(KelapiGetMinutesEx(1, 2, 100500, &count, &records), KELAPI_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(records[0].time, 100500);
  EXPECT_EQ(records[0].open, 100.0);
  EXPECT_EQ(records[0].high, 100.0);
  EXPECT_EQ(records[0].low, 98.0);
  EXPECT_EQ(records[0].close, 98.0);
  EXPECT_EQ(records[0].volume, 3);
  EXPECT_EQ(records[1].time, 100600);
  EXPECT_EQ(records[1].close, 90.5);
  ASSERT_EQ(KelapiFree(records), KELAPI_OK);
  ASSERT_EQ(KelapiGetMinutesEx(1, 2, 0, &count, &records), KELAPI_OK);
  EXPECT_EQ(count, 4u);
  ASSERT_EQ(KelapiFree(records), KELAPI_OK);
  EXPECT_EQ(KelapiGetMinutesEx(1, 1, 0, &count, &records), KELAPI_E_NOT_BOOKED);
  EXPECT_EQ(records, nullptr);

  // The journal gives the bars back after a restart.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  ASSERT_EQ(KelapiGetMinutesEx(1, 2, 0, &count, &records), KELAPI_OK);
  EXPECT_EQ(count, 4u);
  ASSERT_EQ(KelapiFree(records), KELAPI_OK);
  ASSERT_EQ(KelapiUnbookMinutesEx(1, 2), KELAPI_E_NOT_CONNECTED);
}

TEST(ArchiveFileName, CodesMapToSafeStableNames) {
  EXPECT_EQ(archive_file_name("CLS", "SEC1", 5), "CLS_SEC1_5.dat");
  EXPECT_EQ(archive_file_name("CLS", "SEC1", -1), "CLS_SEC1_day.dat");
  EXPECT_EQ(archive_file_name("CLS", "SEC1", -2), "CLS_SEC1_week.dat");
  EXPECT_EQ(archive_file_name("CLS", "SEC1", -3), "CLS_SEC1_month.dat");
  EXPECT_EQ(archive_file_name("CLS", "SEC1", -1, "PRM"), "CLS_SEC1_PRM_day.dat");
  EXPECT_EQ(archive_file_name("CLS", "SEC1", 5, "A_B"), "CLS_SEC1_A%5FB_5.dat");
  EXPECT_EQ(archive_file_name("../..", "A_B", 60), "%2E%2E%2F%2E%2E_A%5FB_60.dat");
  EXPECT_NE(archive_file_name("A_B", "C", 5), archive_file_name("A", "B_C", 5)) << "no two series share a file";
}

TEST_F(DataLinesTest, TheArchiveCompletesBarLinesAndOutlivesARestart) {
  start();
  ASSERT_EQ(KelapiSetDataLineArchiveSize(2), KELAPI_OK);
  int32_t id = 0;
  ASSERT_EQ(KelapiRegisterDataLine(1, 2, 5, record_bar, 77, &id), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(id), KELAPI_OK);
  ASSERT_EQ(net->sent(0x8031).size(), 1u);
  const auto request = net->sent(0x8031).at(0).as<Msg8031_HistoryRequest>();
  EXPECT_EQ(request.security_id, 1001);
  EXPECT_EQ(request.parameter_code, -1);
  EXPECT_EQ(request.period, 5);
  EXPECT_EQ(request.date, 0) << "no file: from the start";
  history({{100000, 1000}});
  EXPECT_TRUE(bars_of(id).empty()) << "the archive has not answered yet";

  archive_reply(5, {{100000, 500}}, 3);  // says three, holds one: ignored
  EXPECT_TRUE(bars_of(id).empty());
  archive_reply(5, {{100000, 500}, {100500, 600}, {101000, 700}, {101000, 800}});
  EXPECT_EQ(bars_of(id), (std::vector<std::string>{"6/7/5/6 v7 @100500", "7/8/6/7 v7 @101000",
                                                   "10/11/9/10 v10 @100000"}))
      << "the newest two of the archive (a repeated time ignored on a minute series), then today's minutes";
  const std::string file = "archive/CLS_BBB_5.dat";
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 41u + 2 * 48u);

  // A restart in the same session uses the file without asking.
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  delivered.clear();
  net->clear_sent();
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  session(false);
  ASSERT_EQ(KelapiRegisterDataLine(1, 2, 5, record_bar, 77, &id), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(id), KELAPI_OK);
  EXPECT_TRUE(net->sent(0x8031).empty());
  history({{100000, 1000}});
  EXPECT_EQ(bars_of(id).size(), 3u);

  // A file of another version is deleted and the series asked for anew.
  ASSERT_EQ(KelapiUnregisterDataLine(id), KELAPI_OK);
  ASSERT_EQ(KelapiClearArchive(), KELAPI_OK);
  EXPECT_FALSE(std::filesystem::exists(file));
  std::ofstream(file, std::ios::binary).write("\x02\0\0\0", 4);
  std::filesystem::create_directory("archive/sub");
  ASSERT_EQ(KelapiRegisterDataLine(1, 2, 5, record_bar, 77, &id), KELAPI_OK);
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_EQ(net->sent(0x8031).size(), 1u);
  EXPECT_EQ(net->sent(0x8031).at(0).as<Msg8031_HistoryRequest>().date, 0);
  ASSERT_EQ(KelapiClearArchive(), KELAPI_OK);
  EXPECT_TRUE(std::filesystem::exists("archive/sub")) << "folders are left alone";
  EXPECT_EQ(KelapiClearDataLineArchive(1, 3, 5), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiClearDataLineArchive(1, 2, 5), KELAPI_OK);
}

TEST_F(DataLinesTest, ParameterLinesFollowTheValuesOfOneParameter) {
  start();
  values_of_bbb();
  int32_t id = 0;
  const struct {
    const char* name;
    int32_t period;
    KelapiDataLineCallback callback;
    KelapiResult result;
  } refusals[] = {
      {nullptr, 0, record_bar, KELAPI_E_INVALIDARG}, {"", 0, record_bar, KELAPI_E_INVALIDARG},
      {"zzz", 0, record_bar, KELAPI_E_INVALIDARG},   {"LAST", -4, record_bar, KELAPI_E_INVALIDARG},
      {"last", 0, nullptr, KELAPI_E_POINTER},
  };
  for (const auto& r : refusals) {
    EXPECT_EQ(KelapiRegisterDataLineParam(1, 2, r.period, r.name, r.callback, 77, &id), r.result) << r.name;
  }
  EXPECT_EQ(KelapiRegisterDataLineParam(1, 2, 0, "last", record_bar, 77, nullptr), KELAPI_E_POINTER);

  // Period 0: one bar per value, those of one second 1 ms apart.
  value(1, 100010, 10000);
  ASSERT_EQ(KelapiRegisterDataLineParam(1, 2, 0, "LAST", record_bar, 77, &id), KELAPI_OK) << "any case";
  int32_t other = 0;
  ASSERT_EQ(KelapiRegisterDataLineParam(1, 1, 0, "last", record_bar, 77, &other), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(id), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(other), KELAPI_OK);
  value(2, 100010, 10500);
  value(3, 100020, 0);  // zero is no value of "last"
  EXPECT_EQ(bars_of(id), (std::vector<std::string>{"100/100/100/100 v1 @100010", "105/105/105/105 v1 @100010"}));
  EXPECT_TRUE(bars_of(other).empty()) << "values of another security";
  EXPECT_TRUE(net->sent(0x8031).empty()) << "period 0 has no archive";
}

TEST_F(DataLinesTest, ParameterSeriesLiveInTheArchiveAndARefillCountsNothingTwice) {
  start();
  values_of_bbb();
  value(1, 100010, 10000);
  int32_t id = 0;
  ASSERT_EQ(KelapiRegisterDataLineParam(1, 2, 5, "last", record_bar, 77, &id), KELAPI_OK);
  ASSERT_EQ(KelapiDataLineStart(id), KELAPI_OK);
  ASSERT_EQ(net->sent(0x8031).size(), 1u);
  const auto request = net->sent(0x8031).at(0).as<Msg8031_HistoryRequest>();
  EXPECT_EQ(request.security_id, 1001);
  EXPECT_EQ(request.parameter_code, 0) << "the parameter's number in its class";
  value(2, 100200, 10200);
  EXPECT_TRUE(bars_of(id).empty()) << "the archive has not answered yet";

  archive_reply(5, {{100500, 600}}, 0, 7);  // no parameter numbered 7: ignored
  EXPECT_TRUE(bars_of(id).empty());
  archive_reply(5, {{100000, 500}, {100500, 600}}, 0, 0);
  EXPECT_EQ(bars_of(id), (std::vector<std::string>{"5/6/4/5 v7 @100000", "6/7/5/6 v7 @100500",
                                                   "100/102/100/102 v2 @100000"}))
      << "yesterday's archive, then today's values merged into their bucket";
  const std::string file = "archive/CLS_BBB_last_5.dat";
  ASSERT_TRUE(std::filesystem::exists(file));

  // A value of a later bucket, then the confirmation that ends a refresh of
  // the class's values: the line is built anew and nothing has changed.
  delivered.clear();
  value(3, 100500, 9900);
  EXPECT_EQ(bars_of(id), (std::vector<std::string>{"99/99/99/99 v1 @100500"}));
  delivered.clear();
  net->deliver(0x8048, Msg8048_EntryConfirmed{5, 0});
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(bars_of(id).empty()) << "a refill delivers only what changed";
  value(4, 100510, 10100);
  EXPECT_EQ(bars_of(id), (std::vector<std::string>{"99/101/99/101 v2 @100500"})) << "volume counted once";

  EXPECT_EQ(KelapiClearDataLineArchiveParam(1, 2, 5, "zzz"), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiClearDataLineArchiveParam(1, 2, 5, nullptr), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiClearDataLineArchiveParam(1, 2, 5, "LAST"), KELAPI_OK);
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_EQ(KelapiUnregisterDataLine(id), KELAPI_OK);
}

}  // namespace
}  // namespace kelda::kelapi::test
