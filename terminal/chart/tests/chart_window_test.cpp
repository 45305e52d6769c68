// The chart window over the chart library: its default and restored panes
// and graphs, indicators added through the dialog in new panes, bars from its
// data line, the context menu, and the layout section written and read back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/time.h"
#include "terminal/layout_files.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"
#include "terminal_chart/chart_window.h"
#include "terminal_chart/data_lines.h"
#include "terminal_chart/indicator_dialogs.h"
#include "testsupport/test_dir.h"
#include "ui/menu.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

class FakeLines final : public DataLines {
 public:
  bool register_line(int32_t class_id, int32_t security_id, int32_t minutes, bool, ui::Hwnd,
                     int32_t& line_id) override {
    registered.push_back({class_id, security_id, minutes});
    line_id = next++;
    return true;
  }
  void unregister_line(int32_t line_id) override { unregistered.push_back(line_id); }
  std::vector<std::array<int32_t, 3>> registered;
  std::vector<int32_t> unregistered;
  int32_t next = 7;
};

struct Host : ui::Window {};

// Bars as the data line posts them.
struct Bar {
  double open, high, low, close, volume;
  uint32_t date, time;
};

class ChartWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    register_chart_window();
    set_data_lines(&lines);
    ui::CreateParams p;
    p.style = ui::ws::popup;
    p.rect = {0, 0, 240, 320};
    ASSERT_TRUE(host.create(p));
  }
  void TearDown() override { set_data_lines(nullptr); }
  std::unique_ptr<PriceChartWnd> open(ChartConfig config) {
    auto w = std::make_unique<PriceChartWnd>(std::move(config));
    ui::CreateParams p;
    p.style = ui::ws::child | ui::ws::visible;
    p.parent = host.hwnd();
    p.rect = {0, 0, 240, 300};
    EXPECT_TRUE(w->create(p));
    return w;
  }
  static std::vector<double> sizes(const PriceChartWnd& w) {
    std::vector<double> out(w.panes().size());
    VizorGetPaneSizes(w.chart(), static_cast<int32_t>(out.size()), out.data());
    return out;
  }
  // Adds an indicator of the kind through the context menu's dialog, in a
  // new pane or the pane listed as `pane_text`.
  void add(PriceChartWnd& w, const std::u16string& kind, const std::u16string& pane_text = u"Новое окно") {
    ui.script().on_dialog(kIndicatorDialogId, [=](ui::DialogDriver& d) {
      EXPECT_TRUE(d.choose(indicator_id::type, kind));
      EXPECT_TRUE(d.choose(indicator_id::window, pane_text));
      d.click(ui::id::ok);
    });
    w.run_command(chart_cmd::add_indicator);
  }
  ui::HeadlessUi ui;
  FakeLines lines;
  Host host;
};

ChartConfig bound_config() {
  ChartConfig c;
  c.caption = "GAZP [TQBR]";
  c.class_code = "TQBR";
  c.security_code = "GAZP";
  c.class_id = 3;
  c.security_id = 5;
  return c;
}

TEST_F(ChartWindowTest, NewWindowHasPriceAndVolumeInTwoPanesAndNewPanesShareTheRest) {
  auto w = open(ChartConfig{});
  ASSERT_NE(w->chart(), nullptr);
  ASSERT_EQ(w->panes().size(), 2u);
  EXPECT_NEAR(sizes(*w)[0], 0.7, 1e-9);
  ASSERT_EQ(w->config().graphs.size(), 2u);
  EXPECT_EQ(w->config().graphs[0].kind, indicator::price);
  EXPECT_EQ(w->config().graphs[0].pane_id, w->panes()[0].id);
  EXPECT_EQ(w->config().graphs[1].kind, indicator::volume);
  EXPECT_EQ(w->config().graphs[1].pane_id, w->panes()[1].id);
  add(*w, u"MACD");
  const std::vector<double> three = sizes(*w);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_NEAR(three[0], 0.5, 1e-9);
  EXPECT_NEAR(three[2], 0.25, 1e-9);
  add(*w, u"Relative Strength Index");
  const std::vector<double> four = sizes(*w);
  ASSERT_EQ(four.size(), 4u);
  EXPECT_NEAR(four[0], 0.4, 1e-9);
  EXPECT_NEAR(four[3], 0.2, 1e-9);
  add(*w, u"Moving Average", u"Окно1");
  ASSERT_EQ(w->config().graphs.size(), 5u);
  EXPECT_EQ(w->config().graphs[4].pane_id, w->panes()[0].id);
  // Deleting the third pane takes the MACD with it.
  w->run_command(chart_cmd::delete_pane + 2);
  EXPECT_EQ(w->panes().size(), 3u);
  EXPECT_EQ(w->config().graphs.size(), 4u);
  EXPECT_TRUE(ui.script().all_used());
}

