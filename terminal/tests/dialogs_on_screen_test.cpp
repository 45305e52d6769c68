// The terminal's dialogs on the Qt backend (offscreen) against the server
// double's demo market and trading desk: an order entered in the order
// window reaches the desk with what was typed, a refusal shows the server's
// own text, and each dialog leaves a screenshot in the build folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "demo_server.h"
#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal_dialogs/instrument_select_dialog.h"
#include "terminal_dialogs/main_settings_dialog.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

class Photographer {
 public:
  explicit Photographer(ui::QtUi& ui) : ui_(ui) { std::filesystem::create_directories(KELDA_DIALOG_SHOTS); }
  bool take(ui::Hwnd window, const char* name) {
    ui::update_window(window);
    ui::process_pending();
    return ui_.save_screenshot(std::string(KELDA_DIALOG_SHOTS) + "/" + name + ".png");
  }

 private:
  ui::QtUi& ui_;
};

TEST(TerminalDialogsOnScreen, OrdersReachTheDemoDeskAndEveryDialogIsPhotographed) {
  DemoServer server(true);
  write_demo_work_folder(server.port());
  test_e2e::OffscreenTerminalUi offscreen;
  ui::QtUi& qt = offscreen.qt;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  Photographer camera(qt);
  TerminalApp app;
  register_main_settings();
  register_instrument_select();
  register_order_window();
  ASSERT_TRUE(app.init_instance());
  DataFeedManager& m = app.data();
  const ui::Hwnd frame = app.frame()->hwnd();

  test_e2e::connect_to_demo(app, *script);
  ASSERT_TRUE(m.connected());
  ui::run_loop_until([&] { return m.started() && m.tables().classes.size() == 2; });
  ClassRecord* shares = m.tables().find_class("TQBR");
  ASSERT_NE(shares, nullptr);
  // The double serves no trading accounts: one of the class's firm.
  auto account = std::make_unique<KelapiTrdAccountRecord>();
  account->account_number = 1;
  copy_text(account->code2, field_text(shares->record.code2));
  copy_text(account->code, "L01");
  m.tables().account_by_number[1] = account.get();
  m.tables().accounts.push_back(std::move(account));

  // The modal dialogs, each photographed while open.
  int shots = 0;
  auto photograph_and_cancel = [&](const char* name) {
    return [&, name](ui::DialogDriver& d) {
      shots += camera.take(d.dialog(), name) ? 1 : 0;
      d.click(ui::id::cancel);
    };
  };
  script->on_dialog(kMainSettingsDialogId, photograph_and_cancel("main_settings"));
  ui::send_message(frame, ui::wm::command, cmd::settings_main);
  script->on_dialog(kInstrumentSelectDialogId, photograph_and_cancel("instrument_select"));
  ui::send_message(frame, ui::wm::command, cmd::lists);
  script->on_dialog(kNewMarketWindowDialogId, photograph_and_cancel("new_quotes_window"));
  NewMarketWindowDlg(true).do_modal(frame);
  script->on_dialog(kAddTableItemDialogId, photograph_and_cancel("add_table_item"));
  AddTableItemDlg(true).do_modal(frame);
  EXPECT_EQ(shots, 4);

  // A buy far above the book trades at once; the desk got what was typed.
  OrderPrefill buy;
  buy.set_class("TQBR");
  buy.set_security("GAZP");
  buy.set_client("C1");
  buy.set_price(999, 2);
  buy.set_quantity(3);
  ASSERT_TRUE(open_order_window(buy));
  MainView& view = app.frame()->view();
  auto* window = dynamic_cast<OrderEntryWnd*>(view.slot(view.active_slot()));
  ASSERT_NE(window, nullptr);
  const ui::DialogDriver d(window->dialog().hwnd());
  EXPECT_TRUE(camera.take(frame, "order_window"));
  ASSERT_TRUE(d.enabled(ui::id::ok));
  script->answer_message_box(ui::id::yes, u"бумага [");
  script->answer_message_box(ui::id::ok, u"registered");
  d.click(ui::id::ok);
  ui::run_loop_until([&] { return !server.orders().empty() && script->all_used(); });
  const std::vector<server_double::DemoOrder> orders = server.orders();
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0].account, "L01");
  EXPECT_EQ(orders[0].client_code, "C1");
  EXPECT_EQ(orders[0].quantity, 3);
  EXPECT_EQ(orders[0].flags & 0x4, 0u) << "a buy";

  // A quantity of 0 passes the number check; the server refuses it and its
  // text is shown.
  d.set_text(order_id::quantity, u"0");
  d.click(order_id::sell);
  script->answer_message_box(ui::id::yes, u"[ПРОДАЖА]");
  script->answer_message_box(ui::id::ok, u"Wrong price or quantity");
  d.click(ui::id::ok);
  ui::run_loop_until([&] { return script->all_used(); });
  EXPECT_EQ(server.orders().size(), 1u);
  EXPECT_TRUE(script->problems().empty());

  // Leave as a user does: the link closes before the terminal goes.
  test_e2e::exit_through_menu(app, *script);
  EXPECT_FALSE(m.connected());
}

}  // namespace
}  // namespace kelda::terminal
