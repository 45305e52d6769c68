// The list box (single and multiple selection, sorted or not); it also
// serves as the drop-down list of combo boxes.
#include <algorithm>
#include <cstring>

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

int ListBoxBehavior::insert_at(WindowData& w, int index, std::u16string_view text) {
  int n = static_cast<int>(items.size());
  if (w.style & lbs::sort) {
    // After every item that sorts before it or equal to it.
    auto at = std::upper_bound(items.begin(), items.end(), text, [](std::u16string_view t, const Item& it) {
      return compare_ignore_case(t, it.text) < 0;
    });
    index = static_cast<int>(at - items.begin());
  } else if (index < 0 || index > n) {
    if (index > n) return static_cast<int>(lb::err);
    index = n;
  }
  items.insert(static_cast<size_t>(index), Item{std::u16string(text), 0, false});
  if (cur_sel >= index) ++cur_sel;
  if (caret >= index) ++caret;
  changed(w);
  return index;
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
  si.max = static_cast<int>(items.size()) - 1;
  si.page = static_cast<UINT>(page(w));
  si.pos = top;
  set_scroll_info(w.handle, sb::vert, si, true);
}

void ListBoxBehavior::set_top(WindowData& w, int t) {
  int max_top = std::max(0, static_cast<int>(items.size()) - page(w));
  t = std::clamp(t, 0, max_top);
  if (t == top) return;
  top = t;
  update_scroll(w);
  invalidate(&w, nullptr, true);
}

void ListBoxBehavior::ensure_visible(WindowData& w, int index) {
  if (index < 0) return;
  if (index < top) set_top(w, index);
  else if (index >= top + page(w)) set_top(w, index - page(w) + 1);
}

void ListBoxBehavior::notify(WindowData& w, UINT code) {
  if (owner_combo) {
    if (WindowData* c = lookup(owner_combo)) call_window(c, kListNotifyCombo, code, 0);
    return;
  }
  if (w.style & lbs::notify) notify_parent_command(w, code);
}

void ListBoxBehavior::user_select(WindowData& w, int index, bool toggle) {
  if (index < 0 || index >= static_cast<int>(items.size())) return;
  caret = index;
  if (multi(w)) {
    if (toggle) items[static_cast<size_t>(index)].selected = !items[static_cast<size_t>(index)].selected;
  } else {
    if (cur_sel == index && !owner_combo) {
      invalidate(&w, nullptr, false);
      return;
    }
    cur_sel = index;
  }
  ensure_visible(w, index);
  invalidate(&w, nullptr, false);
  notify(w, lbn::sel_change);
}

