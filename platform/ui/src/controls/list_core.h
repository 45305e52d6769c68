// The window-free core of the list controls (list view, list box and the
// combo box's drop-down list): the rows in the chunked store, which rows are
// selected and how many, the focused row and the selection mark, the top row
// in view, and where keys and scroll codes move. It knows no window: the
// controls pass the page (how many rows their window shows), draw, and send
// their notifications.
//
// A Row is any value with a `bool selected` member, which only select(),
// select_all() and the row changes here may set, so that the count of
// selected rows stays right. Indexes are ints: -1 is no row. Used on the
// user-interface thread only, like the controls.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "chunked_list.h"
#include "ui/types.h"
#include "ui/window.h"

namespace kelda::ui::detail {

// Where the focus goes when its row is removed.
enum class FocusOnRemoval {
  none,      // no row has the focus (list view)
  previous,  // the row before it, or the first row (list box caret)
};

template <typename Row>
class ListCore {
 public:
  explicit ListCore(FocusOnRemoval rule) : rule_(rule), focus_(empty_focus()) {}

  // --- Rows -------------------------------------------------------------------------------------
  int count() const { return static_cast<int>(rows_.size()); }
  bool valid(intptr_t i) const { return i >= 0 && i < count(); }
  Row& operator[](int i) { return rows_[static_cast<size_t>(i)]; }
  const Row& operator[](int i) const { return rows_[static_cast<size_t>(i)]; }
  ChunkedList<Row>& rows() { return rows_; }
  const ChunkedList<Row>& rows() const { return rows_; }

  // Inserts an unselected row before `at` (0 to count()); the focus and the
  // mark keep to their rows.
  void insert(int at, Row row) {
    row.selected = false;
    rows_.insert(static_cast<size_t>(at), std::move(row));
    if (focus_ >= at) ++focus_;
    if (mark_ >= at) ++mark_;
  }

  // Removes row i (a valid index); the focus follows the rule, the mark of
  // the removed row goes, later ones move up.
  void erase(int i) {
    if (rows_[static_cast<size_t>(i)].selected) --selected_;
    rows_.erase(static_cast<size_t>(i));
    if (rule_ == FocusOnRemoval::previous) {
      if (focus_ >= i && focus_ > 0) --focus_;
    } else if (focus_ == i) {
      focus_ = -1;
    } else if (focus_ > i) {
      --focus_;
    }
    if (mark_ == i) mark_ = -1;
    else if (mark_ > i) --mark_;
  }

  // No rows, nothing selected, no mark, the first row on top.
  void clear() {
    rows_.clear();
    selected_ = 0;
    focus_ = empty_focus();
    mark_ = -1;
    top_ = 0;
  }

  // --- Selection --------------------------------------------------------------------------------
  int selected_count() const { return selected_; }
  bool is_selected(int i) const { return valid(i) && rows_[static_cast<size_t>(i)].selected; }

  // Selects or deselects row i (a valid index); false when it already was.
  bool select(int i, bool on) {
    Row& r = rows_[static_cast<size_t>(i)];
    if (r.selected == on) return false;
    r.selected = on;
    selected_ += on ? 1 : -1;
    return true;
  }

  void select_all(bool on) {
    for (Row& r : rows_) r.selected = on;
    selected_ = on ? count() : 0;
  }

  // The first selected row after `after` (-1: from the start), -1 when none.
  int next_selected(int after) const {
    if (selected_ == 0) return -1;
    for (int i = std::max(-1, after) + 1; i < count(); ++i)
      if (rows_[static_cast<size_t>(i)].selected) return i;
    return -1;
  }

  // Selected rows other than row i.
  int selected_other_than(int i) const { return selected_ - (is_selected(i) ? 1 : 0); }

  // --- Focus and mark ---------------------------------------------------------------------------
  int focus() const { return focus_; }
  void set_focus(int i) { focus_ = i; }
  int mark() const { return mark_; }
  void set_mark(int i) { mark_ = i; }

  // --- Rows in view ----------------------------------------------------------------------------
  int top() const { return top_; }
  // The top row that keeps a page of `page` rows filled where the rows allow.
  int clamp_top(int t, int page) const { return std::clamp(t, 0, std::max(0, count() - page)); }
  // Scrolls to top row t (clamped); false when the top stays.
  bool set_top(int t, int page) {
    t = clamp_top(t, page);
    if (t == top_) return false;
    top_ = t;
    return true;
  }
  // Keeps the top row within the rows after some were removed.
  void keep_top_on_a_row() { top_ = std::min(top_, std::max(0, count() - 1)); }
  // Keeps the top row where a page is filled (after the rows or page changed).
  void keep_page_filled(int page) { top_ = clamp_top(top_, page); }

  // The top row that brings row i into view with the least scrolling.
  int top_showing(int i, int page) const {
    if (i < top_) return i;
    if (i >= top_ + page) return i - page + 1;
    return top_;
  }

  // The top row a line or page scroll code asks for (before clamping);
  // nothing for other codes.
  std::optional<int> top_for_scroll(int code, int page) const {
    switch (code) {
      case sb::line_up: return top_ - 1;
      case sb::line_down: return top_ + 1;
      case sb::page_up: return top_ - page;
      case sb::page_down: return top_ + page;
      default: return std::nullopt;
    }
  }

  // The row a moving key (arrows up and down, page up and down, home, end)
  // goes to from row `from`, within the rows; -1 for other keys and when
  // there are no rows.
  int row_for_key(UINT key, int from, int page) const {
    int to = 0;
    switch (key) {
      case vk::up: to = from - 1; break;
      case vk::down: to = from + 1; break;
      case vk::prior: to = from - page; break;
      case vk::next: to = from + page; break;
      case vk::home: to = 0; break;
      case vk::end: to = count() - 1; break;
      default: return -1;
    }
    if (count() == 0) return -1;
    return std::clamp(to, 0, count() - 1);
  }

 private:
  int empty_focus() const { return rule_ == FocusOnRemoval::previous ? 0 : -1; }

  FocusOnRemoval rule_;
  ChunkedList<Row> rows_;
  int selected_ = 0;
  int focus_;
  int mark_ = -1;
  int top_ = 0;
};

}  // namespace kelda::ui::detail
