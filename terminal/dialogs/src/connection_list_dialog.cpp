// The connection-list dialogs.
#include "terminal_dialogs/connection_list_dialog.h"

#include <cstdlib>
#include <mutex>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;

// Field lengths, terminators excluded.
constexpr int kDescriptionMax = 63;
constexpr int kAddressMax = 29;
constexpr int kPortMax = 19;
constexpr int kKeyMax = 19;

bool parse_whole_int(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return *end == '\0';
}

bool valid_address(const std::string& address) {
  int parts = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = address.find('.', start);
    const std::string part = address.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    long v = 0;
    if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos || part.size() > 3 ||
        !parse_whole_int(part, v) || v > 255) {
      return false;
    }
    ++parts;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

std::u16string field_message(std::u16string_view field) {
  return u"Неверное значение в поле \"" + std::u16string(field) + u"\"";
}

ui::DialogTemplate list_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 150;
  tpl.caption = u"Редактировать соединения";
  tpl.items = {
      {cls::static_, u"Доступные соединения:", ui::id::static_text, visible, 4, 4, 130, 10},
      {cls::list_view, u"", connection_id::list,
       visible | ui::ws::border | ui::ws::tab_stop | ui::lvs::report | ui::lvs::single_sel | ui::lvs::show_sel_always,
       4, 16, 130, 90},
      {cls::button, u"Добавить", connection_id::add, visible | ui::ws::tab_stop, 4, 110, 42, 14},
      {cls::button, u"Изменить", connection_id::edit, visible | ui::ws::tab_stop, 48, 110, 42, 14},
      {cls::button, u"Удалить", connection_id::remove, visible | ui::ws::tab_stop, 92, 110, 42, 14},
      {cls::button, u"ОК", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 22, 130, 44, 14},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 72, 130, 44, 14},
  };
  return tpl;
}

ui::DialogTemplate edit_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 110;
  tpl.caption = u"Добавить соединение";
  const DWORD edit = visible | ui::ws::tab_stop | ui::ws::border | ui::es::auto_hscroll;
  tpl.items = {
      {cls::static_, u"Описание", ui::id::static_text, visible, 4, 6, 50, 10},
      {cls::edit, u"", connection_id::description, edit, 56, 4, 78, 13},
      {cls::static_, u"IP-адрес", ui::id::static_text, visible, 4, 24, 50, 10},
      {cls::edit, u"", connection_id::address, edit, 56, 22, 78, 13},
      {cls::static_, u"Порт", ui::id::static_text, visible, 4, 42, 50, 10},
      {cls::edit, u"", connection_id::port, edit, 56, 40, 78, 13},
      {cls::static_, u"Ключ сервера", ui::id::static_text, visible, 4, 60, 50, 10},
      {cls::edit, u"", connection_id::key, edit, 56, 58, 78, 13},
      {cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 14, 86, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 74, 86, 50, 14},
  };
  return tpl;
}

}  // namespace

std::u16string check_connection(const std::u16string& description, const std::u16string& address,
                                const std::u16string& port, const std::u16string& key, bool is_new,
                                const std::vector<ConnectionRecord>& existing) {
  if (description.size() > kDescriptionMax) return field_message(u"Описание");
  const std::string narrow_address = to_narrow(address);
  if (address.size() > kAddressMax || !valid_address(narrow_address)) return field_message(u"IP-адрес");
  long port_value = 0;
  const std::string narrow_port = to_narrow(port);
  if (port.size() > kPortMax || narrow_port.find_first_not_of("0123456789") != std::string::npos ||
      !parse_whole_int(narrow_port, port_value) || port_value < 1 || port_value > 65535) {
    return field_message(u"Порт");
  }
  if (key.size() > kKeyMax) return field_message(u"Ключ сервера");
  if (is_new) {
    const std::string narrow_key = to_narrow(key);
    for (const ConnectionRecord& r : existing) {
      if (field_text(r.address) == narrow_address && field_text(r.port) == narrow_port &&
          field_text(r.key) == narrow_key) {
        return u"Соеднинение с такими параметрами уже существует.";
      }
    }
  }
  return {};
}

ConnectionEditDlg::ConnectionEditDlg(bool is_new, std::vector<ConnectionRecord> existing)
    : ui::Dialog("", kConnectionEditDialogId), is_new_(is_new), existing_(std::move(existing)) {}

bool ConnectionEditDlg::on_init_dialog() {
  ui::set_window_text(hwnd(), is_new_ ? u"Новое соединение" : u"Изменить соединение");
  const std::pair<int, int> limits[] = {{connection_id::description, kDescriptionMax},
                                        {connection_id::address, kAddressMax},
                                        {connection_id::port, kPortMax},
                                        {connection_id::key, kKeyMax}};
  for (const auto& [id, limit] : limits) ui::send_message(item(id), ui::em::limit_text, static_cast<WPARAM>(limit));
  ui::set_window_text(item(connection_id::description), description);
  ui::set_window_text(item(connection_id::address), address);
  ui::set_window_text(item(connection_id::port), port);
  ui::set_window_text(item(connection_id::key), key);
  if (DataFeedManager* m = manager()) m->input_panel_button = true;
  defer_sip_button_update(hwnd());
  return true;
}

