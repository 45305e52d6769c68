// The order window: its dialog's templates, the window that hosts the
// dialog, and its registration with the opener of prefilled orders.
#include <mutex>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;
constexpr DWORD tab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD edit = tab | ui::ws::border | ui::es::auto_hscroll;
constexpr DWORD spin = visible | ui::uds::align_right | ui::uds::arrow_keys;
constexpr DWORD check = tab | ui::bs::check_box;

// The same controls in both layouts. Portrait: the order block over the
// whole width at the top, the stop-order block below it, clear of the
// keypad's corner at the bottom right (its top row starts about 115 units
// down, its left edge 112 units across).
ui::DialogTemplate portrait_order_template() {
  ui::DialogTemplate tpl;
  tpl.style = ui::ws::child | ui::ds::control;
  tpl.cx = 160;
  tpl.cy = 128;
  const DWORD list = tab | ui::ws::vscroll | ui::cbs::drop_down_list | ui::cbs::sort;
  const DWORD combo = tab | ui::ws::vscroll | ui::cbs::drop_down | ui::cbs::sort | ui::cbs::auto_hscroll;
  const int sy = 66;  // stop block
  tpl.items = {
      {cls::combo_box, u"", order_id::class_list, list, 2, 2, 76, 80},
      {cls::combo_box, u"", order_id::security, list, 80, 2, 78, 80},
      {cls::combo_box, u"", order_id::account, combo, 2, 14, 76, 80},
      {cls::combo_box, u"", order_id::client, combo, 80, 14, 78, 80},
      {cls::static_, u"Цена", ui::id::static_text, visible, 2, 30, 26, 10},
      {cls::edit, u"", order_id::price, edit, 30, 28, 50, 11},
      {cls::up_down, u"", order_id::price_spin, spin, 80, 28, 8, 11},
      {cls::button, u"0", order_id::max, tab, 92, 28, 30, 11},
      {cls::static_, u"Кол-во", ui::id::static_text, visible, 2, 42, 26, 10},
      {cls::edit, u"", order_id::quantity, edit, 30, 40, 50, 11},
      {cls::up_down, u"", order_id::quantity_spin, spin, 80, 40, 8, 11},
      {cls::button, u"Покупка", order_id::buy, tab | ui::bs::radio_button | ui::ws::group, 2, 52, 44, 11},
      {cls::button, u"Продажа", order_id::sell, tab | ui::bs::radio_button, 48, 52, 46, 11},
      {cls::button, u"Подать заявку", ui::id::ok, tab | ui::bs::def_push_button, 96, 51, 62, 13},
      {cls::button, u"Стоп-заявка", order_id::stop, check, 2, sy, 56, 12},
      {cls::static_, u"цена >=", order_id::condition_label, visible, 60, sy + 2, 32, 10},
      {cls::button, u">=", order_id::condition, tab, 94, sy, 16, 12},
      {cls::edit, u"", order_id::stop_price, edit, 2, sy + 12, 44, 12},
      {cls::up_down, u"", order_id::stop_price_spin, spin, 46, sy + 12, 8, 12},
      {cls::button, u"Срок", order_id::expiry, check, 58, sy + 12, 32, 12},
      {cls::date_picker, u"", order_id::expiry_date, tab | ui::dts::up_down, 2, sy + 24, 56, 12},
      {cls::button, u"Take-Profit", order_id::take_profit, check, 60, sy + 24, 50, 12},
      {cls::button, u"Со связ. заявк. по цене", order_id::linked, check, 2, sy + 36, 92, 12},
      {cls::edit, u"", order_id::linked_price, edit, 96, sy + 36, 40, 12},
      {cls::up_down, u"", order_id::linked_spin, spin, 136, sy + 36, 8, 12},
      {cls::static_, u"Отступ:", order_id::offset_label, visible, 2, sy + 50, 28, 10},
      {cls::edit, u"", order_id::offset, edit, 30, sy + 48, 24, 12},
      {cls::up_down, u"", order_id::offset_spin, spin, 54, sy + 48, 6, 12},
      {cls::static_, u"Спрэд:", order_id::spread_label, visible, 62, sy + 50, 24, 10},
      {cls::edit, u"", order_id::spread, edit, 86, sy + 48, 20, 12},
      {cls::up_down, u"", order_id::spread_spin, spin, 106, sy + 48, 6, 12},
  };
  return tpl;
}

