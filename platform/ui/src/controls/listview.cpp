// The list view in report mode: columns, rows with per-column texts and item
// data, selection, hit tests, custom drawing, tap-and-hold and double taps.
// Only the rows in view are ever measured or drawn, so it stays quick with
// a hundred thousand rows.
#include <algorithm>

#include "chunked_list.h"
#include "controls_internal.h"

namespace kelda::ui::detail {
namespace {

class ListViewBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::create:
        w.style |= ws::vscroll | ws::hscroll;  // shown when the contents need them
        w.vbar.shown = w.hbar.shown = false;
        return 0;
      case wm::paint:
        paint(w);
        return 0;
      case wm::erase_background:
        return 1;
      case wm::size:
        update_scroll(w);
        return 0;
      case wm::set_font:
        def_proc(w, msg, wp, lp);
        row_h_ = 0;
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return 0;
      case wm::set_redraw:
        w.redraw_off = wp == 0;
        if (wp) {
          update_scroll(w);
          invalidate(&w, nullptr, true);
        }
        return 0;
      case wm::set_focus:
      case wm::kill_focus:
        invalidate_row(w, focus_);
        notify_code(w, msg == wm::set_focus ? nm::set_focus : nm::kill_focus);
        return 0;
      case wm::get_dialog_code:
        return dlgc::want_arrows | dlgc::want_chars;
      case wm::lbutton_down:
        on_down(w, POINT{x_of(lp), y_of(lp)}, wp);
        return 0;
      case wm::lbutton_dblclk:
        on_double(w, POINT{x_of(lp), y_of(lp)});
        return 0;
      case wm::mouse_move:
        if (sizing_col_ >= 0 && get_capture() == w.handle) {
          int width = std::max(0, sizing_width_ + x_of(lp) - sizing_x_);
          if (width != cols_[static_cast<size_t>(sizing_col_)].width) {
            cols_[static_cast<size_t>(sizing_col_)].width = width;
            update_scroll(w);
            invalidate(&w, nullptr, true);
          }
        }
        return 0;
      case wm::lbutton_up:
        if (sizing_col_ >= 0) {
          sizing_col_ = -1;
          release_capture();
        }
        return 0;
      case wm::key_down:
        on_key(w, static_cast<UINT>(wp));
        return 0;
      case wm::vscroll:
        on_scroll(w, true, lo_word(wp), hi_word(wp));
        return 0;
      case wm::hscroll:
        on_scroll(w, false, lo_word(wp), hi_word(wp));
        return 0;
      default:
        return list_message(w, msg, wp, lp);
    }
  }

 private:
  struct Column {
    std::u16string title;
    int width = 0;
    int fmt = lvcfmt::left;
  };
  struct Row {
    std::vector<std::u16string> cells;
    LPARAM param = 0;
    UINT state = 0;
  };

  int count() const { return static_cast<int>(rows_.size()); }
  bool valid(intptr_t i) const { return i >= 0 && i < count(); }
  bool multi(const WindowData& w) const { return !(w.style & lvs::single_sel); }

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
  int page(WindowData& w) {
    return std::max(1, (height_of(client_area(&w)) - header_height(w)) / std::max(1, row_height(w)));
  }
  int total_width() const {
    int t = 0;
    for (const auto& c : cols_) t += c.width;
    return t;
  }
  RECT row_rect(WindowData& w, int i) {
    int y = header_height(w) + (i - top_) * row_height(w);
    return RECT{-hoff_, y, std::max(client_area(&w).right, total_width() - hoff_), y + row_height(w)};
  }

  void invalidate_row(WindowData& w, int i) {
    if (!valid(i) || i < top_ || i > top_ + page(w)) return;
    RECT r = row_rect(w, i);
    r.left = 0;
    invalidate(&w, &r, true);
  }

  void update_scroll(WindowData& w) {
    if (w.redraw_off) return;
    ScrollInfo v;
    v.mask = sif::range | sif::page | sif::pos;
    v.max = count() - 1;
    v.page = static_cast<UINT>(page(w));
    top_ = std::clamp(top_, 0, std::max(0, count() - page(w)));
    v.pos = top_;
    set_scroll_info(w.handle, sb::vert, v, true);
    WindowData* d = lookup(w.handle);
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
    t = std::clamp(t, 0, std::max(0, count() - page(w)));
    if (t == top_) return;
    top_ = t;
    set_scroll_pos(w.handle, sb::vert, top_, true);
    invalidate(&w, nullptr, true);
  }

  bool ensure_visible(WindowData& w, int i) {
    if (!valid(i)) return false;
    if (i < top_) set_top(w, i);
    else if (i >= top_ + page(w)) set_top(w, i - page(w) + 1);
    return true;
  }

  void on_scroll(WindowData& w, bool vertical, int code, int pos) {
    if (vertical) {
      int p = page(w);
      switch (code) {
        case sb::line_up: set_top(w, top_ - 1); break;
        case sb::line_down: set_top(w, top_ + 1); break;
        case sb::page_up: set_top(w, top_ - p); break;
        case sb::page_down: set_top(w, top_ + p); break;
        case sb::thumb_track:
        case sb::thumb_position: {
          ScrollInfo si;
          si.mask = sif::track_pos;
          get_scroll_info(w.handle, sb::vert, si);
          set_top(w, si.track_pos);
          break;
        }
        case sb::top: set_top(w, 0); break;
        case sb::bottom: set_top(w, count()); break;
        default: break;
      }
      (void)pos;
      return;
    }
    int step = scaled(10), width = width_of(client_area(&w));
    int to = hoff_;
    switch (code) {
      case sb::line_left: to -= step; break;
      case sb::line_right: to += step; break;
      case sb::page_up: to -= width; break;
      case sb::page_down: to += width; break;
      case sb::thumb_track:
      case sb::thumb_position: {
        ScrollInfo si;
        si.mask = sif::track_pos;
        get_scroll_info(w.handle, sb::horz, si);
        to = si.track_pos;
        break;
      }
      default: break;
    }
    to = std::clamp(to, 0, std::max(0, total_width() - width));
    if (to != hoff_) {
      hoff_ = to;
      set_scroll_pos(w.handle, sb::horz, hoff_, true);
      invalidate(&w, nullptr, true);
    }
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
    if (valid(item)) n.param = rows_[static_cast<size_t>(item)].param;
    return notify_parent(w, n.hdr);
  }

  // Changes a row's state bits and reports the change.
  bool set_state(WindowData& w, int i, UINT state, UINT mask) {
    Row& r = rows_[static_cast<size_t>(i)];
    UINT old = r.state;
    UINT now = (old & ~mask) | (state & mask);
    if (now == old) return false;
    if ((old ^ now) & lvis::selected) selected_ += (now & lvis::selected) ? 1 : -1;
    if ((now & lvis::focused) && focus_ != i) {
      if (valid(focus_)) {
        rows_[static_cast<size_t>(focus_)].state &= ~lvis::focused;
        invalidate_row(w, focus_);
      }
      focus_ = i;
    } else if (!(now & lvis::focused) && focus_ == i) {
      focus_ = -1;
    }
    r.state = now;
    invalidate_row(w, i);
    ListViewNotify n;
    n.hdr.code = lvn::item_changed;
    n.item = i;
    n.new_state = now;
    n.old_state = old;
    n.changed = lvif::state;
    n.param = r.param;
    notify_parent(w, n.hdr);
    return true;
  }

  void select_only(WindowData& w, int i) {
    Hwnd h = w.handle;
    auto others = [&] {
      bool self = valid(i) && (rows_[static_cast<size_t>(i)].state & lvis::selected);
      return selected_ - (self ? 1 : 0);
    };
    // Mostly the one other selected row is the focused one (moving through
    // the rows by keys or taps): no walk over every row for it.
    if (others() == 1 && valid(focus_) && focus_ != i && (rows_[static_cast<size_t>(focus_)].state & lvis::selected)) {
      set_state(w, focus_, 0, lvis::selected);
      if (lookup(h) == nullptr) return;
    }
    for (int k = 0; k < count() && others() > 0; ++k) {
      if (k != i && (rows_[static_cast<size_t>(k)].state & lvis::selected)) {
        set_state(w, k, 0, lvis::selected);
        if (lookup(h) == nullptr) return;
      }
    }
    if (valid(i)) {
      set_state(w, i, lvis::selected | lvis::focused, lvis::selected | lvis::focused);
      mark_ = i;
    }
  }

  // --- Input ----------------------------------------------------------------------------------------
  int hit_row(WindowData& w, POINT p) {
    if (p.y < header_height(w)) return -1;
    int i = top_ + (p.y - header_height(w)) / row_height(w);
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
    Hwnd h = w.handle;
    set_focus(h);
    WindowData* d = lookup(h);
    if (d == nullptr) return;
    if (p.y < header_height(*d)) {
      // A column border starts a width drag; elsewhere the column is tapped.
      int x = -hoff_;
      for (size_t c = 0; c < cols_.size(); ++c) {
        x += cols_[c].width;
        if (std::abs(p.x - x) <= scaled(3)) {
          sizing_col_ = static_cast<int>(c);
          sizing_x_ = p.x;
          sizing_width_ = cols_[c].width;
          set_capture(h);
          return;
        }
      }
      int col = hit_column(p);
      if (col >= 0 && !(d->style & lvs::no_sort_header)) notify_item(*d, lvn::column_click, -1, p, col);
      return;
    }
    int i = hit_row(*d, p);
    UINT g = recognize_gesture(h, p, shrg::return_cmd);
    if ((d = lookup(h)) == nullptr) return;
    if (g == gn::context_menu) {
      if (i >= 0) select_only(*d, i);
      if ((d = lookup(h)) == nullptr) return;
      GestureNotify n;
      n.hdr.code = gn::context_menu;
      n.action = client_to_screen(h, p);
      n.item = i;
      notify_parent(*d, n.hdr);
      return;
    }
    if (i >= 0) {
      if (multi(*d) && (keys & mk::control)) {
        bool sel = rows_[static_cast<size_t>(i)].state & lvis::selected;
        set_state(*d, i, (sel ? 0 : lvis::selected) | lvis::focused, lvis::selected | lvis::focused);
        mark_ = i;
      } else {
        select_only(*d, i);
      }
      if ((d = lookup(h)) == nullptr) return;
      ensure_visible(*d, i);
    } else if (!(d->style & lvs::show_sel_always)) {
      select_only(*d, -1);
      if ((d = lookup(h)) == nullptr) return;
    }
    notify_item(*d, nm::click, i, p, std::max(0, hit_column(p)));
  }

  void on_double(WindowData& w, POINT p) {
    Hwnd h = w.handle;
    int i = hit_row(w, p);
    if (i >= 0) select_only(w, i);
    if (WindowData* d = lookup(h)) notify_item(*d, nm::dbl_clk, i, p, std::max(0, hit_column(p)));
  }

  void on_key(WindowData& w, UINT key) {
    Hwnd h = w.handle;
    struct KeyNotify {
      NotifyHeader hdr;
      WORD vkey = 0;
      UINT flags = 0;
    } kn;
    kn.hdr.code = lvn::key_down;
    kn.vkey = static_cast<WORD>(key);
    notify_parent(w, kn.hdr);
    WindowData* d = lookup(h);
    if (d == nullptr || count() == 0) return;
    if (key == vk::enter) {
      notify_code(*d, nm::return_key);
      return;
    }
    int from = valid(focus_) ? focus_ : 0, to = from;
    switch (key) {
      case vk::up: to = from - 1; break;
      case vk::down: to = from + 1; break;
      case vk::prior: to = from - page(*d); break;
      case vk::next: to = from + page(*d); break;
      case vk::home: to = 0; break;
      case vk::end: to = count() - 1; break;
      default: return;
    }
    to = std::clamp(to, 0, count() - 1);
    select_only(*d, to);
    if ((d = lookup(h)) != nullptr) ensure_visible(*d, to);
  }

  // --- Messages ------------------------------------------------------------------------------------
  LRESULT list_message(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
    const auto idx = static_cast<intptr_t>(wp);
    switch (msg) {
      case lvm::insert_column: {
        auto* c = reinterpret_cast<const ListViewColumn*>(lp);
        if (c == nullptr) return -1;
        int at = std::clamp(static_cast<int>(idx), 0, static_cast<int>(cols_.size()));
        Column col;
        if (c->mask & lvcf::text) col.title = c->text ? c->text : u"";
        if (c->mask & lvcf::width) col.width = std::max(0, c->width);
        if (c->mask & lvcf::fmt) col.fmt = c->fmt & 3;
        cols_.insert(cols_.begin() + at, std::move(col));
        for (Row& r : rows_)
          if (static_cast<size_t>(at) < r.cells.size()) r.cells.insert(r.cells.begin() + at, std::u16string());
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return at;
      }
      case lvm::delete_column: {
        if (idx < 0 || static_cast<size_t>(idx) >= cols_.size()) return 0;
        cols_.erase(cols_.begin() + idx);
        for (Row& r : rows_)
          if (static_cast<size_t>(idx) < r.cells.size()) r.cells.erase(r.cells.begin() + idx);
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return 1;
      }
      case lvm::get_column_count:
        return static_cast<LRESULT>(cols_.size());
      case lvm::get_column_width:
        return idx >= 0 && static_cast<size_t>(idx) < cols_.size() ? cols_[static_cast<size_t>(idx)].width : 0;
      case lvm::set_column_width: {
        if (idx < 0 || static_cast<size_t>(idx) >= cols_.size()) return 0;
        int width = static_cast<int>(lp);
        if (width < 0) width = auto_width(w, static_cast<size_t>(idx), width == -2);
        cols_[static_cast<size_t>(idx)].width = width;
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return 1;
      }
      case lvm::get_column:
      case lvm::set_column: {
        auto* c = reinterpret_cast<ListViewColumn*>(lp);
        if (c == nullptr || idx < 0 || static_cast<size_t>(idx) >= cols_.size()) return 0;
        Column& col = cols_[static_cast<size_t>(idx)];
        if (msg == lvm::get_column) {
          if (c->mask & lvcf::fmt) c->fmt = col.fmt;
          if (c->mask & lvcf::width) c->width = col.width;
          return 1;
        }
        if (c->mask & lvcf::fmt) col.fmt = c->fmt & 3;
        if (c->mask & lvcf::width) col.width = std::max(0, c->width);
        if (c->mask & lvcf::text) col.title = c->text ? c->text : u"";
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return 1;
      }
      case lvm::insert_item: {
        auto* it = reinterpret_cast<const ListViewItem*>(lp);
        if (it == nullptr) return -1;
        int at = std::clamp(it->item, 0, count());
        Row r;
        if (it->mask & lvif::text) r.cells.emplace_back(in_text(*it));
        if (it->mask & lvif::param) r.param = it->param;
        rows_.insert(static_cast<size_t>(at), std::move(r));
        if (focus_ >= at) ++focus_;
        if (mark_ >= at) ++mark_;
        if (it->mask & lvif::state) set_state(w, at, it->state, it->state_mask);
        if (at <= top_ + page(w)) invalidate(&w, nullptr, true);
        if (!w.redraw_off) update_scroll(w);
        return at;
      }
      case lvm::set_item:
      case lvm::get_item: {
        auto* it = reinterpret_cast<ListViewItem*>(lp);
        if (it == nullptr || !valid(it->item)) return 0;
        Row& r = rows_[static_cast<size_t>(it->item)];
        if (msg == lvm::get_item) {
          if (it->mask & lvif::param) it->param = r.param;
          if (it->mask & lvif::state) it->state = r.state & it->state_mask;
          if ((it->mask & lvif::text) && it->text && it->text_max > 0) copy_text(cell(r, it->sub_item), it->text, it->text_max);
          return 1;
        }
        if (it->mask & lvif::param) r.param = it->param;
        if (it->mask & lvif::text) set_cell(w, it->item, it->sub_item, in_text(*it));
        if (it->mask & lvif::state) set_state(w, it->item, it->state, it->state_mask);
        return 1;
      }
      case lvm::set_item_text: {
        auto* it = reinterpret_cast<const ListViewItem*>(lp);
        if (it == nullptr || !valid(idx)) return 0;
        set_cell(w, static_cast<int>(idx), it->sub_item, in_text(*it));
        return 1;
      }
      case lvm::get_item_text: {
        auto* it = reinterpret_cast<ListViewItem*>(lp);
        if (it == nullptr || !valid(idx) || it->text == nullptr || it->text_max <= 0) return 0;
        return copy_text(cell(rows_[static_cast<size_t>(idx)], it->sub_item), it->text, it->text_max);
      }
      case lvm::delete_item: {
        if (!valid(idx)) return 0;
        int i = static_cast<int>(idx);
        if (rows_[static_cast<size_t>(i)].state & lvis::selected) --selected_;
        rows_.erase(static_cast<size_t>(i));
        if (focus_ == i) focus_ = -1;
        else if (focus_ > i) --focus_;
        if (mark_ == i) mark_ = -1;
        else if (mark_ > i) --mark_;
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return 1;
      }
      case lvm::delete_all_items:
        rows_.clear();
        focus_ = mark_ = -1;
        selected_ = 0;
        top_ = 0;
        update_scroll(w);
        invalidate(&w, nullptr, true);
        return 1;
      case lvm::get_item_count:
        return count();
      case lvm::set_item_count:
        return 1;  // a hint: rows are stored in chunks as they come
      case lvm::get_next_item: {
        if (lp == lvni::selected && selected_ == 0) return -1;
        for (int i = static_cast<int>(std::max<intptr_t>(-1, idx)) + 1; i < count(); ++i) {
          UINT st = rows_[static_cast<size_t>(i)].state;
          if ((lp & lvni::selected) && !(st & lvis::selected)) continue;
          if ((lp & lvni::focused) && !(st & lvis::focused)) continue;
          return i;
        }
        return -1;
      }
      case lvm::set_item_state: {
        auto* it = reinterpret_cast<const ListViewItem*>(lp);
        if (it == nullptr) return 0;
        Hwnd h = w.handle;
        if (idx == -1) {
          for (int i = 0; i < count() && lookup(h) != nullptr; ++i) set_state(w, i, it->state, it->state_mask);
          return 1;
        }
        if (!valid(idx)) return 0;
        set_state(w, static_cast<int>(idx), it->state, it->state_mask);
        if ((it->state & it->state_mask & lvis::selected)) mark_ = static_cast<int>(idx);
        return 1;
      }
      case lvm::get_item_state:
        return valid(idx) ? static_cast<LRESULT>(rows_[static_cast<size_t>(idx)].state & static_cast<UINT>(lp)) : 0;
      case lvm::ensure_visible:
        return ensure_visible(w, static_cast<int>(idx)) ? 1 : 0;
      case lvm::hit_test: {
        auto* ht = reinterpret_cast<ListViewHitTest*>(lp);
        if (ht == nullptr) return -1;
        ht->item = hit_row(w, ht->pt);
        ht->sub_item = std::max(0, hit_column(ht->pt));
        ht->flags = ht->item >= 0 ? lvht::on_item : lvht::nowhere;
        return ht->item;
      }
      case lvm::get_item_rect: {
        auto* r = reinterpret_cast<RECT*>(lp);
        if (r == nullptr || !valid(idx)) return 0;
        *r = row_rect(w, static_cast<int>(idx));
        return 1;
      }
      case lvm::redraw_items: {
        // Only rows in view are drawn: the walk covers no more than those.
        const intptr_t last = std::min<intptr_t>({lp, intptr_t{top_} + page(w), intptr_t{count()} - 1});
        for (intptr_t i = std::max<intptr_t>(idx, top_); i <= last; ++i) invalidate_row(w, static_cast<int>(i));
        return 1;
      }
      case lvm::get_top_index:
        return top_;
      case lvm::get_count_per_page:
        return page(w);
      case lvm::get_selection_mark:
        return mark_;
      case lvm::set_selection_mark: {
        int old = mark_;
        mark_ = valid(lp) ? static_cast<int>(lp) : -1;
        return old;
      }
      case lvm::set_extended_style: {
        DWORD old = ex_;
        DWORD mask = wp ? static_cast<DWORD>(wp) : 0xFFFFFFFFu;
        ex_ = (ex_ & ~mask) | (static_cast<DWORD>(lp) & mask);
        invalidate(&w, nullptr, true);
        return static_cast<LRESULT>(old);
      }
      case lvm::get_extended_style:
        return static_cast<LRESULT>(ex_);
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

  // The text a set or insert brings: by length, or up to its terminator.
  static std::u16string_view in_text(const ListViewItem& it) {
    if (it.text == nullptr) return {};
    if (it.text_max > 0) return std::u16string_view(it.text, static_cast<size_t>(it.text_max));
    return std::u16string_view(it.text);
  }

  static const std::u16string& cell(const Row& r, int sub) {
    static const std::u16string empty;
    return sub >= 0 && static_cast<size_t>(sub) < r.cells.size() ? r.cells[static_cast<size_t>(sub)] : empty;
  }

  static LRESULT copy_text(const std::u16string& s, char16_t* out, int room) {
    size_t n = std::min<size_t>(s.size(), static_cast<size_t>(room - 1));
    std::copy_n(s.data(), n, out);
    out[n] = 0;
    return static_cast<LRESULT>(n);
  }

  void set_cell(WindowData& w, int item, int sub, std::u16string_view text) {
    if (sub < 0 || sub > 255) return;
    Row& r = rows_[static_cast<size_t>(item)];
    if (static_cast<size_t>(sub) >= r.cells.size()) r.cells.resize(static_cast<size_t>(sub) + 1);
    r.cells[static_cast<size_t>(sub)].assign(text);
    invalidate_row(w, item);
  }

  int auto_width(WindowData& w, size_t col, bool with_header) {
    FontEngine& e = font_engine();
    const Font& f = window_font(w);
    int best = with_header ? e.text_width(f, cols_[col].title) : 0;
    int limit = std::min(count(), 1000);
    for (int i = 0; i < limit; ++i) best = std::max(best, e.text_width(f, cell(rows_[static_cast<size_t>(i)], static_cast<int>(col))));
    return best + scaled(12);
  }

  // --- Painting -------------------------------------------------------------------------------------
  void paint(WindowData& w) {
    Hwnd h = w.handle;
    PaintSession ps(h);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    c.fill_rect(r, get_sys_color_brush(color::window));
    const int hh = header_height(w), rh = row_height(w);
    const int pad = scaled(3);
    const Font& base_font = window_font(w);
    c.select_font(&base_font);
    c.set_bk_mode(bk::transparent);
    const bool focused = g_core->focus == h;

    ListViewCustomDraw cd;
    cd.nmcd.hdr.code = nm::custom_draw;
    cd.nmcd.draw_stage = cdds::prepaint;
    cd.nmcd.canvas = &c;
    cd.nmcd.rc = r;
    LRESULT pre = notify_parent(w, cd.nmcd.hdr);
    if (lookup(h) == nullptr) return;
    const bool per_item = (pre & cdrf::notify_item_draw) != 0;
    const int last = std::min(count(), top_ + page(w) + 1);
    for (int i = top_; i < last; ++i) {
      Row& row = rows_[static_cast<size_t>(i)];
      RECT rr = row_rect(w, i);
      if (rr.top >= r.bottom) break;
      const bool sel = (row.state & lvis::selected) && (focused || (w.style & lvs::show_sel_always));
      COLORREF text = get_sys_color(color::window_text), back = kDefaultColor;
      c.select_font(&base_font);
      if (per_item) {
        cd.nmcd.draw_stage = cdds::item_prepaint;
        cd.nmcd.item_index = static_cast<uintptr_t>(i);
        cd.nmcd.item_state = (sel ? cdis::selected : 0) | (i == focus_ && focused ? cdis::focus : 0);
        cd.nmcd.item_lparam = row.param;
        cd.nmcd.rc = rr;
        cd.text_color = kDefaultColor;
        cd.text_bk_color = kDefaultColor;
        cd.sub_item = 0;
        LRESULT res = notify_parent(w, cd.nmcd.hdr);
        if (lookup(h) == nullptr) return;
        if (res & cdrf::skip_default) continue;
        if (!(res & cdrf::new_font)) c.select_font(&base_font);
        if (cd.text_color != kDefaultColor) text = cd.text_color;
        back = cd.text_bk_color;
        if (i >= count()) break;  // the handler removed rows
      }
      RECT full{0, rr.top, r.right, rr.bottom};
      if (back != kDefaultColor) c.fill_rect(full, Brush::solid(back));
      const bool full_row = (ex_ & lvs_ex::full_row_select) != 0;
      if (sel && full_row) {
        c.fill_rect(full, get_sys_color_brush(color::highlight));
        text = get_sys_color(color::highlight_text);
      }
      int x = -hoff_;
      const Row& cur = rows_[static_cast<size_t>(i)];
      for (size_t col = 0; col < cols_.size(); ++col) {
        const Column& cc = cols_[col];
        RECT cr{x, rr.top, x + cc.width, rr.bottom};
        x += cc.width;
        if (cr.right <= 0 || cr.left >= r.right || cc.width <= 0) continue;
        COLORREF tcol = text;
        if (sel && !full_row && col == 0) {
          c.fill_rect(cr, get_sys_color_brush(color::highlight));
          tcol = get_sys_color(color::highlight_text);
        }
        c.set_text_color(tcol);
        RECT tr{cr.left + pad, cr.top, cr.right - pad, cr.bottom};
        UINT fmt = col == 0 ? dt::left : (cc.fmt == lvcfmt::right ? dt::right : cc.fmt == lvcfmt::center ? dt::center : dt::left);
        c.draw_text(cell(cur, static_cast<int>(col)), tr, fmt | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
      }
      if (ex_ & lvs_ex::grid_lines) {
        c.fill_rect(RECT{0, rr.bottom - 1, std::min(r.right, total_width() - hoff_), rr.bottom},
                    get_sys_color_brush(color::btn_face));
      }
      if (i == focus_ && focused) draw_focus_rect(c, RECT{full.left, full.top, std::min(r.right, total_width() - hoff_), full.bottom});
    }
    c.select_font(&base_font);
    if (ex_ & lvs_ex::grid_lines) {
      int x = -hoff_;
      int bottom = hh + (std::min(count(), top_ + page(w) + 1) - top_) * rh;
      for (const auto& cc : cols_) {
        x += cc.width;
        c.fill_rect(RECT{x - 1, hh, x, bottom}, get_sys_color_brush(color::btn_face));
      }
    }
    if (hh > 0) {
      RECT band{0, 0, r.right, hh};
      c.fill_rect(band, get_sys_color_brush(color::btn_face));
      c.set_text_color(get_sys_color(color::btn_text));
      int x = -hoff_;
      for (const auto& cc : cols_) {
        RECT hr{x, 0, x + cc.width, hh};
        x += cc.width;
        if (hr.right <= 0 || hr.left >= r.right) continue;
        c.draw_edge(hr, bdr::raised, bf::rect);
        RECT tr{hr.left + pad, 0, hr.right - pad, hh};
        UINT fmt = cc.fmt == lvcfmt::right ? dt::right : cc.fmt == lvcfmt::center ? dt::center : dt::left;
        c.draw_text(cc.title, tr, fmt | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
      }
      if (x < r.right) c.draw_edge(RECT{x, 0, r.right, hh}, bdr::raised, bf::rect);
    }
    if (pre & cdrf::notify_post_paint) {
      cd.nmcd.draw_stage = cdds::postpaint;
      cd.nmcd.rc = r;
      notify_parent(w, cd.nmcd.hdr);
    }
  }

  std::vector<Column> cols_;
  ChunkedList<Row> rows_;
  int top_ = 0;
  int hoff_ = 0;
  int focus_ = -1;
  int mark_ = -1;
  int selected_ = 0;
  DWORD ex_ = 0;
  int sizing_col_ = -1;
  int sizing_x_ = 0;
  int sizing_width_ = 0;
  int row_h_ = 0;
  int text_h_ = 0;
  const Font* font_of_row_h_ = nullptr;
};

}  // namespace

void register_list_view_class() {
  register_behavior_class<ListViewBehavior>(class_name::list_view, cs::dblclks);
}

}  // namespace kelda::ui::detail
