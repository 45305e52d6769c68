// The window-free core of the list controls, driven directly.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "list_core.h"

using namespace kelda::ui;
using kelda::ui::detail::FocusOnRemoval;
using kelda::ui::detail::ListCore;

namespace {

struct Row {
  int id = 0;
  bool selected = false;
};

ListCore<Row> with_rows(int n, FocusOnRemoval rule) {
  ListCore<Row> list(rule);
  for (int i = 0; i < n; ++i) list.insert(i, Row{i, false});
  return list;
}

std::vector<int> ids(const ListCore<Row>& list) {
  std::vector<int> out;
  for (const Row& r : list.rows()) out.push_back(r.id);
  return out;
}

}  // namespace

TEST(ListCore, KeysMoveWithinTheRows) {
  struct Case {
    UINT key;
    int from, page, rows, want;
  };
  const Case cases[] = {
      {vk::down, 3, 5, 10, 4},
      {vk::up, 3, 5, 10, 2},
      {vk::up, 0, 5, 10, 0},            // stays on the first row
      {vk::down, 9, 5, 10, 9},          // stays on the last row
      {vk::next, 7, 5, 10, 9},          // a page past the end stops at the last row
      {vk::prior, 2, 5, 10, 0},
      {vk::next, 99'990, 20, 100'000, 99'999},
      {vk::home, 6, 5, 10, 0},
      {vk::end, 0, 5, 100'000, 99'999},
      {vk::down, 0, 5, 0, -1},          // no rows: no move
      {vk::left, 3, 5, 10, -1},         // not a moving key
      {vk::space, 3, 5, 10, -1},
  };
  for (const Case& c : cases) {
    ListCore<Row> list = with_rows(c.rows, FocusOnRemoval::none);
    EXPECT_EQ(list.row_for_key(c.key, c.from, c.page), c.want) << "key " << c.key << " from " << c.from;
  }
}

TEST(ListCore, FocusAndMarkFollowTheirRowsThroughInsertsAndRemovals) {
  struct Case {
    FocusOnRemoval rule;
    int focus, mark;  // before
    bool insert;      // insert before `at`, else remove `at`
    int at;
    int want_focus, want_mark;
  };
  const Case cases[] = {
      {FocusOnRemoval::none, 4, 6, true, 4, 5, 7},       // inserted before them: both move down
      {FocusOnRemoval::none, 4, 6, true, 5, 4, 7},
      {FocusOnRemoval::none, 4, 6, false, 2, 3, 5},      // removed before them: both move up
      {FocusOnRemoval::none, 4, 6, false, 4, -1, 5},     // the focused row goes: no focus
      {FocusOnRemoval::none, 4, 6, false, 6, 4, -1},     // the marked row goes: no mark
      {FocusOnRemoval::none, 4, 6, false, 8, 4, 6},      // removed after them
      {FocusOnRemoval::previous, 4, 6, false, 4, 3, 5},  // the caret goes to the row before
      {FocusOnRemoval::previous, 0, -1, false, 0, 0, -1},
      {FocusOnRemoval::previous, 4, -1, false, 2, 3, -1},
  };
  for (const Case& c : cases) {
    ListCore<Row> list = with_rows(10, c.rule);
    list.set_focus(c.focus);
    list.set_mark(c.mark);
    if (c.insert) {
      list.insert(c.at, Row{100, false});
    } else {
      list.erase(c.at);
    }
    EXPECT_EQ(list.focus(), c.want_focus) << (c.insert ? "insert " : "erase ") << c.at;
    EXPECT_EQ(list.mark(), c.want_mark) << (c.insert ? "insert " : "erase ") << c.at;
  }
}

TEST(ListCore, SelectionCountStaysRightThroughEveryChange) {
  ListCore<Row> list = with_rows(1000, FocusOnRemoval::none);
  EXPECT_EQ(list.next_selected(-1), -1);
  EXPECT_TRUE(list.select(10, true));
  EXPECT_FALSE(list.select(10, true));  // already selected
  EXPECT_TRUE(list.select(500, true));
  EXPECT_TRUE(list.select(999, true));
  EXPECT_EQ(list.selected_count(), 3);
  EXPECT_EQ(list.selected_other_than(500), 2);
  EXPECT_EQ(list.selected_other_than(501), 3);

  list.insert(0, Row{-1, true});  // arrives unselected
  EXPECT_EQ(list.selected_count(), 3);
  EXPECT_EQ(list.next_selected(-1), 11);
  EXPECT_EQ(list.next_selected(11), 501);
  list.erase(501);
  EXPECT_EQ(list.selected_count(), 2);
  EXPECT_EQ(list.next_selected(11), 999);  // the last row moved up with the removal
  EXPECT_EQ(list.next_selected(999), -1);

  list.select_all(true);
  EXPECT_EQ(list.selected_count(), list.count());
  list.select_all(false);
  EXPECT_EQ(list.selected_count(), 0);
  list.select(3, true);
  list.clear();
  EXPECT_EQ(list.selected_count(), 0);
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(list.is_selected(3));
}

TEST(ListCore, RowsKeepTheirOrderThroughInsertsAndRemovalsAnywhere) {
  ListCore<Row> list(FocusOnRemoval::none);
  std::vector<int> model;
  for (int i = 0; i < 3000; ++i) {
    const int at = (i * 7919) % (static_cast<int>(model.size()) + 1);
    list.insert(at, Row{i, false});
    model.insert(model.begin() + at, i);
  }
  for (int i = 0; i < 1500; ++i) {
    const int at = (i * 104'729) % static_cast<int>(model.size());
    list.erase(at);
    model.erase(model.begin() + at);
  }
  EXPECT_EQ(ids(list), model);
}

TEST(ListCore, TopRowStaysWhereAPageIsFilledAndBringsRowsIntoView) {
  ListCore<Row> list = with_rows(100, FocusOnRemoval::none);
  const int page = 10;
  EXPECT_TRUE(list.set_top(95, page));
  EXPECT_EQ(list.top(), 90);  // the last page is full
  EXPECT_FALSE(list.set_top(1000, page));
  EXPECT_TRUE(list.set_top(-5, page));
  EXPECT_EQ(list.top(), 0);

  list.set_top(40, page);
  struct Case {
    int row, want_top;
  };
  const Case shows[] = {{45, 40}, {40, 40}, {49, 40}, {50, 41}, {39, 39}, {0, 0}, {99, 90}};
  for (const Case& c : shows) EXPECT_EQ(list.top_showing(c.row, page), c.want_top) << "row " << c.row;

  EXPECT_EQ(list.top_for_scroll(sb::line_up, page), std::optional<int>(39));
  EXPECT_EQ(list.top_for_scroll(sb::line_down, page), std::optional<int>(41));
  EXPECT_EQ(list.top_for_scroll(sb::page_up, page), std::optional<int>(30));
  EXPECT_EQ(list.top_for_scroll(sb::page_down, page), std::optional<int>(50));
  EXPECT_EQ(list.top_for_scroll(sb::end_scroll, page), std::nullopt);

  list.set_top(90, page);
  for (int i = 0; i < 95; ++i) list.erase(0);
  list.keep_top_on_a_row();
  EXPECT_EQ(list.top(), 4);  // the last of the five rows left
  list.keep_page_filled(page);
  EXPECT_EQ(list.top(), 0);
}
