// The market windows over a stand-in client library: the order book's
// display window and in-place refresh, the current-parameters cells, rows
// and subscriptions, news bodies on demand, the portfolio's client list
// when the tables are cleared and its values chosen in the column setup
// dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "dialog_fixture.h"
#include "terminal/column_setup_dialog.h"
#include "terminal/layout_files.h"
#include "terminal/data_wnd.h"
#include "terminal/instrument_pickers.h"
#include "terminal/login_dialog.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal/news_wnd.h"
#include "terminal/order_prefill.h"
#include "terminal/portfolio_wnd.h"
#include "terminal/quotes_wnd.h"
#include "terminal/terminal_app.h"
#include "terminal/table_window.h"
#include "terminal/text_log.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

KelapiPriceRecord bid(double price, int volume) {
  KelapiPriceRecord r{};
  r.price = price;
  r.positive_volume = volume;
  return r;
}
KelapiPriceRecord offer(double price, int volume) {
  KelapiPriceRecord r{};
  r.price = price;
  r.negative_volume = volume;
  return r;
}

std::vector<std::u16string> column(ui::Hwnd list, int sub_item) {
  const ui::ListViewControl lv{list};
  std::vector<std::u16string> texts;
  for (int i = 0; i < lv.item_count(); ++i) texts.push_back(lv.item_text(i, sub_item));
  return texts;
}

// A connected, started terminal over the stand-in library's class TQBR.
class MarketWindows : public DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    register_market_windows();
    ui.script().on_dialog(kLoginDialogId, [](ui::DialogDriver& d) { d.click(ui::id::ok); });
    ASSERT_TRUE(m().connect_to_server(false));
    KelapiStartInfo info{};
    info.trade_date = 20240105;
    post(KELAPI_EVENT_START, reinterpret_cast<uintptr_t>(&info), 0);
    post(KELAPI_EVENT_NEWCLASS, 0, 1);
    cls = m().tables().find_class("TQBR");
    ASSERT_NE(cls, nullptr);
    set_order_window_opener([this](const OrderPrefill& p) {
      choices.push_back(p);
      return true;
    });
  }
  void TearDown() override {
    set_order_window_opener(nullptr);
    DialogFixture::TearDown();
  }
  // The next new-window picker chooses security `chosen`.
  void pick() {
    ui.script().on_dialog(kNewMarketWindowDialogId, [this](ui::DialogDriver& d) {
      const ui::ComboBoxControl securities{d.item(picker_id::security_list)};
      for (int i = 0; i < securities.count(); ++i) {
        if (reinterpret_cast<SecurityRecord*>(securities.item_data(i))->record.security_number == chosen) {
          d.choose_index(picker_id::security_list, i);
        }
      }
      d.click(ui::id::ok);
    });
  }
  // The next add dialog chooses the securities `add_keys`.
  void add() {
    ui.script().on_dialog(kAddTableItemDialogId, [this](ui::DialogDriver& d) {
      const ui::ListBoxControl items{d.item(picker_id::items)};
      for (int i = 0; i < items.count(); ++i) {
        const auto key = static_cast<uint32_t>(items.item_data(i));
        if (std::find(add_keys.begin(), add_keys.end(), key) != add_keys.end()) items.set_sel(i, true);
      }
      d.click(ui::id::ok);
    });
  }
  MainView& view() { return app->frame()->view(); }
  void post(uint32_t code, uintptr_t w, uintptr_t l) {
    DataFeedManager::on_client_event(code, w, l);
    ui::process_pending();
  }
  template <typename W>
  W& open(UINT command) {
    const int slot = view().create_window_for_command(command);
    EXPECT_GE(slot, 0);
    return dynamic_cast<W&>(*view().slot(slot));
  }
  void book(std::vector<KelapiPriceRecord> levels) {
    client.book = std::move(levels);
    post(KELAPI_EVENT_NEWPRICE, cls->record.class_number, chosen);
  }

  ClassRecord* cls = nullptr;
  uint32_t chosen = 1;
  std::vector<uint32_t> add_keys{1, 2};
  std::vector<OrderPrefill> choices;
};

