// The indicator catalogue: every kind of the type list is accepted by the
// chart library with its defaults, the saved value texts restore what they
// wrote, and bad texts change nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "terminal/layout_files.h"
#include "terminal_chart/indicator_catalogue.h"

namespace kelda::terminal {
namespace {

// Every kind that has a name, in code order.
std::vector<int32_t> named_kinds() {
  std::vector<int32_t> out;
  for (int32_t k = 0; k < 50; ++k) {
    if (!indicator_name(k).empty()) out.push_back(k);
  }
  return out;
}

GraphSettings defaults(int32_t kind) {
  GraphSettings s;
  s.kind = kind;
  EXPECT_TRUE(set_indicator_defaults(s));
  return s;
}

int32_t word(const GraphSettings& s, std::size_t offset) {
  int32_t v = 0;
  std::memcpy(&v, s.params.data() + offset, 4);
  return v;
}

TEST(IndicatorCatalogue, NamesAndDefaultsOfTheTable) {
  EXPECT_EQ(named_kinds().size(), 34u);
  for (int32_t unnamed : {0, 14, 15, 25, 32, 39, -1}) EXPECT_EQ(indicator_name(unnamed), u"") << unnamed;
  const GraphSettings price = defaults(indicator::price);
  EXPECT_EQ(price.graph.style, 3);
  // Price and volume on the right scale, which the chart gives room for its
  // labels, with their last value labelled; indicators on the same scale.
  for (const int32_t kind : {indicator::price, indicator::volume, indicator::bollinger}) {
    const GraphSettings s = defaults(kind);
    EXPECT_EQ(s.graph.scaleSide, 0) << kind;
    EXPECT_EQ(s.graph.scaleGroup, 0) << kind;
    EXPECT_EQ(s.graph.priceLabels, kind == indicator::bollinger ? 0 : 1) << kind;
  }
  EXPECT_TRUE(price.params.empty());
  const GraphSettings volume = defaults(indicator::volume);
  EXPECT_EQ(volume.graph.penWidth, 3);
  EXPECT_EQ(volume.graph.style, 2);
  EXPECT_EQ(std::u16string(volume.graph.legend), u"Volume");
  const GraphSettings bands = defaults(indicator::bollinger);
  ASSERT_EQ(bands.params.size(), 296u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(bands.params.data() + 24)), u"Bollinger Bands [Upper Band]");
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(bands.params.data() + 164)), u"Bollinger Bands [Lower Band]");
  const GraphSettings ichimoku = defaults(indicator::ichimoku);
  ASSERT_EQ(ichimoku.params.size(), 1040u);
  EXPECT_EQ(word(ichimoku, 1036), 0x000080);
  const GraphSettings williams = defaults(17);
  ASSERT_EQ(williams.levels.size(), 2u);
  EXPECT_EQ(williams.levels[1].price, -80.0);
  EXPECT_EQ(williams.levels[1].colour, kLevelLineColour);
  EXPECT_EQ(williams.graph_block().levelLineCount, 2);
  // A change of kind replaces the block and drops the old levels.
  GraphSettings s = williams;
  s.kind = indicator::moving_average;
  set_indicator_defaults(s);
  EXPECT_EQ(s.params.size(), 12u);
  EXPECT_TRUE(s.levels.empty());
  EXPECT_EQ(s.graph.colour, kDefaultGraphColour);
}

// The terminal's defaults must pass the library's checks, kind by kind.
TEST(IndicatorCatalogue, TheChartLibraryTakesEveryKindWithItsDefaults) {
  const RECT rect{0, 0, 300, 200};
  VizorChart chart = VizorCreateChart(0, &rect, nullptr, nullptr);
  ASSERT_NE(chart, nullptr);
  const int32_t pane = VizorAddPane(chart);
  const int32_t price = VizorAddGraphData(chart);
  for (int32_t kind : named_kinds()) {
    SCOPED_TRACE(kind);
    const GraphSettings s = defaults(kind);
    const int32_t id = VizorAddGraph(chart, price, kind, pane);
    ASSERT_NE(id, 0);
    const VizorGraphParams graph = s.graph_block();
    EXPECT_EQ(VizorSetGraphParams(chart, id, &graph, s.params_data(), s.params_size()), 1);
    EXPECT_EQ(VizorGetLevelLineCount(chart, id), static_cast<int32_t>(s.levels.size()));
    EXPECT_EQ(VizorDeleteGraph(chart, id), 1);
  }
  EXPECT_EQ(VizorDestroyChart(chart), 1);
}

