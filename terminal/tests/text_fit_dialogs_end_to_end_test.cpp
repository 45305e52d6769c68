// Whole text in every dialog of the terminal on the 240 x 320 screen (and the
// order window turned to landscape as well),
// offscreen on the Qt backend against the server double's demo market: every
// label and button fits its box and shows on the screen, measured with the
// faces the screen draws them in. Each dialog is opened as the user opens it
// where that is one command away, else by its class, and photographed while
// open (PNG files in the build folder's "text_fit").
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "demo_server.h"
#include "demo_session.h"
#include "demo_terminal.h"
#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "terminal/column_setup_dialog.h"
#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/param_table_set.h"
#include "terminal/table_window.h"
#include "terminal/text_log.h"
#include "terminal_chart/chart_properties_dialog.h"
#include "terminal_chart/indicator_catalogue.h"
#include "terminal_chart/indicator_dialogs.h"
#include "terminal_dialogs/connection_list_dialog.h"
#include "terminal_dialogs/instrument_select_dialog.h"
#include "terminal_dialogs/main_settings_dialog.h"
#include "terminal_dialogs/order_entry.h"
#include "testsupport/test_dir.h"
#include "text_fit.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

using test_e2e::wait_for;
using test_fit::Cut;

TEST(TextFitEndToEnd, EveryDialogLabelShowsWholeOnThePortraitScreen) {
  DemoSession server;
  write_demo_connection(server.port(), "global_filter=0\n");
  test_e2e::OffscreenTerminalUi offscreen;
  ui::QtUi& qt = offscreen.qt;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  DemoTerminal run(*script);
  register_main_settings();
  register_instrument_select();
  register_connection_dialogs();
  register_column_setup_dialog();
  register_indicator_dialogs();
  register_chart_properties_dialog();
  ASSERT_TRUE(run.app().init_instance());
  DataFeedManager& m = run.m();
  const ui::Hwnd frame = run.frame();
  const std::filesystem::path shots = KELDA_FIT_SHOTS;
  std::filesystem::create_directories(shots);

  // A dialog shows above the command bar.
  RECT area = test_fit::screen_area();
  area.bottom = ui::get_window_rect(run.app().frame()->menu_bar()).top;
  ASSERT_GT(area.bottom, 200);
  std::vector<Cut> cuts;
  std::vector<std::string> seen;
  const auto look_at = [&](ui::Hwnd window, const std::string& name) {
    seen.push_back(name);
    ui::update_window(window);
    ui::process_pending();
    EXPECT_TRUE(qt.save_screenshot((shots / (name + ".png")).string())) << name;
    const std::vector<Cut> found = test_fit::cut_labels(window, name, area);
    cuts.insert(cuts.end(), found.begin(), found.end());
  };
  // Looks at the next dialog made from `id`, then leaves it as Cancel does.
  const auto inspect = [&](int id, const std::string& name) {
    script->on_dialog(id, [&, name](ui::DialogDriver& d) {
      look_at(d.dialog(), name);
      ui::end_dialog(d.dialog(), ui::id::cancel);
    });
  };
  // Pages of a tab control: each shown in turn, as a tap on its tab does.
  const auto inspect_pages = [&](int id, int tabs, const std::string& name) {
    script->on_dialog(id, [&, tabs, name](ui::DialogDriver& d) {
      const ui::TabControlWrapper tab{d.item(tabs)};
      for (int page = 0; page < std::max(1, tab.count()); ++page) {
        if (tab.count() > 0) {
          tab.set_cur_sel(page);
          ui::NotifyHeader h{d.item(tabs), static_cast<uintptr_t>(tabs), ui::tcn::sel_change};
          ui::send_notify(d.dialog(), h);
        }
        look_at(d.dialog(), name + (page > 0 ? " page " + std::to_string(page + 1) : ""));
      }
      ui::end_dialog(d.dialog(), ui::id::cancel);
    });
  };

  // Connecting: the login dialog, answered.
  script->on_dialog(kLoginDialogId, [&](ui::DialogDriver& d) {
    look_at(d.dialog(), "login");
    d.set_text(login_id::password, u"demo");
    d.click(ui::id::ok);
  });
  ui::send_message(frame, ui::wm::command, cmd::connect);
  ASSERT_TRUE(m.connected());
  ASSERT_TRUE(wait_for([&] { return m.started() && m.tables().classes.size() == 2; }));
  run.add_account();
  const ClassRecord* shares = m.tables().find_class("TQBR");
  ASSERT_NE(shares, nullptr);
  const auto class_number = static_cast<int32_t>(shares->record.class_number);

  inspect(kAboutDialogId, "about");
  ui::send_message(frame, ui::wm::command, cmd::about);
  inspect(kMainSettingsDialogId, "main_settings");
  ui::send_message(frame, ui::wm::command, cmd::settings_main);
  inspect(kConnectionListDialogId, "connection_list");
  ui::send_message(frame, ui::wm::command, cmd::connections);
  inspect(kConnectionEditDialogId, "connection_edit");
  ConnectionEditDlg(true, {}).do_modal(frame);
  inspect(kInstrumentSelectDialogId, "instrument_select");
  ui::send_message(frame, ui::wm::command, cmd::lists);
  inspect(kFilterDialogId, "filter");
  FilterDlg(filter_mode::securities, class_number, {}).do_modal(frame);
  inspect(kAddItemDialogId, "add_item");
  AddItemDlg(filter_mode::securities, class_number).do_modal(frame);
  inspect(kNewMarketWindowDialogId, "new_market_window");
  NewMarketWindowDlg(true).do_modal(frame);
  inspect(kAddTableItemDialogId, "add_table_item");
  AddTableItemDlg(true).do_modal(frame);
  inspect(kItemListDialogId, "item_list");
  ParamTableSet set{};
  ItemListDlg(true, set).do_modal(frame);
  inspect(kColumnSetupPortraitId, "column_setup");
  auto* trades = test_e2e::open_window<TableWnd>(run.app(), cmd::trades);
  ASSERT_NE(trades, nullptr);
  run_table_column_setup(*trades);
  ui::send_message(frame, ui::wm::command, cmd::close_window);

  // The chart's dialogs, and the extra-parameter dialog of every kind that
  // has one, page by page.
  inspect(kChartPropertiesDialogId, "chart_properties");
  ChartPropertiesDlg().do_modal(frame);
  inspect_pages(kIndicatorDialogId, indicator_id::tabs, "indicator");
  IndicatorDlg(std::vector<int32_t>{1, 2}).do_modal(frame);
  inspect(kLevelsDialogId, "levels");
  LevelsDlg({make_level_line(30), make_level_line(70)}).do_modal(frame);
  for (int32_t kind = 0; kind < 64; ++kind) {
    const int id = indicator_params_dialog_id(kind);
    if (id == 0) continue;
    GraphSettings g;
    g.kind = kind;
    set_indicator_defaults(g);
    inspect_pages(id, indicator_id::tabs, "indicator_params_" + std::to_string(kind));
    IndicatorParamsDlg(kind, g.params).do_modal(frame);
  }

  // The order window, prefilled as a tap on the order book does.
  OrderPrefill buy;
  buy.set_class("TQBR");
  buy.set_security("GAZP");
  buy.set_client("C1");
  buy.set_price(159.5, 2);
  buy.set_quantity(3);
  ASSERT_TRUE(open_order_window(buy));
  auto* order = dynamic_cast<OrderEntryWnd*>(run.active());
  ASSERT_NE(order, nullptr);
  look_at(order->hwnd(), "order_window");
  ui::DialogDriver(order->dialog().hwnd()).click(order_id::stop);
  look_at(order->hwnd(), "order_window_stop");
  // The order window is kept open when the screen turns: its landscape layout.
  ui::set_screen_size(320, 240);
  wait_for([] { return false; }, 0);
  area = test_fit::screen_area();
  area.bottom = ui::get_window_rect(run.app().frame()->menu_bar()).top;
  look_at(order->hwnd(), "order_window_stop_landscape");
  ui::set_screen_size(240, 320);
  wait_for([] { return false; }, 0);

  EXPECT_TRUE(script->all_used()) << "a dialog did not open";
  EXPECT_GE(seen.size(), 17u);
  EXPECT_TRUE(cuts.empty()) << test_fit::describe(cuts);
}

}  // namespace
}  // namespace kelda::terminal
