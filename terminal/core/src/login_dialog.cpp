// The login dialog.
#include "terminal/login_dialog.h"

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/profile.h"
#include "terminal/text_log.h"
#include "ui/controls.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

constexpr int kNameLimit = 63;

std::string bracketed(std::string_view address, std::string_view port, std::string_view key) {
  return "[" + std::string(address) + ":" + std::string(port) + ":" + std::string(key) + "]";
}

}  // namespace

LoginDlg::LoginDlg() : ui::Dialog("", kLoginDialogId) {
  DataFeedManager* m = manager();
  if (!load_server_list(servers_) || servers_.empty()) servers_.assign(1, ConnectionRecord{});
  if (m == nullptr) return;
  const std::string& ini = m->settings_path();
  const std::string address = profile_get_string("connect", "trade-server-ip-address", "", ini, 29);
  const std::string port = profile_get_string("connect", "port", "", ini, 19);
  const std::string key = profile_get_string("connect", "auth-name", "", ini, 19);
  const std::string wanted = bracketed(address, port, key);
  for (std::size_t i = 0; i < servers_.size(); ++i) {
    const ConnectionRecord& r = servers_[i];
    if (bracketed(field_text(r.address), field_text(r.port), field_text(r.key)) == wanted) {
      m->settings().default_connection = static_cast<int>(i);
      return;
    }
  }
  ConnectionRecord added;
  copy_text(added.address, address);
  copy_text(added.port, port);
  copy_text(added.key, key);
  servers_.push_back(added);
  m->settings().default_connection = static_cast<int>(servers_.size()) - 1;
}

LoginDlg::~LoginDlg() { save_server_list(servers_); }

bool LoginDlg::on_init_dialog() {
  ui::center_window(hwnd());
  const ui::Hwnd list = item(login_id::server);
  for (const ConnectionRecord& r : servers_) {
    const std::string entry = std::string(field_text(r.description)) + " [" + std::string(field_text(r.address)) +
                              ":" + std::string(field_text(r.port)) + "]";
    const std::u16string wide = to_wide(entry);
    ui::send_message(list, ui::cb::add_string, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  DataFeedManager* m = manager();
  const int selected = m != nullptr ? m->settings().default_connection : 0;
  ui::send_message(list, ui::cb::set_cur_sel, static_cast<WPARAM>(selected), 0);
  ui::send_message(item(login_id::name), ui::em::limit_text, kNameLimit, 0);
  ui::send_message(item(login_id::password), ui::em::limit_text, kNameLimit, 0);
  ui::set_window_text(item(login_id::name), to_wide(user_name));
  ui::set_window_text(item(login_id::password), to_wide(password));
  ui::check_dlg_button(hwnd(), login_id::save, save_password ? ui::bst::checked : ui::bst::unchecked);
  ui::set_focus(item(login_id::password));
  ui::send_message(item(login_id::password), ui::em::set_sel, 0, -1);
  if (m != nullptr) m->input_panel_button = true;
  defer_sip_button_update(hwnd());
  return false;
}

LRESULT LoginDlg::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::set_focus) {
    if (DataFeedManager* m = manager()) m->input_panel_button = true;
    show_sip_button();
  }
  // The arrows move the caret in the name and password fields while the
  // dialog is active, instead of switching the terminal's windows.
  if (msg == ui::wm::activate) {
    DataFeedManager* m = manager();
    if (MainView* view = m != nullptr ? m->view() : nullptr) view->follow_dialog_activation(hwnd(), wparam, lparam);
  }
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

bool LoginDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  if (id == static_cast<UINT>(login_id::server) && code == ui::cbn::close_up) {
    on_server_chosen();
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

void LoginDlg::on_server_chosen() {
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  const LRESULT chosen = ui::send_message(item(login_id::server), ui::cb::get_cur_sel);
  if (chosen < 0 || chosen >= static_cast<LRESULT>(servers_.size())) return;
  const int index = static_cast<int>(chosen);
  if (index != m->settings().default_connection) {
    const ConnectionRecord& r = servers_[static_cast<std::size_t>(index)];
    const std::string& ini = m->settings_path();
    profile_set_string("connect", "trade-server-ip-address", field_text(r.address), ini);
    profile_set_string("connect", "port", field_text(r.port), ini);
    profile_set_string("connect", "auth-name", field_text(r.key), ini);
    profile_set_int("settings", "default_connection", index, ini);
  }
  m->settings().default_connection = index;
}

void LoginDlg::on_ok() {
  // A choice made without closing the drop-down still counts.
  on_server_chosen();
  user_name = to_narrow(ui::get_window_text(item(login_id::name))).substr(0, kNameLimit);
  password = to_narrow(ui::get_window_text(item(login_id::password))).substr(0, kNameLimit);
  save_password = ui::is_dlg_button_checked(hwnd(), login_id::save) == ui::bst::checked;
  end_dialog(ui::id::ok);
}

}  // namespace kelda::terminal
