// Chart windows in the main view over a stand-in client library: the chart
// command opens at most one chart per class and security.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal_chart/chart_window.h"
#include "terminal_chart/data_lines.h"
#include "ui/controls.h"
#include "ui/loop.h"

namespace kelda::terminal {
namespace {

class NoLines final : public DataLines {
 public:
  bool register_line(int32_t, int32_t, int32_t, bool, ui::Hwnd, int32_t& line_id) override {
    line_id = ++registered;
    return true;
  }
  void unregister_line(int32_t) override {}
  int registered = 0;
};

class ChartWindows : public DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    set_data_lines(&lines);
    register_chart_window();
    register_market_windows();
    ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
    ASSERT_TRUE(m().connect_to_server(false));
    KelapiStartInfo info{};
    info.trade_date = 20240105;
    DataFeedManager::on_client_event(KELAPI_EVENT_START, reinterpret_cast<uintptr_t>(&info), 0);
    DataFeedManager::on_client_event(KELAPI_EVENT_NEWCLASS, 0, 1);
    ui::process_pending();
    ASSERT_NE(m().tables().find_class("TQBR"), nullptr);
  }
  void TearDown() override {
    app.reset();
    set_data_lines(nullptr);
  }
  MainView& view() { return app->frame()->view(); }
  // The next new-window picker chooses the security numbered `number`.
  void pick(uint32_t number) {
    ui.script().on_dialog(kNewMarketWindowDialogId, [number](ui::DialogDriver& d) {
      const ui::ComboBoxControl securities{d.item(picker_id::security_list)};
      for (int i = 0; i < securities.count(); ++i) {
        if (reinterpret_cast<SecurityRecord*>(securities.item_data(i))->record.security_number == number) {
          d.choose_index(picker_id::security_list, i);
        }
      }
      d.click(ui::id::ok);
    });
  }
  int charts() {
    int n = 0;
    for (int i = 0; i < kSlotCount; ++i) n += dynamic_cast<PriceChartWnd*>(view().slot(i)) != nullptr;
    return n;
  }
  NoLines lines;
};

TEST_F(ChartWindows, AChartOfAnInstrumentWithAnOpenChartActivatesIt) {
  pick(1);
  const int first = view().create_window_for_command(cmd::chart);
  ASSERT_GE(first, 0);
  const auto* chart = dynamic_cast<PriceChartWnd*>(view().slot(first));
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->config().security_code, "S1");
  EXPECT_EQ(lines.registered, 1) << "bound at once to its data line";
  // Another window comes to the front; the same instrument brings the chart
  // back without a second one or a second data line.
  pick(2);
  ASSERT_GE(view().create_window_for_command(cmd::quotes), 0);
  ASSERT_NE(view().active_slot(), first);
  const int open = view().open_count();
  pick(1);
  view().create_window_for_command(cmd::chart);
  EXPECT_EQ(view().active_slot(), first);
  EXPECT_EQ(view().open_count(), open);
  EXPECT_EQ(charts(), 1);
  EXPECT_EQ(lines.registered, 1);
  EXPECT_EQ(find_chart_wnd(view(), "TQBR", "S1"), first);
  EXPECT_EQ(find_chart_wnd(view(), "TQBR", "S2"), -1);
  // Another security of the class gets a chart of its own.
  pick(2);
  const int second = view().create_window_for_command(cmd::chart);
  ASSERT_GE(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(charts(), 2);
  EXPECT_EQ(view().active_slot(), second);
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
