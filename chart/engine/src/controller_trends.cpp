// The controller's trend-tool handler: placing a tool by a stroke, picking
// tools up to move, resize or copy them, cancelling by a hold, the tool's
// menu event and the stylus cursors over tools.
#include <algorithm>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/controller.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart/time_index.h"
#include "chart/trend_kinds.h"
#include "trend_draw.h"
#include "ui/screen.h"
#include "ui/types.h"
#include "ui/window.h"

namespace kelda::chart {

namespace {

constexpr std::string_view kModule = "KeldaChart";
constexpr int kCursorMoveCopy = 201;
constexpr int kCursorMove = 202;
constexpr int kCursorResize = 203;
constexpr int kCursorResizeCopy = 204;
constexpr int32_t kEventTrendMenu = 5;
constexpr int32_t kEventStrokeEnded = 6;

void setCursorForPart(int32_t part, bool copy) {
  int cursor = ui::idc::arrow;
  if (part == kPartBody) {
    cursor = ui::load_cursor(kModule, copy ? kCursorMoveCopy : kCursorMove);
  } else if (part != kPartNone) {
    cursor = ui::load_cursor(kModule, copy ? kCursorResizeCopy : kCursorResize);
  }
  ui::set_cursor(cursor);
}

bool takesTrends(const CData& series, const CGraph* graph, const CChartPane& pane) {
  return graph != nullptr && &graph->pane() == &pane && series.hasData();
}

}  // namespace

int32_t CChartController::paneAt(POINT point) const {
  for (size_t i = 0; i < paneRects_.size(); ++i) {
    const RECT& r = paneRects_[i];
    if (r.left <= point.x && point.x < r.right && r.top <= point.y && point.y < r.bottom) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

CTrend* CChartController::findTool(POINT point, TrendPoint* at, int32_t* part) const {
  *part = kPartNone;
  const int32_t index = paneAt(point);
  const auto& panes = chart_->panes();
  if (index < 0 || static_cast<size_t>(index) >= panes.size()) return nullptr;
  const CChartPane& pane = *panes[static_cast<size_t>(index)];
  CTrend* found = nullptr;
  for (const CData* series : chart_->seriesList()) {
    const CGraph* graph = series->getGraph();
    if (!takesTrends(*series, graph, pane)) continue;
    for (const auto& trend : graph->trends()) {
      const int32_t hit = trend->hitTest(point);
      if (hit != kPartNone) {
        found = trend.get();
        *part = hit;
        break;
      }
    }
    if (found != nullptr) break;
  }
  if (found == nullptr) {
    for (CTrend* vertical : chart_->verticalLines()) {
      const int32_t hit = vertical->hitTest(point);
      if (hit != kPartNone) {
        found = vertical;
        *part = hit;
        break;
      }
    }
  }
  if (found != nullptr && at != nullptr) found->chartPointAt(point, at, nullptr);
  return found;
}

void CChartController::endStroke() {
  if (chart_->window() != nullptr) ui::release_capture();
  chart_->invalidate(false);
}

void CChartController::deleteTool(CTrend* tool) {
  CGraph* graph = tool->graph();
  if (graph == nullptr) return;
  auto& trends = graph->trends();
  const auto it = std::find_if(trends.begin(), trends.end(), [tool](const auto& t) { return t.get() == tool; });
  if (it != trends.end()) trends.erase(it);
}

LRESULT CChartController::onTrendMouse(UINT message, WPARAM keys, LPARAM xy) {
  // Third points first: a channel or pitchfork waiting for its third point.
  for (const CData* series : chart_->seriesList()) {
    const CGraph* graph = series->getGraph();
    if (graph == nullptr) continue;
    for (const auto& trend : graph->trends()) {
      if (trend->onCreateMessage(message, keys, xy)) return 1;
    }
  }
  const POINT point = pointOfMessage(xy);
  switch (message) {
    case ui::wm::context_menu:
      return onTrendContextMenu(keys, xy);
    case ui::wm::mouse_move:
      return onTrendMove(keys, xy, point);
    case ui::wm::lbutton_down:
      return trendMode_ == kTrendIdle ? onTrendPress(keys, point) : 0;
    case ui::wm::lbutton_up:
      return onTrendRelease(keys, xy);
    default:
      return 0;
  }
}

LRESULT CChartController::onTrendContextMenu(WPARAM keys, LPARAM xy) {
  switch (trendMode_) {
    case kTrendIdle: {
      POINT point = pointOfMessage(xy);
      if (CChartWnd* window = chart_->window()) point = ui::screen_to_client(window->hwnd(), point);
      int32_t part = kPartNone;
      CTrend* tool = findTool(point, nullptr, &part);
      if (tool == nullptr) return 0;
      hoverPart_ = kPartNone;
      ui::set_cursor(ui::idc::arrow);
      VizorTrendChange change{tool->id(), tool->seriesId(), tool->colour(), tool->penWidth()};
      const std::vector<int32_t> targets = chart_->trendMoveTargets(tool->id());
      VizorTrendMenuInfo info{static_cast<int32_t>(targets.size()), targets.data(), &change};
      chart_->notify(kEventTrendMenu, ui::wm::context_menu, keys, xy, &info, sizeof info);
      return 1;
    }
    case kTrendCreate: {
      CTrend* tool = currentTool_;
      trendMode_ = kTrendIdle;
      currentTool_ = nullptr;
      if (tool != nullptr) deleteTool(tool);
      endStroke();
      chart_->notify(kEventStrokeEnded, ui::wm::context_menu, keys, xy, nullptr, 0);
      return 1;
    }
    case kTrendMove:
    case kTrendResize:
      if (currentTool_ != nullptr) currentTool_->endDrag(true, false);
      trendMode_ = kTrendIdle;
      endStroke();
      return 1;
    default:
      return 0;
  }
}

LRESULT CChartController::onTrendPress(WPARAM keys, POINT point) {
  CChartWnd* window = chart_->window();
  const bool copy = (keys & ui::mk::control) != 0;
  TrendPoint at;
  int32_t part = kPartNone;
  if (CTrend* tool = findTool(point, &at, &part)) {
    // A hold on a tool asks for its menu (through wm::context_menu) instead.
    if (window != nullptr && ui::recognize_gesture(window->hwnd(), point, 0) == ui::gn::context_menu) return 1;
    currentTool_ = tool;
    if (part == kPartBody) {
      tool->beginMove(at);
      trendMode_ = kTrendMove;
    } else {
      tool->beginResize();
      resizedPoint_ = part - kPartP1;
      trendMode_ = kTrendResize;
    }
    setCursorForPart(part, copy);
    if (window != nullptr) ui::set_capture(window->hwnd());
    chart_->invalidate(false);
    return 1;
  }
  const bool shift = (keys & ui::mk::shift) != 0;
  if (chart_->trendType() == 0 && !shift) return 0;
  const int32_t index = paneAt(point);
  if (index < 0 || static_cast<size_t>(index) >= chart_->panes().size()) return 0;
  const CChartPane& pane = *chart_->panes()[static_cast<size_t>(index)];
  CGraph* graph = nullptr;
  for (CData* series : chart_->seriesList()) {
    CGraph* g = series->getGraph();
    if (takesTrends(*series, g, pane) && series->ownerId() == -1) {
      graph = g;
      break;
    }
  }
  if (graph == nullptr) return 0;
  std::unique_ptr<CTrend> made = makeTrend(*chart_, shift ? 1 : trendTypeOfTool(chart_->trendType()));
  CTrend* tool = made.get();
  tool->attach(*graph);
  tool->setView(pane.trendView(graph->params().scaleSide != 0));
  FILETIME time{};
  tool->chartPointAt(point, &at, &time);
  tool->setTime(0, time);
  tool->setTime(1, time);
  tool->setPoint(0, at);
  tool->setPoint(1, at);
  tool->setState(kTrendCreating);
  tool->commitPrices();
  graph->trends().push_back(std::move(made));
  currentTool_ = tool;
  trendMode_ = kTrendCreate;
  if (window != nullptr) ui::set_capture(window->hwnd());
  chart_->invalidate(false);
  // A hold while placing cancels the stroke (wm::context_menu comes back).
  if (window != nullptr) ui::recognize_gesture(window->hwnd(), point, 0);
  return 1;
}

LRESULT CChartController::onTrendRelease(WPARAM keys, LPARAM xy) {
  switch (trendMode_) {
    case kTrendCreate: {
      CTrend* tool = currentTool_;
      trendMode_ = kTrendIdle;
      if (tool != nullptr) {
        tool->setState(kTrendPlaced);
        tool->orderByTime();
        tool->commitPrices();
        if (tool->degenerate()) {
          currentTool_ = nullptr;
          deleteTool(tool);
        }
      }
      endStroke();
      chart_->notify(kEventStrokeEnded, ui::wm::lbutton_up, keys, xy, nullptr, 0);
      return 1;
    }
    case kTrendMove:
    case kTrendResize:
      // Ctrl held at the release leaves a copy at the old place.
      if (currentTool_ != nullptr) currentTool_->endDrag(false, (keys & ui::mk::control) != 0);
      trendMode_ = kTrendIdle;
      endStroke();
      return 1;
    default: {
      const POINT point = pointOfMessage(xy);
      if (currentTool_ != nullptr) currentTool_->onStylusUp(keys, point.x, point.y);
      return 0;
    }
  }
}

LRESULT CChartController::onTrendMove(WPARAM keys, LPARAM xy, POINT point) {
  CChartWnd* window = chart_->window();
  const bool copy = (keys & ui::mk::control) != 0;
  if (trendMode_ == kTrendIdle) {
    int32_t part = kPartNone;
    if (findTool(point, nullptr, &part) == nullptr) {
      hoverPart_ = kPartNone;
      return 0;
    }
    hoverPart_ = part;
    setCursorForPart(part, copy);
    if (part == kPartBody) {
      reportCursor(point.x, point.y, keys, xy);
      if (window != nullptr) window->invalidateOverlay();
    }
    return 1;
  }
  CTrend* tool = currentTool_;
  if (tool == nullptr || trendMode_ > kTrendResize) return 0;
  TrendPoint at;
  FILETIME time{};
  tool->chartPointAt(point, &at, &time);
  switch (trendMode_) {
    case kTrendCreate:
      tool->setPoint(1, at);
      tool->setTime(1, time);
      tool->commitPrices();
      ui::set_cursor(ui::idc::arrow);
      break;
    case kTrendMove:
      tool->dragTo(at);
      setCursorForPart(kPartBody, copy);
      reportCursor(point.x, point.y, keys, xy);
      break;
    default:
      if (resizedPoint_ == 0) tool->setP1(at);
      else if (resizedPoint_ == 1) tool->setP2(at);
      else tool->setP3(at);
      tool->setTime(resizedPoint_, time);
      if (resizedPoint_ < 2) tool->commitPrices();
      setCursorForPart(kPartP1, copy);
      reportCursor(point.x, point.y, keys, xy);
      break;
  }
  if (window != nullptr && crosshairSwitch()) window->invalidateOverlay();
  if (!tool->redraw(nullptr)) chart_->invalidate(false);
  return 1;
}

void CChartController::drawTrendOverlay(ui::Canvas& canvas) const {
  if (currentTool_ != nullptr && trendMode_ != kTrendIdle) currentTool_->drawOverlay(canvas);
}

}  // namespace kelda::chart
