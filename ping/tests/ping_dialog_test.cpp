#include "ping/ping_dialog.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <deque>
#include <iterator>
#include <filesystem>
#include <future>

#include "ping/host_lookup.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

namespace kelda::ping {
namespace {

// Answers from a script; requests beyond the script go unanswered.
class ScriptedSender : public EchoSender {
 public:
  explicit ScriptedSender(std::deque<int> answers, std::u16string unavailable = {})
      : answers_(std::move(answers)), unavailable_(std::move(unavailable)) {}
  EchoResult send_echo(std::uint32_t destination, std::chrono::milliseconds) override {
    destinations.push_back(destination);
    if (answers_.empty()) return {};
    const int rtt = answers_.front();
    answers_.pop_front();
    return rtt < 0 ? EchoResult{} : EchoResult{true, rtt};
  }
  std::u16string unavailable_reason() override { return unavailable_; }
  std::vector<std::uint32_t> destinations;

 private:
  std::deque<int> answers_;
  std::u16string unavailable_;
};

class PingDialogTest : public ::testing::Test {
 protected:
  PingDialogTest() {
    setenv("XDG_CONFIG_HOME", std::filesystem::absolute("config").c_str(), 1);
    register_ping_resources();
  }

  std::unique_ptr<PingDialog> open(std::unique_ptr<EchoSender> sender, ResolveFunction resolve = {}) {
    PingDialogOptions options;
    options.sender = std::move(sender);
    options.resolve = std::move(resolve);
    options.own_address = [] { return std::u16string(u"192.0.2.7"); };
    options.echo_timeout = std::chrono::milliseconds(1);
    auto dialog = std::make_unique<PingDialog>(profile_, std::move(options));
    EXPECT_TRUE(dialog->create_modeless(ui::Hwnd{}));
    return dialog;
  }

  // Types the host and presses Enter, then waits for the look-up's answer.
  void start(PingDialog& dialog, std::u16string_view host) {
    ui::scripted::set_text_by_typing(ui::get_dlg_item(dialog.hwnd(), ping_id::host), host);
    ui::scripted::press_key(ui::vk::enter);
    ui::run_loop_until([&] { return output(dialog).starts_with(u"Pinging"); });
  }

  static std::u16string output(const PingDialog& dialog) {
    return ui::get_dlg_item_text(dialog.hwnd(), ping_id::output);
  }

  ui::HeadlessUi ui_;
  platform::UserProfile profile_{u"Vestrel", u"Pulsor"};
};

TEST_F(PingDialogTest, RepeatModesSendTheirCountAndPrintNoStatisticsBelowFive) {
  for (const auto& [command, count] : {std::pair{ping_id::mode_once, 1}, std::pair{ping_id::mode_four, 4}}) {
    auto sender = std::make_unique<ScriptedSender>(std::deque<int>{3, -1, 5, 7});
    ScriptedSender& script = *sender;
    auto dialog = open(std::move(sender));
    ui::send_message(dialog->hwnd(), ui::wm::command, command);
    start(*dialog, u"127.0.0.1");
    for (int tick = 1; tick < count + 2; ++tick) ui_.advance(1000);
    EXPECT_FALSE(dialog->running());
    EXPECT_EQ(script.destinations.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(script.destinations.front(), inet_addr("127.0.0.1"));
    const std::u16string expected =
        count == 1 ? u"Pinging 127.0.0.1:\r\n1: Reply ok. Time: 3 ms\r\n"
                   : u"Pinging 127.0.0.1:\r\n1: Reply ok. Time: 3 ms\r\n2: Request timed out.\r\n"
                     u"3: Reply ok. Time: 5 ms\r\n4: Reply ok. Time: 7 ms\r\n";
    EXPECT_EQ(output(*dialog), expected);
    dialog->end_dialog(0);
  }
}

TEST_F(PingDialogTest, ContinuousRunStopsOnEnterWithStatistics) {
  auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>{-1, 10, -1, 30, 20}));
  ui::send_message(dialog->hwnd(), ui::wm::command, ping_id::mode_continuous);
  start(*dialog, u"localhost");
  for (int tick = 0; tick < 4; ++tick) ui_.advance(1000);
  EXPECT_TRUE(dialog->running());
  ui::scripted::press_key(ui::vk::enter);
  EXPECT_FALSE(dialog->running());
  EXPECT_TRUE(output(*dialog).ends_with(
      u"5: Reply ok. Time: 20 ms\r\n\r\nPacket statistics:\r\nsent / lost: 5 / 2 (40%)\r\n"
      u"RTT statistics:\r\nmin / max / aver: 10 / 30 / 20"))
      << std::string(output(*dialog).begin(), output(*dialog).end());
  dialog->end_dialog(0);
}

TEST_F(PingDialogTest, SwitchingFromContinuousToFourStopsAtTheNextTick) {
  auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>(10, 1)));
  ui::send_message(dialog->hwnd(), ui::wm::command, ping_id::mode_continuous);
  start(*dialog, u"127.0.0.1");
  for (int tick = 0; tick < 5; ++tick) ui_.advance(1000);
  ASSERT_EQ(dialog->round_trips().size(), 6u);
  ui::send_message(dialog->hwnd(), ui::wm::command, ping_id::mode_four);
  ui_.advance(1000);
  EXPECT_FALSE(dialog->running());
  EXPECT_EQ(dialog->round_trips().size(), 7u);
  dialog->end_dialog(0);
}

