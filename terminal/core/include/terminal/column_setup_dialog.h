// ColumnSetupDlg ("Настройка таблицы"): chooses which columns a table shows
// and in which order. Two multiple-selection lists (the available columns
// and the current ones), six bitmap buttons (add, add all, remove, remove
// all, move up, move down) whose pictures follow the screen's orientation,
// and "Да" / "Отмена". Portrait and landscape templates 148 and 183.
//
// run_column_setup_dialog() is the general form over a catalogue of names
// (the table windows' descriptors, or another window's value catalogue);
// run_table_column_setup() is the table windows' form: on "Да" it updates the
// window's layout and writes the chosen codes into the kind's section.
//
// Threading: user-interface thread (modal). Errors: more columns than the
// limit are cut to it after a warning.
#pragma once

#include <string>
#include <vector>

#include "ui/bitmap_button.h"
#include "ui/dialog.h"

namespace kelda::terminal {

class TableWnd;

inline constexpr int kColumnSetupPortraitId = 148;
inline constexpr int kColumnSetupLandscapeId = 183;
namespace column_setup_id {
inline constexpr int available = 1107;
inline constexpr int current = 1108;
inline constexpr int add = 1111;
inline constexpr int add_all = 1112;
inline constexpr int remove = 1113;
inline constexpr int remove_all = 1114;
inline constexpr int move_up = 1125;
inline constexpr int move_down = 1126;
}  // namespace column_setup_id

struct ColumnChoice {
  std::vector<std::string> names;  // 8-bit; an entry with an empty name is never offered
  std::vector<int> chosen;         // indices into names, in order
  int limit = 30;
};

class ColumnSetupDlg : public ui::Dialog {
 public:
  explicit ColumnSetupDlg(ColumnChoice& choice);
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override;

 private:
  void load_button_images();
  void add_selected();
  void add_all();
  void remove_selected();
  void move(int step);
  void enable_ok();
  int append_entry(int index, int at = -1);

  ColumnChoice& choice_;
  ui::BitmapButton buttons_[6];
  int orientation_ = 2;  // 1 portrait, -1 landscape, 0 square; 2 before the first load
};

// Registers templates 148 and 183 and the button pictures (idempotent).
void register_column_setup_dialog();
// True when the user chose "Да" (choice.chosen then holds the result).
bool run_column_setup_dialog(ui::Hwnd owner, ColumnChoice& choice);
bool run_table_column_setup(TableWnd& window);

}  // namespace kelda::terminal
