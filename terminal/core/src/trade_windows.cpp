// The trades, orders and stop-orders windows.
#include "terminal/trade_windows.h"

#include <cstdio>

#include "terminal/data_feed_manager.h"
#include "terminal/table_cells.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

constexpr COLORREF kActiveColor = 0x0000FF;
constexpr COLORREF kCancelledColor = 0x000000;
constexpr COLORREF kFilledColor = 0xFF0000;
constexpr uint32_t kActive = 0x1;
constexpr uint32_t kCancelled = 0x2;
constexpr uint32_t kSell = 0x4;
constexpr uint32_t kPercentOffset = 0x8;
constexpr uint32_t kPercentSpread = 0x10;
constexpr uint32_t kNoExpiry = 0x20;

// A Russian literal as 8-bit text, converted once.
#define KELDA_TEXT(name, utf8)                  \
  const std::string& name() {                   \
    static const std::string text = cp1251(utf8); \
    return text;                                \
  }
KELDA_TEXT(sell_text, "Продажа")
KELDA_TEXT(buy_text, "Покупка")
KELDA_TEXT(active_text, "Активна")
KELDA_TEXT(cancelled_text, "Снята")
KELDA_TEXT(filled_text, "Исполнена")
KELDA_TEXT(till_cancelled_text, "До отмены")
#undef KELDA_TEXT

const std::string& direction(bool sell) { return sell ? sell_text() : buy_text(); }

const std::string& state_text(uint32_t flags) {
  return (flags & kActive) != 0 ? active_text() : (flags & kCancelled) != 0 ? cancelled_text() : filled_text();
}

struct Instrument {
  const ClassRecord* cls = nullptr;
  const SecurityRecord* sec = nullptr;
  explicit operator bool() const { return cls != nullptr && sec != nullptr; }
};

Instrument instrument(uint32_t class_number, uint32_t security_number) {
  Instrument i;
  if (DataFeedManager* m = manager()) {
    i.cls = m->tables().find_class(class_number);
    i.sec = i.cls != nullptr ? i.cls->find_security(security_number) : nullptr;
  }
  return i;
}

const char* stop_kind_text(int32_t kind) {
  switch (kind) {
    case 1: return "Limit";
    case 2: return "OtherSec";
    case 3: return "WithOrder";
    case 6: return "TakeProfit";
    case 7: return "Limit on Order";
    case 8: return "TakeProfit on Order";
    default: return "Unknown";
  }
}

// What trades and orders hand the order window: instrument, account, client,
// price, quantity and direction.
bool plain_prefill(uint32_t class_number, uint32_t security_number, std::string_view account,
                   std::string_view client, double price, int64_t quantity, bool buy, OrderPrefill& out) {
  const Instrument in = instrument(class_number, security_number);
  if (!in) return false;
  out.set_class(in.cls->code());
  out.set_security(field_text(in.sec->record.code));
  out.set_account(account);
  out.set_client(client);
  out.set_price(price, price_decimals(*in.sec));
  out.set_quantity(quantity);
  out.set_direction(buy);
  out.flags = 0xEF;
  return true;
}

}  // namespace

// ---- trades ----

TradesWnd::TradesWnd()
    : TableWnd(kind::trades, {column(1, false, "N Сделки"), column(2, false, "Время"), column(3, false, "Бумага"),
                              column(4, false, "Операция"), column(5, true, "Цена"), column(6, true, "Кол-во"),
                              column(7, true, "Объем"), column(8, false, "Счет"),
                              column(9, false, "Комментарий")}) {}

void TradesWnd::on_trade(const KelapiTradeRecord& trade) {
  if (!instrument(trade.class_number, trade.security_number)) return;
  append_row(reinterpret_cast<LPARAM>(&trade));
}

std::string TradesWnd::cell_text(LPARAM record, int code) const {
  const auto& t = *reinterpret_cast<const KelapiTradeRecord*>(record);
  const Instrument in = instrument(t.class_number, t.security_number);
  if (!in) return {};
  switch (code) {
    case 1: return cell_number(t.trade_number);
    case 2: return cell_time(t.time);
    case 3: return cell_security(*in.cls, *in.sec);
    case 4: return direction(t.sell != 0);
    case 5: return cell_real(t.price, price_decimals(*in.sec));
    case 6: return cell_integer(t.quantity);
    case 7: return cell_real(t.value, 2);
    case 8: return std::string(field_text(t.account));
    case 9: return std::string(field_text(t.comment));
    default: return {};
  }
}

void TradesWnd::refill() {
  if (DataFeedManager* m = manager()) {
    for (const auto& t : m->tables().trades) on_trade(*t);
  }
}

void TradesWnd::on_double_tap() {
  const LPARAM record = selected_record();
  if (record == 0) return;
  const auto& t = *reinterpret_cast<const KelapiTradeRecord*>(record);
  OrderPrefill p;
  if (plain_prefill(t.class_number, t.security_number, field_text(t.account), field_text(t.comment), t.price,
                    t.quantity, t.sell == 0, p)) {
    open_order_window(p);
  }
}

