// The terminal's files and small services: profile files, the server list,
// number formatting and checks, the value table.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>
#include <string>

#include <cstdlib>

#include "terminal/data_feed_manager.h"
#include "platform/last_error.h"
#include "terminal/profile.h"
#include "terminal/save_failures.h"
#include "terminal/server_list.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

using test::read_file_bytes;
using test::write_file_bytes;

std::string path(const char* name) { return (test::test_dir() / name).string(); }

TEST(TerminalProfile, NewKeyBecomesTheSectionsFirstLineAndAnOldOneIsReplacedInPlace) {
  const std::string ini = path("p.txt");
  write_file_bytes(ini, "[a]\nx=1\n\n[b]\ny=2\n");
  profile_set_string("a", "new", "n", ini);
  profile_set_string("b", "y", "3", ini);
  EXPECT_EQ(read_file_bytes(ini), "[a]\nnew=n\nx=1\n\n[b]\ny=3\n");
  profile_set_string("c", "z", "4", ini);
  EXPECT_EQ(read_file_bytes(ini), "[a]\nnew=n\nx=1\n\n[b]\ny=3\n\n[c]\nz=4\n");
  EXPECT_EQ(profile_get_int("b", "y", 0, ini), 3);
  EXPECT_EQ(profile_get_string("c", "z", "", ini), "4");
  EXPECT_EQ(profile_get_int("c", "missing", 7, ini), 7);
}

TEST(TerminalProfile, ABlankBeforeTheEqualsSignIsReadButNotReplaced) {
  const std::string ini = path("p.txt");
  write_file_bytes(ini, "[s]\nkey =old\n");
  EXPECT_EQ(profile_get_string("s", "key", "", ini), "old");
  profile_set_string("s", "key", "new", ini);
  EXPECT_EQ(read_file_bytes(ini), "[s]\nkey=new\nkey =old\n");
  EXPECT_EQ(profile_get_string("s", "key", "", ini), "new");
}

TEST(TerminalProfile, HeaderOnTheLastLineWithoutLineFeedAndCommentedHeaders) {
  const std::string ini = path("p.txt");
  write_file_bytes(ini, "[s]");
  profile_set_string("s", "k", "v", ini);
  EXPECT_EQ(read_file_bytes(ini), "[s]\nk=v\n");
  write_file_bytes(ini, ";[t]\nk=v\n");
  EXPECT_EQ(profile_get_string("t", "k", "default", ini), "default");
}

