// The user-interface layer against plain Qt in the same run:
//  - filling and updating a 100,000-row, 10-column list view and painting
//    it, against a QTableView over a QStandardItemModel with the same texts;
//  - filling a sorted list box with 100,000 texts and emptying it from the
//    top, against a sorted QListWidget;
//  - 10,000 line segments through the canvas against QPainter directly.
// Each benchmark reports layer_ms and qt_ms, the medians of its iterations,
// and ratio = layer / Qt of those medians.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/loop.h"
#include "ui/screen.h"
#include "ui/window.h"
#include "ui_qt/qt_ui.h"

using namespace kelda::ui;

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 10;

using Clock = std::chrono::steady_clock;
double ms_since(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

const std::vector<std::u16string>& texts() {
  static const std::vector<std::u16string> t = [] {
    std::vector<std::u16string> v;
    v.reserve(static_cast<size_t>(kRows) * kCols);
    std::mt19937 rng(7);
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kCols; ++c) {
        std::string s = c == 0 ? std::to_string(r + 1) : std::to_string(rng() % 100000) + "." + std::to_string(rng() % 100);
        v.emplace_back(s.begin(), s.end());
      }
    }
    return v;
  }();
  return t;
}

QtUiOptions offscreen() {
  QtUiOptions o;
  o.show_window = false;
  return o;
}

QtUi& session() {
  static QtUi ui(offscreen());
  return ui;
}

Hwnd make_host() {
  CreateParams p;
  p.style = ws::popup | ws::visible;
  p.rect = RECT{0, 26, 240, 320};
  return create_window(p);
}

double layer_fill_and_update(bool update) {
  Hwnd host = make_host();
  CreateParams p;
  p.class_name = class_name::list_view;
  p.style = ws::child | ws::visible | lvs::report;
  p.rect = RECT{0, 0, 240, 290};
  p.parent = host;
  p.id = 101;
  Hwnd h = create_window(p);
  ListViewControl lv{h};
  for (int c = 0; c < kCols; ++c) lv.insert_column(c, u"Колонка", 60, c ? lvcfmt::right : lvcfmt::left);
  const auto& t = texts();
  auto start = Clock::now();
  send_message(h, wm::set_redraw, 0);
  for (int r = 0; r < kRows; ++r) {
    const std::u16string* row = &t[static_cast<size_t>(r) * kCols];
    int at = lv.insert_item(r, row[0], r);
    for (int c = 1; c < kCols; ++c) lv.set_item_text(at, c, row[c]);
  }
  send_message(h, wm::set_redraw, 1);
  update_window(h);
  if (update) {
    start = Clock::now();
    for (int r = 0; r < kRows; ++r) lv.set_item_text(r, 2, t[static_cast<size_t>(kRows - 1 - r) * kCols + 2]);
    update_window(h);
  }
  double ms = ms_since(start);
  destroy_window(host);
  return ms;
}

double qt_fill_and_update(bool update) {
  // The quick way to fill a plain item view: the model is filled before the
  // view is given it (a model filled under a view is far slower).
  QStandardItemModel model(0, kCols);
  QTableView view;
  view.resize(240, 290);
  view.verticalHeader()->hide();
  QImage target(240, 290, QImage::Format_RGB32);
  const auto& t = texts();
  auto start = Clock::now();
  model.setRowCount(kRows);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      const std::u16string& s = t[static_cast<size_t>(r) * kCols + c];
      auto* item = new QStandardItem(QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())));
      if (c) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      model.setItem(r, c, item);
    }
  }
  view.setModel(&model);
  view.render(&target);
  if (update) {
    start = Clock::now();
    for (int r = 0; r < kRows; ++r) {
      const std::u16string& s = t[static_cast<size_t>(kRows - 1 - r) * kCols + 2];
      model.item(r, 2)->setText(QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())));
    }
    view.render(&target);
  }
  return ms_since(start);
}

// The times of every iteration; the counters are the medians of each side
// and their ratio, so that one iteration slowed by the machine's other work
// does not decide the figure.
class Rounds {
 public:
  void add(benchmark::State& state, double layer, double qt) {
    state.SetIterationTime(layer / 1000.0);
    layer_.push_back(layer);
    qt_.push_back(qt);
  }
  void report(benchmark::State& state) {
    const double layer = median(layer_), qt = median(qt_);
    state.counters["layer_ms"] = layer;
    state.counters["qt_ms"] = qt;
    state.counters["ratio"] = qt > 0 ? layer / qt : 0;
  }

