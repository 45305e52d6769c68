// News (headlines, bodies in parts, deletion, news.log across a restart)
// and rule files with the trade date.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "library_fixture.h"
#include "news/news.h"
#include "news/news_file.h"
#include "rules/rule_files.h"

namespace kelda::kelapi::test {
namespace {

std::string file_bytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class NewsTest : public LibraryTest {
 protected:
  void start(int fresh = 1) {
    ASSERT_EQ(init(0, fresh), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    open_session();
    describe_market(5, "CLS", {"AAA"}, {"last"});
    end_class_lists();
  }

  static Msg0057_NewsItem item(int32_t number, int32_t id, const char* headline, int32_t body_size = 0) {
    Msg0057_NewsItem i{};
    i.number = number;
    i.id = id;
    std::strcpy(i.code, "NEWS");
    std::strcpy(i.source, "Wire");
    i.time = 101500;
    i.date = local_date();
    i.flags = body_size > 0 ? 1 : 0;
    i.body_size = body_size;
    std::strcpy(i.headline, headline);
    return i;
  }

  static int32_t local_date();

  void part(int32_t number, int32_t flags, const std::string& text) {
    Msg0058_NewsBodyPart p{};
    p.number = number;
    p.flags = flags;
    p.text_count = static_cast<uint16_t>(text.size());
    std::memcpy(p.text, text.data(), text.size());
    net->deliver(0x58, p);
  }

  std::string body(int number) {
    char* text = nullptr;
    if (KelapiGetNewsBody(number, &text) != KELAPI_OK) return "<none>";
    std::string out(text);
    KelapiFree(text);
    return out;
  }
};

}  // namespace
}  // namespace kelda::kelapi::test

#include "core/numbers.h"

namespace kelda::kelapi::test {
namespace {

int32_t NewsTest::local_date() { return local_date_packed(); }

TEST_F(NewsTest, HeadlinesOnceBodiesInPartsAndDeletionsThatKeepNumbers) {
  start();
  net->deliver(0x57, item(10, 1, "First"));
  net->deliver(0x57, item(10, 1, "First again"));  // the same key: one item
  net->deliver(0x57, item(11, 2, "Second", 12));
  net->deliver(0x57, item(12, 3, "Third"));
  part(11, 0, "one ");
  part(11, 0, "two ");
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(body(2), "<none>") << "not before the last part";
  part(11, 1, "end!");
  part(11, 1, "more");  // the body is complete: ignored
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(body(2), "one two end!");
  EXPECT_EQ(KelapiBookNewsBody(2), KELAPI_E_ALREADY_BOOKED);

  KelapiNewsRecord r;
  ASSERT_EQ(KelapiGetNews(2, &r), KELAPI_OK);
  EXPECT_EQ(r.body_received, 1);
  EXPECT_EQ(r.has_body, 1);
  EXPECT_EQ(r.number, 2);
  EXPECT_STREQ(r.headline, "Second");
  EXPECT_STREQ(r.source, "Wire");
  EXPECT_EQ(KelapiGetNews(4, &r), KELAPI_E_INVALIDARG);
  EXPECT_EQ(KelapiGetNews(1, nullptr), KELAPI_E_INVALIDARG);

  ASSERT_EQ(KelapiKillNews(1), KELAPI_OK);
  const auto kill = net->sent(0x5A).at(0).as<NewsKey>();
  EXPECT_EQ(kill.id, 1);
  net->deliver(0x5A, kill);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(KelapiGetNews(1, &r), KELAPI_E_INVALIDARG);
  ASSERT_EQ(KelapiGetNews(3, &r), KELAPI_OK) << "the other numbers stay";
  EXPECT_STREQ(r.headline, "Third");
  const auto changes = events(KELAPI_EVENT_NEWNEWS);
  ASSERT_EQ(changes.size(), 5u);
  EXPECT_EQ(changes.back().wparam, 1u) << "a deletion";
  EXPECT_EQ(changes.back().lparam, 1u);
}

TEST_F(NewsTest, ABodyAskedAgainStartsOverInsteadOfGrowingThePartialText) {
  start();
  net->deliver(0x57, item(20, 1, "Long", 20));
  part(20, 0, "partial ");
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiBookNewsBody(1), KELAPI_OK);
  const auto request = net->sent(0x78).at(0).as<Msg0078_NewsBodyRequest>();
  EXPECT_EQ(request.number, 20);
  EXPECT_STREQ(request.code, "NEWS");
  part(20, 0, "partial ");
  part(20, 1, "body");
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(body(1), "partial body");
  part(21, 1, "unknown item");
  ASSERT_TRUE(net->wait_handled());
}

// news.log as written: the frame, the count of items not deleted, and one
// record per such item.
struct LogRecord {
  uint32_t body_complete, deleted;
  Msg0057_NewsItem item;
  std::string body;
};
struct Log {
  uint32_t count = 0;
  std::vector<LogRecord> records;
  bool well_formed = false;  // the records fill the file exactly
};

Log read_log(const char* path) {
  const std::string bytes = file_bytes(path);
  Log log;
  if (bytes.size() < 20 || bytes.compare(0, 8, "INFONEWS") != 0) return log;
  std::memcpy(&log.count, bytes.data() + 16, 4);
  std::size_t at = 20;
  while (at + 16 + sizeof(Msg0057_NewsItem) + 4 <= bytes.size()) {
    LogRecord r{};
    std::memcpy(&r.body_complete, bytes.data() + at + 8, 4);
    std::memcpy(&r.deleted, bytes.data() + at + 12, 4);
    std::memcpy(&r.item, bytes.data() + at + 16, sizeof r.item);
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + at + 16 + sizeof r.item, 4);
    at += 16 + sizeof r.item + 4;
    if (at + length > bytes.size()) return log;
    r.body.assign(bytes, at, length);
    at += length;
    log.records.push_back(r);
  }
  log.well_formed = at == bytes.size();
  return log;
}

// The form earlier versions of the library wrote: records appended as
// items came, a completed body as a later record of the same item, and
// deletions marked in place; the count counts records.
void write_appended_log(const char* path, const std::vector<LogRecord>& records) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto count = static_cast<uint32_t>(records.size());
  const uint32_t head[3] = {1, 16, count};
  out.write("INFONEWS", 8);
  out.write(reinterpret_cast<const char*>(head), sizeof head);
  for (const LogRecord& r : records) {
    const uint32_t slot[4] = {0x1234, 0, r.body_complete, r.deleted};
    const auto length = static_cast<uint32_t>(r.body.size());
    out.write(reinterpret_cast<const char*>(slot), sizeof slot);
    out.write(reinterpret_cast<const char*>(&r.item), sizeof r.item);
    out.write(reinterpret_cast<const char*>(&length), sizeof length);
    out.write(r.body.data(), static_cast<std::streamsize>(r.body.size()));
  }
}

