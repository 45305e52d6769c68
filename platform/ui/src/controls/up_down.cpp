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

void register_up_down_class() {
  register_behavior_class<UpDownBehavior>(class_name::up_down);
}

}  // namespace kelda::ui::detail
