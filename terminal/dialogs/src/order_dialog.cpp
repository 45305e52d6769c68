// The order-entry dialog: its lists, direction, enabling, prefill, stepping,
// keypad and the "Макс" figure. Sending lives in order_send.cpp.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/text_log.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

constexpr COLORREF kRed = 0x000000FF;
constexpr COLORREF kGreen = 0x0000C800;

// The edits whose text change re-evaluates the enabling.
constexpr int kWatchedEdits[] = {order_id::price,  order_id::quantity, order_id::stop_price,
                                 order_id::linked_price, order_id::offset, order_id::spread};

struct SpinPair {
  int spin;
  int edit;
  bool whole;  // steps by whole units
};
constexpr SpinPair kSpins[] = {{order_id::price_spin, order_id::price, false},
                               {order_id::stop_price_spin, order_id::stop_price, false},
                               {order_id::spread_spin, order_id::spread, false},
                               {order_id::linked_spin, order_id::linked_price, false},
                               {order_id::offset_spin, order_id::offset, false},
                               {order_id::quantity_spin, order_id::quantity, true}};

DataFeedManager* data() { return manager(); }

}  // namespace

OrderDlg::OrderDlg() : ui::Dialog("", kOrderDialogId) {
  set_orientation_templates(kOrderDialogId, kOrderDialogLandscapeId);
  red_ = std::make_unique<ui::Brush>(ui::Brush::solid(kRed));
  green_ = std::make_unique<ui::Brush>(ui::Brush::solid(kGreen));
}

OrderDlg::~OrderDlg() = default;

bool OrderDlg::on_init_dialog() {
  if (DataFeedManager* m = data()) m->input_panel_button = true;
  defer_sip_button_update(hwnd());
  return true;
}

std::u16string OrderDlg::text(int id) const { return ui::get_window_text(item(id)); }

void OrderDlg::set_text(int id, std::string_view text8) const { ui::set_window_text(item(id), to_wide(text8)); }

void OrderDlg::set_check(int id, bool on) const { ui::check_dlg_button(hwnd(), id, on ? 1 : 0); }

ClassRecord* OrderDlg::selected_class() const {
  const ui::ComboBoxControl c{item(order_id::class_list)};
  const int at = c.cur_sel();
  return at < 0 ? nullptr : reinterpret_cast<ClassRecord*>(c.item_data(at));
}

SecurityRecord* OrderDlg::selected_security() const {
  const ui::ComboBoxControl c{item(order_id::security)};
  const int at = c.cur_sel();
  return at < 0 ? nullptr : reinterpret_cast<SecurityRecord*>(c.item_data(at));
}

const KelapiTrdAccountRecord* OrderDlg::selected_account() const {
  const ui::ComboBoxControl c{item(order_id::account)};
  const int at = c.cur_sel();
  return at < 0 ? nullptr : reinterpret_cast<const KelapiTrdAccountRecord*>(c.item_data(at));
}

void OrderDlg::initialise() {
  const ui::ComboBoxControl classes{item(order_id::class_list)};
  if (DataFeedManager* m = data()) {
    for (const auto& [code, cls] : m->tables().classes) {
      const int at = classes.add(to_wide(field_text(cls->record.name)));
      classes.set_item_data(at, reinterpret_cast<LPARAM>(cls.get()));
    }
  }
  if (classes.count() > 0) classes.set_cur_sel(0);
  class_selected();
  refresh_clients();
  const ui::ComboBoxControl clients{item(order_id::client)};
  if (clients.count() > 0 && clients.cur_sel() < 0) clients.set_cur_sel(0);
  set_check(direction_ == 0 ? order_id::buy : order_id::sell, true);
  set_check(direction_ == 0 ? order_id::sell : order_id::buy, false);
  set_check(order_id::stop, stop_);
  set_date(0);
  update_enabling();
  ui::set_timer(hwnd(), kMarginTimer, kMarginPeriodMs);
  recompute_max();
}

void OrderDlg::add_class(ClassRecord& cls) {
  const ui::ComboBoxControl classes{item(order_id::class_list)};
  for (int i = 0; i < classes.count(); ++i) {
    if (reinterpret_cast<ClassRecord*>(classes.item_data(i)) == &cls) return;
  }
  const int at = classes.add(to_wide(field_text(cls.record.name)));
  classes.set_item_data(at, reinterpret_cast<LPARAM>(&cls));
  if (classes.count() > 0 && classes.cur_sel() < 0) {
    classes.set_cur_sel(0);
    class_selected();
  }
}

