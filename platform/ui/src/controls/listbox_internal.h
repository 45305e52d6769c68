// The list box behaviour, shared with the combo box's drop-down list.
#pragma once

#include <string>

#include "list_core.h"

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
    bool selected = false;  // multiple selection
  };
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override;

  // The caret is the core's focus; in single selection the chosen item is
  // the core's mark.
  ListCore<Item> list{FocusOnRemoval::previous};
  Hwnd owner_combo;  // set for a combo box's drop-down list

  int cur_sel() const { return list.mark(); }
  int item_height(WindowData& w);
  int page(WindowData& w);
  void ensure_visible(WindowData& w, int index);

 private:
  bool multi(const WindowData& w) const { return (w.style & (lbs::multiple_sel | lbs::extended_sel)) != 0; }
  int caret() const { return list.focus(); }

  // Messages, each with its words unpacked.
  LRESULT insert_at(WindowData& w, int index, const char16_t* text);
  LRESULT delete_string(WindowData& w, intptr_t index);
  LRESULT reset_content(WindowData& w);
  LRESULT set_cur_sel(WindowData& w, intptr_t index);
  LRESULT get_cur_sel(const WindowData& w) const;
  LRESULT set_sel(WindowData& w, bool on, intptr_t index);
  LRESULT get_sel(const WindowData& w, intptr_t index) const;
  LRESULT get_sel_count(const WindowData& w) const;
  LRESULT get_sel_items(const WindowData& w, size_t room, int32_t* out) const;
  LRESULT get_text(intptr_t index, char16_t* out) const;
  LRESULT get_text_len(intptr_t index) const;
  LRESULT get_item_data(intptr_t index) const;
  LRESULT set_item_data(intptr_t index, LPARAM data);
  LRESULT find_string(intptr_t start, const char16_t* text, bool exact) const;
  LRESULT set_top_index(WindowData& w, intptr_t index);
  LRESULT get_item_rect(WindowData& w, intptr_t index, RECT* out);
  LRESULT on_tap(WindowData& w, POINT p, bool twice);
  LRESULT on_release();
  LRESULT on_key(WindowData& w, UINT key);
  LRESULT on_focus(WindowData& w, bool gained);
  LRESULT on_vscroll(WindowData& w, int code, int pos);

  void changed(WindowData& w);
  void update_scroll(WindowData& w);
  void set_top(WindowData& w, int t);
  void notify(WindowData& w, UINT code);
  void user_select(WindowData& w, int index, bool toggle);
  void paint(WindowData& w);

  int extent_ = 0;
};

}  // namespace kelda::ui::detail