// Landscape: the order block at the left, the stop order's own fields at the
// right above the keypad (its top row starts about 66 units down, its left
// edge 165 units across), the linked order under the order block.
ui::DialogTemplate landscape_order_template() {
  ui::DialogTemplate tpl;
  tpl.style = ui::ws::child | ui::ds::control;
  tpl.cx = 212;
  tpl.cy = 92;
  const DWORD list = tab | ui::ws::vscroll | ui::cbs::drop_down_list | ui::cbs::sort;
  const DWORD combo = tab | ui::ws::vscroll | ui::cbs::drop_down | ui::cbs::sort | ui::cbs::auto_hscroll;
  const int sx = 108;  // stop block
  tpl.items = {
      {cls::combo_box, u"", order_id::class_list, list, 2, 2, 44, 80},
      {cls::combo_box, u"", order_id::security, list, 48, 2, 56, 80},
      {cls::combo_box, u"", order_id::account, combo, 2, 14, 44, 80},
      {cls::combo_box, u"", order_id::client, combo, 48, 14, 56, 80},
      {cls::static_, u"Цена", ui::id::static_text, visible, 2, 30, 26, 10},
      {cls::edit, u"", order_id::price, edit, 30, 28, 40, 11},
      {cls::up_down, u"", order_id::price_spin, spin, 70, 28, 8, 11},
      {cls::button, u"0", order_id::max, tab, 80, 28, 24, 11},
      {cls::static_, u"Кол-во", ui::id::static_text, visible, 2, 42, 26, 10},
      {cls::edit, u"", order_id::quantity, edit, 30, 40, 40, 11},
      {cls::up_down, u"", order_id::quantity_spin, spin, 70, 40, 8, 11},
      {cls::button, u"Покупка", order_id::buy, tab | ui::bs::radio_button | ui::ws::group, 2, 52, 44, 11},
      {cls::button, u"Продажа", order_id::sell, tab | ui::bs::radio_button, 48, 52, 46, 11},
      {cls::button, u"Подать заявку", ui::id::ok, tab | ui::bs::def_push_button, 2, 64, 70, 12},
      {cls::button, u"Стоп-заявка", order_id::stop, check, sx, 2, 56, 12},
      {cls::static_, u"цена >=", order_id::condition_label, visible, sx + 58, 4, 30, 10},
      {cls::button, u">=", order_id::condition, tab, sx + 88, 2, 16, 12},
      {cls::edit, u"", order_id::stop_price, edit, sx, 14, 44, 12},
      {cls::up_down, u"", order_id::stop_price_spin, spin, sx + 44, 14, 8, 12},
      {cls::button, u"Срок", order_id::expiry, check, sx + 56, 14, 32, 12},
      {cls::date_picker, u"", order_id::expiry_date, tab | ui::dts::up_down, sx, 26, 52, 12},
      {cls::button, u"Take-Profit", order_id::take_profit, check, sx + 54, 26, 50, 12},
      {cls::button, u"Со связ. заявк. по цене", order_id::linked, check, 2, 78, 92, 12},
      {cls::edit, u"", order_id::linked_price, edit, 96, 78, 40, 12},
      {cls::up_down, u"", order_id::linked_spin, spin, 136, 78, 8, 12},
      {cls::static_, u"Отступ:", order_id::offset_label, visible, sx, 40, 28, 10},
      {cls::edit, u"", order_id::offset, edit, sx + 28, 38, 20, 12},
      {cls::up_down, u"", order_id::offset_spin, spin, sx + 48, 38, 6, 12},
      {cls::static_, u"Спрэд:", order_id::spread_label, visible, sx + 56, 40, 24, 10},
      {cls::edit, u"", order_id::spread, edit, sx + 80, 38, 18, 12},
      {cls::up_down, u"", order_id::spread_spin, spin, sx + 98, 38, 6, 12},
  };
  return tpl;
}

