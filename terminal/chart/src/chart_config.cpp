// Reading and writing a chart window's layout section.
#include "terminal_chart/chart_config.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdlib>

#include "terminal/layout_files.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

constexpr char kSeparator = '\x04';
constexpr std::size_t kListLimit = 5120;

std::vector<std::string_view> split_fields(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t stop = std::min(text.find(kSeparator, start), text.size());
    out.push_back(text.substr(start, stop - start));
    start = stop + 1;
  }
  return out;
}

bool parse_int64(std::string_view text, int64_t& out) {
  const std::string s(text);
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0' || errno != 0) return false;
  out = v;
  return true;
}

bool parse_int(std::string_view text, int32_t& out) {
  int64_t v = 0;
  if (!parse_int64(text, v) || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool parse_colour(std::string_view text, uint32_t& out) {
  int64_t v = 0;
  if (!parse_int64(text, v) || v < 0 || v > UINT32_MAX) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool parse_real(std::string_view text, double& out) {
  const std::string s(text);
  if (s.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

class SectionReader {
 public:
  explicit SectionReader(const SavedSection& section) : section_(section) {}
  std::string text(const std::string& key, std::size_t limit = 1999) const { return section_.get(key, "", limit); }
  // The key's value, or `fallback` when it is missing or not a number.
  int32_t number(const char* key, int32_t fallback) const {
    int32_t v = 0;
    return parse_int(text(key), v) ? v : fallback;
  }
  // A count in [0, limit]; anything else is logged and read as 0.
  int count(const std::string& key, int limit) const {
    const std::string value = text(key);
    int32_t v = 0;
    if (value.empty()) return 0;
    if (parse_int(value, v) && v >= 0 && v <= limit) return v;
    log_line("ERROR: bad count %s=%s in a chart section ignored.", key.c_str(), value.c_str());
    return 0;
  }
  const SavedSection& section() const { return section_; }

 private:
  const SavedSection& section_;
};

std::string key(const char* format, int n) {
  char out[48];
  std::snprintf(out, sizeof out, format, n);
  return out;
}

void read_panes(const SectionReader& reader, ChartConfig& config) {
  const int count = reader.count("panesNum", kMaxChartPanes);
  if (count == 0) return;
  std::vector<double> shares;
  for (int n = 0; n < count; ++n) {
    double share = 0;
    if (!parse_real(reader.text(key("pane%dheight", n)), share)) share = -1;
    shares.push_back(share);
  }
  std::vector<int32_t> ids;
  const std::string id_list = reader.text("paneIDs", kListLimit);
  for (std::string_view field : split_fields(id_list)) {
    int32_t id = 0;
    if (!parse_int(field, id)) break;
    ids.push_back(id);
  }
  if (static_cast<int>(ids.size()) != count) {
    log_line("ERROR: the chart's pane list does not match its %d panes; default panes used.", count);
    return;
  }
  config.saved_pane_ids = std::move(ids);
  config.proportions = normalised_proportions(std::move(shares));
}

bool read_graph(const SectionReader& reader, int n, GraphSettings& g) {
  int32_t kind = 0;
  if (!parse_int(reader.text(key("indicator%dtype", n)), kind) || indicator_name(kind).empty()) return false;
  g.kind = kind;
  set_indicator_defaults(g);
  if (!parse_int(reader.text(key("indicator%dpane", n)), g.pane_id)) return false;
  const std::string info_text = reader.text(key("indicator%dinfo", n));
  const std::vector<std::string_view> info = split_fields(info_text);
  uint32_t colour = 0, width = 0;
  int32_t style = 0;
  if (info.size() != 3 || !parse_int(info[0], style) || !parse_colour(info[1], colour) ||
      !parse_colour(info[2], width) || width > INT32_MAX) {
    return false;
  }
  g.graph.style = style;
  g.graph.colour = colour;
  g.graph.penWidth = static_cast<int32_t>(width);
  read_indicator_params(g, n, reader.section());
  g.levels.clear();
  const int levels = reader.count(key("indicator%dlevelsNum", n), kMaxChartLevels);
  const std::string price_list = levels > 0 ? reader.text(key("indicator%dlevels", n), kListLimit) : "";
  const std::vector<std::string_view> prices = split_fields(price_list);
  for (int i = 0; i < levels && i < static_cast<int>(prices.size()); ++i) {
    double price = 0;
    if (parse_real(prices[static_cast<std::size_t>(i)], price)) g.levels.push_back(make_level_line(price));
  }
  return true;
}

bool read_trend(std::string_view text, VizorTrendInfo& t) {
  const std::vector<std::string_view> f = split_fields(text);
  if (f.size() != 13) return false;
  double* reals[6] = {&t.bar1, &t.price1, &t.bar2, &t.price2, &t.bar3, &t.price3};
  for (int i = 0; i < 6; ++i) {
    if (!parse_real(f[static_cast<std::size_t>(i)], *reals[i])) return false;
  }
  uint32_t colour = 0, width = 0;
  if (!parse_int(f[6], t.type) || !parse_colour(f[7], colour) || !parse_colour(f[8], width) || width > INT32_MAX ||
      !parse_int(f[9], t.graphOrdinal)) {
    return false;
  }
  t.colour = colour;
  t.penWidth = static_cast<int32_t>(width);
  FILETIME* times[3] = {&t.time1, &t.time2, &t.time3};
  for (int i = 0; i < 3; ++i) {
    int64_t v = 0;
    if (!parse_int64(f[static_cast<std::size_t>(10 + i)], v)) return false;
    const auto u = static_cast<uint64_t>(v);
    times[i]->dwLowDateTime = static_cast<DWORD>(u & 0xFFFFFFFFu);
    times[i]->dwHighDateTime = static_cast<DWORD>(u >> 32);
  }
  return true;
}

int64_t filetime_number(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

}  // namespace

std::vector<double> normalised_proportions(std::vector<double> shares) {
  double sum = 0;
  bool sound = !shares.empty();
  for (double s : shares) {
    if (!std::isfinite(s) || s <= 0) sound = false;
    sum += s;
  }
  if (!sound || !std::isfinite(sum)) {
    if (!shares.empty()) log_line("ERROR: bad pane proportions of a chart; equal shares used.");
    return std::vector<double>(shares.size(), shares.empty() ? 0.0 : 1.0 / static_cast<double>(shares.size()));
  }
  for (double& s : shares) s /= sum;
  return shares;
}

ChartConfig read_chart_config(const SavedSection& section) {
  const SectionReader reader(section);
  ChartConfig config;
  config.caption = reader.text("caption", 255);
  config.class_code = reader.text("class", 12);
  config.security_code = reader.text("sec", 12);
  config.minutes = reader.number("minutes", 15);
  config.period_mode = reader.number("periodType", 3);
  config.last_bars = reader.number("numLastCandles", 100);
  read_panes(reader, config);
  const int graphs = reader.count("indicatorsNum", kMaxChartGraphs);
  for (int n = 0; n < graphs; ++n) {
    GraphSettings g;
    if (read_graph(reader, n, g)) {
      config.graphs.push_back(std::move(g));
    } else {
      log_line("ERROR: indicator %d of a chart section is damaged and left out.", n);
    }
  }
  const int trends = reader.count("trendsNum", kMaxChartTrends);
  for (int n = 0; n < trends; ++n) {
    VizorTrendInfo t{};
    if (read_trend(reader.text(key("trend%dinfo", n)), t)) {
      config.trends.push_back(t);
    } else {
      log_line("ERROR: trend %d of a chart section is damaged and left out.", n);
    }
  }
  return config;
}

void write_chart_config(const ChartConfig& c, const std::vector<int32_t>& pane_ids, SectionText& out) {
  char text[512];
  out.put("class", c.class_code);
  out.put("sec", c.security_code);
  out.put_int("minutes", c.minutes);
  out.put_int("periodType", c.period_mode);
  out.put_int("numLastCandles", c.last_bars);
  out.put_int("panesNum", static_cast<long long>(pane_ids.size()));
  for (std::size_t n = 0; n < pane_ids.size(); ++n) {
    std::snprintf(text, sizeof text, "%.17g", n < c.proportions.size() ? c.proportions[n] : 0.0);
    out.put(key("pane%dheight", static_cast<int>(n)), text);
  }
  std::string ids;
  for (int32_t id : pane_ids) ids += std::to_string(id) + kSeparator;
  out.put("paneIDs", ids);
  out.put_int("indicatorsNum", static_cast<long long>(c.graphs.size()));
  for (std::size_t i = 0; i < c.graphs.size(); ++i) {
    const GraphSettings& g = c.graphs[i];
    const int n = static_cast<int>(i);
    out.put_int(key("indicator%dtype", n), g.kind);
    out.put_int(key("indicator%dpane", n), g.pane_id);
    std::snprintf(text, sizeof text, "%d%c%u%c%u", g.graph.style, kSeparator, static_cast<unsigned>(g.graph.colour),
                  kSeparator, static_cast<unsigned>(g.graph.penWidth));
    out.put(key("indicator%dinfo", n), text);
    write_indicator_params(g, n, out);
    out.put_int(key("indicator%dlevelsNum", n), static_cast<long long>(g.levels.size()));
    if (!g.levels.empty()) {
      std::string prices;
      for (const VizorLevelLine& line : g.levels) {
        std::snprintf(text, sizeof text, "%f%c", line.price, kSeparator);
        prices += text;
      }
      out.put(key("indicator%dlevels", n), prices);
    }
  }
  if (c.trends.empty()) return;
  out.put_int("trendsNum", static_cast<long long>(c.trends.size()));
  for (std::size_t n = 0; n < c.trends.size(); ++n) {
    const VizorTrendInfo& t = c.trends[n];
    const char s = kSeparator;
    std::snprintf(text, sizeof text, "%f%c%f%c%f%c%f%c%f%c%f%c%d%c%u%c%u%c%d%c%" PRId64 "%c%" PRId64 "%c%" PRId64,
                  t.bar1, s, t.price1, s, t.bar2, s, t.price2, s, t.bar3, s, t.price3, s, t.type, s,
                  static_cast<unsigned>(t.colour), s, static_cast<unsigned>(t.penWidth), s, t.graphOrdinal, s,
                  filetime_number(t.time1), s, filetime_number(t.time2), s, filetime_number(t.time3));
    out.put(key("trend%dinfo", static_cast<int>(n)), text);
  }
}

}  // namespace kelda::terminal
