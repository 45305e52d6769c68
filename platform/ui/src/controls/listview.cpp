// The list view in report mode: columns, rows with per-column texts and item
// data, selection, hit tests, custom drawing, tap-and-hold and double taps.
// Only the rows in view are ever measured or drawn, so it stays quick with
// a hundred thousand rows.
#include <algorithm>
#include <utility>

#include "controls_internal.h"
#include "list_core.h"
#include "row_texts.h"

namespace kelda::ui::detail {
namespace {

class ListViewBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    const auto idx = static_cast<intptr_t>(wp);
    switch (msg) {
      case wm::create: return on_create(w);
      case wm::paint: paint(w); return 0;
      case wm::erase_background: return 1;
      case wm::size: return on_size(w);
      case wm::set_font: return on_set_font(w, wp, lp);
      case wm::set_redraw: return on_set_redraw(w, wp != 0);
      case wm::set_focus: return on_focus(w, true);
      case wm::kill_focus: return on_focus(w, false);
      case wm::get_dialog_code: return dlgc::want_arrows | dlgc::want_chars;
      case wm::lbutton_down: on_down(w, POINT{x_of(lp), y_of(lp)}, wp); return 0;
      case wm::lbutton_dblclk: on_double(w, POINT{x_of(lp), y_of(lp)}); return 0;
      case wm::mouse_move: return on_move(w, x_of(lp));
      case wm::lbutton_up: return on_up();
      case wm::key_down: on_key(w, static_cast<UINT>(wp)); return 0;
      case wm::vscroll: on_vscroll(w, lo_word(wp)); return 0;
      case wm::hscroll: on_hscroll(w, lo_word(wp)); return 0;
      case lvm::insert_column: return insert_column(w, idx, reinterpret_cast<const ListViewColumn*>(lp));
      case lvm::delete_column: return delete_column(w, idx);
      case lvm::get_column_count: return static_cast<LRESULT>(cols_.size());
      case lvm::get_column_width: return column_valid(idx) ? cols_[static_cast<size_t>(idx)].width : 0;
      case lvm::set_column_width: return set_column_width(w, idx, static_cast<int>(lp));
      case lvm::get_column: return get_column(idx, reinterpret_cast<ListViewColumn*>(lp));
      case lvm::set_column: return set_column(w, idx, reinterpret_cast<const ListViewColumn*>(lp));
      case lvm::insert_item: return insert_item(w, reinterpret_cast<const ListViewItem*>(lp));
      case lvm::set_item: return set_item(w, reinterpret_cast<const ListViewItem*>(lp));
      case lvm::get_item: return get_item(reinterpret_cast<ListViewItem*>(lp));
      case lvm::set_item_text: return set_item_text(w, idx, reinterpret_cast<const ListViewItem*>(lp));
      case lvm::get_item_text: return get_item_text(idx, reinterpret_cast<ListViewItem*>(lp));
      case lvm::delete_item: return delete_item(w, idx);
      case lvm::delete_all_items: return delete_all_items(w);
      case lvm::get_item_count: return list_.count();
      case lvm::set_item_count: return 1;  // a hint: rows are stored in chunks as they come
      case lvm::get_next_item: return next_item(idx, static_cast<UINT>(lp));
      case lvm::set_item_state: return set_item_state(w, idx, reinterpret_cast<const ListViewItem*>(lp));
      case lvm::get_item_state: return item_state(idx, static_cast<UINT>(lp));
      case lvm::ensure_visible: return ensure_visible(w, static_cast<int>(idx)) ? 1 : 0;
      case lvm::hit_test: return hit_test(w, reinterpret_cast<ListViewHitTest*>(lp));
      case lvm::get_item_rect: return get_item_rect(w, idx, reinterpret_cast<RECT*>(lp));
      case lvm::redraw_items: return redraw_items(w, idx, lp);
      case lvm::get_top_index: return list_.top();
      case lvm::get_count_per_page: return page(w);
      case lvm::get_selection_mark: return list_.mark();
      case lvm::set_selection_mark: return set_selection_mark(lp);
      case lvm::set_extended_style: return set_extended_style(w, wp, static_cast<DWORD>(lp));
      case lvm::get_extended_style: return static_cast<LRESULT>(ex_);
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  struct Column {
    std::u16string title;
    int width = 0;
    int fmt = lvcfmt::left;
  };
  struct Row {
    RowTexts cells;
    LPARAM param = 0;
    UINT state = 0;         // state bits but the selection and the focus, which the list core keeps
    bool selected = false;  // lvis::selected
  };

  int count() const { return list_.count(); }
  bool valid(intptr_t i) const { return list_.valid(i); }
  bool column_valid(intptr_t c) const { return c >= 0 && static_cast<size_t>(c) < cols_.size(); }
  bool multi(const WindowData& w) const { return !(w.style & lvs::single_sel); }
  Row& row(int i) { return list_[i]; }

  // A row's state bits, the selection and the focus included.
  UINT state_of(int i) const {
    return list_[i].state | (list_[i].selected ? lvis::selected : 0) | (list_.focus() == i ? lvis::focused : 0);
  }

  // Row and header heights follow the font; measured again when it changes.
  int row_height(WindowData& w) {
    if (row_h_ == 0 || font_of_row_h_ != &window_font(w)) {
      font_of_row_h_ = &window_font(w);
      text_h_ = font_engine().metrics(*font_of_row_h_).height;
      row_h_ = text_h_ + scaled(4);
    }
    return row_h_;
  }
  int header_height(WindowData& w) {
    if (w.style & lvs::no_column_header) return 0;
    row_height(w);
    return text_h_ + scaled(6);
  }
  // Rows in view. Measuring asks for the font and the client area, so the
  // answer is kept for invalidate_row (see there).
  int page(WindowData& w) {
    rows_in_view_ = std::max(1, (height_of(client_area(&w)) - header_height(w)) / std::max(1, row_height(w)));
    styles_of_rows_in_view_ = {w.style, w.ex_style};
    return rows_in_view_;
  }
  int total_width() const {
    int t = 0;
    for (const auto& c : cols_) t += c.width;
    return t;
  }
  RECT row_rect(WindowData& w, int i) {
    int y = header_height(w) + (i - list_.top()) * row_height(w);
    return RECT{-hoff_, y, std::max(client_area(&w).right, total_width() - hoff_), y + row_height(w)};
  }

  // Called for every cell set, so rows below the view are passed over on the
  // rows-in-view count of the last measure instead of measuring again (the
  // font and the client area are asked for there). A new size or font drops
  // the count, new styles (header, frame) measure again, and a new system
  // font invalidates every window, whose paint measures again. A row counted
  // in view that is not is clipped by invalidate.
  void invalidate_row(WindowData& w, int i) {
    if (!valid(i) || i < list_.top()) return;
    const bool measured = rows_in_view_ > 0 && styles_of_rows_in_view_ == std::pair{w.style, w.ex_style};
    if (i > list_.top() + (measured ? rows_in_view_ : page(w))) return;
    RECT r = row_rect(w, i);
    r.left = 0;
    invalidate(&w, &r, true);
  }

  void redraw_all(WindowData& w) {
    update_scroll(w);
    invalidate(&w, nullptr, true);
  }

  void update_scroll(WindowData& w) {
    if (w.redraw_off) return;
    const AliveGuard guard(w);
    ScrollInfo v;
    v.mask = sif::range | sif::page | sif::pos;
    v.max = count() - 1;
    v.page = static_cast<UINT>(page(w));
    list_.keep_page_filled(page(w));
    v.pos = list_.top();
    set_scroll_info(w.handle, sb::vert, v, true);
    WindowData* d = guard.alive();
    if (d == nullptr) return;
    ScrollInfo h;
    h.mask = sif::range | sif::page | sif::pos;
    h.max = total_width() - 1;
    h.page = static_cast<UINT>(std::max(1, width_of(client_area(d))));
    hoff_ = std::clamp(hoff_, 0, std::max(0, total_width() - width_of(client_area(d))));
    h.pos = hoff_;
    set_scroll_info(d->handle, sb::horz, h, true);
  }

  void set_top(WindowData& w, int t) {
    if (!list_.set_top(t, page(w))) return;
    set_scroll_pos(w.handle, sb::vert, list_.top(), true);
    invalidate(&w, nullptr, true);
  }

  bool ensure_visible(WindowData& w, int i) {
    if (!valid(i)) return false;
    const int t = list_.top_showing(i, page(w));
    if (t != list_.top()) set_top(w, t);
    return true;
  }

  int track_pos(WindowData& w, int bar) {
    ScrollInfo si;
    si.mask = sif::track_pos;
    get_scroll_info(w.handle, bar, si);
    return si.track_pos;
  }

  void on_vscroll(WindowData& w, int code) {
    if (auto t = list_.top_for_scroll(code, page(w))) {
      set_top(w, *t);
    } else if (code == sb::thumb_track || code == sb::thumb_position) {
      set_top(w, track_pos(w, sb::vert));
    } else if (code == sb::top) {
      set_top(w, 0);
    } else if (code == sb::bottom) {
      set_top(w, count());
    }
  }

  void on_hscroll(WindowData& w, int code) {
    const int step = scaled(10), width = width_of(client_area(&w));
    int to = hoff_;
    switch (code) {
      case sb::line_left: to -= step; break;
      case sb::line_right: to += step; break;
      case sb::page_up: to -= width; break;
      case sb::page_down: to += width; break;
      case sb::thumb_track:
      case sb::thumb_position: to = track_pos(w, sb::horz); break;
      default: break;
    }
    to = std::clamp(to, 0, std::max(0, total_width() - width));
    if (to != hoff_) {
      hoff_ = to;
      set_scroll_pos(w.handle, sb::horz, hoff_, true);
      invalidate(&w, nullptr, true);
    }
  }

  // --- Window messages --------------------------------------------------------------------------
  LRESULT on_create(WindowData& w) {
    w.style |= ws::vscroll | ws::hscroll;  // shown when the contents need them
    w.vbar.shown = w.hbar.shown = false;
    return 0;
  }

  LRESULT on_size(WindowData& w) {
    rows_in_view_ = 0;
    update_scroll(w);
    return 0;
  }

  LRESULT on_set_font(WindowData& w, WPARAM font, LPARAM redraw) {
    def_proc(w, wm::set_font, font, redraw);
    row_h_ = 0;
    rows_in_view_ = 0;
    redraw_all(w);
    return 0;
  }

  LRESULT on_set_redraw(WindowData& w, bool on) {
    w.redraw_off = !on;
    if (on) redraw_all(w);
    return 0;
  }

  LRESULT on_focus(WindowData& w, bool gained) {
    invalidate_row(w, list_.focus());
    notify_code(w, gained ? nm::set_focus : nm::kill_focus);
    return 0;
  }

  LRESULT on_move(WindowData& w, int x) {
    if (sizing_col_ < 0 || get_capture() != w.handle) return 0;
    const int width = std::max(0, sizing_width_ + x - sizing_x_);
    if (width != cols_[static_cast<size_t>(sizing_col_)].width) {
      cols_[static_cast<size_t>(sizing_col_)].width = width;
      redraw_all(w);
    }
    return 0;
  }

  LRESULT on_up() {
    if (sizing_col_ >= 0) {
      sizing_col_ = -1;
      release_capture();
    }
    return 0;
  }

  // --- Notifications --------------------------------------------------------------------------
  LRESULT notify_code(WindowData& w, UINT code) {
    NotifyHeader n;
    n.code = code;
    return notify_parent(w, n);
  }

  LRESULT notify_item(WindowData& w, UINT code, int item, POINT action, int sub_item = 0) {
    ListViewNotify n;
    n.hdr.code = code;
    n.item = item;
    n.sub_item = sub_item;
    n.action = action;
    if (valid(item)) n.param = row(item).param;
    return notify_parent(w, n.hdr);
  }

  // Changes a row's state bits and reports the change.
  bool set_state(WindowData& w, int i, UINT state, UINT mask) {
    const UINT old = state_of(i);
    const UINT now = (old & ~mask) | (state & mask);
    if (now == old) return false;
    list_.select(i, (now & lvis::selected) != 0);
    if ((now & lvis::focused) && list_.focus() != i) {
      const int was = list_.focus();
      list_.set_focus(i);
      invalidate_row(w, was);
    } else if (!(now & lvis::focused) && list_.focus() == i) {
      list_.set_focus(-1);
    }
    row(i).state = now & ~(lvis::selected | lvis::focused);
    invalidate_row(w, i);
    ListViewNotify n;
    n.hdr.code = lvn::item_changed;
    n.item = i;
    n.new_state = now;
    n.old_state = old;
    n.changed = lvif::state;
    n.param = row(i).param;
    notify_parent(w, n.hdr);
    return true;
  }

  void select_only(WindowData& w, int i) {
    const AliveGuard guard(w);
    // Mostly the one other selected row is the focused one (moving through
    // the rows by keys or taps): no walk over every row for it.
    const int focus = list_.focus();
    if (list_.selected_other_than(i) == 1 && focus != i && list_.is_selected(focus)) {
      set_state(w, focus, 0, lvis::selected);
      if (guard.gone()) return;
    }
    int k = -1;
    while (list_.selected_other_than(i) > 0 && (k = list_.next_selected(k)) >= 0) {
      if (k == i) continue;
      set_state(w, k, 0, lvis::selected);
      if (guard.gone()) return;
    }
    if (valid(i)) {
      set_state(w, i, lvis::selected | lvis::focused, lvis::selected | lvis::focused);
      list_.set_mark(i);
    }
  }

  // --- Input ----------------------------------------------------------------------------------------
  int hit_row(WindowData& w, POINT p) {
    if (p.y < header_height(w)) return -1;
    int i = list_.top() + (p.y - header_height(w)) / row_height(w);
    return valid(i) ? i : -1;
  }

  int hit_column(POINT p) {
    int x = -hoff_;
    for (size_t c = 0; c < cols_.size(); ++c) {
      if (p.x >= x && p.x < x + cols_[c].width) return static_cast<int>(c);
      x += cols_[c].width;
    }
    return -1;
  }

  void on_down(WindowData& w, POINT p, WPARAM keys) {
    const AliveGuard guard(w);
    set_focus(guard.handle());
    WindowData* d = guard.alive();
    if (d == nullptr) return;
    if (p.y < header_height(*d)) {
      on_header_down(*d, p);
      return;
    }
    const int i = hit_row(*d, p);
    const UINT g = recognize_gesture(guard.handle(), p, shrg::return_cmd);
    if ((d = guard.alive()) == nullptr) return;
    if (g == gn::context_menu) {
      on_hold(*d, p, i);
      return;
    }
    if (i >= 0) {
      if (multi(*d) && (keys & mk::control)) {
        set_state(*d, i, (list_.is_selected(i) ? 0 : lvis::selected) | lvis::focused, lvis::selected | lvis::focused);
        list_.set_mark(i);
      } else {
        select_only(*d, i);
      }
      if ((d = guard.alive()) == nullptr) return;
      ensure_visible(*d, i);
    } else if (!(d->style & lvs::show_sel_always)) {
      select_only(*d, -1);
      if ((d = guard.alive()) == nullptr) return;
    }
    notify_item(*d, nm::click, i, p, std::max(0, hit_column(p)));
  }

  // A column border starts a width drag; elsewhere the column is tapped.
  void on_header_down(WindowData& w, POINT p) {
    int x = -hoff_;
    for (size_t c = 0; c < cols_.size(); ++c) {
      x += cols_[c].width;
      if (std::abs(p.x - x) <= scaled(3)) {
        sizing_col_ = static_cast<int>(c);
        sizing_x_ = p.x;
        sizing_width_ = cols_[c].width;
        set_capture(w.handle);
        return;
      }
    }
    const int col = hit_column(p);
    if (col >= 0 && !(w.style & lvs::no_sort_header)) notify_item(w, lvn::column_click, -1, p, col);
  }

  // Tap-and-hold: the row held is chosen, then the parent asked for a menu.
  void on_hold(WindowData& w, POINT p, int i) {
    const AliveGuard guard(w);
    if (i >= 0) select_only(w, i);
    WindowData* d = guard.alive();
    if (d == nullptr) return;
    GestureNotify n;
    n.hdr.code = gn::context_menu;
    n.action = client_to_screen(guard.handle(), p);
    n.item = i;
    notify_parent(*d, n.hdr);
  }

  void on_double(WindowData& w, POINT p) {
    const AliveGuard guard(w);
    int i = hit_row(w, p);
    if (i >= 0) select_only(w, i);
    if (WindowData* d = guard.alive()) notify_item(*d, nm::dbl_clk, i, p, std::max(0, hit_column(p)));
  }

  void on_key(WindowData& w, UINT key) {
    const AliveGuard guard(w);
    struct KeyNotify {
      NotifyHeader hdr;
      WORD vkey = 0;
      UINT flags = 0;
    } kn;
    kn.hdr.code = lvn::key_down;
    kn.vkey = static_cast<WORD>(key);
    notify_parent(w, kn.hdr);
    WindowData* d = guard.alive();
    if (d == nullptr || count() == 0) return;
    if (key == vk::enter) {
      notify_code(*d, nm::return_key);
      return;
    }
    const int to = list_.row_for_key(key, valid(list_.focus()) ? list_.focus() : 0, page(*d));
    if (to < 0) return;
    select_only(*d, to);
    if ((d = guard.alive()) != nullptr) ensure_visible(*d, to);
  }

  // --- Column messages ------------------------------------------------------------------------------
  LRESULT insert_column(WindowData& w, intptr_t index, const ListViewColumn* c) {
    if (c == nullptr) return -1;
    const int at = std::clamp(static_cast<int>(index), 0, static_cast<int>(cols_.size()));
    Column col;
    if (c->mask & lvcf::text) col.title = c->text ? c->text : u"";
    if (c->mask & lvcf::width) col.width = std::max(0, c->width);
    if (c->mask & lvcf::fmt) col.fmt = c->fmt & 3;
    cols_.insert(cols_.begin() + at, std::move(col));
    for (Row& r : list_.rows())
      r.cells.insert(static_cast<size_t>(at));
    redraw_all(w);
    return at;
  }

  LRESULT delete_column(WindowData& w, intptr_t index) {
    if (!column_valid(index)) return 0;
    cols_.erase(cols_.begin() + index);
    for (Row& r : list_.rows())
      r.cells.erase(static_cast<size_t>(index));
    redraw_all(w);
    return 1;
  }

  // A negative width fits the column to its texts (-2: and its title).
  LRESULT set_column_width(WindowData& w, intptr_t index, int width) {
    if (!column_valid(index)) return 0;
    if (width < 0) width = auto_width(w, static_cast<size_t>(index), width == -2);
    cols_[static_cast<size_t>(index)].width = width;
    redraw_all(w);
    return 1;
  }

  LRESULT get_column(intptr_t index, ListViewColumn* c) const {
    if (c == nullptr || !column_valid(index)) return 0;
    const Column& col = cols_[static_cast<size_t>(index)];
    if (c->mask & lvcf::fmt) c->fmt = col.fmt;
    if (c->mask & lvcf::width) c->width = col.width;
    if ((c->mask & lvcf::text) && c->text != nullptr && c->text_max > 0)
      copy_text_out(col.title, c->text, static_cast<size_t>(c->text_max));
    return 1;
  }

  LRESULT set_column(WindowData& w, intptr_t index, const ListViewColumn* c) {
    if (c == nullptr || !column_valid(index)) return 0;
    Column& col = cols_[static_cast<size_t>(index)];
    if (c->mask & lvcf::fmt) col.fmt = c->fmt & 3;
    if (c->mask & lvcf::width) col.width = std::max(0, c->width);
    if (c->mask & lvcf::text) col.title = c->text ? c->text : u"";
    redraw_all(w);
    return 1;
  }

  // --- Row messages ------------------------------------------------------------------------------
  LRESULT insert_item(WindowData& w, const ListViewItem* it) {
    if (it == nullptr) return -1;
    const int at = std::clamp(it->item, 0, count());
    Row r;
    if (it->mask & lvif::text) r.cells.set(0, in_text(*it));
    if (it->mask & lvif::param) r.param = it->param;
    list_.insert(at, std::move(r));
    if (it->mask & lvif::state) set_state(w, at, it->state, it->state_mask);
    if (at <= list_.top() + page(w)) invalidate(&w, nullptr, true);
    if (!w.redraw_off) update_scroll(w);
    return at;
  }

  LRESULT set_item(WindowData& w, const ListViewItem* it) {
    if (it == nullptr || !valid(it->item)) return 0;
    if (it->mask & lvif::param) row(it->item).param = it->param;
    if (it->mask & lvif::text) set_cell(w, it->item, it->sub_item, in_text(*it));
    if (it->mask & lvif::state) set_state(w, it->item, it->state, it->state_mask);
    return 1;
  }

  LRESULT get_item(ListViewItem* it) const {
    if (it == nullptr || !valid(it->item)) return 0;
    const Row& r = list_[it->item];
    if (it->mask & lvif::param) it->param = r.param;
    if (it->mask & lvif::state) it->state = state_of(it->item) & it->state_mask;
    if ((it->mask & lvif::text) && it->text && it->text_max > 0)
      copy_text_out(cell(r, it->sub_item), it->text, static_cast<size_t>(it->text_max));
    return 1;
  }

  LRESULT set_item_text(WindowData& w, intptr_t index, const ListViewItem* it) {
    if (it == nullptr || !valid(index)) return 0;
    set_cell(w, static_cast<int>(index), it->sub_item, in_text(*it));
    return 1;
  }

  LRESULT get_item_text(intptr_t index, ListViewItem* it) const {
    if (it == nullptr || !valid(index) || it->text == nullptr || it->text_max <= 0) return 0;
    return copy_text_out(cell(list_[static_cast<int>(index)], it->sub_item), it->text, static_cast<size_t>(it->text_max));
  }

  LRESULT delete_item(WindowData& w, intptr_t index) {
    if (!valid(index)) return 0;
    list_.erase(static_cast<int>(index));
    redraw_all(w);
    return 1;
  }

  LRESULT delete_all_items(WindowData& w) {
    list_.clear();
    redraw_all(w);
    return 1;
  }

  // The first row after `after` with every state that `flags` names.
  LRESULT next_item(intptr_t after, UINT flags) const {
    if (flags == lvni::selected && list_.selected_count() == 0) return -1;
    for (int i = static_cast<int>(std::max<intptr_t>(-1, after)) + 1; i < count(); ++i) {
      const UINT st = state_of(i);
      if ((flags & lvni::selected) && !(st & lvis::selected)) continue;
      if ((flags & lvni::focused) && !(st & lvis::focused)) continue;
      return i;
    }
    return -1;
  }

  // Index -1 sets the state of every row.
  LRESULT set_item_state(WindowData& w, intptr_t index, const ListViewItem* it) {
    if (it == nullptr) return 0;
    if (index == -1) {
      const AliveGuard guard(w);
      for (int i = 0; i < count() && !guard.gone(); ++i) set_state(w, i, it->state, it->state_mask);
      return 1;
    }
    if (!valid(index)) return 0;
    set_state(w, static_cast<int>(index), it->state, it->state_mask);
    if ((it->state & it->state_mask & lvis::selected)) list_.set_mark(static_cast<int>(index));
    return 1;
  }

  LRESULT item_state(intptr_t index, UINT mask) const {
    return valid(index) ? static_cast<LRESULT>(state_of(static_cast<int>(index)) & mask) : 0;
  }

  LRESULT hit_test(WindowData& w, ListViewHitTest* ht) {
    if (ht == nullptr) return -1;
    ht->item = hit_row(w, ht->pt);
    ht->sub_item = std::max(0, hit_column(ht->pt));
    ht->flags = ht->item >= 0 ? lvht::on_item : lvht::nowhere;
    return ht->item;
  }

  LRESULT get_item_rect(WindowData& w, intptr_t index, RECT* r) {
    if (r == nullptr || !valid(index)) return 0;
    *r = row_rect(w, static_cast<int>(index));
    return 1;
  }

  // Only rows in view are drawn: the walk covers no more than those.
  LRESULT redraw_items(WindowData& w, intptr_t first, intptr_t last) {
    last = std::min<intptr_t>({last, intptr_t{list_.top()} + page(w), intptr_t{count()} - 1});
    for (intptr_t i = std::max<intptr_t>(first, list_.top()); i <= last; ++i) invalidate_row(w, static_cast<int>(i));
    return 1;
  }

  LRESULT set_selection_mark(intptr_t index) {
    const int old = list_.mark();
    list_.set_mark(valid(index) ? static_cast<int>(index) : -1);
    return old;
  }

  // A zero mask sets every style bit.
  LRESULT set_extended_style(WindowData& w, WPARAM mask_word, DWORD style) {
    const DWORD old = ex_;
    const DWORD mask = mask_word ? static_cast<DWORD>(mask_word) : 0xFFFFFFFFu;
    ex_ = (ex_ & ~mask) | (style & mask);
    invalidate(&w, nullptr, true);
    return static_cast<LRESULT>(old);
  }

  // The text a set or insert brings: by length, or up to its terminator.
  static std::u16string_view in_text(const ListViewItem& it) {
    if (it.text == nullptr) return {};
    if (it.text_max > 0) return std::u16string_view(it.text, static_cast<size_t>(it.text_max));
    return std::u16string_view(it.text);
  }

  static std::u16string_view cell(const Row& r, int sub) {
    return sub >= 0 ? r.cells[static_cast<size_t>(sub)] : std::u16string_view();
  }

  void set_cell(WindowData& w, int item, int sub, std::u16string_view text) {
    if (sub < 0 || sub > 255) return;
    Row& r = row(item);
    r.cells.set(static_cast<size_t>(sub), text);
    invalidate_row(w, item);
  }

  int auto_width(WindowData& w, size_t col, bool with_header) {
    FontEngine& e = font_engine();
    const Font& f = window_font(w);
    int best = with_header ? e.text_width(f, cols_[col].title) : 0;
    int limit = std::min(count(), 1000);
    for (int i = 0; i < limit; ++i) best = std::max(best, e.text_width(f, cell(list_[i], static_cast<int>(col))));
    return best + scaled(12);
  }

  // --- Painting -------------------------------------------------------------------------------------
  // What a paint shares with the rows it draws.
  struct RowPaint {
    Canvas& c;
    const Font& base_font;
    RECT client;
    bool focused;
    bool per_item;  // the parent draws rows itself in part
    ListViewCustomDraw& cd;
  };
  enum class RowPainted { next, stop, window_gone };

  void paint(WindowData& w) {
    const AliveGuard guard(w);
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    const RECT r = client_area(&w);
    c.fill_rect(r, get_sys_color_brush(color::window));
    const int hh = header_height(w), rh = row_height(w);
    const Font& base_font = window_font(w);
    c.select_font(&base_font);
    c.set_bk_mode(bk::transparent);
    const bool focused = g_core->focus == w.handle;

    ListViewCustomDraw cd;
    cd.nmcd.hdr.code = nm::custom_draw;
    cd.nmcd.draw_stage = cdds::prepaint;
    cd.nmcd.canvas = &c;
    cd.nmcd.rc = r;
    const LRESULT pre = notify_parent(w, cd.nmcd.hdr);
    if (guard.gone()) return;
    RowPaint rp{c, base_font, r, focused, (pre & cdrf::notify_item_draw) != 0, cd};
    const int top = list_.top();
    const int last = std::min(count(), top + page(w) + 1);
    for (int i = top; i < last; ++i) {
      const RECT rr = row_rect(w, i);
      if (rr.top >= r.bottom) break;
      const RowPainted painted = paint_row(w, rp, i, rr);
      if (painted == RowPainted::window_gone) return;
      if (painted == RowPainted::stop) break;
    }
    c.select_font(&base_font);
    if (ex_ & lvs_ex::grid_lines) paint_column_lines(w, c, top, hh, rh);
    if (hh > 0) paint_header(c, r, hh);
    if (pre & cdrf::notify_post_paint) {
      cd.nmcd.draw_stage = cdds::postpaint;
      cd.nmcd.rc = r;
      notify_parent(w, cd.nmcd.hdr);
    }
  }

  // Offers row i to the parent's custom drawing, then draws what it leaves.
  RowPainted paint_row(WindowData& w, RowPaint& p, int i, const RECT& rr) {
    const AliveGuard guard(w);
    const Row& row = list_[i];
    const bool sel = row.selected && (p.focused || (w.style & lvs::show_sel_always));
    COLORREF text = get_sys_color(color::window_text), back = kDefaultColor;
    p.c.select_font(&p.base_font);
    if (p.per_item) {
      ListViewCustomDraw& cd = p.cd;
      cd.nmcd.draw_stage = cdds::item_prepaint;
      cd.nmcd.item_index = static_cast<uintptr_t>(i);
      cd.nmcd.item_state = (sel ? cdis::selected : 0) | (i == list_.focus() && p.focused ? cdis::focus : 0);
      cd.nmcd.item_lparam = row.param;
      cd.nmcd.rc = rr;
      cd.text_color = kDefaultColor;
      cd.text_bk_color = kDefaultColor;
      cd.sub_item = 0;
      const LRESULT res = notify_parent(w, cd.nmcd.hdr);
      if (guard.gone()) return RowPainted::window_gone;
      if (res & cdrf::skip_default) return RowPainted::next;
      if (!(res & cdrf::new_font)) p.c.select_font(&p.base_font);
      if (cd.text_color != kDefaultColor) text = cd.text_color;
      back = cd.text_bk_color;
      if (i >= count()) return RowPainted::stop;  // the handler removed rows
    }
    draw_row(p, i, rr, sel, text, back);
    return RowPainted::next;
  }

  void draw_row(RowPaint& p, int i, const RECT& rr, bool sel, COLORREF text, COLORREF back) {
    Canvas& c = p.c;
    const RECT& r = p.client;
    // The margin of the other text controls: a time or a price in the
    // tables' font keeps its last digit in a 60-pixel column.
    const int pad = scaled(2);
    const RECT full{0, rr.top, r.right, rr.bottom};
    if (back != kDefaultColor) c.fill_rect(full, Brush::solid(back));
    const bool full_row = (ex_ & lvs_ex::full_row_select) != 0;
    if (sel && full_row) {
      c.fill_rect(full, get_sys_color_brush(color::highlight));
      text = get_sys_color(color::highlight_text);
    }
    int x = -hoff_;
    const Row& cur = list_[i];
    for (size_t col = 0; col < cols_.size(); ++col) {
      const Column& cc = cols_[col];
      const RECT cr{x, rr.top, x + cc.width, rr.bottom};
      x += cc.width;
      if (cr.right <= 0 || cr.left >= r.right || cc.width <= 0) continue;
      COLORREF tcol = text;
      if (sel && !full_row && col == 0) {
        c.fill_rect(cr, get_sys_color_brush(color::highlight));
        tcol = get_sys_color(color::highlight_text);
      }
      c.set_text_color(tcol);
      RECT tr{cr.left + pad, cr.top, cr.right - pad, cr.bottom};
      const UINT fmt = col == 0 ? dt::left : align_of(cc);
      c.draw_text(cell(cur, static_cast<int>(col)), tr, fmt | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
    }
    const int right = std::min(r.right, total_width() - hoff_);
    if (ex_ & lvs_ex::grid_lines) c.fill_rect(RECT{0, rr.bottom - 1, right, rr.bottom}, get_sys_color_brush(color::btn_face));
    if (i == list_.focus() && p.focused) draw_focus_rect(c, RECT{full.left, full.top, right, full.bottom});
  }

  static UINT align_of(const Column& cc) {
    return cc.fmt == lvcfmt::right ? dt::right : cc.fmt == lvcfmt::center ? dt::center : dt::left;
  }

  // The grid's lines between the columns, down to the last row in view.
  void paint_column_lines(WindowData& w, Canvas& c, int top, int hh, int rh) {
    const int bottom = hh + (std::min(count(), top + page(w) + 1) - top) * rh;
    int x = -hoff_;
    for (const auto& cc : cols_) {
      x += cc.width;
      c.fill_rect(RECT{x - 1, hh, x, bottom}, get_sys_color_brush(color::btn_face));
    }
  }

  void paint_header(Canvas& c, const RECT& r, int hh) {
    const int pad = scaled(3);
    c.fill_rect(RECT{0, 0, r.right, hh}, get_sys_color_brush(color::btn_face));
    c.set_text_color(get_sys_color(color::btn_text));
    int x = -hoff_;
    for (const auto& cc : cols_) {
      const RECT hr{x, 0, x + cc.width, hh};
      x += cc.width;
      if (hr.right <= 0 || hr.left >= r.right) continue;
      c.draw_edge(hr, bdr::raised, bf::rect);
      RECT tr{hr.left + pad, 0, hr.right - pad, hh};
      c.draw_text(cc.title, tr, align_of(cc) | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
    }
    if (x < r.right) c.draw_edge(RECT{x, 0, r.right, hh}, bdr::raised, bf::rect);
  }

  std::vector<Column> cols_;
  ListCore<Row> list_{FocusOnRemoval::none};
  int hoff_ = 0;
  DWORD ex_ = 0;
  int sizing_col_ = -1;
  int sizing_x_ = 0;
  int sizing_width_ = 0;
  int row_h_ = 0;
  int text_h_ = 0;
  int rows_in_view_ = 0;  // as page() last measured; 0: not measured yet
  std::pair<DWORD, DWORD> styles_of_rows_in_view_;  // the window's styles then
  const Font* font_of_row_h_ = nullptr;
};

}  // namespace

void register_list_view_class() {
  register_behavior_class<ListViewBehavior>(class_name::list_view, cs::dblclks);
}

}  // namespace kelda::ui::detail