LRESULT TradesWnd::on_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == UM_CLASSNAME) {
    rebuild_columns(nullptr);
    return 1;
  }
  return TableWnd::on_message(msg, wparam, lparam);
}

// ---- orders and stop orders ----

void OrderRowsWnd::add_or_update(LPARAM record) {
  const RowKey key = key_of(record);
  if (!instrument(key.class_number, key.security_number)) return;
  const auto it = row_of_.find(key.id);
  const bool existed = it != row_of_.end();
  int row = -1;
  if (existed) {
    row = it->second;
    set_row_cells(row, record);
  } else {
    row = append_row(record);
    if (row < 0) return;
    row_of_.emplace(key.id, row);
  }
  list().ensure_visible(row);
  if (beeps() && existed && (key.flags & (kActive | kCancelled)) == 0) ui::message_beep(ui::mb::icon_exclamation);
}

void OrderRowsWnd::clear_rows() {
  row_of_.clear();
  TableWnd::clear_rows();
}

COLORREF OrderRowsWnd::row_color(LPARAM record) const {
  if (record == 0) return ui::kDefaultColor;
  const uint32_t flags = key_of(record).flags;
  return (flags & kActive) != 0 ? kActiveColor : (flags & kCancelled) != 0 ? kCancelledColor : kFilledColor;
}

void OrderRowsWnd::add_menu_entries(ui::Hmenu menu) {
  const DataFeedManager* m = manager();
  const LPARAM record = selected_record();
  const bool can_kill =
      m != nullptr && m->connected() && m->started() && record != 0 && (key_of(record).flags & kActive) != 0;
  ui::append_menu(menu, ui::mf::string | (can_kill ? 0 : ui::mf::grayed), kKillOrderCommand,
                  to_wide(cp1251(kill_entry())));
}

void OrderRowsWnd::on_menu_command(UINT command) {
  if (command != kKillOrderCommand) return;
  const LPARAM record = selected_record();
  DataFeedManager* m = manager();
  if (record == 0 || m == nullptr) return;
  const RowKey key = key_of(record);
  const ClassRecord* cls = m->tables().find_class(key.class_number);
  if (cls == nullptr) return;
  const std::string number = cell_number(key.number);
  char question[256];
  std::snprintf(question, sizeof question, cp1251(kill_prompt()).c_str(), number.c_str());
  if (ui::message_box(hwnd(), to_wide(question), u"Подтверждение", ui::mb::yes_no | ui::mb::icon_question) !=
      ui::id::yes) {
    return;
  }
  const KelapiResult result = kill(cls->code().c_str(), number.c_str());
  if (result == 0) return;
  char error[1024] = {};
  m->client().get_error_desc(error, result);
  error[sizeof error - 1] = '\0';
  ui::message_box(hwnd(), to_wide(error), u"Ошибка", ui::mb::ok | ui::mb::icon_error);
}

void OrderRowsWnd::on_double_tap() {
  const LPARAM record = selected_record();
  OrderPrefill p;
  if (record != 0 && prefill_of(record, p)) open_order_window(p);
}

LRESULT OrderRowsWnd::on_message(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == UM_CLASSNAME) {
    rebuild_columns(nullptr);
    return 1;
  }
  return TableWnd::on_message(msg, wparam, lparam);
}

OrdersWnd::OrdersWnd()
    : OrderRowsWnd(kind::orders, {column(1, false, "N Заявки"), column(2, false, "Время"), column(3, false, "Бумага"),
                                  column(4, false, "Операция"), column(5, true, "Цена"), column(6, true, "Кол-во"),
                                  column(7, true, "Остаток"), column(8, true, "Объем"), column(9, false, "Счет"),
                                  column(10, false, "Комментарий"), column(11, false, "Состояние")}) {}

OrderRowsWnd::RowKey OrdersWnd::key_of(LPARAM record) const {
  const auto& o = *reinterpret_cast<const KelapiOrderRecord*>(record);
  return {o.row_number, o.flags, o.class_number, o.security_number, o.order_number};
}

std::string OrdersWnd::cell_text(LPARAM record, int code) const {
  const auto& o = *reinterpret_cast<const KelapiOrderRecord*>(record);
  const Instrument in = instrument(o.class_number, o.security_number);
  if (!in) return {};
  switch (code) {
    case 1: return cell_number(o.order_number);
    case 2: return cell_time(o.time);
    case 3: return cell_security(*in.cls, *in.sec);
    case 4: return direction((o.flags & kSell) != 0);
    case 5: return cell_real(o.price, price_decimals(*in.sec));
    case 6: return cell_integer(o.quantity);
    case 7: return cell_integer(o.balance);
    case 8: return cell_real(o.value, 2);
    case 9: return std::string(field_text(o.account));
    case 10: return std::string(field_text(o.comment));
    case 11: return state_text(o.flags);
    default: return {};
  }
}

void OrdersWnd::refill() {
  refill_from_start();
  if (DataFeedManager* m = manager()) {
    for (const auto& o : m->tables().orders) on_order(*o);
  }
}

