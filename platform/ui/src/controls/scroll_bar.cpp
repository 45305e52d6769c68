// The scroll bar control: a bar of its own (not a window's non-client bar)
// that reports line, page and thumb moves to its parent.
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

}  // namespace

void register_scroll_bar_class() {
  register_behavior_class<ScrollBarBehavior>(class_name::scroll_bar);
}

}  // namespace kelda::ui::detail
