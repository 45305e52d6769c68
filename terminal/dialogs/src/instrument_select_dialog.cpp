// The global instrument filter dialogs.
#include "terminal_dialogs/instrument_select_dialog.h"

#include <algorithm>
#include <mutex>

#include "terminal/instrument_pickers.h"
#include "terminal/main_frame.h"
#include "terminal/profile.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;
constexpr DWORD tab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD untitled_list =
    tab | ui::ws::border | ui::lvs::report | ui::lvs::no_column_header | ui::lvs::show_sel_always;

// Over the screen's work area; the last choice, longer than the portrait
// screen is wide, wraps onto a second line.
ui::DialogTemplate select_template(bool landscape) {
  ui::DialogTemplate tpl;
  tpl.caption = u"Выбор инструментов";
  tpl.full_screen = true;
  tpl.cx = landscape ? 280 : 160;
  tpl.cy = landscape ? 150 : 168;
  const int lh = landscape ? 110 : 60;   // list height
  const int lw = landscape ? 142 : 152;  // list width
  const int rx = landscape ? 150 : 4;    // right-hand block
  const int ry = landscape ? 16 : 100;
  const int more = 104;  // "..." from the block's left, beside its check box
  tpl.items = {
      {cls::static_, u"Получаемые классы", ui::id::static_text, visible, 4, 4, 140, 10},
      {cls::list_view, u"", filter_id::classes, untitled_list | ui::lvs::single_sel, 4, 16, lw, lh},
      {cls::button, u"Добавить", filter_id::class_add, tab, 4, 20 + lh, 44, 14},
      {cls::button, u"Убрать", filter_id::class_remove, tab, 50, 20 + lh, 44, 14},
      {cls::button, u"Очистить", filter_id::clear, tab, 96, 20 + lh, 50, 14},
      {cls::button, u"Фильтр инструментов", filter_id::security_filter, tab | ui::bs::check_box, rx, ry + 2, 100, 12},
      {cls::button, u"...", filter_id::security_more, tab, rx + more, ry, 20, 14},
      {cls::button, u"Фильтр параметров", filter_id::param_filter, tab | ui::bs::check_box, rx, ry + 18, 100, 12},
      {cls::button, u"...", filter_id::param_more, tab, rx + more, ry + 16, 20, 14},
      {cls::button, u"Получать данные по установленным фильтрам", filter_id::use_filter,
       tab | ui::bs::auto_check_box | ui::bs::multiline, rx, ry + 32, landscape ? 126 : 150, 20},
      {cls::button, u"Да", ui::id::ok, tab | ui::bs::def_push_button, landscape ? 150 : 22, tpl.cy - 16, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, tab, landscape ? 210 : 88, tpl.cy - 16, 50, 14},
  };
  return tpl;
}

ui::DialogTemplate filter_template() {
  ui::DialogTemplate tpl;
  tpl.caption = u"Фильтр";
  tpl.cx = 150;
  tpl.cy = 160;
  tpl.items = {
      {cls::static_, u"Выбранные элементы", ui::id::static_text, visible, 4, 4, 140, 10},
      {cls::list_view, u"", filter_id::items, untitled_list, 4, 16, 142, 100},
      {cls::button, u"Добавить", filter_id::item_add, tab, 4, 120, 44, 14},
      {cls::button, u"Убрать", filter_id::item_remove, tab, 50, 120, 44, 14},
      {cls::button, u"Очистить", filter_id::clear, tab, 96, 120, 50, 14},
      {cls::button, u"Да", ui::id::ok, tab | ui::bs::def_push_button, 14, 140, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, tab, 84, 140, 50, 14},
  };
  return tpl;
}

