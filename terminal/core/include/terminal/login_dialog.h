// The login dialog (template 130, "Идентификация"): the server list, the
// user's name and password and the save-password check box, shown before
// every connect.
//
// Constructing it loads the server list and finds the connection of the
// settings file ([connect] address, port and key), appending it when the list
// lacks it; choosing another server writes its address, port and key and
// [settings] default_connection at once; destroying it writes the server
// list back. While it is active the main view's arrow hot keys are released
// (the arrows move the caret in its fields). Threading: user-interface
// thread.
#pragma once

#include <string>
#include <vector>

#include "terminal/server_list.h"
#include "ui/dialog.h"

namespace kelda::terminal {

inline constexpr int kLoginDialogId = 130;
namespace login_id {
inline constexpr int server = 1060;
inline constexpr int name = 1002;
inline constexpr int password = 1001;
inline constexpr int save = 1010;
}  // namespace login_id

class LoginDlg : public ui::Dialog {
 public:
  LoginDlg();
  ~LoginDlg() override;

  // In and out: the dialog's fields (8-bit text).
  std::string user_name;
  std::string password;
  bool save_password = false;

  const std::vector<ConnectionRecord>& servers() const { return servers_; }
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override;

 private:
  void on_server_chosen();
  std::vector<ConnectionRecord> servers_;
};

}  // namespace kelda::terminal
