// TableWnd: the common base of the terminal's table windows (trades, orders,
// stop orders, money, securities and futures limits, futures holdings). A
// table window holds one report list (control 101) that fills it, the fixed
// list of every column its kind can show (ColumnDesc) and a layout that says
// which columns are shown, in which order and how wide (TableLayout). The
// base owns the layout, rebuilds the list's columns from it, reads and
// writes the kind's column section of the window-table file
// (layout_files.h), answers the private messages every table answers, and
// runs the tap-and-hold menu whose last entry opens the column setup dialog.
//
// Each row of the list keeps a pointer to the data manager's record as its
// item data and its 1-based number as the text of column 0. Kinds supply the
// text of a cell by column code (cell_text) and their refill.
//
// Threading: user-interface thread. Ownership: the records belong to the
// data manager (a window is told with UM_CLEAR before they go). Errors:
// values read from the layout files are checked; a bad one is logged and
// replaced by its default.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/window_protocol.h"
#include "ui/controls.h"
#include "ui/menu.h"

namespace kelda::terminal {

inline constexpr int kMaxTableColumns = 30;
inline constexpr UINT kTableListId = 101;
inline constexpr UINT kTableSettingsCommand = 301;
// The widest column a layout file may ask for, in pixels.
inline constexpr int kMaxColumnWidth = 10000;

struct ColumnDesc {
  int32_t code = 0;     // the kind's parameter code, 1-based
  int32_t numeric = 0;  // 1: a number (right-aligned)
  char name[64] = {};   // title, code page 1251
};

struct TableLayout {
  int32_t shown_count = 0;  // 0: not set, every descriptor is shown
  // Entry 0 is the leading row-number column, entry k the k-th shown column.
  std::array<int32_t, kMaxTableColumns + 1> width{};
  std::array<int32_t, kMaxTableColumns> code{};
  std::array<int32_t, kMaxTableColumns> desc_index{};
};

// A descriptor from a UTF-8 title of the source.
ColumnDesc column(int32_t code, bool numeric, std::string_view utf8_title);

class TableWnd : public TerminalWindow {
 public:
  TableWnd(int kind, std::initializer_list<ColumnDesc> descriptors);

  TableLayout& layout() { return layout_; }
  const TableLayout& layout() const { return layout_; }
  std::span<const ColumnDesc> descriptors() const { return descs_; }
  ui::ListViewControl list() const { return {list_}; }
  std::string_view section() const;

  // Fills the layout from the kind's section of the window-table file.
  void read_column_layout();
  // Copies `block` (null: keep the layout) and resolves its descriptors.
  void apply_layout(const TableLayout* block);
  // Applies `block`, rebuilds the list's columns and refills the rows; with
  // null the widths of the present columns are kept by position.
  virtual void rebuild_columns(const TableLayout* block);
  // Writes the kind's section (default widths when `use_defaults`).
  void write_column_layout(bool use_defaults);

  // The tap-and-hold menu entry "Настройки таблицы".
  void run_column_setup();

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 protected:
  // The text of the cell of column `code` for a row's record.
  virtual std::string cell_text(LPARAM record, int code) const = 0;
  // Adds a row for every record of the manager's table, in table order.
  virtual void refill() = 0;
  // Kind entries of the tap-and-hold menu (before "Настройки таблицы") and
  // their commands.
  virtual void add_menu_entries(ui::Hmenu) {}
  virtual void on_menu_command(UINT) {}
  virtual void on_double_tap() {}
  // The text colour of a row (ui::kDefaultColor: the list's own).
  virtual COLORREF row_color(LPARAM) const { return ui::kDefaultColor; }
  // True while the section must be written with default widths.
  virtual bool default_widths_on_save() const { return false; }
  // Before the column setup dialog: the widths it starts from.
  virtual void keep_widths_for_setup();
  // UM_CLEAR.
  virtual void clear_rows();
  // The kind's handling of messages the base passes on.
  virtual LRESULT on_message(UINT msg, WPARAM wparam, LPARAM lparam) { return default_proc(msg, wparam, lparam); }

  // The steps of a rebuild: remove every list column (keeping their widths
  // in the layout by position when asked), then insert the layout's columns.
  void remove_columns(bool keep_widths);
  void insert_layout_columns();
  void set_column_title(int column, std::u16string_view title);
  // Row helpers: set every shown column's text of a row; append a row
  // numbered count + 1; renumber column 0 from `first` on.
  void set_row_cells(int row, LPARAM record);
  int append_row(LPARAM record);
  void renumber_from(int first);
  // The selected row's record (0 when none).
  LPARAM selected_record() const;
  int leading_width() const;
  int data_width() const;
  ui::Hwnd list_hwnd() const { return list_; }

 private:
  bool create_list();
  void show_menu();

  std::vector<ColumnDesc> descs_;
  TableLayout layout_;
  ui::Hwnd list_;
};

}  // namespace kelda::terminal
