// The indicator catalogue: names, defaults and the text form of the blocks.
#include "terminal_chart/indicator_catalogue.h"

#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "terminal/layout_files.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

constexpr char kFieldSeparator = '\x04';
constexpr std::size_t kParamsTextLimit = 5120;

struct KindName {
  int32_t kind;
  const char16_t* name;
};

constexpr KindName kNames[] = {
    {1, u"Price"},
    {2, u"Volume"},
    {3, u"Moving Average"},
    {4, u"Price Oscillator"},
    {5, u"MACD"},
    {6, u"Standard Deviation"},
    {7, u"Bollinger Bands"},
    {8, u"Stochastic Oscillator"},
    {9, u"Relative Strength Index"},
    {10, u"Parabolic SAR"},
    {11, u"Smoothed Rate Of Change"},
    {12, u"Momentum"},
    {13, u"Rate Of Change"},
    {16, u"Money Flow Index"},
    {17, u"Williams' % Range"},
    {18, u"Envelopes"},
    {19, u"Volume Oscillator"},
    {20, u"On Balance Volume"},
    {21, u"A/D"},
    {22, u"Chaikin Oscillator"},
    {23, u"Williams' A/D"},
    {24, u"Elder's Force Index"},
    {26, u"Vertical Horizontal Filter"},
    {27, u"Chaikin's Volatility"},
    {28, u"MACD Histogram"},
    {29, u"Alligator"},
    {30, u"ADX"},
    {31, u"TRIX"},
    {33, u"CMO"},
    {34, u"BW MFI (Market Facilitation Index)"},
    {35, u"CCI (Commodity Channel Index)"},
    {36, u"AO"},
    {37, u"AC"},
    {38, u"Ichimoku"},
};

// A block under construction: 32-bit words, reals and wide names at byte offsets.
class BlockWriter {
 public:
  explicit BlockWriter(std::size_t size) : bytes_(size, 0) {}
  BlockWriter& words(std::size_t offset, std::initializer_list<int64_t> values) {
    for (int64_t v : values) {
      const auto word = static_cast<uint32_t>(v);
      std::memcpy(bytes_.data() + offset, &word, 4);
      offset += 4;
    }
    return *this;
  }
  BlockWriter& real32(std::size_t offset, float v) {
    std::memcpy(bytes_.data() + offset, &v, 4);
    return *this;
  }
  BlockWriter& real64(std::size_t offset, double v) {
    std::memcpy(bytes_.data() + offset, &v, 8);
    return *this;
  }
  // A name field of 66 UTF-16 units, terminated.
  BlockWriter& name(std::size_t offset, std::u16string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 65);
    std::memcpy(bytes_.data() + offset, text.data(), n * sizeof(char16_t));
    return *this;
  }
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

constexpr int64_t kBlue = 0x0000FF;
constexpr int64_t kGreen = 0x00FF00;

std::vector<uint8_t> macd_block() {
  return BlockWriter(168).words(0, {12, 26, 2, 4, 1, 9, kBlue, 1, 1}).name(36, u"MACD Signal").take();
}

std::vector<uint8_t> bands_block() {
  const std::u16string name = indicator_name(indicator::bollinger);
  return BlockWriter(296)
      .real32(0, 2.0f)
      .words(4, {20, 4, 1, kDefaultGraphColour, 1})
      .name(24, name + u" [Upper Band]")
      .words(156, {kDefaultGraphColour, 1})
      .name(164, name + u" [Lower Band]")
      .take();
}

