// Arbitrary chart sections of a layout file through the chart window's
// reader, and arbitrary value texts through every indicator kind's block
// parser. The first byte picks the kind; the rest is both the value text and
// the body of a section "[C]". Nothing may crash; what is read must be sound
// (pane shares that sum to 1, counts within their limits), and the text a
// parsed block writes must read back to a block that writes it again.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "terminal/layout_files.h"
#include "terminal_chart/chart_config.h"
#include "terminal_chart/indicator_catalogue.h"

namespace {

const std::string& section_file() {
  static const std::string path = [] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    static const std::string folder = base + "/kelda-fuzz-chart-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    setenv("KELDAMOBILE_HOME", folder.c_str(), 1);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return folder + "/layout.awf";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelda::terminal;
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  GraphSettings g;
  g.kind = data[0] % 40;
  set_indicator_defaults(g);
  if (parse_indicator_params(g, text)) {
    const std::string written = indicator_params_text(g);
    GraphSettings again = g;
    if (!parse_indicator_params(again, written) || indicator_params_text(again) != written) std::abort();
  }
  {
    std::ofstream out(section_file(), std::ios::binary | std::ios::trunc);
    out << "[C]\n" << text;
  }
  const ChartConfig c = read_chart_config(SavedSection(section_file(), "C"));
  if (c.saved_pane_ids.size() != c.proportions.size() || c.saved_pane_ids.size() > kMaxChartPanes ||
      c.graphs.size() > kMaxChartGraphs || c.trends.size() > kMaxChartTrends) {
    std::abort();
  }
  double sum = 0;
  for (double p : c.proportions) sum += p;
  if (!c.proportions.empty() && std::fabs(sum - 1.0) > 1e-9) std::abort();
  return 0;
}
