// Buttons (push, default, check, radio, group box, bitmap) and statics.
#include <algorithm>

#include "controls_internal.h"

namespace kelda::ui::detail {

void draw_focus_rect(Canvas& c, const RECT& r) {
  Pen dotted{ps::dot, 1, 0x000000};
  const Pen* op = c.select_pen(&dotted);
  const Brush* ob = c.select_brush(&null_brush());
  c.rectangle(r.left, r.top, r.right, r.bottom);
  c.select_brush(ob);
  c.select_pen(op);
}

const Brush* prepare_colors(WindowData& w, UINT msg, Canvas& c) { return control_colors(w, msg, c); }

LRESULT copy_text_out(std::u16string_view text, char16_t* out, size_t room) {
  const size_t n = std::min(text.size(), room - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

namespace {

class ButtonBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    const DWORD type = w.style & bs::type_mask;
    switch (msg) {
      case wm::paint: paint(w, type); return 0;
      case wm::erase_background: return 1;
      case wm::lbutton_down: return on_down(w, type);
      case wm::lbutton_dblclk: return on_down(w, type);
      case wm::mouse_move: return on_move(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_up: return on_up(w, type);
      case wm::capture_changed: return on_capture_lost(w);
      case wm::key_down: return on_key_down(w, type, static_cast<UINT>(wp));
      case wm::key_up: return on_key_up(w, type, static_cast<UINT>(wp));
      case wm::set_focus: return on_focus(w, bn::set_focus);
      case wm::kill_focus: return on_focus(w, bn::kill_focus);
      case wm::enable: invalidate(&w, nullptr, false); return 0;
      case wm::set_text: return on_set_text(w, wp, lp);
      case wm::get_dialog_code: return dialog_code(type);
      case bm::get_check: return check_;
      case bm::set_check: return set_check(w, static_cast<int>(wp));
      case bm::get_state: return check_ | (pushed_ ? bst::pushed : 0) | (g_core->focus == w.handle ? bst::focus : 0);
      case bm::set_state: return set_pushed(w, wp != 0);
      case bm::set_style: return set_style(w, static_cast<DWORD>(wp & 0xFFFF), lp != 0);
      case bm::click: return on_click_message(w, type);
      case bm::set_image: return set_image(w, reinterpret_cast<const Bitmap*>(lp));
      case bm::get_image: return reinterpret_cast<LRESULT>(image_);
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  LRESULT on_down(WindowData& w, DWORD type) {
    if (type == bs::group_box) return 0;
    set_focus(w.handle);
    set_capture(w.handle);
    pushed_ = true;
    invalidate(&w, nullptr, false);
    return 0;
  }

  // Pushed while the stylus stays on the button.
  LRESULT on_move(WindowData& w, POINT p) {
    if (get_capture() != w.handle) return 0;
    const bool in = point_in_rect(client_area(&w), p);
    if (in != pushed_) set_pushed(w, in);
    return 0;
  }

  LRESULT on_up(WindowData& w, DWORD type) {
    if (get_capture() != w.handle) return 0;
    const bool was = pushed_;
    pushed_ = false;
    release_capture();
    invalidate(&w, nullptr, false);
    if (was) click(w, type);
    return 0;
  }

  LRESULT on_capture_lost(WindowData& w) {
    if (pushed_) set_pushed(w, false);
    return 0;
  }

  LRESULT on_key_down(WindowData& w, DWORD type, UINT key) {
    if (key == vk::space && type != bs::group_box) set_pushed(w, true);
    return 0;
  }

  LRESULT on_key_up(WindowData& w, DWORD type, UINT key) {
    if (key == vk::space && pushed_) {
      set_pushed(w, false);
      click(w, type);
    }
    return 0;
  }

  LRESULT on_focus(WindowData& w, UINT code) {
    invalidate(&w, nullptr, false);
    if (w.style & bs::notify) notify_parent_command(w, code);
    return 0;
  }

  LRESULT on_set_text(WindowData& w, WPARAM wp, LPARAM lp) {
    const LRESULT r = def_proc(w, wm::set_text, wp, lp);
    invalidate(&w, nullptr, true);
    return r;
  }

  static LRESULT dialog_code(DWORD type) {
    if (type == bs::radio_button || type == bs::auto_radio_button) return dlgc::button | dlgc::radio_button;
    if (type == bs::def_push_button) return dlgc::button | dlgc::def_push_button;
    if (type == bs::push_button) return dlgc::button | dlgc::undef_push_button;
    if (type == bs::group_box) return dlgc::static_control;
    return dlgc::button;
  }

  LRESULT set_check(WindowData& w, int check) {
    if (check_ != check) {
      check_ = check & 3;
      invalidate(&w, nullptr, false);
    }
    return 0;
  }

  LRESULT set_pushed(WindowData& w, bool pushed) {
    pushed_ = pushed;
    invalidate(&w, nullptr, false);
    return 0;
  }

  // The type bits (the low word) change; the other styles stay.
  LRESULT set_style(WindowData& w, DWORD type_bits, bool redraw) {
    w.style = (w.style & ~0xFFFFu) | type_bits;
    if (redraw) invalidate(&w, nullptr, true);
    return 0;
  }

  LRESULT on_click_message(WindowData& w, DWORD type) {
    if (is_window_enabled(w.handle)) click(w, type);
    return 0;
  }

  LRESULT set_image(WindowData& w, const Bitmap* image) {
    const Bitmap* old = image_;
    image_ = image;
    invalidate(&w, nullptr, true);
    return reinterpret_cast<LRESULT>(old);
  }

  void click(WindowData& w, DWORD type) {
    const AliveGuard guard(w);
    const Hwnd h = guard.handle();
    if (type == bs::auto_check_box) {
      check_ = check_ == bst::checked ? bst::unchecked : bst::checked;
    } else if (type == bs::auto_3state) {
      check_ = (check_ + 1) % 3;
    } else if (type == bs::auto_radio_button) {
      check_ = bst::checked;
      // The other automatic radio buttons of the group are cleared.
      if (w.parent != nullptr) {
        Hwnd dlg = w.parent->handle;
        for (Hwnd o = next_dlg_group_item(dlg, h, false); o && o != h; o = next_dlg_group_item(dlg, o, false)) {
          WindowData* ow = lookup(o);
          if (ow != nullptr && equal_ignore_case(ow->class_name, class_name::button) &&
              (ow->style & bs::type_mask) == bs::auto_radio_button)
            send_message(o, bm::set_check, bst::unchecked);
        }
      }
    }
    if (WindowData* d = guard.alive()) {
      invalidate(d, nullptr, false);
      notify_parent_command(*d, bn::clicked);
    }
  }

  void paint(WindowData& w, DWORD type) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    const Look look{is_window_enabled(w.handle), g_core->focus == w.handle};
    const bool push = type == bs::push_button || type == bs::def_push_button || (w.style & bs::push_like);
    if (push) {
      paint_push(w, type, c, look);
      return;
    }
    const Brush* bg = prepare_colors(w, wm::ctl_color_static, c);
    if (type == bs::group_box) {
      paint_group_box(w, c, *bg, look.enabled);
      return;
    }
    paint_check(w, type, c, *bg, look);
  }

  // Whether the button is enabled and has the focus, taken as painting starts.
  struct Look {
    bool enabled;
    bool focused;
  };

  void paint_push(WindowData& w, DWORD type, Canvas& c, Look look) {
    const RECT r = client_area(&w);
    const auto [enabled, focused] = look;
    prepare_colors(w, wm::ctl_color_button, c);
    c.fill_rect(r, get_sys_color_brush(color::btn_face));
    RECT e = r;
    if (type == bs::def_push_button) {
      c.frame_rect(e, black_brush());
      e = inflate_rect(e, -1, -1);
    }
    bool down = pushed_ || (check_ == bst::checked && (w.style & bs::push_like));
    c.draw_edge(e, down ? bdr::sunken : bdr::raised, bf::rect);
    RECT content = inflate_rect(e, -2, -2);
    if (down) content = offset_rect(content, 1, 1);
    if ((w.style & bs::bitmap) && image_ != nullptr) {
      int x = content.left + (width_of(content) - image_->width()) / 2;
      int y = content.top + (height_of(content) - image_->height()) / 2;
      c.draw_bitmap(x, y, *image_);
    } else {
      c.set_bk_mode(bk::transparent);
      c.set_text_color(get_sys_color(enabled ? color::btn_text : color::gray_text));
      c.draw_text(w.text, content, dt::center | dt::vcenter | dt::single_line);
    }
    if (focused) draw_focus_rect(c, inflate_rect(e, -3, -3));
  }

  // The parent's background shows through; the frame runs behind the title.
  void paint_group_box(WindowData& w, Canvas& c, const Brush& bg, bool enabled) {
    const RECT r = client_area(&w);
    TextMetrics tm = c.text_metrics();
    RECT frame{r.left, r.top + tm.height / 2, r.right, r.bottom};
    c.draw_edge(frame, bdr::etched, bf::rect);
    RECT t{r.left + scaled(6), r.top, r.right - scaled(6), r.top + tm.height};
    RECT calc = t;
    c.draw_text(w.text, calc, dt::single_line | dt::calc_rect);
    calc.right += scaled(4);
    calc.left -= scaled(2);
    c.fill_rect(calc, bg);
    c.set_bk_mode(bk::transparent);
    if (!enabled) c.set_text_color(get_sys_color(color::gray_text));
    c.draw_text(w.text, t, dt::left | dt::single_line);
  }

  // A check box or radio button: the box or circle, then the text.
  void paint_check(WindowData& w, DWORD type, Canvas& c, const Brush& bg, Look look) {
    const RECT r = client_area(&w);
    const auto [enabled, focused] = look;
    c.fill_rect(r, bg);
    const int box = std::min(scaled(13), height_of(r));
    const bool left_text = (w.style & bs::left_text) != 0;
    RECT b{left_text ? r.right - box : r.left, r.top + (height_of(r) - box) / 2, 0, 0};
    b.right = b.left + box;
    b.bottom = b.top + box;
    const bool radio = type == bs::radio_button || type == bs::auto_radio_button;
    const Brush& fill = get_sys_color_brush(pushed_ || !enabled ? color::btn_face : color::window);
    COLORREF mark = get_sys_color(enabled ? color::window_text : color::gray_text);
    if (radio) {
      Pen outline{ps::solid, 1, get_sys_color(color::btn_shadow)};
      Brush dot = Brush::solid(mark);
      Pen dp{ps::solid, 1, mark};
      const Pen* op = c.select_pen(&outline);
      const Brush* ob = c.select_brush(&fill);
      c.ellipse(b.left, b.top, b.right, b.bottom);
      if (check_ == bst::checked) {
        c.select_brush(&dot);
        c.select_pen(&dp);
        int in = box / 3;
        c.ellipse(b.left + in, b.top + in, b.right - in, b.bottom - in);
      }
      c.select_brush(ob);
      c.select_pen(op);
    } else {
      c.fill_rect(b, fill);
      c.draw_edge(b, bdr::sunken, bf::rect);
      if (check_ != bst::unchecked) {
        Pen p{ps::solid, std::max(1, scaled(2)), check_ == bst::indeterminate ? get_sys_color(color::gray_text) : mark};
        const Pen* op = c.select_pen(&p);
        int s = box / 4;
        c.move_to(b.left + s, b.top + box / 2);
        c.line_to(b.left + box / 2 - 1, b.bottom - s - 1);
        c.line_to(b.right - s, b.top + s);
        c.select_pen(op);
      }
    }
    RECT t = r;
    if (left_text) {
      t.right = b.left - scaled(4);
    } else {
      t.left = b.right + scaled(4);
    }
    if (!enabled) c.set_text_color(get_sys_color(color::gray_text));
    const UINT align = left_text ? dt::right : dt::left;
    if (w.style & bs::multiline) {
      // The lines the text wraps into, centred as a block beside the box.
      RECT lines = t;
      c.draw_text(w.text, lines, dt::word_break | dt::calc_rect);
      t.top += std::max(0, (height_of(t) - height_of(lines)) / 2);
      c.draw_text(w.text, t, align | dt::word_break);
    } else {
      c.draw_text(w.text, t, align | dt::vcenter | dt::single_line);
    }
    if (focused) {
      RECT f = t;
      const UINT flow = (w.style & bs::multiline) ? dt::word_break : dt::single_line;
      c.draw_text(w.text, f, flow | dt::calc_rect);
      if (!(w.style & bs::multiline)) f = offset_rect(f, 0, (height_of(t) - height_of(f)) / 2);
      draw_focus_rect(c, inflate_rect(f, 1, 1));
    }
  }

  int check_ = bst::unchecked;
  bool pushed_ = false;
  const Bitmap* image_ = nullptr;
};

class StaticBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::paint:
        paint(w);
        return 0;
      case wm::erase_background:
        return 1;
      case wm::set_text: {
        LRESULT r = def_proc(w, msg, wp, lp);
        invalidate(&w, nullptr, true);
        return r;
      }
      case wm::enable:
        invalidate(&w, nullptr, true);
        return 0;
      case stm::set_image:
      case stm::set_icon: {
        const Bitmap* old = image_;
        image_ = reinterpret_cast<const Bitmap*>(msg == stm::set_icon ? static_cast<LPARAM>(wp) : lp);
        invalidate(&w, nullptr, true);
        return reinterpret_cast<LRESULT>(old);
      }
      case stm::get_image:
      case stm::get_icon:
        return reinterpret_cast<LRESULT>(image_);
      case wm::lbutton_up:
        if (w.style & ss::notify) notify_parent_command(w, stn::clicked);
        return 0;
      case wm::get_dialog_code:
        return dlgc::static_control;
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

 private:
  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    const DWORD type = w.style & ss::type_mask;
    const Brush* bg = prepare_colors(w, wm::ctl_color_static, c);
    switch (type) {
      case ss::black_rect: c.fill_rect(r, black_brush()); return;
      case ss::gray_rect: c.fill_rect(r, get_sys_color_brush(color::btn_shadow)); return;
      case ss::white_rect: c.fill_rect(r, white_brush()); return;
      case ss::black_frame: c.frame_rect(r, black_brush()); return;
      case ss::etched_horz: c.draw_edge(RECT{r.left, r.top, r.right, r.top + 2}, bdr::etched, bf::top | bf::bottom); return;
      case ss::etched_frame: c.draw_edge(r, bdr::etched, bf::rect); return;
      default: break;
    }
    c.fill_rect(r, *bg);
    if (w.style & ss::sunken) {
      c.draw_edge(r, bdr::sunken_outer, bf::rect);
      r = inflate_rect(r, -1, -1);
    }
    if (type == ss::bitmap || type == ss::icon) {
      if (image_ != nullptr) {
        int x = r.left, y = r.top;
        if (w.style & ss::center_image) {
          x += (width_of(r) - image_->width()) / 2;
          y += (height_of(r) - image_->height()) / 2;
        }
        c.draw_bitmap(x, y, *image_);
      }
      return;
    }
    UINT flags = dt::expand_tabs;
    if (type == ss::center) flags |= dt::center | dt::word_break;
    else if (type == ss::right) flags |= dt::right | dt::word_break;
    else if (type == ss::left_no_word_wrap) flags |= dt::left;
    else flags |= dt::left | dt::word_break;
    if (w.style & ss::no_prefix) flags |= dt::no_prefix;
    c.set_bk_mode(bk::transparent);
    if (!is_window_enabled(w.handle)) c.set_text_color(get_sys_color(color::gray_text));
    c.draw_text(w.text, r, flags);
  }

  const Bitmap* image_ = nullptr;
};

}  // namespace

void register_button_class() {
  register_behavior_class<ButtonBehavior>(class_name::button, cs::dblclks);
}

void register_static_class() {
  register_behavior_class<StaticBehavior>(class_name::static_);
}

}  // namespace kelda::ui::detail
