// The combo box: a drop-down list (choose only) or a drop-down combo (an
// edit with a list), sorted or not, with item data. Its items live in a
// list box that pops up under it.
#include <algorithm>

#include "controls_internal.h"
#include "listbox_internal.h"

namespace kelda::ui::detail {
namespace {

constexpr UINT kEditId = 1001;

class ComboBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::create: return create(w) ? 0 : -1;
      case wm::destroy: return on_destroy(w);
      case wm::paint: paint(w); return 0;
      case wm::erase_background: return 1;
      case wm::size: return on_size(w);
      case wm::set_font: return on_set_font(w, wp);
      case wm::enable: return on_enable(w, wp != 0);
      case wm::set_focus: return on_set_focus(w);
      case wm::kill_focus: return on_kill_focus(w);
      case wm::lbutton_down: return on_tap(w, x_of(lp));
      case wm::lbutton_dblclk: return on_tap(w, x_of(lp));
      case wm::key_down: return key(w, static_cast<UINT>(wp));
      case wm::command: return on_command(w, wp, lp);
      case kListNotifyCombo: return from_list(w, wp);
      case wm::get_dialog_code: return dlgc::want_arrows | dlgc::want_chars;
      case wm::set_text: return on_set_text(w, reinterpret_cast<const char16_t*>(lp));
      case wm::get_text: return on_get_text(wp, reinterpret_cast<char16_t*>(lp));
      case wm::get_text_length: return static_cast<LRESULT>(text().size());
      // Item messages go to the list.
      case cb::add_string: return send_message(list_, lb::add_string, wp, lp);
      case cb::insert_string: return send_message(list_, lb::insert_string, wp, lp);
      case cb::delete_string: return delete_string(w, wp);
      case cb::reset_content: return reset_content(w);
      case cb::get_count: return send_message(list_, lb::get_count);
      case cb::get_cur_sel: return send_message(list_, lb::get_cur_sel);
      case cb::set_cur_sel: return set_cur_sel(w, wp);
      case cb::get_lb_text: return send_message(list_, lb::get_text, wp, lp);
      case cb::get_lb_text_len: return send_message(list_, lb::get_text_len, wp, lp);
      case cb::get_item_data: return send_message(list_, lb::get_item_data, wp, lp);
      case cb::set_item_data: return send_message(list_, lb::set_item_data, wp, lp);
      case cb::find_string: return send_message(list_, lb::find_string, wp, lp);
      case cb::find_string_exact: return send_message(list_, lb::find_string_exact, wp, lp);
      case cb::select_string: return select_string(w, wp, lp);
      case cb::show_dropdown: return show_dropdown(w, wp != 0);
      case cb::get_dropped_state: return dropped_ ? 1 : 0;
      case cb::get_combobox_info: return list_.to_lparam();
      case cb::limit_text: return limit_text(wp);
      case cb::set_edit_sel: return set_edit_sel(static_cast<uintptr_t>(lp));
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  // --- Window messages --------------------------------------------------------------------------
  LRESULT on_destroy(WindowData& w) {
    close(w, false, false);
    if (WindowData* l = lookup(list_)) destroy(l);
    return 0;
  }

  // A taller size is the height of the open list (as templates give it); the
  // box itself keeps its one-line height.
  LRESULT on_size(WindowData& w) {
    const AliveGuard guard(w);
    if (height_of(w.rect) > closed_height(w) + 2) {
      drop_height_ = height_of(w.rect);
      fit_height(w);
    }
    if (WindowData* d = guard.alive()) place_edit(*d);
    return 0;
  }

  LRESULT on_set_font(WindowData& w, WPARAM font) {
    def_proc(w, wm::set_font, font, 0);
    send_message(list_, wm::set_font, font, 0);
    if (edit_) send_message(edit_, wm::set_font, font, 0);
    fit_height(w);
    invalidate(&w, nullptr, true);
    return 0;
  }

  LRESULT on_enable(WindowData& w, bool on) {
    if (edit_) enable_window(edit_, on);
    invalidate(&w, nullptr, true);
    return 0;
  }

