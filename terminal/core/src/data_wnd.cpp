// The current-parameters window: binding rows and columns to the data
// manager's classes, the cells, the subscriptions and the tap-and-hold menu.
#include "terminal/data_wnd.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "terminal/data_feed_manager.h"
#include "terminal/instrument_pickers.h"
#include "terminal/layout_files.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/market_windows.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

constexpr UINT kListId = 101;
constexpr UINT kCmdDeleteRow = 115;
constexpr UINT kCmdRowList = 116;
constexpr UINT kCmdAddRow = 117;
constexpr UINT kCmdAddParam = 118;
constexpr UINT kCmdParamList = 119;

bool same_name(std::string_view a, std::string_view b) { return upper_latin(a) == upper_latin(b); }

TableSetColumn make_column(std::string_view db_name, std::string_view short_name, int width) {
  TableSetColumn c;
  c.width = width;
  copy_text(c.db_name, db_name);
  copy_text(c.short_name, short_name);
  return c;
}

int scaled(int width) { return static_cast<int>(width * ui::scale_x()); }

void set_column_title(ui::Hwnd list, int index, const std::u16string& title) {
  std::u16string text = title;
  ui::ListViewColumn c;
  c.mask = ui::lvcf::text;
  c.text = text.data();
  ui::send_message(list, ui::lvm::set_column, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c));
}

// The limit message with its "%d" replaced by the limit.
void show_limit_message(ui::Hwnd owner, std::u16string text, int limit) {
  const std::size_t at = text.find(u"%d");
  if (at != std::u16string::npos) text.replace(at, 2, to_wide(std::to_string(limit)));
  ui::message_box(owner, text, u"Error", ui::mb::ok | ui::mb::icon_error);
}

}  // namespace

ParamTableSet read_data_columns(const std::string& tcf);

void format_row_caption(TableSetRow& row, std::string_view security_name, std::string_view class_name, bool with_class) {
  const std::string name(security_name);
  if (with_class) {
    std::snprintf(row.caption, sizeof row.caption, "%s [%s]", name.c_str(), std::string(class_name).c_str());
  } else {
    std::snprintf(row.caption, sizeof row.caption, "%s", name.c_str());
  }
}

std::string format_param_value(const KelapiClassParamRecord& param, const KelapiSecurityRecord& sec, double value) {
  char text[64] = "";
  if ((param.flags & 0x2) != 0) {
    const std::string_view list = field_text(param.enum_desc);
    const long wanted = static_cast<long>(value);
    if (wanted < 0) return {};
    std::size_t start = 0;
    for (long i = 0; i < wanted; ++i) {
      const std::size_t bar = list.find('|', start);
      if (bar == std::string_view::npos) return {};
      start = bar + 1;
    }
    return std::string(list.substr(start, list.find('|', start) - start));
  }
  const long whole = static_cast<long>(value);
  if ((param.flags & 0x1) != 0) {
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", whole / 10000, whole / 100 % 100, whole % 100);
  } else if ((param.flags & 0x40) != 0) {
    std::snprintf(text, sizeof text, "%04ld %02ld %02ld", whole / 10000, whole / 100 % 100, whole % 100);
  } else {
    const Settings& s = manager()->settings();
    const int precision = (param.flags & 0x4) != 0 ? sec.scale : param.scale;
    format_real(text, sizeof text, value, precision, s.decimal_separator, s.group_separator, s.digit_grouping);
  }
  return text;
}

DataWnd::DataWnd(const ParamTableSet& set) : MarketWindow(kind::current_params), set_(set) {
  set_.row_count = set_.rows();
  set_.column_count = set_.columns();
}

DataWnd::~DataWnd() {
  if (hwnd()) destroy();
}

void DataWnd::on_create() {
  list_ = create_report_list(hwnd(), kListId, ui::lvs::no_sort_header);
  const ui::ListViewControl lv{list_};
  lv.insert_column(0, u"", scaled(60));
  if (set_.columns() == 0) {
    const int w = 70;
    set_.column[0] = make_column("bid", cp1251("Спрос"), w);
    set_.column[1] = make_column("offer", cp1251("Предл."), w);
    set_.column[2] = make_column("last", cp1251("Цена послед."), w);
    set_.column[3] = make_column("lastchange", cp1251("% измен.закр."), w);
    set_.column_count = 4;
  }
  lv.set_column_width(0, set_.caption_width);
  insert_param_columns();
  rebuild_items();
  bind_all(true, true);
}