// Taps the command bar's button of a repeat mode, as a user does: the three
// mode buttons stand at the bar's right edge, 16-pixel images 7 pixels apart.
void tap_mode_button(const PingDialog& dialog, UINT command) {
  const ui::Hwnd bar = ui::find_menu_bar(dialog.hwnd());
  ASSERT_TRUE(bar);
  const UINT order[] = {ping_id::mode_once, ping_id::mode_four, ping_id::mode_continuous};
  const int from_right = static_cast<int>(std::end(order) - std::find(std::begin(order), std::end(order), command));
  const RECT r = ui::get_client_rect(bar);
  const int right = r.right - static_cast<int>(2 * ui::scale_x());
  ui::scripted::tap_at(bar, POINT{right - from_right * 23 + 11, r.bottom / 2});
  ASSERT_TRUE(ui::is_toolbar_button_checked(bar, command));
}

// The last line of the output box is on screen.
bool last_line_shown(const PingDialog& dialog) {
  const ui::Hwnd out = ui::get_dlg_item(dialog.hwnd(), ping_id::output);
  ui::ScrollInfo info;
  if (!ui::get_scroll_info(out, ui::sb::vert, info)) return false;
  const auto first = static_cast<int>(ui::send_message(out, ui::em::get_first_visible_line));
  const auto lines = static_cast<int>(ui::send_message(out, ui::em::get_line_count));
  return first + static_cast<int>(info.page) >= lines;
}

TEST_F(PingDialogTest, EnterWorksAfterAModeTapAndTheNewestLinesStayInView) {
  auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>(40, 2)));
  ui::scripted::set_text_by_typing(ui::get_dlg_item(dialog->hwnd(), ping_id::host), u"127.0.0.1");
  // The tap on a mode button leaves the keyboard with the dialog: Enter starts.
  tap_mode_button(*dialog, ping_id::mode_continuous);
  ui::scripted::press_key(ui::vk::enter);
  ASSERT_TRUE(dialog->running());
  ui::run_loop_until([&] { return output(*dialog).starts_with(u"Pinging"); });
  for (int tick = 0; tick < 20; ++tick) ui_.advance(1000);
  EXPECT_TRUE(last_line_shown(*dialog)) << "the newest reply is in view";
  ASSERT_GT(ui::send_message(ui::get_dlg_item(dialog->hwnd(), ping_id::output), ui::em::get_first_visible_line), 0)
      << "the box is full: the case needs scrolling";
  // A tap while running, then Enter stops; the statistics are in view.
  tap_mode_button(*dialog, ping_id::mode_continuous);
  ui::scripted::press_key(ui::vk::enter);
  EXPECT_FALSE(dialog->running());
  EXPECT_TRUE(output(*dialog).ends_with(u"min / max / aver: 2 / 2 / 2"));
  EXPECT_TRUE(last_line_shown(*dialog)) << "the statistics are in view";
  // Back in the idle state Enter starts again after a tap on another mode.
  tap_mode_button(*dialog, ping_id::mode_four);
  ui::scripted::press_key(ui::vk::enter);
  EXPECT_TRUE(dialog->running());
  dialog->end_dialog(0);
}

TEST_F(PingDialogTest, HostThatDoesNotResolveGetsItsText) {
  auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>{}));
  start(*dialog, u"no-such-host.invalid");
  EXPECT_EQ(output(*dialog), u"Pinging no-such-host.invalid:\r\nError: invalid host.");
  EXPECT_FALSE(dialog->running());
}

