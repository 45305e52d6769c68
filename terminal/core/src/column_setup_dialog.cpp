// The column setup dialog: its templates, button pictures, list editing and
// the table windows' use of it.
#include "terminal/column_setup_dialog.h"

#include <algorithm>
#include <cstdio>

#include "register_column_button_images.h"
#include "terminal/data_feed_manager.h"
#include "terminal/layout_files.h"
#include "terminal/main_frame.h"
#include "terminal/profile.h"
#include "terminal/table_window.h"
#include "terminal/text_log.h"
#include "ui/controls.h"
#include "ui/screen.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;
constexpr int kButtonIds[6] = {column_setup_id::add,        column_setup_id::add_all, column_setup_id::remove,
                               column_setup_id::remove_all, column_setup_id::move_up, column_setup_id::move_down};
// The pictures by orientation and screen, in the order of kButtonIds.
constexpr const char16_t* kPortrait[6] = {u"ADDCOL_BTN", u"ADDALL_BTN", u"REMCOL_BTN",
                                          u"REMALL_BTN", u"MOVEUP_BTN", u"MOVEDOWN_BTN"};
constexpr const char16_t* kPortraitVga[6] = {u"ADDCOLVGA_BTN", u"ADDALLVGA_BTN", u"REMCOLVGA_BTN",
                                             u"REMALLVGA_BTN", u"MOVEUPVGA_BTN", u"MOVEDOWNVGA_BTN"};
constexpr const char16_t* kLandscape[6] = {u"ADDCOLH_BTN", u"ADDALLH_BTN", u"REMCOLH_BTN",
                                           u"REMALLH_BTN", u"MOVEUP_BTN", u"MOVEDOWN_BTN"};
constexpr const char16_t* kLandscapeVga[6] = {u"ADDCOLHVGA_BTN", u"ADDALLHVGA_BTN", u"REMCOLHVGA_BTN",
                                              u"REMALLHVGA_BTN", u"MOVEUPVGA_BTN", u"MOVEDOWNVGA_BTN"};
constexpr int kMaxTaken = 30;  // selected entries removed or moved at once

int screen_orientation() {
  const ui::ScreenInfo s = ui::screen_info();
  return s.width < s.height ? 1 : s.width > s.height ? -1 : 0;
}

ui::DialogItem picture_button(int id, const char16_t* base, int x, int y, int cx, int cy) {
  return {cls::button, base, id, visible | ui::ws::tab_stop | ui::bs::bitmap, x, y, cx, cy};
}

// Portrait: the available list above the current one, the four moving
// buttons between them, the arrows beside the current list.
ui::DialogTemplate portrait_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 134;
  tpl.cy = 156;
  tpl.full_screen = true;
  tpl.caption = u"Настройка таблицы";
  const DWORD list = visible | ui::ws::border | ui::ws::vscroll | ui::ws::tab_stop | ui::lbs::multiple_sel |
                     ui::lbs::notify | ui::lbs::no_integral_height;
  tpl.items = {
      {cls::static_, u"Доступные параметры:", ui::id::static_text, visible, 4, 2, 126, 10},
      {cls::list_box, u"", column_setup_id::available, list, 4, 12, 126, 48},
      picture_button(column_setup_id::add, kPortrait[0], 4, 63, 22, 12),
      picture_button(column_setup_id::add_all, kPortrait[1], 34, 63, 22, 12),
      picture_button(column_setup_id::remove, kPortrait[2], 64, 63, 22, 12),
      picture_button(column_setup_id::remove_all, kPortrait[3], 94, 63, 22, 12),
      {cls::static_, u"Текущие параметры:", ui::id::static_text, visible, 4, 78, 126, 10},
      {cls::list_box, u"", column_setup_id::current, list, 4, 88, 104, 48},
      picture_button(column_setup_id::move_up, kPortrait[4], 112, 90, 10, 18),
      picture_button(column_setup_id::move_down, kPortrait[5], 112, 114, 10, 18),
      {cls::button, u"Да", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 18, 140, 44, 13},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 72, 140, 44, 13},
  };
  return tpl;
}

