// Shared set-up of the rendering tests: a windowless chart with a price
// series drawn in its pane, rendered onto a recording canvas.
#pragma once

#include <algorithm>
#include <vector>

#include "chart/chart.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "chart_fixture.h"
#include "ui/recording_canvas.h"

namespace kelda::chart::testing {

class RenderFixture : public ChartFixture {
 protected:
  void SetUp() override {
    ChartFixture::SetUp();
    price = VizorAddGraph(chart, security, 1, pane);
    ASSERT_GT(price, 0);
  }

  CGraph& graph(int32_t id) { return *object().findGraphBySeries(id); }
  void setStyle(int32_t id, int32_t style, COLORREF colour = 0x00FF00) {
    VizorGraphParams p = graph(id).params();
    p.style = style;
    p.colour = colour;
    graph(id).setParams(p);
  }
  // Lays the chart out and renders it; answers what was drawn.
  std::vector<ui::CanvasRecord> render(int w = 400, int h = 300) {
    ui::RecordingCanvas canvas(w, h);
    const RECT client{0, 0, w, h};
    object().layoutChart(&canvas, &client);
    canvas.clear();
    object().renderChart(canvas, client);
    return canvas.records();
  }
  static std::vector<ui::CanvasRecord> only(const std::vector<ui::CanvasRecord>& all, ui::CanvasOp op,
                                            COLORREF colour) {
    std::vector<ui::CanvasRecord> out;
    for (const auto& r : all) {
      const bool brushOp = op == ui::CanvasOp::fill_rect;
      if (r.op == op && (brushOp ? r.brush.color : r.pen.color) == colour) out.push_back(r);
    }
    return out;
  }

  int32_t price = 0;
};

}  // namespace kelda::chart::testing