bool OrderDlg::add_account(const KelapiTrdAccountRecord& account) {
  const ClassRecord* cls = selected_class();
  if (cls == nullptr || field_text(account.code2) != field_text(cls->record.code2)) return false;
  const ui::ComboBoxControl accounts{item(order_id::account)};
  for (int i = 0; i < accounts.count(); ++i) {
    if (reinterpret_cast<const KelapiTrdAccountRecord*>(accounts.item_data(i)) == &account) return true;
  }
  const int at = accounts.add(to_wide(field_text(account.code)));
  accounts.set_item_data(at, reinterpret_cast<LPARAM>(&account));
  if (accounts.count() > 0 && accounts.cur_sel() < 0) {
    accounts.set_cur_sel(0);
    update_enabling();
  }
  return true;
}

void OrderDlg::clear_lists() {
  ui::ComboBoxControl{item(order_id::class_list)}.reset();
  ui::ComboBoxControl{item(order_id::security)}.reset();
  ui::ComboBoxControl{item(order_id::account)}.reset();
  class_id_ = -1;
  decimals_ = 0;
  update_enabling();
}

void OrderDlg::class_selected() {
  const ui::ComboBoxControl securities{item(order_id::security)};
  const ui::ComboBoxControl accounts{item(order_id::account)};
  ClassRecord* cls = selected_class();
  if (cls == nullptr) {
    securities.reset();
    accounts.reset();
    decimals_ = 0;
    class_id_ = -1;
    update_enabling();
    return;
  }
  if (static_cast<int32_t>(cls->record.class_number) == class_id_) return;
  class_id_ = static_cast<int32_t>(cls->record.class_number);
  const bool by_security = prefilling_ && (prefill_.flags & prefill::security) != 0;
  const bool by_account = prefilling_ && (prefill_.flags & prefill::account) != 0;
  securities.reset();
  for (const auto& [code, sec] : cls->securities) {
    const int at = securities.add(to_wide(field_text(sec->record.name)));
    securities.set_item_data(at, reinterpret_cast<LPARAM>(sec.get()));
  }
  if (by_security) {
    // The prefill's security, or none when no code matches.
    securities.set_cur_sel(-1);
    for (int i = 0; i < securities.count(); ++i) {
      const auto* sec = reinterpret_cast<const SecurityRecord*>(securities.item_data(i));
      if (field_text(sec->record.code) == field_text(prefill_.security_code)) securities.set_cur_sel(i);
    }
  } else if (securities.cur_sel() < 0 && securities.count() > 0) {
    securities.set_cur_sel(0);
  }
  security_selected();
  accounts.reset();
  if (DataFeedManager* m = data()) {
    for (const auto& account : m->tables().accounts) {
      if (field_text(account->code2) != field_text(cls->record.code2)) continue;
      const int at = accounts.add(to_wide(field_text(account->code)));
      accounts.set_item_data(at, reinterpret_cast<LPARAM>(account.get()));
    }
  }
  if (by_account) {
    accounts.set_cur_sel(-1);
    for (int i = 0; i < accounts.count(); ++i) {
      const auto* a = reinterpret_cast<const KelapiTrdAccountRecord*>(accounts.item_data(i));
      if (field_text(a->code) == field_text(prefill_.account)) accounts.set_cur_sel(i);
    }
  } else if (accounts.cur_sel() < 0 && accounts.count() > 0) {
    accounts.set_cur_sel(0);
  }
  update_enabling();
}

void OrderDlg::security_selected() {
  const SecurityRecord* sec = selected_security();
  decimals_ = sec == nullptr ? 0 : std::clamp<int>(sec->record.scale, 0, 10);
}

void OrderDlg::set_direction(int direction) {
  direction_ = direction;
  set_check(order_id::buy, direction == 0);
  set_check(order_id::sell, direction != 0);
  ui::invalidate_rect(item(order_id::buy), nullptr, true);
  ui::invalidate_rect(item(order_id::sell), nullptr, true);
}

void OrderDlg::set_date(int32_t yyyymmdd) const {
  if (yyyymmdd == 0) {
    uint32_t date = 0;
    if (DataFeedManager* m = data(); m != nullptr && m->client().get_trade_date(&date) == KELAPI_OK) {
      yyyymmdd = static_cast<int32_t>(date);
    }
  }
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(yyyymmdd / 10000);
  st.wMonth = static_cast<WORD>(yyyymmdd / 100 % 100);
  st.wDay = static_cast<WORD>(yyyymmdd % 100);
  if (st.wYear < 1601 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wDay > 31) return;
  ui::DatePickerControl{item(order_id::expiry_date)}.set_date(st);
}

