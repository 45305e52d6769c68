// Chart painting against QPainter in the same run:
//  - rendering a chart of 10 series (candles, bars and lines) with 50, 5,000
//    and 100,000 visible bars through the canvas, against QPainter drawing
//    the same lines and rectangles (replayed from a recording of the paint)
//    directly on a QImage;
//  - a crosshair move (pointer move and repaint of the chart window),
//    against one blit of an image of the same size.
// Each benchmark reports chart_ms, qt_ms and ratio = chart / Qt.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <vector>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "chart/graph.h"
#include "platform/packed_time.h"
#include "ui/recording_canvas.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

using namespace kelda;
using chart::CChart;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

ui::QtUi& session() {
  static ui::QtUi ui([] {
    ui::QtUiOptions o;
    o.show_window = false;
    o.screen = ui::ScreenConfig{kWidth, kHeight};
    return o;
  }());
  return ui;
}

// A chart with `bars` bars and 10 drawn series in one pane, all visible.
VizorChart makeChart(VizorWindow parent, int bars) {
  const RECT rect{0, 0, kWidth, kHeight};
  VizorChart c = VizorCreateChart(parent, &rect, nullptr, nullptr);
  VizorChartParams p{};
  VizorGetChartParams(c, &p);
  p.interval = 1;
  p.minIntervals = 0;
  VizorSetChartParams(c, &p);
  const int32_t pane = VizorAddPane(c);
  const int32_t security = VizorAddGraphData(c);
  const FILETIME base = platform::unpackDateTime(20240101, 0);
  const uint64_t start = (static_cast<uint64_t>(base.dwHighDateTime) << 32) | base.dwLowDateTime;
  for (int i = 0; i < bars; ++i) {
    const uint64_t at = start + static_cast<uint64_t>(i) * 600000000ull;  // one bar a minute
    const FILETIME t{static_cast<DWORD>(at), static_cast<DWORD>(at >> 32)};
    const double open = 100 + 10 * std::sin(i * 0.01);
    const double close = open + std::sin(i * 0.7);
    VizorAddOHLCV(c, security, &t, open, std::max(open, close) + 0.5, std::min(open, close) - 0.5, close, 10, 0);
  }
  const int32_t styles[10] = {3, 3, 3, 4, 4, 1, 1, 1, 1, 1};
  for (int i = 0; i < 10; ++i) {
    const int32_t id = VizorAddGraph(c, security, 1, pane);
    chart::CGraph& g = *CChart::fromHandle(c)->findGraphBySeries(id);
    VizorGraphParams gp = g.params();
    gp.style = styles[i];
    gp.colour = 0x102030u * static_cast<COLORREF>(i + 1);
    gp.scaleSide = 0;
    g.setParams(gp);
  }
  return c;
}

QColor qcolor(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// QPainter drawing what the recording holds: lines, polylines, fills, text.
void replay(QPainter& painter, const std::vector<ui::CanvasRecord>& records) {
  QPen pen(Qt::black, 0);
  pen.setCapStyle(Qt::FlatCap);
  std::vector<QPoint> points;
  for (const ui::CanvasRecord& r : records) {
    switch (r.op) {
      case ui::CanvasOp::line_to:
        pen.setColor(qcolor(r.pen.color));
        painter.setPen(pen);
        painter.drawLine(r.points[0].x, r.points[0].y, r.points[1].x, r.points[1].y);
        break;
      case ui::CanvasOp::polyline:
        pen.setColor(qcolor(r.pen.color));
        painter.setPen(pen);
        points.clear();
        for (const POINT& p : r.points) points.emplace_back(p.x, p.y);
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        break;
      case ui::CanvasOp::fill_rect:
        painter.fillRect(r.rect.left, r.rect.top, r.rect.right - r.rect.left, r.rect.bottom - r.rect.top,
                         qcolor(r.brush.color));
        break;
      case ui::CanvasOp::draw_text:
      case ui::CanvasOp::text_out:
        painter.setPen(qcolor(r.text_color));
        painter.drawText(r.rect.left, r.rect.top + 10, QString::fromUtf16(r.text.data(), r.text.size()));
        break;
      default:
        break;
    }
  }
}

void report(benchmark::State& state, double ours, double qt) {
  state.SetIterationTime(ours / 1000.0);
  state.counters["chart_ms"] = ours;
  state.counters["qt_ms"] = qt;
  state.counters["ratio"] = qt > 0 ? ours / qt : 0;
}

void BM_PaintTenSeries(benchmark::State& state) {
  session();
  const int bars = static_cast<int>(state.range(0));
  VizorChart c = makeChart(0, bars);
  CChart& chart = *CChart::fromHandle(c);
  const RECT client{0, 0, kWidth, kHeight};
  auto screen = ui::get_dc(ui::desktop_window());
  auto canvas = screen->create_compatible(kWidth, kHeight);
  chart.layoutChart(canvas.get(), &client);
  ui::RecordingCanvas recording(kWidth, kHeight);
  chart.renderChart(recording, client);
  const std::vector<ui::CanvasRecord> records = recording.records();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    auto start = Clock::now();
    chart.renderChart(*canvas, client);
    canvas->flush();
    const double ours = msSince(start);
    image.fill(Qt::white);
    start = Clock::now();
    {
      QPainter painter(&image);
      replay(painter, records);
    }
    report(state, ours, msSince(start));
  }
  state.counters["records"] = static_cast<double>(records.size());
  VizorDestroyChart(c);
}

class Frame : public ui::Window {
 public:
  Frame() {
    ui::CreateParams p;
    p.style = ui::ws::popup | ui::ws::visible;
    p.rect = RECT{0, 0, kWidth, kHeight};
    create(p);
  }
};

void BM_CrosshairMove(benchmark::State& state) {
  session();
  Frame frame;
  ui::set_foreground_window(frame.hwnd());
  VizorChart c = makeChart(frame.hwnd().value(), 5000);
  VizorToggleCursorCrosshair(1);
  CChart& chart = *CChart::fromHandle(c);
  const ui::Hwnd wnd = chart.window()->hwnd();
  ui::update_window(wnd);
  const int32_t renders = chart.window()->renderCount();
  QImage source(kWidth, kHeight, QImage::Format_RGB32);
  source.fill(Qt::darkGray);
  QImage target(kWidth, kHeight, QImage::Format_RGB32);
  int x = 100;
  for (auto _ : state) {
    x = x >= 500 ? 100 : x + 1;
    auto start = Clock::now();
    ui::send_message(wnd, ui::wm::mouse_move, 0, static_cast<LPARAM>((200 << 16) | x));
    ui::update_window(wnd);
    const double ours = msSince(start);
    start = Clock::now();
    {
      QPainter painter(&target);
      painter.drawImage(0, 0, source);
    }
    report(state, ours, msSince(start));
  }
  state.counters["renders"] = chart.window()->renderCount() - renders;
  VizorToggleCursorCrosshair(0);
  VizorDestroyChart(c);
}

BENCHMARK(BM_PaintTenSeries)->Arg(50)->Arg(5000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrosshairMove)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