KelapiResult OrdersWnd::kill(const char* class_code, const char* number) const {
  DataFeedManager* m = manager();
  return m != nullptr ? m->client().kill_order(class_code, number) : KELAPI_OK;
}

bool OrdersWnd::prefill_of(LPARAM record, OrderPrefill& out) const {
  const auto& o = *reinterpret_cast<const KelapiOrderRecord*>(record);
  return plain_prefill(o.class_number, o.security_number, field_text(o.account), field_text(o.comment), o.price,
                       o.quantity, (o.flags & kSell) == 0, out);
}

StopOrdersWnd::StopOrdersWnd()
    : OrderRowsWnd(kind::stop_orders,
                   {column(1, false, "N Стоп-заявки"), column(2, false, "Время"), column(18, false, "Тип"),
                    column(3, false, "Бумага"), column(4, false, "Операция"), column(5, true, "Цена усл."),
                    column(6, true, "Цена"), column(7, true, "Кол-во"), column(12, true, "Остаток"),
                    column(13, true, "Исполн. кол-во"), column(8, false, "Счет"), column(9, false, "Комментарий"),
                    column(10, false, "N Заявки"), column(15, true, "Цена связ. заявки"),
                    column(14, false, "N Связ. заявки"), column(16, true, "Отступ"), column(17, true, "Спрэд"),
                    column(11, false, "Состояние"), column(19, false, "Срок")}) {}

OrderRowsWnd::RowKey StopOrdersWnd::key_of(LPARAM record) const {
  const auto& s = *reinterpret_cast<const KelapiStopOrderRecord*>(record);
  return {s.row_number, s.flags, s.class_number, s.security_number, s.stop_order_number};
}

std::string StopOrdersWnd::cell_text(LPARAM record, int code) const {
  const auto& s = *reinterpret_cast<const KelapiStopOrderRecord*>(record);
  const Instrument in = instrument(s.class_number, s.security_number);
  if (!in) return {};
  const int decimals = price_decimals(*in.sec);
  switch (code) {
    case 1: return cell_number(s.stop_order_number);
    case 2: return cell_time(s.time);
    case 3: return cell_security(*in.cls, *in.sec);
    case 4: return direction((s.flags & kSell) != 0);
    case 5: return cell_real(s.stop_price, decimals);
    case 6: return cell_real(s.price, decimals);
    case 7: return cell_integer(s.quantity);
    case 8: return std::string(field_text(s.account));
    case 9: return std::string(field_text(s.comment));
    case 10: return cell_number(s.placed_order);
    case 11: return state_text(s.flags);
    case 12: return cell_integer(s.balance);
    case 13: return cell_integer(s.filled);
    case 14: return s.kind == 3 ? cell_number(s.linked_order) : std::string();
    case 15: return s.kind == 3 ? cell_real(s.linked_price, decimals) : std::string();
    case 16:
      return s.kind == 6 ? cell_real(s.offset, decimals) + ((s.options & kPercentOffset) != 0 ? "%" : "")
                         : std::string();
    case 17:
      return s.kind == 6 ? cell_real(s.spread, decimals) + ((s.options & kPercentSpread) != 0 ? "%" : "")
                         : std::string();
    case 18: return stop_kind_text(s.kind);
    case 19: return s.expiry_date != 0 ? cell_date(s.expiry_date) : till_cancelled_text();
    default: return {};
  }
}

void StopOrdersWnd::refill() {
  refill_from_start();
  if (DataFeedManager* m = manager()) {
    for (const auto& s : m->tables().stop_orders) on_stop_order(*s);
  }
}

bool StopOrdersWnd::prefill_of(LPARAM record, OrderPrefill& out) const {
  const auto& s = *reinterpret_cast<const KelapiStopOrderRecord*>(record);
  if (!plain_prefill(s.class_number, s.security_number, field_text(s.account), field_text(s.comment), s.price,
                     s.quantity, (s.flags & kSell) == 0, out)) {
    return false;
  }
  const int decimals = price_decimals(*instrument(s.class_number, s.security_number).sec);
  out.set_stop_price(s.stop_price, decimals);
  out.flags = 0xFF;
  if (s.kind == 3) {
    out.flags |= prefill::linked;
    format_prefill_number(out.linked_price, sizeof out.linked_price, s.linked_price, decimals);
  } else if (s.kind == 6) {
    out.flags |= prefill::take_profit;
    format_prefill_number(out.offset, sizeof out.offset, s.offset, decimals);
    format_prefill_number(out.spread, sizeof out.spread, s.spread, decimals);
  }
  if ((s.options & kNoExpiry) == 0) {
    out.flags |= prefill::expiry;
    out.expiry_date = s.expiry_date;
  }
  return true;
}

KelapiResult StopOrdersWnd::kill(const char* class_code, const char* number) const {
  DataFeedManager* m = manager();
  return m != nullptr ? m->client().kill_stop_order(class_code, number) : KELAPI_OK;
}

}  // namespace kelda::terminal