void ConnectionEditDlg::on_ok() {
  description = ui::get_window_text(item(connection_id::description));
  address = ui::get_window_text(item(connection_id::address));
  port = ui::get_window_text(item(connection_id::port));
  key = ui::get_window_text(item(connection_id::key));
  const std::u16string problem = check_connection(description, address, port, key, is_new_, existing_);
  if (!problem.empty()) {
    ui::message_box(hwnd(), problem, u"KeldaMobile", ui::mb::ok | ui::mb::icon_error);
    return;
  }
  end_dialog(ui::id::ok);
}

ConnectionListDlg::ConnectionListDlg() : ui::Dialog("", kConnectionListDialogId) {}

int ConnectionListDlg::selected() const {
  return ui::ListViewControl{item(connection_id::list)}.next_item(-1, ui::lvni::selected);
}

void ConnectionListDlg::add_row(const ConnectionRecord& r, int at) {
  const ui::ListViewControl list{item(connection_id::list)};
  const int row = list.insert_item(at, to_wide(field_text(r.description)));
  list.set_item_text(row, 1, to_wide(field_text(r.address)));
  list.set_item_text(row, 2, to_wide(field_text(r.port)));
  list.set_item_text(row, 3, to_wide(field_text(r.key)));
}

bool ConnectionListDlg::on_init_dialog() {
  const ui::ListViewControl list{item(connection_id::list)};
  list.set_extended_style(ui::lvs_ex::full_row_select, ui::lvs_ex::full_row_select);
  list.insert_column(0, u"Описание", 80);
  list.insert_column(1, u"IP-Адрес", 80);
  list.insert_column(2, u"Порт", 60);
  list.insert_column(3, u"Ключ сервера", 80);
  load_server_list(records_);
  for (std::size_t i = 0; i < records_.size(); ++i) add_row(records_[i], static_cast<int>(i));
  ui::enable_window(item(connection_id::edit), false);
  ui::enable_window(item(connection_id::remove), false);
  if (DataFeedManager* m = manager()) m->input_panel_button = false;
  defer_sip_button_update(hwnd());
  return true;
}

bool ConnectionListDlg::on_notify(ui::NotifyHeader& header, LRESULT& result) {
  if (header.id_from == static_cast<uintptr_t>(connection_id::list) && header.code == ui::lvn::item_changed) {
    const auto& change = reinterpret_cast<const ui::ListViewNotify&>(header);
    if ((change.new_state & ui::lvis::selected) != 0) {
      ui::enable_window(item(connection_id::edit), true);
      ui::enable_window(item(connection_id::remove), true);
    }
    result = 0;
    return true;
  }
  return ui::Dialog::on_notify(header, result);
}

bool ConnectionListDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  switch (id) {
    case connection_id::add: on_add(); return true;
    case connection_id::edit: on_edit(); return true;
    case connection_id::remove: on_remove(); return true;
    default: return ui::Dialog::on_command(id, code, control);
  }
}

void ConnectionListDlg::on_add() {
  ConnectionEditDlg edit(true, records_);
  const int row = selected();
  if (row >= 0 && row < static_cast<int>(records_.size())) {
    const ConnectionRecord& r = records_[static_cast<std::size_t>(row)];
    edit.description = to_wide(field_text(r.description));
    edit.address = to_wide(field_text(r.address));
    edit.port = to_wide(field_text(r.port));
    edit.key = to_wide(field_text(r.key));
  }
  if (edit.do_modal(hwnd()) != ui::id::ok) return;
  ConnectionRecord added;
  copy_text(added.description, to_narrow(edit.description));
  copy_text(added.address, to_narrow(edit.address));
  copy_text(added.port, to_narrow(edit.port));
  copy_text(added.key, to_narrow(edit.key));
  records_.push_back(added);
  add_row(added, static_cast<int>(records_.size()) - 1);
}

void ConnectionListDlg::on_edit() {
  const int row = selected();
  if (row < 0 || row >= static_cast<int>(records_.size())) return;
  ConnectionRecord& r = records_[static_cast<std::size_t>(row)];
  ConnectionEditDlg edit(false, records_);
  edit.description = to_wide(field_text(r.description));
  edit.address = to_wide(field_text(r.address));
  edit.port = to_wide(field_text(r.port));
  edit.key = to_wide(field_text(r.key));
  if (edit.do_modal(hwnd()) != ui::id::ok) return;
  copy_text(r.description, to_narrow(edit.description));
  copy_text(r.address, to_narrow(edit.address));
  copy_text(r.port, to_narrow(edit.port));
  copy_text(r.key, to_narrow(edit.key));
  const ui::ListViewControl list{item(connection_id::list)};
  list.set_item_text(row, 0, edit.description);
  list.set_item_text(row, 1, edit.address);
  list.set_item_text(row, 2, edit.port);
  list.set_item_text(row, 3, edit.key);
}

void ConnectionListDlg::on_remove() {
  const int row = selected();
  if (row < 0 || row >= static_cast<int>(records_.size())) return;
  records_.erase(records_.begin() + row);
  ui::ListViewControl{item(connection_id::list)}.delete_item(row);
}

void ConnectionListDlg::on_ok() {
  save_server_list(records_);
  end_dialog(ui::id::ok);
}

void register_connection_dialogs() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::register_dialog_template("", kConnectionListDialogId, list_template());
    ui::register_dialog_template("", kConnectionEditDialogId, edit_template());
  });
  register_command_handler(cmd::connections, [](ui::Hwnd owner) {
    ConnectionListDlg dialog;
    dialog.do_modal(owner);
  });
}

}  // namespace kelda::terminal
