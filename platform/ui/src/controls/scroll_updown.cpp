// Scroll bar controls and up-down controls.
#include <algorithm>
#include <cstdio>

#include "controls_internal.h"

namespace kelda::ui::detail {
namespace {

class ScrollBarBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    const bool vertical = (w.style & sbs::vert) != 0;
    switch (msg) {
      case wm::paint: {
        PaintSession ps(w.handle);
        paint_scroll_bar(ps.canvas(), client_area(&w), s_, vertical, is_window_enabled(w.handle));
        return 0;
      }
      case wm::erase_background:
        return 1;
      case wm::lbutton_down:
      case wm::lbutton_dblclk: {
        POINT p{x_of(lp), y_of(lp)};
        int part = scroll_bar_hit(client_area(&w), s_, vertical, p);
        if (part == 0) return 0;
        set_capture(w.handle);
        s_.pressed_part = part;
        if (part == 5) {
          s_.tracking = true;
          s_.track_pos = s_.pos;
          // Keep the point where the thumb was taken.
          int thumb_start = 0;
          for (int c = vertical ? client_area(&w).top : client_area(&w).left; c < (vertical ? client_area(&w).bottom : client_area(&w).right); ++c) {
            POINT q = vertical ? POINT{p.x, c} : POINT{c, p.y};
            if (scroll_bar_hit(client_area(&w), s_, vertical, q) == 5) {
              thumb_start = c;
              break;
            }
          }
          s_.drag_offset = (vertical ? p.y : p.x) - thumb_start;
        } else {
          static constexpr int codes[] = {0, sb::line_up, sb::line_down, sb::page_up, sb::page_down};
          notify(w, codes[part], 0);
        }
        return 0;
      }
      case wm::mouse_move:
        if (s_.tracking && get_capture() == w.handle) {
          int coord = vertical ? y_of(lp) : x_of(lp);
          int pos = thumb_pos(w, coord);
          if (pos != s_.track_pos) {
            s_.track_pos = pos;
            invalidate(&w, nullptr, false);
            notify(w, sb::thumb_track, pos);
          }
        }
        return 0;
      case wm::lbutton_up:
        if (get_capture() == w.handle) {
          Hwnd h = w.handle;
          bool tracking = s_.tracking;
          s_.tracking = false;
          s_.pressed_part = 0;
          release_capture();
          if (tracking) notify(w, sb::thumb_position, s_.track_pos);
          if (WindowData* d = lookup(h)) notify(*d, sb::end_scroll, 0);
        }
        return 0;
      case wm::enable:
        invalidate(&w, nullptr, false);
        return 0;
      case sbm::set_pos: {
        int old = s_.pos;
        s_.pos = clamp_scroll_pos(s_, static_cast<int>(wp));
        if (lp) invalidate(&w, nullptr, false);
        return old;
      }
      case sbm::get_pos:
        return s_.pos;
      case sbm::set_range:
        s_.min = static_cast<int>(wp);
        s_.max = static_cast<int>(lp);
        s_.pos = clamp_scroll_pos(s_, s_.pos);
        invalidate(&w, nullptr, false);
        return s_.pos;
      case sbm::get_range:
        if (wp) *reinterpret_cast<int32_t*>(wp) = s_.min;
        if (lp) *reinterpret_cast<int32_t*>(lp) = s_.max;
        return 0;
      case sbm::set_scroll_info: {
        auto* si = reinterpret_cast<const ScrollInfo*>(lp);
        if (si == nullptr) return s_.pos;
        if (si->mask & sif::range) {
          s_.min = si->min;
          s_.max = si->max;
        }
        if (si->mask & sif::page) s_.page = si->page;
        if (si->mask & sif::pos) s_.pos = si->pos;
        s_.pos = clamp_scroll_pos(s_, s_.pos);
        if (wp) invalidate(&w, nullptr, false);
        return s_.pos;
      }
      case sbm::get_scroll_info: {
        auto* si = reinterpret_cast<ScrollInfo*>(lp);
        if (si == nullptr) return 0;
        if (si->mask & sif::range) {
          si->min = s_.min;
          si->max = s_.max;
        }
        if (si->mask & sif::page) si->page = s_.page;
        if (si->mask & sif::pos) si->pos = s_.pos;
        if (si->mask & sif::track_pos) si->track_pos = s_.tracking ? s_.track_pos : s_.pos;
        return 1;
      }
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

 private:
  int thumb_pos(WindowData& w, int coord) {
    ScrollBarState probe = s_;
    return scroll_bar_thumb_pos(client_area(&w), probe, (w.style & sbs::vert) != 0, coord);
  }
  void notify(WindowData& w, int code, int pos) {
    if (w.parent == nullptr) return;
    UINT m = (w.style & sbs::vert) ? wm::vscroll : wm::hscroll;
    call_window(w.parent, m, make_wparam(code, pos), w.handle.to_lparam());
  }

  ScrollBarState s_;
};

class UpDownBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    self_style_ = w.style;
    switch (msg) {
      case wm::create:
        if (w.style & uds::auto_buddy) {
          // The control made just before this one.
          if (w.parent != nullptr) {
            auto& sib = w.parent->children;
            auto it = std::find(sib.begin(), sib.end(), &w);
            if (it != sib.begin()) buddy_ = (*(it - 1))->handle;
          }
          attach_to_buddy(w);
        }
        return 0;
      case wm::paint:
        paint(w);
        return 0;
      case wm::erase_background:
        return 1;
      case wm::lbutton_down:
      case wm::lbutton_dblclk: {
        RECT cl = client_rect_in_window(&w);
        bool horz = (w.style & uds::horz) != 0;
        bool first_half = horz ? x_of(lp) < width_of(cl) / 2 : y_of(lp) < height_of(cl) / 2;
        // The up (or right) arrow moves towards max when min < max.
        pressed_ = first_half != horz ? 1 : 2;
        set_capture(w.handle);
        invalidate(&w, nullptr, false);
        step(w, pressed_ == 1 ? +1 : -1);
        return 0;
      }
      case wm::lbutton_up:
        if (get_capture() == w.handle) {
          pressed_ = 0;
          release_capture();
          invalidate(&w, nullptr, false);
          if (w.parent != nullptr)
            call_window(w.parent, (w.style & uds::horz) ? wm::hscroll : wm::vscroll, make_wparam(sb::end_scroll, pos_),
                        w.handle.to_lparam());
        }
        return 0;
      case wm::enable:
        invalidate(&w, nullptr, false);
        return 0;
      case udm::set_range:
        max_ = static_cast<int16_t>(lo_word(static_cast<uintptr_t>(lp)));
        min_ = static_cast<int16_t>(hi_word(static_cast<uintptr_t>(lp)));
        return 0;
      case udm::get_range:
        return make_lparam(max_, min_);
      case udm::set_range32:
        min_ = static_cast<int>(wp);
        max_ = static_cast<int>(lp);
        return 0;
      case udm::get_range32:
        if (wp) *reinterpret_cast<int32_t*>(wp) = min_;
        if (lp) *reinterpret_cast<int32_t*>(lp) = max_;
        return 0;
      case udm::set_pos:
      case udm::set_pos32: {
        int old = pos_;
        int v = msg == udm::set_pos ? static_cast<int16_t>(lo_word(static_cast<uintptr_t>(lp))) : static_cast<int>(lp);
        pos_ = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
        update_buddy();
        return old;
      }
      case udm::get_pos:
        return make_lparam(pos_, 0);
      case udm::get_pos32:
        if (lp) *reinterpret_cast<BOOL*>(lp) = FALSE;
        return pos_;
      case udm::set_buddy: {
        Hwnd old = buddy_;
        buddy_ = Hwnd::from_wparam(wp);
        attach_to_buddy(w);
        return old.to_lparam();
      }
      case udm::get_buddy:
        return buddy_.to_lparam();
      default:
        return def_proc(w, msg, wp, lp);
    }
  }

