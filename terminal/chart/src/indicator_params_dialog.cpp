// The extra-parameter dialogs of the indicator kinds: one form per group of
// kinds, each field naming where its value lives in the parameter block and
// how it is shown, edited and checked.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "indicator_forms.h"
#include "terminal/color_select.h"
#include "terminal/text_log.h"
#include "terminal_chart/field_checks.h"
#include "terminal_chart/indicator_dialogs.h"
#include "ui/controls.h"
#include "ui/screen.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;

struct Choice {
  int32_t value;
  const char16_t* text;
};
constexpr Choice kPriceFields[] = {{1, u"Open"}, {2, u"High"}, {3, u"Low"}, {4, u"Close"}, {5, u"Median"},
                                   {6, u"Typical"}};
constexpr Choice kMethods[] = {{1, u"Simple"}, {2, u"Exponential"}, {3, u"Vol. Adjusted"}, {4, u"Smoothed"}};
constexpr Choice kChartKinds[] = {{1, u"Линии"}, {2, u"Гистограммы"}, {3, u"Свечи"}, {4, u"Бары"}, {5, u"Точки"}};

std::span<const Choice> choices(Widget w) {
  switch (w) {
    case Widget::price: return kPriceFields;
    case Widget::method: return kMethods;
    case Widget::method2: return std::span<const Choice>(kMethods, 2);
    case Widget::chart_kind: return kChartKinds;
    default: return {};
  }
}

bool is_combo(Widget w) { return !choices(w).empty(); }

int32_t read_word(const std::vector<uint8_t>& block, std::size_t offset) {
  int32_t v = 0;
  std::memcpy(&v, block.data() + offset, 4);
  return v;
}

void write_word(std::vector<uint8_t>& block, std::size_t offset, int32_t v) {
  std::memcpy(block.data() + offset, &v, 4);
}

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string field_text(const std::vector<uint8_t>& block, const ParamField& f) {
  char out[48];
  if (f.widget == Widget::real32) {
    float v = 0;
    std::memcpy(&v, block.data() + f.offset, 4);
    std::snprintf(out, sizeof out, "%.2f", static_cast<double>(v));
  } else if (f.widget == Widget::real64) {
    double v = 0;
    std::memcpy(&v, block.data() + f.offset, 8);
    std::snprintf(out, sizeof out, "%.2f", v);
  } else if (f.widget == Widget::colour) {
    return colour_to_text(static_cast<COLORREF>(read_word(block, f.offset)));
  } else {
    std::snprintf(out, sizeof out, "%d", read_word(block, f.offset));
  }
  return wide(out);
}

// The dialog-unit rows of a form's template: one per field and group heading,
// over the screen's work area; the longest forms (eleven rows) still end
// above the command bar of the portrait screen.
ui::DialogTemplate form_template(const ParamForm& form) {
  ui::DialogTemplate tpl;
  tpl.caption = u"Дополнительно";
  tpl.full_screen = true;
  tpl.cx = 140;
  const DWORD edit = visible | ui::ws::tab_stop | ui::ws::border | ui::es::auto_hscroll;
  const DWORD combo = visible | ui::ws::tab_stop | ui::ws::vscroll | ui::cbs::drop_down_list;
  const int top = form.tabbed ? 20 : 4;
  if (form.tabbed) {
    tpl.items.push_back({cls::tab_control, u"", indicator_id::tabs, visible | ui::ws::tab_stop, 2, 2, 136, 16});
  }
  int y[2] = {top, top};
  int bottom = top;
  for (std::size_t n = 0; n < form.fields.size(); ++n) {
    const ParamField& f = form.fields[n];
    int& row = y[f.page];
    const int id = field_control_id(static_cast<int>(n));
    if (f.group != nullptr) {
      tpl.items.push_back({cls::static_, f.group, ui::id::static_text, visible, 4, row + 2, 130, 10});
      row += 11;
    }
    if (f.widget == Widget::percent) {
      tpl.items.push_back({cls::button, u"Проценты", id,
                           visible | ui::ws::tab_stop | ui::ws::group | ui::bs::auto_radio_button, 8, row, 60, 10});
      tpl.items.push_back({cls::button, u"Точки", id + 1, visible | ui::bs::auto_radio_button, 72, row, 60, 10});
    } else {
      // The caption takes the spare identifier beside its field, so that a
      // page shows and hides it with the field.
      tpl.items.push_back({cls::static_, f.caption, id + 1, visible, 4, row + 2, 76, 10});
      if (f.widget == Widget::colour) {
        tpl.items.push_back({kColorSelectClass, u"", id, visible | ui::ws::tab_stop, 80, row, 56, 12});
      } else {
        tpl.items.push_back({is_combo(f.widget) ? cls::combo_box : cls::edit, u"", id,
                             is_combo(f.widget) ? combo : edit, 80, row, 56, is_combo(f.widget) ? 80 : 11});
      }
    }
    row += 12;
    bottom = std::max(bottom, row);
  }
  tpl.items.push_back({cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 16,
                       bottom + 4, 50, 14});
  tpl.items.push_back({cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 74, bottom + 4, 50, 14});
  tpl.cy = bottom + 22;
  return tpl;
}

}  // namespace

int field_control_id(int n) { return indicator_id::field + 2 * n; }

