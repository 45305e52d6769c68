// The instrument picker dialogs for new windows and the current-parameters
// window.
#include "terminal/instrument_pickers.h"

#include <mutex>
#include <utility>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/text_log.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;
constexpr DWORD tab = ui::ws::visible | ui::ws::tab_stop;

ui::DialogItem ok_button(int x, int y) {
  return {cls::button, u"Да", ui::id::ok, tab | ui::bs::def_push_button, x, y, 50, 14};
}
ui::DialogItem cancel_button(int x, int y) { return {cls::button, u"Отмена", ui::id::cancel, tab, x, y, 50, 14}; }
ui::DialogItem class_combo(int y) {
  return {cls::combo_box, u"", picker_id::class_list, tab | ui::ws::vscroll | ui::cbs::drop_down_list | ui::cbs::sort,
          4, y, 130, 80};
}

ui::DialogTemplate new_market_window_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 90;
  tpl.items = {
      {cls::static_, u"Класс:", ui::id::static_text, visible, 4, 4, 130, 10},
      class_combo(16),
      {cls::static_, u"Бумага:", ui::id::static_text, visible, 4, 34, 130, 10},
      {cls::combo_box, u"", picker_id::security_list, tab | ui::ws::vscroll | ui::cbs::drop_down_list | ui::cbs::sort,
       4, 46, 130, 80},
      ok_button(14, 70),
      cancel_button(74, 70),
  };
  return tpl;
}

ui::DialogTemplate add_table_item_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 150;
  tpl.items = {
      {cls::static_, u"Класс:", ui::id::static_text, visible, 4, 4, 130, 10},
      class_combo(16),
      {cls::list_box, u"", picker_id::items,
       tab | ui::ws::border | ui::ws::vscroll | ui::lbs::notify | ui::lbs::sort | ui::lbs::multiple_sel |
           ui::lbs::no_integral_height,
       4, 34, 130, 92},
      ok_button(14, 130),
      cancel_button(74, 130),
  };
  return tpl;
}

ui::DialogTemplate item_list_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 150;
  tpl.items = {
      {cls::list_box, u"", picker_id::items,
       tab | ui::ws::border | ui::ws::vscroll | ui::lbs::notify | ui::lbs::multiple_sel | ui::lbs::no_integral_height,
       4, 4, 130, 104},
      {cls::button, u"Вверх", picker_id::up, tab, 4, 112, 42, 14},
      {cls::button, u"Вниз", picker_id::down, tab, 48, 112, 42, 14},
      {cls::button, u"Убрать", picker_id::remove, tab, 92, 112, 42, 14},
      ok_button(14, 132),
      cancel_button(74, 132),
  };
  return tpl;
}

void register_picker_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::register_dialog_template("", kNewMarketWindowDialogId, new_market_window_template());
    ui::register_dialog_template("", kAddTableItemDialogId, add_table_item_template());
    ui::register_dialog_template("", kItemListDialogId, item_list_template());
  });
}

// Hides the input-panel button a moment after the dialog opened.
void hide_input_panel_later(ui::Hwnd dialog) {
  if (DataFeedManager* m = manager()) m->input_panel_button = false;
  defer_sip_button_update(dialog);
}

// The class combo filled from the manager's class map, the first entry
// selected.
void fill_class_combo(ui::Hwnd combo_hwnd) {
  const ui::ComboBoxControl combo{combo_hwnd};
  combo.reset();
  if (DataFeedManager* m = manager()) {
    for (const auto& [code, cls] : m->tables().classes) {
      const int at = combo.add(to_wide(field_text(cls->record.name)));
      combo.set_item_data(at, reinterpret_cast<LPARAM>(cls.get()));
    }
  }
  if (combo.count() > 0) combo.set_cur_sel(0);
}

ClassRecord* selected_class(ui::Hwnd combo_hwnd) {
  const ui::ComboBoxControl combo{combo_hwnd};
  const int at = combo.cur_sel();
  return at < 0 ? nullptr : reinterpret_cast<ClassRecord*>(combo.item_data(at));
}

std::u16string param_name(const KelapiClassParamRecord& p) {
  const std::string_view name = field_text(p.long_name);
  return to_wide(name.empty() ? field_text(p.db_name) : name);
}

void focus_rule(UINT msg) {
  if (msg == ui::wm::set_focus) take_focus_without_input_panel();
}

}  // namespace