 private:
  void attach_to_buddy(WindowData& w) {
    WindowData* b = lookup(buddy_);
    if (b == nullptr || b->parent != w.parent || !(w.style & (uds::align_right | uds::align_left))) {
      update_buddy();
      return;
    }
    // Sits inside the buddy's edge, which gives up that width.
    int width = std::max(width_of(w.rect), scaled(13));
    RECT br = b->rect;
    RECT mine;
    if (w.style & uds::align_right) {
      mine = RECT{br.right - width, br.top, br.right, br.bottom};
      br.right -= width;
    } else {
      mine = RECT{br.left, br.top, br.left + width, br.bottom};
      br.left += width;
    }
    move_window_impl(b, br, true);
    move_window_impl(&w, mine, true);
    update_buddy();
  }

  void update_buddy() {
    if (!buddy_ || !(style_of_self() & uds::set_buddy_int)) return;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", pos_);
    set_window_text(buddy_, from_utf8(buf));
  }

  DWORD style_of_self() const { return self_style_; }

  void step(WindowData& w, int direction) {
    int delta = (max_ >= min_ ? 1 : -1) * direction;
    Hwnd h = w.handle;
    UpDownNotify n;
    n.hdr.code = udn::delta_pos;
    n.pos = pos_;
    n.delta = delta;
    if (notify_parent(w, n.hdr) != 0) return;  // the parent refused the step
    WindowData* d = lookup(h);
    if (d == nullptr) return;
    int lo = std::min(min_, max_), hi = std::max(min_, max_);
    int64_t np = int64_t{pos_} + n.delta;  // the parent may have changed the step
    if (np < lo || np > hi) np = (d->style & uds::wrap) ? (np < lo ? hi : lo) : std::clamp<int64_t>(np, lo, hi);
    pos_ = static_cast<int>(np);
    update_buddy();
    if ((d = lookup(h)) != nullptr && d->parent != nullptr)
      call_window(d->parent, (d->style & uds::horz) ? wm::hscroll : wm::vscroll, make_wparam(sb::thumb_position, pos_),
                  h.to_lparam());
  }

  void paint(WindowData& w) {
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    bool horz = (w.style & uds::horz) != 0;
    RECT a = r, b = r;
    if (horz) {
      a.right = b.left = r.right / 2;
    } else {
      a.bottom = b.top = r.bottom / 2;
    }
    bool enabled = is_window_enabled(w.handle);
    for (int i = 0; i < 2; ++i) {
      RECT x = i == 0 ? a : b;
      c.fill_rect(x, get_sys_color_brush(color::btn_face));
      c.draw_edge(x, pressed_ == i + 1 ? bdr::sunken : bdr::raised, bf::rect);
      // The first half points left or up, the second right or down.
      const int direction = horz ? (i == 0 ? 2 : 3) : (i == 0 ? 0 : 1);
      draw_arrow_glyph(c, x, std::max(2, std::min(width_of(x), height_of(x)) / 4), direction, enabled);
    }
  }

  int min_ = 100;
  int max_ = 0;
  int pos_ = 0;
  int pressed_ = 0;
  Hwnd buddy_;
  DWORD self_style_ = 0;
};

}  // namespace

void register_scroll_bar_class() {
  register_behavior_class<ScrollBarBehavior>(class_name::scroll_bar);
}

void register_up_down_class() {
  register_behavior_class<UpDownBehavior>(class_name::up_down);
}

}  // namespace kelda::ui::detail
