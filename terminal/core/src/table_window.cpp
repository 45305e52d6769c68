// The table-window base: layout, columns, the column section, the messages
// every table answers and the tap-and-hold menu.
#include "terminal/table_window.h"

#include <cstdio>

#include "terminal/column_setup_dialog.h"
#include "terminal/data_feed_manager.h"
#include "terminal/layout_files.h"
#include "terminal/text_log.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

std::string numbered(const char* format, int n) {
  char key[32];
  std::snprintf(key, sizeof key, format, n);
  return key;
}

}  // namespace

ColumnDesc column(int32_t code, bool numeric, std::string_view utf8_title) {
  ColumnDesc d;
  d.code = code;
  d.numeric = numeric ? 1 : 0;
  copy_text(d.name, cp1251(utf8_title));
  return d;
}

TableWnd::TableWnd(int kind, std::initializer_list<ColumnDesc> descriptors)
    : TerminalWindow(kind), descs_(descriptors) {
  if (descs_.size() > static_cast<std::size_t>(kMaxTableColumns)) descs_.resize(kMaxTableColumns);
}

std::string_view TableWnd::section() const { return kind_section_name(kind()); }

int TableWnd::leading_width() const { return static_cast<int>(30 * ui::scale_x()); }
int TableWnd::data_width() const { return static_cast<int>(60 * ui::scale_x()); }

void TableWnd::read_column_layout() {
  const SavedSection saved(window_table_path(), section());
  TableLayout block;
  int count = saved.get_int("numpars", 0);
  if (count < 0) {
    log_line("ERROR: Bad numpars %d in section [%s]; every column shown.", count, saved.name().c_str());
    count = 0;
  } else if (count > kMaxTableColumns) {
    log_line("ERROR: numpars %d in section [%s] is above %d; the first %d columns kept.", count,
             saved.name().c_str(), kMaxTableColumns, kMaxTableColumns);
    count = kMaxTableColumns;
  }
  block.shown_count = count;
  block.width[0] = saved.get_int_in("par0width", 30, 0, kMaxColumnWidth);
  for (int k = 1; k <= count; ++k) {
    const int width = saved.get_int_in(numbered("par%dwidth", k), 60, 0, kMaxColumnWidth);
    block.width[static_cast<std::size_t>(k)] = width == 0 ? 60 : width;
    block.code[static_cast<std::size_t>(k - 1)] = saved.get_int(numbered("par%dcode", k), k);
  }
  layout_ = block;
}

void TableWnd::apply_layout(const TableLayout* block) {
  if (block == nullptr) return;
  if (block != &layout_) layout_ = *block;
  const int descs = static_cast<int>(descs_.size());
  if (layout_.shown_count <= 0) {
    for (int k = 0; k < descs; ++k) {
      layout_.code[static_cast<std::size_t>(k)] = descs_[static_cast<std::size_t>(k)].code;
      layout_.desc_index[static_cast<std::size_t>(k)] = k;
      layout_.width[static_cast<std::size_t>(k + 1)] = data_width();
    }
    layout_.width[0] = leading_width();
    layout_.shown_count = descs;
    return;
  }
  if (layout_.shown_count > kMaxTableColumns) layout_.shown_count = kMaxTableColumns;
  for (int k = 0; k < layout_.shown_count; ++k) {
    int& index = layout_.desc_index[static_cast<std::size_t>(k)];
    const int code = layout_.code[static_cast<std::size_t>(k)];
    bool found = false;
    for (int d = 0; d < descs && !found; ++d) {
      if (descs_[static_cast<std::size_t>(d)].code == code) {
        index = d;
        found = true;
      }
    }
    if (!found && (index < 0 || index >= descs)) index = 0;
  }
}

void TableWnd::rebuild_columns(const TableLayout* block) {
  apply_layout(block);
  list().delete_all_items();
  remove_columns(block == nullptr);
  insert_layout_columns();
  refill();
}

void TableWnd::remove_columns(bool keep_widths) {
  const ui::ListViewControl lv = list();
  const int existing = lv.column_count();
  for (int i = 0; i < existing; ++i) {
    if (keep_widths && i <= kMaxTableColumns) layout_.width[static_cast<std::size_t>(i)] = lv.column_width(0);
    lv.delete_column(0);
  }
}

void TableWnd::insert_layout_columns() {
  const ui::ListViewControl lv = list();
  lv.insert_column(0, u"", layout_.width[0] < 1 ? leading_width() : layout_.width[0], ui::lvcfmt::left);
  for (int k = 0; k < layout_.shown_count; ++k) {
    const ColumnDesc& d = descs_[static_cast<std::size_t>(layout_.desc_index[static_cast<std::size_t>(k)])];
    const int width = layout_.width[static_cast<std::size_t>(k + 1)];
    lv.insert_column(k + 1, to_wide(field_text(d.name)), width < 1 ? data_width() : width,
                     d.numeric != 0 ? ui::lvcfmt::right : ui::lvcfmt::left);
  }
}