void DataWnd::insert_param_columns() {
  const ui::ListViewControl lv{list_};
  for (int k = 0; k < set_.columns(); ++k) {
    const TableSetColumn& c = set_.column[k];
    lv.insert_column(k + 1, to_wide(field_text(c.short_name)), c.width, ui::lvcfmt::right);
  }
}

void DataWnd::rebuild_items() {
  const ui::ListViewControl lv{list_};
  lv.delete_all_items();
  for (int i = 0; i < set_.rows(); ++i) {
    lv.insert_item(i, to_wide(field_text(set_.row[i].caption)), i);
  }
}

void DataWnd::set_cell(int row, int column, const std::string& text) {
  ui::ListViewControl{list_}.set_item_text(row, column + 1, to_wide(text));
}

void DataWnd::fill_row(int index, const ClassRecord& cls, const SecurityRecord& sec) {
  for (int k = 0; k < set_.columns(); ++k) {
    const KelapiClassParamRecord* p = cls.find_param(field_text(set_.column[k].db_name));
    if (p == nullptr) continue;
    const auto value = sec.values.find(p->param_number);
    if (value != sec.values.end()) set_cell(index, k, format_param_value(*p, sec.record, value->second));
  }
}

void DataWnd::bind_class(ClassRecord& cls, bool fill, bool apply) {
  DataFeedManager& m = *manager();
  const std::string code = cls.code();
  std::vector<uint32_t> secs;
  for (int i = 0; i < set_.rows(); ++i) {
    TableSetRow& row = set_.row[i];
    if (field_text(row.class_code) != code) continue;
    const SecurityRecord* sec = cls.find_security(std::string(field_text(row.security_code)));
    if (sec == nullptr) continue;
    row.class_id = static_cast<int32_t>(cls.record.class_number);
    row.security_id = static_cast<int32_t>(sec->record.security_number);
    format_row_caption(row, field_text(sec->record.name), field_text(cls.record.name), m.settings().class_names);
    ui::ListViewControl{list_}.set_item_text(i, 0, to_wide(field_text(row.caption)));
    if (fill) fill_row(i, cls, *sec);
    secs.push_back(sec->record.security_number);
  }
  std::vector<int16_t> params;
  if (!secs.empty()) {
    for (int k = 0; k < set_.columns(); ++k) {
      TableSetColumn& c = set_.column[k];
      const KelapiClassParamRecord* p = cls.find_param(field_text(c.db_name));
      if (p == nullptr) continue;
      copy_text(c.short_name, field_text(p->short_name));
      set_column_title(list_, k + 1, to_wide(field_text(c.short_name)));
      params.push_back(static_cast<int16_t>(p->param_number));
    }
  }
  m.set_window_filter_lists(cls, std::move(params), std::move(secs));
  if (apply && m.settings().global_filter == 0) m.apply_class_filter(cls);
}

void DataWnd::bind_all(bool fill, bool apply) {
  for (auto& [code, cls] : manager()->tables().classes) bind_class(*cls, fill, apply);
}

void DataWnd::on_values(const ClassRecord& cls, const SecurityRecord& sec, std::span<const KelapiValueRecord> values) {
  const TableSetRow* rows_end = set_.row + set_.rows();
  const TableSetRow* rows_begin = set_.row;
  const auto row = std::find_if(rows_begin, rows_end, [&](const TableSetRow& r) {
    return r.class_id == static_cast<int32_t>(cls.record.class_number) &&
           r.security_id == static_cast<int32_t>(sec.record.security_number);
  });
  if (row == rows_end) return;
  const int index = static_cast<int>(row - set_.row);
  const TableSetColumn* columns_end = set_.column + set_.columns();
  const TableSetColumn* columns_begin = set_.column;
  for (const KelapiValueRecord& v : values) {
    const std::string_view name = field_text(v.db_name);
    const auto column = std::find_if(columns_begin, columns_end,
                                     [&](const TableSetColumn& c) { return same_name(field_text(c.db_name), name); });
    if (column == columns_end) continue;
    const KelapiClassParamRecord* p = cls.find_param(name);
    if (p == nullptr) continue;
    set_cell(index, static_cast<int>(column - set_.column), format_param_value(*p, sec.record, v.value));
  }
}