TEST_F(NewsTest, NewsLogHoldsTheItemsNotDeletedWholeAndSurvivesARestart) {
  start();
  net->deliver(0x57, item(1, 1, "Kept"));
  net->deliver(0x57, item(2, 2, "Deleted"));
  net->deliver(0x57, item(3, 3, "With body", 4));
  part(3, 1, "\xEF\xF0\xE8\xE2");  // Russian text in code page 1251
  NewsKey gone{};
  gone.id = 2;
  std::strcpy(gone.code, "NEWS");
  gone.time = 101500;
  gone.date = local_date();
  net->deliver(0x5A, gone);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);  // what is pending is written when the link goes

  const Log log = read_log("news.log");
  ASSERT_TRUE(log.well_formed);
  EXPECT_EQ(log.count, 2u) << "the count of items not deleted";
  ASSERT_EQ(log.records.size(), 2u) << "one record per item, the deleted one left out";
  EXPECT_STREQ(log.records[0].item.headline, "Kept");
  EXPECT_EQ(log.records[0].body, "");
  EXPECT_EQ(log.records[0].body_complete, 0u);
  EXPECT_STREQ(log.records[1].item.headline, "With body");
  EXPECT_EQ(log.records[1].body, "\xEF\xF0\xE8\xE2");
  EXPECT_EQ(log.records[1].body_complete, 1u);
  for (const LogRecord& r : log.records) EXPECT_EQ(r.deleted, 0u);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  lib.reset();
  make_library(default_options());
  ASSERT_EQ(init(0, 0), KELAPI_OK);  // the journal gives back the permissions that keep news
  KelapiNewsRecord r;
  ASSERT_EQ(KelapiGetNews(1, &r), KELAPI_OK);
  EXPECT_STREQ(r.headline, "Kept");
  ASSERT_EQ(KelapiGetNews(2, &r), KELAPI_OK);
  EXPECT_STREQ(r.headline, "With body");
  EXPECT_EQ(r.body_received, 1);
  EXPECT_EQ(body(2), "\xEF\xF0\xE8\xE2");
  EXPECT_EQ(KelapiGetNews(3, &r), KELAPI_E_INVALIDARG) << "the deleted item is gone";
}