  LRESULT on_set_focus(WindowData& w) {
    if (edit_) {
      set_focus(edit_);
    } else {
      invalidate(&w, nullptr, false);
      notify_parent_command(w, cbn::set_focus);
    }
    return 0;
  }

  LRESULT on_kill_focus(WindowData& w) {
    if (edit_) return 0;
    const AliveGuard guard(w);
    close(w, false, true);
    invalidate(&w, nullptr, false);
    if (!guard.gone()) notify_parent_command(w, cbn::kill_focus);
    return 0;
  }

  // A tap opens the list (of an editable combo, a tap on the arrow); a tap
  // while it is open closes it.
  LRESULT on_tap(WindowData& w, int x) {
    if (dropped_) {
      close(w, false, true);
      return 0;
    }
    if (edit_ == Hwnd{} || x >= arrow_rect(w).left) {
      const AliveGuard guard(w);
      set_focus(edit_ ? edit_ : w.handle);
      if (WindowData* d = guard.alive()) open(*d);
    }
    return 0;
  }

  // The edit's notifications become the combo box's.
  LRESULT on_command(WindowData& w, WPARAM wp, LPARAM lp) {
    if (Hwnd::from(lp) != edit_ || !edit_) return def_proc(w, wm::command, wp, lp);
    switch (hi_word(wp)) {
      case en::change: notify_parent_command(w, cbn::edit_change); break;
      case en::update: notify_parent_command(w, cbn::edit_update); break;
      case en::set_focus: notify_parent_command(w, cbn::set_focus); break;
      case en::kill_focus: {
        const AliveGuard guard(w);
        close(w, false, true);
        if (!guard.gone()) notify_parent_command(w, cbn::kill_focus);
        break;
      }
      default: break;
    }
    return 0;
  }

  LRESULT from_list(WindowData& w, WPARAM code) {
    if (code == lbn::sel_change) {
      selection_changed(w);
    } else if (code == kListChosen && dropped_) {
      const AliveGuard guard(w);
      notify_parent_command(w, cbn::sel_end_ok);
      if (WindowData* d = guard.alive()) close(*d, true, true);
    }
    return 0;
  }

  // An editable combo takes any text; a drop-down list only an item's.
  LRESULT on_set_text(WindowData& w, const char16_t* t) {
    if (edit_) return set_window_text(edit_, t ? t : u"") ? 1 : 0;
    LRESULT i = send_message(list_, lb::find_string_exact, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(t));
    if (i < 0) return cb::err;
    send_message(list_, lb::set_cur_sel, static_cast<WPARAM>(i));
    invalidate(&w, nullptr, false);
    return 1;
  }

  LRESULT on_get_text(size_t room, char16_t* out) {
    std::u16string t = text();
    if (room == 0 || out == nullptr) return 0;
    return copy_text_out(t, out, room);
  }

  // --- Item messages ----------------------------------------------------------------------------
  LRESULT delete_string(WindowData& w, WPARAM index) {
    LRESULT r = send_message(list_, lb::delete_string, index);
    invalidate(&w, nullptr, false);
    return r;
  }

  LRESULT reset_content(WindowData& w) {
    send_message(list_, lb::reset_content);
    if (edit_) set_window_text(edit_, u"");
    invalidate(&w, nullptr, false);
    return 0;
  }

  LRESULT set_cur_sel(WindowData& w, WPARAM index) {
    const AliveGuard guard(w);
    LRESULT r = send_message(list_, lb::set_cur_sel, index);
    if (edit_) {
      set_window_text(edit_, selected_text());
      send_message(edit_, em::set_sel, 0, -1);
    }
    if (WindowData* d = guard.alive()) invalidate(d, nullptr, false);
    return r;
  }

  LRESULT select_string(WindowData& w, WPARAM start, LPARAM text) {
    LRESULT i = send_message(list_, lb::find_string, start, text);
    if (i >= 0) set_cur_sel(w, static_cast<WPARAM>(i));
    return i;
  }

  LRESULT show_dropdown(WindowData& w, bool show) {
    if (show) {
      open(w);
    } else {
      close(w, false, true);
    }
    return 1;
  }

