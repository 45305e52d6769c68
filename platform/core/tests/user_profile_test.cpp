#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/last_error.h"
#include "platform/user_profile.h"

using namespace kelda::platform;
namespace fs = std::filesystem;

namespace {
std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class UserProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = fs::absolute("config");
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  fs::path config_;
};
}  // namespace

TEST_F(UserProfileTest, TheFileLivesUnderXdgConfigHomeOrHomeDotConfig) {
  EXPECT_EQ(user_config_folder(), config_);
  EXPECT_EQ(UserProfile(u"Vestrel", u"Pulsor").file(), config_ / "Vestrel" / "Pulsor.ini");
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // only an absolute path counts
  setenv("HOME", fs::absolute("home").c_str(), 1);
  EXPECT_EQ(user_config_folder(), fs::absolute("home") / ".config");
  for (const char16_t* bad : {u"", u".", u"..", u"a/b"}) {
    UserProfile p(bad, u"Pulsor");
    EXPECT_TRUE(p.file().empty());
    EXPECT_EQ(p.read_string(u"MRU", u"MRU1", u"dflt"), u"dflt");
    EXPECT_FALSE(p.write_string(u"MRU", u"MRU1", u"x"));
  }
}

TEST_F(UserProfileTest, RecentHostsRoundTripAndTheFileIsWrittenWhole) {
  UserProfile p(u"Vestrel", u"Pulsor");
  EXPECT_EQ(p.read_string(u"MRU", u"MRU1"), u"");
  EXPECT_EQ(p.read_int(u"MRU", u"count", 7), 7);
  for (int i = 1; i <= 8; ++i) {
    std::string key = "MRU" + std::to_string(i);
    ASSERT_TRUE(p.write_string(u"MRU", std::u16string(key.begin(), key.end()), i == 2 ? u"хост.рф" : u"10.0.0.1"));
  }
  ASSERT_TRUE(p.write_int(u"Other", u"count", -42));
  ASSERT_TRUE(p.write_string(u"mru", u"mru3", u"example.org"));  // names are case-blind
  EXPECT_EQ(p.read_string(u"MRU", u"MRU2"), u"хост.рф");
  EXPECT_EQ(p.read_string(u"MRU", u"MRU3"), u"example.org");
  EXPECT_EQ(p.read_int(u"Other", u"count", 0), -42);
  EXPECT_TRUE(p.delete_key(u"MRU", u"MRU8"));
  EXPECT_TRUE(p.delete_key(u"MRU", u"MRU8"));
  EXPECT_EQ(p.read_string(u"MRU", u"MRU8", u"gone"), u"gone");
  std::string text = slurp(p.file());
  EXPECT_EQ(text.rfind("[MRU]\nMRU1=10.0.0.1\nMRU2=\xD1\x85", 0), 0u) << text;
  EXPECT_NE(text.find("\n\n[Other]\ncount=-42\n"), std::string::npos) << text;
  // No temporary file is left beside it.
  int files = 0;
  for (auto& e : fs::directory_iterator(p.file().parent_path())) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);
}

TEST_F(UserProfileTest, RefusesNamesAndValuesItCouldNotReadBackAndKeepsForeignLines) {
  UserProfile p(u"Vestrel", u"Pulsor");
  fs::create_directories(p.file().parent_path());
  std::ofstream(p.file(), std::ios::binary) << "; a comment\r\n[MRU]\r\n  MRU1 = spaced\r\nnoise\xFF\r\n";
  EXPECT_EQ(p.read_string(u"MRU", u"MRU1"), u" spaced");
  for (auto [section, key, value] : {std::tuple{u"", u"k", u"v"}, {u"s", u"", u"v"}, {u"s[", u"k", u"v"},
                                     {u"s", u"k=", u"v"}, {u"s", u"k", u"two\nlines"}}) {
    set_last_error(0);
    EXPECT_FALSE(p.write_string(section, key, value));
    EXPECT_EQ(get_last_error(), error::invalid_parameter);
  }
  ASSERT_TRUE(p.write_string(u" MRU ", u"\tMRU2 ", u"b"));  // blanks around names do not count
  EXPECT_EQ(p.read_string(u"MRU", u"MRU2"), u"b");
  EXPECT_FALSE(p.write_string(u"  ", u"MRU2", u"b"));
  EXPECT_EQ(slurp(p.file()), "; a comment\n[MRU]\n  MRU1 = spaced\nnoise\xFF\nMRU2=b\n");
  EXPECT_EQ(p.read_int(u"MRU", u"MRU2", 5), 5);  // not a number
  // A header ended by several CRs is a header before and after a rewrite.
  std::ofstream(p.file(), std::ios::binary | std::ios::trunc) << "[MRU]\n[s]\r\r\nk=v\n";
  ASSERT_TRUE(p.write_string(u"MRU", u"MRU1", u"a"));
  EXPECT_EQ(p.read_string(u"MRU", u"MRU1"), u"a");
  EXPECT_EQ(p.read_string(u"s", u"k"), u"v");
  EXPECT_EQ(p.read_string(u"MRU", u"k", u"none"), u"none");
}
