// The nine trend tool kinds over CTrend (trend.h): trend line, vertical and
// horizontal lines, Fibonacci retracement, fan and time zones, channel,
// speed lines and the pitchfork; and the factory that makes a kind by its
// type code. Threading, ownership and errors as for CTrend. A vertical line
// is also listed in its chart's vertical-line list (drawn across every pane)
// and leaves that list when destroyed.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "chart/trend.h"

namespace kelda::chart {

class PenScope;

// The figure of stored type `type` (1, 2, 3, 4, 6, 7, 9, 10, 11); every other
// value makes a trend line.
std::unique_ptr<CTrend> makeTrend(CChart& chart, int32_t type);

// The segment P1-P2, not extended beyond its points, with handles.
class CTrendLine : public CTrend {
 public:
  explicit CTrendLine(CChart& chart, int32_t type = 1) : CTrend(chart, type) {}
  std::unique_ptr<CTrend> clone() const override;
};

// A line at P2's bar through every pane; moved, never resized.
class CTrendVert final : public CTrend {
 public:
  explicit CTrendVert(CChart& chart) : CTrend(chart, 2) {}
  ~CTrendVert() override;
  std::unique_ptr<CTrend> clone() const override;
  bool layout(ui::Canvas* canvas, const TrendView* view, double xScale, double yScale) override;
  void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) override;
  void setState(int32_t state) override;
  bool extendToPane(double bottom, double top, double left, double right) override;

 private:
  double scales_[2] = {1.0, 1.0};
};

// A line at P2's price across the view, with its price beside the axis.
class CTrendHorz final : public CTrend {
 public:
  explicit CTrendHorz(CChart& chart) : CTrend(chart, 3) {}
  std::unique_ptr<CTrend> clone() const override;
  bool layout(ui::Canvas* canvas, const TrendView* view, double xScale, double yScale) override;
  void setState(int32_t state) override;
  bool extendToPane(double bottom, double top, double left, double right) override;

 private:
  void drawPriceLabel(ui::Canvas& canvas);
};

// The dotted diagonal P1-P2 and the retracement levels right of its left
// point, labelled with their ratios.
class CTrendFibRetracement final : public CTrend {
 public:
  explicit CTrendFibRetracement(CChart& chart) : CTrend(chart, 4) {}
  std::unique_ptr<CTrend> clone() const override;
  void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) override;

 private:
  void drawLevels(ui::Canvas& canvas, const TrendView& view, PenScope& pen, bool xorMode);
};

// Rays from the left point through the target's bar at the ratios of the
// table (percent of the rise from the origin to the target).
class CTrendFibFan : public CTrend {
 public:
  explicit CTrendFibFan(CChart& chart) : CTrend(chart, 6), ratios_{38.2, 50.0, 61.8} {}
  std::unique_ptr<CTrend> clone() const override;
  void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) override;
  const std::array<double, 3>& ratios() const { return ratios_; }

 protected:
  CTrendFibFan(CChart& chart, int32_t type, std::array<double, 3> ratios) : CTrend(chart, type), ratios_(ratios) {}

 private:
  std::array<double, 3> ratios_;
};

class CTrendSpeed final : public CTrendFibFan {
 public:
  explicit CTrendSpeed(CChart& chart) : CTrendFibFan(chart, 10, {100.0 / 3, 200.0 / 3, 100.0}) {}
  std::unique_ptr<CTrend> clone() const override;
};

// Vertical lines at P2 and the Fibonacci distances after it.
class CTrendFibZones final : public CTrend {
 public:
  explicit CTrendFibZones(CChart& chart) : CTrend(chart, 7) {}
  std::unique_ptr<CTrend> clone() const override;
  void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) override;
};

// The line through P1 and P2 across the view and its parallel through P3,
// which follows the stylus after the stroke until a tap places it. Both
// anchors on one bar make a vertical channel: two vertical lines, at P1's
// and at P3's bar.
class CTrendChannel final : public CTrendLine {
 public:
  explicit CTrendChannel(CChart& chart);
  std::unique_ptr<CTrend> clone() const override;
  void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) override;
  bool onCreateMessage(UINT message, WPARAM keys, LPARAM xy) override;
};

// The median line from P1 through the middle of P2 and P3, and its
// parallels through P2 and P3; P3 is placed by a tap after the stroke.
class CTrendAndrewsFork final : public CTrend {
 public:
  explicit CTrendAndrewsFork(CChart& chart);
  std::unique_ptr<CTrend> clone() const override;
  void draw(ui::Canvas* canvas, const TrendView* view, bool xorMode) override;
  int32_t hitTest(POINT point) const override;
  bool onCreateMessage(UINT message, WPARAM keys, LPARAM xy) override;
};

}  // namespace kelda::chart