// Landscape: the two lists side by side with the moving buttons between
// them and the arrows at the right.
ui::DialogTemplate landscape_template() {
  ui::DialogTemplate tpl = portrait_template();
  tpl.cx = 178;
  tpl.cy = 116;
  auto place = [&](int id, int x, int y, int cx, int cy, const char16_t* base = nullptr) {
    for (ui::DialogItem& i : tpl.items) {
      if (i.id != id) continue;
      i.x = x, i.y = y, i.cx = cx, i.cy = cy;
      if (base != nullptr) i.text = base;
    }
  };
  tpl.items[0].cx = 70;
  tpl.items[6].x = 104, tpl.items[6].y = 2, tpl.items[6].cx = 70;
  place(column_setup_id::available, 4, 12, 70, 80);
  place(column_setup_id::add, 78, 14, 22, 12, kLandscape[0]);
  place(column_setup_id::add_all, 78, 30, 22, 12, kLandscape[1]);
  place(column_setup_id::remove, 78, 46, 22, 12, kLandscape[2]);
  place(column_setup_id::remove_all, 78, 62, 22, 12, kLandscape[3]);
  place(column_setup_id::current, 104, 12, 56, 80);
  place(column_setup_id::move_up, 164, 24, 10, 18);
  place(column_setup_id::move_down, 164, 50, 10, 18);
  place(ui::id::ok, 40, 98, 44, 13);
  place(ui::id::cancel, 94, 98, 44, 13);
  return tpl;
}

std::string numbered(const char* format, int n) {
  char key[32];
  std::snprintf(key, sizeof key, format, n);
  return key;
}

}  // namespace

ColumnSetupDlg::ColumnSetupDlg(ColumnChoice& choice) : ui::Dialog("", kColumnSetupPortraitId), choice_(choice) {
  set_orientation_templates(kColumnSetupPortraitId, kColumnSetupLandscapeId);
}

int ColumnSetupDlg::append_entry(int index, int at) {
  if (index < 0 || index >= static_cast<int>(choice_.names.size())) return -1;
  const std::string& name = choice_.names[static_cast<std::size_t>(index)];
  if (name.empty()) return -1;
  const ui::ListBoxControl current{item(column_setup_id::current)};
  const int row = at < 0 ? current.add(to_wide(name)) : current.insert(at, to_wide(name));
  if (row >= 0) current.set_item_data(row, index);
  return row;
}

bool ColumnSetupDlg::on_init_dialog() {
  for (int i = 0; i < 6; ++i) buttons_[i].auto_load(hwnd(), kButtonIds[i], "");
  load_button_images();
  if (const DataFeedManager* m = manager(); m != nullptr && m->table_font() != nullptr) {
    const WPARAM font = m->table_font()->handle();
    ui::send_message(hwnd(), ui::wm::set_font, font, 1);
    ui::send_message(item(column_setup_id::available), ui::wm::set_font, font, 1);
    ui::send_message(item(column_setup_id::current), ui::wm::set_font, font, 1);
  }
  const ui::ListBoxControl available{item(column_setup_id::available)};
  for (std::size_t i = 0; i < choice_.names.size(); ++i) {
    const int row = available.add(to_wide(choice_.names[i]));
    if (row >= 0) available.set_item_data(row, static_cast<LPARAM>(i));
  }
  for (const int index : choice_.chosen) append_entry(index);
  enable_ok();
  if (DataFeedManager* m = manager()) m->input_panel_button = false;
  defer_sip_button_update(hwnd());
  return true;
}

void ColumnSetupDlg::load_button_images() {
  const int orientation = screen_orientation();
  if (orientation == orientation_) return;
  for (const ui::BitmapButton& b : buttons_) {
    if (!b) return;
  }
  orientation_ = orientation;
  const bool vga = ui::is_vga_screen();
  const char16_t* const* names = orientation < 0 ? (vga ? kLandscapeVga : kLandscape) : (vga ? kPortraitVga : kPortrait);
  for (int i = 0; i < 6; ++i) {
    buttons_[i].load_bitmaps("", names[i]);
    buttons_[i].size_to_content();
  }
}

LRESULT ColumnSetupDlg::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == ui::wm::size) load_button_images();
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

void ColumnSetupDlg::enable_ok() {
  ui::enable_window(item(ui::id::ok), ui::ListBoxControl{item(column_setup_id::current)}.count() > 0);
}

void ColumnSetupDlg::add_selected() {
  const ui::ListBoxControl available{item(column_setup_id::available)};
  const ui::ListBoxControl current{item(column_setup_id::current)};
  const std::vector<int> chosen_rows = current.selected_items();
  const int at = chosen_rows.size() == 1 ? chosen_rows[0] : -1;
  for (const int row : available.selected_items()) append_entry(static_cast<int>(available.item_data(row)), at);
  enable_ok();
}

void ColumnSetupDlg::add_all() {
  const ui::ListBoxControl available{item(column_setup_id::available)};
  for (int row = 0; row < available.count(); ++row) append_entry(static_cast<int>(available.item_data(row)));
  enable_ok();
}

void ColumnSetupDlg::remove_selected() {
  const ui::ListBoxControl current{item(column_setup_id::current)};
  std::vector<int> rows = current.selected_items();
  if (rows.size() > static_cast<std::size_t>(kMaxTaken)) rows.resize(kMaxTaken);
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) current.remove(*it);
  enable_ok();
}

