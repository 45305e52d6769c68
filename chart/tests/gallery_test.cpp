// The chart on the Qt backend, offscreen: a chart of three panes (candles
// with a moving average, bars, a volume histogram) in a frame, photographed in
// portrait, landscape and on the VGA screen (PNG files in the build folder).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/graph.h"
#include "chart_fixture.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

namespace kelda::chart::testing {
namespace {

class Frame : public ui::Window {
 public:
  explicit Frame(RECT rect) {
    ui::CreateParams p;
    p.style = ui::ws::popup | ui::ws::visible;
    p.rect = rect;
    create(p);
  }
};

void style(VizorChart chart, int32_t id, int32_t drawing, COLORREF colour, const char16_t* legend, int32_t side) {
  CGraph& g = *CChart::fromHandle(chart)->findGraphBySeries(id);
  VizorGraphParams p = g.params();
  p.style = drawing;
  p.colour = colour;
  p.scaleSide = side;
  std::u16string_view text(legend);
  std::fill(std::begin(p.legend), std::end(p.legend), u'\0');
  std::copy(text.begin(), text.end(), p.legend);
  g.setParams(p);
}

// Builds the three-pane chart in `frame`; answers its handle.
VizorChart buildChart(ui::Hwnd frame, RECT rect) {
  VizorChart chart = VizorCreateChart(frame.value(), &rect, nullptr, nullptr);
  VizorChartParams cp{};
  VizorGetChartParams(chart, &cp);
  cp.interval = 15;
  cp.minIntervals = 0;
  cp.background = 0x202020;
  cp.gridColour = 0x505050;
  cp.axisColour = 0xC0C0C0;
  cp.textColour = 0xE0E0E0;
  VizorSetChartParams(chart, &cp);
  const int32_t top = VizorAddPane(chart);
  const int32_t middle = VizorAddPane(chart);
  const int32_t bottom = VizorAddPane(chart);
  const double sizes[] = {0.5, 0.25, 0.25};
  VizorSetPaneSizes(chart, 3, sizes);
  const int32_t security = VizorAddGraphData(chart);
  const int32_t candles = VizorAddGraph(chart, security, 1, top);
  const int32_t average = VizorAddGraph(chart, security, 3, top);
  const int32_t line = VizorAddGraph(chart, security, 1, middle);
  const int32_t volume = VizorAddGraph(chart, security, 2, bottom);
  double close = 100.0;
  for (int i = 0; i < 60; ++i) {
    const int minutes = 10 * 60 + i * 15;
    const FILETIME t = at(20240304 + minutes / (24 * 60), (minutes % (24 * 60)) / 60 * 10000 + minutes % 60 * 100);
    const double open = close;
    close = open + std::sin(i * 0.4) * 1.5 + (i % 3 == 0 ? -0.8 : 0.6);
    const double high = std::max(open, close) + 0.7;
    const double low = std::min(open, close) - 0.6;
    VizorAddOHLCV(chart, security, &t, open, high, low, close, 1000 + (i * 37) % 500, 1);
  }
  style(chart, candles, 3, 0x40C040, u"Security", 0);
  style(chart, average, 1, 0x00C0FF, u"Average", 0);
  style(chart, volume, 2, 0x4040FF, u"Volume", 0);
  style(chart, line, 4, 0xFFA040, u"Bars", 0);
  CChart::fromHandle(chart)->invalidate(true);
  return chart;
}

bool paintedSomething(const ui::Bitmap& shot, RECT r) {
  int coloured = 0;
  for (int y = r.top; y < r.bottom && y < shot.height(); ++y) {
    for (int x = r.left; x < r.right && x < shot.width(); ++x) {
      const uint32_t p = shot.pixel(x, y) & 0xFFFFFF;
      coloured += p != 0x202020 && p != 0xFFFFFF;
    }
  }
  return coloured > 100;
}

void photograph(ui::ScreenConfig screen, const std::string& name) {
  ui::QtUiOptions o;
  o.show_window = false;
  o.screen = screen;
  ui::QtUi qt(o);
  const ui::ScreenInfo info = ui::screen_info();
  Frame frame(info.work_area);
  const RECT client = ui::get_client_rect(frame.hwnd());
  VizorChart chart = buildChart(frame.hwnd(), client);
  ASSERT_NE(CChart::fromHandle(chart)->window(), nullptr);
  ui::update_window(CChart::fromHandle(chart)->window()->hwnd());
  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(qt.save_screenshot(dir + "/chart_" + name + ".png"));
  const ui::Bitmap shot = qt.screenshot();
  EXPECT_EQ(CChart::fromHandle(chart)->controller().paneRects().size(), 3u);
  for (const RECT& r : CChart::fromHandle(chart)->controller().paneRects()) {
    EXPECT_TRUE(paintedSomething(shot, ui::offset_rect(r, info.work_area.left, info.work_area.top))) << name;
  }
  EXPECT_GT(std::filesystem::file_size(dir + "/chart_" + name + ".png"), 1000u);
  VizorDestroyChart(chart);
}

TEST(ChartGallery, ThreePanesInPortraitLandscapeAndVga) {
  photograph(ui::ScreenConfig{240, 320}, "portrait");
  photograph(ui::ScreenConfig{320, 240}, "landscape");
  photograph(ui::ScreenConfig{480, 640}, "vga");
}

// Every trend tool kind on the candles of the top pane, in its own colour.
TEST(ChartGallery, EveryTrendTool) {
  ui::QtUiOptions o;
  o.show_window = false;
  o.screen = ui::ScreenConfig{480, 640};
  ui::QtUi qt(o);
  const ui::ScreenInfo info = ui::screen_info();
  Frame frame(info.work_area);
  VizorChart chart = buildChart(frame.hwnd(), ui::get_client_rect(frame.hwnd()));
  CChart& object = *CChart::fromHandle(chart);
  ui::update_window(object.window()->hwnd());
  const auto time = [&](int i) { return object.bars()[i].time; };
  const auto close = [&](int i) {
    double o = 0, h = 0, l = 0, c = 0, v = 0;
    const FILETIME t = time(i);
    VizorGetCandle(chart, 1, t.dwLowDateTime, t.dwHighDateTime, &o, &h, &l, &c, &v);
    return c;
  };
  struct Tool {
    int32_t type;
    int first, second, third;
    COLORREF colour;
  };
  const Tool tools[] = {{1, 2, 12, 0, 0x00FFFF},   {2, 20, 20, 0, 0xFF00FF},  {3, 30, 40, 0, 0xFFFF00},
                        {4, 5, 20, 0, 0x80FF80},   {6, 35, 45, 0, 0x8080FF},  {7, 40, 44, 0, 0xFF8080},
                        {9, 44, 52, 48, 0x00A0FF}, {10, 48, 56, 0, 0xA000FF}, {11, 22, 30, 30, 0xFFA0A0}};
  std::vector<VizorTrendInfo> records;
  for (const Tool& t : tools) {
    VizorTrendInfo r{};
    r.type = t.type;
    r.colour = t.colour;
    r.penWidth = 1;
    r.time1 = time(t.first), r.time2 = time(t.second), r.time3 = time(t.third);
    r.price1 = close(t.first), r.price2 = close(t.second), r.price3 = t.third != 0 ? close(t.third) + 3 : 0;
    records.push_back(r);
  }
  ASSERT_EQ(VizorRestoreSavedTrends(chart, static_cast<int32_t>(records.size()), records.data()), 1);
  object.invalidate(true);
  ui::update_window(object.window()->hwnd());
  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(qt.save_screenshot(dir + "/chart_trends.png"));
  const ui::Bitmap shot = qt.screenshot();
  for (const Tool& t : tools) {
    // COLORREF 0x00BBGGRR against the screenshot's 0xRRGGBB pixels.
    const uint32_t rgb = ((t.colour & 0xFF) << 16) | (t.colour & 0xFF00) | ((t.colour >> 16) & 0xFF);
    int found = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) found += (shot.pixel(x, y) & 0xFFFFFF) == rgb;
    }
    EXPECT_GT(found, 10) << "type " << t.type;
  }
  VizorDestroyChart(chart);
}

}  // namespace
}  // namespace kelda::chart::testing