TEST_F(NewsTest, ANewsLogInTheAppendedFormOfEarlierVersionsIsReadAndWrittenAnew) {
  // A first run leaves the journal that keeps news; its news.log is then
  // replaced by one in the appended form.
  start();
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  auto record = [](uint32_t complete, uint32_t deleted, const Msg0057_NewsItem& i, const std::string& body) {
    return LogRecord{complete, deleted, i, body};
  };
  write_appended_log("news.log", {record(0, 0, item(1, 1, "Kept"), ""),
                                  record(0, 1, item(2, 2, "Deleted"), ""),
                                  record(0, 0, item(3, 3, "With body", 4), ""),
                                  record(1, 1, item(3, 3, "With body", 4), "old!"),  // fetched again later
                                  record(1, 0, item(3, 3, "With body", 4), "body"),
                                  record(0, 0, item(4, 4, "Last"), "")});

  lib.reset();
  make_library(default_options());
  ASSERT_EQ(init(0, 0), KELAPI_OK);
  KelapiNewsRecord r;
  ASSERT_EQ(KelapiGetNews(1, &r), KELAPI_OK);
  EXPECT_STREQ(r.headline, "Kept");
  ASSERT_EQ(KelapiGetNews(2, &r), KELAPI_OK);
  EXPECT_STREQ(r.headline, "With body") << "the body's record keeps the item's place";
  EXPECT_EQ(body(2), "body");
  ASSERT_EQ(KelapiGetNews(3, &r), KELAPI_OK);
  EXPECT_STREQ(r.headline, "Last");
  EXPECT_EQ(KelapiGetNews(4, &r), KELAPI_E_INVALIDARG);

  const Log log = read_log("news.log");
  ASSERT_TRUE(log.well_formed);
  EXPECT_EQ(log.count, 3u) << "written again in the whole form";
  ASSERT_EQ(log.records.size(), 3u);
  EXPECT_EQ(log.records[1].body, "body");
}

TEST_F(NewsTest, ChangesAfterARecentWriteReachTheFileWithoutFurtherMessages) {
  start();
  net->deliver(0x57, item(1, 1, "First"));
  ASSERT_TRUE(net->wait_handled());
  net->deliver(0x57, item(2, 2, "Second"));
  net->deliver(0x57, item(3, 3, "Third"));
  ASSERT_TRUE(net->wait_handled());
  // However close together the changes came, the receive thread writes what
  // is pending once the gap after the last write has passed.
  Log log;
  for (int i = 0; i < 3000 && log.count != 3; ++i) {
    platform::Waitable* activity[] = {&net->activity()};
    platform::wait_any(activity, 10);
    log = read_log("news.log");
  }
  EXPECT_EQ(log.count, 3u);
  EXPECT_EQ(log.records.size(), 3u);
}

