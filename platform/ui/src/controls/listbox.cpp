// The list box (single and multiple selection, sorted or not); it also
// serves as the drop-down list of combo boxes.
#include <algorithm>

#include "controls_internal.h"
#include "listbox_internal.h"

namespace kelda::ui::detail {

int ListBoxBehavior::item_height(WindowData& w) {
  return font_engine().metrics(window_font(w)).height + 2;
}

int ListBoxBehavior::page(WindowData& w) {
  RECT cl = client_rect_in_window(&w);
  return std::max(1, height_of(cl) / item_height(w));
}

LRESULT ListBoxBehavior::handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
  const auto idx = static_cast<intptr_t>(wp);
  switch (msg) {
    case wm::paint: paint(w); return 0;
    case wm::erase_background: return 1;
    case wm::size: update_scroll(w); return 0;
    case lb::add_string: return insert_at(w, -1, reinterpret_cast<const char16_t*>(lp));
    case lb::insert_string: return insert_at(w, static_cast<int>(idx), reinterpret_cast<const char16_t*>(lp));
    case lb::delete_string: return delete_string(w, idx);
    case lb::reset_content: return reset_content(w);
    case lb::set_cur_sel: return set_cur_sel(w, idx);
    case lb::get_cur_sel: return get_cur_sel(w);
    case lb::set_sel: return set_sel(w, wp != 0, lp);
    case lb::get_sel: return get_sel(w, idx);
    case lb::get_sel_count: return get_sel_count(w);
    case lb::get_sel_items: return get_sel_items(w, wp, reinterpret_cast<int32_t*>(lp));
    case lb::get_text: return get_text(idx, reinterpret_cast<char16_t*>(lp));
    case lb::get_text_len: return get_text_len(idx);
    case lb::get_count: return list.count();
    case lb::get_item_data: return get_item_data(idx);
    case lb::set_item_data: return set_item_data(idx, lp);
    case lb::find_string: return find_string(idx, reinterpret_cast<const char16_t*>(lp), false);
    case lb::find_string_exact: return find_string(idx, reinterpret_cast<const char16_t*>(lp), true);
    case cb::select_string: return find_string(idx, reinterpret_cast<const char16_t*>(lp), false);
    case lb::get_top_index: return list.top();
    case lb::set_top_index: return set_top_index(w, idx);
    case lb::get_item_rect: return get_item_rect(w, idx, reinterpret_cast<RECT*>(lp));
    case lb::set_horizontal_extent: extent_ = static_cast<int>(wp); return 0;
    case lb::get_horizontal_extent: return extent_;
    case wm::lbutton_down: return on_tap(w, POINT{x_of(lp), y_of(lp)}, false);
    case wm::lbutton_dblclk: return on_tap(w, POINT{x_of(lp), y_of(lp)}, true);
    case wm::lbutton_up: return on_release();
    case wm::key_down: return on_key(w, static_cast<UINT>(wp));
    case wm::set_focus: return on_focus(w, true);
    case wm::kill_focus: return on_focus(w, false);
    case wm::vscroll: return on_vscroll(w, lo_word(wp), hi_word(wp));
    case wm::get_dialog_code: return dlgc::want_arrows | dlgc::want_chars;
    default: return def_proc(w, msg, wp, lp);
  }
}

LRESULT ListBoxBehavior::insert_at(WindowData& w, int index, const char16_t* text) {
  const std::u16string_view t = text ? text : u"";
  const int n = list.count();
  if (w.style & lbs::sort) {
    // After every item that sorts before it or equal to it.
    auto at = std::upper_bound(list.rows().begin(), list.rows().end(), t, [](std::u16string_view s, const Item& it) {
      return compare_ignore_case(s, it.text) < 0;
    });
    index = static_cast<int>(at - list.rows().begin());
  } else if (index < 0 || index > n) {
    if (index > n) return static_cast<int>(lb::err);
    index = n;
  }
  list.insert(index, Item{std::u16string(t), 0, false});
  changed(w);
  return index;
}

LRESULT ListBoxBehavior::delete_string(WindowData& w, intptr_t index) {
  if (!list.valid(index)) return lb::err;
  list.erase(static_cast<int>(index));
  list.keep_top_on_a_row();
  changed(w);
  return list.count();
}

LRESULT ListBoxBehavior::reset_content(WindowData& w) {
  list.clear();
  changed(w);
  return 0;
}