ui::DialogTemplate add_item_template() {
  ui::DialogTemplate tpl;
  tpl.caption = u"Добавление";
  tpl.cx = 150;
  tpl.cy = 160;
  tpl.items = {
      {cls::static_, u"Выберите элемент", ui::id::static_text, visible, 4, 4, 140, 10},
      {cls::list_box, u"", filter_id::items,
       tab | ui::ws::border | ui::ws::vscroll | ui::lbs::multiple_sel | ui::lbs::no_integral_height, 4, 16, 142, 118},
      {cls::button, u"Да", ui::id::ok, tab | ui::bs::def_push_button, 14, 140, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, tab, 84, 140, 50, 14},
  };
  return tpl;
}

void register_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::register_dialog_template("", kInstrumentSelectDialogId, select_template(false));
    ui::register_dialog_template("", kInstrumentSelectLandscapeId, select_template(true));
    ui::register_dialog_template("", kFilterDialogId, filter_template());
    ui::register_dialog_template("", kAddItemDialogId, add_item_template());
  });
}

ClassRecord* find_class(int32_t number) {
  DataFeedManager* m = manager();
  return m == nullptr || number < 0 ? nullptr : m->tables().find_class(static_cast<uint32_t>(number));
}

// The display name of a security (mode 1) or parameter (mode 2) of a class,
// or of a class (mode 3); empty when unknown.
std::u16string item_name(int mode, int32_t class_number, uint32_t number) {
  if (mode == filter_mode::classes) {
    const ClassRecord* c = find_class(static_cast<int32_t>(number));
    return c == nullptr ? u"" : to_wide(field_text(c->record.name));
  }
  const ClassRecord* c = find_class(class_number);
  if (c == nullptr) return {};
  if (mode == filter_mode::securities) {
    const SecurityRecord* s = c->find_security(number);
    return s == nullptr ? u"" : to_wide(field_text(s->record.name));
  }
  const auto it = c->params.find(static_cast<uint16_t>(number));
  if (it == c->params.end()) return {};
  const std::string_view name = field_text(it->second.long_name);
  return to_wide(name.empty() ? field_text(it->second.db_name) : name);
}

// One untitled column as wide as the list, the table font, full-row selection.
void prepare_list(ui::Hwnd list_hwnd) {
  const ui::ListViewControl list{list_hwnd};
  if (DataFeedManager* m = manager(); m != nullptr && m->table_font() != nullptr) {
    ui::send_message(list_hwnd, ui::wm::set_font, reinterpret_cast<WPARAM>(m->table_font()), 1);
  }
  list.set_extended_style(ui::lvs_ex::full_row_select, ui::lvs_ex::full_row_select);
  const RECT r = ui::get_client_rect(list_hwnd);
  list.insert_column(0, u"", r.right - r.left);
}

void add_missing(std::vector<uint32_t>& to, uint32_t number) {
  if (std::find(to.begin(), to.end(), number) == to.end()) to.push_back(number);
}

template <typename T>
std::vector<uint32_t> widen(const std::vector<T>& in) {
  std::vector<uint32_t> out;
  for (const T v : in) out.push_back(static_cast<uint32_t>(static_cast<std::make_unsigned_t<T>>(v)));
  return out;
}

}  // namespace

// ---- AddItemDlg ----

AddItemDlg::AddItemDlg(int mode, int32_t class_number)
    : ui::Dialog("", kAddItemDialogId), mode_(mode), class_number_(class_number) {
  register_templates();
}

bool AddItemDlg::on_init_dialog() {
  const ui::ListBoxControl list{item(filter_id::items)};
  DataFeedManager* m = manager();
  auto add = [&](const std::u16string& name, uint32_t number) {
    list.set_item_data(list.add(name), static_cast<LPARAM>(number));
  };
  if (mode_ == filter_mode::classes && m != nullptr) {
    for (const auto& [code, c] : m->tables().classes) add(to_wide(field_text(c->record.name)), c->record.class_number);
  } else if (const ClassRecord* c = find_class(class_number_)) {
    if (mode_ == filter_mode::securities) {
      for (const auto& [code, s] : c->securities) add(to_wide(field_text(s->record.name)), s->record.security_number);
    } else {
      for (const auto& [number, p] : c->params) add(item_name(mode_, class_number_, number), number);
    }
  }
  ui::show_input_panel(false);
  return true;
}

