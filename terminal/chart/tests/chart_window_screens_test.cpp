// The chart window on the Qt backend, offscreen: a chart of one indicator of
// each family with a trend line is fed bars through its data line, saved to
// its layout section, restored into a new window that gets the same bars, and
// both are photographed in portrait and landscape (PNG files in the build
// folder): the restored chart looks exactly like the saved one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "terminal/layout_files.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"
#include "terminal_chart/chart_window.h"
#include "terminal_chart/data_lines.h"
#include "testsupport/test_dir.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

namespace kelda::terminal {
namespace {

class OneLine final : public DataLines {
 public:
  bool register_line(int32_t, int32_t, int32_t, bool, ui::Hwnd, int32_t& line_id) override {
    line_id = 1;
    return true;
  }
  void unregister_line(int32_t) override {}
};

struct Frame : ui::Window {};

struct Bar {
  double open, high, low, close, volume;
  uint32_t date, time;
};

void feed(PriceChartWnd& w) {
  double close = 100.0;
  for (int i = 0; i < 120; ++i) {
    const int minutes = 10 * 60 + i * 15;
    Bar b{};
    b.open = close;
    close = b.open + std::sin(i * 0.3) * 1.2 + (i % 4 == 0 ? -0.7 : 0.4);
    b.close = close;
    b.high = std::max(b.open, b.close) + 0.6;
    b.low = std::min(b.open, b.close) - 0.5;
    b.volume = 1000 + (i * 53) % 700;
    b.date = 20260105 + static_cast<uint32_t>(minutes / (24 * 60));
    b.time = static_cast<uint32_t>((minutes % (24 * 60)) / 60 * 10000 + minutes % 60 * 100);
    ui::send_message(w.hwnd(), UM_DATALINE, 1, reinterpret_cast<LPARAM>(&b));
  }
}

// One indicator of each family, over four panes, and a sloped trend.
ChartConfig family_chart() {
  ChartConfig c;
  c.caption = "GAZP [TQBR]";
  c.class_code = "TQBR";
  c.security_code = "GAZP";
  c.saved_pane_ids = {1, 2, 3, 4};
  c.proportions = {0.4, 0.2, 0.2, 0.2};
  const std::pair<int32_t, int32_t> graphs[] = {{indicator::price, 1}, {indicator::moving_average, 1},
                                                {indicator::bollinger, 1}, {indicator::alligator, 1},
                                                {indicator::volume, 2}, {20, 2},  // on-balance volume
                                                {indicator::macd, 3}, {8, 4},     // stochastic
                                                {30, 4}};                         // ADX
  for (const auto& [kind, pane] : graphs) {
    GraphSettings g;
    g.kind = kind;
    set_indicator_defaults(g);
    g.pane_id = pane;
    c.graphs.push_back(std::move(g));
  }
  VizorTrendInfo trend{};
  trend.bar1 = 20;
  trend.price1 = 100;
  trend.bar2 = 90;
  trend.price2 = 110;
  trend.type = 1;
  trend.colour = 0x0000FF;
  trend.penWidth = 2;
  c.trends.push_back(trend);
  return c;
}

std::unique_ptr<PriceChartWnd> open(const Frame& frame, ChartConfig config) {
  auto w = std::make_unique<PriceChartWnd>(std::move(config));
  ui::CreateParams p;
  p.style = ui::ws::child | ui::ws::visible;
  p.parent = frame.hwnd();
  EXPECT_TRUE(w->create(p));
  // The class arrives and the window binds to its security's data line.
  ClassRecord cls;
  std::strcpy(cls.record.code, "TQBR");
  cls.record.class_number = 1;
  auto sec = std::make_unique<SecurityRecord>();
  sec->record.security_number = 1;
  cls.securities["GAZP"] = std::move(sec);
  EXPECT_EQ(ui::send_message(w->hwnd(), UM_MATCHROW, reinterpret_cast<WPARAM>(&cls)), 1);
  const RECT r = ui::get_client_rect(frame.hwnd());
  ui::move_window(w->hwnd(), 0, 0, r.right, r.bottom, true);
  feed(*w);
  ui::update_window(w->hwnd());
  return w;
}

void photograph(ui::ScreenConfig screen, const std::string& name) {
  ui::QtUiOptions o;
  o.show_window = false;
  o.screen = screen;
  ui::QtUi qt(o);
  Frame frame;
  ui::CreateParams fp;
  fp.style = ui::ws::popup | ui::ws::visible;
  fp.rect = ui::screen_info().work_area;
  ASSERT_TRUE(frame.create(fp));
  OneLine line;
  set_data_lines(&line);
  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  auto saved = open(frame, family_chart());
  ASSERT_EQ(saved->config().graphs.size(), 9u);
  ASSERT_TRUE(qt.save_screenshot(dir + "/terminal_chart_" + name + ".png"));
  const ui::Bitmap before = qt.screenshot();
  const std::string path = (test::test_dir() / ("layout_" + name + ".txt")).string();
  std::string text;
  ASSERT_EQ(ui::send_message(saved->hwnd(), UM_SAVESTATE, 1, reinterpret_cast<LPARAM>(&text)), 1);
  {
    std::ofstream out(path);
    out << text;
  }
  saved.reset();
  auto restored = open(frame, read_chart_config(SavedSection(path, "ActiveWnd1")));
  EXPECT_EQ(VizorGetTrendCount(restored->chart()), 1);
  ASSERT_TRUE(qt.save_screenshot(dir + "/terminal_chart_" + name + "_restored.png"));
  const ui::Bitmap after = qt.screenshot();
  ASSERT_EQ(before.width(), after.width());
  ASSERT_EQ(before.height(), after.height());
  // The window's area only: the shell's clock above it may tick meanwhile.
  const RECT area = ui::screen_info().work_area;
  int differing = 0, coloured = 0;
  for (int y = area.top; y < area.bottom && y < before.height(); ++y) {
    for (int x = area.left; x < area.right && x < before.width(); ++x) {
      differing += before.pixel(x, y) != after.pixel(x, y);
      const uint32_t p = before.pixel(x, y) & 0xFFFFFF;
      coloured += p != 0xFFFFFF && p != 0;
    }
  }
  EXPECT_EQ(differing, 0) << name;
  EXPECT_GT(coloured, 1000) << name;
  restored.reset();
  set_data_lines(nullptr);
}

TEST(ChartWindowScreens, EveryFamilySavedAndRestoredInPortraitAndLandscape) {
  ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
  reset_log();
  photograph(ui::ScreenConfig{240, 320}, "portrait");
  photograph(ui::ScreenConfig{320, 240}, "landscape");
}

}  // namespace
}  // namespace kelda::terminal
