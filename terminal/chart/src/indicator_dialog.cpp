// The indicator dialog and the level-lines dialog.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "indicator_forms.h"
#include "terminal/color_select.h"
#include "terminal/text_log.h"
#include "terminal_chart/field_checks.h"
#include "terminal_chart/indicator_dialogs.h"
#include "ui/controls.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;
constexpr double kSameLevel = 1e-6;
constexpr uint16_t kUpperBandColour = 16;
constexpr uint16_t kLowerBandColour = 156;

// The kinds the type list offers, in its order.
constexpr int32_t kOffered[] = {1,  2,  21, 37, 30, 29, 36, 7,  34, 35, 22, 27, 33, 24, 18, 5, 28,
                                12, 16, 3,  20, 10, 4,  13, 9,  11, 6,  8,  31, 26, 19, 17, 23};

std::u16string wide(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

std::u16string pane_text(std::size_t n) {
  char out[24];
  std::snprintf(out, sizeof out, "%zu", n + 1);
  return u"Окно" + wide(out);
}

ui::DialogTemplate indicator_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 140;
  tpl.cy = 124;
  tpl.caption = u"Индикатор";
  const DWORD combo = visible | ui::ws::tab_stop | ui::ws::vscroll | ui::cbs::drop_down_list;
  tpl.items = {
      {cls::static_, u"Тип", ui::id::static_text, visible, 4, 6, 30, 10},
      {cls::combo_box, u"", indicator_id::type, combo, 36, 4, 100, 100},
      {cls::static_, u"Окно", ui::id::static_text, visible, 4, 22, 30, 10},
      {cls::combo_box, u"", indicator_id::window, combo | ui::cbs::sort, 36, 20, 100, 80},
      {cls::static_, u"Цвет", ui::id::static_text, visible, 4, 38, 30, 10},
      {kColorSelectClass, u"", indicator_id::colour, visible | ui::ws::tab_stop, 36, 36, 60, 13},
      {cls::button, u"Дополнительно", indicator_id::more, visible | ui::ws::tab_stop, 36, 54, 100, 14},
      {cls::button, u"Линии уровня", ui::id::static_text, visible | ui::bs::group_box, 4, 72, 132, 28},
      {cls::button, u"Редактировать", indicator_id::levels, visible | ui::ws::tab_stop, 36, 82, 70, 14},
      {cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 16, 106, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 74, 106, 50, 14},
  };
  return tpl;
}

ui::DialogTemplate levels_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 140;
  tpl.cy = 130;
  tpl.caption = u"Уровни";
  tpl.items = {
      {cls::list_box, u"", indicator_id::level_list, visible | ui::ws::tab_stop | ui::ws::border | ui::ws::vscroll, 4,
       4, 132, 66},
      {cls::static_, u"Значение уровня", ui::id::static_text, visible, 4, 76, 60, 10},
      {cls::edit, u"", indicator_id::level_value, visible | ui::ws::tab_stop | ui::ws::border, 66, 74, 70, 13},
      {cls::button, u"Добавить", indicator_id::level_add, visible | ui::ws::tab_stop, 4, 92, 64, 14},
      {cls::button, u"Удалить", indicator_id::level_remove, visible | ui::ws::tab_stop, 72, 92, 64, 14},
      {cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 16, 112, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 74, 112, 50, 14},
  };
  return tpl;
}

}  // namespace

IndicatorDlg::IndicatorDlg(std::vector<int32_t> pane_ids)
    : ChartDialog("", kIndicatorDialogId), pane_ids_(std::move(pane_ids)), edit_(false) {}

IndicatorDlg::IndicatorDlg(const GraphSettings& graph, std::vector<int32_t> pane_ids)
    : ChartDialog("", kIndicatorDialogId), settings_(graph), pane_ids_(std::move(pane_ids)), edit_(true) {}

bool IndicatorDlg::on_init_dialog() {
  const ui::ComboBoxControl windows{item(indicator_id::window)};
  for (std::size_t n = 0; n < pane_ids_.size(); ++n) windows.set_item_data(windows.add(pane_text(n)), pane_ids_[n]);
  windows.set_item_data(windows.add(u"Новое окно"), -1);
  const ui::ComboBoxControl types{item(indicator_id::type)};
  for (int32_t kind : kOffered) types.set_item_data(types.add(indicator_name(kind)), kind);
  if (edit_) {
    ui::enable_window(item(indicator_id::window), false);
    for (std::size_t n = 0; n < pane_ids_.size(); ++n) {
      if (pane_ids_[n] == settings_.pane_id) windows.set_cur_sel(windows.find_exact(pane_text(n)));
    }
    for (int i = 0; i < types.count(); ++i) {
      if (types.item_data(i) == settings_.kind) types.set_cur_sel(i);
    }
    show_colour();
  } else {
    windows.set_cur_sel(windows.find_exact(u"Новое окно"));
    types.set_cur_sel(0);
    kind_chosen();
  }
  announce_to_input_panel();
  return true;
}

void IndicatorDlg::show_colour() {
  ui::set_window_text(item(indicator_id::colour), colour_to_text(settings_.graph.colour));
  const int32_t k = settings_.kind;
  ui::enable_window(item(indicator_id::more), indicator_params_dialog_id(k) != 0);
  ui::enable_window(item(indicator_id::colour), k != indicator::alligator && k != indicator::awesome &&
                                                    k != indicator::accelerator);
}