TEST(QuotesDisplayWindow, ShowsDepthLevelsEachSideOfTheSpread) {
  const std::vector<KelapiPriceRecord> bids{bid(1, 1), bid(2, 1), bid(3, 1)};
  const std::vector<KelapiPriceRecord> offers{offer(4, 1), offer(5, 1), offer(6, 1)};
  std::vector<KelapiPriceRecord> both = bids;
  both.insert(both.end(), offers.begin(), offers.end());
  struct Case {
    std::span<const KelapiPriceRecord> list;
    int depth;
    std::pair<int, int> shown;
  } cases[] = {{bids, 2, {1, 3}}, {offers, 2, {0, 2}}, {both, 2, {1, 5}}, {both, 5, {0, 6}}, {{}, 5, {0, 0}}};
  for (const Case& c : cases) EXPECT_EQ(quotes_display_window(c.list, c.depth), c.shown);
}

TEST_F(MarketWindows, OrderBookRefreshesInPlaceAndFollowsTheSettings) {
  m().settings().quotes_depth = 2;
  pick();
  auto& w = open<QuotesWnd>(cmd::quotes);
  EXPECT_EQ(w.class_number(), static_cast<int32_t>(cls->record.class_number));
  book({bid(90, 5), bid(100, 7), bid(110, 1), offer(120, 3), offer(130, 4), offer(140, 8)});
  EXPECT_EQ(column(w.list(), 0), (std::vector<std::u16string>{u"130", u"120", u"110", u"100"}));
  EXPECT_EQ(column(w.list(), 1), (std::vector<std::u16string>{u"4", u"3", u"1", u"7"}));
  const ui::ListViewControl lv{w.list()};
  EXPECT_EQ(lv.item_data(1), 0);
  EXPECT_EQ(lv.item_data(2), 1);

  // A changed volume keeps its item; a new level slides in; the book moves.
  lv.set_item_state(2, ui::lvis::selected, ui::lvis::selected);
  book({bid(100, 7), bid(110, 6), bid(115, 2), offer(120, 3), offer(130, 4)});
  EXPECT_EQ(column(w.list(), 0), (std::vector<std::u16string>{u"130", u"120", u"115", u"110"}));
  EXPECT_EQ(column(w.list(), 1), (std::vector<std::u16string>{u"4", u"3", u"2", u"6"}));
  EXPECT_EQ(lv.item_state(3, ui::lvis::selected), ui::lvis::selected) << "the 11 level kept its item";

  m().settings().buy_on_top = true;
  ui::send_message(w.hwnd(), UM_BUYONTOP);
  EXPECT_EQ(column(w.list(), 0), (std::vector<std::u16string>{u"110", u"115", u"120", u"130"}));
  book({bid(110, 6), offer(120, 1), offer(125, 9), offer(130, 4)});
  EXPECT_EQ(column(w.list(), 0), (std::vector<std::u16string>{u"110", u"120", u"125"}));
  EXPECT_EQ(column(w.list(), 1), (std::vector<std::u16string>{u"6", u"1", u"9"}));

  // A double tap on a level, and below the last one.
  const RECT r = lv.item_rect(1);
  ui::scripted::double_tap_at(w.list(), {r.left + 5, (r.top + r.bottom) / 2});
  ASSERT_EQ(choices.size(), 1u);
  EXPECT_EQ(choices[0].flags, 0x6Bu);
  EXPECT_STREQ(choices[0].price, "120");
  EXPECT_STREQ(choices[0].quantity, "1");
  EXPECT_NE(choices[0].buy, 0) << "an offer is bought";
  ui::move_window(w.hwnd(), 0, 0, 200, 200);
  ui::scripted::double_tap_at(w.list(), {5, 190});
  ASSERT_EQ(choices.size(), 2u);
  EXPECT_EQ(choices[1].flags, 0x3u) << "below the last level: the instrument only";
  EXPECT_STREQ(choices[1].security_code, "S1");

  view().fan_out_quotes(-1, -1, {}, {});
  EXPECT_EQ(lv.item_count(), 0);
  // The same instrument again: the open window, no second one.
  const int open_count = view().open_count();
  pick();
  EXPECT_EQ(view().create_window_for_command(cmd::quotes), -1);
  EXPECT_EQ(view().open_count(), open_count);
}