TEST(TerminalProfile, MissingFileGivesDefaultsAndDeletingASectionOfNoFileWritesNothing) {
  const std::string ini = path("none.txt");
  EXPECT_EQ(profile_get_int("s", "k", 5, ini), 5);
  profile_delete_section("s", ini);
  profile_delete_sections({"[s]"}, ini);
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST(TerminalProfile, DeletingSectionsKeepsTheOthers) {
  const std::string ini = path("p.txt");
  write_file_bytes(ini, "[a]\nx=1\n[TradesWnd]\ny=2\n[b]\nz=3\n");
  profile_delete_sections({"[TradesWnd]"}, ini);
  EXPECT_EQ(read_file_bytes(ini), "[a]\nx=1\n[b]\nz=3\n");
  profile_delete_section("a", ini);
  EXPECT_EQ(read_file_bytes(ini), "[b]\nz=3\n");
}

TEST(TerminalServerList, LinesAreParsedTrimmedAndMalformedOnesSkipped) {
  const std::string file = path("IP.CFG");
  const std::string long_description(120, 'd');
  write_file_bytes(file, "Main [ 10.0.0.1 : 7000 : key1 ]\nbroken [1.2.3.4:80\n" + long_description +
                             " [10.0.0.2:7001:key2]\r\n");
  std::vector<ConnectionRecord> records;
  ASSERT_TRUE(load_server_list(records, file));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(field_text(records[0].description), "Main");
  EXPECT_EQ(field_text(records[0].address), "10.0.0.1");
  EXPECT_EQ(field_text(records[0].port), "7000");
  EXPECT_EQ(field_text(records[0].key), "key1");
  // A line longer than the old 79-character limit is one record, its
  // description cut to its field.
  EXPECT_EQ(field_text(records[1].description), long_description.substr(0, 63));
  EXPECT_EQ(field_text(records[1].port), "7001");
  ASSERT_TRUE(save_server_list(records, file));
  std::vector<ConnectionRecord> again;
  ASSERT_TRUE(load_server_list(again, file));
  EXPECT_EQ(again.size(), 2u);
  EXPECT_EQ(read_file_bytes(file).substr(0, 29), "Main [10.0.0.1:7000:key1]\n" + std::string(3, 'd'));
}

TEST(TerminalFormat, DigitGroupsAndDates) {
  char out[64];
  EXPECT_STREQ(format_real(out, sizeof out, 1234567.5, 1, -1, -1, true), "1 234 567.5");
  EXPECT_STREQ(format_integer(out, sizeof out, -1234, -1, -1, true), "-1 234");
  EXPECT_STREQ(format_real(out, sizeof out, 1234.5, 2, ',', -1, false), "1234.50");
  char small[6];
  EXPECT_STREQ(format_integer(small, sizeof small, 12345, -1, -1, true), "12345");
  EXPECT_EQ(format_date_ymd(20240105), "05.01.2024");
}

TEST(TerminalFormat, NumberChecks) {
  struct Case {
    std::u16string text;
    int decimals;
    int digits;
    bool ok;
  };
  const Case cases[] = {
      {u"12,50", 1, 10, true}, {u"-12,50", 1, 10, true}, {u"12,55", 1, 10, false}, {u"1-2", 2, 10, false},
      {u"1.2.3", 2, 10, false}, {u"-", 2, 10, false},    {u"0012", 0, 3, false},  {u"0012", 0, 4, true},
      {u"1.5", 0, 4, false},    {u"", 2, 10, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(check_number(c.text, c.decimals, u"Цена", c.digits), c.ok) << std::string(c.text.begin(), c.text.end());
  }
  double v = -1;
  EXPECT_TRUE(parse_number_w(u" 0 ", v));
  EXPECT_EQ(v, 0.0);
  EXPECT_FALSE(parse_number_w(u"abc", v));
  EXPECT_FALSE(parse_number_w(u"1 2", v));
  EXPECT_TRUE(parse_number_w(u"\t12.5 ", v));
  EXPECT_EQ(v, 12.5);
}

TEST(TerminalValueTable, ColumnsIgnoreTheCaseOfLatinLettersAndOutsideReadsZero) {
  ValueTable t;
  const int32_t r0 = t.add_row();
  const int32_t last = t.add_column("LAST");
  EXPECT_EQ(t.add_column("last"), last);
  const int32_t r1 = t.add_row();
  t.set_value(r1, "Last", 12.5);
  t.set_value(r0, "BID", 1.0);  // no such column: nothing
  EXPECT_EQ(t.get_value(r1, last), 12.5);
  EXPECT_EQ(t.get_value(r0, last), 0.0);
  EXPECT_EQ(t.get_value(5, last), 0.0);
  EXPECT_EQ(t.get_value(r1, 9), 0.0);
}

TEST(TerminalSettings, StartUpEmptiesAnUnsavedPasswordAndNormalisesTheFontSize) {
  ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
  struct Case {
    const char* font;
    int expected;
  };
  for (const Case c : {Case{"13", 12}, Case{"40", 18}, Case{"17", 17}, Case{"7", 18}}) {
    write_file_bytes(path("KeldaMobile.txt"), std::string("[connect]\nname=trader\nsave=0\npassword=secret\n"
                                                          "[settings]\nfontsize=") + c.font + "\n");
    DataFeedManager m;
    EXPECT_EQ(m.settings().font_size, c.expected) << c.font;
    EXPECT_STREQ(m.settings().user_name, "trader");
    EXPECT_STREQ(m.settings().password, "");
    EXPECT_EQ(profile_get_string("connect", "password", "?", m.settings_path()), "");
  }
  write_file_bytes(path("KeldaMobile.txt"), "[connect]\nsave=1\npassword=secret\n");
  DataFeedManager saved;
  EXPECT_STREQ(saved.settings().password, "secret");
  EXPECT_STREQ(saved.session_password(), "secret");
}

// What of the settings file cannot be read is named in the log with the
// defaults taken for it.
TEST(TerminalSettings, AMissingOrDamagedPartOfTheSettingsFileIsNamedInTheLog) {
  ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
  const std::string ini = path("KeldaMobile.txt");
  const std::string whole =
      "[connect]\nname=trader\nsave=0\n[settings]\nfontsize=14\nalignment=1\n"
      "[CryptoProviders]\nSignalComMessagePro=0\n[CryptoProvidersSettings]\nCipherCryptoProvider=NullCipher\n";
  struct Case {
    const char* what;
    std::optional<std::string> content;  // nothing: no file; "/": a folder in its place
    std::vector<std::string> logged;
    std::vector<std::string> not_logged;
  };
  const std::string missing = "Settings file " + ini + " has no section ";
  const Case cases[] = {
      {"whole", whole, {}, {"Settings file", "ERROR"}},
      {"no file", std::nullopt, {"Settings file " + ini + " not found; every setting takes its default."}, {}},
      {"a folder", "/", {"ERROR: Can not read settings file " + ini + "; every setting takes its default."}, {}},
      {"cut in half",
       whole.substr(0, whole.find("alignment")),
       {missing + "[CryptoProviders]; defaults taken: SignalComMessagePro=0, IniFile=" + path("signalcom.ini") + ".",
        missing + "[CryptoProvidersSettings]; defaults taken: CipherCryptoProvider=(the dispatcher's default)"},
       {"[connect]", "[settings]"}},
      {"only the connect section",
       "[connect]\nname=trader\n",
       {missing + "[settings]; defaults taken: classname=0, digit_grouping=0, vert_display_limits=1, fontsize=18,"},
       {"[connect]"}},
      {"a size that is no number",
       "[settings]\nfontsize=big\nquotes_depth=7x\n" + whole.substr(whole.find("[Crypto")) + "[connect]\n",
       {"ERROR: Settings file " + ini + ", section [settings]: fontsize=big is not a number; 0 taken.",
        "ERROR: Settings file " + ini + ", section [settings]: quotes_depth=7x is not a number; 7 taken."},
       {"has no section"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(ini);
    if (c.content == "/") {
      std::filesystem::create_directory(ini);
    } else if (c.content) {
      write_file_bytes(ini, *c.content);
    }
    reset_log();
    { DataFeedManager m; }
    const bool logged = std::filesystem::exists(path("infolog.txt"));
    const std::string log = logged ? read_file_bytes(path("infolog.txt")) : "";
    std::filesystem::remove(path("infolog.txt"));
    for (const std::string& line : c.logged) EXPECT_NE(log.find(line), std::string::npos) << c.what << ": " << log;
    for (const std::string& text : c.not_logged) EXPECT_EQ(log.find(text), std::string::npos) << c.what << ": " << log;
  }
  std::filesystem::remove_all(ini);
}

// Each of the user's files that cannot be written (here: its folder is a
// plain file, which fails for every user, root included) is reported: a line
// on the standard error stream every time, one message box per file naming it
// and the system's reason, and the writer answers false.
TEST(TerminalSaveFailures, EveryFailedWriteOfTheUsersFilesIsToldOncePerFile) {
  ui::HeadlessUi ui;
  reset_save_failures();
  write_file_bytes(path("not_a_folder"), "x");
  const std::string folder = path("not_a_folder");
  ::setenv("KELDAMOBILE_HOME", folder.c_str(), 1);
  reset_log();
  struct Case {
    const char* file;
    std::function<bool(const std::string&)> write;
  };
  const Case cases[] = {
      {"KeldaMobile.txt", [](const std::string& p) { return profile_set_int("settings", "fontsize", 14, p); }},
      {"pdainfo.tcf", [](const std::string& p) { return write_user_file(p, "[QuotesWnd]\nprice=60\n"); }},
      {"IP.CFG", [](const std::string& p) { return save_server_list({ConnectionRecord{}}, p); }},
      {"infolog.txt", [](const std::string&) {
         log_line("first line");
         return true;  // the log answers nothing; its report is what counts
       }},
  };
  for (const Case& c : cases) {
    const std::string file = folder + "/" + c.file;
    const uint64_t failures = save_failure_count();
    for (int attempt = 0; attempt < 2; ++attempt) {
      ::testing::internal::CaptureStderr();
      const bool written = c.write(file);
      const std::string err = ::testing::internal::GetCapturedStderr();
      if (std::string_view(c.file) != "infolog.txt") {
        EXPECT_FALSE(written) << c.file;
      }
      if (std::string_view(c.file) == "infolog.txt" && attempt == 1) {
        EXPECT_EQ(err, "") << "a log that keeps failing is reported when it starts failing";
        continue;
      }
      EXPECT_NE(err.find("Can not write data to \"" + file + "\""), std::string::npos) << c.file << ": " << err;
    }
    EXPECT_GT(save_failure_count(), failures) << c.file;
    std::size_t boxes = 0;
    for (const auto& asked : ui.script().asked(ui::ScriptedServices::Asked::Kind::message_box)) {
      if (asked.text.find(to_wide(file)) == std::u16string::npos) continue;
      ++boxes;
      EXPECT_EQ(asked.caption, u"Error");
      EXPECT_EQ(asked.type & ui::mb::icon_mask, ui::mb::icon_error);
      EXPECT_NE(asked.text.find(u"\n'"), std::u16string::npos) << "the system's reason on a line of its own";
    }
    EXPECT_EQ(boxes, 1u) << c.file;
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "/KeldaMobile.txt"));
  ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
  reset_log();
}

TEST(TerminalSaveFailures, TheTextNamesTheFileAndTheReasonAndWhatAccessDeniedMayMean) {
  EXPECT_EQ(save_failure_text("C:/w/KeldaMobile.txt", platform::error::access_denied),
            "Can not write data to \"C:/w/KeldaMobile.txt\":\n'Access is denied.'\n"
            "Probably file has attribute 'read only' or is in use by other program");
  const std::string not_found = save_failure_text("/w/IP.CFG", platform::error::path_not_found);
  EXPECT_EQ(not_found.rfind("Can not write data to \"/w/IP.CFG\":\n'", 0), 0u) << not_found;
  EXPECT_EQ(not_found.find("read only"), std::string::npos);
}

}  // namespace
}  // namespace kelda::terminal
