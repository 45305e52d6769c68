// The terminal's catalogue of indicator kinds: their names, the default
// graph block, parameter block and level lines of each kind, the settings
// record of one graph of a chart window (GraphSettings), and the text form in
// which a parameter block is kept in a window layout file
// ("indicator%daddpar=...": the block's fields in decimal, joined by 0x04).
//
// Threading: user-interface thread (no shared state). Ownership: a
// GraphSettings owns its parameter block and its level lines; copies are
// deep. Errors: text that does not parse leaves the block as it was (logged);
// nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chart/kelda_chart.h"

namespace kelda::terminal {

// Kind codes of the chart library that the terminal names.
namespace indicator {
inline constexpr int32_t price = 1;
inline constexpr int32_t volume = 2;
inline constexpr int32_t moving_average = 3;
inline constexpr int32_t macd = 5;
inline constexpr int32_t bollinger = 7;
inline constexpr int32_t envelopes = 18;
inline constexpr int32_t alligator = 29;
inline constexpr int32_t macd_histogram = 28;
inline constexpr int32_t awesome = 36;
inline constexpr int32_t accelerator = 37;
inline constexpr int32_t ichimoku = 38;
}  // namespace indicator

inline constexpr COLORREF kDefaultGraphColour = 0x800080;
inline constexpr COLORREF kLevelLineColour = 0xFF0000;

// One graph of a chart window.
struct GraphSettings {
  int32_t graph_id = -1;  // -1 while the graph is not on the chart
  int32_t pane_id = -1;   // -1 while unset (or: a new pane is wanted)
  int32_t kind = -1;
  // The graph block; its level-line pointer and count are filled only by
  // graph_block() from `levels`.
  VizorGraphParams graph{};
  std::vector<uint8_t> params;  // the kind's parameter block; empty: none
  std::vector<VizorLevelLine> levels;

  // The graph block with the level lines attached (valid while `levels` is
  // unchanged).
  VizorGraphParams graph_block() const;
  const void* params_data() const { return params.empty() ? nullptr : params.data(); }
  int32_t params_size() const { return static_cast<int32_t>(params.size()); }
};

// A level line at `price` as the terminal makes them: colour 0xFF0000 and
// the three flag words 1.
VizorLevelLine make_level_line(double price);

// The kind's name (the legend its graph gets), or an empty text for a code
// the catalogue does not know.
std::u16string indicator_name(int32_t kind);

// The kind's parameter block size in bytes (0: none).
int32_t indicator_params_size(int32_t kind);

// Resets the record to the defaults of its kind (nothing when the kind is -1):
// graph id -1, a zeroed graph block with the kind's legend, colour, width,
// style and main-series word, the kind's default level lines and a fresh
// parameter block with its defaults. Returns true.
bool set_indicator_defaults(GraphSettings& settings);

// The value text of the record's parameter block: its saved fields in
// decimal (colours unsigned, real numbers with two decimals) joined by 0x04;
// empty for kinds whose block is not saved.
std::string indicator_params_text(const GraphSettings& settings);
// Parses a value text into the record's existing block. An empty text
// changes nothing and answers true; a text with too few fields, a field that
// is not a number or a block of the wrong size changes nothing and answers
// false.
bool parse_indicator_params(GraphSettings& settings, std::string_view text);

class SectionText;
class SavedSection;

// Writes "indicator<n>addpar=<value text>" into a window's layout section.
void write_indicator_params(const GraphSettings& settings, int n, SectionText& section);
// Reads "indicator<n>addpar" (at most 5120 bytes) from a window's layout
// section and parses it into the record's block; a missing or empty value
// leaves the block as it is, a bad one too (logged, false).
bool read_indicator_params(GraphSettings& settings, int n, const SavedSection& section);

}  // namespace kelda::terminal