void take_focus_without_input_panel() {
  if (DataFeedManager* m = manager()) m->input_panel_button = false;
  show_sip_button();
}

// ---- NewMarketWindowDlg ----

NewMarketWindowDlg::NewMarketWindowDlg(bool quotes_mode)
    : ui::Dialog("", kNewMarketWindowDialogId), quotes_mode_(quotes_mode) {
  register_picker_templates();
}

bool NewMarketWindowDlg::on_init_dialog() {
  ui::set_window_text(hwnd(), quotes_mode_ ? u"Новое окно котировок" : u"Новый график");
  fill_class_combo(item(picker_id::class_list));
  class_changed();
  hide_input_panel_later(hwnd());
  return true;
}

void NewMarketWindowDlg::class_changed() {
  ClassRecord* cls = selected_class(item(picker_id::class_list));
  const ui::ComboBoxControl securities{item(picker_id::security_list)};
  if (cls == nullptr) {
    securities.reset();
    listed_ = nullptr;
    ui::enable_window(item(ui::id::ok), false);
    return;
  }
  if (cls == listed_) return;
  listed_ = cls;
  securities.reset();
  for (const auto& [code, sec] : cls->securities) {
    const int at = securities.add(to_wide(field_text(sec->record.name)));
    securities.set_item_data(at, reinterpret_cast<LPARAM>(sec.get()));
  }
  if (securities.cur_sel() < 0 && securities.count() > 0) securities.set_cur_sel(0);
  ui::enable_window(item(ui::id::ok), securities.cur_sel() >= 0);
  hide_input_panel_later(hwnd());
}

