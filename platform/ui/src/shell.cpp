// The emulated screen: desktop, task bar, input-panel button, metrics,
// full-screen windows and screen changes.
#include <algorithm>
#include <cstdio>

#include "core.h"
#include "platform/last_error.h"
#include "platform/time.h"

namespace kelda::ui::detail {
namespace {

class DesktopBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::erase_background) {
      auto* c = reinterpret_cast<Canvas*>(wp);
      c->fill_rect(client_area(&w), get_sys_color_brush(color::background));
      return 1;
    }
    return def_proc(w, msg, wp, lp);
  }
};

// The band along the top: the active window's caption and the time.
class TaskBarBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != wm::paint) return def_proc(w, msg, wp, lp);
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    c.fill_rect(r, Brush::solid(RGB(0, 0, 0)));
    LogFont lf = system_font().log_font();
    lf.weight = fw::bold;
    Font bold(lf);
    c.select_font(&bold);
    c.set_bk_mode(bk::transparent);
    c.set_text_color(RGB(255, 255, 255));
    std::u16string title;
    if (WindowData* a = lookup(g_core->active)) title = a->text;
    RECT tr = r;
    tr.left += scaled(6);
    tr.right -= scaled(44);
    c.draw_text(title, tr, dt::left | dt::vcenter | dt::single_line | dt::no_prefix | dt::end_ellipsis);
    SYSTEMTIME t = platform::local_time_now();
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02u:%02u", t.wHour % 24u, t.wMinute % 60u);
    RECT clock = r;
    clock.right -= scaled(4);
    c.draw_text(from_utf8(buf), clock, dt::right | dt::vcenter | dt::single_line);
    return 0;
  }
};

// The input-panel button: a small keyboard picture.
class SipButtonBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case wm::paint: {
        PaintSession ps(w.handle);
        Canvas& c = ps.canvas();
        RECT r = client_area(&w);
        c.fill_rect(r, get_sys_color_brush(color::btn_face));
        c.draw_edge(r, g_core->input_panel ? bdr::sunken : bdr::raised, bf::rect);
        RECT k = inflate_rect(r, -scaled(5), -scaled(6));
        c.frame_rect(k, black_brush());
        for (int x = k.left + scaled(3); x < k.right - 1; x += scaled(3))
          c.fill_rect(RECT{x, k.top + scaled(2), x + 1, k.top + scaled(3)}, black_brush());
        return 0;
      }
      case wm::lbutton_up:
        show_input_panel(!g_core->input_panel);
        return 0;
      default:
        return def_proc(w, msg, wp, lp);
    }
  }
};

Hwnd make_shell_window(std::u16string cls, DWORD ex_style, RECT r, bool visible) {
  CreateParams p;
  p.class_name = cls;
  p.style = ws::popup | (visible ? ws::visible : 0);
  p.ex_style = ex_style;
  p.rect = r;
  return create_window(p);
}

void place_full_screen(WindowData* w) {
  RECT r = g_core->screen.work_area;
  if (WindowData* bar = lookup(w->menu_bar)) r.bottom = std::min(r.bottom, bar->rect.top);
  move_window_impl(w, r, true);
}
}  // namespace

