// The global instrument filter dialogs:
//  - InstrumentSelectDlg "Выбор инструментов" (templates 174 portrait and
//    184 landscape): the classes the terminal receives, each with an
//    optional security filter and parameter filter, and the switch
//    "Получать данные по установленным фильтрам". It edits a working copy;
//    "Да" stores the switch and the filter and, when the terminal is
//    connected and its session has started, applies it to every class;
//    "Отмена" drops every change.
//  - FilterDlg "Фильтр" (template 175): one class's security list (mode 1)
//    or parameter list (mode 2); "Да" leaves the rows' numbers in numbers().
//  - AddItemDlg "Добавление" (template 176): picks securities (mode 1) or
//    parameters (mode 2) of a class, or classes (mode 3); "Да" leaves the
//    chosen numbers, in list order, in chosen().
//
// A class the terminal no longer knows keeps its filter entry (without a
// row) and is stored again on "Да".
//
// Threading: user-interface thread. Errors: a filter file that cannot be
// written is logged; nothing throws.
#pragma once

#include <cstdint>
#include <vector>

#include "terminal/data_feed_manager.h"
#include "ui/dialog.h"

namespace kelda::terminal {

inline constexpr int kInstrumentSelectDialogId = 174;
inline constexpr int kInstrumentSelectLandscapeId = 184;
inline constexpr int kFilterDialogId = 175;
inline constexpr int kAddItemDialogId = 176;
namespace filter_id {
inline constexpr int classes = 1133;
inline constexpr int items = 1134;
inline constexpr int security_filter = 1126;
inline constexpr int param_filter = 1127;
inline constexpr int clear = 1128;
inline constexpr int security_more = 1131;
inline constexpr int param_more = 1132;
inline constexpr int item_remove = 1135;
inline constexpr int item_add = 1136;
inline constexpr int class_add = 1140;
inline constexpr int class_remove = 1141;
inline constexpr int use_filter = 1142;
}  // namespace filter_id
namespace filter_mode {
inline constexpr int securities = 1;
inline constexpr int params = 2;
inline constexpr int classes = 3;
}  // namespace filter_mode

class AddItemDlg : public ui::Dialog {
 public:
  AddItemDlg(int mode, int32_t class_number);
  const std::vector<uint32_t>& chosen() const { return chosen_; }

 protected:
  bool on_init_dialog() override;
  void on_ok() override;

 private:
  int mode_;
  int32_t class_number_;
  std::vector<uint32_t> chosen_;
};

class FilterDlg : public ui::Dialog {
 public:
  FilterDlg(int mode, int32_t class_number, std::vector<uint32_t> numbers);
  const std::vector<uint32_t>& numbers() const { return numbers_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  bool on_notify(ui::NotifyHeader& header, LRESULT& result) override;
  void on_ok() override;

 private:
  void add_row(uint32_t number);
  int mode_;
  int32_t class_number_;
  std::vector<uint32_t> numbers_;
};

class InstrumentSelectDlg : public ui::Dialog {
 public:
  InstrumentSelectDlg();
  const std::vector<FilterEntry>& entries() const { return entries_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  bool on_notify(ui::NotifyHeader& header, LRESULT& result) override;
  void on_ok() override;

 private:
  FilterEntry* selected_entry();
  void show_entry(const FilterEntry* entry);
  void add_row(int32_t class_number);
  void on_add_classes();
  void on_remove_class();
  void on_clear();
  void on_filter_click(bool securities, bool more);
  void apply_to_manager();
  std::vector<FilterEntry> entries_;
  int32_t selected_class_ = -1;
};

// Registers the templates and the command "Списки".
void register_instrument_select();

}  // namespace kelda::terminal
