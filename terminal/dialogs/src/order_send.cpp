// Sending from the order-entry dialog: every typed number checked first,
// the user's confirmation, then the client library's call; a refused call
// shows the library's text.
#include <cstdio>

#include "terminal/data_feed_manager.h"
#include "terminal/text_log.h"
#include "terminal_dialogs/order_entry.h"
#include "ui/controls.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

constexpr uint32_t kPlainOrderOptions = 0x10E;  // limit, "S", condition and time letters
constexpr uint32_t kStopOrderKind = 8192;
constexpr int kMaxDigits = 9;

// printf into a wide text with every argument 8-bit (code page 1251).
template <typename... Args>
std::u16string confirmation(const char* utf8_format, const Args&... args) {
  const std::string format = cp1251(utf8_format);
  const int n = std::snprintf(nullptr, 0, format.c_str(), args.c_str()...);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, format.c_str(), args.c_str()...);
  return to_wide(out);
}

bool confirmed(ui::Hwnd owner, const std::u16string& question) {
  return ui::message_box(owner, question, u"Подтверждение", ui::mb::yes_no | ui::mb::icon_question) == ui::id::yes;
}

}  // namespace

bool OrderDlg::check_field(int id, int decimals, std::u16string_view name) {
  if (check_number(text(id), decimals, name, kMaxDigits)) return true;
  const ui::Hwnd edit = item(id);
  ui::set_focus(edit);
  ui::EditControl{edit}.set_sel(0, -1);
  return false;
}

// A client code holding "|" or "=" would add fields of its own to the
// transaction text: it is refused like a bad number.
bool OrderDlg::check_client_code() {
  const std::u16string code = text(order_id::client);
  if (code.find_first_of(u"|=") == std::u16string::npos) return true;
  ui::message_box(hwnd(), u"Неверное значение в поле \"Код\"", u"Код", ui::mb::ok | ui::mb::icon_error);
  ui::set_focus(item(order_id::client));
  return false;
}

void OrderDlg::show_client_error(uint32_t result) {
  char description[1024] = {};
  if (DataFeedManager* m = manager()) m->client().get_error_desc(description, result);
  ui::message_box(hwnd(), to_wide(field_text(description)), u"Ошибка", ui::mb::ok | ui::mb::icon_error);
}

void OrderDlg::send_order() {
  ClassRecord* cls = selected_class();
  SecurityRecord* sec = selected_security();
  const KelapiTrdAccountRecord* account = selected_account();
  if (cls == nullptr || sec == nullptr || account == nullptr) return;
  if (stop_) send_stop(*cls, *sec, *account);
  else send_plain(*cls, *sec, *account);
}

void OrderDlg::send_plain(ClassRecord& cls, SecurityRecord& sec, const KelapiTrdAccountRecord& account) {
  if (!check_field(order_id::price, decimals_, u"Цена") || !check_field(order_id::quantity, 0, u"Кол-во") ||
      !check_client_code()) {
    return;
  }
  const std::string client = to_narrow(text(order_id::client));
  const std::string price = to_narrow(text(order_id::price));
  const std::string quantity = to_narrow(text(order_id::quantity));
  const std::string class_name(field_text(cls.record.name)), sec_name(field_text(sec.record.name));
  const std::string account_code(field_text(account.code));
  const std::string side = cp1251(direction_ == 0 ? "ПОКУПКА" : "ПРОДАЖА");
  if (!confirmed(hwnd(), confirmation("Подать заявку с параметрами: класс [%s], бумага [%s], счет [%s], [%s], "
                                      "цена [%s], кол-во [%s], клиент [%s]?",
                                      class_name, sec_name, account_code, side, price, quantity, client))) {
    return;
  }
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  const std::string class_code(field_text(cls.record.code)), sec_code(field_text(sec.record.code));
  const uint32_t result =
      m->client().do_transaction_new_order(1, class_code.c_str(), sec_code.c_str(), account_code.c_str(), price.c_str(),
                                           quantity.c_str(), client.c_str(),
                                           kPlainOrderOptions + (direction_ == 0 ? 1 : 0));
  if (result != KELAPI_OK) show_client_error(result);
}

