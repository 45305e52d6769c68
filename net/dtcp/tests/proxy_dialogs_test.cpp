// The proxy settings dialog and the name and password dialog, driven by
// scripted input on a headless user-interface session: what they show, which
// controls they enable, what they refuse, and what lands in the settings file.
#include <gtest/gtest.h>

#include <cstring>

#include "proxy.h"
#include "proxy_dialogs.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/ip_address.h"
#include "ui/testing.h"

namespace kelda::dtcp::testing {
namespace {

namespace ids = proxy_ids;
using ui::DialogDriver;
using Kind = ui::ScriptedServices::Asked::Kind;

const char16_t* const kSettings = u"PROXY_CFG_DIALOG_0X09_0X01";
const char16_t* const kLogin = u"PROXY_NAME_PASSWORD_DIALOG_0X09_0X01";
const char16_t* const kHttpLogin =
    u"CONNECT through HTTP port with identification by name and password";
const char16_t* const kSocksLogin = u"SOCKS5 protocol with identification by name and password";
const char16_t* const kSocks = u"SOCKS5 protocol without user identification";
const char16_t* const kHttp = u"CONNECT through HTTP port of proxy server";

zn_proxy_params record(uint32_t use, uint32_t address, uint32_t port, uint32_t protocol,
                       uint32_t mode, std::string_view name = "", std::string_view password = "") {
  zn_proxy_params p{1, use, address, port, protocol, mode, {}, {}};
  set_proxy_field(p.user_name, name);
  set_proxy_field(p.password, password);
  return p;
}

class ProxyDialogs : public ::testing::Test {
 protected:
  ui::HeadlessUi session;
  ui::ScriptedServices& script = session.script();
  const std::string ini = (test::test_dir() / "KeldaMobile.txt").string();
};

TEST_F(ProxyDialogs, OpensWithTheSettingsAndStoresWhatTheUserChose) {
  zn_proxy_params proxy = record(1, 0x0100007F, 3128, kProxyHttpLogin, 0, "alice", "pw");
  script.on_dialog(kSettings, [](DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Internet connection");
    EXPECT_EQ(d.checked(ids::use_proxy), ui::bst::checked);
    EXPECT_EQ(ui::get_class_name(d.item(ids::address)), ui::class_name::ip_address);
    EXPECT_EQ(d.text(ids::address), u"127.0.0.1");
    EXPECT_EQ(d.text(ids::port), u"3128");
    EXPECT_EQ(d.text(ids::protocol), kHttpLogin);
    EXPECT_EQ(d.checked(ids::ask), ui::bst::checked);
    EXPECT_EQ(d.text(ids::user_name), u"alice");
    // The list is sorted, each item carrying its protocol.
    const ui::Hwnd list = d.item(ids::protocol);
    ASSERT_EQ(ui::send_message(list, ui::cb::get_count), 4);
    for (int i = 0; i < 4; ++i) {
      const uint32_t protocol = static_cast<uint32_t>(ui::send_message(list, ui::cb::get_item_data, i));
      EXPECT_EQ(protocol, std::vector<uint32_t>({1, 4, 3, 2})[i]);
    }

    d.set_text(ids::address, u"10.0.0.5");
    d.set_text(ids::port, u"1080");
    ASSERT_TRUE(d.choose(ids::protocol, kSocksLogin));
    d.click(ids::stored);
    d.set_text(ids::user_name, u"Иван");
    d.set_text(ids::password, std::u16string(70, u'p'));  // the edit takes 63
    d.click(ui::id::ok);
    EXPECT_FALSE(d.open());
  });
  ASSERT_EQ(config_proxy_settings(0, ini, &proxy, Locale{}), 1);

  const zn_proxy_params expected =
      record(1, 0x0500000A, 1080, kProxySocks5Login, 1, "\xC8\xE2\xE0\xED", std::string(63, 'p'));
  EXPECT_EQ(std::memcmp(&proxy, &expected, sizeof proxy), 0);
  zn_proxy_params stored{};
  EXPECT_TRUE(read_proxy_settings(ini, stored));
  EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0);
  EXPECT_NE(test::read_file_bytes(ini).find("proxy-user-name=\xC8\xE2\xE0\xED\r\n"), std::string::npos);
}

TEST_F(ProxyDialogs, EnablingFollowsTheBoxTheProtocolAndTheMode) {
  struct Case {
    bool use;
    const char16_t* protocol;
    bool stored;
    bool server, modes, login;  // address/port/protocol, radios, name/password
  };
  const Case cases[] = {
      {false, kHttpLogin, true, false, false, false}, {true, kHttp, true, true, false, false},
      {true, kSocks, true, true, false, false},       {true, kSocksLogin, false, true, true, false},
      {true, kSocksLogin, true, true, true, true},    {true, kHttpLogin, true, true, true, true},
  };
  zn_proxy_params proxy = record(0, 0, 0, kProxySocks5, 0);
  script.on_dialog(kSettings, [&](DialogDriver& d) {
    // Opened unchecked: only the box and the buttons take input.
    for (int id : {ids::address, ids::port, ids::protocol, ids::ask, ids::stored, ids::user_name,
                   ids::password}) {
      EXPECT_FALSE(d.enabled(id)) << id;
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      SCOPED_TRACE(i);
      const Case& k = cases[i];
      if (d.checked(ids::use_proxy) != ui::bst::checked) d.click(ids::use_proxy);
      ASSERT_TRUE(d.choose(ids::protocol, k.protocol));
      d.click(ids::ask);
      if (k.stored) d.click(ids::stored);
      if (!k.use) d.click(ids::use_proxy);
      for (int id : {ids::address, ids::port, ids::protocol}) EXPECT_EQ(d.enabled(id), k.server);
      for (int id : {ids::ask, ids::stored}) EXPECT_EQ(d.enabled(id), k.modes);
      for (int id : {ids::user_name, ids::password}) EXPECT_EQ(d.enabled(id), k.login);
      EXPECT_TRUE(d.enabled(ui::id::ok));
    }
    d.click(ui::id::cancel);
  });
  EXPECT_EQ(config_proxy_settings(0, "", &proxy, Locale{}), 0);
}

TEST_F(ProxyDialogs, MissingOrBadFieldsAreShownAndTheDialogStaysOpen) {
  struct Case {
    std::u16string address;
    std::u16string port;
    std::u16string message;
    int focus;
  };
  const Case cases[] = {
      {u"", u"", u"Не указан IP-адрес прокси - сервера.\nНе указан IP-порт прокси - сервера.\n",
       ids::address},
      {u"10.0.0.1", u"", u"Не указан IP-порт прокси - сервера.\n", ids::port},
      {u"10.0.0", u"80", u"Неверно указан IP-адрес прокси - сервера.\n", ids::address},
      {u"..1", u"80", u"Неверно указан IP-адрес прокси - сервера.\n", ids::address},
      {u"10.0.0.1", u"70000", u"Неверно указан IP-порт прокси - сервера.\n", ids::port},
      {u"10.0.0.1", u"0", u"Неверно указан IP-порт прокси - сервера.\n", ids::port},
  };
  zn_proxy_params proxy = record(1, 0, 0, kProxySocks5, 0);
  script.on_dialog(kSettings, [&](DialogDriver& d) {
    for (const Case& k : cases) {
      d.set_text(ids::address, k.address);
      d.set_text(ids::port, k.port);
      d.click(ui::id::ok);
      EXPECT_TRUE(d.open());
      EXPECT_EQ(ui::get_focus(), d.item(k.focus));
    }
    d.set_text(ids::address, u"192.168.1.1");
    d.set_text(ids::port, u"8080");
    d.click(ui::id::ok);
  });
  ASSERT_EQ(config_proxy_settings(0, ini, &proxy, Locale{}), 1);
  EXPECT_EQ(proxy.address, 0x0101A8C0u);
  EXPECT_EQ(proxy.port, 8080u);

  const auto boxes = script.asked(Kind::message_box);
  ASSERT_EQ(boxes.size(), std::size(cases));
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(boxes[i].text, cases[i].message);
    EXPECT_EQ(boxes[i].caption, u"Ошибка");
    EXPECT_EQ(boxes[i].type & ui::mb::icon_mask, ui::mb::icon_error);
  }
}

