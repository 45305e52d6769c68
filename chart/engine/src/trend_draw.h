// Drawing helpers shared by the trend tool kinds: the pen scope of one
// drawing, the clip scope, the start that the retracement and the fan share,
// the point of a packed stylus message and ASCII texts widened.
// Private to the chart engine. Threading: the chart's thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "chart/trend.h"
#include "platform/win_types.h"
#include "ui/canvas.h"

namespace kelda::chart {

inline POINT pointOfMessage(LPARAM xy) {
  return POINT{static_cast<int16_t>(static_cast<uint16_t>(xy & 0xFFFF)),
               static_cast<int16_t>(static_cast<uint16_t>((xy >> 16) & 0xFFFF))};
}

inline std::u16string widenAscii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// Selects a pen of the figure (or of the exclusive-or colours) and the
// exclusive-or mix while drawing; restores both when it ends.
class PenScope {
 public:
  PenScope(ui::Canvas& canvas, int style, int width, COLORREF colour, bool xorMode)
      : canvas_(canvas), pen_{style, width, colour}, xor_(xorMode) {
    old_ = canvas.select_pen(&pen_);
    oldRop_ = xorMode ? canvas.set_rop2(ui::r2::xor_pen) : canvas.rop2();
  }
  ~PenScope() {
    canvas_.select_pen(old_);
    if (xor_) canvas_.set_rop2(oldRop_);
  }
  PenScope(const PenScope&) = delete;
  PenScope& operator=(const PenScope&) = delete;
  void use(int style, int width) {
    pen_.style = style;
    pen_.width = width;
    canvas_.select_pen(&pen_);
  }

 private:
  ui::Canvas& canvas_;
  ui::Pen pen_;
  const ui::Pen* old_ = nullptr;
  int oldRop_ = 0;
  bool xor_;
};

// Selects the view rectangle as the clip region while the figure draws
// labels or rays.
class ClipScope {
 public:
  ClipScope(ui::Canvas& canvas, const RECT& rect) : canvas_(canvas), region_(rect) {
    canvas.select_clip_region(&region_);
  }
  ~ClipScope() { canvas_.select_clip_region(nullptr); }
  ClipScope(const ClipScope&) = delete;
  ClipScope& operator=(const ClipScope&) = delete;

 private:
  ui::Canvas& canvas_;
  ui::Region region_;
};

template <class More>
void CTrend::drawOverDiagonal(ui::Canvas& canvas, const TrendView& view, bool xorMode, More&& more) {
  setView(view);
  const ClipScope clip(canvas, RECT{view.left, view.top, view.right, view.bottom});
  PenScope pen(canvas, ui::ps::dot, 1, drawColour(xorMode), xorMode);
  if (extendToPane(view.bottomPrice, view.topPrice, view.leftBar, view.rightBar)) recordVisible(canvas, view);
  more(canvas, pen);
}

}  // namespace kelda::chart
