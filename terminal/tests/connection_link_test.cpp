// The connect's GPRS link step over the connection manager's stand-in, with
// the device's address list stood in: every road (an address is there, the
// user declines, the link comes up, the link fails), the terminal's own link
// kept, reused and released, and the table bookings stopping at the first
// failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_client.h"
#include "network_present.h"
#include "platform/connection_manager.h"
#include "platform/host_addresses.h"
#include "terminal/login_dialog.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

namespace cmt = platform::connection_manager_test;
using Kind = ui::ScriptedServices::Asked::Kind;
using Addresses = std::vector<platform::Ipv4Address>;

constexpr char16_t kQuestion[] = u"Сеть недоступна. Подключиться через GPRS?";
constexpr char16_t kFailure[] = u"Не удалось подключиться через GPRS.";

class ConnectionLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    cmt::reset();
    app = std::make_unique<TerminalApp>(client);
    ASSERT_TRUE(app->init_instance());
  }
  void TearDown() override {
    app.reset();
    cmt::reset();
    test_network::stand_in_network();
  }
  DataFeedManager& m() { return app->data(); }
  bool connect() {
    ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
    return m().connect_to_server(false);
  }
  std::string log() {
    const auto path = test::test_dir() / "infolog.txt";
    return std::filesystem::exists(path) ? test::read_file_bytes(path) : std::string();
  }
  bool logged(const std::string& line, std::size_t from = 0) { return log().find(line, from) != std::string::npos; }

  ui::HeadlessUi ui;
  FakeClient client{10};
  std::unique_ptr<TerminalApp> app;
};

