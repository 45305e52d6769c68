// The market windows' registration and the helpers they share.
#include "terminal/market_windows.h"

#include "terminal/data_feed_manager.h"
#include "ui/controls.h"

namespace kelda::terminal {

void register_quotes_window();
void register_data_window();
void register_news_window();
void register_portfolio_window();

void register_market_windows() {
  register_quotes_window();
  register_data_window();
  register_news_window();
  register_portfolio_window();
}

WPARAM table_font_handle() {
  const DataFeedManager* m = manager();
  const ui::Font* font = m != nullptr ? m->table_font() : nullptr;
  return font != nullptr ? font->handle() : 0;
}

void apply_font(ui::Hwnd control, WPARAM font_object) {
  const auto* font = reinterpret_cast<const ui::Font*>(font_object);
  ui::send_message(control, ui::wm::set_font, font != nullptr ? font->handle() : 0, 1);
}

LRESULT MarketWindow::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg != ui::wm::create) return TerminalWindow::window_proc(msg, wparam, lparam);
  const LRESULT r = default_proc(msg, wparam, lparam);
  if (r != -1) on_create();
  return r;
}

ui::Hwnd create_report_list(ui::Hwnd parent, UINT id, DWORD extra_style) {
  ui::CreateParams p;
  p.class_name = ui::class_name::list_view;
  p.style = ui::ws::child | ui::ws::visible | ui::lvs::report | extra_style;
  p.parent = parent;
  p.id = id;
  const ui::Hwnd list = ui::create_window(p);
  ui::send_message(list, ui::wm::set_font, table_font_handle(), 0);
  ui::ListViewControl{list}.set_extended_style(ui::lvs_ex::full_row_select, ui::lvs_ex::full_row_select);
  return list;
}

}  // namespace kelda::terminal