  LRESULT limit_text(WPARAM limit) {
    if (edit_) send_message(edit_, em::limit_text, limit);
    return 1;
  }

  // The edit's selection from the low (start) and high (end) words, -1 each
  // for none or the end.
  LRESULT set_edit_sel(uintptr_t words) {
    if (!edit_) return cb::err;
    send_message(edit_, em::set_sel, static_cast<WPARAM>(static_cast<int16_t>(lo_word(words))),
                 static_cast<int16_t>(hi_word(words)));
    return 1;
  }

  // --- Parts --------------------------------------------------------------------------------------
  bool create(WindowData& w) {
    const AliveGuard guard(w);
    type_ = w.style & cbs::type_mask;
    drop_height_ = std::max(height_of(w.rect), scaled(80));
    CreateParams lp;
    lp.class_name = u"ComboLBox";
    lp.style = ws::popup | ws::border | ws::vscroll | ((w.style & cbs::sort) ? lbs::sort : 0);
    lp.ex_style = ws_ex::topmost;
    lp.parent = w.handle;
    lp.rect = RECT{0, 0, width_of(w.rect), drop_height_};
    list_ = create_window(lp);
    if (!list_) return false;
    if (auto* lb = dynamic_cast<ListBoxBehavior*>(lookup(list_)->behavior.get())) lb->owner_combo = w.handle;
    if (type_ != cbs::drop_down_list) {
      CreateParams ep;
      ep.class_name = class_name::edit;
      ep.style = ws::child | ws::visible | es::auto_hscroll;
      ep.parent = w.handle;
      ep.id = kEditId;
      edit_ = create_window(ep);
      if (!edit_) return false;
    }
    if (WindowData* d = guard.alive()) fit_height(*d);
    return true;
  }

  static int closed_height(WindowData& w) { return font_engine().metrics(window_font(w)).height + scaled(6) + 4; }

  void fit_height(WindowData& w) {
    int h = closed_height(w);
    if (height_of(w.rect) != h) move_window_impl(&w, RECT{w.rect.left, w.rect.top, w.rect.right, w.rect.top + h}, true);
  }

  RECT field_rect(WindowData& w) {
    RECT cl = client_rect_in_window(&w);
    return RECT{2, 2, width_of(cl) - 2, height_of(cl) - 2};
  }

  RECT arrow_rect(WindowData& w) {
    RECT f = field_rect(w);
    return RECT{f.right - scroll_bar_width(), f.top, f.right, f.bottom};
  }

  void place_edit(WindowData& w) {
    if (!edit_) return;
    RECT f = field_rect(w);
    f.right = arrow_rect(w).left;
    if (WindowData* e = lookup(edit_)) move_window_impl(e, f, true);
  }

  std::u16string selected_text() {
    LRESULT i = send_message(list_, lb::get_cur_sel);
    if (i < 0) return {};
    return ListBoxControl{list_}.text(static_cast<int>(i));
  }

  std::u16string text() { return edit_ ? get_window_text(edit_) : selected_text(); }

  void selection_changed(WindowData& w) {
    const AliveGuard guard(w);
    if (edit_) set_window_text(edit_, selected_text());
    if (WindowData* d = guard.alive()) {
      invalidate(d, nullptr, false);
      notify_parent_command(*d, cbn::sel_change);
    }
  }

  LRESULT key(WindowData& w, UINT vkey) {
    const AliveGuard guard(w);
    if (dropped_ && (vkey == vk::enter || vkey == vk::escape)) {
      close(w, vkey == vk::enter, true);
      return 0;
    }
    if (vkey == vk::f1 + 3) {  // F4
      if (dropped_) close(w, true, true); else open(w);
      return 0;
    }
    if (vkey != vk::up && vkey != vk::down) return 0;
    int n = static_cast<int>(send_message(list_, lb::get_count));
    if (n == 0) return 0;
    int cur = static_cast<int>(send_message(list_, lb::get_cur_sel));
    int to = std::clamp(cur < 0 ? 0 : cur + (vkey == vk::down ? 1 : -1), 0, n - 1);
    if (to == cur) return 0;
    send_message(list_, lb::set_cur_sel, static_cast<WPARAM>(to));
    if (WindowData* d = guard.alive()) selection_changed(*d);
    return 0;
  }