void ColumnSetupDlg::move(int step) {
  const ui::ListBoxControl current{item(column_setup_id::current)};
  std::vector<int> rows = current.selected_items();
  if (rows.size() > static_cast<std::size_t>(kMaxTaken)) rows.resize(kMaxTaken);
  if (rows.empty()) return;
  if (step < 0 && rows.front() == 0) return;
  if (step > 0 && rows.back() == current.count() - 1) return;
  if (step > 0) std::reverse(rows.begin(), rows.end());
  for (const int row : rows) {
    const std::u16string text = current.text(row);
    const LPARAM data = current.item_data(row);
    current.remove(row);
    const int placed = current.insert(row + step, text);
    current.set_item_data(placed, data);
    current.set_sel(placed, true);
  }
}

bool ColumnSetupDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  switch (id) {
    case column_setup_id::add: add_selected(); return true;
    case column_setup_id::add_all: add_all(); return true;
    case column_setup_id::remove: remove_selected(); return true;
    case column_setup_id::remove_all:
      ui::ListBoxControl{item(column_setup_id::current)}.reset();
      enable_ok();
      return true;
    case column_setup_id::move_up: move(-1); return true;
    case column_setup_id::move_down: move(1); return true;
    default: return ui::Dialog::on_command(id, code, control);
  }
}

void ColumnSetupDlg::on_ok() {
  const ui::ListBoxControl current{item(column_setup_id::current)};
  int count = current.count();
  if (count > choice_.limit) {
    ui::message_box(hwnd(),
                    u"Достигнуто максимальное количество параметров. Часть добавленных параметров не будет "
                    u"отображена.",
                    u"Внимание", ui::mb::ok | ui::mb::icon_exclamation);
    count = choice_.limit;
  }
  choice_.chosen.clear();
  for (int row = 0; row < count; ++row) choice_.chosen.push_back(static_cast<int>(current.item_data(row)));
  end_dialog(ui::id::ok);
}

void register_column_setup_dialog() {
  static bool done = false;
  if (done) return;
  done = true;
  ui::register_dialog_template("", kColumnSetupPortraitId, portrait_template());
  ui::register_dialog_template("", kColumnSetupLandscapeId, landscape_template());
  register_column_button_images();
}

bool run_column_setup_dialog(ui::Hwnd owner, ColumnChoice& choice) {
  register_column_setup_dialog();
  ColumnSetupDlg dialog(choice);
  return dialog.do_modal(owner) == ui::id::ok;
}

bool run_table_column_setup(TableWnd& window) {
  const std::span<const ColumnDesc> descs = window.descriptors();
  TableLayout& layout = window.layout();
  ColumnChoice choice;
  for (const ColumnDesc& d : descs) choice.names.emplace_back(field_text(d.name));
  for (int k = 0; k < layout.shown_count; ++k) choice.chosen.push_back(layout.desc_index[static_cast<std::size_t>(k)]);
  choice.limit = kMaxTableColumns;
  if (!run_column_setup_dialog(window.hwnd(), choice)) return false;

  DataFeedManager* m = manager();
  const bool keep_widths = m == nullptr || !m->settings().vertical_limits;
  std::vector<int> width_of(descs.size(), 0);
  if (keep_widths) {
    for (int k = 0; k < layout.shown_count; ++k) {
      const auto d = static_cast<std::size_t>(layout.desc_index[static_cast<std::size_t>(k)]);
      if (d < width_of.size()) width_of[d] = layout.width[static_cast<std::size_t>(k + 1)];
    }
  }
  const int count = static_cast<int>(choice.chosen.size());
  for (int k = 0; k < count; ++k) {
    const int d = choice.chosen[static_cast<std::size_t>(k)];
    layout.desc_index[static_cast<std::size_t>(k)] = d;
    layout.code[static_cast<std::size_t>(k)] = descs[static_cast<std::size_t>(d)].code;
    if (keep_widths) layout.width[static_cast<std::size_t>(k + 1)] = width_of[static_cast<std::size_t>(d)];
  }
  const std::string path = window_table_path();
  const std::string section(window.section());
  for (int n = static_cast<int>(descs.size()); n >= 1; --n) profile_set_string(section, numbered("par%dcode", n), "0", path);
  for (int k = count; k >= 1; --k) {
    profile_set_int(section, numbered("par%dcode", k), layout.code[static_cast<std::size_t>(k - 1)], path);
  }
  profile_set_int(section, "numpars", count, path);
  layout.shown_count = count;
  return true;
}

}  // namespace kelda::terminal