TEST_F(ProxyDialogs, TurningTheProxyOffKeepsTheOtherSettingsAndCancelChangesNothing) {
  const zn_proxy_params original = record(1, 0x0100007F, 3128, kProxyHttp, 1, "bob", "pw");
  ASSERT_TRUE(write_proxy_settings(ini, original));
  script.on_dialog(kSettings, [](DialogDriver& d) {
    d.set_text(ids::port, u"9999");  // typed, then the proxy is turned off
    d.click(ids::use_proxy);
    d.click(ui::id::ok);
  });
  ASSERT_EQ(config_proxy_settings(0, ini, nullptr, Locale{}), 1);
  zn_proxy_params stored{};
  EXPECT_FALSE(read_proxy_settings(ini, stored));
  zn_proxy_params expected = original;
  expected.use_proxy = 0;
  EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0);

  const std::string before = test::read_file_bytes(ini);
  script.on_dialog(kSettings, [](DialogDriver& d) {
    d.click(ids::use_proxy);
    d.set_text(ids::port, u"1");
    d.click(ids::help);  // does nothing
    EXPECT_TRUE(d.open());
    d.click(ui::id::cancel);
  });
  zn_proxy_params untouched = original;
  EXPECT_EQ(config_proxy_settings(0, ini, &untouched, Locale{}), 0);
  EXPECT_EQ(std::memcmp(&untouched, &original, sizeof untouched), 0);
  EXPECT_EQ(test::read_file_bytes(ini), before);

  // Neither a record nor a file: nothing to edit, no dialog.
  EXPECT_EQ(config_proxy_settings(0, "", nullptr, Locale{}), 0);
  EXPECT_EQ(script.asked(Kind::modal_dialog).size(), 2u);
}

