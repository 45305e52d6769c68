// The market windows against the server double's demo market, offscreen on
// the Qt backend: the order book, the current parameters, the news and the
// client portfolio follow the market as it moves, and each window kind is
// photographed in portrait and landscape (PNG files in the build folder's
// "screenshots").
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "end_to_end_support.h"
#include "offscreen_terminal_ui.h"
#include "demo_server.h"
#include "demo_session.h"
#include "terminal/data_wnd.h"
#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal/news_wnd.h"
#include "terminal/portfolio_wnd.h"
#include "terminal/quotes_wnd.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/scripted_services.h"
#include "ui/services.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

using test_e2e::wait_for;
using test_e2e::open_window;

std::vector<std::u16string> texts(ui::Hwnd list, int sub_item) {
  const ui::ListViewControl lv{list};
  std::vector<std::u16string> out;
  for (int i = 0; i < lv.item_count(); ++i) out.push_back(lv.item_text(i, sub_item));
  return out;
}

TEST(MarketWindowsEndToEnd, WindowsFollowTheDemoMarket) {
  DemoSession server;
  write_demo_connection(server.port(), "global_filter=0\nquotes_depth=5\n");
  test_e2e::OffscreenTerminalUi offscreen;
  ui::QtUi& qt = offscreen.qt;
  const std::shared_ptr<ui::ScriptedServices>& script = offscreen.script;
  TerminalApp app;
  register_market_windows();
  ASSERT_TRUE(app.init_instance());
  DataFeedManager& m = app.data();

  // The pickers: GAZP for the order book, every share for the parameters.
  test_e2e::pick_gazprom_and_every_share(*script);

  test_e2e::connect_to_demo(app, *script);
  ASSERT_TRUE(m.connected());
  ASSERT_TRUE(wait_for([&] { return m.started() && m.tables().classes.size() == 2; }));

  // The order book of GAZP shows the levels around the spread of the stored
  // list and moves with it.
  auto* quotes = open_window<QuotesWnd>(app, cmd::quotes);
  ASSERT_NE(quotes, nullptr);
  ASSERT_TRUE(wait_for([&] { return ui::ListViewControl{quotes->list()}.item_count() == 10; }))
      << test::read_file_bytes(test::test_dir() / "infolog.txt");
  const std::vector<std::u16string> first_book = texts(quotes->list(), 0);
  ASSERT_TRUE(wait_for([&] { return texts(quotes->list(), 0) != first_book; }));
  const SecurityRecord* gazp = m.tables().find_class("TQBR")->find_security(std::string("GAZP"));
  // The list arrives level by level, so compare with the stored list as it
  // is now rather than with a full book.
  const auto [s0, e0] = quotes_display_window(gazp->prices, 5);
  ASSERT_EQ(ui::ListViewControl{quotes->list()}.item_count(), e0 - s0);
  ASSERT_GT(e0, s0);
  char top[32];
  std::snprintf(top, sizeof top, "%.*f", gazp->record.scale, gazp->prices[static_cast<std::size_t>(e0 - 1)].price);
  EXPECT_EQ(texts(quotes->list(), 0).front(), to_wide(top)) << "the highest shown offer on top";

  // The current parameters subscribe to what they show and fill.
  auto* data = open_window<DataWnd>(app, cmd::current_params);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(m.tables().find_class("TQBR")->window_secs.size(), 3u);
  const auto filled = [&] {
    const std::vector<std::u16string> bids = texts(data->list(), 1);
    return bids.size() == 3 && std::none_of(bids.begin(), bids.end(), [](const auto& t) { return t.empty(); });
  };
  ASSERT_TRUE(wait_for(filled));
  const std::vector<std::u16string> first_bids = texts(data->list(), 1);
  ASSERT_TRUE(wait_for([&] { return texts(data->list(), 1) != first_bids; }));

  // News: a headline's body on a double tap.
  auto* news = open_window<NewsWnd>(app, cmd::news);
  ASSERT_NE(news, nullptr);
  ASSERT_TRUE(wait_for([&] { return ui::ListViewControl{news->list()}.item_count() >= 2; }));
  const RECT item = ui::ListViewControl{news->list()}.item_rect(0);
  const POINT at{item.left + 5, (item.top + item.bottom) / 2};
  ui::scripted::tap_at(news->list(), at);
  ui::scripted::double_tap_at(news->list(), at);
  ASSERT_TRUE(wait_for([&] { return !ui::get_window_text(news->body()).empty(); }));

  // The portfolio lists the demo client, whose limits made its margin row.
  auto* portfolio = open_window<MarginalRowsWnd>(app, cmd::portfolio);
  ASSERT_NE(portfolio, nullptr);
  ASSERT_TRUE(wait_for([&] { return portfolio->client() == "DEMO1"; }));
  EXPECT_EQ(ui::ListViewControl{portfolio->list()}.item_count(), kPortfolioValueCount);
  // Its figures come with the next once-a-second recomputation.
  ASSERT_TRUE(wait_for([&] {
    const std::vector<std::u16string> values = texts(portfolio->list(), 1);
    return std::any_of(values.begin(), values.end(), [](const auto& t) { return !t.empty(); });
  }));

  // Photographs of each kind, portrait then landscape.
  const std::filesystem::path dir = KELDA_SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  const std::pair<const char*, ui::Hwnd> kinds[] = {{"quotes", quotes->hwnd()},
                                                     {"current_params", data->hwnd()},
                                                     {"news", news->hwnd()},
                                                     {"portfolio", portfolio->hwnd()}};
  MainView& view = app.frame()->view();
  for (const char* orientation : {"portrait", "landscape"}) {
    if (std::string(orientation) == "landscape") ui::set_screen_size(320, 240);
    for (const auto& [name, window] : kinds) {
      for (int i = 0; i < kSlotCount; ++i) {
        if (view.slot(i) != nullptr && view.slot(i)->hwnd() == window) view.activate_slot(i);
      }
      wait_for([] { return false; }, 0);
      const std::filesystem::path path = dir / (std::string(name) + "_" + orientation + ".png");
      EXPECT_TRUE(qt.save_screenshot(path.string())) << path;
    }
  }

  // Leave as a user does: the link closes before the terminal goes.
  test_e2e::exit_through_menu(app, *script);
  EXPECT_FALSE(m.connected());
}

}  // namespace
}  // namespace kelda::terminal
