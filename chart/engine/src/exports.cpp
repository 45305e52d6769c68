// The VizorX exports: each checks the chart handle and the required
// pointers, runs its body on the chart object and turns every exception into
// a failure with an error code, so that none crosses the interface.
#include <cmath>
#include <new>
#include <span>

#include "chart/chart.h"
#include "chart/data_common.h"
#include "chart/kelda_chart.h"
#include "platform/last_error.h"

using kelda::chart::CChart;
namespace platform = kelda::platform;

namespace {

template <class R>
R refuse(uint32_t code, R result) {
  platform::set_last_error(code);
  return result;
}

// Runs body(chart) for a non-null handle; a null handle gives `nullResult`,
// with error 6 unless `nullIsSilent`.
template <class R, class Body>
R run(VizorChart handle, R failure, Body&& body, bool nullIsSilent = false) noexcept {
  if (handle == nullptr) return nullIsSilent ? failure : refuse(VIZOR_ERROR_INVALID_HANDLE, failure);
  try {
    return body(*CChart::fromHandle(handle));
  } catch (const std::bad_alloc&) {
    return refuse(VIZOR_ERROR_NOT_ENOUGH_MEMORY, failure);
  } catch (...) {
    return refuse(VIZOR_ERROR_INVALID_PARAMETER, failure);
  }
}

BOOL invalid() { return refuse<BOOL>(VIZOR_ERROR_INVALID_PARAMETER, 0); }

}  // namespace

extern "C" {

VizorChart VizorCreateChart(VizorWindow parent, const RECT* rectangle, VizorEventCallback callback, void* userData) {
  try {
    const RECT rect = rectangle != nullptr ? *rectangle : RECT{};
    return std::make_unique<CChart>(parent, rect, callback, userData).release()->handle();
  } catch (...) {
    return nullptr;
  }
}

BOOL VizorDestroyChart(VizorChart chart) {
  return run<BOOL>(chart, 0, [](CChart& c) {
    std::unique_ptr<CChart> owned(&c);
    owned.reset();
    return BOOL{1};
  });
}

BOOL VizorGetChartParams(VizorChart chart, VizorChartParams* out) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (out == nullptr) return invalid();
    *out = c.params();
    return BOOL{1};
  });
}

BOOL VizorSetChartParams(VizorChart chart, const VizorChartParams* params) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return params == nullptr ? invalid() : c.setParams(*params); });
}

BOOL VizorMoveChart(VizorChart chart, const RECT* rectangle) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (rectangle == nullptr || rectangle->right <= rectangle->left || rectangle->bottom <= rectangle->top) {
      return invalid();
    }
    return c.move(*rectangle);
  });
}

LRESULT VizorOnMouseWheel(VizorChart chart, WPARAM wParam, LPARAM lParam) {
  return run<LRESULT>(chart, 0, [&](CChart& c) {
    c.onMouseWheel(wParam, lParam);
    return LRESULT{0};
  });
}

BOOL VizorSendMessage(VizorChart chart, UINT message, WPARAM wParam, LPARAM lParam) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.sendMessage(message, wParam, lParam); });
}

BOOL VizorSessionChanged(VizorChart chart) {
  return run<BOOL>(chart, 0, [](CChart& c) { return c.hasWindow() ? BOOL{1} : invalid(); });
}

BOOL VizorToggleCursorCrosshair(BOOL on) {
  kelda::chart::setCrosshairSwitch(on != 0);
  return 1;
}

BOOL VizorSetCallbackAxisX(VizorChart chart, VizorAxisXCallback callback) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    c.setAxisCallback(callback);
    return BOOL{1};
  });
}

BOOL VizorStartIntervalChanging(VizorChart chart) {
  return run<BOOL>(chart, 0, [](CChart& c) {
    c.startIntervalChanging();
    return BOOL{1};
  });
}

