// The journal (info.log): replayed at initialisation up to the first record
// that cannot be read, cut back there, and appended to afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/journal.h"
#include "library_fixture.h"
#include "saved_files.h"
#include "testsupport/test_dir.h"

namespace kelda::kelapi::test {
namespace {

using kelda::test::read_file_bytes;
using kelda::test::write_file_bytes;

std::string word(uint32_t w) { return std::string(reinterpret_cast<const char*>(&w), 4); }
std::string half(uint16_t h) { return std::string(reinterpret_cast<const char*>(&h), 2); }

std::string header(uint32_t version, uint32_t date) {
  return "INFODATA" + word(version) + word(32) + word(date);
}

class JournalTest : public LibraryTest {
 protected:
  uint32_t permissions() {
    LibraryLock lock(*lib);
    return lib->permissions();
  }
  uint32_t trade_date() {
    LibraryLock lock(*lib);
    return lib->trade_date();
  }
};

TEST_F(JournalTest, ReplayStopsAtADamagedRecordAndLaterRecordsAreKept) {
  // Tag 4 is a table record that is read and skipped.
  const std::string good = header(1, 20231231) + '\x03' + word(0x1234) + '\x19' + word(0x800) + '\x04' +
                           half(10) + std::string(10, 'r');
  const std::string tail = std::string(1, '\x03') + word(0x9999);
  struct Case {
    const char* what;
    std::string damage;
    uint32_t permissions;
  };
  const Case cases[] = {
      {"no damage", "", 0x9999},
      {"a length of 2001", std::string(1, '\x04') + half(2001) + std::string(2001, 'x'), 0x1234},
      {"an unknown tag", std::string(1, '\xC8'), 0x1234},
      {"a cut record", std::string(1, '\x09') + "ab", 0x1234},
  };
  for (const Case& c : cases) {
    make_library(default_options());
    Tables(1, 1).write();
    write_file_bytes("info.log", good + c.damage + (c.damage.empty() ? tail : ""));
    ASSERT_EQ(init(), KELAPI_OK) << c.what;
    EXPECT_EQ(permissions(), c.permissions) << c.what;
    EXPECT_EQ(trade_date(), 20231231u) << c.what << ": the journal's date until the server's comes";
    if (!c.damage.empty()) {
      EXPECT_EQ(read_file_bytes("info.log"), good) << c.what << ": cut back to the last good record";
      EXPECT_NE(diagnostics().back().find("info.log is damaged"), std::string::npos) << c.what;
    }
    // What is journalled now is replayed next time.
    ASSERT_EQ(connect(0x4242), KELAPI_OK) << c.what;
    const auto params = net->connection_params();
    EXPECT_EQ(params.at(1), (std::pair<uint32_t, uint32_t>{7, 1})) << c.what << ": character mode restored";
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
    ASSERT_EQ(init(), KELAPI_OK);
    EXPECT_EQ(permissions(), 0x4242u) << c.what;
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  }
}

TEST_F(JournalTest, AJournalWithABadHeaderIsReplacedUnread) {
  const std::string records = std::string(1, '\x03') + word(0x1234);
  struct Case {
    const char* what;
    std::string head;
  };
  const Case cases[] = {
      {"mark", "INFX" + header(1, 20231231).substr(4)},
      {"tag", "INFODATB" + header(1, 20231231).substr(8)},
      {"version", header(2, 20231231)},
      {"record size", "INFODATA" + word(1) + word(31) + word(20231231)},
      {"short header", header(1, 20231231).substr(0, 18)},
  };
  for (const Case& c : cases) {
    make_library(default_options());
    Tables(1, 1).write();
    write_file_bytes("info.log", c.head + records);
    ASSERT_EQ(init(), KELAPI_OK) << c.what;
    EXPECT_EQ(permissions(), 0u) << c.what;
    const std::string journal = read_file_bytes("info.log");
    ASSERT_EQ(journal.size(), 20u) << c.what << ": a fresh journal";
    EXPECT_EQ(journal.substr(0, 16), header(1, 0).substr(0, 16)) << c.what;
    ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  }
}

TEST_F(JournalTest, WithoutTheSavedTablesTheJournalIsNotReplayed) {
  write_file_bytes("info.log", header(1, 20231231) + '\x03' + word(0x1234));
  ASSERT_EQ(init(), KELAPI_OK);
  EXPECT_EQ(permissions(), 0u);
  EXPECT_EQ(read_file_bytes("info.log").size(), 20u);
}

TEST(RecordFile, LengthsAboveTheLimitAreRefused) {
  RecordFile f;
  ASSERT_TRUE(f.create("records.bin", journal_frame(20240101)));
  EXPECT_TRUE(f.write(36, std::vector<uint8_t>(2000, 1), true));
  EXPECT_FALSE(f.write(36, std::vector<uint8_t>(2001, 1), true));
  EXPECT_TRUE(f.is_open()) << "a refused record does not close the journal";
  EXPECT_TRUE(f.write(3, std::vector<uint8_t>(4, 2), false));
  f.close();

  std::vector<std::pair<uint8_t, std::size_t>> seen;
  JournalReaders readers;
  readers.set_table(36, [&](uint8_t tag, std::span<const uint8_t> p) { seen.emplace_back(tag, p.size()); });
  readers.set_fixed(3, 4, [&](uint8_t tag, std::span<const uint8_t> p) { seen.emplace_back(tag, p.size()); });
  const JournalReplay replay = replay_journal("records.bin", readers);
  EXPECT_TRUE(replay.header_ok);
  EXPECT_FALSE(replay.damaged);
  EXPECT_EQ(replay.trade_date, 20240101u);
  EXPECT_EQ(replay.good_end, 20u + 3 + 2000 + 5);
  EXPECT_EQ(seen, (std::vector<std::pair<uint8_t, std::size_t>>{{36, 2000}, {3, 4}}));
}

}  // namespace
}  // namespace kelda::kelapi::test