LRESULT ListBoxBehavior::set_cur_sel(WindowData& w, intptr_t index) {
  if (multi(w)) return lb::err;
  list.set_mark(list.valid(index) ? static_cast<int>(index) : -1);
  if (cur_sel() >= 0) {
    list.set_focus(cur_sel());
    ensure_visible(w, cur_sel());
  }
  invalidate(&w, nullptr, false);
  return cur_sel() >= 0 ? cur_sel() : lb::err;
}

LRESULT ListBoxBehavior::get_cur_sel(const WindowData& w) const {
  if (multi(w)) return caret();
  return cur_sel() >= 0 ? cur_sel() : lb::err;
}

LRESULT ListBoxBehavior::set_sel(WindowData& w, bool on, intptr_t index) {
  if (!multi(w)) return lb::err;
  if (index == -1) {
    list.select_all(on);
  } else if (list.valid(index)) {
    list.select(static_cast<int>(index), on);
  } else {
    return lb::err;
  }
  invalidate(&w, nullptr, false);
  return 0;
}

LRESULT ListBoxBehavior::get_sel(const WindowData& w, intptr_t index) const {
  if (!list.valid(index)) return lb::err;
  const int i = static_cast<int>(index);
  return (multi(w) ? list.is_selected(i) : i == cur_sel()) ? 1 : 0;
}

LRESULT ListBoxBehavior::get_sel_count(const WindowData& w) const {
  return multi(w) ? list.selected_count() : lb::err;
}

LRESULT ListBoxBehavior::get_sel_items(const WindowData& w, size_t room, int32_t* out) const {
  if (!multi(w) || (out == nullptr && room != 0)) return lb::err;
  size_t k = 0;
  for (int i = list.next_selected(-1); i >= 0 && k < room; i = list.next_selected(i)) out[k++] = i;
  return static_cast<LRESULT>(k);
}

LRESULT ListBoxBehavior::get_text(intptr_t index, char16_t* out) const {
  if (!list.valid(index) || out == nullptr) return lb::err;
  const std::u16string& t = list[static_cast<int>(index)].text;
  return copy_text_out(t, out, t.size() + 1);  // the caller sized it by get_text_len
}

LRESULT ListBoxBehavior::get_text_len(intptr_t index) const {
  return list.valid(index) ? static_cast<LRESULT>(list[static_cast<int>(index)].text.size()) : lb::err;
}

LRESULT ListBoxBehavior::get_item_data(intptr_t index) const {
  return list.valid(index) ? list[static_cast<int>(index)].data : lb::err;
}

LRESULT ListBoxBehavior::set_item_data(intptr_t index, LPARAM data) {
  if (!list.valid(index)) return lb::err;
  list[static_cast<int>(index)].data = data;
  return 0;
}

// The first item after `start` (wrapping round; from the top for no item)
// whose text starts with, or for `exact` equals, the text.
LRESULT ListBoxBehavior::find_string(intptr_t start, const char16_t* text, bool exact) const {
  const std::u16string_view want = text ? text : u"";
  const int n = list.count();
  if (!list.valid(start)) start = -1;
  for (int k = 1; k <= n; ++k) {
    const std::u16string_view s = list[static_cast<int>((start + k) % n)].text;
    const bool match = exact ? equal_ignore_case(s, want)
                             : s.size() >= want.size() && equal_ignore_case(s.substr(0, want.size()), want);
    if (match) return static_cast<int>((start + k) % n);
  }
  return lb::err;
}

LRESULT ListBoxBehavior::set_top_index(WindowData& w, intptr_t index) {
  if (!list.valid(index) && index != 0) return lb::err;
  set_top(w, static_cast<int>(index));
  return 0;
}

LRESULT ListBoxBehavior::get_item_rect(WindowData& w, intptr_t index, RECT* out) {
  if (!list.valid(index) || out == nullptr) return lb::err;
  const RECT cl = client_rect_in_window(&w);
  const int ih = item_height(w);
  const int y = (static_cast<int>(index) - list.top()) * ih;
  *out = RECT{0, y, width_of(cl), y + ih};
  return 0;
}

LRESULT ListBoxBehavior::on_tap(WindowData& w, POINT p, bool twice) {
  const AliveGuard guard(w);
  if (!owner_combo) set_focus(w.handle);
  if (guard.gone()) return 0;
  const int i = list.top() + p.y / item_height(w);
  if (i >= list.count()) return 0;
  if (twice) {
    notify(w, lbn::dbl_clk);
    return 0;
  }
  user_select(w, i, true);
  return 0;
}