TEST(DataCells, FormatsByTheParameterKind) {
  KelapiSecurityRecord sec{};
  sec.scale = 3;
  struct Case {
    uint16_t flags;
    uint16_t scale;
    double value;
    const char* text;
  } cases[] = {{0x2, 0, 1, "Продажа"}, {0x2, 0, 2, ""},      {0x1, 0, 93005, "09:30:05"},
               {0x40, 0, 20240105, "2024 01 05"}, {0x4, 1, 2.5, "2.500"}, {0, 1, 2.54, "2.5"}};
  ui::HeadlessUi ui;
  TerminalApp app;
  for (const Case& c : cases) {
    KelapiClassParamRecord p{};
    p.flags = c.flags;
    p.scale = c.scale;
    copy_text(p.enum_desc, cp1251("Покупка|Продажа"));
    EXPECT_EQ(format_param_value(p, sec, c.value), cp1251(c.text)) << c.flags;
  }
}

TEST_F(MarketWindows, CurrentParametersBindRowsFillCellsAndSubscribe) {
  add_keys = {1, 2, 99999};
  copy_text(cls->params[2].short_name, cp1251("Bid price"));
  cls->params[2].scale = 2;
  add();
  auto& w = open<DataWnd>(cmd::current_params);
  const ui::ListViewControl lv{w.list()};
  ASSERT_EQ(lv.item_count(), 2);
  EXPECT_EQ(lv.column_count(), 5) << "the four default columns";
  EXPECT_EQ(lv.column_title(1), u"Bid price") << "the class's short name";
  EXPECT_EQ(cls->window_secs, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(cls->window_params, (std::vector<int16_t>{2, 3, 1})) << "bid, offer, last";

  KelapiValueRecord values[2]{};
  values[0].value = 101.25;
  copy_text(values[0].db_name, "BID");
  values[1].value = 7;
  copy_text(values[1].db_name, "VOLTODAY");
  KelapiDataEvent event{};
  event.class_number = cls->record.class_number;
  event.security_number = 2;
  event.count = 2;
  event.values = values;
  m().on_values(event);
  EXPECT_EQ(lv.item_text(1, 1), u"101.25");
  EXPECT_EQ(lv.item_text(0, 1), u"");

  // A security already shown adds nothing; the 21st row is refused.
  add_keys = {2};
  add();
  w.add_securities();
  EXPECT_EQ(lv.item_count(), 2);
  add_keys.clear();
  for (uint32_t i = 3; i <= 25; ++i) add_keys.push_back(i);
  ui.script().answer_message_box(ui::id::ok, u"не более 20 бумаг");
  add();
  w.add_securities();
  EXPECT_EQ(lv.item_count(), 20);
  EXPECT_EQ(cls->window_secs.size(), 20u);

  view().close_active_window();
  EXPECT_TRUE(cls->window_secs.empty()) << "closing empties the window lists";
  EXPECT_TRUE(ui.script().problems().empty());
}

TEST_F(MarketWindows, RowCaptionsAreCutToTheirFieldAndFollowTheClassNameSetting) {
  TableSetRow row;
  const std::string name(30, 'N');
  const std::string class_name(128, 'C');
  format_row_caption(row, name, class_name, true);
  EXPECT_EQ(std::strlen(row.caption), sizeof row.caption - 1);
  EXPECT_EQ(std::string(row.caption).substr(0, 32), name + " [");

  add_keys = {1};
  std::strcpy(cls->find_security(1)->record.name, "Gazprom");
  std::strcpy(cls->record.name, "Shares");
  add();
  auto& w = open<DataWnd>(cmd::current_params);
  const ui::ListViewControl lv{w.list()};
  EXPECT_EQ(lv.item_text(0, 0), u"Gazprom");
  m().settings().class_names = true;
  ui::send_message(w.hwnd(), UM_CLASSNAME, 1);
  EXPECT_EQ(lv.item_text(0, 0), u"Gazprom [Shares]");
}

TEST_F(MarketWindows, LayoutFilesKeepInstrumentsRowsAndColumns) {
  pick();
  open<QuotesWnd>(cmd::quotes);
  add();
  auto& data = open<DataWnd>(cmd::current_params);
  ui::ListViewControl{data.list()}.set_column_width(1, 77);
  const std::string second(field_text(data.table_set().row[1].security_code));
  view().save_window_layout(true);
  EXPECT_EQ(view().open_count(), 0);
  const std::string tcf = test::read_file_bytes(m().window_kinds_path());
  EXPECT_NE(tcf.find("[QuotesWnd]\nprice=60\nvolume=60\n"), std::string::npos) << tcf;
  EXPECT_NE(tcf.find("parwidth0=77\nparname0="), std::string::npos) << tcf;

  view().load_window_layout();
  ASSERT_EQ(view().open_count(), 2);
  const auto& quotes = dynamic_cast<const QuotesWnd&>(*view().slot(0));
  EXPECT_EQ(quotes.setup().security_code, "S1");
  EXPECT_EQ(quotes.security_number(), 1) << "bound again to its security";
  const auto& restored = dynamic_cast<const DataWnd&>(*view().slot(1));
  ASSERT_EQ(restored.table_set().rows(), 2);
  EXPECT_EQ(field_text(restored.table_set().row[1].security_code), second);
  EXPECT_EQ(ui::ListViewControl{restored.list()}.column_width(1), 77);
}

TEST_F(MarketWindows, NewsBodiesAreFetchedOnDemandAndShownForTheSelectedHeadline) {
  for (int n = 1; n <= 2; ++n) {
    client.news = {};
    client.news.number = n;
    client.news.date = 20240105;
    client.news.time = 93000 + n;
    copy_text(client.news.headline, "Headline " + std::to_string(n));
    post(KELAPI_EVENT_NEWNEWS, 0, static_cast<uintptr_t>(n));
  }
  auto& w = open<NewsWnd>(cmd::news);
  const ui::ListViewControl lv{w.list()};
  ASSERT_EQ(lv.item_count(), 2);
  EXPECT_EQ(lv.item_text(0, 0), u"09:30:01 Headline 1");

  const auto centre = [&](int item) {
    const RECT r = lv.item_rect(item);
    return POINT{r.left + 5, (r.top + r.bottom) / 2};
  };
  ui::move_window(w.hwnd(), 0, 0, 240, 300);
  ui::set_window_text(w.body(), u"old");
  ui::scripted::tap_at(w.list(), centre(0));
  EXPECT_EQ(ui::get_window_text(w.body()), u"") << "no body loaded yet";
  ui::scripted::double_tap_at(w.list(), centre(0));
  EXPECT_EQ(client.body_requests, std::vector<int32_t>{1});

  // Headline 2's body arrives while 1 is selected: not shown until chosen.
  client.bodies[2] = "Second body";
  client.news.body_received = 1;
  post(KELAPI_EVENT_NEWNEWS, 0, 2);
  EXPECT_EQ(ui::get_window_text(w.body()), u"");
  ui::scripted::tap_at(w.list(), centre(1));
  EXPECT_EQ(ui::get_window_text(w.body()), u"05.01.2024 09:30:02  Second body");

  ui::send_message(w.hwnd(), UM_CLEAR);
  EXPECT_EQ(lv.item_count(), 0);
  EXPECT_EQ(ui::get_window_text(w.body()), u"");
}

TEST_F(MarketWindows, PortfolioForgetsItsClientsWhenTheTablesGo) {
  MarginBinding& margin = m().margin();
  margin.register_client("F1", "B", true);
  margin.register_client("F1", "A", true);
  auto& w = open<MarginalRowsWnd>(cmd::portfolio);
  const ui::ComboBoxControl combo{w.clients()};
  ASSERT_EQ(combo.count(), 2);
  EXPECT_EQ(w.client(), "A") << "the first in sorted order";
  EXPECT_EQ(ui::ListViewControl{w.list()}.item_count(), kPortfolioValueCount);

  margin.register_client("F1", "A", false);
  EXPECT_EQ(combo.count(), 1);
  EXPECT_EQ(w.client(), "B");

  m().clear_tables();
  EXPECT_EQ(combo.count(), 0);
  EXPECT_EQ(w.client(), "");
  ui.advance(2000);  // timer 105 runs with no row to reach
}

// The portfolio's tap-and-hold menu entry "Настройки таблицы" opens the
// column setup dialog over the value catalogue: "Отмена" keeps the values,
// "Да" shows the chosen ones in their order and keeps their codes, more than
// twenty are cut after a warning; the name column then fits the widest name.
TEST_F(MarketWindows, PortfolioValuesAreChosenInTheColumnSetupDialog) {
  auto& w = open<MarginalRowsWnd>(cmd::portfolio);
  const ui::ListViewControl lv{w.list()};
  const auto hold = [&] {
    ui.script().choose_menu_command(kTableSettingsCommand);
    ui::GestureNotify g;
    g.hdr.from = w.list();
    g.hdr.id_from = 101;
    g.hdr.code = ui::gn::context_menu;
    ui::send_notify(w.hwnd(), g.hdr);
  };
  const auto widest_name = [&] {
    const std::unique_ptr<ui::Canvas> dc = ui::get_dc(w.list());
    int widest = 0;
    for (int i = 0; i < lv.item_count(); ++i) widest = std::max(widest, dc->text_extent(lv.item_text(i, 0)).cx);
    return widest;
  };
  const auto names = [&] { return column(w.list(), 0); };
  const auto name = [](const char* utf8) { return to_wide(cp1251(utf8)); };

  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::ListBoxControl{d.item(column_setup_id::available)}.count(), kPortfolioValueCount);
    EXPECT_EQ(ui::ListBoxControl{d.item(column_setup_id::current)}.count(), kPortfolioValueCount);
    d.click(column_setup_id::remove_all);
    d.click(ui::id::cancel);
  });
  hold();
  EXPECT_EQ(lv.item_count(), kPortfolioValueCount) << "cancelled: the values stay";
  const int all_names = widest_name();
  EXPECT_EQ(lv.column_width(0), all_names + 5);

  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    d.click(column_setup_id::remove_all);
    const ui::ListBoxControl available{d.item(column_setup_id::available)};
    available.set_sel(0, true);   // "Плечо"
    available.set_sel(17, true);  // "ПроцИзмен"
    d.click(column_setup_id::add);
    ui::ListBoxControl{d.item(column_setup_id::current)}.set_sel(1, true);
    d.click(column_setup_id::move_up);
    d.click(ui::id::ok);
  });
  hold();
  EXPECT_EQ(names(), (std::vector<std::u16string>{name("ПроцИзмен"), name("Плечо")}));
  EXPECT_EQ(lv.column_width(0), widest_name() + 5);
  EXPECT_LT(lv.column_width(0), all_names + 5);
  {
    const SavedSection saved(window_table_path(), "MarginalRowsWnd");
    EXPECT_EQ(saved.get_int("numvals", -1), 2);
    EXPECT_EQ(saved.get_int("val0code", -1), 18);
    EXPECT_EQ(saved.get_int("val1code", -1), 1);
    EXPECT_EQ(saved.get_int("val2code", -1), 0) << "the positions beyond are cleared";
    EXPECT_EQ(saved.get_int("val17code", -1), 0);
  }
  EXPECT_EQ(read_portfolio_setup(window_table_path()).codes, (std::vector<int>{18, 1})) << "a new window reads them";

  // Every value twice: 36 asked for, 20 kept after one warning.
  ui.script().on_dialog(kColumnSetupPortraitId, [](ui::DialogDriver& d) {
    d.click(column_setup_id::remove_all);
    d.click(column_setup_id::add_all);
    d.click(column_setup_id::add_all);
    d.click(ui::id::ok);
  });
  ui.script().answer_message_box(ui::id::ok, u"Достигнуто максимальное количество параметров");
  hold();
  ASSERT_EQ(lv.item_count(), 20);
  EXPECT_EQ(lv.item_text(18, 0), name("Плечо")) << "the second round begins after the eighteenth";
  EXPECT_EQ(SavedSection(window_table_path(), "MarginalRowsWnd").get_int("numvals", -1), 20);
  EXPECT_TRUE(ui.script().all_used());
}

TEST(PortfolioValues, TypedFiguresAndThePercentChange) {
  ui::HeadlessUi ui;
  TerminalApp app;
  MargoMarginalRow row{};
  row.leverage = 2.5;          // figure 3
  row.availableLimitCopy = 7;  // figure 19
  row.openingValue = 0;        // figure 23
  row.currentValue = 150;      // figure 24
  EXPECT_EQ(portfolio_value_text(0, row), "2.50");
  EXPECT_EQ(portfolio_value_text(11, row), "") << "typed: hidden while the type flag is clear";
  row.lag2 = 1;
  EXPECT_EQ(portfolio_value_text(11, row), "7.00");
  EXPECT_EQ(portfolio_value_text(17, row), "") << "no entry funds: no percentage";
  row.openingValue = 100;
  EXPECT_EQ(portfolio_value_text(14, row), "50.00");
  EXPECT_EQ(portfolio_value_text(17, row), "50.00");
}

}  // namespace
}  // namespace kelda::terminal
