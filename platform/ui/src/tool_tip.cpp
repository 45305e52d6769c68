// The tool-bar tip window: a topmost popup with one line of text.
#include "tool_tip.h"

#include <algorithm>

#include "core.h"

namespace kelda::ui::detail {
namespace {

class ToolTipBehavior final : public Behavior {
 public:
  LRESULT handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != wm::paint) return def_proc(w, msg, wp, lp);
    PaintSession ps(w.handle);
    Canvas& c = ps.canvas();
    RECT r = client_area(&w);
    c.fill_rect(r, get_sys_color_brush(color::info_bk));
    c.frame_rect(r, black_brush());
    c.select_font(&system_font());
    c.set_bk_mode(bk::transparent);
    c.set_text_color(get_sys_color(color::info_text));
    c.draw_text(w.text, r, dt::center | dt::vcenter | dt::single_line | dt::no_prefix);
    return 0;
  }
};

Hwnd g_tip;

}  // namespace

Hwnd show_tool_tip(std::u16string_view text, RECT anchor) {
  static bool registered = [] {
    register_behavior_class<ToolTipBehavior>(u"ToolBarTip");
    return true;
  }();
  (void)registered;
  hide_tool_tip();
  const int pad = scaled(3);
  const int width = font_engine().text_width(system_font(), text) + 2 * pad;
  const int height = font_engine().metrics(system_font()).height + 2 * pad;
  const ScreenInfo s = screen_info();
  int x = std::clamp(static_cast<int>(anchor.left), 0, std::max(0, s.width - width));
  int y = anchor.top - height - 1;
  if (y < 0) y = anchor.bottom + 1;
  CreateParams p;
  p.class_name = u"ToolBarTip";
  p.text = text;
  p.style = ws::popup;
  p.ex_style = ws_ex::topmost | ws_ex::tool_window;
  p.rect = RECT{x, y, x + width, y + height};
  g_tip = create_window(p);
  if (g_tip) show_window(g_tip, sw::show_na);  // the owner stays active
  return g_tip;
}

void hide_tool_tip() {
  Hwnd tip = g_tip;
  g_tip = Hwnd{};
  if (tip && is_window(tip)) destroy_window(tip);
}

Hwnd current_tool_tip() { return g_tip && is_window(g_tip) ? g_tip : Hwnd{}; }

}  // namespace kelda::ui::detail
