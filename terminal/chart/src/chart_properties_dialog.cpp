// The chart properties dialog.
#include "terminal_chart/chart_properties_dialog.h"

#include <mutex>
#include <string>

#include "ui/controls.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;

struct Interval {
  int32_t value;
  const char16_t* text;  // null: the number itself
};
constexpr Interval kIntervals[] = {{1, nullptr},  {5, nullptr},  {6, nullptr},  {10, nullptr},
                                   {15, nullptr}, {20, nullptr}, {30, nullptr}, {60, nullptr},
                                   {-1, u"Дневной"}, {-2, u"Недельный"}, {-3, u"Месячный"}};
constexpr int32_t kBarCounts[] = {10, 25, 50, 100, 200, 300, 500, 1000};
constexpr int32_t kDefaultBarCount = 100;

std::u16string number_text(int32_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

ui::DialogTemplate properties_template() {
  ui::DialogTemplate tpl;
  tpl.cx = 134;
  tpl.cy = 100;
  tpl.caption = u"Свойства";
  const DWORD combo = visible | ui::ws::tab_stop | ui::ws::vscroll | ui::cbs::drop_down_list;
  tpl.items = {
      {cls::static_, u"Интервал:", ui::id::static_text, visible, 4, 6, 40, 10},
      {cls::combo_box, u"", chart_props_id::interval, combo, 48, 4, 82, 80},
      {cls::button, u"Показывать:", ui::id::static_text, visible | ui::bs::group_box, 4, 22, 126, 50},
      {cls::button, u"все значения", chart_props_id::all_bars,
       visible | ui::ws::tab_stop | ui::ws::group | ui::bs::auto_radio_button, 10, 34, 100, 10},
      {cls::button, u"последние", chart_props_id::last_bars, visible | ui::bs::auto_radio_button, 10, 50, 48, 10},
      {cls::combo_box, u"", chart_props_id::bar_count, combo, 59, 48, 40, 80},
      {cls::static_, u"свечек", ui::id::static_text, visible, 101, 50, 28, 10},
      {cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 16, 80, 48, 14},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 70, 80, 48, 14},
  };
  return tpl;
}

}  // namespace

ChartPropertiesDlg::ChartPropertiesDlg() : ChartDialog("", kChartPropertiesDialogId) {}

bool ChartPropertiesDlg::on_init_dialog() {
  const ui::ComboBoxControl intervals{item(chart_props_id::interval)};
  for (const Interval& entry : kIntervals) {
    const int at = intervals.add(entry.text != nullptr ? std::u16string(entry.text) : number_text(entry.value));
    intervals.set_item_data(at, entry.value);
    if (entry.value == interval) intervals.set_cur_sel(at);
  }
  const ui::ComboBoxControl counts{item(chart_props_id::bar_count)};
  for (int32_t count : kBarCounts) counts.set_item_data(counts.add(number_text(count)), count);
  counts.set_cur_sel(counts.find_exact(number_text(kDefaultBarCount)));
  const bool last = mode == kShowLastBars;
  if (last) {
    const int at = counts.find_exact(number_text(bar_count));
    if (at >= 0) counts.set_cur_sel(at);
  }
  ui::ButtonControl{item(chart_props_id::last_bars)}.set_check(last ? 1 : 0);
  ui::ButtonControl{item(chart_props_id::all_bars)}.set_check(last ? 0 : 1);
  enable_count();
  announce_to_input_panel();
  return true;
}

void ChartPropertiesDlg::enable_count() {
  ui::enable_window(item(chart_props_id::bar_count), ui::ButtonControl{item(chart_props_id::last_bars)}.check() == 1);
}

bool ChartPropertiesDlg::on_command(UINT id, UINT code, ui::Hwnd control) {
  if (id == chart_props_id::all_bars || id == chart_props_id::last_bars) {
    enable_count();
    return true;
  }
  return ui::Dialog::on_command(id, code, control);
}

void ChartPropertiesDlg::on_ok() {
  const ui::ComboBoxControl intervals{item(chart_props_id::interval)};
  const int at = intervals.cur_sel();
  if (at < 0) {
    end_dialog(ui::id::cancel);
    return;
  }
  interval = static_cast<int32_t>(intervals.item_data(at));
  if (ui::ButtonControl{item(chart_props_id::last_bars)}.check() == 1) {
    mode = kShowLastBars;
    const ui::ComboBoxControl counts{item(chart_props_id::bar_count)};
    const int count = counts.cur_sel();
    if (count >= 0) bar_count = static_cast<int32_t>(counts.item_data(count));
  } else {
    mode = kShowAllBars;
  }
  end_dialog(ui::id::ok);
}

void register_chart_properties_dialog() {
  static std::once_flag once;
  std::call_once(once, [] { ui::register_dialog_template("", kChartPropertiesDialogId, properties_template()); });
}

}  // namespace kelda::terminal