// The default parameter block of a kind (empty: none).
std::vector<uint8_t> default_block(int32_t kind) {
  switch (kind) {
    case 3: case 31: case 35: return BlockWriter(12).words(0, {9, 2, 4}).take();
    case 30: return BlockWriter(12).words(0, {14, 2, 4}).take();
    case 4: return BlockWriter(20).words(0, {12, 26, 2, 4, 1}).take();
    case 5: case 28: return macd_block();
    case 6: return BlockWriter(8).words(0, {20, 4}).take();
    case 9: case 33: return BlockWriter(8).words(0, {14, 4}).take();
    case 12: case 13: return BlockWriter(8).words(0, {5, 4}).take();
    case 26: return BlockWriter(8).words(0, {28, 4}).take();
    case 27: return BlockWriter(8).words(0, {10, 2}).take();
    case 7: return bands_block();
    case 8: return BlockWriter(156).words(0, {5, 3, 3, 1, kGreen, 1}).name(24, u"Stochastic %D").take();
    case 10: return BlockWriter(16).real64(0, 0.02).real64(8, 0.2).take();
    case 11: return BlockWriter(16).words(0, {5, 10, 2, 4}).take();
    case 16: return BlockWriter(4).words(0, {3}).take();
    case 17: return BlockWriter(4).words(0, {10}).take();
    case 20: return BlockWriter(4).words(0, {4}).take();
    case 18: return BlockWriter(24).real32(0, 2.0f).words(4, {20, 4, 2, kBlue, kBlue}).take();
    case 19: return BlockWriter(16).words(0, {5, 10, 2, 4}).take();
    case 21: case 23: return BlockWriter(12).words(0, {0, 0, 4}).take();
    case 22: return BlockWriter(16).words(0, {3, 10, 2, 4}).take();
    case 24: return BlockWriter(16).words(0, {2, 13, 2, 4}).take();
    case 29: return BlockWriter(44).words(0, {4, 4, 13, 8, 5, 8, 5, 3, 0xFF0000, kBlue, kGreen}).take();
    case 36: case 37: return BlockWriter(24).words(0, {5, 34, 2, 5, kGreen, kBlue}).take();
    case 38:
      return BlockWriter(1040).words(0, {9, 26, 52, 26, 26}).words(1020, {0xFF00FF, kBlue, 0xFFFF00, kGreen, 0x000080}).take();
    default: return {};
  }
}

std::vector<double> default_levels(int32_t kind) {
  switch (kind) {
    case 5: case 13: case 22: case 27: case 31: return {0};
    case 8: case 16: return {20, 80};
    case 12: return {0, 100};
    case 17: return {-20, -80};
    default: return {};
  }
}

// One saved field of a block: its byte offset and how it is written.
enum class Form { integer, colour, real32, real64 };
struct Field {
  uint16_t offset;
  Form form;
};

constexpr Field I(uint16_t offset) { return {offset, Form::integer}; }
constexpr Field U(uint16_t offset) { return {offset, Form::colour}; }

// The saved fields of a kind, in text order; empty: nothing is saved.
std::vector<Field> saved_fields(int32_t kind) {
  switch (kind) {
    case 3: case 30: case 31: case 35: return {I(0), I(4), I(8)};
    case 4: return {I(0), I(4), I(8), I(12), I(16)};
    case 5: return {I(0), I(4), I(20), I(8), I(12), I(16), I(28), U(24)};
    case 28: return {I(0), I(4), I(20), I(8), I(12), I(16)};
    case 6: case 9: case 12: case 13: case 26: case 27: case 33: return {I(0), I(4)};
    case 7: case 18: return {I(4), {0, Form::real32}, I(12), I(8)};
    case 8: return {I(0), I(4), I(8), I(12), I(20), U(16)};
    case 10: return {{0, Form::real64}, {8, Form::real64}};
    case 11: return {I(4), I(0), I(8), I(12)};
    case 16: case 17: case 20: return {I(0)};
    case 19: return {I(0), I(4), I(8)};
    case 22: return {I(0), I(4), I(8), I(12)};
    case 24: return {I(4), I(8), I(12)};
    case 29: return {I(8), I(20), U(32), I(12), I(24), U(36), I(16), I(28), U(40)};
    case 36: return {I(0), I(4), I(8), U(16), U(20)};
    default: return {};
  }
}

std::size_t field_width(Form form) { return form == Form::real64 ? 8 : 4; }

std::string field_text(const std::vector<uint8_t>& block, const Field& f) {
  // Room for any finite double in "%.2f": up to 309 digits, sign and ".00".
  char out[320];
  switch (f.form) {
    case Form::integer: {
      int32_t v = 0;
      std::memcpy(&v, block.data() + f.offset, 4);
      std::snprintf(out, sizeof out, "%d", v);
      break;
    }
    case Form::colour: {
      uint32_t v = 0;
      std::memcpy(&v, block.data() + f.offset, 4);
      std::snprintf(out, sizeof out, "%u", v);
      break;
    }
    case Form::real32: {
      float v = 0;
      std::memcpy(&v, block.data() + f.offset, 4);
      std::snprintf(out, sizeof out, "%.2f", static_cast<double>(v));
      break;
    }
    case Form::real64: {
      double v = 0;
      std::memcpy(&v, block.data() + f.offset, 8);
      std::snprintf(out, sizeof out, "%.2f", v);
      break;
    }
  }
  return out;
}