uint64_t VizorGetNumIntervals(VizorChart chart) {
  return run<uint64_t>(chart, 0, [](CChart& c) { return c.numIntervals(); }, true);
}

BOOL VizorAddOHLCV(VizorChart chart, int32_t seriesId, const FILETIME* time, double open, double high, double low,
                   double close, double volume, BOOL redraw) {
  return run<BOOL>(
      chart, 0,
      [&](CChart& c) {
        if (time == nullptr) return invalid();
        // Non-finite values would pass the price test below (every comparison
        // with NaN is false) and loop endlessly in the number formatting.
        for (double v : {open, high, low, close, volume}) {
          if (!std::isfinite(v)) return invalid();
        }
        if (high < open || high < close || low > open || low > close) return BOOL{0};
        return c.addBar(seriesId, *time, open, high, low, close, volume, nullptr, 0, redraw);
      },
      true);
}

BOOL VizorGetCandle(VizorChart chart, int32_t seriesId, DWORD timeLow, DWORD timeHigh, double* open, double* high,
                    double* low, double* close, double* volume) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (open == nullptr || high == nullptr || low == nullptr || close == nullptr || volume == nullptr) return BOOL{0};
    return c.getBar(seriesId, FILETIME{timeLow, timeHigh}, open, high, low, close, volume);
  });
}

BOOL VizorClear(VizorChart chart, int32_t seriesId, BOOL recalculate) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.clear(seriesId, recalculate != 0); });
}

int32_t VizorAddGraphData(VizorChart chart) {
  return run<int32_t>(chart, 0, [](CChart& c) { return c.addSecuritySeries(); });
}

int32_t VizorAddGraph(VizorChart chart, int32_t sourceId, int32_t graphType, int32_t paneId) {
  return run<int32_t>(chart, 0, [&](CChart& c) { return c.addGraph(sourceId, graphType, paneId); });
}

BOOL VizorDeleteGraph(VizorChart chart, int32_t seriesId) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (!c.deleteGraphData(seriesId)) return BOOL{0};
    c.invalidate(true);
    return BOOL{1};
  });
}

BOOL VizorDeleteGraphData(VizorChart chart, int32_t seriesId) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.deleteGraphData(seriesId); });
}

BOOL VizorRedraw(VizorChart chart, int32_t seriesId) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.redraw(seriesId); });
}

BOOL VizorGetGraphParams(VizorChart chart, int32_t seriesId, VizorGraphParams* graph, void* params, int32_t size) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (graph == nullptr || size < 0 || (params == nullptr && size != 0)) return invalid();
    return c.getGraphParams(seriesId, graph, params, size);
  });
}

BOOL VizorSetGraphParams(VizorChart chart, int32_t seriesId, const VizorGraphParams* graph, const void* params,
                         int32_t size) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (graph == nullptr || size < 0 || (params == nullptr && size != 0)) return invalid();
    return c.setGraphParams(seriesId, *graph, params, size);
  });
}

BOOL VizorGetLineCount(VizorChart chart, int32_t seriesId, int32_t* count) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (count == nullptr) return invalid();
    kelda::chart::CData* series = c.findSeries(seriesId);
    if (series == nullptr) return invalid();
    int n = 0;
    const BOOL result = series->lineCount(&n);
    *count = n;
    return result;
  });
}

BOOL VizorGetCandleEx(VizorChart chart, int32_t seriesId, int32_t date, int32_t timeOfDay, VizorCandleQuery* query) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (query == nullptr || query->values == nullptr) return invalid();
    kelda::chart::CDataCommon* series = c.findBarAligned(seriesId);
    if (series == nullptr) return invalid();
    return BOOL{series->valuesAtTime(date, timeOfDay, query)};
  });
}

BOOL VizorSetPrevPrice(VizorChart chart, int32_t seriesId, double price) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    kelda::chart::CData* series = c.findSeries(seriesId);
    return series == nullptr ? invalid() : BOOL{series->setPrevPrice(price)};
  });
}