TEST_F(PingDialogTest, LateAnswerOfAnOlderRequestIsDropped) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  auto resolve = [released](std::u16string_view host) {
    released.wait();
    return host == u"slow.example" ? inet_addr("192.0.2.99") : inet_addr("192.0.2.1");
  };
  auto sender = std::make_unique<ScriptedSender>(std::deque<int>{4});
  ScriptedSender& script = *sender;
  auto dialog = open(std::move(sender), resolve);
  ui::send_message(dialog->hwnd(), ui::wm::command, ping_id::mode_once);
  const ui::Hwnd combo = ui::get_dlg_item(dialog->hwnd(), ping_id::host);
  ui::scripted::set_text_by_typing(combo, u"slow.example");
  ui::scripted::press_key(ui::vk::enter);
  ui_.advance(2000);  // the resolve time-out
  EXPECT_EQ(output(*dialog), u"Pinging slow.example:\r\nError: invalid host.");

  ui::scripted::set_text_by_typing(combo, u"hold.example");
  ui::scripted::press_key(ui::vk::enter);
  // The first request's answer comes while the second is still resolving.
  ui::send_message(dialog->hwnd(), msg_resolved,
                   reinterpret_cast<WPARAM>(new ResolvedHost{1, inet_addr("192.0.2.99")}));
  EXPECT_EQ(output(*dialog), u"");
  EXPECT_TRUE(script.destinations.empty());

  release.set_value();
  ui::run_loop_until([&] { return !dialog->running(); });
  EXPECT_EQ(output(*dialog), u"Pinging 192.0.2.1:\r\n1: Reply ok. Time: 4 ms\r\n");
  EXPECT_EQ(script.destinations, std::vector<std::uint32_t>{inet_addr("192.0.2.1")});
}

TEST_F(PingDialogTest, WithoutIcmpTheRunSaysWhy) {
  auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>{}, u"no ICMP socket allowed"));
  start(*dialog, u"127.0.0.1");
  EXPECT_EQ(output(*dialog), u"Pinging 127.0.0.1:\r\nError: no ICMP socket allowed\r\n");
  EXPECT_FALSE(dialog->running());
}

TEST_F(PingDialogTest, RecentHostsSurviveARestartAndOwnAddressShows) {
  {
    auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>(8, 1)));
    ui::send_message(dialog->hwnd(), ui::wm::command, ping_id::mode_once);
    start(*dialog, u"first.invalid");
    start(*dialog, u"127.0.0.1");
    ui::run_loop_until([&] {
      return ui::get_dlg_item_text(dialog->hwnd(), ping_id::own_address) == u"192.0.2.7";
    });
    ui::destroy_window(dialog->hwnd());
  }
  auto dialog = open(std::make_unique<ScriptedSender>(std::deque<int>{}));
  const ui::Hwnd combo = ui::get_dlg_item(dialog->hwnd(), ping_id::host);
  ASSERT_EQ(ui::send_message(combo, ui::cb::get_count), 2);
  EXPECT_EQ(dialog->recent_hosts().hosts(), (std::vector<std::u16string>{u"127.0.0.1", u"first.invalid"}));
}

// The program's dialog on the Qt backend, pinging the loopback for real.
TEST(PulsorOnScreen, PingsTheLoopbackAndLeavesAScreenshot) {
  setenv("XDG_CONFIG_HOME", std::filesystem::absolute("config").c_str(), 1);
  ui::QtUiOptions options;
  options.show_window = false;
  ui::QtUi ui(options);
  register_ping_resources();
  platform::UserProfile profile(u"Vestrel", u"Pulsor");
  PingDialog dialog(profile);
  ASSERT_TRUE(dialog.create_modeless(ui::Hwnd{}));
  ui::send_message(dialog.hwnd(), ui::wm::command, ping_id::mode_once);
  ui::scripted::set_text_by_typing(ui::get_dlg_item(dialog.hwnd(), ping_id::host), u"127.0.0.1");
  ui::scripted::press_key(ui::vk::enter);
  ui::run_loop_until([&] { return !dialog.running(); });
  ui::run_loop_until([&] { return !ui::get_dlg_item_text(dialog.hwnd(), ping_id::own_address).empty(); });
  ui::process_pending();
  const std::u16string text = ui::get_dlg_item_text(dialog.hwnd(), ping_id::output);
  EXPECT_TRUE(ui.save_screenshot(KELDA_PING_SCREENSHOT));
  if (IcmpEchoSender probe; !probe.open()) {
    EXPECT_NE(text.find(u"Error: Cannot send ICMP echo requests"), std::u16string::npos);
  } else {
    EXPECT_TRUE(text.starts_with(u"Pinging 127.0.0.1:\r\n1: Reply ok. Time: "))
        << std::string(text.begin(), text.end());
  }
  dialog.end_dialog(0);
}

}  // namespace
}  // namespace kelda::ping