void OrderDlg::send_stop(ClassRecord& cls, SecurityRecord& sec, const KelapiTrdAccountRecord& account) {
  if ((!take_profit_ && !check_field(order_id::price, decimals_, u"Цена")) ||
      !check_field(order_id::quantity, 0, u"Кол-во") || !check_field(order_id::stop_price, decimals_, u"Стоп-цена") ||
      (linked_ && !check_field(order_id::linked_price, decimals_, u"Цена связанной заявки")) ||
      (take_profit_ &&
       (!check_field(order_id::offset, decimals_, u"Отступ") || !check_field(order_id::spread, decimals_, u"Спрэд"))) ||
      !check_client_code()) {
    return;
  }
  StopOrderFields f;
  f.buy = direction_ == 0;
  f.kind = stop_order_kind(linked_, take_profit_, f.buy, condition_);
  f.expiry = expiry_ ? date_value() : -1;
  f.account = std::string(field_text(account.code));
  f.class_code = std::string(field_text(cls.record.code));
  f.security_code = std::string(field_text(sec.record.code));
  f.stop_price = to_narrow(text(order_id::stop_price));
  f.price = to_narrow(text(order_id::price));
  f.quantity = to_narrow(text(order_id::quantity));
  f.client_code = to_narrow(text(order_id::client));
  f.linked_price = to_narrow(text(order_id::linked_price));
  f.offset = to_narrow(text(order_id::offset));
  f.spread = to_narrow(text(order_id::spread));

  const std::string class_name(field_text(cls.record.name)), sec_name(field_text(sec.record.name));
  const std::string side = cp1251(f.buy ? "ПОКУПКА" : "ПРОДАЖА");
  const std::string term = f.expiry == -1 ? cp1251("СЕГОДНЯ") : format_date_ymd(f.expiry);
  std::u16string question;
  switch (f.kind) {
    case 1:
      question = confirmation("Подать стоп-заявку с параметрами: класс [%s], бумага [%s], счет [%s], [%s], цена [%s], "
                              "кол-во [%s], стоп-цена [%s], клиент [%s], срок [%s]?",
                              class_name, sec_name, f.account, side, f.price, f.quantity, f.stop_price, f.client_code,
                              term);
      break;
    case 2:
      question = confirmation("Подать стоп-заявку с параметрами: класс [%s], бумага [%s], счет [%s], [%s], "
                              "кол-во [%s], стоп-цена [%s], с условием [%s], клиент [%s], срок [%s]?",
                              class_name, sec_name, f.account, side, f.quantity, f.stop_price,
                              std::string(f.buy ? "<=" : ">="), f.client_code, term);
      break;
    case 3:
      question = confirmation("Подать стоп-заявку со связанной заявкой с параметрами: класс [%s], бумага [%s], "
                              "счет [%s], [%s], цена [%s], кол-во [%s], стоп-цена [%s], цена связ. заявки [%s], "
                              "клиент [%s], срок [%s]?",
                              class_name, sec_name, f.account, side, f.price, f.quantity, f.stop_price,
                              f.linked_price, f.client_code, term);
      break;
    default:
      question = confirmation("Подать Take-Profit стоп-заявку с параметрами: класс [%s], бумага [%s], счет [%s], "
                              "[%s], кол-во [%s], стоп-цена [%s], отступ [%s], спрэд [%s], клиент [%s], срок [%s]?",
                              class_name, sec_name, f.account, side, f.quantity, f.stop_price, f.offset, f.spread,
                              f.client_code, term);
      break;
  }
  if (!confirmed(hwnd(), question)) return;
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  const std::string body = stop_order_text(f);
  const uint32_t result = m->client().do_transaction_ex(2, f.class_code.c_str(), kStopOrderKind, body.c_str());
  if (result != KELAPI_OK) show_client_error(result);
}

}  // namespace kelda::terminal