void AddItemDlg::on_ok() {
  const ui::ListBoxControl list{item(filter_id::items)};
  chosen_.clear();
  for (const int at : list.selected_items()) chosen_.push_back(static_cast<uint32_t>(list.item_data(at)));
  end_dialog(ui::id::ok);
}

// ---- FilterDlg ----

FilterDlg::FilterDlg(int mode, int32_t class_number, std::vector<uint32_t> numbers)
    : ui::Dialog("", kFilterDialogId), mode_(mode), class_number_(class_number), numbers_(std::move(numbers)) {
  register_templates();
}

void FilterDlg::add_row(uint32_t number) {
  const ui::ListViewControl list{item(filter_id::items)};
  list.insert_item(list.item_count(), item_name(mode_, class_number_, number), static_cast<LPARAM>(number));
}

bool FilterDlg::on_init_dialog() {
  prepare_list(item(filter_id::items));
  ui::set_window_text(hwnd(), mode_ == filter_mode::securities ? u"Фильтр инструментов" : u"Фильтр параметров");
  if (find_class(class_number_) != nullptr) {
    for (const uint32_t n : numbers_) add_row(n);
  }
  ui::enable_window(item(filter_id::item_remove), false);
  if (DataFeedManager* m = manager()) m->input_panel_button = false;
  defer_sip_button_update(hwnd());
  return true;
}

bool FilterDlg::on_notify(ui::NotifyHeader& header, LRESULT& result) {
  if (header.id_from == static_cast<uintptr_t>(filter_id::items) && header.code == ui::lvn::item_changed) {
    const int selected = ui::ListViewControl{item(filter_id::items)}.next_item(-1, ui::lvni::selected);
    ui::enable_window(item(filter_id::item_remove), selected >= 0);
    result = 0;
    return true;
  }
  return ui::Dialog::on_notify(header, result);
}

bool FilterDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  const ui::ListViewControl list{item(filter_id::items)};
  switch (id) {
    case filter_id::item_remove:
      for (int i = list.item_count() - 1; i >= 0; --i) {
        if (list.item_state(i, ui::lvis::selected) != 0) list.delete_item(i);
      }
      ui::enable_window(item(filter_id::item_remove), false);
      return true;
    case filter_id::clear:
      list.delete_all_items();
      ui::enable_window(item(filter_id::item_remove), false);
      return true;
    case filter_id::item_add: {
      AddItemDlg add(mode_, class_number_);
      if (add.do_modal(hwnd()) != ui::id::ok) return true;
      for (const uint32_t n : add.chosen()) {
        bool present = false;
        for (int i = 0; i < list.item_count() && !present; ++i) present = static_cast<uint32_t>(list.item_data(i)) == n;
        if (!present) add_row(n);
      }
      return true;
    }
    default:
      return ui::Dialog::on_command(id, code, control);
  }
}

void FilterDlg::on_ok() {
  const ui::ListViewControl list{item(filter_id::items)};
  numbers_.clear();
  for (int i = 0; i < list.item_count(); ++i) numbers_.push_back(static_cast<uint32_t>(list.item_data(i)));
  end_dialog(ui::id::ok);
}

// ---- InstrumentSelectDlg ----

InstrumentSelectDlg::InstrumentSelectDlg() : ui::Dialog("", kInstrumentSelectDialogId) {
  register_templates();
  set_orientation_templates(kInstrumentSelectDialogId, kInstrumentSelectLandscapeId);
}

void InstrumentSelectDlg::add_row(int32_t class_number) {
  const ClassRecord* c = find_class(class_number);
  if (c == nullptr) return;
  const ui::ListViewControl list{item(filter_id::classes)};
  list.insert_item(list.item_count(), to_wide(field_text(c->record.name)), class_number);
}