void IndicatorDlg::kind_chosen() {
  const ui::ComboBoxControl types{item(indicator_id::type)};
  if (types.cur_sel() < 0) return;
  settings_.kind = static_cast<int32_t>(types.item_data(types.cur_sel()));
  set_indicator_defaults(settings_);
  show_colour();
}

void IndicatorDlg::edit_params() {
  if (indicator_params_dialog_id(settings_.kind) == 0) return;
  IndicatorParamsDlg dialog(settings_.kind, settings_.params);
  if (dialog.do_modal(hwnd()) != ui::id::ok) return;
  if (dialog.block().size() == settings_.params.size()) settings_.params = dialog.block();
}

void IndicatorDlg::edit_levels() {
  LevelsDlg dialog(settings_.levels);
  if (dialog.do_modal(hwnd()) == ui::id::ok) settings_.levels = dialog.levels();
}

bool IndicatorDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  if (id == indicator_id::type && code == ui::cbn::sel_change) {
    kind_chosen();
    return true;
  }
  if (id == indicator_id::more) {
    edit_params();
    return true;
  }
  if (id == indicator_id::levels) {
    edit_levels();
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

void IndicatorDlg::on_ok() {
  // A greyed control shows its placeholder grey, not a colour the user chose:
  // the kinds with colours of their own keep the graph's colour.
  const ui::Hwnd control = item(indicator_id::colour);
  if (ui::is_window_enabled(control)) {
    const COLORREF colour = colour_from_text(ui::get_window_text(control));
    settings_.graph.colour = colour;
    if (settings_.kind == indicator::bollinger && settings_.params.size() >= kLowerBandColour + 4u) {
      std::memcpy(settings_.params.data() + kUpperBandColour, &colour, 4);
      std::memcpy(settings_.params.data() + kLowerBandColour, &colour, 4);
    }
  }
  const ui::ComboBoxControl windows{item(indicator_id::window)};
  const int at = windows.cur_sel();
  settings_.pane_id = at < 0 ? -1 : static_cast<int32_t>(windows.item_data(at));
  if (settings_.pane_id == -1 && pane_ids_.size() >= static_cast<std::size_t>(kMaxIndicatorPanes)) {
    ui::message_box(hwnd(),
                    u"Невозможно создать больше окон с индикаторами. Вы можете построить индикатор в одном из "
                    u"существующих окон.",
                    u"Ошибка", ui::mb::ok | ui::mb::icon_error);
    return;
  }
  end_dialog(ui::id::ok);
}

LevelsDlg::LevelsDlg(std::vector<VizorLevelLine> levels)
    : ChartDialog("", kLevelsDialogId), levels_(std::move(levels)) {}

namespace {

std::u16string level_text(double price) {
  char out[64];
  std::snprintf(out, sizeof out, "%.2f", price);
  return wide(out);
}

}  // namespace

bool LevelsDlg::on_init_dialog() {
  const ui::ListBoxControl list{item(indicator_id::level_list)};
  for (std::size_t i = 0; i < levels_.size(); ++i) {
    list.set_item_data(list.add(level_text(levels_[i].price)), static_cast<LPARAM>(i));
  }
  announce_to_input_panel();
  return true;
}

bool LevelsDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  if (id == indicator_id::level_add) {
    add();
    return true;
  }
  if (id == indicator_id::level_remove) {
    remove();
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

void LevelsDlg::add() {
  std::u16string text;
  double price = 0;
  if (!check_number_field(item(indicator_id::level_value), text, u"Уровень", 6, 9) || !parse_number_w(text, price)) {
    return;
  }
  for (const VizorLevelLine& line : levels_) {
    if (doubles_near(line.price, price, kSameLevel)) {
      ui::message_box(hwnd(), u"Такая линия уровня уже существует.", u"Ошибка", ui::mb::ok | ui::mb::icon_error);
      return;
    }
  }
  levels_.push_back(make_level_line(price));
  const ui::ListBoxControl list{item(indicator_id::level_list)};
  list.set_item_data(list.add(level_text(price)), static_cast<LPARAM>(levels_.size() - 1));
}

void LevelsDlg::remove() {
  const ui::ListBoxControl list{item(indicator_id::level_list)};
  const int at = list.cur_sel();
  if (at < 0) return;
  const auto index = static_cast<std::size_t>(list.item_data(at));
  if (index >= levels_.size()) return;
  levels_.erase(levels_.begin() + static_cast<std::ptrdiff_t>(index));
  list.remove(at);
  // The entries after it follow their records down by one.
  for (int i = 0; i < list.count(); ++i) {
    const auto data = static_cast<std::size_t>(list.item_data(i));
    if (data > index) list.set_item_data(i, static_cast<LPARAM>(data - 1));
  }
}

void register_indicator_dialogs() {
  static std::once_flag once;
  std::call_once(once, [] {
    register_color_select_class();
    ui::register_dialog_template("", kIndicatorDialogId, indicator_template());
    ui::register_dialog_template("", kLevelsDialogId, levels_template());
    register_param_form_templates();
  });
}

}  // namespace kelda::terminal
