#include "kit/ini.h"

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "kit/codepage.h"
#include "testsupport/test_dir.h"

namespace {

using kelda::test::read_file_bytes;
using kelda::test::write_file_bytes;

constexpr const char16_t* kPath = u"settings.txt";

std::u16string read_string(const char16_t* section, const char16_t* key, std::size_t capacity = 256,
                           const char16_t* def = u"<default>") {
  std::u16string out(capacity, u'#');
  const int n = kelda::kit::ini_read_string(section, key, def, out.data(), capacity, kPath);
  out.resize(std::u16string(out.c_str()).size());
  EXPECT_EQ(static_cast<std::size_t>(n), out.size());
  return out;
}

TEST(IniRead, FindsValuesTheReadersWay) {
  struct Case { std::string file; const char16_t* section; const char16_t* key; std::u16string value; };
  const Case cases[] = {
      {"[connect]\r\nport = 15100\r\n", u"connect", u"port", u"15100"},
      {"[a]\r\nk=abc   \r\n", u"a", u"k", u"abc   "},       // spaces before the line end stay
      {"[a]\r\nk=  abc   ", u"a", u"k", u"abc"},           // last line without line end
      {"[a]\nk=lone LF\n", u"a", u"k", u"lone LF"},
      {";[connect]\r\nport=1\r\n[connect]\r\nport=2\r\n", u"connect", u"port", u"2"},
      {"x=[connect]\r\nport=1\r\n[connect]\r\nport=2\r\n", u"connect", u"port", u"1"},  // substring
      {"[a]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n", u"a", u"k", u"1"},  // first occurrence wins
      {"[a]\r\nno equals\r\n  k  =  v\r\n", u"a", u"k", u"v"},
      {"[a]\r\n;k=c\r\n", u"a", u";k", u"c"},              // comments count inside a section
      {"[a]\r\nk=\r\n", u"a", u"k", u""},
      {"[a]\r\n[b]\r\nk=1\r\n", u"a", u"k", u"<default>"},  // the next header ends the section
      {"[ a ]\r\nk=1\r\n", u"a", u"k", u"<default>"},
      {"[A]\r\nk=1\r\n", u"a", u"k", u"<default>"},
      {"[a]\r\nK=1\r\n", u"a", u"k", u"<default>"},
      {"[a]\r\nk=1\r\n", u"a", u"missing", u"<default>"},
      {"[a]\r\nname=\xD1\xF7\xB8\xF2\r\n", u"a", u"name", u"Счёт"},
  };
  for (const Case& c : cases) {
    write_file_bytes(kPath, c.file);
    EXPECT_EQ(read_string(c.section, c.key), c.value) << c.file;
  }
  std::filesystem::remove(kPath);
  EXPECT_EQ(read_string(u"a", u"k"), u"<default>");
  EXPECT_EQ(kelda::kit::ini_read_int(u"a", u"k", 77, kPath), 77);
}

TEST(IniRead, IntegersUseTheStandardConversion) {
  struct Case { const char* value; int expected; };
  const Case cases[] = {{"15100", 15100}, {"-12abc", -12}, {"+7", 7},  {"abc", 0},
                        {"", 0},          {"\t42", 42},    {"99999999999", INT_MAX},
                        {"-99999999999", INT_MIN}};
  for (const Case& c : cases) {
    write_file_bytes(kPath, std::string("[a]\r\nk=") + c.value + "\r\n");
    EXPECT_EQ(kelda::kit::ini_read_int(u"a", u"k", -1, kPath), c.expected) << c.value;
  }
  EXPECT_EQ(kelda::kit::ini_read_int(u"a", u"other", -1, kPath), -1);
  EXPECT_EQ(kelda::kit::ini_read_int(nullptr, u"k", -1, kPath), -1);
}

TEST(IniRead, StringIsCutToCapacity) {
  write_file_bytes(kPath, "[a]\r\nk=abcdef\r\n");
  EXPECT_EQ(read_string(u"a", u"k", 4), u"abc");
  EXPECT_EQ(read_string(u"a", u"none", 4, u"dflt\n"), u"dfl");
  EXPECT_EQ(read_string(u"a", u"none", 16, u"dflt\n"), u"dflt");  // one trailing LF cut
  EXPECT_EQ(read_string(u"a", u"none", 16, nullptr), u"");
  EXPECT_EQ(kelda::kit::ini_read_string(u"a", u"k", u"", nullptr, 10, kPath), 0);
  char16_t one = u'#';
  EXPECT_EQ(kelda::kit::ini_read_string(u"a", u"k", u"", &one, 1, kPath), 0);
  EXPECT_EQ(one, 0);
}

// Lines are taken 1999 characters at a time: the rest of a longer line reads
// as a line of its own.
TEST(IniRead, OverlongLinesAreReadInPieces) {
  const std::string head = "k=" + std::string(1997, 'x');
  write_file_bytes(kPath, "[a]\r\n" + head + "q=5\r\nz=1\r\n");
  EXPECT_EQ(read_string(u"a", u"k", 4096), std::u16string(1997, u'x'));
  EXPECT_EQ(read_string(u"a", u"q"), u"5");
  EXPECT_EQ(read_string(u"a", u"z"), u"1");
}

TEST(IniRead, SectionIsConcatenatedAndCut) {
  write_file_bytes(kPath, "[b]\r\nz=0\r\n[a]\r\n;c\r\nk=1\r\n\r\n[c]\r\nq=2\r\n");
  char16_t out[64];
  EXPECT_EQ(kelda::kit::ini_read_section(u"a", out, 64, kPath), 8);
  EXPECT_EQ(std::u16string(out), u";c\nk=1\n\n");
  EXPECT_EQ(kelda::kit::ini_read_section(u"a", out, 6, kPath), 5);
  EXPECT_EQ(std::u16string(out), u";c\nk=");
  EXPECT_EQ(kelda::kit::ini_read_section(u"x", out, 64, kPath), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(kelda::kit::ini_read_section(u"a", out, 64, u"missing.txt"), 0);
}

struct WriteCase {
  std::string before;  // "-" for no file
  const char16_t* section;
  const char16_t* key;
  const char16_t* value;
  std::string after;
};

TEST(IniWrite, RewritesTheFileByteForByte) {
  const WriteCase cases[] = {
      {"-", u"s", u"k", u"v", "[s]\r\nk=v\r\n"},
      {"[a]\r\nx=1\r\n", u"b", u"k", u"v", "[a]\r\nx=1\r\n\r\n[b]\r\nk=v\r\n"},
      {"[a]\r\nx=1", u"b", u"k", u"v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"[a]\r\nx=1\r\n\r\n", u"b", u"k", u"v", "[a]\r\nx=1\r\n\r\n[b]\r\nk=v\r\n"},
      // the writer compares the untrimmed key: "x " is not "x"
      {"[a]\r\nx = 1\r\n", u"a", u"x", u"v", "[a]\r\nx=v\r\nx = 1\r\n"},
      {"[a]\r\nm=1\r\nx=1\r\nz=1\r\n", u"a", u"x", u"2", "[a]\r\nm=1\r\nx=2\r\nz=1\r\n"},
      {"[a]\r\nm=1\r\n[b]\r\n", u"a", u"n", u"5", "[a]\r\nn=5\r\nm=1\r\n[b]\r\n"},
      {"[a]", u"a", u"k", u"v", "[a]\r\nk=v\r\n"},
      {"[a]\r\n;x=1\r\n", u"a", u"x", u"2", "[a]\r\nx=2\r\n;x=1\r\n"},
      {"  [a]  \nx=1\n", u"a", u"x", u"2", "  [a]  \r\nx=2\r\n"},
      {"[a]\r\n  x=1  \r\n", u"a", u"x", u"2", "[a]\r\nx=2\r\n"},
      {"[a]\r\nx=1\r\n[a]\r\nx=2\r\n", u"a", u"x", u"3", "[a]\r\nx=3\r\n[a]\r\nx=2\r\n"},
      {"[a]\nx=1", u"a", u"x", nullptr, "[a]\r\nx=1"},  // no value: rewritten unchanged
      {"-", u"s", u"name", u"Счёт", "[s]\r\nname=\xD1\xF7\xB8\xF2\r\n"},
  };
  for (const WriteCase& c : cases) {
    std::filesystem::remove(kPath);
    if (c.before != "-") write_file_bytes(kPath, c.before);
    EXPECT_EQ(kelda::kit::ini_write_string(c.section, c.key, c.value, kPath), 1) << c.before;
    EXPECT_EQ(read_file_bytes(kPath), c.after) << c.before;
  }
}

TEST(IniWrite, ReadersSeeWhatWasWritten) {
  write_file_bytes(kPath, "[a]\r\nx = 1\r\n");
  ASSERT_EQ(kelda::kit::ini_write_string(u"a", u"x", u"new", kPath), 1);
  EXPECT_EQ(read_string(u"a", u"x"), u"new");  // the inserted line comes first
}

// Values as long as readers take are written whole (the writer used to cut
// lines at 255 characters).
TEST(IniWrite, LongValuesUpToTheReaderLimit) {
  const std::u16string longest(kelda::kit::kIniLineLimit - 3, u'p');  // "k=" + value + LF
  ASSERT_EQ(kelda::kit::ini_write_string(u"paths", u"k", longest.c_str(), kPath), 1);
  EXPECT_EQ(read_string(u"paths", u"k", 4096), longest);

  const std::string before = read_file_bytes(kPath);
  const std::u16string too_long = longest + u"p";
  EXPECT_EQ(kelda::kit::ini_write_string(u"paths", u"k", too_long.c_str(), kPath), 0);
  EXPECT_EQ(read_file_bytes(kPath), before);
}

TEST(IniWrite, OverlongLinesOfTheFileSurviveUnchanged) {
  const std::string comment = ";" + std::string(4500, 'c') + "\r\n";
  const std::string original = "[a]\r\n" + comment + "x=1\r\n";
  write_file_bytes(kPath, original);
  ASSERT_EQ(kelda::kit::ini_write_string(u"b", u"k", u"v", kPath), 1);
  EXPECT_EQ(read_file_bytes(kPath), original + "\r\n[b]\r\nk=v\r\n");
}

TEST(IniWrite, RefusesLineBreaksAndReportsFailures) {
  write_file_bytes(kPath, "[a]\r\nx=1\r\n");
  EXPECT_EQ(kelda::kit::ini_write_string(u"a", u"x", u"1\r\ny=2", kPath), 0);
  EXPECT_EQ(kelda::kit::ini_write_string(u"a\n", u"x", u"1", kPath), 0);
  EXPECT_EQ(kelda::kit::ini_write_string(nullptr, u"x", u"1", kPath), 0);
  EXPECT_EQ(kelda::kit::ini_write_string(u"a", nullptr, u"1", kPath), 0);
  EXPECT_EQ(read_file_bytes(kPath), "[a]\r\nx=1\r\n");
  EXPECT_EQ(kelda::kit::ini_write_string(u"a", u"x", u"1", u"no-such-folder/s.txt"), 0);
  EXPECT_FALSE(std::filesystem::exists("no-such-folder"));
}

TEST(IniWrite, ReplacesTheFileWholeAndKeepsItsPermissions) {
  write_file_bytes(kPath, "[a]\r\nx=1\r\n");
  ASSERT_EQ(::chmod("settings.txt", 0640), 0);
  ASSERT_EQ(kelda::kit::ini_write_string(u"a", u"x", u"2", kPath), 1);
  struct stat st{};
  ASSERT_EQ(::stat("settings.txt", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    (void)entry;
    ++entries;  // no temporary file left behind
  }
  EXPECT_EQ(entries, 1);

  // Through a symbolic link the target is rewritten and the link stays.
  std::filesystem::create_symlink("settings.txt", "link.txt");
  ASSERT_EQ(kelda::kit::ini_write_string(u"a", u"x", u"3", u"link.txt"), 1);
  EXPECT_TRUE(std::filesystem::is_symlink("link.txt"));
  EXPECT_EQ(read_file_bytes("settings.txt"), "[a]\r\nx=3\r\n");
}

// File checks as a user without rights to a file (root reads everything, so
// it gives up its file rights for the scope).
class AsOtherUser {
 public:
  AsOtherUser() {
    if (::geteuid() != 0) return;
    std::filesystem::permissions(".", std::filesystem::perms::all);
    ::setfsuid(65534);
  }
  ~AsOtherUser() {
    if (::geteuid() == 0) ::setfsuid(0);
  }
};

TEST(IniWrite, AFileThatCannotBeReadIsNeitherReplacedNorReportedClean) {
  const std::string original = "[a]\r\nx=1\r\n";
  write_file_bytes(kPath, original);
  ASSERT_EQ(::chmod("settings.txt", 0200), 0);  // it exists, but cannot be read
  {
    AsOtherUser user;
    EXPECT_EQ(kelda::kit::ini_write_string(u"a", u"y", u"2", kPath), 0) << "the other settings would be lost";
    EXPECT_EQ(kelda::kit::ini_delete_key(u"a", u"x", kPath), 0) << "the key may still be there";
    EXPECT_EQ(kelda::kit::ini_delete_section(u"a", kPath), 0);
  }
  ASSERT_EQ(::chmod("settings.txt", 0600), 0);
  EXPECT_EQ(read_file_bytes(kPath), original);
}

TEST(IniWrite, AFileThatCannotBeWrittenStaysAsItWas) {
  const std::string original = "[a]\r\nx=1\r\n";
  write_file_bytes(kPath, original);
  ASSERT_EQ(::chmod("settings.txt", 0444), 0);  // readable, not writable
  {
    AsOtherUser user;
    EXPECT_EQ(kelda::kit::ini_write_string(u"a", u"x", u"2", kPath), 0);
    EXPECT_EQ(kelda::kit::ini_delete_key(u"a", u"x", kPath), 0);
    EXPECT_EQ(kelda::kit::ini_delete_section(u"a", kPath), 0);
  }
  EXPECT_EQ(read_file_bytes(kPath), original);
  struct stat st{};
  ASSERT_EQ(::stat("settings.txt", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST(IniDelete, KeyLeavesEveryMatchingSection) {
  write_file_bytes(kPath, "[a]\r\nx=1\r\n x = 2\r\n;x=c\r\ny=3\r\n[b]\r\nx=4\r\n[a]\r\nx=5\r\n");
  ASSERT_EQ(kelda::kit::ini_delete_key(u"a", u"x", kPath), 1);
  EXPECT_EQ(read_file_bytes(kPath), "[a]\r\n;x=c\r\ny=3\r\n[b]\r\nx=4\r\n[a]\r\n");
  EXPECT_EQ(read_string(u"a", u"x"), u"<default>");
  EXPECT_EQ(read_string(u"b", u"x"), u"4");
}

TEST(IniDelete, SectionGoesWithItsSeparatingLine) {
  write_file_bytes(kPath, "[a]\r\nx=1\r\n");
  ASSERT_EQ(kelda::kit::ini_write_string(u"b", u"k", u"v", kPath), 1);
  ASSERT_EQ(kelda::kit::ini_write_string(u"c", u"z", u"1", kPath), 1);
  ASSERT_EQ(kelda::kit::ini_delete_section(u"b", kPath), 1);
  EXPECT_EQ(read_file_bytes(kPath), "[a]\r\nx=1\r\n\r\n[c]\r\nz=1\r\n");
  ASSERT_EQ(kelda::kit::ini_delete_section(u"c", kPath), 1);
  EXPECT_EQ(read_file_bytes(kPath), "[a]\r\nx=1\r\n");
}

TEST(IniDelete, NothingToRemoveIsNoFailure) {
  EXPECT_EQ(kelda::kit::ini_delete_key(u"a", u"x", kPath), 1);
  EXPECT_EQ(kelda::kit::ini_delete_section(u"a", kPath), 1);
  EXPECT_FALSE(std::filesystem::exists(kPath));  // no file is created
  write_file_bytes(kPath, "[a]\nx=1\n");
  EXPECT_EQ(kelda::kit::ini_delete_key(u"b", u"x", kPath), 1);
  EXPECT_EQ(read_file_bytes(kPath), "[a]\nx=1\n");  // not rewritten
  EXPECT_EQ(kelda::kit::ini_delete_key(u"a", nullptr, kPath), 0);
}

}  // namespace