ui::DialogTemplate order_template(bool landscape) {
  return landscape ? landscape_order_template() : portrait_order_template();
}

OrderEntryWnd* find_order_window(MainView& view) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (auto* w = dynamic_cast<OrderEntryWnd*>(view.slot(i))) return w;
  }
  return nullptr;
}

}  // namespace

OrderEntryWnd::OrderEntryWnd() : TerminalWindow(kind::order_entry) {}

OrderEntryWnd::~OrderEntryWnd() = default;

void OrderEntryWnd::prefill(const OrderPrefill& record) { dialog_.apply_prefill(record); }

void OrderEntryWnd::on_margin_row(const std::string&, const std::string&, bool) { dialog_.refresh_clients(); }

LRESULT OrderEntryWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  DataFeedManager* m = manager();
  switch (msg) {
    case ui::wm::create: {
      const LRESULT r = TerminalWindow::window_proc(msg, wparam, lparam);
      if (r == -1 || !dialog_.create_modeless(hwnd())) return -1;
      const RECT rc = client_rect();
      ui::move_window(dialog_.hwnd(), 0, 0, rc.right, rc.bottom);
      ui::show_window(dialog_.hwnd(), ui::sw::show);
      dialog_.initialise();
      if (m != nullptr) m->input_panel_button = true;
      defer_sip_button_update(hwnd());
      // The arrows belong to the order fields while the window is open.
      if (MainView* view = m != nullptr ? m->view() : nullptr) view->hold_arrow_hot_keys();
      return r;
    }
    case ui::wm::destroy:
      if (MainView* view = m != nullptr ? m->view() : nullptr) view->return_arrow_hot_keys();
      break;
    case ui::wm::size:
      if (dialog_.hwnd()) ui::move_window(dialog_.hwnd(), 0, 0, ui::lo_word(static_cast<uintptr_t>(lparam)),
                                          ui::hi_word(static_cast<uintptr_t>(lparam)));
      return 0;
    case ui::wm::set_focus:
      if (m != nullptr) m->input_panel_button = true;
      show_sip_button();
      return 0;
    case UM_MATCHROW:
      if (auto* cls = reinterpret_cast<ClassRecord*>(wparam)) dialog_.add_class(*cls);
      return 0;
    case UM_CLEAR:
      dialog_.clear_lists();
      return 0;
    case UM_ORDERDATA: {
      const auto* account = reinterpret_cast<const KelapiTrdAccountRecord*>(wparam);
      return account != nullptr && dialog_.add_account(*account) ? 1 : 0;
    }
    default:
      break;
  }
  return TerminalWindow::window_proc(msg, wparam, lparam);
}

void register_order_window() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::register_dialog_template("", kOrderDialogId, order_template(false));
    ui::register_dialog_template("", kOrderDialogLandscapeId, order_template(true));
  });
  register_window_kind({kind::order_entry, cmd::new_order, true, cp1251("Новая заявка"), {},
                        [] { return std::make_unique<OrderEntryWnd>(); }});
  set_order_window_opener([](const OrderPrefill& record) {
    DataFeedManager* m = manager();
    MainView* view = m != nullptr ? m->view() : nullptr;
    if (view == nullptr || view->create_window_for_command(cmd::new_order) < 0) return false;
    OrderEntryWnd* w = find_order_window(*view);
    if (w == nullptr) return false;
    w->prefill(record);
    return true;
  });
}

}  // namespace kelda::terminal
