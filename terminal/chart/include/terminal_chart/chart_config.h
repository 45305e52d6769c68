// The configuration of one chart window: the security it shows, its bar
// length and period mode, its panes with their proportions, its graphs and
// its trend tools, and the window's section of a layout file that keeps it
// (its keys after "type" and "caption" of "[ActiveWnd<n>]"). Reading checks every count, index and number
// of the section before use: a bad pane list falls back to the two default
// panes, proportions are renormalised to a sum of 1, and an entry that does
// not parse is dropped with a log line.
//
// Threading: any thread (no shared state). Errors: logged; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chart/kelda_chart.h"
#include "terminal_chart/indicator_catalogue.h"

namespace kelda::terminal {

inline constexpr int kChartWindowKind = 11;
inline constexpr int kMaxChartPanes = 50;
inline constexpr int kMaxChartGraphs = 500;
inline constexpr int kMaxChartLevels = 100;
inline constexpr int kMaxChartTrends = 1000;

struct ChartConfig {
  int32_t class_id = -1;
  int32_t security_id = -1;
  int32_t minutes = 15;
  int32_t period_mode = 3;
  int32_t last_bars = 100;
  std::string caption;  // 8-bit text
  std::string class_code;
  std::string security_code;
  std::vector<double> proportions;     // one per pane, summing to 1
  std::vector<int32_t> saved_pane_ids;  // one per pane
  std::vector<GraphSettings> graphs;
  std::vector<VizorTrendInfo> trends;
};

class SectionText;
class SavedSection;

// Reads the window's section of a layout file (the caption included).
ChartConfig read_chart_config(const SavedSection& section);
// Writes the chart's keys with the pane ids given (the chart's current
// ones), proportions written exactly ("%.17g").
void write_chart_config(const ChartConfig& config, const std::vector<int32_t>& pane_ids, SectionText& section);
// Shares that sum to 1; every share must be finite and above 0, else the
// panes get equal shares.
std::vector<double> normalised_proportions(std::vector<double> shares);

}  // namespace kelda::terminal