TEST_F(ProxyDialogs, SettingsThatCannotBeStoredAreNotReportedAsSaved) {
  const std::string unwritable = (test::test_dir() / "missing" / "KeldaMobile.txt").string();
  script.on_dialog(kSettings, [](DialogDriver& d) {
    d.set_text(ids::port, u"8080");
    d.click(ui::id::ok);
  });
  const zn_proxy_params original = record(1, 0x0100007F, 3128, kProxyHttp, 1);
  zn_proxy_params proxy = original;
  EXPECT_EQ(config_proxy_settings(0, unwritable, &proxy, Locale{}), 0);
  EXPECT_EQ(std::memcmp(&proxy, &original, sizeof proxy), 0);
}

TEST_F(ProxyDialogs, RussianTemplatesOpenForRussian) {
  const Locale russian{0x19, 0x01, 0x01};
  zn_proxy_params proxy = record(0, 0x0100007F, 0, kProxySocks5, 0);
  script.on_dialog(u"PROXY_CFG_DIALOG_0X19_0X01", [](DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Подключение к Интернету");
    EXPECT_EQ(d.text(ids::protocol), u"Протокол SOCKS5 без идентификации пользователя");
    EXPECT_EQ(ui::get_class_name(d.item(ids::address)), ui::class_name::ip_address);
    EXPECT_EQ(d.text(ids::address), u"127.0.0.1");
    d.click(ui::id::cancel);
  });
  EXPECT_FALSE(run_proxy_settings_dialog(proxy, 0, russian));
  script.on_dialog(u"PROXY_NAME_PASSWORD_DIALOG_0X19_0X01", [](DialogDriver& d) { d.click(ui::id::cancel); });
  EXPECT_FALSE(run_proxy_login_dialog(proxy, 0, russian));
  EXPECT_TRUE(script.all_used());
}

TEST_F(ProxyDialogs, LoginDialogNamesTheProxyAndTakesTheTypedLogin) {
  zn_proxy_params proxy = record(1, 0x0100007F, 3128, kProxyHttpLogin, 0, "stored", "old");
  script.on_dialog(kLogin, [](DialogDriver& d) {
    const std::u16string title = ui::get_window_text(d.dialog());
    EXPECT_TRUE(title.ends_with(u" [127.0.0.1:3128]")) << std::string(title.begin(), title.end());
    EXPECT_GT(title.size(), std::u16string(u" [127.0.0.1:3128]").size());
    EXPECT_EQ(d.text(ids::login_name), u"stored");
    EXPECT_EQ(d.text(ids::login_password), u"");
    d.set_text(ids::login_name, u"Пётр");
    d.set_text(ids::login_password, u"s3cret");
    d.click(ui::id::ok);
  });
  ASSERT_TRUE(run_proxy_login_dialog(proxy, 0, Locale{}));
  EXPECT_STREQ(proxy.user_name, "\xCF\xB8\xF2\xF0");
  EXPECT_STREQ(proxy.password, "s3cret");

  script.on_dialog(kLogin, [](DialogDriver& d) {
    d.set_text(ids::login_name, u"other");
    d.click(ui::id::cancel);
  });
  EXPECT_FALSE(run_proxy_login_dialog(proxy, 0, Locale{}));
  EXPECT_STREQ(proxy.user_name, "\xCF\xB8\xF2\xF0");
}

}  // namespace
}  // namespace kelda::dtcp::testing
