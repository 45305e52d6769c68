// The margin figures against the server double's demo market, offscreen on
// the Qt backend: the firm's rule file binds the demo client's margin row,
// the client portfolio shows what the margin library computes for that row
// and follows the market as it moves, and the order window's "Макс" shows
// the library's largest quantities for a buy and a sell.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "demo_server.h"
#include "demo_session.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal/portfolio_wnd.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal_dialogs/order_entry.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

using test_e2e::wait_for;

namespace sd = server_double;

std::vector<std::u16string> values(ui::Hwnd list) {
  const ui::ListViewControl lv{list};
  std::vector<std::u16string> out;
  for (int i = 0; i < lv.item_count(); ++i) out.push_back(lv.item_text(i, 1));
  return out;
}

// The value-table cell of a parameter of a security of the terminal's tables.
double param_of(const DataFeedManager& m, const std::string& class_code, const std::string& security,
                const char* param) {
  const ClassRecord* cls = m.tables().find_class(class_code);
  const SecurityRecord* sec = cls != nullptr ? cls->find_security(security) : nullptr;
  if (sec == nullptr) return 0;
  return m.tables().values.get_value(sec->value_row, m.tables().values.find_column(param));
}

TEST(PortfolioEndToEnd, MarginFiguresFollowTheDemoMarket) {
  DemoSession server;
  write_demo_connection(server.port(), "global_filter=0\n");
  test_e2e::OffscreenTerminalUi offscreen;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  TerminalApp app;
  register_market_windows();
  register_order_window();
  ASSERT_TRUE(app.init_instance());
  DataFeedManager& m = app.data();
  const ui::Hwnd frame = app.frame()->hwnd();

  test_e2e::connect_to_demo(app, *script);
  ASSERT_TRUE(m.connected());

  // The shares' firm sends its rules; the demo client's row, made by its
  // limits, is bound to them at credit lag 2 (the typed figures show).
  const std::string firm = sd::DemoAccounts::kFirm;
  const std::string client = sd::DemoAccounts::kClient;
  const auto bound_row = [&]() -> MargoMarginalRow* {
    MargoMarginalRow* row = m.margin().row(m.margin().find_row(firm, client));
    return row != nullptr && row->binding != 0 ? row : nullptr;
  };
  ASSERT_TRUE(wait_for([&] { return bound_row() != nullptr; })) << test::read_file_bytes(test::test_dir() / "infolog.txt");
  EXPECT_EQ(bound_row()->lag2, 1);

  ui::send_message(frame, ui::wm::command, cmd::portfolio);
  MainView& view = app.frame()->view();
  auto* portfolio = dynamic_cast<MarginalRowsWnd*>(view.slot(view.active_slot()));
  ASSERT_NE(portfolio, nullptr);
  const auto all_shown = [&] {
    const std::vector<std::u16string> v = values(portfolio->list());
    return v.size() == kPortfolioValueCount && std::none_of(v.begin(), v.end(), [](const auto& t) { return t.empty(); });
  };
  ASSERT_TRUE(wait_for(all_shown)) << test::read_file_bytes(test::test_dir() / "infolog.txt");
  EXPECT_EQ(portfolio->client(), client);

  // What the window shows is what the library computes for the row; nothing
  // runs between the window's calculation and the test's own.
  MargoMarginalRow* row = bound_row();
  ASSERT_NE(row, nullptr);
  portfolio->recompute(true);
  MargoMarginalRow mine = *row;
  ASSERT_TRUE(MargoCalcMarginalRow(&mine));
  for (int i = 0; i < kPortfolioValueCount; ++i) {
    EXPECT_EQ(values(portfolio->list())[static_cast<std::size_t>(i)], to_wide(portfolio_value_text(i, mine)))
        << portfolio_catalogue()[static_cast<std::size_t>(i)].name;
  }
  // The current funds ("ТекСредств") from the terminal's own tables: the money
  // balance and each holding at its bid.
  double funds = 0;
  for (const auto& limit : m.tables().money_limits) funds += limit->current_balance;
  for (const auto& limit : m.tables().depo_limits) {
    funds += limit->record.quantity3 * param_of(m, "TQBR", std::string(field_text(limit->record.security)), "BID");
  }
  EXPECT_NEAR(mine.currentValue, funds, 1e-6);
  EXPECT_GT(mine.leverage, 0);

  // The market moves and the demo client trades: timer 105 redraws.
  const std::vector<std::u16string> first = values(portfolio->list());
  ASSERT_TRUE(wait_for([&] { return values(portfolio->list()) != first; }));

  // The order window's "Макс": the library's largest buy, then sell, for the
  // demo client at the current bid.
  const double price = param_of(m, "TQBR", "GAZP", "BID");
  ASSERT_GT(price, 0);
  OrderPrefill prefill;
  prefill.set_class("TQBR");
  prefill.set_security("GAZP");
  prefill.set_client(client);
  prefill.set_price(price, 2);
  prefill.set_quantity(1);
  ASSERT_TRUE(open_order_window(prefill));
  auto* order = dynamic_cast<OrderEntryWnd*>(view.slot(view.active_slot()));
  ASSERT_NE(order, nullptr);
  const ui::DialogDriver d(order->dialog().hwnd());
  // The window's figure, then the library's from the same row and the price
  // as the window reads it; a tap lets waiting events in, so the window
  // recomputes once more right before.
  const auto max_of = [&](int direction) {
    d.click(direction);
    order->dialog().recompute_max();
    const std::string shown = to_narrow(d.text(order_id::max));
    double typed = 0;
    EXPECT_TRUE(parse_number_w(d.text(order_id::price), typed));
    MargoMarginalRow r = *bound_row();
    MargoActivity activity{};
    activity.size = 48;
    const ClassRecord* shares = m.tables().find_class("TQBR");
    activity.classId = static_cast<int32_t>(shares->record.class_number);
    activity.securityId = static_cast<int32_t>(shares->find_security(std::string("GAZP"))->record.security_number);
    EXPECT_TRUE(MargoCalcMarginalRow(&r) && MargoInitMarginalActv(&r, &activity) &&
                MargoCalcMarginalActv(&r, &activity, typed));
    EXPECT_EQ(shown, std::to_string(direction == order_id::sell ? activity.sellQuantity : activity.buyQuantity));
    return shown;
  };
  EXPECT_NE(max_of(order_id::buy), "0");
  EXPECT_NE(max_of(order_id::sell), "0") << "the client holds GAZP";

  // Leave as a user does: the link closes before the terminal goes.
  test_e2e::exit_through_menu(app, *script);
  EXPECT_FALSE(m.connected());
}

}  // namespace
}  // namespace kelda::terminal