void create_shell_windows() {
  static bool registered = [] {
    register_behavior_class<DesktopBehavior>(u"Desktop");
    register_behavior_class<TaskBarBehavior>(u"HHTaskBar");
    register_behavior_class<SipButtonBehavior>(u"MS_SIPBUTTON");
    return true;
  }();
  (void)registered;
  Core& c = *g_core;
  const int w = c.screen.width, h = c.screen.height, bar = scaled(26);
  c.desktop = make_shell_window(u"Desktop", 0, RECT{0, 0, w, h}, true);
  if (WindowData* d = lookup(c.desktop)) {
    // The desktop stays at the bottom.
    auto& tl = c.top_levels;
    tl.erase(std::remove(tl.begin(), tl.end(), d), tl.end());
    tl.push_back(d);
  }
  c.task_bar = make_shell_window(u"HHTaskBar", ws_ex::topmost, RECT{0, 0, w, bar}, true);
  c.sip_button = make_shell_window(u"MS_SIPBUTTON", ws_ex::topmost,
                                   RECT{w / 2 - scaled(18), h - bar, w / 2 + scaled(18), h}, false);
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

ScreenInfo screen_info() { return g_core ? g_core->screen : ScreenInfo{}; }
double scale_x() { return screen_info().dpi_x / 96.0; }
double scale_y() { return screen_info().dpi_y / 96.0; }

bool is_vga_screen() {
  ScreenInfo s = screen_info();
  return (s.width >= 640 && s.height >= 480) || (s.width >= 480 && s.height >= 640);
}

int device_caps(int index) {
  ScreenInfo s = screen_info();
  switch (index) {
    case caps::horz_res: return s.width;
    case caps::vert_res: return s.height;
    case caps::logpixels_x: return s.dpi_x;
    case caps::logpixels_y: return s.dpi_y;
    default: return 0;
  }
}

int get_system_metrics(int index) {
  ScreenInfo s = screen_info();
  switch (index) {
    case sm::cx_screen: return s.width;
    case sm::cy_screen: return s.height;
    case sm::cx_vscroll:
    case sm::cy_hscroll: return scaled(13);
    case sm::cy_caption: return scaled(18);
    case sm::cx_border:
    case sm::cy_border: return 1;
    case sm::cx_dialog_frame:
    case sm::cy_dialog_frame: return 2;
    case sm::cx_icon:
    case sm::cy_icon: return scaled(32);
    case sm::cy_menu: return scaled(26);
    case sm::cx_double_click:
    case sm::cy_double_click: return scaled(8);
    case sm::cx_edge:
    case sm::cy_edge: return 2;
    case sm::cx_small_icon:
    case sm::cy_small_icon: return scaled(16);
    default: return 0;
  }
}

bool set_screen_size(int width, int height) {
  return on_ui([&] {
    Core& c = *g_core;
    if (width < 100 || height < 100 || width > 4096 || height > 4096) {
      set_last_error(platform::error::invalid_parameter);
      return false;
    }
    c.screen.width = width;
    c.screen.height = height;
    c.screen.work_area = RECT{0, scaled(26), width, height};
    c.backend->screen_resized(width, height);
    const int bar = scaled(26);
    if (WindowData* d = lookup(c.desktop)) move_window_impl(d, RECT{0, 0, width, height}, true);
    if (WindowData* t = lookup(c.task_bar)) move_window_impl(t, RECT{0, 0, width, bar}, true);
    if (WindowData* s = lookup(c.sip_button))
      move_window_impl(s, RECT{width / 2 - scaled(18), height - bar, width / 2 + scaled(18), height}, true);
    std::vector<Hwnd> tops = top_level_windows();
    // Menu bars first (full-screen windows end where their bar begins).
    for (Hwnd h : tops) {
      WindowData* w = lookup(h);
      if (w != nullptr && equal_ignore_case(w->class_name, u"MenuBar"))
        move_window_impl(w, RECT{0, height - bar, width, height}, true);
    }
    for (Hwnd h : tops)
      if (WindowData* w = lookup(h); w != nullptr && w->full_screen) place_full_screen(w);
    for (Hwnd h : tops)
      if (WindowData* w = lookup(h)) call_window(w, wm::setting_change, 0, 0);
    if (WindowData* d = lookup(c.desktop)) invalidate_all(d, true);
    expose_screen(RECT{0, 0, width, height});
    return true;
  });
}

Hwnd desktop_window() { return g_core ? g_core->desktop : Hwnd{}; }

bool make_full_screen(Hwnd top_level) {
  return on_ui([&] {
    WindowData* w = must(top_level);
    if (w == nullptr || w->parent != nullptr) return false;
    w->full_screen = true;
    place_full_screen(w);
    return true;
  });
}

void show_input_panel(bool show) {
  if (!g_core) return;
  g_core->input_panel = show;
  if (WindowData* s = lookup(g_core->sip_button)) invalidate(s, nullptr, true);
}

bool input_panel_shown() { return g_core && g_core->input_panel; }

int set_cursor(int cursor) {
  if (!g_core) return 0;
  int old = g_core->cursor_shape;
  g_core->cursor_shape = cursor;
  return old;
}
int current_cursor() { return g_core ? g_core->cursor_shape : 0; }
Hwnd sip_button() { return g_core ? g_core->sip_button : Hwnd{}; }

bool parse_screen_size(std::string_view text, ScreenConfig& out) {
  size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos || x == 0 || x + 1 >= text.size()) return false;
  auto num = [](std::string_view s, int& v) {
    if (s.empty() || s.size() > 5) return false;
    v = 0;
    for (char ch : s) {
      if (ch < '0' || ch > '9') return false;
      v = v * 10 + (ch - '0');
    }
    return v >= 100 && v <= 4096;
  };
  int w = 0, h = 0;
  if (!num(text.substr(0, x), w) || !num(text.substr(x + 1), h)) return false;
  out.width = w;
  out.height = h;
  out.dpi = 0;
  return true;
}

}  // namespace kelda::ui
