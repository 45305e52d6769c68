// The [proxy] section: defaults, reading, writing, and the one-time move of
// the older password-mode key.
#include <gtest/gtest.h>

#include <cstring>

#include "proxy.h"
#include "testsupport/test_dir.h"

namespace kelda::dtcp::testing {
namespace {

using kelda::test::read_file_bytes;
using kelda::test::write_file_bytes;

const std::string kFile = "settings.txt";

zn_proxy_params read_back(bool* in_use = nullptr) {
  zn_proxy_params p{};
  const bool used = read_proxy_settings(kFile, p);
  if (in_use) *in_use = used;
  return p;
}

TEST(ProxySettings, DefaultsWithoutTheSectionAndValuesWithIt) {
  bool in_use = true;
  zn_proxy_params p = read_back(&in_use);
  EXPECT_FALSE(in_use);
  EXPECT_EQ(p.version, 1u);
  EXPECT_EQ(p.protocol, 2u);
  EXPECT_EQ(p.address, 0u);
  EXPECT_EQ(p.port, 0u);
  EXPECT_EQ(p.get_password_mode, 0u);

  write_file_bytes(kFile,
                   "[connect]\r\nport=1\r\n[proxy]\r\nuse-proxy=1\r\nproxy-protocol=4\r\n"
                   "proxy-server-ip-address=192.168.10.20\r\nproxy-port=3128\r\n"
                   "get-password-mode=1\r\nproxy-user-name=\xC8\xE2\xE0\xED\r\n"
                   "proxy-user-password=p w\r\n");
  p = read_back(&in_use);
  EXPECT_TRUE(in_use);
  EXPECT_EQ(p.protocol, 4u);
  EXPECT_EQ(p.address, 0x140AA8C0u);
  EXPECT_EQ(p.port, 3128u);
  EXPECT_EQ(p.get_password_mode, 1u);
  EXPECT_STREQ(p.user_name, "\xC8\xE2\xE0\xED");  // 1251 bytes kept as they are
  EXPECT_STREQ(p.password, "p w");

  // A host name is no address; an overlong name is cut to the record's 63.
  write_file_bytes(kFile, "[proxy]\r\nproxy-server-ip-address=proxy.local\r\nproxy-user-name=" +
                              std::string(100, 'n') + "\r\n");
  p = read_back();
  EXPECT_EQ(p.address, 0u);
  EXPECT_EQ(std::string(p.user_name), std::string(63, 'n'));
}

TEST(ProxySettings, TheOlderKeyIsMovedOnceAndThenGone) {
  struct Case {
    const char* section;
    uint32_t mode;
  };
  const Case cases[] = {
      {"[proxy]\r\ntake-name-password-from-ini-file=1\r\n", 1},
      {"[proxy]\r\nget-password-mode=0\r\ntake-name-password-from-ini-file=7\r\n", 1},
      {"[proxy]\r\nget-password-mode=1\r\ntake-name-password-from-ini-file=0\r\n", 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.section);
    write_file_bytes(kFile, k.section);
    EXPECT_EQ(read_back().get_password_mode, k.mode);
    const std::string file = read_file_bytes(kFile);
    EXPECT_EQ(file.find("take-name-password-from-ini-file"), std::string::npos) << file;
    EXPECT_NE(file.find("get-password-mode=" + std::to_string(k.mode) + "\r\n"), std::string::npos)
        << file;
  }

  // The user's later choice stays.
  zn_proxy_params p = read_back();
  p.get_password_mode = 1;
  ASSERT_TRUE(write_proxy_settings(kFile, p));
  EXPECT_EQ(read_back().get_password_mode, 1u);
  EXPECT_EQ(read_back().get_password_mode, 1u);
}

TEST(ProxySettings, WritingStoresEveryKeyAndDropsTheOlderOne) {
  write_file_bytes(kFile, "[proxy]\r\ntake-name-password-from-ini-file=1\r\n");
  zn_proxy_params p{1, 1, 0x0100007F, 1080, 3, 0, {}, {}};
  set_proxy_field(p.user_name, "bob");
  set_proxy_field(p.password, "pw");
  ASSERT_TRUE(write_proxy_settings(kFile, p));
  const std::string file = read_file_bytes(kFile);
  for (const char* line : {"use-proxy=1\r\n", "proxy-protocol=3\r\n",
                           "proxy-server-ip-address=127.0.0.1\r\n", "proxy-port=1080\r\n",
                           "get-password-mode=0\r\n", "proxy-user-name=bob\r\n",
                           "proxy-user-password=pw\r\n"}) {
    EXPECT_NE(file.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(file.find("take-name"), std::string::npos);

  bool in_use = false;
  zn_proxy_params back = read_back(&in_use);
  EXPECT_TRUE(in_use);
  EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0);

  p.use_proxy = 0;
  ASSERT_TRUE(write_proxy_settings(kFile, p));
  EXPECT_NE(read_file_bytes(kFile).find("use-proxy=0\r\n"), std::string::npos);
  EXPECT_FALSE(write_proxy_settings("", p));
}

}  // namespace
}  // namespace kelda::dtcp::testing
