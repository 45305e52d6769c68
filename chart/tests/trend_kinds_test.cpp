// Trend tool kinds drawn on a plain view (bars 0-100 across x 0-100, prices
// 0-100 from y 100 up to y 0): what each kind draws, its handles, the hit
// test at the tolerance, clipping, copies and drags.
#include <algorithm>
#include <memory>
#include <vector>

#include "chart/trend_kinds.h"
#include "render_fixture.h"

namespace kelda::chart::testing {
namespace {

using ui::CanvasOp;

constexpr TrendView kView{0, 0, 100, 100, 0.0, 100.0, 0.0, 100.0};

class TrendKinds : public RenderFixture {
 protected:
  std::unique_ptr<CTrend> make(int32_t type, TrendPoint p1, TrendPoint p2, TrendPoint p3 = {}) {
    std::unique_ptr<CTrend> t = makeTrend(object(), type);
    t->attach(graph(price));
    t->setPoint(0, p1);
    t->setPoint(1, p2);
    t->setPoint(2, p3);
    t->setThirdPending(false);
    return t;
  }
  // Draws the figure; answers its segments.
  std::vector<TrendSegment> drawn(CTrend& t, bool xorMode = false) {
    canvas.clear();
    t.draw(&canvas, &kView, xorMode);
    return t.segments();
  }
  ui::RecordingCanvas canvas{200, 200};
};

TEST_F(TrendKinds, EachKindDrawsItsFigure) {
  struct Case {
    int32_t type;
    TrendPoint p1, p2, p3;
    size_t segments;
    const char* what;
  };
  const Case cases[] = {
      {1, {10, 20}, {90, 80}, {}, 1, "line between its points"},
      {4, {10, 20}, {90, 80}, {}, 7, "diagonal and six levels inside the view (161.8 and above fall below it)"},
      {4, {50, 20}, {50, 80}, {}, 1, "points on one bar: only the diagonal"},
      {6, {10, 20}, {90, 80}, {}, 4, "diagonal and three rays"},
      {10, {10, 20}, {90, 80}, {}, 4, "diagonal and three speed lines"},
      {7, {0, 0}, {10, 50}, {}, 10, "zones at 10 11 12 14 17 22 30 43 64 98"},
      {9, {10, 20}, {90, 60}, {50, 80}, 2, "channel line and parallel"},
      {9, {10, 20}, {90, 60}, {}, 1, "channel without its third point"},
      {9, {50, 20}, {50, 60}, {70, 10}, 2, "vertical channel"},
      {11, {10, 50}, {60, 80}, {60, 20}, 5, "pitchfork: two construction lines, median, two parallels"},
  };
  for (const Case& c : cases) {
    auto t = make(c.type, c.p1, c.p2, c.p3);
    EXPECT_EQ(drawn(*t).size(), c.segments) << c.what;
  }
}

TEST_F(TrendKinds, LinesCarryTheirHandlesOnlyWhereTheirPointsAre) {
  auto line = make(1, {10, 20}, {90, 80});
  auto s = drawn(*line);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ((std::vector<int32_t>{s[0].x0, s[0].y0, s[0].x1, s[0].y1}), (std::vector<int32_t>{10, 80, 90, 20}));
  EXPECT_TRUE(s[0].startHandle && s[0].endHandle);
  // Partly outside: only the end inside the view is a handle.
  auto outside = make(1, {-50, 50}, {50, 50});
  s = drawn(*outside);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].x0, 0);
  EXPECT_FALSE(s[0].startHandle);
  EXPECT_TRUE(s[0].endHandle);
  // Wholly outside: nothing drawn, nothing to hit.
  auto away = make(1, {150, 50}, {190, 60});
  EXPECT_TRUE(drawn(*away).empty());
  EXPECT_EQ(away->hitTest(POINT{95, 50}), kPartNone);
  // Zero length in chart coordinates: not drawn.
  auto dot = make(1, {40, 40}, {40, 40});
  EXPECT_TRUE(drawn(*dot).empty());
  EXPECT_TRUE(dot->degenerate());
}

TEST_F(TrendKinds, HitTestReachesSixPixelsAndNoFurther) {
  auto line = make(1, {10, 50}, {90, 50});  // y 50 from x 10 to 90
  drawn(*line);
  struct Case {
    POINT p;
    int32_t part;
  };
  const Case cases[] = {
      {{4, 50}, kPartP1}, {{3, 50}, kPartNone}, {{96, 56}, kPartP2}, {{97, 50}, kPartNone},
      {{50, 56}, kPartBody}, {{50, 57}, kPartNone}, {{50, 44}, kPartBody}};
  for (const Case& c : cases) EXPECT_EQ(line->hitTest(c.p), c.part) << c.p.x << "," << c.p.y;
  // A steep line is measured along x.
  auto steep = make(1, {50, 10}, {52, 90});
  drawn(*steep);
  EXPECT_EQ(steep->hitTest(POINT{57, 50}), kPartBody);
  EXPECT_EQ(steep->hitTest(POINT{58, 50}), kPartNone);
}

