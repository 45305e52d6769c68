// The shared library as the terminal loads it: exactly the Vizor* names of
// the chart interface, no Qt pulled in, and a first call through them.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>

#include <fstream>
#include <set>
#include <string>

#include "chart/kelda_chart.h"
#include "platform/last_error.h"

extern "C" size_t chart_c_graph_params_size(void);
extern "C" size_t chart_c_chart_params_size(void);
extern "C" size_t chart_c_trend_info_size(void);

namespace {

TEST(ChartHeader, CProgramsSeeTheSameRecords) {
  EXPECT_EQ(chart_c_graph_params_size(), sizeof(VizorGraphParams));
  EXPECT_EQ(chart_c_chart_params_size(), 192u);
  EXPECT_EQ(chart_c_trend_info_size(), 88u);
}

// The defined, exported function names of a loaded library, from its
// dynamic symbol table.
std::set<std::string> exportedNames(void* lib) {
  link_map* map = nullptr;
  EXPECT_EQ(dlinfo(lib, RTLD_DI_LINKMAP, &map), 0);
  const ElfW(Sym)* symbols = nullptr;
  const char* strings = nullptr;
  size_t count = 0;
  for (const ElfW(Dyn)* d = map->l_ld; d->d_tag != DT_NULL; ++d) {
    if (d->d_tag == DT_SYMTAB) symbols = reinterpret_cast<const ElfW(Sym)*>(d->d_un.d_ptr);
    if (d->d_tag == DT_STRTAB) strings = reinterpret_cast<const char*>(d->d_un.d_ptr);
    if (d->d_tag == DT_HASH) count = reinterpret_cast<const uint32_t*>(d->d_un.d_ptr)[1];
    if (d->d_tag == DT_GNU_HASH && count == 0) {
      // Walk the GNU hash chains to the highest symbol index.
      const auto* h = reinterpret_cast<const uint32_t*>(d->d_un.d_ptr);
      const uint32_t buckets = h[0], offset = h[1], bloom = h[2];
      const auto* bucket = reinterpret_cast<const uint32_t*>(reinterpret_cast<const ElfW(Addr)*>(h + 4) + bloom);
      const uint32_t* chain = bucket + buckets;
      uint32_t last = 0;
      for (uint32_t b = 0; b < buckets; ++b) last = std::max(last, bucket[b]);
      if (last >= offset) {
        while ((chain[last - offset] & 1) == 0) ++last;
      }
      count = last + 1;
    }
  }
  std::set<std::string> names;
  for (size_t i = 0; symbols != nullptr && i < count; ++i) {
    const ElfW(Sym)& s = symbols[i];
    if (s.st_shndx == SHN_UNDEF || ELF64_ST_TYPE(s.st_info) != STT_FUNC) continue;
    names.insert(strings + s.st_name);
  }
  return names;
}

TEST(ChartSharedLibrary, ExportsExactlyTheChartCallsAndNeedsNoQt) {
  void* lib = dlopen(KELDA_CHART_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const std::set<std::string> expected = {
      "VizorAddGraph", "VizorAddGraphData", "VizorAddLevelLine", "VizorAddOHLCV", "VizorAddPane",
      "VizorChangeTrendline", "VizorClear", "VizorCreateChart", "VizorDelLevelLine", "VizorDeleteAllTrends",
      "VizorDeleteGraph", "VizorDeleteGraphData", "VizorDeletePane", "VizorDestroyChart", "VizorGetCandle",
      "VizorGetCandleEx", "VizorGetChartParams", "VizorGetGraphParams", "VizorGetLevelLineCount",
      "VizorGetLevelLines", "VizorGetLineCount", "VizorGetNumIntervals", "VizorGetPaneParams", "VizorGetPaneSizes",
      "VizorGetTrendCount", "VizorGetTrendsInfo", "VizorMoveChart", "VizorOnMouseWheel", "VizorRedraw",
      "VizorRestoreSavedTrends", "VizorSendMessage", "VizorSessionChanged", "VizorSetCallbackAxisX",
      "VizorSetChartParams", "VizorSetGraphParams", "VizorSetPaneParams", "VizorSetPaneSizes", "VizorSetPrevPrice",
      "VizorSetTrendType", "VizorStartIntervalChanging", "VizorToggleCursorCrosshair",
  };
  EXPECT_EQ(exportedNames(lib), expected);

  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) EXPECT_EQ(line.find("libQt"), std::string::npos) << line;

  auto create = reinterpret_cast<VizorChart (*)(VizorWindow, const RECT*, VizorEventCallback, void*)>(
      dlsym(lib, "VizorCreateChart"));
  auto addPane = reinterpret_cast<int32_t (*)(VizorChart)>(dlsym(lib, "VizorAddPane"));
  auto destroy = reinterpret_cast<BOOL (*)(VizorChart)>(dlsym(lib, "VizorDestroyChart"));
  ASSERT_TRUE(create && addPane && destroy);
  const RECT rect{0, 0, 200, 200};
  VizorChart chart = create(0, &rect, nullptr, nullptr);
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(addPane(chart), 1);
  kelda::platform::set_last_error(0);
  EXPECT_EQ(addPane(nullptr), 0);
  EXPECT_EQ(kelda::platform::get_last_error(), 6u);  // through the one shared last-error value
  EXPECT_EQ(destroy(chart), 1);
  dlclose(lib);
}

}  // namespace