LRESULT ListBoxBehavior::on_release() {
  if (!owner_combo) return 0;
  if (WindowData* combo = lookup(owner_combo)) call_window(combo, kListNotifyCombo, kListChosen, 0);
  return 0;
}

LRESULT ListBoxBehavior::on_key(WindowData& w, UINT key) {
  if (key == vk::space) {
    if (multi(w)) user_select(w, caret(), true);
    return 0;
  }
  const int to = list.row_for_key(key, caret(), page(w));
  if (to < 0) return 0;
  if (multi(w)) {
    list.set_focus(to);
    ensure_visible(w, to);
    invalidate(&w, nullptr, false);
  } else {
    user_select(w, to, false);
  }
  return 0;
}

LRESULT ListBoxBehavior::on_focus(WindowData& w, bool gained) {
  invalidate(&w, nullptr, false);
  notify(w, gained ? lbn::set_focus : lbn::kill_focus);
  return 0;
}

LRESULT ListBoxBehavior::on_vscroll(WindowData& w, int code, int pos) {
  if (code == sb::thumb_track || code == sb::thumb_position) {
    // The message's word holds 16 bits; while the thumb is dragged the bar
    // keeps the whole position.
    set_top(w, w.vbar.tracking ? w.vbar.track_pos : pos);
  } else if (auto t = list.top_for_scroll(code, page(w))) {
    set_top(w, *t);
  }
  return 0;
}

void ListBoxBehavior::changed(WindowData& w) {
  update_scroll(w);
  invalidate(&w, nullptr, true);
}

void ListBoxBehavior::update_scroll(WindowData& w) {
  if (!(w.style & ws::vscroll)) return;
  ScrollInfo si;
  si.mask = sif::range | sif::page | sif::pos;
  si.min = 0;
  si.max = list.count() - 1;
  si.page = static_cast<UINT>(page(w));
  si.pos = list.top();
  set_scroll_info(w.handle, sb::vert, si, true);
}

void ListBoxBehavior::set_top(WindowData& w, int t) {
  if (!list.set_top(t, page(w))) return;
  update_scroll(w);
  invalidate(&w, nullptr, true);
}

void ListBoxBehavior::ensure_visible(WindowData& w, int index) {
  if (index < 0) return;
  const int t = list.top_showing(index, page(w));
  if (t != list.top()) set_top(w, t);
}

void ListBoxBehavior::notify(WindowData& w, UINT code) {
  if (owner_combo) {
    if (WindowData* c = lookup(owner_combo)) call_window(c, kListNotifyCombo, code, 0);
    return;
  }
  if (w.style & lbs::notify) notify_parent_command(w, code);
}

void ListBoxBehavior::user_select(WindowData& w, int index, bool toggle) {
  if (!list.valid(index)) return;
  list.set_focus(index);
  if (multi(w)) {
    if (toggle) list.select(index, !list.is_selected(index));
  } else {
    if (cur_sel() == index && !owner_combo) {
      invalidate(&w, nullptr, false);
      return;
    }
    list.set_mark(index);
  }
  ensure_visible(w, index);
  invalidate(&w, nullptr, false);
  notify(w, lbn::sel_change);
}

void ListBoxBehavior::paint(WindowData& w) {
  PaintSession ps(w.handle);
  Canvas& c = ps.canvas();
  RECT r = client_area(&w);
  const Brush* bg = owner_combo ? &get_sys_color_brush(color::window) : prepare_colors(w, wm::ctl_color_listbox, c);
  c.fill_rect(r, *bg);
  const COLORREF text = c.text_color();
  const int ih = item_height(w);
  const bool focused = g_core->focus == w.handle || owner_combo;
  c.set_bk_mode(bk::transparent);
  for (int i = list.top(), y = 0; i < list.count() && y < r.bottom; ++i, y += ih) {
    const Item& it = list[i];
    RECT row{0, y, r.right, y + ih};
    bool sel = multi(w) ? it.selected : i == cur_sel();
    if (sel) c.fill_rect(row, get_sys_color_brush(color::highlight));
    c.set_text_color(sel ? get_sys_color(color::highlight_text) : text);
    RECT tr{scaled(2), y, r.right - scaled(2), y + ih};
    c.draw_text(it.text, tr, dt::left | dt::vcenter | dt::single_line | dt::no_prefix);
    if (focused && !owner_combo && i == caret() && g_core->focus == w.handle) draw_focus_rect(c, row);
  }
}

void register_list_box_class() {
  register_behavior_class<ListBoxBehavior>(class_name::list_box, cs::dblclks);
}

}  // namespace kelda::ui::detail
