// Pane heights from proportions.
#include "chart/controller.h"

#include <algorithm>
#include <cmath>

namespace kelda::chart {

CChartController::CChartController(CChart& chart) : chart_(&chart) {}

void CChartController::setLayoutRect(const RECT& rect) {
  layoutRect_ = rect;
  const int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
  const int64_t splitters = kSplitterGap * std::max<int64_t>(paneCount() - 1, 0);
  paneHeightSum_ = static_cast<int32_t>(std::clamp<int64_t>(height - splitters, 0, INT32_MAX));
  computePaneHeights();
}

void CChartController::computePaneHeights() {
  const int64_t total = paneHeightSum_;
  if (total == 0) {
    for (PaneEntry& e : entries_) e.height = 0;
    return;
  }
  int64_t sum = 0;
  for (PaneEntry& e : entries_) {
    // Proportions are checked on entry (0..1, finite); the clamp keeps a
    // stored value from ever making a height outside the layout.
    const double h = std::ceil(total * std::clamp(e.proportion, 0.0, 1.0));
    e.height = static_cast<int32_t>(h);
    sum += e.height;
  }
  while (sum > total) {
    for (PaneEntry& e : entries_) {
      if (sum <= total) break;
      if (e.height > 0) {
        --e.height;
        --sum;
      }
    }
  }
}

void CChartController::addPaneEntry() {
  entries_.push_back(PaneEntry{entries_.empty() ? 1.0 : 0.0, 0});
  setLayoutRect(layoutRect_);
}

void CChartController::setPaneProportions(std::span<const double> proportions) {
  const size_t n = std::min(proportions.size(), entries_.size());
  for (size_t i = 0; i < n; ++i) entries_[i].proportion = proportions[i];
  setLayoutRect(layoutRect_);
}

void CChartController::removePaneEntry(int32_t index) {
  if (index < 0 || index >= paneCount()) return;
  entries_.erase(entries_.begin() + index);
  if (!entries_.empty() && paneHeightSum_ > 0) {
    // The freed pixels go one per pane in passes from the top: every pane
    // gets the whole passes, the top ones one pixel more.
    int64_t sum = 0;
    for (const PaneEntry& e : entries_) sum += e.height;
    const int64_t deficit = std::max<int64_t>(paneHeightSum_ - sum, 0);
    const int64_t n = paneCount();
    for (int64_t i = 0; i < n; ++i) {
      PaneEntry& e = entries_[static_cast<size_t>(i)];
      e.height = static_cast<int32_t>(e.height + deficit / n + (i < deficit % n ? 1 : 0));
      e.proportion = static_cast<double>(e.height) / paneHeightSum_;
    }
  }
  setLayoutRect(layoutRect_);
}

int32_t CChartController::paneTop(int32_t index) const {
  int32_t y = layoutRect_.top;
  for (int32_t i = 0; i < index && i < paneCount(); ++i) y += entries_[i].height + kSplitterGap;
  return y;
}

}  // namespace kelda::chart
