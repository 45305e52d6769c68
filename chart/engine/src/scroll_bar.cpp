// The scroll bar of the time axis and of the price axes.
#include <algorithm>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "ui/controls.h"
#include "ui/screen.h"

namespace kelda::chart {

int32_t scrollBarThickness() { return 2 * ui::get_system_metrics(ui::sm::cy_hscroll) / 3 + 2; }

bool CMyScrollBar::create(ui::Hwnd parent, DWORD style, const RECT& rect, UINT id) {
  ui::CreateParams p;
  p.class_name = ui::class_name::scroll_bar;
  p.style = ui::ws::child | style;
  p.rect = rect;
  p.parent = parent;
  p.id = id;
  return Window::create(p);
}

void CMyScrollBar::onScroll(int32_t code) {
  ui::ScrollInfo info;
  info.mask = ui::sif::all;
  if (!ui::get_scroll_info(hwnd(), ui::sb::ctl, info)) return;
  const int page = static_cast<int>(info.page);
  const int limit = std::max(info.max - std::max(page - 1, 0), info.min);
  int pos = info.pos;
  switch (code) {
    case ui::sb::line_up:
      pos = std::max(static_cast<int>(pos - lineStep_), info.min);
      break;
    case ui::sb::line_down:
      pos = std::min(static_cast<int>(pos + lineStep_), limit);
      break;
    case ui::sb::page_up:
      if (pos > info.min) pos = std::max(pos - page, info.min);
      break;
    case ui::sb::page_down:
      if (pos < limit) pos = std::min(pos + page, limit);
      break;
    case ui::sb::thumb_position:
    case ui::sb::thumb_track:
      pos = info.track_pos;
      break;
    case ui::sb::top:
      pos = info.min;
      break;
    case ui::sb::bottom:
      pos = limit;
      break;
    case ui::sb::end_scroll:
      // The picture follows the scroll bar when the scroll ends.
      if (CChartWnd* window = chart_->window()) window->invalidateBackBuffer();
      return;
    default:
      break;
  }
  ui::set_scroll_pos(hwnd(), ui::sb::ctl, pos, true);
}

LRESULT CMyScrollBar::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::reflect_base + ui::wm::hscroll || msg == ui::wm::reflect_base + ui::wm::vscroll) {
    onScroll(static_cast<int32_t>(wparam & 0xFFFF));
    return 0;
  }
  return default_proc(msg, wparam, lparam);
}

}  // namespace kelda::chart