TEST(IndicatorCatalogue, SavedTextsRestoreWhatTheyWrote) {
  for (int32_t kind : named_kinds()) {
    SCOPED_TRACE(kind);
    GraphSettings written = defaults(kind);
    // Change every word of the block (reals included) so a field that is
    // written but not read back shows.
    for (std::size_t at = 0; at + 4 <= written.params.size(); at += 4) {
      int32_t w = word(written, at);
      w = w == 0 ? 7 : w + 3;
      std::memcpy(written.params.data() + at, &w, 4);
    }
    if (kind == 10) {
      const double step = 0.05, maximum = 0.5;
      std::memcpy(written.params.data(), &step, 8);
      std::memcpy(written.params.data() + 8, &maximum, 8);
    }
    if (kind == 7 || kind == 18) {
      const float k = 2.5f;
      std::memcpy(written.params.data(), &k, 4);
    }
    const std::string text = indicator_params_text(written);
    GraphSettings read = defaults(kind);
    const GraphSettings before = read;
    ASSERT_TRUE(parse_indicator_params(read, text));
    if (text.empty()) {
      EXPECT_EQ(read.params, before.params);
      EXPECT_TRUE(kind == 1 || kind == 2 || kind == 21 || kind == 23 || kind == 34 || kind == 37 || kind == 38);
      continue;
    }
    EXPECT_EQ(indicator_params_text(read), text);
    EXPECT_NE(read.params, before.params);
  }
  // The MACD text in the order of its fields.
  EXPECT_EQ(indicator_params_text(defaults(indicator::macd)), "12\x04" "26\x04" "9\x04" "2\x04" "4\x04" "1\x04" "1\x04" "255");
  EXPECT_EQ(indicator_params_text(defaults(indicator::envelopes)), "20\x04" "2.00\x04" "2\x04" "4");
  // A real far beyond 64 characters in fixed notation is written whole and
  // reads back the same.
  GraphSettings huge = defaults(10);
  const std::string big(102, '2');
  ASSERT_TRUE(parse_indicator_params(huge, big + "\x04" "0.20"));
  const std::string text = indicator_params_text(huge);
  GraphSettings again = defaults(10);
  ASSERT_TRUE(parse_indicator_params(again, text));
  EXPECT_EQ(indicator_params_text(again), text);
  EXPECT_EQ(again.params, huge.params);
}

TEST(IndicatorCatalogue, BadTextsChangeNothing) {
  GraphSettings s = defaults(indicator::moving_average);
  const std::vector<uint8_t> before = s.params;
  for (const char* bad : {"5\x04" "2", "5\x04x\x04" "4", "5\x04" "2\x04" "4z", "99999999999\x04" "2\x04" "4", "\x04\x04"}) {
    EXPECT_FALSE(parse_indicator_params(s, bad)) << bad;
    EXPECT_EQ(s.params, before);
  }
  EXPECT_TRUE(parse_indicator_params(s, ""));
  EXPECT_EQ(s.params, before);
  // A colour field takes no sign.
  GraphSettings ao = defaults(indicator::awesome);
  EXPECT_FALSE(parse_indicator_params(ao, "5\x04" "34\x04" "2\x04-1\x04" "1"));
}

TEST(IndicatorCatalogue, ParametersGoThroughTheLayoutFile) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "indicator_catalogue_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "layout.txt").string();
  GraphSettings s = defaults(indicator::alligator);
  std::memcpy(s.params.data() + 8, "\x15\0\0\0", 4);  // jaw period 21
  SectionText keys;
  write_indicator_params(s, 3, keys);
  EXPECT_EQ(keys.text().rfind("indicator3addpar=", 0), 0u);
  std::FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs(("[ActiveWnd0]\n" + keys.text()).c_str(), f);
  std::fclose(f);
  const SavedSection section(path, "ActiveWnd0");
  GraphSettings read = defaults(indicator::alligator);
  ASSERT_TRUE(read_indicator_params(read, 3, section));
  EXPECT_EQ(word(read, 8), 21);
  EXPECT_EQ(read.params, s.params);
  // A missing key leaves the block alone.
  GraphSettings untouched = defaults(indicator::alligator);
  EXPECT_TRUE(read_indicator_params(untouched, 4, section));
  EXPECT_EQ(word(untouched, 8), 13);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelda::terminal