int32_t OrderDlg::date_value() const {
  const std::optional<SYSTEMTIME> st = ui::DatePickerControl{item(order_id::expiry_date)}.date();
  if (!st) return -1;
  return (static_cast<int32_t>(st->wYear) * 100 + st->wMonth) * 100 + st->wDay;
}

void OrderDlg::update_enabling() {
  if (direction_changed_) {
    condition_ = direction_ != 0 ? 1 : 0;
    direction_changed_ = false;
  }
  ui::set_window_text(item(order_id::condition), condition_ == 0 ? u">=" : u"<=");
  auto filled = [this](int id) { return !text(id).empty(); };
  const bool tp = stop_ && take_profit_;
  bool ok = selected_class() != nullptr && selected_security() != nullptr && selected_account() != nullptr &&
            filled(order_id::quantity) && (tp || filled(order_id::price));
  if (stop_) {
    ok = ok && filled(order_id::stop_price) && (!linked_ || filled(order_id::linked_price)) &&
         (!take_profit_ || (filled(order_id::offset) && filled(order_id::spread)));
  }
  ui::enable_window(item(ui::id::ok), ok);
  const auto enable = [this](std::initializer_list<int> ids, bool on) {
    for (const int id : ids) ui::enable_window(item(id), on);
  };
  enable({order_id::condition}, stop_ && !linked_ && !take_profit_);
  enable({order_id::condition_label, order_id::stop_price, order_id::stop_price_spin, order_id::linked,
          order_id::take_profit},
         stop_);
  enable({order_id::expiry}, stop_ && !linked_);
  enable({order_id::expiry_date}, stop_ && !linked_ && expiry_);
  enable({order_id::linked_price, order_id::linked_spin}, stop_ && linked_);
  enable({order_id::offset, order_id::offset_spin, order_id::spread, order_id::spread_spin, order_id::offset_label,
          order_id::spread_label},
         tp);
  enable({order_id::price, order_id::price_spin}, !tp);
}

void OrderDlg::on_stop_click(int id) {
  switch (id) {
    case order_id::stop:
      stop_ = !stop_;
      set_check(order_id::stop, stop_);
      break;
    case order_id::linked:
      linked_ = !linked_;
      set_check(order_id::linked, linked_);
      take_profit_ = false;
      expiry_ = false;
      set_check(order_id::take_profit, false);
      set_check(order_id::expiry, false);
      direction_changed_ = true;
      break;
    case order_id::take_profit:
      take_profit_ = !take_profit_;
      set_check(order_id::take_profit, take_profit_);
      linked_ = false;
      set_check(order_id::linked, false);
      direction_changed_ = true;
      break;
    case order_id::expiry:
      expiry_ = !expiry_;
      set_check(order_id::expiry, expiry_);
      break;
    case order_id::condition:
      // Only the state and the label: the next re-evaluation keeps it.
      condition_ = condition_ == 0 ? 1 : 0;
      ui::set_window_text(item(order_id::condition), condition_ == 0 ? u">=" : u"<=");
      return;
    default:
      return;
  }
  update_enabling();
}

void OrderDlg::step(int spin_id, int delta) {
  for (const SpinPair& s : kSpins) {
    if (s.spin != spin_id) continue;
    const std::string now = to_narrow(text(s.edit));
    set_text(s.edit, step_number(now, delta, s.whole ? 0 : decimals_));
    return;
  }
}

void OrderDlg::refresh_clients() {
  const ui::ComboBoxControl clients{item(order_id::client)};
  const std::u16string remembered = text(order_id::client);
  clients.reset();
  if (DataFeedManager* m = data()) {
    for (int i = 0; i < m->margin().row_count(); ++i) {
      if (const MargoMarginalRow* row = m->margin().row(i)) {
        const int at = clients.add(to_wide(field_text(row->clientCode)));
        if (to_wide(field_text(row->clientCode)) == remembered) clients.set_cur_sel(at);
      }
    }
  }
  if (clients.count() > 0 && clients.cur_sel() < 0 && remembered.empty()) {
    clients.set_cur_sel(0);
  } else if (clients.cur_sel() < 0) {
    ui::set_window_text(item(order_id::client), remembered);
  }
  recompute_max();
}

