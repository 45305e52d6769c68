// The controller's paint: every pane in its band, then the splitters.
#include <algorithm>

#include "chart/chart.h"
#include "chart/controller.h"
#include "chart/pane.h"
#include "chart/trend.h"
#include "ui/types.h"

namespace kelda::chart {

void CChartController::paintChart(ui::Canvas& canvas, const RECT& rect, int32_t firstBar) {
  if (rect.bottom - rect.top != layoutRect_.bottom - layoutRect_.top || rect.left != layoutRect_.left ||
      rect.right != layoutRect_.right || rect.top != layoutRect_.top) {
    setLayoutRect(rect);
  }
  if (entries_.empty()) return;
  const auto& panes = chart_->panes();
  paneRects_.clear();
  const size_t n = std::min(entries_.size(), panes.size());
  int32_t top = layoutRect_.top;
  for (size_t i = 0; i < n; ++i) {
    const int32_t bottom = top + entries_[i].height;
    paneRects_.push_back(panes[i]->paint(canvas, top, bottom, firstBar));
    top = bottom + kSplitterGap;
  }
  // Vertical lines after the panes, so that they cross every pane.
  for (CTrend* vertical : chart_->verticalLines()) vertical->layout(&canvas, nullptr, 1.0, 1.0);
  splitterRects_.clear();
  const ui::Pen light{ui::ps::solid, 1, ui::get_sys_color(ui::color::btn_highlight)};
  const ui::Pen face{ui::ps::solid, 1, ui::get_sys_color(ui::color::btn_face)};
  const ui::Pen shadow{ui::ps::solid, 1, ui::get_sys_color(ui::color::btn_shadow)};
  const ui::Pen* oldPen = &canvas.pen();
  const int32_t windowRight = chart_->view().fullRect.right;
  int32_t y = layoutRect_.top;
  for (size_t i = 0; i + 1 < entries_.size(); ++i) {
    y += entries_[i].height;
    splitterRects_.push_back(RECT{layoutRect_.left, y, layoutRect_.right, y + kSplitterGap});
    const ui::Pen* pens[3] = {&light, &face, &shadow};
    for (int row = 0; row < 3; ++row) {
      canvas.select_pen(pens[row]);
      canvas.move_to(0, y + row);
      canvas.line_to(windowRight, y + row);
    }
    y += kSplitterGap;
  }
  canvas.select_pen(oldPen);
}

}  // namespace kelda::chart