TEST(NewsFile, ChangesAreWrittenWholeAtMostOncePerGapThatGrowsWithTheFile) {
  NewsTable table;
  NewsFile file;
  file.set_path("news_gap.log");
  EXPECT_EQ(file.due_ms(), -1) << "nothing pending";
  ASSERT_TRUE(file.rewrite(table, 0));
  EXPECT_EQ(read_log("news_gap.log").count, 0u);

  Msg0057_NewsItem i{};
  i.id = 1;
  table.append(i);
  file.changed(400);
  EXPECT_EQ(file.due_ms(), kMinSaveGapMs) << "not before the gap after the last write";
  i.id = 2;
  table.append(i);
  file.changed(500);  // a second change waits for the same write
  EXPECT_EQ(file.due_ms(), kMinSaveGapMs);
  ASSERT_TRUE(file.save_if_due(table, kMinSaveGapMs - 1));
  EXPECT_EQ(read_log("news_gap.log").count, 0u);
  ASSERT_TRUE(file.save_if_due(table, kMinSaveGapMs));
  EXPECT_EQ(read_log("news_gap.log").count, 2u) << "both changes in one write";
  EXPECT_EQ(file.due_ms(), -1);

  // A change long after the last write is due at once.
  table.remove(0);
  file.changed(10 * kMinSaveGapMs);
  EXPECT_EQ(file.due_ms(), 10 * kMinSaveGapMs);
  ASSERT_TRUE(file.save_if_due(table, 10 * kMinSaveGapMs));
  const Log log = read_log("news_gap.log");
  EXPECT_EQ(log.count, 1u);
  ASSERT_EQ(log.records.size(), 1u);
  EXPECT_EQ(log.records[0].item.id, 2);

  // A large file waits longer: one more millisecond per kSaveBytesPerMs.
  for (int32_t n = 0; n < 2000; ++n) {
    i.id = 100 + n;
    table.append(i);
  }
  const int64_t t = 100 * kMinSaveGapMs;
  ASSERT_TRUE(file.rewrite(table, t));
  const auto bytes = static_cast<int64_t>(file_bytes("news_gap.log").size());
  file.changed(t);
  EXPECT_EQ(file.due_ms(), t + kMinSaveGapMs + bytes / static_cast<int64_t>(kSaveBytesPerMs));
  // Writing what is pending at once does not wait for the gap.
  table.remove(1);
  ASSERT_TRUE(file.save_now(table, t + 1));
  EXPECT_EQ(read_log("news_gap.log").count, 2000u);
  EXPECT_TRUE(file.save_now(table, t + 2)) << "nothing pending: nothing to do";
  std::remove("news_gap.log");
}

TEST(NewsFile, OldItemsAndDamagedFilesAreDropped) {
  NewsTable table;
  NewsFile file;
  file.set_path("news_dates.log");
  Msg0057_NewsItem i{};
  i.date = 20100331;
  table.append(i);
  i.date = 20100401;
  i.id = 2;
  table.append(i);
  ASSERT_TRUE(file.rewrite(table, 0));
  NewsTable loaded;
  std::string reason;
  ASSERT_EQ(NewsFile::read("news_dates.log", 20100401, loaded, reason), NewsFile::Load::loaded);
  ASSERT_EQ(loaded.size(), 1u) << "20100401 minus 20100331 is 70: more than one";
  EXPECT_EQ(loaded.at(0).item.id, 2);

  std::string bytes = file_bytes("news_dates.log");
  bytes[16] = 100;  // a count beyond the file
  std::ofstream("news_bad.log", std::ios::binary) << bytes;
  NewsTable damaged;
  EXPECT_EQ(NewsFile::read("news_bad.log", 20100401, damaged, reason), NewsFile::Load::damaged);
  EXPECT_EQ(damaged.size(), 0u);
  bytes[16] = 2;
  bytes[8] = 2;  // version 2
  std::ofstream("news_bad.log", std::ios::binary) << bytes;
  EXPECT_EQ(NewsFile::read("news_bad.log", 20100401, damaged, reason), NewsFile::Load::damaged);
  bytes[8] = 1;
  bytes[20 + 16 + 236] = static_cast<char>(0xFF);  // a body length beyond the file
  std::ofstream("news_bad.log", std::ios::binary) << bytes;
  EXPECT_EQ(NewsFile::read("news_bad.log", 20100401, damaged, reason), NewsFile::Load::damaged);
  EXPECT_EQ(damaged.size(), 0u);
}

class RuleFilesTest : public NewsTest {
 protected:
  void file_part(uint32_t request, int16_t flags, const std::string& text, const char* name = "") {
    Msg00BB_RuleFilePart p{};
    p.request = static_cast<int32_t>(request);
    p.flags = flags;
    std::strcpy(p.firm_id, "F");
    p.name_count = static_cast<uint16_t>(std::strlen(name));
    std::memcpy(p.name, name, std::strlen(name));
    p.text_count = static_cast<uint16_t>(text.size());
    std::memcpy(p.text, text.data(), text.size());
    net->deliver(0xBB, p);
  }
};