// The chart gets the price and volume graphs on the right price scales,
// which it measures room for: a new chart's axes carry their labels.
TEST_F(ChartWindowTest, PriceAndVolumeStandOnTheLabelledRightScale) {
  auto w = open(bound_config());
  ASSERT_EQ(w->config().graphs.size(), 2u);
  for (const GraphSettings& g : w->config().graphs) {
    VizorGraphParams p{};
    ASSERT_TRUE(VizorGetGraphParams(w->chart(), g.graph_id, &p, nullptr, 0)) << g.kind;
    EXPECT_EQ(p.scaleSide, 0) << g.kind;
    EXPECT_EQ(p.priceLabels, 1) << g.kind;
  }
}

TEST_F(ChartWindowTest, BarsOfItsOwnLineArriveAndBadDatesAreDropped) {
  auto w = open(bound_config());
  ClassRecord cls;
  std::strcpy(cls.record.code, "TQBR");
  cls.record.class_number = 3;
  auto sec = std::make_unique<SecurityRecord>();
  sec->record.security_number = 5;
  cls.securities["GAZP"] = std::move(sec);
  for (auto& [code, s] : cls.securities) cls.security_by_number[s->record.security_number] = s.get();
  ASSERT_EQ(ui::send_message(w->hwnd(), UM_MATCHROW, reinterpret_cast<WPARAM>(&cls)), 1);
  ASSERT_EQ(lines.registered.size(), 1u);
  EXPECT_EQ(lines.registered[0][2], 15);
  const int32_t line = w->line_id();
  Bar bars[] = {{10, 11, 9, 10.5, 100, 20260105, 100000},
                {10, 11, 9, 10.5, 100, 20260231, 101500},  // no such day
                {10, 11, 9, 10.5, 100, 20260105, 250000},  // no such hour
                {11, 12, 10, 11.5, 200, 20260105, 101500}};
  for (Bar& b : bars) ui::send_message(w->hwnd(), UM_DATALINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&b));
  Bar other{1, 1, 1, 1, 1, 20260105, 103000};
  ui::send_message(w->hwnd(), UM_DATALINE, static_cast<WPARAM>(line + 1), reinterpret_cast<LPARAM>(&other));
  double open = 0, high = 0, low = 0, close = 0, volume = 0;
  int32_t count = 0;
  for (uint32_t t : {100000u, 101500u, 103000u}) {
    const FILETIME ft = [&] {
      SYSTEMTIME st{2026, 1, 0, 5, static_cast<uint16_t>(t / 10000), static_cast<uint16_t>(t / 100 % 100), 0, 0};
      FILETIME out{};
      platform::system_time_to_file_time(st, out);
      return out;
    }();
    if (VizorGetCandle(w->chart(), w->price_series(), ft.dwLowDateTime, ft.dwHighDateTime, &open, &high, &low, &close,
                       &volume)) {
      ++count;
    }
  }
  EXPECT_EQ(count, 2);
  std::ifstream log(test::test_dir() / "infolog.txt");
  const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("20260231"), std::string::npos);
  // Cleared tables unbind the window and give its line back; the next class
  // binds it to a new one.
  ui::send_message(w->hwnd(), UM_CLEAR);
  EXPECT_EQ(w->line_id(), -1);
  EXPECT_EQ(lines.unregistered, std::vector<int32_t>{line});
  ASSERT_EQ(ui::send_message(w->hwnd(), UM_MATCHROW, reinterpret_cast<WPARAM>(&cls)), 1);
  EXPECT_EQ(lines.registered.size(), 2u);
  EXPECT_NE(w->line_id(), line);
  EXPECT_EQ(lines.unregistered.size(), 1u) << "nothing more to give back";
}

TEST_F(ChartWindowTest, MenuRangesStayApartWithManyGraphs) {
  auto w = open(ChartConfig{});
  for (int i = 0; i < 24; ++i) add(*w, u"Momentum", u"Окно2");
  ASSERT_EQ(w->config().graphs.size(), 26u);
  const ui::Hmenu menu = w->build_menu();
  EXPECT_EQ(ui::get_menu_state(menu, chart_cmd::delete_all_trends, ui::mf::by_command) & ui::mf::grayed,
            static_cast<int>(ui::mf::grayed));
  EXPECT_TRUE(ui::menu_has_command(menu, chart_cmd::edit_graph + 25));
  EXPECT_TRUE(ui::menu_has_command(menu, chart_cmd::delete_graph + 25));
  ui::destroy_menu(menu);
  // The 22nd graph is deleted, not the 1st edited.
  const int32_t id21 = w->config().graphs[21].graph_id;
  w->run_command(chart_cmd::delete_graph + 21);
  ASSERT_EQ(w->config().graphs.size(), 25u);
  EXPECT_NE(w->config().graphs[21].graph_id, id21);
}

