// Field checks of the chart dialogs.
#include "terminal_chart/field_checks.h"

#include "terminal/text_log.h"
#include "ui/controls.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

constexpr int32_t kPeriodMin = 1;
constexpr int32_t kPeriodMax = 50000;

void select_for_retyping(ui::Hwnd control) {
  const ui::EditControl edit{control};
  edit.set_sel(0, -1);
  edit.scroll_caret();
  ui::set_focus(control);
}

}  // namespace

bool check_number_field(ui::Hwnd control, std::u16string& text, std::u16string_view field_name, int decimals,
                        int digits) {
  text = ui::get_window_text(control);
  if (check_number(text, decimals, field_name, digits)) return true;
  select_for_retyping(control);
  return false;
}

bool check_period_field(ui::Hwnd control, std::u16string_view field_name, int32_t& value) {
  std::u16string text;
  if (!check_number_field(control, text, field_name, 0, 9)) return false;
  double number = 0;
  if (!parse_number_w(text, number) || number < kPeriodMin || number > kPeriodMax) {
    ui::message_box(ui::get_parent(control), u"Введите число от 1 до 50000", field_name,
                    ui::mb::ok | ui::mb::icon_error);
    select_for_retyping(control);
    return false;
  }
  value = static_cast<int32_t>(number);
  return true;
}

}  // namespace kelda::terminal
