// The tool tip of a tapped bar.
#include <algorithm>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "ui/screen.h"

namespace kelda::chart {

namespace {
constexpr std::u16string_view kClassName = u"KeldaChartToolTip";
constexpr COLORREF kBackground = 0xE6FFFF;
}  // namespace

CToolTipWnd::CToolTipWnd(CChart& chart) : chart_(&chart) {
  fontDescription_.height = -11;
  fontDescription_.weight = 400;
  fontDescription_.charset = 204;
  fontDescription_.out_precision = 1;
  fontDescription_.clip_precision = 2;
  fontDescription_.quality = 1;
  fontDescription_.pitch_and_family = 0x22;
  constexpr std::u16string_view face = u"MS Sans Serif";
  std::copy(face.begin(), face.end(), fontDescription_.face_name);
}

bool CToolTipWnd::create(ui::Hwnd parent) {
  if (!ui::is_class_registered(kClassName)) {
    ui::WindowClass cls;
    cls.name = std::u16string(kClassName);
    ui::register_class(std::move(cls));
  }
  ui::CreateParams p;
  p.class_name = kClassName;
  p.text = u"ToolTip Window";
  p.style = ui::ws::popup | ui::ws::border;
  p.ex_style = ui::ws_ex::tool_window;
  p.parent = parent;
  return Window::create(p);
}

bool CToolTipWnd::show(const char16_t* text, POINT point, bool show) {
  if (!show) {
    const bool visible = ui::is_window_visible(hwnd());
    if (visible) {
      ui::show_window(hwnd(), ui::sw::hide);
      chart_->invalidate(true);
    }
    return visible;
  }
  const ui::Hwnd parent = ui::get_parent(hwnd());
  const POINT screen = ui::client_to_screen(parent, point);
  text_ = text != nullptr ? std::u16string(text) : std::u16string();
  RECT measured{0, 0, 0, 0};
  {
    std::unique_ptr<ui::Canvas> canvas = ui::get_dc(hwnd());
    const ui::Font own(fontDescription_);
    const ChartView& view = chart_->view();
    if (canvas != nullptr) {
      const ui::Font* old = canvas->select_font(view.objectsMade ? &view.font : &own);
      canvas->draw_text(text_, measured, ui::dt::calc_rect);
      canvas->select_font(old);
    }
  }
  const int w = ui::get_system_metrics(ui::sm::cx_border) + measured.right + 3;
  const int h = ui::get_system_metrics(ui::sm::cy_border) + measured.bottom + 1;
  const RECT bounds = ui::get_window_rect(parent);
  int x = screen.x;
  int y = screen.y;
  if (x + w > bounds.right) x = bounds.right - w;
  if (y + h > bounds.bottom) y = bounds.bottom - h;
  ui::move_window(hwnd(), x, y, w, h, true);
  ui::show_window(hwnd(), ui::sw::show);
  ui::invalidate_rect(hwnd(), nullptr, true);
  return true;
}

void CToolTipWnd::onPaint() {
  ui::PaintSession paint(hwnd());
  ui::Canvas& canvas = paint.canvas();
  RECT r = client_rect();
  canvas.fill_rect(r, ui::Brush::solid(kBackground));
  r.left += 1;
  const ui::Font own(fontDescription_);
  const ChartView& view = chart_->view();
  const ui::Font* old = canvas.select_font(view.objectsMade ? &view.font : &own);
  const int mode = canvas.set_bk_mode(ui::bk::transparent);
  canvas.draw_text(text_, r, 0);
  canvas.set_bk_mode(mode);
  canvas.select_font(old);
}

LRESULT CToolTipWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::paint) {
    onPaint();
    return 0;
  }
  return default_proc(msg, wparam, lparam);
}

}  // namespace kelda::chart