BOOL VizorAddLevelLine(VizorChart chart, int32_t seriesId, const VizorLevelLine* line) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return line == nullptr ? invalid() : c.addLevelLine(seriesId, *line); });
}

BOOL VizorDelLevelLine(VizorChart chart, int32_t seriesId, BOOL all, double price) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.delLevelLine(seriesId, all != 0, price); });
}

int32_t VizorGetLevelLineCount(VizorChart chart, int32_t seriesId) {
  return run<int32_t>(chart, 0, [&](CChart& c) { return c.levelLineCount(seriesId); });
}

BOOL VizorGetLevelLines(VizorChart chart, int32_t seriesId, int32_t count, VizorLevelLine* out) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (out == nullptr || count < 0) return invalid();
    return c.getLevelLines(seriesId, count, out);
  });
}

int32_t VizorAddPane(VizorChart chart) {
  return run<int32_t>(chart, 0, [](CChart& c) { return c.addPane(); });
}

BOOL VizorDeletePane(VizorChart chart, int32_t paneId) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.deletePane(paneId); });
}

BOOL VizorGetPaneParams(VizorChart chart, int32_t paneId, VizorPaneParams* out) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    const kelda::chart::CChartPane* pane = out == nullptr ? nullptr : c.findPane(paneId);
    if (pane == nullptr) return invalid();
    *out = pane->params();
    return BOOL{1};
  });
}

BOOL VizorSetPaneParams(VizorChart chart, int32_t paneId, const VizorPaneParams* params) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return params == nullptr ? invalid() : c.setPaneParams(paneId, *params); });
}

BOOL VizorGetPaneSizes(VizorChart chart, int32_t count, double* proportions) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (proportions == nullptr || count < 0) return invalid();
    return c.getPaneSizes(std::span<double>(proportions, static_cast<size_t>(count)));
  });
}

BOOL VizorSetPaneSizes(VizorChart chart, int32_t count, const double* proportions) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (proportions == nullptr || count < 0 || static_cast<size_t>(count) != c.panes().size()) return invalid();
    const std::span<const double> values(proportions, static_cast<size_t>(count));
    double sum = 0.0;
    for (double v : values) {
      // A negative or non-finite share would give a pane a height outside
      // the layout.
      if (!std::isfinite(v) || v < 0.0) return invalid();
      sum += v;
    }
    if (!(std::fabs(sum - 1.0) < 1e-7)) return invalid();
    return c.setPaneSizes(values);
  });
}

BOOL VizorSetTrendType(VizorChart chart, int32_t toolType) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.setTrendType(toolType); }, true);
}

int32_t VizorGetTrendCount(VizorChart chart) {
  return run<int32_t>(chart, 0, [](CChart& c) { return c.trendCount(); });
}

BOOL VizorGetTrendsInfo(VizorChart chart, int32_t count, VizorTrendInfo* out) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (count < 0 || (out == nullptr && count > 0)) return invalid();
    if (count > 0) c.getTrendsInfo(std::span<VizorTrendInfo>(out, static_cast<size_t>(count)));
    return BOOL{1};
  });
}

BOOL VizorRestoreSavedTrends(VizorChart chart, int32_t count, VizorTrendInfo* records) {
  return run<BOOL>(chart, 0, [&](CChart& c) {
    if (count < 0 || (records == nullptr && count > 0)) return invalid();
    return c.restoreSavedTrends(
        std::span<VizorTrendInfo>(records, records == nullptr ? 0 : static_cast<size_t>(count)));
  });
}

BOOL VizorChangeTrendline(VizorChart chart, int32_t operation, const VizorTrendChange* change) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return change == nullptr ? invalid() : c.changeTrendline(operation, *change); });
}

BOOL VizorDeleteAllTrends(VizorChart chart, int32_t paneId) {
  return run<BOOL>(chart, 0, [&](CChart& c) { return c.deleteAllTrends(paneId); });
}

}  // extern "C"