  void open(WindowData& w) {
    if (dropped_) return;
    const AliveGuard guard(w);
    notify_parent_command(w, cbn::drop_down);
    WindowData* me = guard.alive();
    WindowData* list = lookup(list_);
    if (me == nullptr || list == nullptr) return;
    auto* lb = static_cast<ListBoxBehavior*>(list->behavior.get());
    RECT s = screen_rect(me);
    int n = std::max(1, lb->list.count());
    int want = n * lb->item_height(*list) + 2;
    int height = std::min(want, std::max(drop_height_ - height_of(s), lb->item_height(*list) + 2));
    RECT r{s.left, s.bottom, s.right, s.bottom + height};
    ScreenInfo si = screen_info();
    if (r.bottom > si.height) r = RECT{s.left, s.top - height, s.right, s.top};
    move_window_impl(list, r, true);
    if (lb->cur_sel() >= 0) lb->ensure_visible(*list, lb->cur_sel());
    list->ex_style |= ws_ex::topmost;
    insert_top_level(list);
    show_impl(list, sw::show_na);
    dropped_ = true;
    start_cur_ = lb->cur_sel();
    // A tap anywhere but the list closes it and is used up.
    filter_ = add_message_filter([this, guard](Message& m) {
      if (m.message != wm::lbutton_down && m.message != wm::lbutton_dblclk) return false;
      if (m.hwnd == list_ || is_child(list_, m.hwnd)) return false;
      if (WindowData* d = guard.alive()) close(*d, false, true);
      return m.hwnd == guard.handle();
    });
    invalidate(me, nullptr, false);
  }

  void close(WindowData& w, bool ok, bool notify) {
    if (!dropped_) return;
    dropped_ = false;
    filter_ = MessageFilterToken{};
    if (WindowData* list = lookup(list_)) show_impl(list, sw::hide);
    const AliveGuard guard(w);
    if (!ok && notify) notify_parent_command(w, cbn::sel_end_cancel);
    if (WindowData* d = guard.alive(); d != nullptr && notify) notify_parent_command(*d, cbn::close_up);
    if (WindowData* d = guard.alive()) invalidate(d, nullptr, false);
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    const bool enabled = is_window_enabled(w.handle);
    const Brush* bg = prepare_colors(w, edit_ ? wm::ctl_color_edit : wm::ctl_color_listbox, c);
    c.fill_rect(r, *bg);
    c.draw_edge(r, bdr::sunken, bf::rect);
    RECT a = arrow_rect(w);
    c.fill_rect(a, get_sys_color_brush(color::btn_face));
    c.draw_edge(a, dropped_ ? bdr::sunken : bdr::raised, bf::rect);
    draw_arrow_glyph(c, a, std::max(2, width_of(a) / 4), 1, enabled);
    if (edit_) return;
    RECT f = field_rect(w);
    f.right = a.left;
    const bool focused = g_core->focus == w.handle;
    if (focused && !dropped_) {
      RECT hr = inflate_rect(f, -1, -1);
      c.fill_rect(hr, get_sys_color_brush(color::highlight));
      c.set_text_color(get_sys_color(color::highlight_text));
    } else if (!enabled) {
      c.set_text_color(get_sys_color(color::gray_text));
    }
    c.set_bk_mode(bk::transparent);
    RECT t{f.left + scaled(2), f.top, f.right - scaled(2), f.bottom};
    c.draw_text(selected_text(), t, dt::left | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
  }

  DWORD type_ = cbs::drop_down_list;
  Hwnd list_;
  Hwnd edit_;
  int drop_height_ = 80;
  bool dropped_ = false;
  int start_cur_ = -1;
  MessageFilterToken filter_;
};

}  // namespace

void register_combo_box_class() {
  register_behavior_class<ComboBehavior>(class_name::combo_box);
  register_behavior_class<ListBoxBehavior>(u"ComboLBox");
}

}  // namespace kelda::ui::detail
