// The current-parameters window: binding rows and columns to the data
// manager's classes, the cells, the subscriptions and the tap-and-hold menu.
#include "terminal/data_wnd.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/market_windows.h"
#include "terminal/profile.h"
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

DataColumn make_column(std::string_view db_name, std::string_view short_name, int width) {
  DataColumn c;
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

void format_row_caption(DataRow& row, std::string_view security_name, std::string_view class_name, bool with_class) {
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

DataWnd::DataWnd(DataTableSet set) : TerminalWindow(kind::current_params), set_(std::move(set)) {
  if (set_.rows.size() > kDataMaxRows) set_.rows.resize(kDataMaxRows);
  if (set_.columns.size() > kDataMaxColumns) set_.columns.resize(kDataMaxColumns);
}

DataWnd::~DataWnd() {
  if (hwnd()) destroy();
}

void DataWnd::on_create() {
  list_ = create_report_list(hwnd(), kListId, ui::lvs::no_sort_header);
  const ui::ListViewControl lv{list_};
  lv.insert_column(0, u"", scaled(60));
  if (set_.columns.empty()) {
    const int w = 70;
    set_.columns = {make_column("bid", cp1251("Спрос"), w), make_column("offer", cp1251("Предл."), w),
                    make_column("last", cp1251("Цена послед."), w), make_column("lastchange", cp1251("% измен.закр."), w)};
  }
  lv.set_column_width(0, set_.caption_width);
  insert_param_columns();
  rebuild_items();
  bind_all(true, true);
}

void DataWnd::insert_param_columns() {
  const ui::ListViewControl lv{list_};
  for (std::size_t k = 0; k < set_.columns.size(); ++k) {
    const DataColumn& c = set_.columns[k];
    lv.insert_column(static_cast<int>(k) + 1, to_wide(field_text(c.short_name)), c.width, ui::lvcfmt::right);
  }
}

void DataWnd::rebuild_items() {
  const ui::ListViewControl lv{list_};
  lv.delete_all_items();
  for (std::size_t i = 0; i < set_.rows.size(); ++i) {
    lv.insert_item(static_cast<int>(i), to_wide(field_text(set_.rows[i].caption)), static_cast<LPARAM>(i));
  }
}

void DataWnd::set_cell(int row, int column, const std::string& text) {
  ui::ListViewControl{list_}.set_item_text(row, column + 1, to_wide(text));
}

void DataWnd::fill_row(int index, const ClassRecord& cls, const SecurityRecord& sec) {
  for (std::size_t k = 0; k < set_.columns.size(); ++k) {
    const KelapiClassParamRecord* p = cls.find_param(field_text(set_.columns[k].db_name));
    if (p == nullptr) continue;
    const auto value = sec.values.find(p->param_number);
    if (value != sec.values.end()) set_cell(index, static_cast<int>(k), format_param_value(*p, sec.record, value->second));
  }
}

void DataWnd::bind_class(ClassRecord& cls, bool fill, bool apply) {
  DataFeedManager& m = *manager();
  const std::string code = cls.code();
  std::vector<uint32_t> secs;
  for (std::size_t i = 0; i < set_.rows.size(); ++i) {
    DataRow& row = set_.rows[i];
    if (field_text(row.class_code) != code) continue;
    const SecurityRecord* sec = cls.find_security(std::string(field_text(row.security_code)));
    if (sec == nullptr) continue;
    row.class_number = static_cast<int32_t>(cls.record.class_number);
    row.security_number = static_cast<int32_t>(sec->record.security_number);
    format_row_caption(row, field_text(sec->record.name), field_text(cls.record.name), m.settings().class_names);
    ui::ListViewControl{list_}.set_item_text(static_cast<int>(i), 0, to_wide(field_text(row.caption)));
    if (fill) fill_row(static_cast<int>(i), cls, *sec);
    secs.push_back(sec->record.security_number);
  }
  std::vector<int16_t> params;
  if (!secs.empty()) {
    for (std::size_t k = 0; k < set_.columns.size(); ++k) {
      DataColumn& c = set_.columns[k];
      const KelapiClassParamRecord* p = cls.find_param(field_text(c.db_name));
      if (p == nullptr) continue;
      copy_text(c.short_name, field_text(p->short_name));
      set_column_title(list_, static_cast<int>(k) + 1, to_wide(field_text(c.short_name)));
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
  const auto row = std::find_if(set_.rows.begin(), set_.rows.end(), [&](const DataRow& r) {
    return r.class_number == static_cast<int32_t>(cls.record.class_number) &&
           r.security_number == static_cast<int32_t>(sec.record.security_number);
  });
  if (row == set_.rows.end()) return;
  const int index = static_cast<int>(row - set_.rows.begin());
  for (const KelapiValueRecord& v : values) {
    const std::string_view name = field_text(v.db_name);
    const auto column = std::find_if(set_.columns.begin(), set_.columns.end(),
                                     [&](const DataColumn& c) { return same_name(field_text(c.db_name), name); });
    if (column == set_.columns.end()) continue;
    const KelapiClassParamRecord* p = cls.find_param(name);
    if (p == nullptr) continue;
    set_cell(index, static_cast<int>(column - set_.columns.begin()), format_param_value(*p, sec.record, v.value));
  }
}

void DataWnd::rewrite_captions() {
  const Tables& t = manager()->tables();
  for (std::size_t i = 0; i < set_.rows.size(); ++i) {
    DataRow& row = set_.rows[i];
    const ClassRecord* cls = row.class_number >= 0 ? t.find_class(static_cast<uint32_t>(row.class_number)) : nullptr;
    const SecurityRecord* sec =
        cls != nullptr && row.security_number >= 0 ? cls->find_security(static_cast<uint32_t>(row.security_number))
                                                   : nullptr;
    if (sec == nullptr) continue;
    format_row_caption(row, field_text(sec->record.name), field_text(cls->record.name),
                       manager()->settings().class_names);
    ui::ListViewControl{list_}.set_item_text(static_cast<int>(i), 0, to_wide(field_text(row.caption)));
  }
}

void DataWnd::delete_selected_row() {
  const ui::ListViewControl lv{list_};
  const int item = lv.next_item(-1, ui::lvni::selected);
  if (item < 0 || item >= std::ssize(set_.rows)) return;
  lv.delete_item(item);
  set_.rows.erase(set_.rows.begin() + item);
  for (int i = item; i < lv.item_count(); ++i) lv.set_item_data(i, i);
  bind_all(false, true);
}

void DataWnd::add_securities() {
  ClassRecord* cls = nullptr;
  std::vector<uint32_t> keys;
  const auto& add = market_window_hooks().add_items;
  if (!add || !add(1, cls, keys) || cls == nullptr) return;
  const ui::ListViewControl lv{list_};
  for (const uint32_t key : keys) {
    const SecurityRecord* sec = cls->find_security(key);
    if (sec == nullptr) continue;
    if (std::ssize(set_.rows) >= kDataMaxRows) {
      show_limit_message(hwnd(), u"Можно выбрать одновременно не более %d бумаг.\nОставшиеся бумаги добавлены не будут.",
                         kDataMaxRows);
      break;
    }
    const std::string code = cls->code();
    const std::string_view sec_code = field_text(sec->record.code);
    if (std::any_of(set_.rows.begin(), set_.rows.end(), [&](const DataRow& r) {
          return field_text(r.class_code) == code && field_text(r.security_code) == sec_code;
        })) {
      continue;
    }
    DataRow row;
    copy_text(row.class_code, code);
    copy_text(row.security_code, sec_code);
    format_row_caption(row, field_text(sec->record.name), field_text(cls->record.name),
                       manager()->settings().class_names);
    set_.rows.push_back(row);
    lv.insert_item(lv.item_count(), to_wide(field_text(row.caption)), static_cast<LPARAM>(set_.rows.size() - 1));
  }
  bind_all(false, true);
}

void DataWnd::add_params() {
  ClassRecord* cls = nullptr;
  std::vector<uint32_t> keys;
  const auto& add = market_window_hooks().add_items;
  if (!add || !add(0, cls, keys) || cls == nullptr) return;
  const ui::ListViewControl lv{list_};
  for (const uint32_t key : keys) {
    const auto p = cls->params.find(static_cast<uint16_t>(key));
    if (p == cls->params.end()) continue;
    if (std::ssize(set_.columns) >= kDataMaxColumns) {
      show_limit_message(hwnd(),
                         u"Можно выбрать одновременно не более %d параметров.\nОставшиеся параметры добавлены не будут.",
                         kDataMaxColumns);
      break;
    }
    const std::string_view db = field_text(p->second.db_name);
    if (std::any_of(set_.columns.begin(), set_.columns.end(),
                    [&](const DataColumn& c) { return same_name(field_text(c.db_name), db); })) {
      continue;
    }
    set_.columns.push_back(make_column(db, field_text(p->second.short_name), scaled(60)));
    lv.insert_column(static_cast<int>(set_.columns.size()), to_wide(field_text(p->second.short_name)),
                     set_.columns.back().width, ui::lvcfmt::right);
  }
  bind_all(false, true);
}

void DataWnd::edit_securities() {
  const auto& edit = market_window_hooks().edit_item_list;
  DataTableSet copy = set_;
  if (!edit || !edit(1, copy)) return;
  set_.rows = std::move(copy.rows);
  if (set_.rows.size() > kDataMaxRows) set_.rows.resize(kDataMaxRows);
  rebuild_items();
  if (manager()->connected()) bind_all(true, true);
}

void DataWnd::edit_params() {
  const ui::ListViewControl lv{list_};
  for (std::size_t k = 0; k < set_.columns.size(); ++k) set_.columns[k].width = lv.column_width(static_cast<int>(k) + 1);
  const auto& edit = market_window_hooks().edit_item_list;
  DataTableSet copy = set_;
  if (!edit || !edit(0, copy)) return;
  while (lv.column_count() > 1) lv.delete_column(1);
  set_.columns = std::move(copy.columns);
  if (set_.columns.size() > kDataMaxColumns) set_.columns.resize(kDataMaxColumns);
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

void DataWnd::save_state(int index, std::FILE* file) const {
  if (file == nullptr) return;
  std::fprintf(file, "[ActiveWnd%d]\ntype=%d\ncaption=%s\nnumsecs=%d\n", index, kind::current_params,
               caption().c_str(), static_cast<int>(set_.rows.size()));
  for (std::size_t i = 0; i < set_.rows.size(); ++i) {
    const DataRow& r = set_.rows[i];
    std::fprintf(file, "class%zu=%s\nsec%zu=%s\ncaption%zu=%s\n", i, std::string(field_text(r.class_code)).c_str(),
                 i, std::string(field_text(r.security_code)).c_str(), i, std::string(field_text(r.caption)).c_str());
  }
  std::fputs("\n", file);
}

void DataWnd::write_column_layout() {
  // The [DataWnd] section: written once the layout files keep kind sections.
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
    case ui::wm::create: {
      const LRESULT r = default_proc(msg, wparam, lparam);
      if (r != -1) on_create();
      return r;
    }
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
    case UM_SAVESTATE:
      save_state(static_cast<int>(wparam), reinterpret_cast<std::FILE*>(lparam));
      break;
    case UM_MATCHROW:
      if (wparam != 0) bind_class(*reinterpret_cast<ClassRecord*>(wparam), true, false);
      break;
    case UM_SETFONT: {
      const auto* font = reinterpret_cast<const ui::Font*>(wparam);
      ui::send_message(list_, ui::wm::set_font, font != nullptr ? font->handle() : 0, 1);
      break;
    }
    case UM_CLASSNAME:
      rewrite_captions();
      break;
    case UM_SAVECOLUMNS:
      write_column_layout();
      break;
    default:
      break;
  }
  return TerminalWindow::window_proc(msg, wparam, lparam);
}

// The current-parameters window's columns and caption width as the
// window-table file keeps them.
DataTableSet read_data_columns(const std::string& tcf) {
  DataTableSet set;
  set.caption_width = profile_get_int("DataWnd", "capwidth", 60, tcf);
  const int count = std::clamp(profile_get_int("DataWnd", "numpars", 0, tcf), 0, kDataMaxColumns);
  for (int k = 0; k < count; ++k) {
    const std::string n = std::to_string(k);
    set.columns.push_back(make_column(profile_get_string("DataWnd", "pardb" + n, "", tcf, 16),
                                      profile_get_string("DataWnd", "parname" + n, "", tcf, 18),
                                      profile_get_int("DataWnd", "parwidth" + n, 60, tcf)));
  }
  return set;
}

void register_data_window() {
  auto pending = std::make_shared<DataTableSet>();
  WindowKind k;
  k.kind = kind::current_params;
  k.command = cmd::current_params;
  k.single = true;
  k.caption = cp1251("Текущие параметры");
  k.prepare = [pending](std::string& caption) {
    ClassRecord* cls = nullptr;
    std::vector<uint32_t> keys;
    const auto& add = market_window_hooks().add_items;
    if (!add || !add(1, cls, keys) || cls == nullptr) return false;
    if (std::find(keys.begin(), keys.end(), static_cast<uint32_t>(-1)) != keys.end()) return false;
    DataTableSet set = read_data_columns(manager()->window_kinds_path());
    for (const uint32_t key : keys) {
      const SecurityRecord* sec = cls->find_security(key);
      if (sec == nullptr || std::ssize(set.rows) >= kDataMaxRows) continue;
      DataRow row;
      copy_text(row.class_code, cls->code());
      copy_text(row.security_code, field_text(sec->record.code));
      format_row_caption(row, field_text(sec->record.name), field_text(cls->record.name), true);
      set.rows.push_back(row);
    }
    set.caption = caption;
    *pending = std::move(set);
    return true;
  };
  k.create = [pending] {
    auto window = std::make_unique<DataWnd>(std::move(*pending));
    *pending = DataTableSet{};
    return window;
  };
  register_window_kind(std::move(k));
}

}  // namespace kelda::terminal