void DataWnd::rewrite_captions() {
  const Tables& t = manager()->tables();
  for (int i = 0; i < set_.rows(); ++i) {
    TableSetRow& row = set_.row[i];
    const ClassRecord* cls = row.class_id >= 0 ? t.find_class(static_cast<uint32_t>(row.class_id)) : nullptr;
    const SecurityRecord* sec =
        cls != nullptr && row.security_id >= 0 ? cls->find_security(static_cast<uint32_t>(row.security_id))
                                                   : nullptr;
    if (sec == nullptr) continue;
    format_row_caption(row, field_text(sec->record.name), field_text(cls->record.name),
                       manager()->settings().class_names);
    ui::ListViewControl{list_}.set_item_text(i, 0, to_wide(field_text(row.caption)));
  }
}

void DataWnd::delete_selected_row() {
  const ui::ListViewControl lv{list_};
  const int item = lv.next_item(-1, ui::lvni::selected);
  if (item < 0 || item >= set_.rows()) return;
  lv.delete_item(item);
  std::copy(set_.row + item + 1, set_.row + set_.rows(), set_.row + item);
  --set_.row_count;
  for (int i = item; i < lv.item_count(); ++i) lv.set_item_data(i, i);
  bind_all(false, true);
}

void DataWnd::add_securities() {
  AddTableItemDlg dlg(true);
  if (dlg.do_modal(hwnd()) != ui::id::ok || dlg.chosen_class() == nullptr) return;
  ClassRecord* cls = dlg.chosen_class();
  const ui::ListViewControl lv{list_};
  for (const uint32_t key : dlg.keys()) {
    const SecurityRecord* sec = cls->find_security(key);
    if (sec == nullptr) continue;
    if (set_.rows() >= kTableSetMax) {
      show_limit_message(hwnd(), u"Можно выбрать одновременно не более %d бумаг.\nОставшиеся бумаги добавлены не будут.",
                         kTableSetMax);
      break;
    }
    const std::string code = cls->code();
    const std::string_view sec_code = field_text(sec->record.code);
    if (std::any_of(set_.row, set_.row + set_.rows(), [&](const TableSetRow& r) {
          return field_text(r.class_code) == code && field_text(r.security_code) == sec_code;
        })) {
      continue;
    }
    TableSetRow row;
    copy_text(row.class_code, code);
    copy_text(row.security_code, sec_code);
    format_row_caption(row, field_text(sec->record.name), field_text(cls->record.name),
                       manager()->settings().class_names);
    set_.row[set_.row_count++] = row;
    lv.insert_item(lv.item_count(), to_wide(field_text(row.caption)), set_.row_count - 1);
  }
  bind_all(false, true);
}

void DataWnd::add_params() {
  AddTableItemDlg dlg(false);
  if (dlg.do_modal(hwnd()) != ui::id::ok || dlg.chosen_class() == nullptr) return;
  ClassRecord* cls = dlg.chosen_class();
  const ui::ListViewControl lv{list_};
  for (const uint32_t key : dlg.keys()) {
    const auto p = cls->params.find(static_cast<uint16_t>(key));
    if (p == cls->params.end()) continue;
    if (set_.columns() >= kTableSetMax) {
      show_limit_message(hwnd(),
                         u"Можно выбрать одновременно не более %d параметров.\nОставшиеся параметры добавлены не будут.",
                         kTableSetMax);
      break;
    }
    const std::string_view db = field_text(p->second.db_name);
    if (std::any_of(set_.column, set_.column + set_.columns(),
                    [&](const TableSetColumn& c) { return same_name(field_text(c.db_name), db); })) {
      continue;
    }
    const TableSetColumn& added = set_.column[set_.column_count++] =
        make_column(db, field_text(p->second.short_name), scaled(60));
    lv.insert_column(set_.column_count, to_wide(field_text(added.short_name)), added.width, ui::lvcfmt::right);
  }
  bind_all(false, true);
}