TEST_F(ConnectionLink, TheDevicesAddressDecidesWhetherALinkIsAskedFor) {
  struct Case {
    const char* name;
    Addresses addresses;
    int answer;  // 0: no question
    cmt::Outcome outcome;
    bool connected;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"an address beside loopback", {{127, 0, 0, 1}, {10, 1, 2, 3}}, 0, cmt::Outcome::connects, true,
       {"Device IP: 10.1.2.3."}},
      {"loopback and broadcast, declined", {{127, 0, 0, 1}, {255, 255, 255, 255}}, ui::id::no,
       cmt::Outcome::connects, false,
       {"Trying to establish GPRS connection...", "ERROR: GPRS not connected. Operation canceled by user."}},
      {"no interface, accepted", {}, ui::id::yes, cmt::Outcome::connects, true,
       {"Trying to establish GPRS connection...", "GPRS connection established."}},
      {"loopback alone, accepted, the link fails", {{127, 1, 1, 1}}, ui::id::yes, cmt::Outcome::fails, false,
       {"Trying to establish GPRS connection...",
        "ERROR: Can not establish GPRS connection. Reason: -2147467259, last system error: 995"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cmt::reset();
    cmt::set_outcome(c.outcome);
    platform::host_addresses_test::set_addresses(c.addresses);
    const std::size_t log_from = log().size();
    const std::size_t boxes_before = ui.script().asked(Kind::message_box).size();
    const int connects_before = client.connects;
    if (c.answer != 0) ui.script().answer_message_box(c.answer, kQuestion);
    if (c.outcome == cmt::Outcome::fails) ui.script().answer_message_box(ui::id::ok, kFailure);

    EXPECT_EQ(connect(), c.connected);
    EXPECT_EQ(m().connected(), c.connected);
    EXPECT_EQ(client.connects - connects_before, c.connected ? 1 : 0) << "the client library is not asked";
    EXPECT_TRUE(logged("Device hostname: " + platform::host_name() + ".", log_from));
    for (const std::string& line : c.lines) EXPECT_TRUE(logged(line + "\n", log_from)) << line << "\n" << log();
    EXPECT_TRUE(ui.script().all_used());
    const auto boxes = ui.script().asked(Kind::message_box);
    for (std::size_t i = boxes_before; i < boxes.size(); ++i) {
      EXPECT_EQ(boxes[i].caption, boxes[i].text == kQuestion ? u"KeldaMobile" : u"Ошибка");
      const UINT buttons = boxes[i].type & ui::mb::type_mask;
      EXPECT_EQ(buttons, boxes[i].text == kQuestion ? ui::mb::yes_no : ui::mb::ok);
    }

    const std::vector<cmt::Asked> asked = cmt::requests();
    ASSERT_EQ(asked.size(), c.answer == ui::id::yes ? 1u : 0u);
    if (!asked.empty()) {
      const platform::ConnectionRequest& r = asked[0].request;
      EXPECT_EQ(asked[0].timeout_ms, 20000u);
      EXPECT_EQ(r.size, sizeof(platform::ConnectionRequest));
      EXPECT_EQ(r.params, platform::conn_params::destination_given);
      EXPECT_EQ(r.flags, 0u);
      EXPECT_EQ(r.priority, 0x200u);
      EXPECT_EQ(r.exclusive, 0);
      EXPECT_EQ(r.disabled, 0);
      EXPECT_EQ(r.destination, platform::kConnInternetDestination);
      EXPECT_EQ(r.window, 0u);
      EXPECT_EQ(r.message, 0u);
      EXPECT_EQ(r.max_cost, 0u);
    }
    const bool link = c.answer == ui::id::yes && c.outcome == cmt::Outcome::connects;
    EXPECT_EQ(m().gprs_link() != 0, link);
    EXPECT_EQ(cmt::open_links(), link ? 1 : 0);

    m().disconnect();
    EXPECT_EQ(cmt::open_links(), 0) << "disconnecting releases the terminal's link";
    EXPECT_EQ(m().gprs_link(), 0u);
  }
}

// A link the terminal opened stays while the connect fails, serves the next
// connect while it is up, is given up once it dropped, and goes with
// disconnect also when no server connection was made.
TEST_F(ConnectionLink, TheTerminalsOwnLinkIsKeptReusedAndReleased) {
  platform::host_addresses_test::set_addresses({{127, 0, 0, 1}});
  client.connect_result = KELAPI_E_CONNECT_FAILED;
  ui.script().answer_message_box(ui::id::yes, kQuestion);
  ui.script().answer_message_box(ui::id::ok, u"no server");
  EXPECT_FALSE(connect());
  const uintptr_t first = m().gprs_link();
  ASSERT_NE(first, 0u) << "the link outlives a failed connect";

  ui.script().answer_message_box(ui::id::ok, u"no server");
  EXPECT_FALSE(connect());
  EXPECT_EQ(m().gprs_link(), first) << "a link that is up is used as it is";
  EXPECT_EQ(cmt::requests().size(), 1u);
  EXPECT_TRUE(ui.script().all_used()) << "no second question";

  ASSERT_TRUE(cmt::set_link_status(first, platform::conn_status::disconnected));
  client.connect_result = KELAPI_OK;
  ui.script().answer_message_box(ui::id::yes, kQuestion);
  EXPECT_TRUE(connect());
  EXPECT_NE(m().gprs_link(), first);
  EXPECT_EQ(cmt::requests().size(), 2u);
  EXPECT_EQ(cmt::open_links(), 1) << "the dropped link was given up";

  // The server connection ends; the link stays until the user disconnects.
  m().disconnect();
  EXPECT_EQ(cmt::open_links(), 0);
  EXPECT_TRUE(logged("Breaking GPRS connection...\n"));
  EXPECT_TRUE(logged("GPRS connection broken.\n"));
  EXPECT_EQ(m().gprs_disconnect(), 1);
  EXPECT_TRUE(logged("ERROR: Can not break connection. No GPRS connection was established.\n"));

  // Disconnect with a link held and no server connection releases the link
  // and changes nothing else.
  client.connect_result = KELAPI_E_CONNECT_FAILED;
  ui.script().answer_message_box(ui::id::yes, kQuestion);
  ui.script().answer_message_box(ui::id::ok, u"no server");
  EXPECT_FALSE(connect());
  ASSERT_NE(m().gprs_link(), 0u);
  m().disconnect();
  EXPECT_EQ(cmt::open_links(), 0);
  EXPECT_FALSE(m().connected());
  EXPECT_TRUE(ui.script().all_used());
}

TEST_F(ConnectionLink, TableBookingsStopAtTheFirstFailure) {
  client.booking_results["Transactions"] = KELAPI_E_NOT_SUPPORTED;
  ASSERT_TRUE(connect());
  ui.script().answer_message_box(ui::id::ok, u"KelapiBookTransactions failed (-2147220493)\n");
  KelapiStartInfo info{};
  info.trade_date = 20240105;
  DataFeedManager::on_client_event(KELAPI_EVENT_START, reinterpret_cast<uintptr_t>(&info), 0);
  ui::process_pending();
  EXPECT_EQ(client.booked, (std::vector<std::string>{"Classes", "TrdAccounts", "Transactions"}));
  const auto boxes = ui.script().asked(Kind::message_box);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Application Error");
  EXPECT_EQ(boxes[0].type & ui::mb::icon_mask, ui::mb::icon_error);
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
