// News (headlines, bodies in parts, deletion, news.log across a restart)
// and rule files with the trade date.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

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

TEST_F(NewsTest, NewsLogKeepsTheItemsAcrossARestartAndIsAppendedTo) {
  start();
  net->deliver(0x57, item(1, 1, "Kept"));
  net->deliver(0x57, item(2, 2, "Deleted"));
  net->deliver(0x57, item(3, 3, "With body", 4));
  part(3, 1, "\xEF\xF0\xE8\xE2");  // Russian text in code page 1251
  ASSERT_TRUE(net->wait_handled());
  const std::size_t after_three = file_bytes("news.log").size();
  NewsKey gone{};
  gone.id = 2;
  std::strcpy(gone.code, "NEWS");
  gone.time = 101500;
  gone.date = local_date();
  net->deliver(0x5A, gone);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(file_bytes("news.log").size(), after_three) << "a deletion marks the record in place";
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
  EXPECT_EQ(file_bytes("news.log").substr(0, 8), "INFONEWS");
  EXPECT_EQ(file_bytes("news.log")[16], 2) << "the file was written again without the deleted item";
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
  ASSERT_TRUE(file.rewrite(table));
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
