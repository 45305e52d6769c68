// The slot and index model of a chart: which bars the window shows, where.
//
//   bar list      n bars, index 0 .. n-1, ascending time (BarList). Every
//                 series keeps its point for bar i at index i.
//   range         [first, first + count): the bars the chart mode selects
//                 (mode 1 all, 3 the last N, 2 and 4 a time range), kept by
//                 the chart and moved as bars arrive (updateVisibleRange).
//   intervals     total = max(count + extra intervals, minimum intervals):
//                 the slots of the time axis. Slots past the range's end are
//                 empty room (extra intervals, or a short range).
//   page          bars per page. The window scrolls when 0 < page <= total:
//                 it then shows `page` slots, and the scroll position p,
//                 0 <= p <= total - page, is the first slot shown (following
//                 the last bar pins p = total - page). Otherwise it shows all
//                 total slots and p = 0.
//   slot k        (k = 0 at the left edge of the plot) stands for bar index
//                 first + p + k. The first visible bar is first + p (also
//                 called the first-bar offset plus the scroll position); the
//                 end slot is first + count: a slot at or past it shows no bar.
//   bar width     plot width / page while scrolling, else plot width / total;
//                 the centre of slot k lies at left + (k + 0.5) * width.
//   time -> index a bar's own time gives its index; a time between two bars
//                 the earlier one; before the first bar minus the intervals
//                 between them; after the last bar n + whole intervals since
//                 it (time_index.h). Index n gives the last bar's own time.
//
// Pure value arithmetic; thread-safe; never throws.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kelda::chart {

struct SlotModel {
  int32_t bar_count = 0;        // n
  int32_t first_in_range = 0;   // first bar of the range
  int32_t count_in_range = 0;   // bars in the range
  int32_t extra_intervals = 0;  // empty slots wanted after the last bar
  int32_t min_intervals = 0;    // fewest slots on the axis
  int32_t bars_per_page = 0;    // 0 = no scrolling
  int32_t scroll_position = 0;  // first slot shown while scrolling
  bool follow_last_bar = true;

  // Slots on the time axis.
  constexpr int32_t interval_count() const {
    return std::max(count_in_range + extra_intervals, min_intervals);
  }
  // The window scrolls (a scroll bar is shown).
  constexpr bool scrolls() const { return bars_per_page > 0 && bars_per_page <= interval_count(); }
  // Slots the window shows.
  constexpr int32_t visible_slots() const { return scrolls() ? bars_per_page : interval_count(); }
  // Largest scroll position.
  constexpr int32_t max_scroll_position() const { return scrolls() ? interval_count() - bars_per_page : 0; }
  // The scroll position in force: pinned to the end while following the last
  // bar, otherwise the remembered one held to its range.
  constexpr int32_t effective_scroll_position() const {
    if (!scrolls()) return 0;
    if (follow_last_bar) return max_scroll_position();
    return std::clamp(scroll_position, 0, max_scroll_position());
  }
  // End slot: first slot index (as a bar index) that shows no bar.
  constexpr int32_t end_slot() const { return first_in_range + count_in_range; }
  // Bar index of the window's left edge.
  constexpr int32_t first_visible_bar() const { return first_in_range + effective_scroll_position(); }
  // Bar index of the rightmost slot that shows a bar; below first_visible_bar()
  // when the window shows none.
  constexpr int32_t last_visible_bar() const {
    return std::min(first_visible_bar() + visible_slots(), end_slot()) - 1;
  }
  // Bar index that slot k stands for (k held to the axis), or -1 when the slot
  // shows no bar.
  constexpr int32_t bar_of_slot(int32_t k) const {
    if (interval_count() <= 0) return -1;
    const int32_t slot = std::clamp(effective_scroll_position() + k, 0, interval_count() - 1);
    const int32_t bar = first_in_range + slot;
    return bar < end_slot() && bar < bar_count ? bar : -1;
  }
  // Slot of bar index i (negative or past the window when off screen).
  constexpr int32_t slot_of_bar(int32_t i) const { return i - first_visible_bar(); }
  // Bar width in pixels for a plot `plot_width` wide (0 without bars).
  constexpr double bar_width(double plot_width) const {
    if (count_in_range <= 0 || visible_slots() <= 0) return 0.0;
    return plot_width / visible_slots();
  }
};

}  // namespace kelda::chart
