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
      case wm::create:
        return create(w) ? 0 : -1;
      case wm::destroy:
        close(w, false, false);
        if (WindowData* l = lookup(list_)) destroy(l);
        return 0;
      case wm::paint:
        paint(w);
        return 0;
      case wm::erase_background:
        return 1;
      case wm::size: {
        // A taller size is the height of the open list (as templates give
        // it); the box itself keeps its one-line height.
        int closed = closed_height(w);
        if (height_of(w.rect) > closed + 2) {
          drop_height_ = height_of(w.rect);
          fit_height(w);
        }
        if (WindowData* d = lookup(w.handle)) place_edit(*d);
        return 0;
      }
      case wm::set_font: {
        def_proc(w, msg, wp, 0);
        send_message(list_, wm::set_font, wp, 0);
        if (edit_) send_message(edit_, wm::set_font, wp, 0);
        fit_height(w);
        invalidate(&w, nullptr, true);
        return 0;
      }
      case wm::enable:
        if (edit_) enable_window(edit_, wp != 0);
        invalidate(&w, nullptr, true);
        return 0;
      case wm::set_focus:
        if (edit_) {
          set_focus(edit_);
        } else {
          invalidate(&w, nullptr, false);
          notify_parent_command(w, cbn::set_focus);
        }
        return 0;
      case wm::kill_focus:
        if (!edit_) {
          close(w, false, true);
          invalidate(&w, nullptr, false);
          if (lookup(w.handle)) notify_parent_command(w, cbn::kill_focus);
        }
        return 0;
      case wm::lbutton_down:
      case wm::lbutton_dblclk: {
        if (dropped_) {
          close(w, false, true);
          return 0;
        }
        bool on_arrow = x_of(lp) >= arrow_rect(w).left;
        if (edit_ == Hwnd{} || on_arrow) {
          set_focus(edit_ ? edit_ : w.handle);
          if (WindowData* d = lookup(w.handle)) open(*d);
        }
        return 0;
      }
      case wm::key_down:
        return key(w, static_cast<UINT>(wp));
      case wm::command:
        if (Hwnd::from(lp) == edit_ && edit_) {
          switch (hi_word(wp)) {
            case en::change: notify_parent_command(w, cbn::edit_change); break;
            case en::update: notify_parent_command(w, cbn::edit_update); break;
            case en::set_focus: notify_parent_command(w, cbn::set_focus); break;
            case en::kill_focus:
              close(w, false, true);
              if (lookup(w.handle)) notify_parent_command(w, cbn::kill_focus);
              break;
            default: break;
          }
          return 0;
        }
        return def_proc(w, msg, wp, lp);
      case kListNotifyCombo:
        if (wp == lbn::sel_change) {
          selection_changed(w);
        } else if (wp == kListChosen && dropped_) {
          notify_parent_command(w, cbn::sel_end_ok);
          if (WindowData* d = lookup(w.handle)) close(*d, true, true);
        }
        return 0;
      case wm::get_dialog_code:
        return dlgc::want_arrows | dlgc::want_chars;
      case wm::set_text: {
        const char16_t* t = reinterpret_cast<const char16_t*>(lp);
        if (edit_) return set_window_text(edit_, t ? t : u"") ? 1 : 0;
        LRESULT i = send_message(list_, lb::find_string_exact, static_cast<WPARAM>(-1), lp);
        if (i < 0) return cb::err;
        send_message(list_, lb::set_cur_sel, static_cast<WPARAM>(i));
        invalidate(&w, nullptr, false);
        return 1;
      }
      case wm::get_text:
      case wm::get_text_length: {
        std::u16string t = text();
        if (msg == wm::get_text_length) return static_cast<LRESULT>(t.size());
        if (wp == 0 || lp == 0) return 0;
        size_t n = std::min<size_t>(t.size(), wp - 1);
        auto* buf = reinterpret_cast<char16_t*>(lp);
        std::copy_n(t.data(), n, buf);
        buf[n] = 0;
        return static_cast<LRESULT>(n);
      }
      // Item messages go to the list.
      case cb::add_string: return send_message(list_, lb::add_string, wp, lp);
      case cb::insert_string: return send_message(list_, lb::insert_string, wp, lp);
      case cb::delete_string: {
        LRESULT r = send_message(list_, lb::delete_string, wp, lp);
        invalidate(&w, nullptr, false);
        return r;
      }
      case cb::reset_content:
        send_message(list_, lb::reset_content);
        if (edit_) set_window_text(edit_, u"");
        invalidate(&w, nullptr, false);
        return 0;
      case cb::get_count: return send_message(list_, lb::get_count);
      case cb::get_cur_sel: return send_message(list_, lb::get_cur_sel);
      case cb::set_cur_sel: {
        LRESULT r = send_message(list_, lb::set_cur_sel, wp);
        if (edit_) {
          set_window_text(edit_, selected_text());
          send_message(edit_, em::set_sel, 0, -1);
        }
        if (WindowData* d = lookup(w.handle)) invalidate(d, nullptr, false);
        return r;
      }
      case cb::get_lb_text: return send_message(list_, lb::get_text, wp, lp);
      case cb::get_lb_text_len: return send_message(list_, lb::get_text_len, wp, lp);
      case cb::get_item_data: return send_message(list_, lb::get_item_data, wp, lp);
      case cb::set_item_data: return send_message(list_, lb::set_item_data, wp, lp);
      case cb::find_string: return send_message(list_, lb::find_string, wp, lp);
      case cb::find_string_exact: return send_message(list_, lb::find_string_exact, wp, lp);
      case cb::select_string: {
        LRESULT i = send_message(list_, lb::find_string, wp, lp);
        if (i >= 0) handle(w, cb::set_cur_sel, static_cast<WPARAM>(i), 0);
        return i;
      }
      case cb::show_dropdown:
        if (wp) {
          open(w);
        } else {
          close(w, false, true);
        }
        return 1;
      case cb::get_dropped_state:
        return dropped_ ? 1 : 0;
      case cb::get_combobox_info:
        return list_.to_lparam();
      case cb::limit_text:
        if (edit_) send_message(edit_, em::limit_text, wp);
        return 1;
      case cb::set_edit_sel:
        if (!edit_) return cb::err;
        send_message(edit_, em::set_sel, static_cast<WPARAM>(static_cast<int16_t>(lo_word(static_cast<uintptr_t>(lp)))),
                     static_cast<int16_t>(hi_word(static_cast<uintptr_t>(lp))));
        return 1;
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

 private:
  bool create(WindowData& w) {
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
    if (WindowData* d = lookup(w.handle)) fit_height(*d);
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
    Hwnd h = w.handle;
    if (edit_) set_window_text(edit_, selected_text());
    if (WindowData* d = lookup(h)) {
      invalidate(d, nullptr, false);
      notify_parent_command(*d, cbn::sel_change);
    }
  }

  LRESULT key(WindowData& w, UINT vkey) {
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
    if (WindowData* d = lookup(w.handle)) selection_changed(*d);
    return 0;
  }

  void open(WindowData& w) {
    if (dropped_) return;
    Hwnd h = w.handle;
    notify_parent_command(w, cbn::drop_down);
    WindowData* me = lookup(h);
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
    filter_ = add_message_filter([this, h](Message& m) {
      if (m.message != wm::lbutton_down && m.message != wm::lbutton_dblclk) return false;
      if (m.hwnd == list_ || is_child(list_, m.hwnd)) return false;
      if (WindowData* d = lookup(h)) close(*d, false, true);
      return m.hwnd == h;
    });
    invalidate(me, nullptr, false);
  }

  void close(WindowData& w, bool ok, bool notify) {
    if (!dropped_) return;
    dropped_ = false;
    filter_ = MessageFilterToken{};
    if (WindowData* list = lookup(list_)) show_impl(list, sw::hide);
    Hwnd h = w.handle;
    if (!ok && notify) notify_parent_command(w, cbn::sel_end_cancel);
    if (WindowData* d = lookup(h); d != nullptr && notify) notify_parent_command(*d, cbn::close_up);
    if (WindowData* d = lookup(h)) invalidate(d, nullptr, false);
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
