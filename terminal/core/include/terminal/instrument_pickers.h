// Small modal dialogs that pick instruments from the classes and securities
// the data manager holds:
//  - NewMarketWindowDlg (template 131): the class and security of a new
//    quotes window (quotes mode) or chart (chart mode);
//  - AddTableItemDlg (template 132): securities (securities mode) or
//    parameters of one class to add to a current-parameters window, at most
//    20, in list order;
//  - ItemListDlg (template 133): reorders ("Вверх", "Вниз") and removes
//    ("Убрать") the rows (securities mode) or columns (parameters mode) of a
//    private copy of a current-parameters window's table set; after OK the
//    caller takes the edited copy back with table_set().
//
// Usage:
//   AddTableItemDlg dlg(true);
//   if (dlg.do_modal(owner) == ui::id::ok) { use dlg.chosen_class(), dlg.keys(); }
//   ItemListDlg list(true, my_set);
//   if (list.do_modal(owner) == ui::id::ok) my_set = list.table_set();
//
// Results point at the data manager's records (valid until its tables are
// cleared). The dialogs register their templates themselves. Each one, like
// TableListCtrl, hides the input-panel button when it opens or takes the
// focus (take_focus_without_input_panel()).
//
// Threading: user-interface thread. Errors: none; an empty terminal gives
// empty lists and a disabled OK.
#pragma once

#include <cstdint>
#include <vector>

#include "terminal/param_table_set.h"
#include "ui/dialog.h"

namespace kelda::terminal {

struct ClassRecord;
struct SecurityRecord;

inline constexpr int kNewMarketWindowDialogId = 131;
inline constexpr int kAddTableItemDialogId = 132;
inline constexpr int kItemListDialogId = 133;
inline constexpr int kAddTableItemMax = 20;
namespace picker_id {
inline constexpr int class_list = 1003;
inline constexpr int security_list = 1004;
inline constexpr int items = 1005;
inline constexpr int up = 1020;
inline constexpr int down = 1021;
inline constexpr int remove = 1022;
}  // namespace picker_id

// The focus rule of the terminal's lists and picker dialogs: the manager's
// input-panel-button flag goes off and the button is updated now.
void take_focus_without_input_panel();

class NewMarketWindowDlg : public ui::Dialog {
 public:
  explicit NewMarketWindowDlg(bool quotes_mode);
  ClassRecord* chosen_class() const { return class_; }
  SecurityRecord* chosen_security() const { return security_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void class_changed();
  bool quotes_mode_;
  ClassRecord* listed_ = nullptr;
  ClassRecord* class_ = nullptr;
  SecurityRecord* security_ = nullptr;
};

class AddTableItemDlg : public ui::Dialog {
 public:
  explicit AddTableItemDlg(bool securities_mode);
  ClassRecord* chosen_class() const { return class_; }
  // Security numbers (securities mode) or parameter numbers.
  const std::vector<uint32_t>& keys() const { return keys_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void class_changed();
  bool securities_mode_;
  ClassRecord* listed_ = nullptr;
  ClassRecord* class_ = nullptr;
  std::vector<uint32_t> keys_;
};

class ItemListDlg : public ui::Dialog {
 public:
  ItemListDlg(bool securities_mode, const ParamTableSet& set);
  const ParamTableSet& table_set() const { return set_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  int count() const;
  void swap_entries(int a, int b);
  void remove_entry(int index);
  void refill();
  void move(bool up);
  void remove_selected();
  void update_buttons();
  bool securities_mode_;
  ParamTableSet set_;
};

}  // namespace kelda::terminal