TEST_F(RuleFilesTest, AFileInPartsIsHandedOverWhole) {
  start();
  uint16_t number = 0;
  EXPECT_EQ(KelapiBookDliFile("FIRM-13-CHARS", &number), KELAPI_E_INVALID_LENGTH);
  EXPECT_EQ(KelapiBookDliFile(nullptr, &number), KELAPI_E_INVALIDARG);
  ASSERT_EQ(KelapiBookDliFile("FIRM-12-CHAR", &number), KELAPI_OK);
  EXPECT_EQ(KelapiBookDliFile("FIRM-12-CHAR", nullptr), KELAPI_E_ALREADY_BOOKED);
  const auto sent = net->sent(0xBA).at(0).as<Msg00BA_RuleFileRequest>();
  EXPECT_EQ(sent.request, number);
  EXPECT_STREQ(sent.firm_id, "FIRM-12-CHAR");

  file_part(number, 0, std::string(650, 'a'));
  file_part(number, 0, std::string(650, 'b'));
  file_part(number | 0x10000u, 4, "\x8F\xE0\xA8\xA2\xA5\xE2", "\x8F\xE0\xA0\xA2\xA8\xAB\xA0");  // cp866
  ASSERT_TRUE(net->wait_handled());
  const auto done = events(KELAPI_EVENT_DLIFILE);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].wparam, number);
  EXPECT_EQ(done[0].lparam, 0u);
  char firm[13];
  char* name = nullptr;
  char* text = nullptr;
  ASSERT_EQ(KelapiGetDliFile(number, firm, &name, &text), KELAPI_OK);
  EXPECT_STREQ(firm, "FIRM-12-CHAR");
  EXPECT_STREQ(name, "\xCF\xF0\xE0\xE2\xE8\xEB\xE0") << "code page 1251";
  EXPECT_EQ(std::strlen(text), 1306u);
  EXPECT_EQ(std::string(text + 1300), "\xCF\xF0\xE8\xE2\xE5\xF2");
  KelapiFree(name);
  KelapiFree(text);
  EXPECT_EQ(KelapiBookDliFile("FIRM-12-CHAR", nullptr), KELAPI_E_ALREADY_BOOKED) << "also once complete";
  EXPECT_EQ(KelapiGetDliFile(number, firm, nullptr, &text), KELAPI_E_INVALIDARG);
}

TEST_F(RuleFilesTest, ARefusalRemovesTheRequestAndNumbersAreNotReusedAfterAReconnect) {
  start();
  uint16_t first = 0;
  ASSERT_EQ(KelapiBookDliFile("F1", &first), KELAPI_OK);
  file_part(first, 8, "no file");
  ASSERT_TRUE(net->wait_handled());
  const auto refused = events(KELAPI_EVENT_DLIFILE);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].wparam, (1u << 16) | first);
  char firm[13];
  char* name = nullptr;
  char* text = nullptr;
  EXPECT_EQ(KelapiGetDliFile(first, firm, &name, &text), KELAPI_E_INVALIDARG);

  uint32_t date = 0;
  EXPECT_EQ(KelapiGetTradeDate(nullptr), KELAPI_E_POINTER);
  ASSERT_EQ(KelapiGetTradeDate(&date), KELAPI_OK);
  EXPECT_EQ(date, 20240105u);

  ASSERT_EQ(KelapiDisconnect(), KELAPI_OK);
  EXPECT_EQ(KelapiGetTradeDate(&date), KELAPI_E_NOT_CONNECTED);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  end_class_lists();
  ASSERT_TRUE(wait_events(KELAPI_EVENT_START, 2));
  uint16_t second = 0;
  ASSERT_EQ(KelapiBookDliFile("F1", &second), KELAPI_OK);
  EXPECT_NE(second, first) << "the counter runs on across connections";
}

TEST(RuleFileEventWord, TheNumberIsNotSignExtended) {
  EXPECT_EQ(rule_file_event_word(false, 0x8001), 0x8001u);
  EXPECT_EQ(rule_file_event_word(true, 0xFFFF), 0x1FFFFu);
}

}  // namespace
}  // namespace kelda::kelapi::test
