// The up-down control: two arrow buttons stepping a position within a
// range, optionally shown in a buddy window's text.
#include <algorithm>
#include <cstdio>

#include "controls_internal.h"

namespace kelda::ui::detail {
namespace {

class UpDownBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    self_style_ = w.style;
    switch (msg) {
      case wm::create: return on_create(w);
      case wm::paint: paint(w); return 0;
      case wm::erase_background: return 1;
      case wm::lbutton_down: return on_down(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_dblclk: return on_down(w, POINT{x_of(lp), y_of(lp)});
      case wm::lbutton_up: return on_up(w);
      case wm::enable: invalidate(&w, nullptr, false); return 0;
      case udm::set_range: return set_range(low_word_int(lp), high_word_int(lp));
      case udm::get_range: return make_lparam(max_, min_);
      case udm::set_range32: return set_range(static_cast<int>(lp), static_cast<int>(wp));
      case udm::get_range32: return get_range32(reinterpret_cast<int32_t*>(wp), reinterpret_cast<int32_t*>(lp));
      case udm::set_pos: return set_pos(low_word_int(lp));
      case udm::set_pos32: return set_pos(static_cast<int>(lp));
      case udm::get_pos: return make_lparam(pos_, 0);
      case udm::get_pos32: return get_pos32(reinterpret_cast<BOOL*>(lp));
      case udm::set_buddy: return set_buddy(w, Hwnd::from_wparam(wp));
      case udm::get_buddy: return buddy_.to_lparam();
      default: return def_proc(w, msg, wp, lp);
    }
  }

 private:
  // The signed 16-bit words of a message word.
  static int low_word_int(LPARAM lp) { return static_cast<int16_t>(lo_word(static_cast<uintptr_t>(lp))); }
  static int high_word_int(LPARAM lp) { return static_cast<int16_t>(hi_word(static_cast<uintptr_t>(lp))); }

  // An automatic buddy is the control made just before this one.
  LRESULT on_create(WindowData& w) {
    if (!(w.style & uds::auto_buddy)) return 0;
    if (w.parent != nullptr) {
      auto& sib = w.parent->children;
      auto it = std::find(sib.begin(), sib.end(), &w);
      if (it != sib.begin()) buddy_ = (*(it - 1))->handle;
    }
    attach_to_buddy(w);
    return 0;
  }

  LRESULT on_down(WindowData& w, POINT p) {
    const RECT cl = client_rect_in_window(&w);
    const bool horz = (w.style & uds::horz) != 0;
    const bool first_half = horz ? p.x < width_of(cl) / 2 : p.y < height_of(cl) / 2;
    // The up (or right) arrow moves towards max when min < max.
    pressed_ = first_half != horz ? 1 : 2;
    set_capture(w.handle);
    invalidate(&w, nullptr, false);
    step(w, pressed_ == 1 ? +1 : -1);
    return 0;
  }

  LRESULT on_up(WindowData& w) {
    if (get_capture() != w.handle) return 0;
    pressed_ = 0;
    release_capture();
    invalidate(&w, nullptr, false);
    if (w.parent != nullptr)
      call_window(w.parent, (w.style & uds::horz) ? wm::hscroll : wm::vscroll, make_wparam(sb::end_scroll, pos_),
                  w.handle.to_lparam());
    return 0;
  }

  LRESULT set_range(int max, int min) {
    max_ = max;
    min_ = min;
    return 0;
  }

  LRESULT get_range32(int32_t* min, int32_t* max) const {
    if (min) *min = min_;
    if (max) *max = max_;
    return 0;
  }

  LRESULT set_pos(int pos) {
    const int old = pos_;
    pos_ = std::clamp(pos, std::min(min_, max_), std::max(min_, max_));
    update_buddy();
    return old;
  }

  LRESULT get_pos32(BOOL* failed) const {
    if (failed) *failed = FALSE;
    return pos_;
  }

  LRESULT set_buddy(WindowData& w, Hwnd buddy) {
    const Hwnd old = buddy_;
    buddy_ = buddy;
    attach_to_buddy(w);
    return old.to_lparam();
  }

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
    const AliveGuard guard(w);
    const Hwnd h = guard.handle();
    UpDownNotify n;
    n.hdr.code = udn::delta_pos;
    n.pos = pos_;
    n.delta = delta;
    if (notify_parent(w, n.hdr) != 0) return;  // the parent refused the step
    WindowData* d = guard.alive();
    if (d == nullptr) return;
    int lo = std::min(min_, max_), hi = std::max(min_, max_);
    int64_t np = int64_t{pos_} + n.delta;  // the parent may have changed the step
    if (np < lo || np > hi) np = (d->style & uds::wrap) ? (np < lo ? hi : lo) : std::clamp<int64_t>(np, lo, hi);
    pos_ = static_cast<int>(np);
    update_buddy();
    if ((d = guard.alive()) != nullptr && d->parent != nullptr)
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

void register_up_down_class() {
  register_behavior_class<UpDownBehavior>(class_name::up_down);
}

}  // namespace kelda::ui::detail