LRESULT ListBoxBehavior::handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
  const int n = static_cast<int>(items.size());
  auto valid = [&](intptr_t i) { return i >= 0 && i < n; };
  auto idx = static_cast<intptr_t>(wp);
  switch (msg) {
    case wm::paint:
      paint(w);
      return 0;
    case wm::erase_background:
      return 1;
    case wm::size:
      update_scroll(w);
      return 0;
    case lb::add_string:
      return insert_at(w, -1, reinterpret_cast<const char16_t*>(lp) ? reinterpret_cast<const char16_t*>(lp) : u"");
    case lb::insert_string:
      return insert_at(w, static_cast<int>(idx), reinterpret_cast<const char16_t*>(lp) ? reinterpret_cast<const char16_t*>(lp) : u"");
    case lb::delete_string:
      if (!valid(idx)) return lb::err;
      items.erase(static_cast<size_t>(idx));
      if (cur_sel == idx) cur_sel = -1;
      else if (cur_sel > idx) --cur_sel;
      if (caret >= idx && caret > 0) --caret;
      top = std::min(top, std::max(0, static_cast<int>(items.size()) - 1));
      changed(w);
      return static_cast<LRESULT>(items.size());
    case lb::reset_content:
      items.clear();
      cur_sel = -1;
      caret = 0;
      top = 0;
      changed(w);
      return 0;
    case lb::set_cur_sel:
      if (multi(w)) return lb::err;
      cur_sel = valid(idx) ? static_cast<int>(idx) : -1;
      if (cur_sel >= 0) {
        caret = cur_sel;
        ensure_visible(w, cur_sel);
      }
      invalidate(&w, nullptr, false);
      return cur_sel >= 0 ? cur_sel : lb::err;
    case lb::get_cur_sel:
      return multi(w) ? caret : (cur_sel >= 0 ? cur_sel : lb::err);
    case lb::set_sel:
      if (!multi(w)) return lb::err;
      if (lp == -1) {
        for (auto& it : items) it.selected = wp != 0;
      } else if (valid(lp)) {
        items[static_cast<size_t>(lp)].selected = wp != 0;
      } else {
        return lb::err;
      }
      invalidate(&w, nullptr, false);
      return 0;
    case lb::get_sel:
      if (!valid(idx)) return lb::err;
      return multi(w) ? (items[static_cast<size_t>(idx)].selected ? 1 : 0) : (idx == cur_sel ? 1 : 0);
    case lb::get_sel_count: {
      if (!multi(w)) return lb::err;
      return std::count_if(items.begin(), items.end(), [](const Item& i) { return i.selected; });
    }
    case lb::get_sel_items: {
      if (!multi(w) || (lp == 0 && wp != 0)) return lb::err;
      auto* out = reinterpret_cast<int32_t*>(lp);
      size_t room = wp, k = 0;
      for (size_t i = 0; i < items.size() && k < room; ++i)
        if (items[i].selected) out[k++] = static_cast<int32_t>(i);
      return static_cast<LRESULT>(k);
    }
    case lb::get_text: {
      if (!valid(idx) || lp == 0) return lb::err;
      const auto& t = items[static_cast<size_t>(idx)].text;
      auto* buf = reinterpret_cast<char16_t*>(lp);
      std::memcpy(buf, t.data(), t.size() * sizeof(char16_t));
      buf[t.size()] = 0;
      return static_cast<LRESULT>(t.size());
    }
    case lb::get_text_len:
      return valid(idx) ? static_cast<LRESULT>(items[static_cast<size_t>(idx)].text.size()) : lb::err;
    case lb::get_count:
      return n;
    case lb::get_item_data:
      return valid(idx) ? items[static_cast<size_t>(idx)].data : lb::err;
    case lb::set_item_data:
      if (!valid(idx)) return lb::err;
      items[static_cast<size_t>(idx)].data = lp;
      return 0;
    case lb::find_string:
    case lb::find_string_exact:
    case cb::select_string: {
      const char16_t* t = reinterpret_cast<const char16_t*>(lp);
      std::u16string_view want = t ? t : u"";
      const intptr_t start = (idx < 0 || idx >= n) ? -1 : idx;
      for (int k = 1; k <= n; ++k) {
        int i = static_cast<int>((start + k) % n);
        const auto& s = items[static_cast<size_t>(i)].text;
        bool match = msg == lb::find_string_exact ? equal_ignore_case(s, want)
                                                  : s.size() >= want.size() && equal_ignore_case(std::u16string_view(s).substr(0, want.size()), want);
        if (match) return i;
      }
      return lb::err;
    }
    case lb::get_top_index:
      return top;
    case lb::set_top_index:
      if (!valid(idx) && idx != 0) return lb::err;
      set_top(w, static_cast<int>(idx));
      return 0;
    case lb::get_item_rect: {
      if (!valid(idx) || lp == 0) return lb::err;
      RECT cl = client_rect_in_window(&w);
      int ih = item_height(w);
      int y = (static_cast<int>(idx) - top) * ih;
      *reinterpret_cast<RECT*>(lp) = RECT{0, y, width_of(cl), y + ih};
      return 0;
    }
    case lb::set_horizontal_extent:
      extent = static_cast<int>(wp);
      return 0;
    case lb::get_horizontal_extent:
      return extent;
    case wm::lbutton_down:
    case wm::lbutton_dblclk: {
      if (!owner_combo) set_focus(w.handle);
      if (lookup(w.handle) == nullptr) return 0;
      int i = top + y_of(lp) / item_height(w);
      if (i >= n) return 0;
      if (msg == wm::lbutton_dblclk) {
        notify(w, lbn::dbl_clk);
        return 0;
      }
      user_select(w, i, true);
      return 0;
    }
    case wm::lbutton_up:
      if (owner_combo && lookup(owner_combo)) call_window(lookup(owner_combo), kListNotifyCombo, kListChosen, 0);
      return 0;
    case wm::key_down: {
      int to = caret;
      switch (wp) {
        case vk::up: to = caret - 1; break;
        case vk::down: to = caret + 1; break;
        case vk::prior: to = caret - page(w); break;
        case vk::next: to = caret + page(w); break;
        case vk::home: to = 0; break;
        case vk::end: to = n - 1; break;
        case vk::space:
          if (multi(w)) user_select(w, caret, true);
          return 0;
        default: return 0;
      }
      if (n == 0) return 0;
      to = std::clamp(to, 0, n - 1);
      if (multi(w)) {
        caret = to;
        ensure_visible(w, to);
        invalidate(&w, nullptr, false);
      } else {
        user_select(w, to, false);
      }
      return 0;
    }
    case wm::set_focus:
    case wm::kill_focus:
      invalidate(&w, nullptr, false);
      notify(w, msg == wm::set_focus ? lbn::set_focus : lbn::kill_focus);
      return 0;
    case wm::vscroll: {
      int code = lo_word(wp);
      if (code == sb::line_up) set_top(w, top - 1);
      else if (code == sb::line_down) set_top(w, top + 1);
      else if (code == sb::page_up) set_top(w, top - page(w));
      else if (code == sb::page_down) set_top(w, top + page(w));
      else if (code == sb::thumb_track || code == sb::thumb_position) {
        // The message's word holds 16 bits; while the thumb is dragged the
        // bar keeps the whole position.
        set_top(w, w.vbar.tracking ? w.vbar.track_pos : hi_word(wp));
      }
      return 0;
    }
    case wm::get_dialog_code:
      return dlgc::want_arrows | dlgc::want_chars;
    default:
      return def_proc(w, msg, wp, lp);
  }
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
  for (int i = top, y = 0; i < static_cast<int>(items.size()) && y < r.bottom; ++i, y += ih) {
    const Item& it = items[static_cast<size_t>(i)];
    RECT row{0, y, r.right, y + ih};
    bool sel = multi(w) ? it.selected : i == cur_sel;
    if (sel) c.fill_rect(row, get_sys_color_brush(color::highlight));
    c.set_text_color(sel ? get_sys_color(color::highlight_text) : text);
    RECT tr{scaled(2), y, r.right - scaled(2), y + ih};
    c.draw_text(it.text, tr, dt::left | dt::vcenter | dt::single_line | dt::no_prefix);
    if (focused && !owner_combo && i == caret && g_core->focus == w.handle) draw_focus_rect(c, row);
  }
}

void register_list_box_class() {
  register_behavior_class<ListBoxBehavior>(class_name::list_box, cs::dblclks);
}

}  // namespace kelda::ui::detail