bool InstrumentSelectDlg::on_init_dialog() {
  DataFeedManager* m = manager();
  prepare_list(item(filter_id::classes));
  if (m != nullptr) {
    ui::check_dlg_button(hwnd(), filter_id::use_filter, m->settings().global_filter != 0 ? 1 : 0);
    if (m->settings().global_filter != 0) {
      entries_ = m->filter_entries();
    } else {
      // The classes the windows and the margin library ask for.
      for (const auto& [code, c] : m->tables().classes) {
        if (c->window_params.empty() && c->margin_params.empty() && c->window_secs.empty() &&
            c->margin_secs.empty()) {
          continue;
        }
        FilterEntry e;
        e.class_number = static_cast<int32_t>(c->record.class_number);
        e.params = c->window_params;
        for (const int16_t p : c->margin_params) {
          if (std::find(e.params.begin(), e.params.end(), p) == e.params.end()) e.params.push_back(p);
        }
        e.secs = c->window_secs;
        for (const uint32_t s : c->margin_secs) add_missing(e.secs, s);
        e.param_filter = !e.params.empty();
        e.security_filter = !e.secs.empty();
        entries_.push_back(std::move(e));
      }
    }
  }
  for (const FilterEntry& e : entries_) add_row(e.class_number);
  show_entry(nullptr);
  return true;
}

FilterEntry* InstrumentSelectDlg::selected_entry() {
  for (FilterEntry& e : entries_) {
    if (e.class_number == selected_class_ && selected_class_ >= 0) return &e;
  }
  return nullptr;
}

void InstrumentSelectDlg::show_entry(const FilterEntry* entry) {
  ui::check_dlg_button(hwnd(), filter_id::security_filter, entry != nullptr && entry->security_filter ? 1 : 0);
  ui::check_dlg_button(hwnd(), filter_id::param_filter, entry != nullptr && entry->param_filter ? 1 : 0);
  for (const int id : {filter_id::class_remove, filter_id::security_filter, filter_id::security_more,
                       filter_id::param_filter, filter_id::param_more}) {
    ui::enable_window(item(id), entry != nullptr);
  }
}

bool InstrumentSelectDlg::on_notify(ui::NotifyHeader& header, LRESULT& result) {
  if (header.id_from == static_cast<uintptr_t>(filter_id::classes) && header.code == ui::lvn::item_changed) {
    const auto& change = reinterpret_cast<const ui::ListViewNotify&>(header);
    if (((change.new_state ^ change.old_state) & ui::lvis::selected) != 0) {
      // The list's selection decides, whatever order the row changes come in.
      const ui::ListViewControl list{item(filter_id::classes)};
      const int row = list.next_item(-1, ui::lvni::selected);
      selected_class_ = row < 0 ? -1 : static_cast<int32_t>(list.item_data(row));
      show_entry(row < 0 ? nullptr : selected_entry());
    }
    result = 0;
    return true;
  }
  return ui::Dialog::on_notify(header, result);
}

void InstrumentSelectDlg::on_add_classes() {
  AddItemDlg add(filter_mode::classes, -1);
  if (add.do_modal(hwnd()) != ui::id::ok) return;
  for (const uint32_t n : add.chosen()) {
    const bool present =
        std::any_of(entries_.begin(), entries_.end(), [n](const FilterEntry& e) { return e.class_number == static_cast<int32_t>(n); });
    if (present) continue;
    FilterEntry e;
    e.class_number = static_cast<int32_t>(n);
    entries_.push_back(std::move(e));
    add_row(static_cast<int32_t>(n));
  }
  ui::check_dlg_button(hwnd(), filter_id::use_filter, 1);
}

void InstrumentSelectDlg::on_remove_class() {
  const ui::ListViewControl list{item(filter_id::classes)};
  const int row = list.next_item(-1, ui::lvni::selected);
  if (row < 0) return;
  const int32_t number = static_cast<int32_t>(list.item_data(row));
  std::erase_if(entries_, [number](const FilterEntry& e) { return e.class_number == number; });
  list.delete_item(row);
  ui::check_dlg_button(hwnd(), filter_id::use_filter, 1);
}

