#include "ping/recent_hosts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kelda::ping {
namespace {

using Hosts = std::vector<std::u16string>;

TEST(RecentHosts, NewestFirstNoCaseDuplicatesAtMostEight) {
  RecentHosts list;
  for (const char16_t* host : {u"a.example", u"b.example", u"C.example", u"d.example"}) list.add(host);
  list.add(u"");  // nothing
  EXPECT_EQ(list.hosts(), (Hosts{u"d.example", u"C.example", u"b.example", u"a.example"}));
  list.add(u"B.EXAMPLE");  // the third entry, other letter case: moves up in the new case
  EXPECT_EQ(list.hosts(), (Hosts{u"B.EXAMPLE", u"d.example", u"C.example", u"a.example"}));
  list.add(u"ХОСТ");
  list.add(u"хост");
  EXPECT_EQ(list.hosts().front(), u"хост");
  EXPECT_EQ(list.hosts().size(), 5u);
  for (const char16_t* host : {u"e", u"f", u"g"}) list.add(host);
  EXPECT_EQ(list.hosts().size(), 8u);
  EXPECT_EQ(list.hosts().back(), u"a.example");
  list.add(u"h");  // a ninth distinct host drops the oldest
  EXPECT_EQ(list.hosts().size(), 8u);
  EXPECT_EQ(list.hosts().back(), u"C.example");
}

TEST(RecentHosts, SurviveInTheProfile) {
  setenv("XDG_CONFIG_HOME", std::filesystem::absolute("config").c_str(), 1);
  platform::UserProfile profile(u"Vestrel", u"Pulsor");
  RecentHosts first;
  first.add(u"127.0.0.1");
  first.add(u"host.example");
  ASSERT_TRUE(first.save(profile));
  EXPECT_EQ(profile.read_string(u"MRU", u"MRU1"), u"host.example");

  RecentHosts second;
  second.load(platform::UserProfile(u"Vestrel", u"Pulsor"));
  EXPECT_EQ(second.hosts(), first.hosts());
}

}  // namespace
}  // namespace kelda::ping
