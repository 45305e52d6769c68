// The list box behaviour, shared with the combo box's drop-down list.
#pragma once

#include <string>

#include "chunked_list.h"

#include "controls_internal.h"

namespace kelda::ui::detail {

// Private messages between a combo box and its drop-down list.
inline constexpr UINT kListNotifyCombo = wm::user + 0x3F0;  // wParam: lbn:: code or kListChosen
inline constexpr WPARAM kListChosen = 0x7F;

class ListBoxBehavior final : public Behavior {
 public:
  struct Item {
    std::u16string text;
    LPARAM data = 0;
    bool selected = false;
  };
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override;

  ChunkedList<Item> items;
  int cur_sel = -1;
  int caret = 0;
  int top = 0;
  int extent = 0;
  Hwnd owner_combo;  // set for a combo box's drop-down list

  int item_height(WindowData& w);
  int page(WindowData& w);
  void ensure_visible(WindowData& w, int index);

 private:
  bool multi(const WindowData& w) const { return (w.style & (lbs::multiple_sel | lbs::extended_sel)) != 0; }
  int insert_at(WindowData& w, int index, std::u16string_view text);
  void changed(WindowData& w);
  void update_scroll(WindowData& w);
  void set_top(WindowData& w, int t);
  void notify(WindowData& w, UINT code);
  void user_select(WindowData& w, int index, bool toggle);
  void paint(WindowData& w);
};

}  // namespace kelda::ui::detail