void DataWnd::edit_securities() {
  ItemListDlg dlg(true, set_);
  if (dlg.do_modal(hwnd()) != ui::id::ok) return;
  const ParamTableSet& edited = dlg.table_set();
  set_.row_count = edited.rows();
  std::copy(edited.row, edited.row + edited.rows(), set_.row);
  rebuild_items();
  if (manager()->connected()) bind_all(true, true);
}

void DataWnd::edit_params() {
  const ui::ListViewControl lv{list_};
  for (int k = 0; k < set_.columns(); ++k) set_.column[k].width = lv.column_width(k + 1);
  ItemListDlg dlg(false, set_);
  if (dlg.do_modal(hwnd()) != ui::id::ok) return;
  const ParamTableSet& edited = dlg.table_set();
  while (lv.column_count() > 1) lv.delete_column(1);
  set_.column_count = edited.columns();
  std::copy(edited.column, edited.column + edited.columns(), set_.column);
  insert_param_columns();
  if (manager()->connected()) bind_all(true, true);
}

void DataWnd::show_menu(POINT screen) {
  const ui::Hmenu menu = ui::create_popup_menu();
  const DataFeedManager& m = *manager();
  const UINT online = m.connected() && m.started() ? ui::mf::enabled : ui::mf::grayed;
  const bool selected = ui::ListViewControl{list_}.next_item(-1, ui::lvni::selected) >= 0;
  ui::append_menu(menu, ui::mf::string | (selected ? ui::mf::enabled : ui::mf::grayed), kCmdDeleteRow,
                  u"Удалить инструмент");
  ui::append_menu(menu, ui::mf::string | online, kCmdAddRow, u"Добавить инструмент");
  ui::append_menu(menu, ui::mf::string, kCmdRowList, u"Список инструментов");
  ui::append_menu(menu, ui::mf::separator, 0);
  ui::append_menu(menu, ui::mf::string | online, kCmdAddParam, u"Добавить параметр");
  ui::append_menu(menu, ui::mf::string, kCmdParamList, u"Список параметров");
  const UINT chosen = ui::track_popup_menu(menu, ui::tpm::return_cmd, screen.x, screen.y, hwnd());
  ui::destroy_menu(menu);
  switch (chosen) {
    case kCmdDeleteRow: delete_selected_row(); break;
    case kCmdAddRow: add_securities(); break;
    case kCmdRowList: edit_securities(); break;
    case kCmdAddParam: add_params(); break;
    case kCmdParamList: edit_params(); break;
    default: break;
  }
}

void DataWnd::write_state(SectionText& keys) const {
  keys.put_int("numsecs", set_.rows());
  for (int i = 0; i < set_.rows(); ++i) {
    const TableSetRow& r = set_.row[i];
    const std::string n = std::to_string(i);
    keys.put("class" + n, field_text(r.class_code));
    keys.put("sec" + n, field_text(r.security_code));
    keys.put("caption" + n, field_text(r.caption));
  }
}

void DataWnd::restore_state(const SavedSection& section) {
  const std::string caption(field_text(set_.caption));
  set_ = read_data_columns(window_table_path());
  copy_text(set_.caption, caption);
  set_.row_count = section.get_int_in("numsecs", 0, 0, kTableSetMax);
  for (int i = 0; i < set_.row_count; ++i) {
    TableSetRow& r = set_.row[i];
    const std::string n = std::to_string(i);
    copy_text(r.class_code, section.get("class" + n, "", 12));
    copy_text(r.security_code, section.get("sec" + n, "", 12));
    copy_text(r.caption, section.get("caption" + n, "", 65));
  }
}