TEST_F(TrendKinds, ClippingThroughACornerStartsAtTheCorner) {
  TrendPoint a, b;
  ASSERT_TRUE(CTrend::clipSegment(0, 100, 0, 100, {-10, 110}, {10, 90}, &a, &b));
  EXPECT_NEAR(a.bar, 0.0, 1e-9);
  EXPECT_NEAR(a.price, 100.0, 1e-9);
  EXPECT_NEAR(b.bar, 10.0, 1e-9);
  // Crossing the whole view: from the first to the second crossing.
  ASSERT_TRUE(CTrend::clipSegment(0, 100, 0, 100, {-50, 50}, {150, 50}, &a, &b));
  EXPECT_EQ(a.bar, 0.0);
  EXPECT_EQ(b.bar, 100.0);
  EXPECT_FALSE(CTrend::clipSegment(0, 100, 0, 100, {-50, 150}, {-10, 190}, &a, &b));
  EXPECT_FALSE(CTrend::clipSegment(100, 100, 0, 100, {10, 50}, {20, 50}, &a, &b));
}

TEST_F(TrendKinds, RetracementLevelsStandAtTheirRatios) {
  // A low at the left, a high at the right: 61.8 % lies 61.8 % of the way
  // down from the high towards the low.
  auto t = make(4, {10, 20}, {90, 80});
  const auto s = drawn(*t);
  ASSERT_EQ(s.size(), 7u);
  const double price618 = 80 - 0.618 * 60;
  const int32_t y618 = kView.toScreen(TrendPoint{10, price618}).y;
  EXPECT_TRUE(std::any_of(s.begin(), s.end(), [&](const TrendSegment& g) {
    return g.y0 == y618 && g.y1 == y618 && g.x0 == 10 && g.x1 == 100;
  }));
  std::vector<std::u16string> labels;
  for (const auto& r : canvas.records()) {
    if (r.op == CanvasOp::draw_text) labels.push_back(r.text);
  }
  EXPECT_EQ(labels, (std::vector<std::u16string>{u"0%", u"23.6%", u"38.2%", u"50%", u"61.8%", u"100%"}));
  // The rubber band draws no labels.
  drawn(*t, true);
  EXPECT_TRUE(std::none_of(canvas.records().begin(), canvas.records().end(),
                           [](const auto& r) { return r.op == CanvasOp::draw_text; }));
}

TEST_F(TrendKinds, TimeZonesFollowTheFibonacciDistances) {
  auto t = make(7, {0, 0}, {10, 50});
  std::vector<int32_t> xs;
  for (const auto& s : drawn(*t)) xs.push_back(s.x0);
  EXPECT_EQ(xs, (std::vector<int32_t>{10, 11, 12, 14, 17, 22, 30, 43, 64, 98}));
}

TEST_F(TrendKinds, SpeedLinesRunAlongTheLineBeyondItsEnd) {
  auto t = make(10, {10, 20}, {50, 60});
  const auto s = drawn(*t);
  ASSERT_EQ(s.size(), 4u);
  // The 100 % ray leaves the view at bar 90, price 100.
  EXPECT_EQ(s.back().x1, 90);
  EXPECT_EQ(s.back().y1, 0);
}

TEST_F(TrendKinds, HorizontalLineSpreadsAndLabelsItsPrice) {
  struct Case {
    COLORREF colour;
    COLORREF text;
  };
  for (const Case c : {Case{0x0000FF, 0xFFFFFF}, Case{0xC0C0C0, 0x000000}}) {
    auto t = make(3, {20, 30}, {40, 30});
    t->setStyle(c.colour, 1);
    t->setState(kTrendPlaced);
    EXPECT_EQ(t->point(0).bar, -kTrendFar);
    canvas.clear();
    ASSERT_TRUE(t->layout(&canvas, &kView, 1.0, 1.0));
    ASSERT_EQ(t->segments().size(), 1u);
    EXPECT_EQ(t->segments()[0].x0, 0);
    EXPECT_EQ(t->segments()[0].x1, 100);
    const auto text = std::find_if(canvas.records().begin(), canvas.records().end(),
                                   [](const auto& r) { return r.op == CanvasOp::draw_text; });
    ASSERT_NE(text, canvas.records().end());
    EXPECT_EQ(text->text, u"30.00000");
    EXPECT_EQ(text->text_color, c.text);
    EXPECT_EQ(text->bk_color, c.colour);
    EXPECT_LT(text->rect.right, 0);  // beside the left axis
  }
}

