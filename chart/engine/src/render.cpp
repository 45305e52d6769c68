// The chart's layout pass, painting objects and rendering of the picture.
#include <algorithm>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart/time_axis.h"

namespace kelda::chart {

void CChart::createChartGdiObjects(ui::Canvas& canvas, bool release) {
  if (release) {
    view_.font = ui::Font();
    view_.objectsMade = false;
    return;
  }
  const VizorLogFont& f = params_.font;
  ui::LogFont lf;
  lf.height = f.height;
  lf.width = f.width;
  lf.escapement = f.escapement;
  lf.orientation = f.orientation;
  lf.weight = f.weight;
  lf.italic = f.italic;
  lf.underline = f.underline;
  lf.strike_out = f.strikeOut;
  lf.charset = f.charSet;
  lf.out_precision = f.outPrecision;
  lf.clip_precision = f.clipPrecision;
  lf.quality = f.quality;
  lf.pitch_and_family = f.pitchAndFamily;
  // The last character stays the terminator whatever the caller stored.
  std::copy_n(f.faceName, 31, lf.face_name);
  lf.face_name[31] = u'\0';
  view_.font = ui::Font(lf);
  view_.axisPen = ui::Pen{ui::ps::solid, 1, params_.axisColour};
  view_.gridPen = ui::Pen{ui::ps::dot, 1, params_.gridColour};
  view_.objectsMade = true;
  const ui::Font* old = canvas.select_font(&view_.font);
  view_.timeLabelWidth = 2 * canvas.text_extent(u"WW:WW").cx;
  view_.textHeight = canvas.text_metrics().height + 2;
  for (CData* series : series_) {
    CGraph* graph = series->getGraph();
    if (graph == nullptr) continue;
    const VizorGraphParams& gp = graph->params();
    const size_t length = std::find(std::begin(gp.legend), std::end(gp.legend), u'\0') - std::begin(gp.legend);
    graph->setLegendWidth(canvas.text_extent(std::u16string_view(gp.legend, length)).cx);
  }
  canvas.select_font(old);
}

void CChart::layoutChart(ui::Canvas* canvas, const RECT* client) {
  std::unique_ptr<ui::Canvas> own;
  if (canvas == nullptr && window_ != nullptr) {
    own = ui::get_dc(window_->hwnd());
    canvas = own.get();
  }
  if (client != nullptr) {
    const int w = ui::width_of(*client);
    const int h = ui::height_of(*client);
    view_.fullRect = RECT{0, 0, w, h};
    view_.drawArea = view_.fullRect;
    if (anyPaneZoomed()) view_.drawArea.right -= view_.scrollBarThickness;
    view_.paneArea = view_.drawArea;
    if (scroll_.shown) view_.paneArea.bottom -= view_.scrollBarThickness;
  }
  if (canvas != nullptr && client != nullptr) createChartGdiObjects(*canvas, false);
  if (canvas != nullptr && !view_.objectsMade) createChartGdiObjects(*canvas, false);
  if (canvas != nullptr) measureAxes(*this, *canvas);
  updateScrollBar();
  view_.paneArea = view_.drawArea;
  if (scroll_.shown) view_.paneArea.bottom -= view_.scrollBarThickness;
  if (window_ != nullptr) window_->syncTimeScrollBar();
}

void CChart::renderChart(ui::Canvas& canvas, const RECT& rect) {
  if (!view_.objectsMade) createChartGdiObjects(canvas, false);
  if (controller_.paneCount() == 0) return;
  RECT area = rect;
  if (scroll_.shown) area.bottom -= view_.scrollBarThickness;
  if (!(area.right > area.left && area.bottom > area.top)) return;
  canvas.fill_rect(view_.fullRect, ui::Brush::solid(params_.background));
  if (window_ != nullptr) window_->readTimeScrollBar();
  layoutTimeLabels(*this, canvas);
  const ui::Font* old = canvas.select_font(&view_.font);
  const int32_t h = canvas.text_extent(u"M").cy;
  canvas.select_font(old);
  RECT panes = view_.paneArea;
  if (params_.timeAxisShown != 0) panes.bottom -= 2 * h + 5;
  const int32_t firstBar = slots().first_visible_bar();
  controller_.paintChart(canvas, panes, firstBar);
  // Under the lowest plot: the time strip, 2h + 5 high.
  const RECT axis = view_.timeAxisRect;
  const RECT strip{axis.left, panes.bottom - (2 * h + 5), axis.right, panes.bottom};
  drawTimeAxis(*this, canvas, strip, firstBar, params_.timeAxisShown != 0, false, strip.top, 1.0);
}

}  // namespace kelda::chart