bool NewMarketWindowDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  if (id == picker_id::class_list && code == ui::cbn::sel_change) {
    class_changed();
    return true;
  }
  if (id == picker_id::security_list && code == ui::cbn::sel_change) {
    ui::enable_window(item(ui::id::ok), ui::ComboBoxControl{item(picker_id::security_list)}.cur_sel() >= 0);
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

void NewMarketWindowDlg::on_ok() {
  ClassRecord* cls = selected_class(item(picker_id::class_list));
  const ui::ComboBoxControl securities{item(picker_id::security_list)};
  const int at = securities.cur_sel();
  if (cls == nullptr || at < 0) return;
  class_ = cls;
  security_ = reinterpret_cast<SecurityRecord*>(securities.item_data(at));
  end_dialog(ui::id::ok);
}

LRESULT NewMarketWindowDlg::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  focus_rule(msg);
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

// ---- AddTableItemDlg ----

AddTableItemDlg::AddTableItemDlg(bool securities_mode)
    : ui::Dialog("", kAddTableItemDialogId), securities_mode_(securities_mode) {
  register_picker_templates();
}

bool AddTableItemDlg::on_init_dialog() {
  ui::set_window_text(hwnd(), securities_mode_ ? u"Добавить инструмент" : u"Добавить параметр");
  fill_class_combo(item(picker_id::class_list));
  class_changed();
  hide_input_panel_later(hwnd());
  return true;
}

void AddTableItemDlg::class_changed() {
  ClassRecord* cls = selected_class(item(picker_id::class_list));
  const ui::ListBoxControl list{item(picker_id::items)};
  if (cls == nullptr) {
    list.reset();
    listed_ = nullptr;
    ui::enable_window(item(ui::id::ok), false);
    return;
  }
  if (cls == listed_) return;
  listed_ = cls;
  list.reset();
  if (securities_mode_) {
    for (const auto& [code, sec] : cls->securities) {
      const int at = list.add(to_wide(field_text(sec->record.name)));
      list.set_item_data(at, static_cast<LPARAM>(sec->record.security_number));
    }
  } else {
    for (const auto& [number, param] : cls->params) {
      const int at = list.add(param_name(param));
      list.set_item_data(at, static_cast<LPARAM>(number));
    }
  }
  ui::enable_window(item(ui::id::ok), list.count() > 0);
}

bool AddTableItemDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  if (id == picker_id::class_list && code == ui::cbn::sel_change) {
    class_changed();
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

void AddTableItemDlg::on_ok() {
  ClassRecord* cls = selected_class(item(picker_id::class_list));
  if (cls == nullptr) return;
  class_ = cls;
  keys_.clear();
  const ui::ListBoxControl list{item(picker_id::items)};
  for (const int at : list.selected_items()) {
    if (static_cast<int>(keys_.size()) >= kAddTableItemMax) break;
    keys_.push_back(static_cast<uint32_t>(list.item_data(at)));
  }
  end_dialog(ui::id::ok);
}

LRESULT AddTableItemDlg::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  focus_rule(msg);
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

// ---- ItemListDlg ----

ItemListDlg::ItemListDlg(bool securities_mode, const ParamTableSet& set)
    : ui::Dialog("", kItemListDialogId), securities_mode_(securities_mode), set_(set) {
  set_.row_count = set_.rows();
  set_.column_count = set_.columns();
  register_picker_templates();
}

int ItemListDlg::count() const { return securities_mode_ ? set_.row_count : set_.column_count; }

void ItemListDlg::swap_entries(int a, int b) {
  if (securities_mode_) std::swap(set_.row[a], set_.row[b]);
  else std::swap(set_.column[a], set_.column[b]);
}

void ItemListDlg::remove_entry(int index) {
  if (securities_mode_) {
    for (int i = index; i + 1 < set_.row_count; ++i) set_.row[i] = set_.row[i + 1];
    set_.row[--set_.row_count] = TableSetRow{};
  } else {
    for (int i = index; i + 1 < set_.column_count; ++i) set_.column[i] = set_.column[i + 1];
    set_.column[--set_.column_count] = TableSetColumn{};
  }
}

void ItemListDlg::refill() {
  const ui::ListBoxControl list{item(picker_id::items)};
  std::vector<bool> selected(static_cast<std::size_t>(list.count()));
  for (int i = 0; i < list.count(); ++i) selected[static_cast<std::size_t>(i)] = list.is_selected(i);
  list.reset();
  for (int i = 0; i < count(); ++i) {
    std::string_view name;
    if (securities_mode_) {
      name = field_text(set_.row[i].caption);
      if (name.empty()) name = field_text(set_.row[i].security_code);
    } else {
      name = field_text(set_.column[i].short_name);
      if (name.empty()) name = field_text(set_.column[i].db_name);
    }
    const int at = list.add(to_wide(name));
    list.set_item_data(at, i);
    if (static_cast<std::size_t>(i) < selected.size() && selected[static_cast<std::size_t>(i)]) list.set_sel(at, true);
  }
}

bool ItemListDlg::on_init_dialog() {
  ui::set_window_text(hwnd(), securities_mode_ ? u"Список инструментов" : u"Список параметров");
  refill();
  update_buttons();
  hide_input_panel_later(hwnd());
  return true;
}

void ItemListDlg::move(bool up) {
  const ui::ListBoxControl list{item(picker_id::items)};
  const int n = count();
  // Each selected block moves by one; a selected entry at the edge stays.
  auto step = [&](int from, int to) {
    if (list.is_selected(to) || !list.is_selected(from)) return;
    swap_entries(from, to);
    list.set_sel(from, false);
    list.set_sel(to, true);
  };
  if (up) {
    for (int i = 0; i + 1 < n; ++i) step(i + 1, i);
  } else {
    for (int i = n - 1; i > 0; --i) step(i - 1, i);
  }
  refill();
}

void ItemListDlg::remove_selected() {
  const ui::ListBoxControl list{item(picker_id::items)};
  for (int i = count() - 1; i >= 0; --i) {
    if (!list.is_selected(i)) continue;
    remove_entry(i);
    list.remove(i);
  }
  refill();
}

void ItemListDlg::update_buttons() {
  const ui::ListBoxControl list{item(picker_id::items)};
  const int n = list.count();
  const bool any = !list.selected_items().empty();
  ui::enable_window(item(picker_id::up), any && !list.is_selected(0));
  ui::enable_window(item(picker_id::down), any && !list.is_selected(n - 1));
  ui::enable_window(item(picker_id::remove), any);
}

bool ItemListDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  switch (id) {
    case picker_id::up: move(true); break;
    case picker_id::down: move(false); break;
    case picker_id::remove: remove_selected(); break;
    case picker_id::items:
      if (code != ui::lbn::sel_change) return true;
      break;
    default: return ui::Dialog::on_command(id, code, control);
  }
  update_buttons();
  return true;
}

LRESULT ItemListDlg::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  focus_rule(msg);
  return ui::Dialog::window_proc(msg, wparam, lparam);
}

}  // namespace kelda::terminal
