// Fuzz target: the bytes are a program of chart calls with arbitrary
// arguments (ids, counts, non-finite numbers, unsorted times, records with
// garbage). Each step reads an opcode and its operands; the chart must never
// crash, and it must stay bounded: bars only come one per call, and the
// program is at most a few thousand calls long.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "chart/chart.h"
#include "chart/data.h"
#include "chart/kelda_chart.h"

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool more() const { return pos_ < size_; }
  template <class T>
  T take() {
    T value{};
    const size_t n = std::min(sizeof(T), size_ - pos_);
    std::memcpy(&value, data_ + pos_, n);
    pos_ += n;
    return value;
  }
  // Small ids are the interesting ones; a high bit lets any value through.
  int32_t id() {
    const uint8_t b = take<uint8_t>();
    return b & 0x80 ? take<int32_t>() : b & 0x3F;
  }
  // A number from a short table of edge values, or raw bits.
  double number() {
    static const double kValues[] = {0.0, 1.0, -1.0, 100.0, 1e-8, 1e300, -1e300, HUGE_VAL, -HUGE_VAL, NAN, 5.0, 101.5};
    const uint8_t b = take<uint8_t>();
    if (b < 12) return kValues[b];
    return b < 200 ? 100.0 + b : take<double>();
  }
  // Times around a few days of 2009, or raw words.
  FILETIME time() {
    const uint8_t b = take<uint8_t>();
    if (b == 255) return FILETIME{take<uint32_t>(), take<uint32_t>()};
    const uint64_t base = 128'805'624'000'000'000ull;  // 2009-03-04
    const uint64_t t = base + static_cast<uint64_t>(take<uint16_t>()) * 600'000'000ull * (b % 4 + 1);
    return FILETIME{static_cast<uint32_t>(t), static_cast<uint32_t>(t >> 32)};
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void step(VizorChart chart, Reader& in) {
  switch (in.take<uint8_t>() % 24) {
    case 0: VizorAddPane(chart); break;
    case 1: VizorAddGraphData(chart); break;
    case 2: VizorAddGraph(chart, in.id(), in.id(), in.id()); break;
    case 3: {
      const FILETIME t = in.time();
      const double o = in.number(), h = in.number(), l = in.number(), c = in.number(), v = in.number();
      VizorAddOHLCV(chart, in.id(), &t, o, std::max({o, h, c}), std::min({o, l, c}), c, v, in.take<uint8_t>() & 1);
      break;
    }
    case 4: VizorClear(chart, in.id(), in.take<uint8_t>() & 1); break;
    case 5: VizorDeleteGraph(chart, in.id()); break;
    case 6: VizorDeletePane(chart, in.id()); break;
    case 7: {
      VizorChartParams p = in.take<VizorChartParams>();
      if (in.take<uint8_t>() & 1) {
        VizorGetChartParams(chart, &p);
        p.interval = in.number();
        p.mode = in.take<uint8_t>() % 5;
        p.barsPerPage = in.id();
        p.barCount = in.id();
        p.from = in.time();
        p.to = in.time();
      }
      VizorSetChartParams(chart, &p);
      break;
    }
    case 8: VizorStartIntervalChanging(chart); break;
    case 9: VizorRedraw(chart, in.id()); break;
    case 10: {
      VizorGraphParams g = in.take<VizorGraphParams>();
      std::vector<VizorLevelLine> lines(in.take<uint8_t>() % 4);
      for (auto& line : lines) line.price = in.number();
      g.levelLines = lines.empty() ? nullptr : lines.data();
      g.levelLineCount = in.take<uint8_t>() & 1 ? static_cast<int32_t>(lines.size()) : in.id();
      // The library reads what the caller names: never more than the array holds.
      if (g.levelLines != nullptr) g.levelLineCount = std::min(g.levelLineCount, static_cast<int32_t>(lines.size()));
      // Small zeroed blocks, or (a size byte from 200 up) the size of one of
      // the indicators' blocks with its first bytes taken from the input.
      static const int32_t kBlockSizes[] = {4, 8, 12, 16, 24, 36, 44, 296, 1040};
      uint8_t block[1040] = {};
      const uint8_t pick = in.take<uint8_t>();
      int32_t size = pick % 17;
      if (pick >= 200) {
        size = kBlockSizes[pick % 9];
        for (int32_t k = 0; k < std::min<int32_t>(size, 48); ++k) block[k] = in.take<uint8_t>();
      }
      VizorSetGraphParams(chart, in.id(), &g, block, size);
      VizorGetGraphParams(chart, in.id(), &g, block, in.take<uint8_t>() % 17);
      break;
    }
    case 11: {
      VizorLevelLine line{in.number(), 0, 0, in.id(), 0};
      VizorAddLevelLine(chart, in.id(), &line);
      break;
    }
    case 12: VizorDelLevelLine(chart, in.id(), in.take<uint8_t>() & 1, in.number()); break;
    case 13: {
      VizorLevelLine out[4];
      const int32_t n = VizorGetLevelLineCount(chart, in.id());
      VizorGetLevelLines(chart, in.id(), std::min(n, 4), out);
      break;
    }
    case 14: {
      VizorPaneParams p = in.take<VizorPaneParams>();
      VizorSetPaneParams(chart, in.id(), &p);
      VizorGetPaneParams(chart, in.id(), &p);
      break;
    }
    case 15: {
      double sizes[8];
      for (double& s : sizes) s = in.number() / 8;
      const int32_t n = in.take<uint8_t>() % 9;
      VizorSetPaneSizes(chart, n, sizes);
      VizorGetPaneSizes(chart, n, sizes);
      break;
    }
    case 16: {
      VizorPointValues values[5];
      VizorCandleQuery q{0, 0, values};
      VizorGetCandleEx(chart, in.id(), in.take<int32_t>(), in.take<int32_t>(), &q);
      const FILETIME t = in.time();
      double o, h, l, c, v;
      VizorGetCandle(chart, in.id(), t.dwLowDateTime, t.dwHighDateTime, &o, &h, &l, &c, &v);
      break;
    }
    case 17: {
      std::vector<VizorTrendInfo> records(in.take<uint8_t>() % 5);
      for (auto& r : records) {
        r = in.take<VizorTrendInfo>();
        if (in.take<uint8_t>() & 1) r.time1 = in.time(), r.time2 = in.time(), r.graphOrdinal &= 3;
      }
      VizorRestoreSavedTrends(chart, static_cast<int32_t>(records.size()), records.data());
      break;
    }
    case 18: {
      std::vector<VizorTrendInfo> out(static_cast<size_t>(std::min(VizorGetTrendCount(chart), 64)));
      VizorGetTrendsInfo(chart, static_cast<int32_t>(out.size()), out.data());
      break;
    }
    case 19: {
      const VizorTrendChange change{in.id(), in.id(), in.take<uint32_t>(), in.id()};
      VizorChangeTrendline(chart, in.take<uint8_t>() & 1, &change);
      break;
    }
    case 20: VizorDeleteAllTrends(chart, in.id()); break;
    case 21: VizorOnMouseWheel(chart, in.take<uint32_t>(), in.take<uint32_t>()); break;
    case 22: {
      const RECT r = in.take<RECT>();
      VizorMoveChart(chart, &r);
      break;
    }
    default: {
      VizorSetTrendType(chart, in.id());
      VizorSetPrevPrice(chart, in.id(), in.number());
      int32_t n = 0;
      VizorGetLineCount(chart, in.id(), &n);
      VizorGetNumIntervals(chart);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  const RECT rect{0, 0, 320, 240};
  VizorChart chart = VizorCreateChart(0, &rect, nullptr, nullptr);
  if (chart == nullptr) return 0;
  Reader in(data, size);
  for (int steps = 0; in.more() && steps < 4000; ++steps) step(chart, in);
  // Whatever happened, the bars are in time order and every point vector
  // agrees with them, index for index.
  const kelda::chart::CChart& c = *kelda::chart::CChart::fromHandle(chart);
  const kelda::chart::BarList& bars = c.bars();
  for (int32_t i = 1; i < bars.size(); ++i) {
    if (!kelda::chart::lessFileTime(bars[i - 1].time, bars[i].time)) __builtin_trap();
  }
  for (kelda::chart::CData* s : c.seriesList()) {
    const kelda::chart::PointVector& points = s->getPoints();
    if (points.size() != bars.size()) __builtin_trap();
    for (int32_t i = 0; i < bars.size(); ++i) {
      if (!kelda::chart::sameFileTime(points[i].time, bars[i].time)) __builtin_trap();
    }
  }
  VizorDestroyChart(chart);
  return 0;
}
