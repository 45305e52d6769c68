// The indicator gallery: one chart window on the Qt backend with every graph
// type that has a series class, each in a pane of its own group, photographed
// as a PNG file in the build folder (indicator_gallery.png).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "chart/chart.h"
#include "chart/graph.h"
#include "chart/kelda_chart.h"
#include "chart/wide_text.h"
#include "platform/packed_time.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

namespace {

using kelda::ui::Hwnd;

// Every type of the catalogue, in the order of its codes; those without a
// class in this build are left out.
constexpr int32_t kTypes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 16, 17, 18, 19, 20,
                              21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 33, 34, 35, 36, 37, 38};
constexpr int kPanes = 5;

std::u16string nameOf(int32_t type) {
  switch (type) {
    case 1: return u"Price";
    case 2: return u"Volume";
    case 3: return u"Moving Average";
    case 4: return u"Price Oscillator";
    case 5: return u"MACD";
    case 6: return u"Standard Deviation";
    case 7: return u"Bollinger Bands";
    case 8: return u"Stochastic Oscillator";
    case 9: return u"Relative Strength Index";
    case 10: return u"Parabolic SAR";
    case 11: return u"Smoothed Rate Of Change";
    case 12: return u"Momentum";
    case 13: return u"Rate Of Change";
    case 16: return u"Money Flow Index";
    case 17: return u"Williams' % Range";
    case 18: return u"Envelopes";
    case 19: return u"Volume Oscillator";
    case 20: return u"On Balance Volume";
    case 21: return u"A/D";
    case 22: return u"Chaikin Oscillator";
    case 23: return u"Williams' A/D";
    case 24: return u"Elder's Force Index";
    case 25: return u"Elder ray";
    case 26: return u"Vertical Horizontal Filter";
    case 27: return u"Chaikin's Volatility";
    case 28: return u"MACD Histogram";
    case 29: return u"Alligator";
    case 30: return u"ADX";
    case 31: return u"TRIX";
    case 33: return u"CMO";
    case 34: return u"BW MFI";
    case 35: return u"CCI";
    case 36: return u"AO";
    case 37: return u"AC";
    default: return u"Ichimoku";
  }
}

TEST(IndicatorGallery, EveryTypeIsDrawnAndPhotographed) {
  kelda::ui::QtUiOptions options;
  options.show_window = false;
  options.screen = kelda::ui::ScreenConfig{640, 480};
  kelda::ui::QtUi ui(options);
  kelda::ui::CreateParams host;
  host.text = u"Indicators";
  host.style = kelda::ui::ws::visible;
  host.rect = RECT{0, 0, 640, 480};
  const Hwnd top = kelda::ui::create_window(host);
  ASSERT_TRUE(top);
  kelda::ui::make_full_screen(top);
  const RECT rect = kelda::ui::get_client_rect(top);
  VizorChart chart = VizorCreateChart(top.value(), &rect, nullptr, nullptr);
  ASSERT_NE(chart, nullptr);
  int32_t panes[kPanes];
  for (int32_t& pane : panes) pane = VizorAddPane(chart);
  const double proportions[kPanes] = {0.32, 0.17, 0.17, 0.17, 0.17};
  ASSERT_EQ(VizorSetPaneSizes(chart, kPanes, proportions), 1);
  const int32_t security = VizorAddGraphData(chart);
  for (int i = 0; i < 150; ++i) {
    const FILETIME t = kelda::platform::unpackDateTime(20090304, 100000 + (i / 60) * 10000 + (i % 60) * 100);
    const double c = 100.0 + 8.0 * std::sin(i / 9.0) + (i % 7) * 0.4;
    ASSERT_EQ(VizorAddOHLCV(chart, security, &t, c - 0.3, c + 1.2, c - 1.1, c, 10.0 + i % 13, 0), 1);
  }
  int drawn = 0;
  for (int32_t type : kTypes) {
    // Prices and the averages over them share the first pane; the others
    // spread over the rest.
    const bool overPrice = type == 1 || type == 3 || type == 7 || type == 10 || type == 18 || type == 29 || type == 38;
    const int32_t pane = overPrice ? panes[0] : panes[1 + drawn % (kPanes - 1)];
    const int32_t id = VizorAddGraph(chart, security, type, pane);
    if (id == 0) continue;
    static const COLORREF kColours[] = {0x0000C0, 0x00A000, 0xC00000, 0x008080, 0x800080, 0x808000, 0x404040};
    kelda::chart::CGraph* graph = kelda::chart::CChart::fromHandle(chart)->findGraphBySeries(id);
    VizorGraphParams p = graph->params();
    const std::u16string name = nameOf(type);
    kelda::chart::copyWideField(p.legend, 66, name.c_str(), name.size());
    p.colour = kColours[drawn % 7];
    if (type == 1) p.style = 3;
    graph->setParams(p);
    ++drawn;
  }
  EXPECT_GE(drawn, 20);
  VizorRedraw(chart, 0);
  kelda::ui::process_pending();
  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/indicator_gallery.png";
  ASSERT_TRUE(ui.save_screenshot(path));
  EXPECT_GT(std::filesystem::file_size(path), 2000u);
  EXPECT_EQ(VizorDestroyChart(chart), 1);
  kelda::ui::destroy_window(top);
}

}  // namespace
