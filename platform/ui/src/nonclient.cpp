// Window frames, captions and scroll bars (their drawing, hits and state).
#include <algorithm>

#include "core.h"
#include "platform/last_error.h"
#include "ui/controls.h"

namespace kelda::ui::detail {

int scroll_bar_width() { return get_system_metrics(sm::cx_vscroll); }

namespace {
struct BarGeometry {
  int length = 0;     // along the bar
  int arrow = 0;      // each arrow button
  int track = 0;      // between the arrows
  int thumb = 0;      // thumb length (0: no thumb)
  int thumb_at = 0;   // thumb start, from the track's start
  int64_t max_pos = 0;  // 64 bits: ranges and pages may reach the ends of int
};

// The highest position the page lets the thumb reach.
int64_t max_scroll_pos(const ScrollBarState& s) {
  return s.page > 0 ? int64_t{s.max} - s.page + 1 : int64_t{s.max};
}

BarGeometry geometry(const RECT& r, const ScrollBarState& s, bool vertical) {
  BarGeometry g;
  g.length = vertical ? height_of(r) : width_of(r);
  int thickness = vertical ? width_of(r) : height_of(r);
  g.arrow = std::min(thickness, g.length / 2);
  g.track = std::max(0, g.length - 2 * g.arrow);
  const int64_t span = int64_t{s.max} - s.min + 1;
  const int64_t page = s.page;
  g.max_pos = max_scroll_pos(s);
  if (span <= 0 || (page > 0 && page >= span) || g.max_pos <= s.min || g.track < 4) return g;
  g.thumb = page > 0 ? static_cast<int>(int64_t{g.track} * page / span) : thickness;
  g.thumb = std::clamp(g.thumb, std::min(g.track, std::max(6, thickness / 2)), g.track);
  const int64_t pos = std::clamp<int64_t>(s.tracking ? s.track_pos : s.pos, s.min, g.max_pos);
  g.thumb_at = static_cast<int>(int64_t{g.track - g.thumb} * (pos - s.min) / (g.max_pos - s.min));
  return g;
}

void draw_arrow(Canvas& c, const RECT& r, int direction, bool enabled) {
  c.fill_rect(r, get_sys_color_brush(color::btn_face));
  c.draw_edge(r, bdr::raised, bf::rect);
  draw_arrow_glyph(c, r, std::max(2, std::min(width_of(r), height_of(r)) / 4), direction, enabled);
}
}  // namespace

void draw_arrow_glyph(Canvas& c, const RECT& r, int s, int direction, bool enabled) {
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  POINT p[3];
  switch (direction) {
    case 0: p[0] = {cx - s, cy + s / 2}; p[1] = {cx + s, cy + s / 2}; p[2] = {cx, cy - s / 2 - 1}; break;
    case 1: p[0] = {cx - s, cy - s / 2}; p[1] = {cx + s, cy - s / 2}; p[2] = {cx, cy + s / 2 + 1}; break;
    case 2: p[0] = {cx + s / 2, cy - s}; p[1] = {cx + s / 2, cy + s}; p[2] = {cx - s / 2 - 1, cy}; break;
    default: p[0] = {cx - s / 2, cy - s}; p[1] = {cx - s / 2, cy + s}; p[2] = {cx + s / 2 + 1, cy}; break;
  }
  Brush b = Brush::solid(get_sys_color(enabled ? color::btn_text : color::gray_text));
  Pen pen{ps::solid, 1, b.color};
  const Pen* op = c.select_pen(&pen);
  const Brush* ob = c.select_brush(&b);
  c.polygon(p);
  c.select_pen(op);
  c.select_brush(ob);
}

void paint_scroll_bar(Canvas& c, const RECT& r, const ScrollBarState& s, bool vertical, bool enabled) {
  BarGeometry g = geometry(r, s, vertical);
  c.fill_rect(r, get_sys_color_brush(color::scrollbar));
  RECT a1 = r, a2 = r;
  if (vertical) {
    a1.bottom = r.top + g.arrow;
    a2.top = r.bottom - g.arrow;
  } else {
    a1.right = r.left + g.arrow;
    a2.left = r.right - g.arrow;
  }
  bool active = enabled && g.thumb > 0;
  draw_arrow(c, a1, vertical ? 0 : 2, active);
  draw_arrow(c, a2, vertical ? 1 : 3, active);
  if (g.thumb > 0) {
    RECT t = r;
    if (vertical) {
      t.top = r.top + g.arrow + g.thumb_at;
      t.bottom = t.top + g.thumb;
    } else {
      t.left = r.left + g.arrow + g.thumb_at;
      t.right = t.left + g.thumb;
    }
    c.fill_rect(t, get_sys_color_brush(color::btn_face));
    c.draw_edge(t, bdr::raised, bf::rect);
  }
}

int scroll_bar_hit(const RECT& r, const ScrollBarState& s, bool vertical, POINT p) {
  if (!point_in_rect(r, p)) return 0;
  BarGeometry g = geometry(r, s, vertical);
  int at = vertical ? p.y - r.top : p.x - r.left;
  if (at < g.arrow) return 1;
  if (at >= g.length - g.arrow) return 2;
  if (g.thumb == 0) return 0;
  int t = at - g.arrow;
  if (t < g.thumb_at) return 3;
  if (t >= g.thumb_at + g.thumb) return 4;
  return 5;
}

int scroll_bar_thumb_pos(const RECT& r, const ScrollBarState& s, bool vertical, int coord) {
  BarGeometry g = geometry(r, s, vertical);
  if (g.thumb == 0 || g.track <= g.thumb) return s.pos;
  int at = coord - (vertical ? r.top : r.left) - g.arrow - s.drag_offset;
  at = std::clamp(at, 0, g.track - g.thumb);
  return static_cast<int>(s.min + (int64_t{at} * (g.max_pos - s.min) + (g.track - g.thumb) / 2) /
                                       (g.track - g.thumb));
}

int clamp_scroll_pos(const ScrollBarState& s, int pos) {
  const int64_t max_pos = std::max<int64_t>(max_scroll_pos(s), s.min);
  return static_cast<int>(std::clamp<int64_t>(pos, s.min, max_pos));
}

namespace {
RECT caption_rect(const WindowData* w) {
  int f = 2;
  return RECT{f, f, width_of(w->rect) - f, f + get_system_metrics(sm::cy_caption)};
}
RECT close_button_rect(const WindowData* w) {
  RECT c = caption_rect(w);
  int s = height_of(c) - 4;
  return RECT{c.right - s - 2, c.top + 2, c.right - 2, c.top + 2 + s};
}
bool has_close_button(const WindowData* w) {
  return (w->style & ws::caption) == ws::caption && (w->style & ws::sys_menu) && !w->full_screen;
}
RECT bar_rect(const WindowData* w, bool vertical) {
  RECT cl = client_rect_in_window(w);
  int t = scroll_bar_width();
  if (vertical) return RECT{cl.right, cl.top, cl.right + t, cl.bottom};
  return RECT{cl.left, cl.bottom, cl.right, cl.bottom + t};
}
}  // namespace

void paint_nonclient(WindowData* w) {
  if (!visible_chain(w)) return;
  auto c = open_screen_canvas(w, false, nullptr);
  RECT r{0, 0, width_of(w->rect), height_of(w->rect)};
  if ((w->style & ws::caption) == ws::caption || (w->style & ws::dialog_frame)) {
    c->draw_edge(r, bdr::raised, bf::rect);
    r = inflate_rect(r, -2, -2);
  } else if (w->style & ws::border) {
    c->frame_rect(r, get_sys_color_brush(color::window_frame));
    r = inflate_rect(r, -1, -1);
  }
  if (w->ex_style & ws_ex::client_edge) {
    c->draw_edge(r, bdr::sunken, bf::rect);
    r = inflate_rect(r, -2, -2);
  }
  if (w->ex_style & ws_ex::static_edge) {
    c->draw_edge(r, bdr::sunken_outer, bf::rect);
    r = inflate_rect(r, -1, -1);
  }
  if ((w->style & ws::caption) == ws::caption && !w->full_screen) {
    RECT cap = caption_rect(w);
    bool active = g_core->active == w->handle;
    c->fill_rect(cap, get_sys_color_brush(active ? color::active_caption : color::inactive_caption));
    LogFont lf = system_font().log_font();
    lf.weight = fw::bold;
    Font bold(lf);
    const Font* of = c->select_font(&bold);
    c->set_bk_mode(bk::transparent);
    c->set_text_color(get_sys_color(color::caption_text));
    RECT tr = cap;
    tr.left += 4;
    if (has_close_button(w)) tr.right = close_button_rect(w).left - 2;
    c->draw_text(w->text, tr, dt::left | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
    if (has_close_button(w)) {
      RECT b = close_button_rect(w);
      c->fill_rect(b, get_sys_color_brush(color::btn_face));
      c->draw_edge(b, bdr::raised, bf::rect);
      c->set_text_color(get_sys_color(color::btn_text));
      c->draw_text(u"\u00D7", b, dt::center | dt::vcenter | dt::single_line | dt::no_prefix);
    }
    c->select_font(of);
  }
  bool enabled = !(w->style & ws::disabled);
  if (w->vbar.shown) paint_scroll_bar(*c, bar_rect(w, true), w->vbar, true, enabled);
  if (w->hbar.shown) paint_scroll_bar(*c, bar_rect(w, false), w->hbar, false, enabled);
  if (w->vbar.shown && w->hbar.shown) {
    RECT v = bar_rect(w, true), h = bar_rect(w, false);
    c->fill_rect(RECT{v.left, h.top, v.right, h.bottom}, get_sys_color_brush(color::btn_face));
  }
}

// Non-client input: the close button and the window's scroll bars. `screen`
// is the stylus point; answers true when the point was the frame's.
bool nc_mouse(WindowData* w, UINT msg, POINT screen) {
  Core& c = *g_core;
  RECT s = screen_rect(w);
  POINT p{screen.x - s.left, screen.y - s.top};
  RECT client = client_rect_in_window(w);
  Hwnd h = w->handle;
  ScrollBarState* tracking = w->vbar.pressed_part ? &w->vbar : w->hbar.pressed_part ? &w->hbar : nullptr;
  if (tracking == nullptr && msg == wm::lbutton_down && point_in_rect(client, p)) return false;
  if (tracking == nullptr && msg != wm::lbutton_down) return false;

  auto send_scroll = [&](bool vertical, int code, int pos) {
    if (WindowData* d = lookup(h))
      call_window(d, vertical ? wm::vscroll : wm::hscroll, make_wparam(code, pos), 0);
  };
  if (tracking != nullptr) {
    bool vertical = tracking == &w->vbar;
    RECT br = bar_rect(w, vertical);
    if (tracking->tracking && (msg == wm::mouse_move || msg == wm::lbutton_up)) {
      tracking->track_pos = scroll_bar_thumb_pos(br, *tracking, vertical, vertical ? p.y : p.x);
      w->nc_dirty = true;
      send_scroll(vertical, msg == wm::mouse_move ? sb::thumb_track : sb::thumb_position, tracking->track_pos);
    }
    if (msg == wm::lbutton_up) {
      if ((w = lookup(h)) != nullptr) {
        ScrollBarState& st = vertical ? w->vbar : w->hbar;
        st.tracking = false;
        st.pressed_part = 0;
        w->nc_dirty = true;
      }
      if (c.capture == h) c.capture = Hwnd{};
      send_scroll(vertical, sb::end_scroll, 0);
    }
    return true;
  }
  // A press outside the client area.
  if (has_close_button(w) && point_in_rect(close_button_rect(w), p)) {
    post_message(h, wm::close, 0, 0);
    return true;
  }
  for (bool vertical : {true, false}) {
    ScrollBarState& st = vertical ? w->vbar : w->hbar;
    if (!st.shown) continue;
    RECT br = bar_rect(w, vertical);
    int part = scroll_bar_hit(br, st, vertical, p);
    if (part == 0) continue;
    st.pressed_part = part;
    c.capture = h;
    static constexpr int codes[] = {0, sb::line_up, sb::line_down, sb::page_up, sb::page_down};
    if (part == 5) {
      BarGeometry g = geometry(br, st, vertical);
      st.tracking = true;
      st.track_pos = st.pos;
      st.drag_offset = (vertical ? p.y - br.top : p.x - br.left) - g.arrow - g.thumb_at;
    } else {
      send_scroll(vertical, codes[part], 0);
    }
    return true;
  }
  return true;  // frame or caption: nothing more
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

namespace {
ScrollBarState* window_bar(WindowData* w, int bar) {
  if (bar == sb::vert) return &w->vbar;
  if (bar == sb::horz) return &w->hbar;
  return nullptr;
}

void apply_info(ScrollBarState& s, const ScrollInfo& info) {
  if (info.mask & sif::range) {
    s.min = info.min;
    s.max = info.max;
  }
  if (info.mask & sif::page) s.page = info.page;
  if (info.mask & sif::pos) s.pos = info.pos;
  s.pos = clamp_scroll_pos(s, s.pos);
}

void relayout_bars(WindowData* w, bool was_v, bool was_h) {
  if (was_v == w->vbar.shown && was_h == w->hbar.shown) return;
  RECT cl = client_rect_in_window(w);
  invalidate_all(w, true);
  call_window(w, wm::size, 0, make_lparam(width_of(cl), height_of(cl)));
}
}  // namespace

int set_scroll_info(Hwnd h, int bar, const ScrollInfo& info, bool redraw) {
  return on_ui([&]() -> int {
    WindowData* w = must(h);
    if (w == nullptr) return 0;
    if (bar == sb::ctl) {
      ScrollInfo copy = info;
      return static_cast<int>(call_window(w, sbm::set_scroll_info, redraw, reinterpret_cast<LPARAM>(&copy)));
    }
    ScrollBarState* s = window_bar(w, bar);
    if (s == nullptr) return 0;
    bool was_v = w->vbar.shown, was_h = w->hbar.shown;
    apply_info(*s, info);
    const int64_t span = int64_t{s->max} - s->min + 1;
    bool wanted = (bar == sb::vert ? (w->style & ws::vscroll) : (w->style & ws::hscroll)) != 0;
    if (wanted) s->shown = (info.mask & sif::disable_no_scroll) || span > int64_t{std::max<UINT>(s->page, 1)};
    if (redraw) w->nc_dirty = true;
    relayout_bars(w, was_v, was_h);
    return s->pos;
  });
}

bool get_scroll_info(Hwnd h, int bar, ScrollInfo& info) {
  WindowData* w = must(h);
  if (w == nullptr) return false;
  if (bar == sb::ctl) return call_window(w, sbm::get_scroll_info, 0, reinterpret_cast<LPARAM>(&info)) != 0;
  ScrollBarState* s = window_bar(w, bar);
  if (s == nullptr) return false;
  if (info.mask & sif::range) {
    info.min = s->min;
    info.max = s->max;
  }
  if (info.mask & sif::page) info.page = s->page;
  if (info.mask & sif::pos) info.pos = s->pos;
  if (info.mask & sif::track_pos) info.track_pos = s->tracking ? s->track_pos : s->pos;
  return true;
}

int set_scroll_pos(Hwnd h, int bar, int pos, bool redraw) {
  ScrollInfo info;
  info.mask = sif::pos;
  info.pos = pos;
  ScrollInfo old;
  old.mask = sif::pos;
  get_scroll_info(h, bar, old);
  set_scroll_info(h, bar, info, redraw);
  return old.pos;
}

int get_scroll_pos(Hwnd h, int bar) {
  ScrollInfo info;
  info.mask = sif::pos;
  return get_scroll_info(h, bar, info) ? info.pos : 0;
}

bool show_scroll_bar(Hwnd h, int bar, bool show) {
  WindowData* w = must(h);
  if (w == nullptr) return false;
  bool was_v = w->vbar.shown, was_h = w->hbar.shown;
  if (bar == sb::vert || bar == 3) w->vbar.shown = show;
  if (bar == sb::horz || bar == 3) w->hbar.shown = show;
  relayout_bars(w, was_v, was_h);
  return true;
}

}  // namespace kelda::ui