void OrderDlg::recompute_max() {
  auto show = [this](const std::u16string& figure) {
    if (text(order_id::max) != figure) ui::set_window_text(item(order_id::max), figure);
  };
  DataFeedManager* m = data();
  const ClassRecord* cls = selected_class();
  const SecurityRecord* sec = selected_security();
  double price = 0;
  if (m == nullptr || cls == nullptr || sec == nullptr || field_text(cls->record.code2).empty() ||
      !parse_number_w(text(order_id::price), price) || price <= 0) {
    return show(u"0");
  }
  const std::string client = margin_client_code(to_narrow(text(order_id::client)), cls->record.flags);
  const int index = m->margin().find_row(std::string(field_text(cls->record.code2)), client);
  MargoMarginalRow* row = m->margin().row(index);
  if (row == nullptr || row->binding == 0 || !MargoCalcMarginalRow(row)) return show(u"0");
  MargoActivity activity{};
  activity.size = 48;
  activity.classId = static_cast<int32_t>(cls->record.class_number);
  activity.securityId = static_cast<int32_t>(sec->record.security_number);
  if (activity.classId == -1 || activity.securityId == -1 || !MargoInitMarginalActv(row, &activity) ||
      !MargoCalcMarginalActv(row, &activity, price)) {
    return show(u"0");
  }
  char figure[16];
  std::snprintf(figure, sizeof figure, "%d", direction_ != 0 ? activity.sellQuantity : activity.buyQuantity);
  show(to_wide(figure));
}

void OrderDlg::apply_prefill(const OrderPrefill& record) {
  prefill_ = record;
  prefilling_ = true;
  const uint32_t f = record.flags;
  const ui::ComboBoxControl classes{item(order_id::class_list)};
  if ((f & prefill::class_code) != 0) {
    for (int i = 0; i < classes.count(); ++i) {
      const auto* cls = reinterpret_cast<const ClassRecord*>(classes.item_data(i));
      if (field_text(cls->record.code) == field_text(record.class_code)) {
        classes.set_cur_sel(i);
        break;
      }
    }
  } else {
    classes.set_cur_sel(-1);
  }
  class_id_ = -1;
  class_selected();
  if ((f & prefill::price) != 0) set_text(order_id::price, field_text(record.price));
  if ((f & prefill::quantity) != 0) set_text(order_id::quantity, field_text(record.quantity));
  stop_ = (f & prefill::stop) != 0;
  if (stop_) set_text(order_id::stop_price, field_text(record.stop_price));
  else if ((f & prefill::price) != 0) set_text(order_id::stop_price, field_text(record.price));
  set_check(order_id::stop, stop_);
  if (stop_) {
    linked_ = (f & prefill::linked) != 0;
    take_profit_ = (f & prefill::take_profit) != 0;
    expiry_ = (f & prefill::expiry) != 0;
    if (linked_) set_text(order_id::linked_price, field_text(record.linked_price));
    if (take_profit_) {
      set_text(order_id::offset, field_text(record.offset));
      set_text(order_id::spread, field_text(record.spread));
    }
    if (expiry_) set_date(record.expiry_date);
    set_check(order_id::linked, linked_);
    set_check(order_id::take_profit, take_profit_);
    set_check(order_id::expiry, expiry_);
  } else {
    set_text(order_id::linked_price, "");
    set_text(order_id::offset, "");
    set_text(order_id::spread, "");
    set_date(0);
  }
  if ((f & prefill::direction) != 0) set_direction(record.buy == 0 ? 1 : 0);
  if ((f & prefill::client) != 0) set_text(order_id::client, field_text(record.client_code));
  prefilling_ = false;
  update_enabling();
}