void DataWnd::write_column_layout() {
  if (!list_) return;
  const ui::ListViewControl lv{list_};
  SectionText body;
  body.put_int("capwidth", lv.column_width(0));
  body.put_int("numpars", set_.columns());
  for (int k = 0; k < set_.columns(); ++k) {
    const std::string n = std::to_string(k);
    body.put_int("parwidth" + n, lv.column_width(k + 1));
    body.put("parname" + n, field_text(set_.column[k].short_name));
    body.put("pardb" + n, field_text(set_.column[k].db_name));
  }
  write_kind_section("DataWnd", body);
}

void DataWnd::release() {
  write_column_layout();
  if (list_) ui::destroy_window(list_);
  list_ = {};
  DataFeedManager& m = *manager();
  if (m.connected() && m.started() && m.settings().global_filter == 0) {
    for (auto& [code, cls] : m.tables().classes) {
      m.set_window_filter_lists(*cls, {}, {});
      m.apply_class_filter(*cls);
    }
  }
}

LRESULT DataWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::destroy:
      release();
      break;
    case ui::wm::size: {
      const RECT r = client_rect();
      ui::move_window(list_, 0, 0, r.right, r.bottom, true);
      break;
    }
    case ui::wm::notify: {
      const auto& header = *reinterpret_cast<const ui::NotifyHeader*>(lparam);
      if (header.id_from == kListId && header.code == ui::gn::context_menu) {
        show_menu(reinterpret_cast<const ui::GestureNotify&>(header).action);
      }
      break;
    }
    case UM_MATCHROW:
      if (wparam != 0) bind_class(*reinterpret_cast<ClassRecord*>(wparam), true, false);
      break;
    case UM_SETFONT:
      apply_font(list_, wparam);
      break;
    case UM_CLASSNAME:
      rewrite_captions();
      break;
    case UM_SAVECOLUMNS:
      write_column_layout();
      break;
    default:
      break;
  }
  return MarketWindow::window_proc(msg, wparam, lparam);
}

// The current-parameters window's columns and caption width as the
// window-table file keeps them.
ParamTableSet read_data_columns(const std::string& tcf) {
  const SavedSection section(tcf, "DataWnd");
  ParamTableSet set;
  set.caption_width = section.get_int("capwidth", 60);
  set.column_count = section.get_int_in("numpars", 0, 0, kTableSetMax);
  for (int k = 0; k < set.column_count; ++k) {
    const std::string n = std::to_string(k);
    set.column[k] = make_column(section.get("pardb" + n, "", 16), section.get("parname" + n, "", 18),
                                section.get_int("parwidth" + n, 60));
  }
  return set;
}

void register_data_window() {
  auto pending = std::make_shared<ParamTableSet>();
  WindowKind k;
  k.kind = kind::current_params;
  k.command = cmd::current_params;
  k.single = true;
  k.caption = cp1251("Текущие параметры");
  k.prepare = [pending](std::string& caption) {
    const MainView* view = manager()->view();
    AddTableItemDlg dlg(true);
    if (dlg.do_modal(view != nullptr ? view->hwnd() : ui::Hwnd{}) != ui::id::ok) return false;
    const ClassRecord* cls = dlg.chosen_class();
    const std::vector<uint32_t>& keys = dlg.keys();
    if (cls == nullptr || std::find(keys.begin(), keys.end(), static_cast<uint32_t>(-1)) != keys.end()) return false;
    ParamTableSet set = read_data_columns(window_table_path());
    for (const uint32_t key : keys) {
      const SecurityRecord* sec = cls->find_security(key);
      if (sec == nullptr || set.row_count >= kTableSetMax) continue;
      TableSetRow& row = set.row[set.row_count++];
      copy_text(row.class_code, cls->code());
      copy_text(row.security_code, field_text(sec->record.code));
      format_row_caption(row, field_text(sec->record.name), field_text(cls->record.name), true);
    }
    copy_text(set.caption, caption);
    *pending = set;
    return true;
  };
  k.create = [pending] {
    auto window = std::make_unique<DataWnd>(*pending);
    *pending = ParamTableSet{};
    return window;
  };
  register_window_kind(std::move(k));
}

}  // namespace kelda::terminal