TEST_F(ChartWindowTest, TheSavedSectionRestoresTheChart) {
  auto w = open(bound_config());
  add(*w, u"MACD");
  add(*w, u"Stochastic Oscillator");
  add(*w, u"Moving Average", u"Окно1");
  // Uneven pane shares that "%f" would not keep.
  const double shares[4] = {0.1111114, 0.2222224, 0.5666662, 0.1};
  ASSERT_EQ(VizorSetPaneSizes(w->chart(), 4, shares), 1);
  const std::string path = (test::test_dir() / "layout.txt").string();
  std::string text;
  ASSERT_EQ(ui::send_message(w->hwnd(), UM_SAVESTATE, 2, reinterpret_cast<LPARAM>(&text)), 1);
  std::ofstream(path) << text;
  const ChartConfig read = read_chart_config(SavedSection(path, "ActiveWnd2"));
  EXPECT_EQ(read.caption, "GAZP [TQBR]");
  ASSERT_EQ(read.proportions.size(), 4u);
  double sum = 0;
  for (double p : read.proportions) sum += p;
  EXPECT_NEAR(sum, 1.0, 1e-12);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(read.proportions[i], shares[i], 1e-15);
  auto again = open(read);
  ASSERT_EQ(again->config().graphs.size(), w->config().graphs.size());
  for (std::size_t i = 0; i < read.graphs.size(); ++i) {
    const GraphSettings& a = w->config().graphs[i];
    const GraphSettings& b = again->config().graphs[i];
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.params, b.params);
    EXPECT_EQ(a.levels.size(), b.levels.size());
    EXPECT_EQ(std::u16string(a.graph.legend), std::u16string(b.graph.legend));
  }
  const std::vector<double> restored = sizes(*again);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(restored[i], sizes(*w)[i], 1e-12);
}

TEST_F(ChartWindowTest, DamagedSectionsAreCheckedBeforeUse) {
  const std::string path = (test::test_dir() / "bad.txt").string();
  std::ofstream(path) << "[W]\ncaption=X\npanesNum=3\npane0height=0.5\npane1height=-1\npane2height=0.25\n"
                         "paneIDs=4\x04" "5\x04" "6\x04\nindicatorsNum=4\n"
                         "indicator0type=3\nindicator0pane=5\nindicator0info=1\x04" "255\x04" "1\n"
                         "indicator0levelsNum=2\nindicator0levels=10.5\x04\n"
                         "indicator1type=14\nindicator1pane=5\nindicator1info=1\x04" "0\x04" "1\n"
                         "indicator2type=3\nindicator2pane=9\nindicator2info=1\x04" "0\x04" "1\n"
                         "trendsNum=-3\n"
                         "[X]\npanesNum=100000\nindicatorsNum=abc\n"
                         "[Y]\npanesNum=2\npane0height=0.6\npane1height=0.6\npaneIDs=1\x04\n";
  const ChartConfig w = read_chart_config(SavedSection(path, "W"));
  ASSERT_EQ(w.proportions.size(), 3u);
  EXPECT_DOUBLE_EQ(w.proportions[1], 1.0 / 3.0);  // a bad share: equal shares
  ASSERT_EQ(w.graphs.size(), 2u);                  // the unnamed kind and the missing entry are left out
  EXPECT_EQ(w.graphs[0].levels.size(), 1u);
  EXPECT_TRUE(w.trends.empty());
  const ChartConfig x = read_chart_config(SavedSection(path, "X"));
  EXPECT_TRUE(x.saved_pane_ids.empty());
  EXPECT_TRUE(x.graphs.empty());
  const ChartConfig y = read_chart_config(SavedSection(path, "Y"));
  EXPECT_TRUE(y.saved_pane_ids.empty());  // two panes, one id
  EXPECT_EQ(normalised_proportions({0.6, 0.6}), (std::vector<double>{0.5, 0.5}));
  // A graph in a pane the layout does not have is left out, not the window.
  auto window = open(w);
  EXPECT_EQ(window->config().graphs.size(), 1u);
}

}  // namespace
}  // namespace kelda::terminal