bool OrderDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  switch (id) {
    case order_id::class_list:
      if (code == ui::cbn::sel_change) class_selected();
      return true;
    case order_id::security:
      if (code == ui::cbn::sel_change) {
        security_selected();
        update_enabling();
      }
      return true;
    case order_id::account:
      if (code == ui::cbn::sel_change || code == ui::cbn::edit_change) update_enabling();
      return true;
    case order_id::buy:
    case order_id::sell:
      if (code != ui::bn::clicked) return true;
      set_direction(id == order_id::buy ? 0 : 1);
      direction_changed_ = true;
      update_enabling();
      recompute_max();
      return true;
    case order_id::stop:
    case order_id::linked:
    case order_id::take_profit:
    case order_id::expiry:
    case order_id::condition:
      if (code == ui::bn::clicked) on_stop_click(static_cast<int>(id));
      return true;
    case order_id::max:
      if (code == ui::bn::clicked) ui::set_window_text(item(order_id::quantity), text(order_id::max));
      return true;
    default:
      break;
  }
  if (code == ui::en::change && std::find(std::begin(kWatchedEdits), std::end(kWatchedEdits), static_cast<int>(id)) !=
                                    std::end(kWatchedEdits)) {
    update_enabling();
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

bool OrderDlg::on_notify(ui::NotifyHeader& header, LRESULT& result) {
  if (header.code == ui::udn::delta_pos) {
    step(static_cast<int>(header.id_from), reinterpret_cast<const ui::UpDownNotify&>(header).delta);
    result = 1;  // the edit is written here, not by the up-down
    return true;
  }
  return ui::Dialog::on_notify(header, result);
}

void OrderDlg::on_ok() { send_order(); }

// A child dialog is never closed by Escape: the window closes it.
void OrderDlg::on_cancel() {}

void OrderDlg::rebuild_keypad() {
  DataFeedManager* m = data();
  MainView* view = m != nullptr ? m->view() : nullptr;
  if (view == nullptr) {
    keys_.clear();
    return;
  }
  const RECT v = ui::get_window_rect(view->hwnd());
  int anchor = v.bottom;
  if (const ui::Hwnd bar = ui::find_menu_bar(m->frame())) anchor = std::min<int>(anchor, ui::get_window_rect(bar).top);
  keys_ = layout_keypad(v.right, anchor, ui::scale_x(), ui::scale_y());
}

void OrderDlg::paint_keypad() {
  ui::PaintSession paint(hwnd());
  ui::Canvas& c = paint.canvas();
  const ui::Brush black = ui::Brush::solid(0);
  const ui::Brush white = ui::Brush::solid(0x00FFFFFF);
  if (DataFeedManager* m = data(); m != nullptr && m->table_font() != nullptr) c.select_font(m->table_font());
  c.set_bk_mode(ui::bk::transparent);
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const KeypadKey& k = keys_[i];
    const bool pressed = static_cast<int>(i) == pressed_;
    RECT r = k.rect;
    c.fill_rect(r, pressed ? black : white);
    c.frame_rect(r, black);
    c.set_text_color(pressed ? 0x00FFFFFF : 0);
    c.draw_text(to_wide(field_text(k.label)), r, ui::dt::center | ui::dt::vcenter | ui::dt::single_line);
  }
}

void OrderDlg::stylus(bool down, POINT p) {
  int hit = -1;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    const RECT& r = keys_[i].rect;
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) hit = static_cast<int>(i);
  }
  if (down) {
    if (hit < 0) return;
    pressed_ = hit;
  } else {
    if (hit >= 0 && hit == pressed_) {
      const ui::Hwnd focus = ui::get_focus();
      const int32_t code = keys_[static_cast<std::size_t>(hit)].code;
      if (code == -1) {
        ui::send_message(focus, ui::wm::key_down, ui::vk::del, 0);
        ui::send_message(focus, ui::wm::key_up, ui::vk::del, 0);
      } else {
        ui::send_message(focus, ui::wm::character, static_cast<WPARAM>(code), 0);
      }
    }
    pressed_ = -1;
  }
  ui::invalidate_rect(hwnd(), nullptr, false);
}

LRESULT OrderDlg::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::ctl_color_static:
    case ui::wm::ctl_color_button: {
      const ui::Hwnd control{static_cast<uintptr_t>(lparam)};
      const bool buy = control == item(order_id::buy) && direction_ == 0;
      const bool sell = control == item(order_id::sell) && direction_ != 0;
      if (buy || sell) {
        reinterpret_cast<ui::Canvas*>(wparam)->set_bk_mode(ui::bk::transparent);
        return reinterpret_cast<LRESULT>(buy ? green_.get() : red_.get());
      }
      break;
    }
    case ui::wm::paint:
      paint_keypad();
      return 0;
    case ui::wm::lbutton_down:
    case ui::wm::lbutton_up:
      stylus(msg == ui::wm::lbutton_down,
             POINT{static_cast<int16_t>(ui::lo_word(static_cast<uintptr_t>(lparam))),
                   static_cast<int16_t>(ui::hi_word(static_cast<uintptr_t>(lparam)))});
      return 0;
    case ui::wm::timer:
      if (wparam == kMarginTimer) {
        recompute_max();
        return 0;
      }
      break;
    case ui::wm::size: {
      rebuild_keypad();
      break;
    }
    case ui::wm::set_focus:
      if (DataFeedManager* m = data()) m->input_panel_button = true;
      show_sip_button();
      break;
    case ui::wm::destroy:
      ui::kill_timer(hwnd(), kMarginTimer);
      break;
    default:
      break;
  }
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

}  // namespace kelda::terminal
