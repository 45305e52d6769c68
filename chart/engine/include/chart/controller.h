// CChartController: the layout of a chart's panes. Each pane has a stored
// height proportion; the layout rectangle's height, less 3-pixel splitters
// between panes, is shared out by those proportions (rounded up, the surplus
// taken back one pixel per pane from the top). A new pane starts with
// proportion 0 (the first with 1). Owned by the chart. Not thread-safe;
// allocation failures throw std::bad_alloc.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/win_types.h"

namespace kelda::chart {

class CChartController {
 public:
  static constexpr int32_t kSplitterGap = 3;

  struct PaneEntry {
    double proportion = 0.0;
    int32_t height = 0;
  };

  int32_t paneCount() const { return static_cast<int32_t>(entries_.size()); }
  const std::vector<PaneEntry>& entries() const { return entries_; }
  int32_t paneHeightSum() const { return paneHeightSum_; }
  const RECT& layoutRect() const { return layoutRect_; }

  // Stores the rectangle and recomputes the pane heights.
  void setLayoutRect(const RECT& rect);
  void computePaneHeights();
  void addPaneEntry();
  // Copies the proportions into the first entries and relayouts.
  void setPaneProportions(std::span<const double> proportions);
  // Removes the entry at index, gives its pixels to the others from the top
  // and stores the proportions that result.
  void removePaneEntry(int32_t index);
  // Top of pane i in the layout (pane 0 at the rectangle's top).
  int32_t paneTop(int32_t index) const;

  // Set while a drawing tool follows the stylus; focus loss and the Alt key
  // clear it.
  bool toolMode() const { return toolMode_; }
  void setToolMode(bool on) { toolMode_ = on; }

 private:
  RECT layoutRect_{};
  int32_t paneHeightSum_ = 0;
  std::vector<PaneEntry> entries_;
  bool toolMode_ = false;
};

}  // namespace kelda::chart