void InstrumentSelectDlg::on_clear() {
  entries_.clear();
  ui::ListViewControl{item(filter_id::classes)}.delete_all_items();
  selected_class_ = -1;
  show_entry(nullptr);
}

void InstrumentSelectDlg::on_filter_click(bool securities, bool more) {
  FilterEntry* e = selected_entry();
  if (e == nullptr) return;
  bool& on = securities ? e->security_filter : e->param_filter;
  const int box = securities ? filter_id::security_filter : filter_id::param_filter;
  if (on && !more) {
    // Unchecking drops the list: the class gets everything of that kind.
    on = false;
    if (securities) e->secs.clear();
    else e->params.clear();
    ui::check_dlg_button(hwnd(), filter_id::use_filter, 1);
  } else {
    const int32_t number = e->class_number;
    FilterDlg dlg(securities ? filter_mode::securities : filter_mode::params, number,
                  securities ? e->secs : widen(e->params));
    if (dlg.do_modal(hwnd()) == ui::id::ok) {
      e = selected_entry();  // the working array is unchanged by the filter dialog
      if (e == nullptr) return;
      if (securities) {
        e->secs = dlg.numbers();
      } else {
        e->params.clear();
        for (const uint32_t n : dlg.numbers()) e->params.push_back(static_cast<int16_t>(n));
      }
      (securities ? e->security_filter : e->param_filter) = !dlg.numbers().empty();
      ui::check_dlg_button(hwnd(), filter_id::use_filter, 1);
    }
  }
  ui::check_dlg_button(hwnd(), box, (securities ? e->security_filter : e->param_filter) ? 1 : 0);
}

bool InstrumentSelectDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  switch (id) {
    case filter_id::class_add: on_add_classes(); return true;
    case filter_id::class_remove: on_remove_class(); return true;
    case filter_id::clear: on_clear(); return true;
    case filter_id::security_filter: on_filter_click(true, false); return true;
    case filter_id::security_more: on_filter_click(true, true); return true;
    case filter_id::param_filter: on_filter_click(false, false); return true;
    case filter_id::param_more: on_filter_click(false, true); return true;
    default: return ui::Dialog::on_command(id, code, control);
  }
}

void InstrumentSelectDlg::apply_to_manager() {
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  Settings& s = m->settings();
  s.global_filter = ui::is_dlg_button_checked(hwnd(), filter_id::use_filter) == ui::bst::checked ? 1 : 0;
  profile_set_int("settings", "global_filter", s.global_filter, m->settings_path());
  auto& classes = m->tables().classes;
  if (s.global_filter != 0) {
    m->set_filter_entries(entries_);
    m->save_global_filter();
    if (!m->connected() || !m->started()) return;
    for (auto& [code, c] : classes) {
      c->global_params.clear();
      c->global_secs.clear();
      m->apply_class_filter(*c);
    }
    log_line("Reset class filters done.");
    for (const FilterEntry& e : m->filter_entries()) {
      ClassRecord* c = find_class(e.class_number);
      if (c == nullptr) continue;
      m->apply_filter_entry(*c, e);
      m->apply_class_filter(*c);
      log_line("%s added to filter", c->code().c_str());
    }
  } else {
    m->set_filter_entries({});
    m->save_global_filter();
    if (!m->connected() || !m->started()) return;
    for (auto& [code, c] : classes) m->apply_class_filter(*c);
  }
}

void InstrumentSelectDlg::on_ok() {
  apply_to_manager();
  end_dialog(ui::id::ok);
}

void register_instrument_select() {
  register_templates();
  register_command_handler(cmd::lists, [](ui::Hwnd owner) {
    InstrumentSelectDlg dlg;
    dlg.do_modal(owner);
  });
}

}  // namespace kelda::terminal
