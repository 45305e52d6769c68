// The scroll bar control: a bar of its own (not a window's non-client bar)
// that reports line, page and thumb moves to its parent.
#include "controls_internal.h"

namespace kelda::ui::detail {
namespace {

class ScrollBarBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::paint: return paint(w);
      case wm::erase_background: return 1;
      case wm::lbutton_down: return on_down(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_dblclk: return on_down(w, POINT{x_of(lp), y_of(lp)});
      case wm::mouse_move: return on_move(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_up: return on_up(w);
      case wm::enable: invalidate(&w, nullptr, false); return 0;
      case sbm::set_pos: return set_pos(w, static_cast<int>(wp), lp != 0);
      case sbm::get_pos: return s_.pos;
      case sbm::set_range: return set_range(w, static_cast<int>(wp), static_cast<int>(lp));
      case sbm::get_range: return get_range(reinterpret_cast<int32_t*>(wp), reinterpret_cast<int32_t*>(lp));
      case sbm::set_scroll_info: return set_info(w, reinterpret_cast<const ScrollInfo*>(lp), wp != 0);
      case sbm::get_scroll_info: return get_info(reinterpret_cast<ScrollInfo*>(lp));
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  static bool vertical(const WindowData& w) { return (w.style & sbs::vert) != 0; }

  LRESULT paint(WindowData& w) {
    PaintSession ps(w.handle);
    paint_scroll_bar(ps.canvas(), client_area(&w), s_, vertical(w), is_window_enabled(w.handle));
    return 0;
  }

  // A press on an arrow or the page area reports its step; on the thumb it
  // starts a drag.
  LRESULT on_down(WindowData& w, POINT p) {
    const int part = scroll_bar_hit(client_area(&w), s_, vertical(w), p);
    if (part == 0) return 0;
    set_capture(w.handle);
    s_.pressed_part = part;
    if (part == 5) {
      s_.tracking = true;
      s_.track_pos = s_.pos;
      s_.drag_offset = (vertical(w) ? p.y : p.x) - thumb_start(w, p);
    } else {
      static constexpr int codes[] = {0, sb::line_up, sb::line_down, sb::page_up, sb::page_down};
      notify(w, codes[part], 0);
    }
    return 0;
  }

  // Where the thumb starts along the bar, at the point where it was taken.
  int thumb_start(WindowData& w, POINT p) {
    const bool vert = vertical(w);
    const RECT r = client_area(&w);
    for (int c = vert ? r.top : r.left; c < (vert ? r.bottom : r.right); ++c) {
      const POINT q = vert ? POINT{p.x, c} : POINT{c, p.y};
      if (scroll_bar_hit(r, s_, vert, q) == 5) return c;
    }
    return 0;
  }

  LRESULT on_move(WindowData& w, POINT p) {
    if (!s_.tracking || get_capture() != w.handle) return 0;
    const int pos = thumb_pos(w, vertical(w) ? p.y : p.x);
    if (pos != s_.track_pos) {
      s_.track_pos = pos;
      invalidate(&w, nullptr, false);
      notify(w, sb::thumb_track, pos);
    }
    return 0;
  }

  LRESULT on_up(WindowData& w) {
    if (get_capture() != w.handle) return 0;
    const AliveGuard guard(w);
    const bool tracking = s_.tracking;
    s_.tracking = false;
    s_.pressed_part = 0;
    release_capture();
    if (tracking) notify(w, sb::thumb_position, s_.track_pos);
    if (WindowData* d = guard.alive()) notify(*d, sb::end_scroll, 0);
    return 0;
  }

  LRESULT set_pos(WindowData& w, int pos, bool redraw) {
    const int old = s_.pos;
    s_.pos = clamp_scroll_pos(s_, pos);
    if (redraw) invalidate(&w, nullptr, false);
    return old;
  }

  LRESULT set_range(WindowData& w, int min, int max) {
    s_.min = min;
    s_.max = max;
    s_.pos = clamp_scroll_pos(s_, s_.pos);
    invalidate(&w, nullptr, false);
    return s_.pos;
  }

  LRESULT get_range(int32_t* min, int32_t* max) const {
    if (min) *min = s_.min;
    if (max) *max = s_.max;
    return 0;
  }

  LRESULT set_info(WindowData& w, const ScrollInfo* si, bool redraw) {
    if (si == nullptr) return s_.pos;
    if (si->mask & sif::range) {
      s_.min = si->min;
      s_.max = si->max;
    }
    if (si->mask & sif::page) s_.page = si->page;
    if (si->mask & sif::pos) s_.pos = si->pos;
    s_.pos = clamp_scroll_pos(s_, s_.pos);
    if (redraw) invalidate(&w, nullptr, false);
    return s_.pos;
  }

  LRESULT get_info(ScrollInfo* si) const {
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
