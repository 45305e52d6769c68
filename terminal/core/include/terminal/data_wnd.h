// DataWnd: the current-parameters window (window kind 2). One row per chosen
// security, one column per chosen parameter, refreshed as new values arrive.
// Its rows and columns are also what the terminal subscribes to: binding a
// class hands the class's window lists (security and parameter numbers) to
// the data manager, which applies them with the class filter unless the
// global filter is on.
//
// Threading: user-interface thread. Ownership: the window owns its table
// set; class and value records belong to the data manager.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "terminal/param_table_set.h"
#include "terminal/market_windows.h"

namespace kelda::terminal {

// A row's caption: "name [class name]" when `with_class`, else the name,
// cut to the row's caption field.
void format_row_caption(TableSetRow& row, std::string_view security_name, std::string_view class_name, bool with_class);
// One cell's text for a value of parameter `param` of security `sec`.
std::string format_param_value(const KelapiClassParamRecord& param, const KelapiSecurityRecord& sec, double value);

class DataWnd : public MarketWindow {
 public:
  explicit DataWnd(const ParamTableSet& set);
  ~DataWnd() override;

  const ParamTableSet& table_set() const { return set_; }
  ui::Hwnd list() const { return list_; }

  void on_values(const ClassRecord& cls, const SecurityRecord& sec, std::span<const KelapiValueRecord> values) override;
  void write_state(SectionText& keys) const override;
  void restore_state(const SavedSection& section) override;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

  // Menu commands of the tap-and-hold menu (also for tests).
  void delete_selected_row();
  void add_securities();
  void edit_securities();
  void add_params();
  void edit_params();

 private:
  void on_create() override;
  void insert_param_columns();
  void rebuild_items();
  void bind_class(ClassRecord& cls, bool fill, bool apply);
  void bind_all(bool fill, bool apply);
  void fill_row(int index, const ClassRecord& cls, const SecurityRecord& sec);
  void set_cell(int row, int column, const std::string& text);
  void rewrite_captions();
  void show_menu(POINT screen);
  void write_column_layout();
  void release();

  ParamTableSet set_;
  ui::Hwnd list_;
};

void register_data_window();

}  // namespace kelda::terminal