 private:
  static double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  std::vector<double> layer_, qt_;
};

// The two sides take turns at going first, so that neither always meets the
// heap and caches the other left.
void list_view_rounds(benchmark::State& state, bool update) {
  session();
  Rounds rounds;
  bool layer_first = true;
  for (auto _ : state) {
    double layer = 0, qt = 0;
    if (layer_first) {
      layer = layer_fill_and_update(update);
      qt = qt_fill_and_update(update);
    } else {
      qt = qt_fill_and_update(update);
      layer = layer_fill_and_update(update);
    }
    layer_first = !layer_first;
    rounds.add(state, layer, qt);
  }
  rounds.report(state);
}

void BM_ListViewFill(benchmark::State& state) { list_view_rounds(state, false); }
void BM_ListViewUpdate(benchmark::State& state) { list_view_rounds(state, true); }

// A sorted list box filled with 100,000 texts in random order and emptied
// from the top, against a sorted QListWidget doing the same.
void BM_SortedListFillAndEmpty(benchmark::State& state) {
  session();
  const auto& t = texts();
  Rounds rounds;
  for (auto _ : state) {
    Hwnd host = make_host();
    CreateParams p;
    p.class_name = class_name::list_box;
    p.style = ws::child | ws::visible | ws::vscroll | lbs::sort;
    p.rect = RECT{0, 0, 240, 290};
    p.parent = host;
    Hwnd h = create_window(p);
    ListBoxControl lb{h};
    auto start = Clock::now();
    for (int r = 0; r < kRows; ++r) lb.add(t[static_cast<size_t>(r) * kCols + 1]);
    update_window(h);
    while (lb.count() > 0) lb.remove(0);
    update_window(h);
    double layer = ms_since(start);
    destroy_window(host);

    QListWidget list;
    list.resize(240, 290);
    list.setSortingEnabled(true);
    QImage target(240, 290, QImage::Format_RGB32);
    start = Clock::now();
    for (int r = 0; r < kRows; ++r) {
      const std::u16string& s = t[static_cast<size_t>(r) * kCols + 1];
      list.addItem(QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())));
    }
    list.render(&target);
    while (list.count() > 0) delete list.takeItem(0);
    list.render(&target);
    rounds.add(state, layer, ms_since(start));
  }
  rounds.report(state);
}

struct Segment {
  POINT a, b;
  COLORREF c;
};

const std::vector<Segment>& segments() {
  static const std::vector<Segment> s = [] {
    std::vector<Segment> v;
    std::mt19937 rng(11);
    for (int i = 0; i < 10000; ++i) {
      v.push_back(Segment{POINT{static_cast<int32_t>(rng() % 240), static_cast<int32_t>(rng() % 320)},
                          POINT{static_cast<int32_t>(rng() % 240), static_cast<int32_t>(rng() % 320)},
                          RGB(rng() % 256, rng() % 256, rng() % 256)});
    }
    return v;
  }();
  return s;
}

void BM_TenThousandLines(benchmark::State& state) {
  session();
  auto dc = get_dc(desktop_window());
  Rounds rounds;
  for (auto _ : state) {
    auto canvas = dc->create_compatible(240, 320);
    auto start = Clock::now();
    Pen pen;
    for (const Segment& s : segments()) {
      pen.color = s.c;
      canvas->select_pen(&pen);
      canvas->move_to(s.a.x, s.a.y);
      canvas->line_to(s.b.x, s.b.y);
    }
    canvas->flush();
    double layer = ms_since(start);
    canvas.reset();

    QImage img(240, 320, QImage::Format_RGB32);
    img.fill(Qt::white);
    start = Clock::now();
    {
      QPainter p(&img);
      QPen qp(Qt::black, 0);
      qp.setCapStyle(Qt::FlatCap);
      for (const Segment& s : segments()) {
        qp.setColor(QColor(GetRValue(s.c), GetGValue(s.c), GetBValue(s.c)));
        p.setPen(qp);
        p.drawLine(s.a.x, s.a.y, s.b.x, s.b.y);
      }
    }
    double qt = ms_since(start);
    rounds.add(state, layer, qt);
  }
  rounds.report(state);
}

BENCHMARK(BM_ListViewFill)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ListViewUpdate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_SortedListFillAndEmpty)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TenThousandLines)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