// Parses one field's text into the block; false when it is not a whole number
// of the field's form.
bool parse_field(std::string_view text, const Field& f, std::vector<uint8_t>& block) {
  const std::string s(text);
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  switch (f.form) {
    case Form::integer: {
      const long long v = std::strtoll(s.c_str(), &end, 10);
      if (*end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
      const auto word = static_cast<int32_t>(v);
      std::memcpy(block.data() + f.offset, &word, 4);
      return true;
    }
    case Form::colour: {
      if (s[0] == '-') return false;
      const unsigned long long v = std::strtoull(s.c_str(), &end, 10);
      if (*end != '\0' || errno != 0 || v > UINT32_MAX) return false;
      const auto word = static_cast<uint32_t>(v);
      std::memcpy(block.data() + f.offset, &word, 4);
      return true;
    }
    case Form::real32:
    case Form::real64: {
      const double v = std::strtod(s.c_str(), &end);
      if (*end != '\0' || !std::isfinite(v)) return false;
      if (f.form == Form::real64) {
        std::memcpy(block.data() + f.offset, &v, 8);
      } else {
        const auto narrow = static_cast<float>(v);
        std::memcpy(block.data() + f.offset, &narrow, 4);
      }
      return true;
    }
  }
  return false;
}

}  // namespace

VizorGraphParams GraphSettings::graph_block() const {
  VizorGraphParams out = graph;
  out.levelLines = levels.empty() ? nullptr : levels.data();
  out.levelLineCount = static_cast<int32_t>(levels.size());
  return out;
}

VizorLevelLine make_level_line(double price) {
  VizorLevelLine line{};
  line.price = price;
  line.colour = kLevelLineColour;
  line.word12 = line.style = line.word20 = 1;
  return line;
}

std::u16string indicator_name(int32_t kind) {
  for (const KindName& k : kNames) {
    if (k.kind == kind) return k.name;
  }
  return {};
}

int32_t indicator_params_size(int32_t kind) { return static_cast<int32_t>(default_block(kind).size()); }

bool set_indicator_defaults(GraphSettings& settings) {
  if (settings.kind == -1) return true;
  settings.graph_id = -1;
  settings.graph = VizorGraphParams{};
  const std::u16string name = indicator_name(settings.kind);
  std::memcpy(settings.graph.legend, name.data(), std::min<std::size_t>(name.size(), 65) * sizeof(char16_t));
  settings.graph.penWidth = 1;
  settings.graph.colour = kDefaultGraphColour;
  settings.graph.style = 1;
  // Every graph stands on its pane's right price scale (the zeroed word),
  // where the chart measures room for the labels; all of a pane's graphs
  // share one range (scale group 0). The main series, price and volume,
  // also label their last value on the axis.
  switch (settings.kind) {
    case indicator::price:
      settings.graph.style = 3;
      settings.graph.priceLabels = 1;
      break;
    case indicator::volume:
      settings.graph.priceLabels = 1;
      [[fallthrough]];
    case indicator::macd_histogram:
    case indicator::awesome:
    case indicator::accelerator:
      settings.graph.penWidth = 3;
      settings.graph.style = 2;
      break;
    default: break;
  }
  settings.levels.clear();
  for (double price : default_levels(settings.kind)) settings.levels.push_back(make_level_line(price));
  settings.params = default_block(settings.kind);
  return true;
}

std::string indicator_params_text(const GraphSettings& settings) {
  std::string out;
  const std::vector<Field> fields = saved_fields(settings.kind);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].offset + field_width(fields[i].form) > settings.params.size()) return {};
    if (i > 0) out += kFieldSeparator;
    out += field_text(settings.params, fields[i]);
  }
  return out;
}

bool parse_indicator_params(GraphSettings& settings, std::string_view text) {
  if (text.empty()) return true;
  const std::vector<Field> fields = saved_fields(settings.kind);
  std::vector<uint8_t> block = settings.params;
  std::size_t start = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (start > text.size() || fields[i].offset + field_width(fields[i].form) > block.size()) return false;
    const std::size_t stop = std::min(text.find(kFieldSeparator, start), text.size());
    if (!parse_field(text.substr(start, stop - start), fields[i], block)) return false;
    start = stop + 1;
  }
  settings.params = std::move(block);
  return true;
}

void write_indicator_params(const GraphSettings& settings, int n, SectionText& section) {
  char key[48];
  std::snprintf(key, sizeof key, "indicator%daddpar", n);
  section.put(key, indicator_params_text(settings));
}

bool read_indicator_params(GraphSettings& settings, int n, const SavedSection& section) {
  char key[48];
  std::snprintf(key, sizeof key, "indicator%daddpar", n);
  if (parse_indicator_params(settings, section.get(key, "", kParamsTextLimit))) return true;
  log_line("ERROR: bad parameters of indicator %d in section [%s] ignored.", n, section.name().c_str());
  return false;
}

}  // namespace kelda::terminal