TEST_F(TrendKinds, PitchforkThirdPointIsItsOwnHandle) {
  auto t = make(11, {10, 50}, {60, 80}, {60, 20});
  const auto s = drawn(*t);
  ASSERT_FALSE(s.empty());
  EXPECT_TRUE(s.back().thirdHandle);
  const POINT p3 = kView.toScreen(TrendPoint{60, 20});
  EXPECT_EQ(t->hitTest(POINT{p3.x + 3, p3.y}), kPartP3);
  EXPECT_EQ(t->hitTest(kView.toScreen(TrendPoint{10, 50})), kPartP1);
  // P1 stays the leftmost point: a fork drawn from the right swaps.
  auto swapped = make(11, {60, 80}, {10, 50}, {60, 20});
  drawn(*swapped);
  EXPECT_EQ(swapped->point(0).bar, 10.0);
}

TEST_F(TrendKinds, DragsMoveWithAGhostAndCancelPutsBack) {
  auto t = make(9, {10, 20}, {30, 40}, {20, 60});
  t->beginMove(TrendPoint{10, 20});
  EXPECT_EQ(t->state(), kTrendMoveArmed);
  t->dragTo(TrendPoint{15, 25});
  EXPECT_EQ(t->state(), kTrendMoving);
  ASSERT_NE(t->ghost(), nullptr);
  EXPECT_EQ(t->ghost()->state(), kTrendGhost);
  EXPECT_EQ(t->ghost()->point(0).bar, 10.0);
  EXPECT_EQ(t->point(0).bar, 15.0);
  EXPECT_EQ(t->point(2).bar, 25.0);  // the third point moves along
  EXPECT_GT(t->ghost()->id(), t->id());
  t->endDrag(true, true);
  EXPECT_EQ(t->state(), kTrendPlaced);
  EXPECT_EQ(t->point(0).bar, 10.0);
  EXPECT_EQ(t->point(2).bar, 20.0);
  EXPECT_EQ(t->ghost(), nullptr);
  // Resizing: the first set point arms the ghost.
  t->beginResize();
  t->setP2(TrendPoint{35, 45});
  EXPECT_EQ(t->state(), kTrendResizing);
  ASSERT_NE(t->ghost(), nullptr);
  t->endDrag(false, false);
  EXPECT_EQ(t->point(1).bar, 35.0);
  EXPECT_EQ(t->reportedPrice(1), 45.0);
}

TEST_F(TrendKinds, CancelledDragsPutTheTimesBack) {
  // One-minute bars 10:00 to 10:04; P1 on the Friday before them, P2 on the
  // 10:03 bar. A move that takes P2 past the last bar, and a resize of P1,
  // both cancelled: the figure keeps the times it had, not times found
  // again from its bar positions (P1 would land on the first bar).
  setInterval(1);
  for (int i = 0; i < 5; ++i) bar(at(20240304, 100000 + i * 100), 10);
  auto t = make(1, {-900, 20}, {3, 40});
  t->setTime(0, at(20240301, 100000));
  t->setTime(1, at(20240304, 100300));
  const auto unchanged = [&](const char* what) {
    EXPECT_EQ(t->state(), kTrendPlaced) << what;
    EXPECT_EQ(t->point(0).bar, -900.0) << what;
    for (int k = 0; k < 2; ++k) {
      const FILETIME time = k == 0 ? at(20240301, 100000) : at(20240304, 100300);
      EXPECT_TRUE(sameFileTime(t->anchorTime(k), time)) << what << k;
      EXPECT_TRUE(sameFileTime(t->savedTime(k), time)) << what << k;
    }
    EXPECT_FALSE(t->beyondBars()) << what;
  };
  t->beginMove(TrendPoint{3, 40});
  t->dragTo(TrendPoint{6, 40});
  EXPECT_TRUE(t->beyondBars());
  t->endDrag(true, false);
  unchanged("move");
  t->beginResize();
  t->setP1(TrendPoint{1, 20});
  t->setTime(0, at(20240304, 100100));
  t->endDrag(true, false);
  unchanged("resize");
}

TEST_F(TrendKinds, BarInsertedBeforeAFigureShiftsIt) {
  auto t = make(1, {10, 20}, {30, 40});
  t->onBarInserted(5);
  EXPECT_EQ(t->point(0).bar, 11.0);
  EXPECT_EQ(t->point(1).bar, 31.0);
  t->onBarInserted(40);
  EXPECT_EQ(t->point(1).bar, 31.0);
}

}  // namespace
}  // namespace kelda::chart::testing
