// The date picker: day.month.year fields stepped by arrows or typed as
// digits (no calendar).
#include <algorithm>
#include <cstdio>

#include "controls_internal.h"
#include "platform/time.h"

namespace kelda::ui::detail {
namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int days_in(int y, int m) {
  static constexpr int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : d[m - 1];
}
bool valid_date(const SYSTEMTIME& st) {
  return st.wYear >= 1601 && st.wYear <= 9999 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
         st.wDay <= days_in(st.wYear, st.wMonth);
}
int weekday(int y, int m, int d) {  // 0 = Sunday
  static constexpr int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

class DatePickerBehavior final : public Behavior {
 public:
  DatePickerBehavior() {
    SYSTEMTIME now = platform::local_time_now();
    date_ = SYSTEMTIME{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, 0, 0, 0, 0};
    if (!valid_date(date_)) date_ = SYSTEMTIME{2000, 1, 6, 1, 0, 0, 0, 0};
  }

  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::paint:
        paint(w);
        return 0;
      case wm::erase_background:
        return 1;
      case wm::lbutton_down:
      case wm::lbutton_dblclk: {
        const AliveGuard guard(w);
        set_focus(w.handle);
        if (guard.gone()) return 0;
        RECT a = arrows(w);
        int x = x_of(lp), y = y_of(lp);
        if (x >= a.left) {
          step(w, y < (a.top + a.bottom) / 2 ? +1 : -1);
          return 0;
        }
        for (int f = 0; f < 3; ++f) {
          RECT r = field_rect(w, f);
          if (x >= r.left && x < r.right + scaled(3)) field_ = f;
        }
        typed_ = 0;
        invalidate(&w, nullptr, false);
        return 0;
      }
      case wm::key_down:
        switch (wp) {
          case vk::up: step(w, +1); break;
          case vk::down: step(w, -1); break;
          case vk::left: field_ = std::max(0, field_ - 1); typed_ = 0; invalidate(&w, nullptr, false); break;
          case vk::right: field_ = std::min(2, field_ + 1); typed_ = 0; invalidate(&w, nullptr, false); break;
          default: break;
        }
        return 0;
      case wm::character:
        if (wp >= u'0' && wp <= u'9') type_digit(w, static_cast<int>(wp - u'0'));
        return 0;
      case wm::set_focus:
      case wm::kill_focus:
        typed_ = 0;
        invalidate(&w, nullptr, false);
        return 0;
      case wm::enable:
        invalidate(&w, nullptr, false);
        return 0;
      case wm::get_dialog_code:
        return dlgc::want_arrows | dlgc::want_chars;
      case dtm::get_system_time:
        if (lp == 0) return gdt::error;
        *reinterpret_cast<SYSTEMTIME*>(lp) = date_;
        return gdt::valid;
      case dtm::set_system_time: {
        if (wp == static_cast<WPARAM>(gdt::none)) return 0;  // no "none" state without a check box
        auto* st = reinterpret_cast<const SYSTEMTIME*>(lp);
        if (st == nullptr || !valid_date(*st)) return 0;
        date_ = SYSTEMTIME{st->wYear, st->wMonth, static_cast<WORD>(weekday(st->wYear, st->wMonth, st->wDay)), st->wDay,
                           0, 0, 0, 0};
        invalidate(&w, nullptr, false);
        return 1;
      }
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

 private:
  RECT arrows(WindowData& w) {
    RECT cl = client_rect_in_window(&w);
    int aw = std::min(scroll_bar_width(), width_of(cl) / 3);
    return RECT{width_of(cl) - aw, 0, width_of(cl), height_of(cl)};
  }

  std::u16string field_text(int f) const {
    char buf[8];
    if (f == 0) std::snprintf(buf, sizeof buf, "%02u", date_.wDay % 100u);
    else if (f == 1) std::snprintf(buf, sizeof buf, "%02u", date_.wMonth % 100u);
    else std::snprintf(buf, sizeof buf, "%04u", date_.wYear % 10000u);
    return from_utf8(buf);
  }

  RECT field_rect(WindowData& w, int f) {
    FontEngine& e = font_engine();
    const Font& font = window_font(w);
    int x = scaled(3);
    for (int i = 0; i < f; ++i) x += e.text_width(font, field_text(i)) + e.text_width(font, u".");
    RECT cl = client_rect_in_window(&w);
    return RECT{x, 0, x + e.text_width(font, field_text(f)), height_of(cl)};
  }

  void changed(WindowData& w) {
    date_.wDayOfWeek = static_cast<WORD>(weekday(date_.wYear, date_.wMonth, date_.wDay));
    const AliveGuard guard(w);
    invalidate(&w, nullptr, false);
    DateTimeChange n;
    n.hdr.code = dtn::datetime_change;
    n.flags = static_cast<DWORD>(gdt::valid);
    n.st = date_;
    if (WindowData* d = guard.alive()) notify_parent(*d, n.hdr);
  }

  void step(WindowData& w, int d) {
    int y = date_.wYear, m = date_.wMonth, day = date_.wDay;
    if (field_ == 0) {
      int n = days_in(y, m);
      day = (day - 1 + d + n) % n + 1;
    } else if (field_ == 1) {
      m = (m - 1 + d + 12) % 12 + 1;
      day = std::min(day, days_in(y, m));
    } else {
      y = std::clamp(y + d, 1601, 9999);
      day = std::min(day, days_in(y, m));
    }
    date_.wYear = static_cast<WORD>(y);
    date_.wMonth = static_cast<WORD>(m);
    date_.wDay = static_cast<WORD>(day);
    typed_ = 0;
    changed(w);
  }

  void type_digit(WindowData& w, int digit) {
    int width = field_ == 2 ? 4 : 2;
    typed_value_ = typed_ == 0 ? digit : typed_value_ * 10 + digit;
    ++typed_;
    int y = date_.wYear, m = date_.wMonth, day = date_.wDay;
    if (field_ == 0) day = typed_value_;
    if (field_ == 1) m = typed_value_;
    if (field_ == 2) y = typed_value_;
    SYSTEMTIME probe{static_cast<WORD>(y), static_cast<WORD>(m), 0, static_cast<WORD>(day), 0, 0, 0, 0};
    if (typed_ >= width || (field_ < 2 && typed_value_ > 3)) {
      if (valid_date(probe)) {
        date_ = probe;
        changed(w);
      }
      typed_ = 0;
      if (field_ < 2) field_ += 1;
    } else if (valid_date(probe) && field_ < 2) {
      date_ = probe;
      changed(w);
    }
    invalidate(&w, nullptr, false);
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    const bool enabled = is_window_enabled(w.handle);
    const Brush* bg = prepare_colors(w, enabled ? wm::ctl_color_edit : wm::ctl_color_static, c);
    c.fill_rect(r, *bg);
    const COLORREF text = enabled ? c.text_color() : get_sys_color(color::gray_text);
    c.set_bk_mode(bk::transparent);
    const bool focused = g_core->focus == w.handle;
    for (int f = 0; f < 3; ++f) {
      RECT fr = field_rect(w, f);
      if (focused && f == field_) {
        c.fill_rect(fr, get_sys_color_brush(color::highlight));
        c.set_text_color(get_sys_color(color::highlight_text));
      } else {
        c.set_text_color(text);
      }
      c.draw_text(field_text(f), fr, dt::left | dt::vcenter | dt::single_line);
      if (f < 2) {
        c.set_text_color(text);
        RECT dot{fr.right, 0, fr.right + scaled(6), r.bottom};
        c.draw_text(u".", dot, dt::left | dt::vcenter | dt::single_line);
      }
    }
    RECT a = arrows(w);
    RECT up{a.left, a.top, a.right, (a.top + a.bottom) / 2}, down{a.left, up.bottom, a.right, a.bottom};
    for (int i = 0; i < 2; ++i) {
      RECT x = i == 0 ? up : down;
      c.fill_rect(x, get_sys_color_brush(color::btn_face));
      c.draw_edge(x, bdr::raised, bf::rect);
      int cx = (x.left + x.right) / 2, cy = (x.top + x.bottom) / 2, s = std::max(2, width_of(x) / 4);
      int d = i == 0 ? -1 : 1;
      POINT t[3] = {{cx - s, cy - d * s / 2}, {cx + s, cy - d * s / 2}, {cx, cy + d * (s / 2 + 1)}};
      Brush b = Brush::solid(text);
      Pen p{ps::solid, 1, text};
      const Pen* op = c.select_pen(&p);
      const Brush* ob = c.select_brush(&b);
      c.polygon(t);
      c.select_pen(op);
      c.select_brush(ob);
    }
  }

  SYSTEMTIME date_{};
  int field_ = 0;
  int typed_ = 0;
  int typed_value_ = 0;
};

}  // namespace

void register_date_picker_class() {
  register_behavior_class<DatePickerBehavior>(class_name::date_picker);
}

}  // namespace kelda::ui::detail