void TableWnd::set_column_title(int column, std::u16string_view title) {
  std::u16string text(title);
  ui::ListViewColumn c;
  c.mask = ui::lvcf::text;
  c.text = text.data();
  ui::send_message(list_, ui::lvm::set_column, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
}

void TableWnd::write_column_layout(bool use_defaults) {
  const ui::ListViewControl lv = list();
  SectionText body;
  body.put_int("numpars", layout_.shown_count);
  for (int i = 0; i <= layout_.shown_count; ++i) {
    const int width = use_defaults ? (i == 0 ? leading_width() : data_width()) : lv.column_width(i);
    body.put_int(numbered("par%dwidth", i), width);
  }
  for (int k = 1; k <= layout_.shown_count; ++k) {
    body.put_int(numbered("par%dcode", k), layout_.code[static_cast<std::size_t>(k - 1)]);
  }
  write_kind_section(section(), body);
}

void TableWnd::keep_widths_for_setup() {
  const ui::ListViewControl lv = list();
  for (int k = 1; k <= layout_.shown_count; ++k) layout_.width[static_cast<std::size_t>(k)] = lv.column_width(k);
}

void TableWnd::run_column_setup() {
  keep_widths_for_setup();
  if (run_table_column_setup(*this)) rebuild_columns(nullptr);
}

void TableWnd::clear_rows() { list().delete_all_items(); }

void TableWnd::set_row_cells(int row, LPARAM record) {
  const ui::ListViewControl lv = list();
  lv.set_item_data(row, record);
  for (int k = 0; k < layout_.shown_count; ++k) {
    lv.set_item_text(row, k + 1, to_wide(cell_text(record, layout_.code[static_cast<std::size_t>(k)])));
  }
}

int TableWnd::append_row(LPARAM record) {
  const ui::ListViewControl lv = list();
  const int count = lv.item_count();
  const int row = lv.insert_item(count, to_wide(std::to_string(count + 1)), record);
  if (row >= 0) set_row_cells(row, record);
  return row;
}

void TableWnd::renumber_from(int first) {
  const ui::ListViewControl lv = list();
  const int count = lv.item_count();
  for (int i = first < 0 ? 0 : first; i < count; ++i) lv.set_item_text(i, 0, to_wide(std::to_string(i + 1)));
}

LPARAM TableWnd::selected_record() const {
  const ui::ListViewControl lv = list();
  const int row = lv.next_item(-1, ui::lvni::selected);
  return row >= 0 ? lv.item_data(row) : 0;
}

bool TableWnd::create_list() {
  ui::CreateParams p;
  p.class_name = ui::class_name::list_view;
  p.style = ui::ws::child | ui::ws::visible | ui::ws::tab_stop | ui::lvs::report;
  p.parent = hwnd();
  p.id = kTableListId;
  const RECT client = client_rect();
  p.rect = client;
  list_ = ui::create_window(p);
  if (!list_) return false;
  if (const DataFeedManager* m = manager(); m != nullptr && m->table_font() != nullptr) {
    ui::send_message(list_, ui::wm::set_font, m->table_font()->handle(), 1);
  }
  list().set_extended_style(ui::lvs_ex::full_row_select, ui::lvs_ex::full_row_select);
  return true;
}

void TableWnd::show_menu() {
  const ui::Hmenu menu = ui::create_popup_menu();
  if (!menu) return;
  add_menu_entries(menu);
  ui::append_menu(menu, ui::mf::string, kTableSettingsCommand, u"Настройки таблицы");
  const POINT at = ui::get_message_pos();
  const UINT chosen = ui::track_popup_menu(menu, ui::tpm::return_cmd, at.x, at.y, hwnd());
  ui::destroy_menu(menu);
  if (chosen == kTableSettingsCommand) {
    run_column_setup();
  } else if (chosen != 0) {
    on_menu_command(chosen);
  }
}

LRESULT TableWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::create: {
      if (default_proc(msg, wparam, lparam) == -1 || !create_list()) return -1;
      read_column_layout();
      rebuild_columns(&layout_);
      return 0;
    }
    case ui::wm::size:
      if (list_) ui::move_window(list_, 0, 0, ui::lo_word(static_cast<WPARAM>(lparam)),
                                 ui::hi_word(static_cast<WPARAM>(lparam)), true);
      break;
    case ui::wm::notify: {
      const auto* hdr = reinterpret_cast<const ui::NotifyHeader*>(lparam);
      if (hdr == nullptr || hdr->id_from != kTableListId) break;
      if (hdr->code == ui::gn::context_menu) {
        show_menu();
        return 0;
      }
      if (hdr->code == ui::nm::dbl_clk) {
        on_double_tap();
        return 0;
      }
      if (hdr->code == ui::nm::custom_draw) {
        auto* draw = reinterpret_cast<ui::ListViewCustomDraw*>(lparam);
        if (draw->nmcd.draw_stage == ui::cdds::prepaint) return ui::cdrf::notify_item_draw;
        if (draw->nmcd.draw_stage == ui::cdds::item_prepaint) draw->text_color = row_color(draw->nmcd.item_lparam);
        return ui::cdrf::do_default;
      }
      break;
    }
    case UM_IDENTITY:
    case UM_ISKIND:
    case UM_GETKIND:
    case UM_SAVESTATE:
      return TerminalWindow::window_proc(msg, wparam, lparam);
    case UM_CLEAR:
      clear_rows();
      return 1;
    case UM_SETFONT:
      if (list_) {
        const auto* font = reinterpret_cast<const ui::Font*>(wparam);
        ui::send_message(list_, ui::wm::set_font, font != nullptr ? font->handle() : 0, 1);
      }
      return 1;
    case UM_GROUPING:
      rebuild_columns(nullptr);
      return 1;
    case UM_SAVECOLUMNS:
      write_column_layout(default_widths_on_save());
      return 1;
    case ui::wm::destroy:
      write_column_layout(default_widths_on_save());
      break;
    default:
      break;
  }
  return on_message(msg, wparam, lparam);
}

}  // namespace kelda::terminal