int indicator_params_dialog_id(int32_t kind) {
  const ParamForm* form = param_form(kind);
  return form == nullptr ? 0 : form->dialog_id;
}

void register_param_form_templates() {
  for (const ParamForm& form : param_forms()) {
    if (ui::find_dialog_template("", form.dialog_id) == nullptr) {
      ui::register_dialog_template("", form.dialog_id, form_template(form));
    }
  }
}

IndicatorParamsDlg::IndicatorParamsDlg(int32_t kind, std::vector<uint8_t> block)
    : ChartDialog("", indicator_params_dialog_id(kind)), kind_(kind), block_(std::move(block)) {}

bool IndicatorParamsDlg::on_init_dialog() {
  const ParamForm* form = param_form(kind_);
  if (form == nullptr) return true;
  for (std::size_t n = 0; n < form->fields.size(); ++n) {
    const ParamField& f = form->fields[n];
    const ui::Hwnd control = item(field_control_id(static_cast<int>(n)));
    if (f.offset + (f.widget == Widget::real64 ? 8u : 4u) > block_.size()) continue;
    if (f.widget == Widget::percent) {
      const bool percent = read_word(block_, f.offset) == 1;
      ui::ButtonControl{control}.set_check(percent ? 1 : 0);
      ui::ButtonControl{item(field_control_id(static_cast<int>(n)) + 1)}.set_check(percent ? 0 : 1);
    } else if (is_combo(f.widget)) {
      const ui::ComboBoxControl combo{control};
      for (const Choice& c : choices(f.widget)) {
        const int at = combo.add(c.text);
        combo.set_item_data(at, c.value);
        if (c.value == read_word(block_, f.offset)) combo.set_cur_sel(at);
      }
    } else {
      ui::set_window_text(control, field_text(block_, f));
    }
    if (field_disabled(kind_, f)) ui::enable_window(control, false);
  }
  if (form->tabbed) {
    const ui::TabControlWrapper tabs{item(indicator_id::tabs)};
    tabs.insert_item(0, u"Скольз.средние");
    tabs.insert_item(1, u"Сигнал.линия");
    tabs.set_cur_sel(0);
    show_page(0);
  }
  announce_to_input_panel();
  return true;
}

void IndicatorParamsDlg::show_page(int page) {
  const ParamForm* form = param_form(kind_);
  if (form == nullptr) return;
  for (std::size_t n = 0; n < form->fields.size(); ++n) {
    const int id = field_control_id(static_cast<int>(n));
    const int command = form->fields[n].page == page ? ui::sw::show : ui::sw::hide;
    ui::show_window(item(id), command);
    ui::show_window(item(id + 1), command);  // its caption, or the percent choice's "Точки"
  }
}

bool IndicatorParamsDlg::on_notify(ui::NotifyHeader& header, LRESULT& result) {
  if (header.id_from == static_cast<uintptr_t>(indicator_id::tabs) && header.code == ui::tcn::sel_change) {
    show_page(ui::TabControlWrapper{item(indicator_id::tabs)}.cur_sel());
    result = 0;
    return true;
  }
  return ui::Dialog::on_notify(header, result);
}

bool IndicatorParamsDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  return ui::Dialog::on_command(id, code, control);
}

void IndicatorParamsDlg::on_ok() {
  const ParamForm* form = param_form(kind_);
  if (form == nullptr) {
    ui::show_input_panel(false);
    end_dialog(ui::id::ok);
    return;
  }
  std::vector<uint8_t> out = block_;
  for (std::size_t n = 0; n < form->fields.size(); ++n) {
    const ParamField& f = form->fields[n];
    const ui::Hwnd control = item(field_control_id(static_cast<int>(n)));
    if (f.offset + (f.widget == Widget::real64 ? 8u : 4u) > out.size()) continue;
    const std::u16string_view title = f.title != nullptr ? f.title : f.caption;
    switch (f.widget) {
      case Widget::period: {
        int32_t v = 0;
        if (!check_period_field(control, title, v)) return;
        write_word(out, f.offset, v);
        break;
      }
      case Widget::real32:
      case Widget::real64: {
        std::u16string text;
        double v = 0;
        if (!check_number_field(control, text, f.caption, 2, 9) || !parse_number_w(text, v)) return;
        if (f.widget == Widget::real64) {
          std::memcpy(out.data() + f.offset, &v, 8);
        } else {
          const auto narrow = static_cast<float>(v);
          std::memcpy(out.data() + f.offset, &narrow, 4);
        }
        break;
      }
      case Widget::colour:
        // A greyed control (the MACD histogram's signal) shows grey, not a choice.
        if (ui::is_window_enabled(control)) {
          write_word(out, f.offset, static_cast<int32_t>(colour_from_text(ui::get_window_text(control))));
        }
        break;
      case Widget::percent:
        write_word(out, f.offset, ui::ButtonControl{control}.check() == 1 ? 1 : 0);
        break;
      default: {
        const ui::ComboBoxControl combo{control};
        if (combo.cur_sel() >= 0) write_word(out, f.offset, static_cast<int32_t>(combo.item_data(combo.cur_sel())));
        break;
      }
    }
  }
  block_ = std::move(out);
  ui::show_input_panel(false);
  end_dialog(ui::id::ok);
}

}  // namespace kelda::terminal
