// The connection-list dialogs: ConnectionListDlg (template 149) shows the
// server list with add, edit and delete buttons and writes "IP.CFG" on OK;
// ConnectionEditDlg (template 150) asks for one connection's description,
// address, port and server key and checks them: every field within its
// length, an address of exactly four dotted parts from 0 to 255, a port from
// 1 to 65535, and for a new connection no other with the same address, port
// and key.
//
// Threading: user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "terminal/server_list.h"
#include "ui/dialog.h"

namespace kelda::terminal {

inline constexpr int kConnectionListDialogId = 149;
inline constexpr int kConnectionEditDialogId = 150;
namespace connection_id {
inline constexpr int list = 1107;
inline constexpr int add = 1113;
inline constexpr int edit = 1114;
inline constexpr int remove = 1115;
inline constexpr int description = 1116;
inline constexpr int address = 1117;
inline constexpr int port = 1118;
inline constexpr int key = 1119;
}  // namespace connection_id

// The checks of the edit dialog: the message of the first that fails, or an
// empty text.
std::u16string check_connection(const std::u16string& description, const std::u16string& address,
                                const std::u16string& port, const std::u16string& key, bool is_new,
                                const std::vector<ConnectionRecord>& existing);

class ConnectionEditDlg : public ui::Dialog {
 public:
  ConnectionEditDlg(bool is_new, std::vector<ConnectionRecord> existing);
  std::u16string description, address, port, key;

 protected:
  bool on_init_dialog() override;
  void on_ok() override;

 private:
  bool is_new_;
  std::vector<ConnectionRecord> existing_;
};

class ConnectionListDlg : public ui::Dialog {
 public:
  ConnectionListDlg();
  const std::vector<ConnectionRecord>& records() const { return records_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  bool on_notify(ui::NotifyHeader& header, LRESULT& result) override;
  void on_ok() override;

 private:
  int selected() const;
  void add_row(const ConnectionRecord& r, int at);
  void on_add();
  void on_edit();
  void on_remove();
  std::vector<ConnectionRecord> records_;
};

// Registers the dialogs' templates and the "Доступные соединения" command.
void register_connection_dialogs();

}  // namespace kelda::terminal
